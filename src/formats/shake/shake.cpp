// SPDX-License-Identifier: Apache-2.0
// Shake: tracker text files ("TrackName" blocks; Corvane writes one file
// per track) and RotoShape shapes.
#include "formats/families.h"
#include "formats/kit/tracknamefile.h"
#include "shakerotoshape.h"
#include "table/numbers.h"

namespace corvane {

namespace {

ReadResult readShakeTrack(const QByteArray &data, const QString &)
{
    return readTrackNameBlocks(data, TrackNames::NameRule);
}

Streamed streamShakeTrack(LineSource &lines, const QString &, RowStream &out)
{
    return streamTrackNameBlocks(lines, out, TrackNames::NameRule);
}

bool looksLikeShakeTrack(const QByteArray &data)
{
    return hasTrackNameBlocks(data) && trackNameWriter(data) != TrackNameWriter::Nuke;
}

static bool hasShakeTrackHabits(const QByteArray &data)
{
    return trackNameBlockCount(data) == 1;
}

void trackRow(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ctx.switchToTrackFile(r.name);
        ctx.write("TrackName ");
        ctx.write(r.name);
        ctx.write("\n   Frame             X             Y   Correlation\n");
    }
    QByteArray &out = ctx.out();
    out += "    ";
    appendInt(out, r.frame);
    out += ".00       ";
    r.appendX(out);
    out += "       ";
    r.appendY(out);
    out += "         1.000\n";
}

void trackHeader(WriteContext &ctx)
{
    ctx.switchToTrackFile(ctx.firstRow().name);
}

const WriterSteps trackWriter{trackHeader, trackRow, nullptr};

} // namespace

Formats shakeFormats()
{
    Format track;
    track.id = "shake-track";
    track.name = "Shake Track";
    track.importFilter = track.treeExportFilter = "Shake Track File (*.txt)";
    track.recognition = {Recognition::Marker, "TrackName", "This is not a Shake File!"};
    track.read = readShakeTrack;
    track.stream = streamShakeTrack;
    track.sniff = looksLikeShakeTrack;
    track.habits = hasShakeTrackHabits;
    track.writer = &trackWriter;
    track.source = SourceRule::Flip;
    track.target = TargetRule::Flip;
    track.trackFileExtension = ".txt";

    Format shape;
    shape.id = "shake-rotoshape";
    shape.name = "Shake RotoShape";
    shape.importFilter = shape.treeExportFilter = "Shake RotoShape File (*.ssf)";
    shape.recognition = {Recognition::Marker, "shake_shape_data", "This is not a Shake File!"};
    shape.read = readShakeRotoShape;
    shape.readLines = readShakeRotoShapeLines;
    shape.sniff = looksLikeShakeRotoShape;
    shape.writer = &shakeRotoShapeWriter;
    shape.source = SourceRule::Flip;
    shape.target = TargetRule::Flip;
    shape.shapes = true;
    return {track, shape};
}

} // namespace corvane
