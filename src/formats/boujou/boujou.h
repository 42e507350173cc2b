// SPDX-License-Identifier: Apache-2.0
// Boujou point tracks.
#pragma once

#include "formats/families.h"

namespace corvane {

ReadResult readBoujou(const QByteArray &data, const QString &fileName = QString());
bool looksLikeBoujou(const QByteArray &data);

} // namespace corvane
