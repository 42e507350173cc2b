// SPDX-License-Identifier: Apache-2.0
// Nuke RotoPaint shapes (.nk).
#pragma once

#include "families.h"

namespace corvane {

ReadResult readNukeRotoPaint(const QByteArray &data, const QString &fileName = QString());
bool looksLikeNukeRotoPaint(const QByteArray &data);
extern const WriterSteps nukeRotoPaintWriter;

} // namespace corvane
