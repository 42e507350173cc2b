// SPDX-License-Identifier: Apache-2.0
#include "errorkind.h"

namespace corvane {

const char *errorKindName(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::NotFound:
        return "not-found";
    case ErrorKind::NotATrackFile:
        return "not-a-track-file";
    case ErrorKind::BadNumber:
        return "bad-number";
    case ErrorKind::CutShort:
        return "cut-short";
    case ErrorKind::UnsupportedLayout:
        return "unsupported-layout";
    case ErrorKind::CannotWrite:
        return "cannot-write";
    case ErrorKind::Settings:
        return "settings";
    }
    return "settings";
}

} // namespace corvane
