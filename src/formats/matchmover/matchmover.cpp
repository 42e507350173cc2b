// SPDX-License-Identifier: Apache-2.0
// MatchMover/Movimento point tracks (.rz2): braced blocks, first the image
// sequence (its size, and a file reference that may run over several
// lines), then one "pointTrack" block per track with "frame x y …" lines.
#include "formats/families.h"
#include "formats/kit/rowcollector.h"
#include "table/namerule.h"
#include "table/numbers.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

bool startsWith(Field f, const char *word)
{
    const size_t n = qstrlen(word);
    return size_t(f.end - f.begin) >= n && std::memcmp(f.begin, word, n) == 0;
}

// The text between the first and the last double quote.
Field quoted(Field line)
{
    const char *first = std::find(line.begin, line.end, '"');
    const char *last = line.end;
    while (last > first && last[-1] != '"')
        --last;
    if (first == line.end || last - 1 <= first) return {line.end, line.end};
    return {first + 1, last - 1};
}

// The braced blocks of a file, line by line: the image sequence, then a
// "pointTrack" block per track.
class Blocks
{
public:
    enum class Line { Structure, InImageSequence, InPointTrack };

    // What the (trimmed) line is, after what it opens or closes.
    Line take(Field text)
    {
        if (startsWith(text, "imageSequence")) {
            m_opened = Block::ImageSequence;
        } else if (startsWith(text, "pointTrack")) {
            m_opened = Block::PointTrack;
            m_name = applyNameRule(fieldToString(quoted(text)));
        } else if (startsWith(text, "{")) {
            m_block = m_opened;
            m_opened = Block::None;
        } else if (startsWith(text, "}")) {
            m_block = Block::None;
        } else if (m_block == Block::ImageSequence) {
            return Line::InImageSequence;
        } else if (m_block == Block::PointTrack) {
            return Line::InPointTrack;
        }
        return Line::Structure;
    }
    const QString &name() const { return m_name; }
    // Every block closes: a file that stops inside one was cut.
    bool open() const { return m_block != Block::None || m_opened != Block::None; }
    bool inPointTrack() const
    {
        return m_block == Block::PointTrack || m_opened == Block::PointTrack;
    }

private:
    enum class Block { None, ImageSequence, PointTrack };
    Block m_block = Block::None, m_opened = Block::None;
    QString m_name;
};

// The size that leads a line of the image sequence, where it does.
bool imageSize(Field text, int &width, int &height)
{
    std::vector<Field> fields;
    splitTrimmed(text, fields);
    bool w = false, h = false;
    if (fields.size() < 2) return false;
    const int a = fieldToInt(fields[0], &w), b = fieldToInt(fields[1], &h);
    if (!w || !h) return false;
    width = a;
    height = b;
    return true;
}

ReadResult readMatchMover(const QByteArray &data, const QString &)
{
    RowCollector rows;
    LineScanner scanner(data);
    Field line;
    std::vector<Field> fields;
    Blocks blocks;
    int width = 0, height = 0;
    while (!rows.failed() && scanner.next(line)) {
        const Field text = trimmed(line);
        const Blocks::Line what = blocks.take(text);
        // The size leads the first line that holds it.
        if (what == Blocks::Line::InImageSequence && width == 0) imageSize(text, width, height);
        if (what != Blocks::Line::InPointTrack) continue;
        // Frame, X and Y lead; keys and search areas may follow.
        splitTrimmed(text, fields);
        if (fields.empty()) continue;
        if (fields.size() < 3) {
            rows.fail(QStringLiteral("a frame line needs a frame, X and Y."), scanner.number());
            break;
        }
        rows.add(blocks.name(), fields[0], fields[1], fields[2], scanner.number());
    }
    if (!rows.failed() && blocks.open())
        rows.fail(blocks.inPointTrack()
                      ? QStringLiteral("the file ends inside the point track \"%1\": its "
                                       "\"}\" is missing.")
                            .arg(blocks.name())
                      : QStringLiteral("the file ends inside its image sequence block."),
                  scanner.number(), ErrorKind::CutShort);
    ReadResult result = rows.finish();
    result.set.plateWidth = width;
    result.set.plateHeight = height;
    return result;
}

// The same in pieces; the plate must come before the first row, as
// MatchMover writes it, for the pieces to carry it.
Streamed streamMatchMover(LineSource &lines, const QString &, RowStream &out)
{
    StreamedRows rows(out);
    Field line;
    std::vector<Field> fields;
    Blocks blocks;
    int width = 0, height = 0;
    bool anyRow = false;
    while (lines.next(line)) {
        const Field text = trimmed(line);
        const Blocks::Line what = blocks.take(text);
        if (what == Blocks::Line::InImageSequence && width == 0 && imageSize(text, width, height)) {
            if (anyRow) return Streamed::Declined;
            rows.setPlate(width, height);
        }
        if (what != Blocks::Line::InPointTrack) continue;
        splitTrimmed(text, fields);
        if (fields.empty()) continue;
        if (fields.size() < 3) return Streamed::Declined;
        anyRow = true;
        const Streamed added =
            rows.add(blocks.name(), fields[0], fields[1], fields[2], lines.number());
        if (added != Streamed::Read) return added;
    }
    return blocks.open() ? Streamed::Declined : rows.finish(lines);
}

bool looksLikeMatchMover(const QByteArray &data)
{
    return data.contains("pointTrack") && data.contains('{');
}

// The image sequence MatchMover's own files name: the target's name with
// a frame number, where a double quote (which would end it) becomes "_".
QString sequenceName(const QString &targetPath)
{
    QString name = QFileInfo(targetPath).completeBaseName();
    if (name.isEmpty()) name = QStringLiteral("Sequence");
    for (QChar &c : name)
        if (c == QLatin1Char('"') || c.unicode() < 0x20) c = QLatin1Char('_');
    return name + QStringLiteral(".%04d.jpg");
}

// The size line as MatchMover writes it: size, the sequence's file
// reference, and its first and last frame with the step ("b( 1 211 1 )").
void header(WriteContext &ctx)
{
    int first = 0, last = 0;
    for (int k = 0; k < ctx.exportRowCount(); ++k) {
        const int frame = ctx.exportRow(k).frame;
        first = k == 0 ? frame : std::min(first, frame);
        last = k == 0 ? frame : std::max(last, frame);
    }
    ctx.write("imageSequence\t\"Sequence 01\"\n{\n\t");
    ctx.writeInt(ctx.windowWidth);
    ctx.write("\t");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("\tf( \"");
    ctx.write(sequenceName(ctx.targetPath));
    ctx.write("\" )\tb( ");
    ctx.writeInt(first);
    ctx.write(" ");
    ctx.writeInt(last);
    ctx.write(" 1 )\t\n");
}

void row(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ++ctx.trackCounter;
        ctx.write("}\npointTrack  \"");
        ctx.write(r.name);
        ctx.write("\"  rgb( 0 0 0 )\t\n{\n");
    }
    QByteArray &out = ctx.out();
    out += '\t';
    appendInt(out, r.frame);
    out += "\t   ";
    r.appendX(out);
    out += "     ";
    r.appendY(out);
    out += '\n';
}

void footer(WriteContext &ctx)
{
    ctx.write("}\n");
}

const WriterSteps writer{header, row, footer};

} // namespace

Formats matchMoverFormats()
{
    Format f;
    f.id = "matchmover";
    f.name = "MatchMover/Movimento";
    f.importFilter = f.treeExportFilter = "MatchMover/Movimento Track File (*.rz2)";
    f.recognition = {Recognition::Marker, "imageSequence",
                     "This is not a MatchMover/Movimento File!"};
    f.read = readMatchMover;
    f.stream = streamMatchMover;
    f.sniff = looksLikeMatchMover;
    f.writer = &writer;
    f.statesPlate = true;
    return {f};
}

} // namespace corvane
