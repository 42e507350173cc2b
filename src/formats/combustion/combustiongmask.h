// SPDX-License-Identifier: Apache-2.0
// Combustion GMask shapes (.GMask).
#pragma once

#include "formats/kit/linesource.h"

#include "formats/families.h"

namespace corvane {

ReadResult readCombustionGMask(const QByteArray &data, const QString &fileName = QString());
// The same, line by line.
ReadResult readCombustionGMaskLines(LineSource &lines, const QString &fileName);
bool looksLikeCombustionGMask(const QByteArray &data);
extern const WriterSteps combustionGMaskWriter;

} // namespace corvane
