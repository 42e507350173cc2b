#include "threedequalizer.h"

#include "namerule.h"
#include "rowcollector.h"
#include "table/numbers.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace corvane {

namespace {

struct Reader
{
    struct FrameLine
    {
        std::array<Field, 3> fields;
        int number;
    };

    RowCollector rows;
    QString name;
    std::vector<Field> fields;
    std::vector<FrameLine> frameLines; // of the track being read

    // One line by the field-count rules: a name line, a frame line or skipped.
    void lineByRules(Field line, int number)
    {
        splitWhitespace(line, fields);
        if (fields.size() == 1) {
            Field f = fields[0];
            bool ok = false;
            int value = fieldToInt(f, &ok);
            if (!f.equals("0") && value == 0) name = applyNameRule(fieldToString(f));
        } else if (fields.size() == 3) {
            rows.add(name, fields[0], fields[1], fields[2], number);
        }
    }

    enum Outcome { Read, NotATrack, CutShort };

    // One track read by its structure: name, colour, count and that many
    // frame lines. Reads nothing and says NotATrack when the lines break
    // the structure; CutShort (with what was read) when the file ends first.
    Outcome track(LineScanner &scanner)
    {
        LineScanner probe = scanner;
        Field nameLine, colourLine, countLine;
        if (!probe.next(nameLine) || !probe.next(colourLine) || !probe.next(countLine))
            return NotATrack;
        splitWhitespace(colourLine, fields);
        bool ok = false;
        if (fields.size() != 1) return NotATrack;
        fieldToInt(fields[0], &ok);
        if (!ok) return NotATrack;
        splitWhitespace(countLine, fields);
        int count = fields.size() == 1 ? fieldToInt(fields[0], &ok) : 0;
        if (fields.size() != 1 || !ok || count < 0) return NotATrack;
        // Check every frame line's shape before taking any of them; the
        // fields are kept, so each line is split once.
        Field line;
        int held = 0;
        frameLines.clear();
        for (LineScanner lines = probe; held < count && lines.next(line); ++held) {
            splitWhitespace(line, fields);
            if (fields.size() != 3 || !isNumber(fields[0])) return NotATrack;
            frameLines.push_back({{fields[0], fields[1], fields[2]}, lines.number()});
            probe = lines;
        }
        const QString trackName = applyNameRule(fieldToString(nameLine));
        for (int i = 0; i < held && !rows.failed(); ++i) {
            const FrameLine &f = frameLines[size_t(i)];
            rows.add(trackName, f.fields[0], f.fields[1], f.fields[2], f.number);
        }
        name = trackName;
        scanner = probe;
        if (held == count) return Read;
        rows.cutShort(QStringLiteral("track \"%1\" promises %2 rows, but the file ends after %3.")
                          .arg(trackName)
                          .arg(count)
                          .arg(held));
        return CutShort;
    }

    static bool isNumber(Field f)
    {
        bool ok = false;
        fieldToDouble(f, &ok);
        return ok || (!f.isEmpty() && (std::isdigit(uchar(*f.begin)) || *f.begin == '-'));
    }
};

} // namespace

ReadResult readThreeDEv4(const QByteArray &data, const QString &)
{
    Reader reader;
    LineScanner scanner(data);
    Field line;
    if (scanner.next(line)) {
        // The count line leads the structured reading; where the file stops
        // following the structure, the line rules read the rest.
        std::vector<Field> fields;
        splitWhitespace(line, fields);
        bool ok = false;
        int tracks = fields.size() == 1 ? fieldToInt(fields[0], &ok) : 0;
        if (ok && tracks > 0) {
            reader.rows.reserve(int(std::min<qsizetype>(data.size() / 16, 1 << 24)));
            int t = 0;
            Reader::Outcome outcome = Reader::Read;
            for (; t < tracks && !reader.rows.failed(); ++t) {
                outcome = reader.track(scanner);
                if (outcome != Reader::Read) break;
            }
            if (outcome != Reader::CutShort && t < tracks && scanner.atEnd() &&
                !reader.rows.failed())
                reader.rows.cutShort(QStringLiteral("the file promises %1 tracks, but it ends "
                                                    "after %2.")
                                         .arg(tracks)
                                         .arg(t));
        }
        while (!reader.rows.failed() && scanner.next(line))
            reader.lineByRules(line, scanner.number());
    }
    return reader.rows.finish();
}

bool looksLikeThreeDEv4(const QByteArray &data)
{
    const QByteArray head = headLines(data);
    LineScanner scanner(head);
    Field line;
    if (!scanner.next(line)) return false;
    std::vector<Field> fields;
    splitWhitespace(line, fields);
    bool ok = false;
    int tracks = fields.size() == 1 ? fieldToInt(fields[0], &ok) : 0;
    Reader reader;
    // The layout is evidence enough: a bad number or a file cut short is
    // the reader's to report.
    return ok && tracks > 0 && reader.track(scanner) != Reader::NotATrack;
}

namespace {

void header(WriteContext &ctx)
{
    ctx.writeInt(ctx.census().changes + 1);
    ctx.write("\n");
}

void row(WriteContext &ctx, const ExportRow &r)
{
    if (!ctx.hasPreviousName || r.name != ctx.previousName) {
        ctx.write(r.name);
        ctx.write("\n0\n");
        const QStringList &counts = ctx.census().rowCounts;
        if (ctx.trackCounter < counts.size()) {
            ctx.write(counts.at(ctx.trackCounter));
            ctx.write("\n");
        }
        ++ctx.trackCounter;
    }
    QByteArray &out = ctx.out();
    appendInt(out, r.frame);
    out += ' ';
    r.appendXCell(out);
    out += ' ';
    r.appendYCell(out);
    out += '\n';
}

const WriterSteps writer{header, row, nullptr};

} // namespace

Formats threeDEFormats()
{
    Format v4;
    v4.id = "3de4";
    v4.name = "3D Equalizer v4";
    v4.importFilter = v4.treeExportFilter = "3DE v4 Track File (*.txt)";
    v4.recognition = {Recognition::NoDoubleSlash, nullptr,
                      "This is not a 3DE File! Check type of versions!"};
    v4.read = readThreeDEv4;
    v4.sniff = looksLikeThreeDEv4;
    v4.writer = &writer;
    v4.source = SourceRule::Flip;
    v4.target = TargetRule::Flip;

    Format v3;
    v3.id = "3de3";
    v3.name = "3D Equalizer v3";
    v3.importFilter = v3.treeExportFilter = "3DE v3 Track File (*.ascii)";
    v3.recognition = {Recognition::DoubleSlash, nullptr,
                      "This is not a 3DE File! Check type of versions!"};
    v3.read = readThreeDEv3;
    v3.sniff = looksLikeThreeDEv3;
    v3.writer = &threeDEv3Writer;
    v3.source = SourceRule::Flip;
    v3.target = TargetRule::Flip;
    v3.statesPlate = true;
    return {v4, v3};
}

} // namespace corvane
