// SPDX-License-Identifier: Apache-2.0
// Fusion mask shapes (.comp).
#pragma once

#include "formats/kit/linesource.h"

#include "formats/families.h"

namespace corvane {

ReadResult readFusionMask(const QByteArray &data, const QString &fileName = QString());
// The same, line by line.
ReadResult readFusionMaskLines(LineSource &lines, const QString &fileName);
bool looksLikeFusionMask(const QByteArray &data);
extern const WriterSteps fusionMaskWriter;

} // namespace corvane
