// SPDX-License-Identifier: Apache-2.0
// Shake RotoShape shapes (.ssf).
#pragma once

#include "formats/kit/linesource.h"

#include "formats/families.h"

namespace corvane {

ReadResult readShakeRotoShape(const QByteArray &data, const QString &fileName = QString());
// The same, line by line.
ReadResult readShakeRotoShapeLines(LineSource &lines, const QString &fileName);
bool looksLikeShakeRotoShape(const QByteArray &data);
extern const WriterSteps shakeRotoShapeWriter;

} // namespace corvane
