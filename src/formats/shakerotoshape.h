// SPDX-License-Identifier: Apache-2.0
// Shake RotoShape shapes (.ssf).
#pragma once

#include "families.h"

namespace corvane {

ReadResult readShakeRotoShape(const QByteArray &data, const QString &fileName = QString());
bool looksLikeShakeRotoShape(const QByteArray &data);
extern const WriterSteps shakeRotoShapeWriter;

} // namespace corvane
