// SPDX-License-Identifier: Apache-2.0
// After Effects mask shapes (mocha shape data).
#pragma once

#include "formats/kit/linesource.h"

#include "formats/families.h"

namespace corvane {

ReadResult readAfterEffectsMask(const QByteArray &data, const QString &fileName = QString());
// The same, line by line.
ReadResult readAfterEffectsMaskLines(LineSource &lines, const QString &fileName);
bool looksLikeAfterEffectsMask(const QByteArray &data);
extern const WriterSteps afterEffectsMaskWriter;

} // namespace corvane
