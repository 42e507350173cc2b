#include "detect.h"

#include "formats/registry.h"
#include "filetext.h"
#include "recognise.h"

namespace corvane {

Detection detectFormat(const QString &path)
{
    Detection detection;
    FileText text = loadTrackFile(path);
    detection.error = text.error;
    if (text.ok()) detection.candidates = formatsFitting(text.bytes);
    return detection;
}

QList<const Format *> formatsFitting(const QByteArray &text)
{
    QList<const Format *> fitting;
    const QString line = firstLineOf(text);
    for (const Format &format : formats()) {
        if (!format.read || !format.sniff) continue;
        if (recogniseLine(line, format).ok() && format.sniff(text)) fitting.append(&format);
    }
    return fitting;
}

} // namespace corvane
