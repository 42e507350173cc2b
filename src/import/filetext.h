// A track file's text as the readers take it: UTF-8 (or 8-bit) bytes with a
// UTF-8 byte-order mark skipped, UTF-16 files (with their mark) decoded, and
// files that cannot be text refused: NUL bytes, or a line longer than any
// track file holds, found while reading without reading such a line whole.
#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

constexpr qsizetype MaxLineLength = 1 << 20;

struct FileText
{
    QByteArray bytes;
    QString error; // why the file is not a track file, naming it
    bool ok() const { return error.isEmpty(); }
};

FileText loadTrackFile(const QString &path);

// The text of in-memory bytes, by the same rules (name is for messages).
FileText trackText(QByteArray bytes, const QString &name);

} // namespace corvane
