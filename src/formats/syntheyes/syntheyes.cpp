// SPDX-License-Identifier: Apache-2.0
// SynthEyes point tracks: one line per point, "name frame x y status", with
// coordinates from -1 to 1 across the plate.
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/namerule.h"
#include "table/numbers.h"

namespace corvane {

namespace {

// Name, frame, X, Y and an optional status.
bool isDataLine(const std::vector<Field> &fields)
{
    return fields.size() == 4 || fields.size() == 5;
}

ReadResult readSynthEyes(const QByteArray &data, const QString &)
{
    return readNamedRows(data, isDataLine);
}

Streamed streamSynthEyes(LineSource &lines, const QString &, RowStream &out)
{
    return streamNamedRows(lines, out, isDataLine);
}

// The file has no header: its first line is already a point.
bool looksLikeSynthEyes(const QByteArray &data)
{
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    while (scanner.next(line)) {
        splitTrimmed(line, fields);
        if (fields.empty()) continue;
        if (!isDataLine(fields)) return false;
        bool frame = false, x = false, y = false;
        fieldToInt(fields[1], &frame);
        fieldToDouble(fields[2], &x);
        fieldToDouble(fields[3], &y);
        return frame && x && y;
    }
    return false;
}

void row(WriteContext &ctx, const ExportRow &r)
{
    ctx.write(r.name);
    QByteArray &out = ctx.out();
    out += ' ';
    r.appendFrameXY(out, " ");
    out += " 15\n";
}

const WriterSteps writer{nullptr, row, nullptr};

} // namespace

Formats synthEyesFormats()
{
    Format f;
    f.id = "syntheyes";
    f.name = "SynthEyes";
    f.importFilter = f.treeExportFilter = "SynthEyes Track File (*.txt)";
    f.read = readSynthEyes;
    f.stream = streamSynthEyes;
    f.sniff = looksLikeSynthEyes;
    f.writer = &writer;
    f.source = SourceRule::SynthEyes;
    f.target = TargetRule::SynthEyes;
    // -1 and +1 are the centres of the edge pixels; frames count from 0.
    f.centres = PixelCentres::EdgePixelCentres;
    f.frameBase = FrameBase::FromZero;
    f.nameNoBlanks = true; // the name is the line's first blank-separated field
    return {f};
}

} // namespace corvane
