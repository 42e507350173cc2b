#include "detect.h"

#include "filetext.h"
#include "formats/registry.h"
#include "formats/textscan.h"
#include "recognise.h"
#include "table/parallel.h"

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
    const QString line = firstLineOf(text);
    // The formats whose first-line test and line limit the text passes
    // (each limit checked once); their sniffs, some of which read the whole
    // text, are shared between the cores.
    QHash<qsizetype, bool> tooLong;
    std::vector<const Format *> asked;
    for (const Format &format : formats()) {
        if (!format.read || !format.sniff) continue;
        auto limit = tooLong.find(format.maxLineLength);
        if (limit == tooLong.end())
            limit = tooLong.insert(format.maxLineLength, hasLongLine(text, format.maxLineLength));
        if (!limit.value() && recogniseLine(line, format).ok()) asked.push_back(&format);
    }
    const int pieces = std::clamp(textPieces(text.size()), 1, std::max(1, int(asked.size())));
    std::vector<char> fits(asked.size(), 0);
    forEachPiece(pieces, [&](int p) {
        for (size_t k = size_t(p); k < asked.size(); k += size_t(pieces))
            fits[k] = asked[k]->sniff(text);
    });
    QList<const Format *> fitting;
    for (size_t k = 0; k < asked.size(); ++k)
        if (fits[k]) fitting.append(asked[k]);
    return fitting;
}

} // namespace corvane
