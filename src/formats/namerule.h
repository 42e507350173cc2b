// SPDX-License-Identifier: Apache-2.0
// The import name rule: a 1- to 3-character part after the last "_" is
// left-padded with zeros to four characters (Track_5 becomes Track_0005).
#pragma once

#include <QString>

namespace corvane {

QString applyNameRule(const QString &name);

} // namespace corvane
