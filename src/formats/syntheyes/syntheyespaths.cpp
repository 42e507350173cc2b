// SPDX-License-Identifier: Apache-2.0
// SynthEyes "All Tracker Paths": each tracker's name on a line of its own,
// then one "frame x y" line per frame, in pixels from the image's top-left
// corner. A second 2D export of SynthEyes beside its "Tracker 2-D paths".
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/namerule.h"

namespace corvane {

namespace {

bool isNumber(Field f)
{
    bool ok = false;
    fieldToDouble(f, &ok);
    return ok;
}

// A point line: three numbers, the first a frame.
bool isPointLine(const std::vector<Field> &fields)
{
    return fields.size() == 3 && isNumber(fields[0]) && isNumber(fields[1]) && isNumber(fields[2]);
}

ReadResult readAllPaths(const QByteArray &data, const QString &)
{
    LineScanner scanner(data);
    RowCollector rows;
    std::vector<Field> fields;
    Field line;
    QString name;
    bool named = false;
    while (scanner.next(line) && !rows.failed()) {
        splitTrimmed(line, fields);
        if (fields.empty()) continue;
        if (fields.size() == 3 && isNumber(fields[0])) {
            if (!named) {
                rows.fail(QStringLiteral("a point comes before any tracker's name."),
                          scanner.number());
                break;
            }
            rows.add(name, fields[0], fields[1], fields[2], scanner.number());
        } else {
            // Anything else names the next tracker: the whole line, blanks and all.
            name = applyNameRule(fieldToString(trimmed(line)));
            named = true;
        }
    }
    return refuseCutRow(rows.finish(), data);
}

// A name line, then a point line: the first two lines that hold anything.
bool looksLikeAllPaths(const QByteArray &data)
{
    LineScanner scanner(headLines(data));
    std::vector<Field> fields;
    Field line;
    int seen = 0;
    while (seen < 2 && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (fields.empty()) continue;
        const bool point = isPointLine(fields);
        if (seen == 0 && (point || isNumber(fields[0]))) return false;
        if (seen == 1 && !point) return false;
        ++seen;
    }
    return seen == 2;
}

} // namespace

Formats synthEyesPathsFormats()
{
    Format f;
    f.id = "syntheyes-all-paths";
    f.name = "SynthEyes All Tracker Paths";
    f.importFilter = f.treeExportFilter = "SynthEyes All Tracker Paths File (*.txt)";
    f.read = readAllPaths;
    f.sniff = looksLikeAllPaths;
    // Pixels from the top-left corner, 0 at the first pixel's centre (SynthEyes'
    // -1 and +1 are the edge pixels' centres); frames count from 0.
    f.centres = PixelCentres::FirstPixelCentre;
    f.frameBase = FrameBase::FromZero;
    return {f};
}

} // namespace corvane
