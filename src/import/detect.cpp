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
    if (!text.ok()) return detection;
    for (const Format &format : formats()) {
        if (!format.read || !format.sniff) continue;
        if (recognise(path, QLatin1String(format.importFilter)).ok() && format.sniff(text.bytes))
            detection.candidates.append(&format);
    }
    return detection;
}

} // namespace corvane
