// A track file's text as the readers take it: UTF-8 (or 8-bit) bytes with a
// UTF-8 byte-order mark skipped, UTF-16 files (with their mark) decoded, and
// files that cannot be text refused: NUL bytes, or a line longer than any
// track file holds, found while reading without reading such a line whole.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

namespace corvane {

// Longer lines make a file "not a track file", unless its format allows them.
constexpr qsizetype MaxLineLength = 1 << 20;

struct FileText
{
    QByteArray bytes; // may point into the mapped file below: keep both together
    QString error;    // why the file is not a track file, naming it
    std::shared_ptr<QFile> mapped;
    bool ok() const { return error.isEmpty(); }
};

FileText loadTrackFile(const QString &path, qsizetype maxLine = MaxLineLength);

// Whether a line of text is longer than maxLine bytes (line end not counted).
bool hasLongLine(const QByteArray &text, qsizetype maxLine);

// The text of in-memory bytes, by the same rules (name is for messages).
FileText trackText(QByteArray bytes, const QString &name, qsizetype maxLine = MaxLineLength,
                   bool checkLines = true);

} // namespace corvane
