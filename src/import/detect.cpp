#include "detect.h"

#include "formats/registry.h"
#include "formats/textscan.h"
#include "recognise.h"

namespace corvane {

Detection detectFormat(const QString &path)
{
    Detection detection;
    QByteArray data;
    detection.readable = readFileBytes(path, data);
    if (!detection.readable) return detection;
    for (const Format &format : formats()) {
        if (!format.read || !format.sniff) continue;
        if (recognise(path, QLatin1String(format.importFilter)).ok() && format.sniff(data))
            detection.candidates.append(&format);
    }
    return detection;
}

} // namespace corvane
