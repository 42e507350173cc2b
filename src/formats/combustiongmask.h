// SPDX-License-Identifier: Apache-2.0
// Combustion GMask shapes (.GMask).
#pragma once

#include "families.h"

namespace corvane {

ReadResult readCombustionGMask(const QByteArray &data, const QString &fileName = QString());
bool looksLikeCombustionGMask(const QByteArray &data);
extern const WriterSteps combustionGMaskWriter;

} // namespace corvane
