// SPDX-License-Identifier: Apache-2.0
// Boujou point tracks: "#" comment lines, then one line per row: name,
// frame ("view"), X and Y.
#include "boujou.h"

#include "formats/kit/rowcollector.h"
#include "table/namerule.h"
#include "table/numbers.h"

namespace corvane {

namespace {

// Comment lines begin with "#"; a name with blanks makes more than four fields.
bool isBoujouRow(const std::vector<Field> &fields)
{
    return fields.size() == 4 && *fields[0].begin != '#';
}

Streamed streamBoujou(LineSource &lines, const QString &, RowStream &out)
{
    return streamNamedRows(lines, out, isBoujouRow);
}

} // namespace

ReadResult readBoujou(const QByteArray &data, const QString &)
{
    return readNamedRows(data, isBoujouRow);
}

bool looksLikeBoujou(const QByteArray &data)
{
    // Recognition has seen "boujou 2d" in the first line; a data line follows.
    ReadResult read = readBoujou(headLines(data));
    return read.set.count > 0 || !read.ok();
}

namespace {

void header(WriteContext &ctx)
{
    ctx.write("# boujou 2d tracks export: text\r\n# track_id    view      x    y\r\n");
}

void row(WriteContext &ctx, const ExportRow &r)
{
    ctx.write(r.name);
    QByteArray &out = ctx.out();
    out += "  ";
    r.appendFrameXY(out, "  ");
    out += '\n';
}

const WriterSteps writer{header, row, nullptr};

} // namespace

Formats boujouFormats()
{
    Format f;
    f.id = "boujou";
    f.name = "Boujou";
    f.importFilter = f.treeExportFilter = "Boujou Track File (*.txt)";
    f.recognition = {Recognition::Marker, "boujou 2d", "This is not a Boujou File!"};
    f.read = readBoujou;
    f.stream = streamBoujou;
    f.sniff = looksLikeBoujou;
    f.writer = &writer;
    // Fields are set off by blanks, and a "#" starts a comment line.
    f.nameNoBlanks = true;
    f.nameForbids = "#";
    return {f};
}

} // namespace corvane
