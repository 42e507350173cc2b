// SPDX-License-Identifier: Apache-2.0
// Fusion mask shapes (.comp).
#pragma once

#include "families.h"

namespace corvane {

ReadResult readFusionMask(const QByteArray &data, const QString &fileName = QString());
bool looksLikeFusionMask(const QByteArray &data);
extern const WriterSteps fusionMaskWriter;

} // namespace corvane
