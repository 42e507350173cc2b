// SPDX-License-Identifier: Apache-2.0
// PFTrack point tracks (2011, v5 and v4): one reader for all three.
#pragma once

#include "formats/families.h"

namespace corvane {

ReadResult readPfTrack(const QByteArray &data, const QString &fileName = QString());
bool looksLikePfTrack(const QByteArray &data);

} // namespace corvane
