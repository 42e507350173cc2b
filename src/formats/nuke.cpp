#include "nuke.h"

#include "table/numbers.h"
#include "rowcollector.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {
constexpr const char *cameraTrackerHeading =
    "\n   Frame             X             Y   Correlation\n";
} // namespace

namespace {

// A line of the Tracker's data forms ("frame x y", "x y"): two or three
// fields of which at least one is a number. Other lines are skipped.
bool hasDataShape(const std::vector<Field> &fields)
{
    if (fields.size() != 2 && fields.size() != 3) return false;
    return std::any_of(fields.begin(), fields.end(), [](Field f) {
        bool ok = false;
        fieldToDouble(f, &ok);
        return ok;
    });
}

} // namespace

ReadResult readNukeTracker(const QByteArray &data, const QString &fileName)
{
    // The file holds one track; its name is the file's base name.
    const QString trackName = QFileInfo(fileName).completeBaseName();
    RowCollector rows;
    bool framesGuessed = false;
    int previousFrame = 0;
    std::vector<Field> fields;
    LineScanner scanner(data);
    Field line;
    while (!rows.failed() && scanner.next(line)) {
        splitSpaces(line, fields);
        if (!hasDataShape(fields)) continue;
        const int number = scanner.number();
        int frame = 0;
        if (fields.size() == 3) {
            if (!rows.frame(fields[0], number, frame)) break;
            rows.add(trackName, frame, fields[1], fields[2], number);
        } else {
            // x and y only (an X that happens to be whole included): frames
            // count on from the previous row
            frame = rows.count() ? previousFrame + 1 : 1;
            if (frame > FrameLimit) {
                rows.fail(QStringLiteral("the frame after %1 is outside the frames Corvane "
                                         "handles.")
                              .arg(previousFrame),
                          number);
                break;
            }
            rows.add(trackName, frame, fields[0], fields[1], number);
            framesGuessed = true;
        }
        previousFrame = frame;
    }
    ReadResult result = rows.finish();
    if (result.ok() && framesGuessed) result.set.firstFrame = QStringLiteral("0");
    return result;
}

bool looksLikeNukeTracker(const QByteArray &data)
{
    std::vector<Field> fields;
    LineScanner scanner(data);
    Field line;
    int samples = 0;
    while (scanner.next(line)) {
        if (line.isEmpty()) continue;
        splitSpaces(line, fields);
        bool ok = fields.size() == 2 || fields.size() == 3;
        for (size_t i = 0; ok && i < fields.size(); ++i) {
            if (i == 0 && fields.size() == 3)
                fieldToInt(fields[i], &ok);
            else
                fieldToDouble(fields[i], &ok);
        }
        if (!ok) return false;
        ++samples;
    }
    return samples > 0;
}

namespace {

// A frame as the CameraTracker writes it, "12.00": the part before ".00".
Field withoutDecimals(Field f)
{
    for (const char *p = f.begin; p + 3 <= f.end; ++p) {
        if (p[0] == '.' && p[1] == '0' && p[2] == '0') {
            f.end = p;
            break;
        }
    }
    return f;
}

bool isFrameField(Field f)
{
    bool ok = false;
    fieldToInt(withoutDecimals(f), &ok);
    return ok;
}

} // namespace

bool looksLikeNukeCameraTracker(const QByteArray &data)
{
    if (!data.startsWith("TrackName ") && !data.contains("\nTrackName ")) return false;
    // Samples, or a sample line with a bad number for the reader to report.
    ReadResult read = readNukeCameraTracker(data, QString());
    return read.set.count > 0 || !read.ok();
}

ReadResult readNukeCameraTracker(const QByteArray &data, const QString &)
{
    RowCollector rows;
    QString name = QStringLiteral("autotrack0"); // for a file without a TrackName line
    std::vector<Field> fields;
    LineScanner scanner(data);
    Field line;
    static const char trackNamePrefix[] = "TrackName ";
    const size_t prefixLength = sizeof trackNamePrefix - 1;
    while (!rows.failed() && scanner.next(line)) {
        if (size_t(line.end - line.begin) > prefixLength &&
            std::memcmp(line.begin, trackNamePrefix, prefixLength) == 0) {
            // The rest of the line is the name, blanks and all.
            name = fieldToString({line.begin + prefixLength, line.end});
            continue;
        }
        splitWhitespace(line, fields);
        if (fields.size() < 3) {
            if (fields.size() == 2 && !fields[0].isEmpty() && !fields[0].equals("Frame"))
                name = fieldToString(fields[1]);
            continue;
        }
        // A frame of five digits or more fills its column: the line then
        // starts with it instead of with blanks.
        if (!fields[0].isEmpty() && isFrameField(fields[0]))
            fields.insert(fields.begin(), Field{line.begin, line.begin});
        if (fields[1].equals("Frame") || fields.size() < 4)
            continue; // column heading, or a sample without its Y
        rows.add(name, withoutDecimals(fields[1]), fields[2], fields[3], scanner.number());
    }
    return rows.finish();
}

namespace {

void trackerHeader(WriteContext &ctx)
{
    ctx.switchToTrackFile(ctx.firstRow().name);
}

void trackerRow(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) ctx.switchToTrackFile(r.name);
    QByteArray &out = ctx.out();
    appendInt(out, r.frame);
    out += ' ';
    r.appendX(out);
    out += ' ';
    r.appendY(out);
    out += '\n';
}

// Right-aligns the text that runs from start to the end of out in a column
// of width; a longer text is written whole, never cut.
void alignColumn(QByteArray &out, qsizetype start, int width)
{
    qsizetype length = out.size() - start;
    if (length < width) out.insert(start, width - length, ' ');
}

// The X and Y columns: 13 wide, but a text of under 6 characters follows
// exactly seven blanks, and one that fills the column or more follows one
// blank, so it never runs into the column before.
void alignCoordinate(QByteArray &out, qsizetype start)
{
    const qsizetype length = out.size() - start;
    if (length < 6)
        out.insert(start, 7, ' ');
    else if (length >= 13)
        out.insert(start, 1, ' ');
    else
        alignColumn(out, start, 13);
}

void cameraHeader(WriteContext &ctx)
{
    ctx.census();
    ExportRow first = ctx.firstRow();
    ctx.previousName = first.name;
    ctx.hasPreviousName = true;
    ctx.write("TrackName ");
    ctx.write(first.name);
    ctx.write(cameraTrackerHeading);
}

void cameraRow(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ++ctx.trackCounter;
        ctx.write("\nTrackName ");
        ctx.write(r.name);
        ctx.write(cameraTrackerHeading);
    }
    QByteArray &out = ctx.out();
    qsizetype start = out.size();
    appendInt(out, r.frame);
    alignColumn(out, start, 5);
    out += ".00";
    start = out.size();
    r.appendX(out);
    alignCoordinate(out, start);
    start = out.size();
    r.appendY(out);
    alignCoordinate(out, start);
    out += "         1.000 \n";
}

const WriterSteps trackerWriter{trackerHeader, trackerRow, nullptr};
const WriterSteps cameraTrackerWriter{cameraHeader, cameraRow, nullptr};

} // namespace

Formats nukeFormats()
{
    Format tracker;
    tracker.id = "nuke-tracker";
    tracker.name = "Nuke Tracker";
    tracker.importFilter = "Nuke Tracker File (*.*)";
    tracker.treeExportFilter = "Nuke Tracker File (*.txt)";
    tracker.read = readNukeTracker;
    tracker.sniff = looksLikeNukeTracker;
    tracker.writer = &trackerWriter;
    tracker.trackFileExtension = ".txt";

    Format roto;
    roto.id = "nuke-rotopaint";
    roto.name = "Nuke RotoPaint";
    roto.importFilter = roto.treeExportFilter = "Nuke RotoPaint File (*.nk)";
    roto.shapes = true;

    Format camera;
    camera.id = "nuke-cameratracker";
    camera.name = "Nuke CameraTracker";
    camera.importFilter = "Nuke CameraTracker File (*.*)";
    camera.treeExportFilter = "Nuke CameraTracker File (*.txt)";
    camera.read = readNukeCameraTracker;
    camera.sniff = looksLikeNukeCameraTracker;
    camera.writer = &cameraTrackerWriter;

    Formats out{tracker, roto, camera};
    for (Format &f : out) {
        f.source = SourceRule::Flip;
        f.target = TargetRule::Flip;
    }
    return out;
}

} // namespace corvane
