// SPDX-License-Identifier: Apache-2.0
// What went wrong, in one word of a short list that scripts can rely on
// (the module's .kind, the converter's --json "kind"), beside the message
// that says it to people. Readers give it with their errors.
#pragma once

namespace corvane {

enum class ErrorKind {
    NotFound,          // "not-found": the file is not there
    NotATrackFile,     // "not-a-track-file": empty, another kind of file, no layout fits
    BadNumber,         // "bad-number": a value, frame or count that is no (finite, whole) number
    CutShort,          // "cut-short": the file stops before its end
    UnsupportedLayout, // "unsupported-layout": the chosen format's reader refuses the file
    CannotWrite,       // "cannot-write": an output could not be written
    Settings,          // "settings": a value or option that cannot be applied, or is missing
};

const char *errorKindName(ErrorKind kind);

} // namespace corvane
