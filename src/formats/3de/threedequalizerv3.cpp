// SPDX-License-Identifier: Apache-2.0
// 3D Equalizer v3 "Multiple Tracking Curves": a header with the image size,
// then per track a name line and frame lines that begin with white space.
#include "threedequalizer.h"

#include "formats/kit/rowcollector.h"
#include "table/namerule.h"
#include "table/numbers.h"

namespace corvane {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

// The header's width and height: its 7th and 9th blank-separated fields
// (0 where they are not numbers).
void readHeader(Field line, TrackSet &set)
{
    std::vector<Field> fields;
    splitSpaces(line, fields);
    if (fields.size() > 6) set.plateWidth = fieldToInt(fields[6]);
    if (fields.size() > 8) set.plateHeight = fieldToInt(fields[8]);
}

bool isNumber(Field f)
{
    bool ok = false;
    fieldToDouble(f, &ok);
    return ok;
}

// "frame : x, y": the frame, a colon, X up to its comma, Y.
bool colonLayout(const std::vector<Field> &fields)
{
    return fields.size() >= 4 && fields[1].equals(":");
}

} // namespace

ReadResult readThreeDEv3(const QByteArray &data, const QString &)
{
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    if (scanner.next(line)) readHeader(line, rows.set());
    const int width = rows.set().plateWidth, height = rows.set().plateHeight;
    QString name;
    std::vector<Field> fields;
    while (!rows.failed() && scanner.next(line)) {
        splitTrimmed(line, fields);
        if (fields.empty()) continue; // a blank line
        const bool indented = isSpace(*line.begin);
        const bool threeNumbers =
            fields.size() == 3 && isNumber(fields[0]) && isNumber(fields[1]) && isNumber(fields[2]);
        if (colonLayout(fields)) {
            Field x = fields[2];
            for (const char *p = x.begin; p < x.end; ++p)
                if (*p == ',') x.end = p;
            rows.add(name, fields[0], x, fields[3], scanner.number());
        } else if (indented || threeNumbers) {
            if (fields.size() < 3) {
                rows.fail(QStringLiteral("a frame line needs a frame, X and Y."), scanner.number());
                break;
            }
            rows.add(name, fields[0], fields[1], fields[2], scanner.number());
        } else {
            // Whatever else the line holds is the next track's name: 3D
            // Equalizer names points "01", "02", … by default.
            Field whole{fields.front().begin, fields.back().end};
            name = applyNameRule(fieldToString(whole));
        }
    }
    ReadResult result = refuseCutRow(rows.finish(), data);
    result.set.plateWidth = width;
    result.set.plateHeight = height;
    return result;
}

Streamed streamThreeDEv3(LineSource &lines, const QString &, RowStream &out)
{
    StreamedRows rows(out);
    Field line;
    std::vector<Field> fields;
    if (!rows.nextLine(lines, line, fields)) return Streamed::Declined;
    TrackSet header;
    readHeader(line, header);
    rows.setPlate(header.plateWidth, header.plateHeight);
    QString name;
    while (rows.nextLine(lines, line, fields)) {
        if (fields.empty()) continue;
        const bool threeNumbers =
            fields.size() == 3 && isNumber(fields[0]) && isNumber(fields[1]) && isNumber(fields[2]);
        Streamed added = Streamed::Read;
        if (colonLayout(fields)) {
            Field x = fields[2];
            for (const char *p = x.begin; p < x.end; ++p)
                if (*p == ',') x.end = p;
            added = rows.add(name, fields[0], x, fields[3], lines.number());
        } else if (isSpace(*line.begin) || threeNumbers) {
            if (fields.size() < 3) return Streamed::Declined;
            added = rows.add(name, fields[0], fields[1], fields[2], lines.number());
        } else {
            name = applyNameRule(fieldToString({fields.front().begin, fields.back().end}));
        }
        if (added != Streamed::Read) return added;
    }
    return rows.finish(lines);
}

bool looksLikeThreeDEv3(const QByteArray &data)
{
    if (!data.startsWith("//")) return false;
    ReadResult read = readThreeDEv3(headLines(data));
    return read.set.count > 0 || !read.ok();
}

namespace {

void header(WriteContext &ctx)
{
    ctx.write("// 3DE Multiple Tracking Curves Export ");
    ctx.writeInt(ctx.windowWidth);
    ctx.write(" x ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("\n");
}

void row(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ++ctx.trackCounter;
        ctx.write(r.name);
        ctx.write("\n");
    }
    QByteArray &out = ctx.out();
    out += '\t';
    appendInt(out, r.frame);
    out += '\t';
    r.appendX(out);
    out += ' ';
    r.appendY(out);
    out += '\n';
}

} // namespace

const WriterSteps threeDEv3Writer{header, row, nullptr};

} // namespace corvane
