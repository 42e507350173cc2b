// SPDX-License-Identifier: Apache-2.0
// The import name rule: a number of 1 to 3 digits after the last "_" is
// left-padded with zeros to four digits (Track_5 becomes Track_0005); any
// other last part stays as it is.
#pragma once

#include <QString>

namespace corvane {

QString applyNameRule(const QString &name);

} // namespace corvane
