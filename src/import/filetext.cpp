#include "filetext.h"

#include "formats/textscan.h"
#include "table/parallel.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <vector>

namespace corvane {

namespace {

QString named(const QString &path, const QString &reason)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
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

FileText trackText(QByteArray bytes, const QString &name, qsizetype maxLine, bool checkLines)
{
    FileText text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                            : QStringConverter::Utf16BE);
        QString decoded = decoder.decode(QByteArrayView(bytes).sliced(2));
        if (decoder.hasError()) {
            text.error = named(name, QStringLiteral("is not valid UTF-16 text."));
            return text;
        }
        bytes = decoded.toUtf8();
    }
    if (holdsNul(bytes)) {
        text.error = named(name, QStringLiteral("holds NUL bytes, so it is not a track file."));
        return text;
    }
    if (checkLines && hasLongLine(bytes, maxLine)) {
        text.error = named(name, QStringLiteral("has a line longer than %1 MB, so it is not a "
                                                "track file.")
                                     .arg(maxLine >> 20));
        return text;
    }
    text.bytes = std::move(bytes);
    return text;
}

FileText loadTrackFile(const QString &path, qsizetype maxLine)
{
    FileText text;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        text.error = named(path, QStringLiteral("cannot be opened: %1.").arg(file.errorString()));
        return text;
    }
    // A regular file is mapped rather than copied; its lines are checked as
    // they are reached, so a file of one endless line is refused early.
    const qint64 fileSize = file.size();
    if (fileSize > 0 && fileSize < (qint64(1) << 40)) {
        auto mapped = std::make_shared<QFile>(path);
        uchar *start = mapped->open(QIODevice::ReadOnly) ? mapped->map(0, fileSize) : nullptr;
        if (start) {
            QByteArray data =
                QByteArray::fromRawData(reinterpret_cast<const char *>(start), qsizetype(fileSize));
            text = trackText(data, path, maxLine);
            text.mapped = std::move(mapped);
            return text;
        }
    }
    // Otherwise read in blocks, checking the lines as they come.
    // UTF-16 text has its line ends two bytes apart: it is checked decoded.
    QByteArray data;
    qint64 size = file.size();
    if (size > 0) data.reserve(qsizetype(size));
    constexpr qint64 block = 4 << 20;
    qsizetype carry = 0;
    bool utf16 = false;
    while (true) {
        const qsizetype before = data.size();
        data.resize(before + block);
        qint64 got = file.read(data.data() + before, block);
        data.resize(before + std::max<qint64>(got, 0));
        if (got < 0) {
            text.error = named(path, QStringLiteral("cannot be read: %1.").arg(file.errorString()));
            return text;
        }
        if (before == 0) utf16 = data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF");
        if (!utf16 &&
            longLineIn(data.constData() + before, data.constData() + data.size(), carry, maxLine)) {
            text.error = named(path, QStringLiteral("has a line longer than %1 MB, so it is "
                                                    "not a track file.")
                                         .arg(maxLine >> 20));
            return text;
        }
        if (got == 0) break;
    }
    // UTF-16 text is checked once decoded; other text was checked while read.
    return trackText(std::move(data), path, maxLine, utf16);
}

} // namespace corvane
