// SPDX-License-Identifier: Apache-2.0
#include "nuke.h"

#include "formats/kit/byteappender.h"

#include "formats/kit/rowcollector.h"
#include "formats/kit/tracknamefile.h"
#include "nukerotopaint.h"
#include "table/numbers.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>

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
                          number, ErrorKind::BadNumber);
                break;
            }
            rows.add(trackName, frame, fields[0], fields[1], number);
            framesGuessed = true;
        }
        previousFrame = frame;
    }
    ReadResult result = refuseCutRow(rows.finish(), data);
    if (result.ok() && framesGuessed) result.set.firstFrame = QStringLiteral("0");
    return result;
}

namespace {

// readNukeTracker line by line, for a file whose every row has its frame
// (rows that count their frames on are the whole reading's).
Streamed streamNukeTracker(LineSource &lines, const QString &fileName, RowStream &out)
{
    const QString trackName = QFileInfo(fileName).completeBaseName();
    StreamedRows rows(out);
    std::vector<Field> trimmedFields, fields;
    Field line;
    while (rows.nextLine(lines, line, trimmedFields)) {
        splitSpaces(line, fields);
        if (!hasDataShape(fields)) continue;
        if (fields.size() != 3) return Streamed::Declined;
        const Streamed added = rows.add(trackName, fields[0], fields[1], fields[2], lines.number());
        if (added != Streamed::Read) return added;
    }
    return rows.finish(lines);
}

} // namespace

bool looksLikeNukeTracker(const QByteArray &data)
{
    std::vector<Field> fields;
    const QByteArray head = headLines(data);
    LineScanner scanner(head);
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

bool looksLikeNukeCameraTracker(const QByteArray &data)
{
    return hasTrackNameBlocks(data) && trackNameWriter(data) != TrackNameWriter::Shake;
}

static bool hasCameraTrackerHabits(const QByteArray &data)
{
    return trackNameBlockCount(data) > 1;
}

ReadResult readNukeCameraTracker(const QByteArray &data, const QString &)
{
    return readTrackNameBlocks(data, TrackNames::AsWritten);
}

static Streamed streamNukeCameraTracker(LineSource &lines, const QString &, RowStream &out)
{
    return streamTrackNameBlocks(lines, out, TrackNames::AsWritten);
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
    r.appendFrameXY(out, " ");
    out += '\n';
}

void cameraHeader(WriteContext &ctx)
{
    ExportRow first = ctx.firstRow();
    ctx.previousName = first.name;
    ctx.hasPreviousName = true;
    ctx.write("TrackName ");
    ctx.write(first.name);
    ctx.write(cameraTrackerHeading);
}

// The X and Y columns: 13 wide, but a text of under 6 characters follows
// exactly seven blanks, and one that fills the column or more follows one
// blank, so it never runs into the column before.
void appendCoordinate(ByteAppender &out, double value)
{
    char digits[MaxDecimal6Length];
    const int length = formatDecimal6(digits, value);
    out.fill(' ', length < 6 ? 7 : length >= 13 ? 1 : 13 - length);
    out.append(digits, length);
}

void cameraRow(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ++ctx.trackCounter;
        ctx.write("\nTrackName ");
        ctx.write(r.name);
        ctx.write(cameraTrackerHeading);
    }
    ByteAppender out(ctx.out());
    char frame[24];
    const int length = int(std::to_chars(frame, frame + sizeof frame, r.frame).ptr - frame);
    out.fill(' ', std::max(0, 5 - length));
    out.append(frame, length);
    out << ".00";
    appendCoordinate(out, r.x());
    appendCoordinate(out, r.y());
    out << "         1.000 \n";
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
    tracker.stream = streamNukeTracker;
    tracker.sniff = looksLikeNukeTracker;
    tracker.writer = &trackerWriter;
    tracker.trackFileExtension = ".txt";

    Format roto;
    roto.id = "nuke-rotopaint";
    roto.name = "Nuke RotoPaint";
    roto.importFilter = roto.treeExportFilter = "Nuke RotoPaint File (*.nk)";
    roto.read = readNukeRotoPaint;
    roto.readLines = readNukeRotoPaintLines;
    roto.sniff = looksLikeNukeRotoPaint;
    roto.writer = &nukeRotoPaintWriter;
    roto.shapes = true;
    roto.statesPlate = true;
    roto.maxLineLength = qsizetype(1) << 30; // a shape's curve is one line, however many keys

    Format camera;
    camera.id = "nuke-cameratracker";
    camera.name = "Nuke CameraTracker";
    camera.importFilter = "Nuke CameraTracker File (*.*)";
    camera.treeExportFilter = "Nuke CameraTracker File (*.txt)";
    camera.read = readNukeCameraTracker;
    camera.stream = streamNukeCameraTracker;
    camera.sniff = looksLikeNukeCameraTracker;
    camera.habits = hasCameraTrackerHabits;
    camera.writer = &cameraTrackerWriter;

    Formats out{tracker, roto, camera};
    for (Format &f : out) {
        f.source = SourceRule::Flip;
        f.target = TargetRule::Flip;
    }
    return out;
}

} // namespace corvane
