// SPDX-License-Identifier: Apache-2.0
// A track file's text as the readers take it: UTF-8 (or 8-bit) bytes with a
// UTF-8 byte-order mark skipped, UTF-16 files (with their mark) decoded, and
// files that cannot be text refused: NUL bytes, or a line longer than any
// track file holds, found while reading without reading such a line whole.
#pragma once

#include "formats/kit/linesource.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <vector>

namespace corvane {

// Longer lines make a file "not a track file", unless its format allows them.
constexpr qsizetype MaxLineLength = 1 << 20;

// What tells a file from the same file changed: its size, inode and
// modification time.
struct FileStamp
{
    qint64 size = 0, inode = 0, modified = 0;
    bool operator==(const FileStamp &o) const
    {
        return size == o.size && inode == o.inode && modified == o.modified;
    }
};

struct FileText
{
    QByteArray bytes; // may point into the buffer below: keep both together
    QString error;    // why the file is not a track file, naming it
    std::shared_ptr<char> buffer;
    bool complete = true; // false: only the file's start was read
    bool ok() const { return error.isEmpty(); }
};

// Why a path cannot be read as an input (it does not exist, is not a
// regular file, is not readable), naming it; empty when it can.
QString inputFileProblem(const QString &path);
// Why a file to import cannot hold tracks: it is empty (naming it); else empty.
QString emptyFileProblem(const QString &path);
// A line longer than maxLine: the file is not a track file of the reader's.
QString longLineMessage(const QString &path, qsizetype maxLine);

// The file's bytes are read into memory, never mapped, so that a file cut
// short or rewritten while it is read cannot take the process down with it;
// such a file is refused as changed while it was read. A stop request ends
// the reading with stoppedMessage. whileReading, for tests, runs after the
// first piece of a file was read; bytesRead, when given, follows the
// reading (for a progress bar on another thread).
FileText loadTrackFile(const QString &path, qsizetype maxLine = MaxLineLength,
                       const std::function<void()> &whileReading = {},
                       std::atomic<qint64> *bytesRead = nullptr);

// The start of a file, up to bytes of it (a UTF-16 character cut at its end
// left out), read
// and checked by the same rules; complete tells whether that was all of it.
FileText loadTrackFileStart(const QString &path, qint64 bytes, qsizetype maxLine = MaxLineLength,
                            std::atomic<qint64> *bytesRead = nullptr);

// Whether a line of text is longer than maxLine bytes (line end not counted).
bool hasLongLine(const QByteArray &text, qsizetype maxLine);

// The text of in-memory bytes, by the same rules (name is for messages).
FileText trackText(QByteArray bytes, const QString &name, qsizetype maxLine = MaxLineLength,
                   bool checkLines = true);

// A file's lines read piece by piece by the rules of loadTrackFile: a UTF-8
// mark skipped, NUL bytes and over-long lines refused as they come, a file
// cut short or written to while it is read refused at its end, a stop
// request met before each piece. A UTF-16 file is decoded whole first. The
// errors name the file.
class FileLines : public LineSource
{
public:
    explicit FileLines(const QString &path, qsizetype maxLine = MaxLineLength,
                       std::atomic<qint64> *bytesRead = nullptr);
    ~FileLines() override;
    // The file read whole (the same file as the lines so far, or an error).
    QByteArray whole() override;

protected:
    qint64 fill(char *into, qint64 room) override;

private:
    // A piece of the file as read and checked.
    struct Piece
    {
        std::vector<char> bytes;
        qint64 size = 0;  // bytes read, 0 at the file's end
        qint64 taken = 0; // given to the lines so far
        QString error;
    };
    static Piece readPiece(int fd, std::vector<char> buffer, qsizetype &carry, qsizetype maxLine,
                           const QString &path);
    bool takePiece();
    bool changed() const;

    QString m_path;
    qsizetype m_maxLine;
    std::atomic<qint64> *m_bytesRead;
    int m_fd = -1;
    FileStamp m_stamp; // when the reading began
    qint64 m_read = 0;
    qsizetype m_carry = 0; // only the piece being read touches it
    Piece m_piece;         // the one the lines are cut from
    // A large file's next piece is read and checked on another thread
    // while the reader works through this one.
    std::future<Piece> m_next;
    std::vector<char> m_spare;
    FileText m_whole; // its bytes, once the whole file was asked for
};

} // namespace corvane
