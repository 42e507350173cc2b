// SPDX-License-Identifier: Apache-2.0
// After Effects keyframe data: motion-tracker points ("Motion Trackers"
// sections of "frame x y" lines) and mask shapes; both state the plate in
// their "Source Width" and "Source Height" lines.
#include "aftereffectsmask.h"
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/namerule.h"
#include "table/numbers.h"

#include <algorithm>

namespace corvane {

namespace {

bool contains(Field line, const char *text)
{
    return QByteArrayView(line.begin, line.end - line.begin).contains(QByteArrayView(text));
}

// The number after "#" in a field such as "#3".
QString numberAfterHash(Field f)
{
    const char *hash = std::find(f.begin, f.end, '#');
    return hash == f.end ? QString() : fieldToString({hash + 1, f.end});
}

ReadResult readAfterEffectsTrack(const QByteArray &data, const QString &)
{
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    int width = 0, height = 0;
    bool inPoints = false; // in a motion tracker's "Feature Center" section
    bool ended = false;    // the last line read closes the data
    QString name;
    while (!rows.failed() && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (fields.empty()) continue;
        const bool indented = *line.begin == ' ' || *line.begin == '\t';
        ended = !indented && contains(line, "End of Keyframe Data");
        if (ended) continue;
        if (contains(line, "Source Width")) {
            width = fieldToInt(fields.back());
        } else if (contains(line, "Source Height")) {
            height = fieldToInt(fields.back());
        } else if (!indented) {
            // A section: "Motion Trackers  Tracker #1  Track Point #1  Feature
            // Center" holds a point; every other section is skipped.
            inPoints = fields.size() >= 4 && fields[0].equals("Motion") &&
                       (fields.size() < 6 || contains(line, "Feature Center"));
            if (inPoints) {
                name = applyNameRule(fieldToString(fields[2]) + numberAfterHash(fields[3]));
                if (fields.size() >= 7) {
                    QString point = numberAfterHash(fields[6]);
                    if (!point.isEmpty() && point != QLatin1String("1"))
                        name += QStringLiteral("_Point") + point;
                }
            }
        } else if (inPoints && fields.size() == 3 && !fields[0].equals("Frame")) {
            rows.add(name, fields[0], fields[1], fields[2], scanner.number());
        }
    }
    if (!rows.failed() && !ended && rows.count() > 0)
        rows.fail(QStringLiteral("the file ends before \"End of Keyframe Data\": it is cut "
                                 "short."),
                  scanner.number());
    ReadResult result = rows.finish();
    result.set.plateWidth = width;
    result.set.plateHeight = height;
    return result;
}

bool looksLikeAfterEffectsTrack(const QByteArray &data)
{
    return data.contains("Keyframe Data") && data.contains("Motion Trackers");
}

void trackHeader(WriteContext &ctx)
{
    ctx.census();
    const QString aspect = general6(ctx.pixelAspect);
    ctx.write("Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t24\n\tSource Width\t");
    ctx.writeInt(ctx.windowWidth);
    ctx.write("\n\tSource Height\t");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("\n\tSource Pixel Aspect Ratio\t");
    ctx.write(aspect);
    ctx.write("\n\tComp Pixel Aspect Ratio\t");
    ctx.write(aspect);
    ctx.write("\n");
}

void trackRow(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ++ctx.trackCounter;
        ctx.write("Motion Trackers\tTracker #");
        ctx.writeInt(ctx.trackCounter);
        ctx.write("\tTrack Point #1\tFeature Center\n\tFrame\tX pixels\tY pixels\n");
    }
    QByteArray &out = ctx.out();
    out += '\t';
    r.appendFrameXY(out, "\t");
    out += " \n";
}

void trackFooter(WriteContext &ctx)
{
    ctx.write("\n\nEnd of Keyframe Data\n");
}

const WriterSteps trackWriter{trackHeader, trackRow, trackFooter};

} // namespace

Formats afterEffectsFormats()
{
    Format track;
    track.id = "ae-track";
    track.name = "After Effects Track";
    track.importFilter = track.treeExportFilter = "After Effects Track File (*.txt)";
    track.read = readAfterEffectsTrack;
    track.sniff = looksLikeAfterEffectsTrack;
    track.writer = &trackWriter;
    track.statesPlate = true;
    track.writesNames = false;

    Format mask;
    mask.id = "ae-mask";
    mask.name = "After Effects Mask";
    mask.importFilter = "After Effects Mask File (*.*)";
    mask.treeExportFilter = "After Effects Mask File (*.txt)";
    mask.read = readAfterEffectsMask;
    mask.readLines = readAfterEffectsMaskLines;
    mask.sniff = looksLikeAfterEffectsMask;
    mask.writer = &afterEffectsMaskWriter;
    mask.source = SourceRule::AfterEffectsMask;
    mask.target = TargetRule::AfterEffectsMask;
    mask.shapes = true;
    mask.statesPlate = true;
    return {track, mask};
}

} // namespace corvane
