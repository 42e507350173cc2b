// SPDX-License-Identifier: Apache-2.0
// Maya Live point tracks: "#  Size  w  h", then per track "#  Name  name"
// and "index frame x y residual" lines; Y up from the centre, in units of
// half the plate height.
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/namerule.h"
#include "table/numbers.h"

namespace corvane {

namespace {

// The text after the word on a "#" line, trimmed ("" when it has none).
bool afterWord(Field line, const char *word, Field &rest)
{
    line = trimmed(line);
    if (line.isEmpty() || *line.begin != '#') return false;
    const QByteArrayView view(line.begin, line.end - line.begin);
    const qsizetype at = view.indexOf(QByteArrayView(word));
    if (at < 0) return false;
    rest = trimmed({line.begin + at + qsizetype(qstrlen(word)), line.end});
    return true;
}

ReadResult readMayaLive(const QByteArray &data, const QString &)
{
    RowCollector rows;
    LineScanner scanner(data);
    Field line, rest;
    std::vector<Field> fields;
    int width = 0, height = 0;
    if (scanner.next(line) && afterWord(line, "Size", rest)) {
        splitTrimmed(rest, fields);
        if (fields.size() >= 2) {
            width = fieldToInt(fields[0]);
            height = fieldToInt(fields[1]);
        }
    }
    QString name;
    while (!rows.failed() && scanner.next(line)) {
        if (afterWord(line, "Name", rest)) {
            name = applyNameRule(fieldToString(rest));
            continue;
        }
        splitTrimmed(line, fields);
        if (fields.size() != 5 || *fields[0].begin == '#') continue;
        rows.add(name, fields[1], fields[2], fields[3], scanner.number());
    }
    ReadResult result = refuseCutRow(rows.finish(), data);
    result.set.plateWidth = width;
    result.set.plateHeight = height;
    return result;
}

Streamed streamMayaLive(LineSource &lines, const QString &, RowStream &out)
{
    StreamedRows rows(out);
    Field line, rest;
    std::vector<Field> fields;
    if (!rows.nextLine(lines, line, fields)) return Streamed::Declined;
    if (afterWord(line, "Size", rest)) {
        std::vector<Field> size;
        splitTrimmed(rest, size);
        if (size.size() >= 2) rows.setPlate(fieldToInt(size[0]), fieldToInt(size[1]));
    }
    QString name;
    while (rows.nextLine(lines, line, fields)) {
        if (afterWord(line, "Name", rest)) {
            name = applyNameRule(fieldToString(rest));
            continue;
        }
        if (fields.size() != 5 || *fields[0].begin == '#') continue;
        const Streamed added = rows.add(name, fields[1], fields[2], fields[3], lines.number());
        if (added != Streamed::Read) return added;
    }
    return rows.finish(lines);
}

bool looksLikeMayaLive(const QByteArray &data)
{
    LineScanner scanner(data);
    Field line, rest;
    if (!scanner.next(line) || !afterWord(line, "Size", rest)) return false;
    while (scanner.next(line))
        if (!trimmed(line).isEmpty()) return afterWord(line, "Name", rest);
    return false;
}

void header(WriteContext &ctx)
{
    ctx.write("#  Size  ");
    ctx.writeInt(ctx.windowWidth);
    ctx.write("  ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("\n");
}

void row(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ++ctx.trackCounter;
        ctx.write("#  Name  ");
        ctx.write(r.name);
        ctx.write("\n");
    }
    QByteArray &out = ctx.out();
    appendInt(out, ctx.trackCounter - 1);
    out += ' ';
    r.appendFrameXY(out, " ");
    out += " 0.000\n";
}

const WriterSteps writer{header, row, nullptr};

} // namespace

Formats mayaLiveFormats()
{
    Format f;
    f.id = "mayalive";
    f.name = "Maya Live";
    f.importFilter = f.treeExportFilter = "Maya Live Track File (*.txt)";
    f.recognition = {Recognition::Marker, "Size", "This is not a Maya Live File!"};
    f.read = readMayaLive;
    f.stream = streamMayaLive;
    f.sniff = looksLikeMayaLive;
    f.writer = &writer;
    f.source = SourceRule::Maya;
    f.target = TargetRule::Maya;
    f.frameBase = FrameBase::FromZero; // relative to the start frame, 0
    f.statesPlate = true;
    return {f};
}

} // namespace corvane
