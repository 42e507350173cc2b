// SPDX-License-Identifier: Apache-2.0
// Small system calls on the files of a folder, shared by the save and its
// journal.
#pragma once

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

inline QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// Makes the folder's entries (names added, renamed, removed) durable.
inline void syncFolder(const QString &folder)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Two names of one file (a hard link beside its target).
inline bool sameFile(const QString &a, const QString &b)
{
    struct stat sa, sb;
    return ::lstat(encoded(a).constData(), &sa) == 0 && ::lstat(encoded(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

inline bool existsAsName(const QString &path)
{
    struct stat st;
    return ::lstat(encoded(path).constData(), &st) == 0;
}

// A file put aside under `kept` returns to `target`; false when nothing was
// aside. A second name of a file still in place is only dropped (a rename
// onto the same file would leave both names).
inline bool putKeptBack(const QString &kept, const QString &target)
{
    if (kept.isEmpty() || !existsAsName(kept)) return false;
    if (sameFile(kept, target))
        ::unlink(encoded(kept).constData());
    else
        ::rename(encoded(kept).constData(), encoded(target).constData());
    return true;
}

} // namespace corvane
