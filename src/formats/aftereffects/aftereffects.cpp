// SPDX-License-Identifier: Apache-2.0
// After Effects keyframe data, as After Effects and mocha copy it:
// motion-tracker points ("Motion Trackers" sections of "frame x y" lines),
// a layer's Position and Anchor Point, the Corner Pin effect's four corners
// (a track each), and mask shapes; all state the plate in their "Source
// Width" and "Source Height" lines.
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

// The parts of a line between tabs, without the white space at their ends.
QStringList tabParts(Field line)
{
    QStringList parts;
    const char *begin = line.begin;
    for (const char *p = line.begin;; ++p) {
        if (p == line.end || *p == '\t') {
            const Field part = trimmed({begin, p});
            if (!part.isEmpty()) parts << fieldToString(part);
            if (p == line.end) break;
            begin = p + 1;
        }
    }
    return parts;
}

// A layer's point properties and the corners of the Corner Pin effect, as
// After Effects and mocha copy them: the track's name, or nothing for a
// section that holds no point.
QString pointSection(const QStringList &parts)
{
    if (parts.size() == 2 && parts[0] == QLatin1String("Transform") &&
        (parts[1] == QLatin1String("Position") || parts[1] == QLatin1String("Anchor Point")))
        return parts[1];
    if (parts.size() == 3 && parts[0] == QLatin1String("Effects") &&
        parts[1].startsWith(QLatin1String("Corner Pin"))) {
        QString corner = parts[2];
        corner.truncate(corner.lastIndexOf(QLatin1String(" #")) >= 0
                            ? corner.lastIndexOf(QLatin1String(" #"))
                            : corner.size());
        for (const char *name : {"Upper Left", "Upper Right", "Lower Left", "Lower Right"})
            if (corner == QLatin1String(name))
                return QString(parts[1]).remove(QLatin1Char('#')) + QLatin1Char(' ') + corner;
    }
    return QString();
}

ReadResult readAfterEffectsTrack(const QByteArray &data, const QString &)
{
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    int width = 0, height = 0;
    QString unitsPerSecond;
    bool inPoints = false; // in a section of points
    bool ended = false;    // the last line read closes the data
    QString name;
    QStringList skipped; // sections of other properties
    int depthLeftOut = 0, depthLine = 0;
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
        } else if (contains(line, "Units Per Second")) {
            unitsPerSecond = fieldToString(fields.back());
        } else if (!indented) {
            // A section: "Motion Trackers  Tracker #1  Track Point #1  Feature
            // Center" holds a point, as do a layer's Position and Anchor
            // Point and the Corner Pin's corners; every other section is
            // skipped.
            inPoints = fields.size() >= 4 && fields[0].equals("Motion") &&
                       (fields.size() < 6 || contains(line, "Feature Center"));
            if (inPoints) {
                name = applyNameRule(fieldToString(fields[2]) + numberAfterHash(fields[3]));
                if (fields.size() >= 7) {
                    QString point = numberAfterHash(fields[6]);
                    if (!point.isEmpty() && point != QLatin1String("1"))
                        name += QStringLiteral("_Point") + point;
                }
            } else {
                const QStringList parts = tabParts(line);
                name = pointSection(parts);
                inPoints = !name.isEmpty();
                if (!inPoints && !parts.isEmpty() && !fields[0].equals("Adobe") &&
                    !fields[0].equals("Motion") && !skipped.contains(parts.join(QLatin1Char(' '))))
                    skipped << parts.join(QLatin1Char(' '));
            }
        } else if (inPoints && (fields.size() == 3 || fields.size() == 4) &&
                   !fields[0].equals("Frame")) {
            if (fields.size() == 4 && fieldToDouble(fields[3]) != 0 && depthLeftOut++ == 0)
                depthLine = scanner.number();
            rows.add(name, fields[0], fields[1], fields[2], scanner.number());
        }
    }
    if (!rows.failed() && !ended && rows.count() > 0)
        rows.fail(QStringLiteral("the file ends before \"End of Keyframe Data\": it is cut "
                                 "short."),
                  scanner.number(), ErrorKind::CutShort);
    ReadResult result = rows.finish();
    result.set.plateWidth = width;
    result.set.plateHeight = height;
    if (!result.ok()) return result;
    ReaderNotes notes;
    if (!unitsPerSecond.isEmpty())
        notes.add(QStringLiteral("frames as After Effects numbers them at %1 per second (Units "
                                 "Per Second).")
                      .arg(unitsPerSecond));
    for (const QString &section : skipped)
        notes.leftOut(QStringLiteral("the keyframes of \"%1\" were left out: Corvane reads "
                                     "points (Position, Anchor Point, Corner Pin corners and "
                                     "motion trackers).")
                          .arg(section),
                      ReaderNotes::Tracks);
    if (depthLeftOut)
        notes.leftOut(QStringLiteral("%1 keys have a Z (depth), which was left out (the first "
                                     "on line %2).")
                          .arg(depthLeftOut)
                          .arg(depthLine),
                      ReaderNotes::Changed, depthLeftOut, depthLine);
    notes.into(result);
    return result;
}

bool looksLikeAfterEffectsTrack(const QByteArray &data)
{
    return data.contains("Keyframe Data") &&
           (data.contains("Motion Trackers") || data.contains("Transform\tPosition") ||
            data.contains("Transform\tAnchor Point") || data.contains("\tCorner Pin"));
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
