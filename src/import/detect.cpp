#include "detect.h"

#include "filetext.h"
#include "formats/registry.h"
#include "recognise.h"

#include <QHash>

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

QList<const Format *> formatsFitting(const QByteArray &text)
{
    QList<const Format *> fitting;
    const QString line = firstLineOf(text);
    // Formats that allow shorter lines than others are checked for them once.
    QHash<qsizetype, bool> tooLong;
    for (const Format &format : formats()) {
        if (!format.read || !format.sniff) continue;
        auto limit = tooLong.find(format.maxLineLength);
        if (limit == tooLong.end())
            limit = tooLong.insert(format.maxLineLength, hasLongLine(text, format.maxLineLength));
        if (limit.value()) continue;
        if (recogniseLine(line, format).ok() && format.sniff(text)) fitting.append(&format);
    }
    return fitting;
}

} // namespace corvane
