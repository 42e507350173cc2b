#include "filetext.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <cstring>

namespace corvane {

namespace {

QString named(const QString &path, const QString &reason)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
}

// Where a line longer than MaxLineLength starts in data, or -1. carry is
// the length of the line that runs into data from before it.
qsizetype longLineIn(const QByteArray &data, qsizetype from, qsizetype &carry, qsizetype maxLine)
{
    const char *p = data.constData() + from;
    const char *end = data.constData() + data.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        qsizetype run = (nl ? nl : end) - p;
        if (carry + run > maxLine) return p - data.constData();
        if (!nl) {
            carry += run;
            break;
        }
        carry = 0;
        p = nl + 1;
    }
    return -1;
}

} // namespace

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
    if (bytes.contains('\0')) {
        text.error = named(name, QStringLiteral("holds NUL bytes, so it is not a track file."));
        return text;
    }
    qsizetype carry = 0;
    if (checkLines && longLineIn(bytes, 0, carry, maxLine) >= 0) {
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
        if (!utf16 && longLineIn(data, before, carry, maxLine) >= 0) {
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
