#include "detect.h"

#include "filetext.h"
#include "formats/registry.h"
#include "recognise.h"

#include <algorithm>

namespace corvane {

Detection detectFormat(const QString &path)
{
    Detection detection;
    qsizetype longest = 0;
    for (const Format &format : formats())
        if (format.read) longest = std::max(longest, format.maxLineLength);
    FileText text = loadTrackFile(path, longest);
    detection.error = text.error;
    if (text.ok()) detection.candidates = formatsFitting(text.bytes);
    return detection;
}

namespace {

qsizetype longestLine(const QByteArray &text)
{
    qsizetype longest = 0;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0) end = text.size();
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    return longest;
}

} // namespace

QList<const Format *> formatsFitting(const QByteArray &text)
{
    QList<const Format *> fitting;
    const QString line = firstLineOf(text);
    const qsizetype longest = longestLine(text);
    for (const Format &format : formats()) {
        if (!format.read || !format.sniff || longest > format.maxLineLength) continue;
        if (recogniseLine(line, format).ok() && format.sniff(text)) fitting.append(&format);
    }
    return fitting;
}

} // namespace corvane
