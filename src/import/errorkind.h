// SPDX-License-Identifier: Apache-2.0
// The kind of a failure that comes as words only.
#pragma once

#include "formats/errorkind.h"

#include <QString>

namespace corvane {

// A failure told in words only (detection, a file that cannot be opened),
// from the file (missing), the words and whether a format was chosen for it
// (else detection found none).
ErrorKind readErrorKind(const QString &message, const QString &file, bool formatKnown);

} // namespace corvane
