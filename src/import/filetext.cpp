// SPDX-License-Identifier: Apache-2.0
#include "filetext.h"

#include "formats/kit/stoprequest.h"
#include "formats/kit/textscan.h"
#include "table/parallel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

QString named(const QString &path, const QString &reason)
{
    // An empty path is named too, so that the message says what was asked for.
    const QString name =
        path.isEmpty() ? QStringLiteral("\"\" (an empty path)") : QDir::toNativeSeparators(path);
    return name + QStringLiteral(": ") + reason;
}

// The refusals a file's text meets, read whole or line by line.
QString holdsNulMessage(const QString &path)
{
    return named(path, QStringLiteral("holds NUL bytes, so it is not a track file."));
}

} // namespace

QString longLineMessage(const QString &path, qsizetype maxLine)
{
    return named(path, QStringLiteral("has a line longer than %1 MB, so it is not a track file.")
                           .arg(maxLine >> 20));
}

namespace {

QString changedMessage(const QString &path)
{
    return named(path, QStringLiteral("changed while it was read (it was cut short or written "
                                      "to); nothing was read from it."));
}

QString systemMessage(const QString &path, const char *what)
{
    return named(path, QStringLiteral("%1: %2.").arg(QLatin1String(what),
                                                     QString::fromLocal8Bit(std::strerror(errno))));
}

// The last line end within [p, p + n), or null.
const char *lastLineEnd(const char *p, size_t n)
{
#if defined(__GLIBC__)
    return static_cast<const char *>(memrchr(p, '\n', n));
#else
    for (const char *q = p + n; q > p;)
        if (*--q == '\n') return q;
    return nullptr;
#endif
}

// Whether [p, end) holds a line longer than maxLine. carry is the length of
// the line that runs into p from before, and becomes that of the line that
// runs on past end. It looks for the last line end within each stretch of
// maxLine bytes, so it steps a whole stretch at a time, however short the
// lines are.
bool longLineIn(const char *p, const char *end, qsizetype &carry, qsizetype maxLine)
{
    qsizetype lineBefore = carry; // of the line that starts before p
    while (end - p + lineBefore > maxLine) {
        const size_t window = size_t(maxLine - lineBefore + 1);
        const char *nl = lastLineEnd(p, window);
        if (!nl) return true;
        p = nl + 1;
        lineBefore = 0;
    }
    const char *nl = lastLineEnd(p, size_t(end - p));
    carry = nl ? end - (nl + 1) : lineBefore + (end - p);
    return false;
}

// Whether the bytes hold a NUL; a large text is searched on every core.
bool holdsNul(const QByteArray &bytes)
{
    const int pieces = textPieces(bytes.size());
    std::vector<char> found(size_t(pieces), 0);
    forRanges(bytes.size(), pieces, [&](qint64 begin, qint64 end, int p) {
        found[size_t(p)] =
            std::memchr(bytes.constData() + begin, 0, size_t(end - begin)) != nullptr;
    });
    return std::find(found.begin(), found.end(), 1) != found.end();
}

} // namespace

bool hasLongLine(const QByteArray &text, qsizetype maxLine)
{
    qsizetype carry = 0;
    return longLineIn(text.constData(), text.constData() + text.size(), carry, maxLine);
}

namespace {

QString atLine(const QString &name, int line)
{
    return QStringLiteral("%1, line %2").arg(name).arg(line);
}

// The UTF-8 of UTF-16 code units (after the mark). A lone surrogate, or an
// odd last byte of a complete text, is an error naming its line; where only
// the file's start was read, a character cut at its end is left out.
QByteArray utf8OfUtf16(QByteArrayView units, bool littleEndian, bool complete, const QString &name,
                       QString &error)
{
    const auto unitAt = [&](qsizetype i) {
        const uchar a = uchar(units[2 * i]), b = uchar(units[2 * i + 1]);
        return char16_t(littleEndian ? a | (b << 8) : (a << 8) | b);
    };
    const qsizetype count = units.size() / 2;
    QByteArray out;
    out.reserve(count + count / 2);
    int line = 1;
    for (qsizetype i = 0; i < count; ++i) {
        char32_t c = unitAt(i);
        if (c == u'\n') ++line;
        if (c >= 0xD800 && c < 0xE000) {
            const bool high = c < 0xDC00;
            if (high && i + 1 == count && !complete) break;
            const char16_t low = high && i + 1 < count ? unitAt(i + 1) : 0;
            if (!high || low < 0xDC00 || low >= 0xE000) {
                error = named(atLine(name, line),
                              QStringLiteral("holds a lone UTF-16 surrogate (U+%1), so it is not "
                                             "valid UTF-16 text.")
                                  .arg(QString::number(uint(c), 16).toUpper()));
                return QByteArray();
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    if (complete && units.size() % 2 != 0) {
        error = named(atLine(name, line),
                      QStringLiteral("ends in half a UTF-16 character (an odd last byte), so "
                                     "it is not valid UTF-16 text."));
        return QByteArray();
    }
    return out;
}

bool startsUtf16(QByteArrayView bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

// The text of bytes: checked tells that NUL bytes and lines were checked
// as they were read (UTF-8 or 8-bit text only).
FileText textOf(QByteArray bytes, const QString &name, qsizetype maxLine, bool checked,
                bool complete)
{
    FileText text;
    text.complete = complete;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    } else if (startsUtf16(bytes)) {
        bytes = utf8OfUtf16(QByteArrayView(bytes).sliced(2), bytes.startsWith("\xFF\xFE"), complete,
                            name, text.error);
        if (!text.error.isEmpty()) return text;
        checked = false;
    }
    if (!checked && holdsNul(bytes)) {
        text.error = holdsNulMessage(name);
        return text;
    }
    if (!checked && hasLongLine(bytes, maxLine)) {
        text.error = longLineMessage(name, maxLine);
        return text;
    }
    text.bytes = std::move(bytes);
    return text;
}

} // namespace

FileText trackText(QByteArray bytes, const QString &name, qsizetype maxLine, bool checkLines)
{
    if (!checkLines) maxLine = std::numeric_limits<qsizetype>::max();
    return textOf(std::move(bytes), name, maxLine, false, true);
}

QString inputFileProblem(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return systemMessage(path, "cannot be opened");
    if (S_ISDIR(st.st_mode)) return named(path, QStringLiteral("is a folder, not a track file."));
    if (!S_ISREG(st.st_mode))
        return named(path, QStringLiteral("is not a regular file (a FIFO, a device or a "
                                          "socket), so it is not read as a track file."));
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
        return systemMessage(path, "cannot be opened");
    return QString();
}

QString emptyFileProblem(const QString &path)
{
    const QFileInfo file(path);
    if (!file.isFile() || file.size() > 0) return QString();
    return named(path, QStringLiteral("is empty, so it holds no tracks."));
}

namespace {

// A buffer for a whole file. A large one is memory of its own from the
// system, given back whole when the read is done (the allocator would keep
// it for later), in huge pages where the system offers them on request.
std::shared_ptr<char> wholeFileBuffer(size_t bytes)
{
    constexpr size_t hugePage = size_t(2) << 20;
    if (bytes < hugePage)
        return std::shared_ptr<char>(new (std::nothrow) char[bytes + 1],
                                     std::default_delete<char[]>());
    const size_t rounded = (bytes + 1 + hugePage - 1) / hugePage * hugePage;
    void *p = ::mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#if defined(MADV_HUGEPAGE)
    ::madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return std::shared_ptr<char>(static_cast<char *>(p),
                                 [rounded](char *q) { ::munmap(q, rounded); });
}

FileStamp stampOf(const struct stat &st)
{
    return {qint64(st.st_size), qint64(st.st_ino),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return stampOf(a) == stampOf(b);
}

} // namespace

namespace {

// The file's first limit bytes (all of it when limit is negative).
FileText loadText(const QString &path, qsizetype maxLine, const std::function<void()> &whileReading,
                  std::atomic<qint64> *bytesRead, qint64 limit)
{
    FileText text;
    const QString problem = inputFileProblem(path);
    if (!problem.isEmpty()) {
        text.error = problem;
        return text;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat before;
    if (fd < 0 || ::fstat(fd, &before) != 0) {
        text.error = systemMessage(path, "cannot be opened");
        if (fd >= 0) ::close(fd);
        return text;
    }
    // A file that states its size is read whole into one buffer; one that
    // does not (a file the system makes as it is read) is read in blocks.
    // Lines are checked as they come, so a file of one endless line is
    // refused early.
    const qint64 stated =
        limit < 0 ? qint64(before.st_size) : std::min<qint64>(before.st_size, limit);
    if (limit < 0) limit = std::numeric_limits<qint64>::max();
    std::shared_ptr<char> buffer = wholeFileBuffer(size_t(std::max<qint64>(stated, 0)));
    if (!buffer) {
        ::close(fd);
        text.error = named(path, QStringLiteral("is too large to read into memory."));
        return text;
    }
    QByteArray grown;
    constexpr qint64 block = 4 << 20;
    qint64 size = 0;
    qsizetype carry = 0;
    bool utf16 = false, failed = false, first = true;
    while (true) {
        if (stopRequested()) {
            text.error = QString::fromLatin1(stoppedMessage);
            failed = true;
            break;
        }
        char *into = nullptr;
        qint64 room = std::min(block, limit - size);
        if (room <= 0) break;
        if (stated > 0) {
            room = std::min(room, stated - size);
            if (room <= 0) break;
            into = buffer.get() + size;
        } else {
            grown.resize(qsizetype(size + room));
            into = grown.data() + size;
        }
        const ssize_t got = ::read(fd, into, size_t(room));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            text.error = systemMessage(path, "cannot be read");
            failed = true;
            break;
        }
        if (got == 0) break;
        const char *start = into;
        if (size == 0)
            utf16 = got >= 2 && ((uchar(into[0]) == 0xFF && uchar(into[1]) == 0xFE) ||
                                 (uchar(into[0]) == 0xFE && uchar(into[1]) == 0xFF));
        size += got;
        if (bytesRead) bytesRead->store(size, std::memory_order_relaxed);
        if (!utf16 && std::memchr(start, 0, size_t(got))) {
            text.error = holdsNulMessage(path);
            failed = true;
            break;
        }
        if (!utf16 && longLineIn(start, start + got, carry, maxLine)) {
            text.error = longLineMessage(path, maxLine);
            failed = true;
            break;
        }
        if (first && whileReading) whileReading();
        first = false;
    }
    const bool complete = size < limit || size == qint64(before.st_size);
    struct stat after;
    const bool changed = !failed && (::fstat(fd, &after) != 0 || !sameFile(before, after) ||
                                     (stated > 0 && size != stated));
    ::close(fd);
    if (failed) return text;
    if (changed) {
        text.error = changedMessage(path);
        return text;
    }
    QByteArray data;
    if (stated > 0) {
        data = QByteArray::fromRawData(buffer.get(), qsizetype(size));
    } else {
        grown.resize(qsizetype(size));
        data = std::move(grown);
    }
    // UTF-16 text is checked once decoded; other text was checked while read.
    text = textOf(std::move(data), path, maxLine, !utf16, complete);
    if (stated > 0) text.buffer = std::move(buffer);
    return text;
}

} // namespace

FileText loadTrackFile(const QString &path, qsizetype maxLine,
                       const std::function<void()> &whileReading, std::atomic<qint64> *bytesRead)
{
    return loadText(path, maxLine, whileReading, bytesRead, -1);
}

FileText loadTrackFileStart(const QString &path, qint64 bytes, qsizetype maxLine,
                            std::atomic<qint64> *bytesRead)
{
    return loadText(path, maxLine, {}, bytesRead, bytes);
}

FileLines::FileLines(const QString &path, qsizetype maxLine, std::atomic<qint64> *bytesRead)
    : m_path(path), m_maxLine(maxLine), m_bytesRead(bytesRead)
{
    const QString problem = inputFileProblem(path);
    if (!problem.isEmpty()) {
        setError(problem);
        return;
    }
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        setError(systemMessage(path, "cannot be opened"));
        return;
    }
    m_stamp = stampOf(st);
    setSize(m_stamp.size);
    unsigned char mark[3] = {};
    const ssize_t got = ::pread(m_fd, mark, sizeof mark, 0);
    if (got >= 2 &&
        ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF))) {
        m_whole = loadTrackFile(path, maxLine, {}, bytesRead);
        if (m_whole.ok())
            useText(m_whole.bytes);
        else
            setError(m_whole.error);
    } else if (got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
        ::lseek(m_fd, 3, SEEK_SET);
        m_read = 3;
    }
}

FileLines::~FileLines()
{
    if (m_next.valid()) m_next.wait();
    if (m_fd >= 0) ::close(m_fd);
}

bool FileLines::changed() const
{
    struct stat st;
    return ::stat(QFile::encodeName(m_path).constData(), &st) != 0 || !(stampOf(st) == m_stamp);
}

namespace {
constexpr qint64 PieceBytes = qint64(4) << 20;
}

FileLines::Piece FileLines::readPiece(int fd, std::vector<char> buffer, qsizetype &carry,
                                      qsizetype maxLine, const QString &path)
{
    Piece piece;
    piece.bytes = std::move(buffer);
    piece.bytes.resize(size_t(PieceBytes));
    ssize_t got = -1;
    do {
        got = ::read(fd, piece.bytes.data(), size_t(PieceBytes));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        piece.error = systemMessage(path, "cannot be read");
        return piece;
    }
    piece.size = got;
    const char *begin = piece.bytes.data();
    if (std::memchr(begin, 0, size_t(got)))
        piece.error = holdsNulMessage(path);
    else if (longLineIn(begin, begin + got, carry, maxLine))
        piece.error = longLineMessage(path, maxLine);
    return piece;
}

// The next piece: the one read ahead, else one read now. A piece as large
// as asked for has more after it, which is then read ahead; a small file
// is read without another thread.
bool FileLines::takePiece()
{
    if (stopRequested()) {
        setError(QString::fromLatin1(stoppedMessage));
        return false;
    }
    std::vector<char> used = std::move(m_piece.bytes);
    if (m_next.valid()) {
        m_piece = m_next.get();
        m_spare = std::move(used);
    } else {
        m_piece = readPiece(m_fd, std::move(used), m_carry, m_maxLine, m_path);
    }
    if (!m_piece.error.isEmpty()) {
        setError(m_piece.error);
        return false;
    }
    m_read += m_piece.size;
    if (m_bytesRead) m_bytesRead->store(m_read, std::memory_order_relaxed);
    if (m_piece.size == PieceBytes)
        m_next = std::async(std::launch::async, readPiece, m_fd, std::move(m_spare),
                            std::ref(m_carry), m_maxLine, m_path);
    return true;
}

qint64 FileLines::fill(char *into, qint64 room)
{
    if (m_fd < 0) return 0;
    if (m_piece.taken == m_piece.size && !takePiece()) return -1;
    if (m_piece.size == 0) {
        ::close(m_fd);
        m_fd = -1;
        if (m_read != m_stamp.size || changed()) {
            setError(changedMessage(m_path));
            return -1;
        }
        return 0;
    }
    const qint64 n = std::min(room, m_piece.size - m_piece.taken);
    std::memcpy(into, m_piece.bytes.data() + m_piece.taken, size_t(n));
    m_piece.taken += n;
    return n;
}

QByteArray FileLines::whole()
{
    if (!error().isEmpty()) return QByteArray();
    if (m_whole.ok() && !m_whole.bytes.isNull()) return m_whole.bytes;
    m_whole = loadTrackFile(m_path, m_maxLine);
    if (!m_whole.ok()) {
        setError(m_whole.error);
        return QByteArray();
    }
    if (changed()) {
        setError(changedMessage(m_path));
        return QByteArray();
    }
    return m_whole.bytes;
}

} // namespace corvane
