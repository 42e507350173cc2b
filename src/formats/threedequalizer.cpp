#include "threedequalizer.h"

#include "namerule.h"
#include "table/numbers.h"
#include "textscan.h"

#include <algorithm>

namespace corvane {

namespace {

constexpr int NoFrameYet = 1000000;

struct Reader
{
    TrackSet set;
    int smallest = NoFrameYet;
    QString name;
    std::vector<Field> fields;

    void addRow(const QString &trackName, Field f, Field x, Field y)
    {
        int frame = fieldToInt(f);
        set.append(trackName, frame, fieldToDouble(x), fieldToDouble(y));
        smallest = std::min(smallest, frame);
    }

    // One line by the field-count rules: a name line, a frame line or skipped.
    void lineByRules(Field line)
    {
        splitWhitespace(line, fields);
        if (fields.size() == 1) {
            Field f = fields[0];
            bool ok = false;
            int value = fieldToInt(f, &ok);
            if (!f.equals("0") && value == 0) name = applyNameRule(fieldToString(f));
        } else if (fields.size() == 3) {
            addRow(name, fields[0], fields[1], fields[2]);
        }
    }

    // One track read by its structure: name, colour, count and that many
    // frame lines. Reads nothing and returns false when the lines break it.
    bool track(LineScanner &scanner)
    {
        LineScanner probe = scanner;
        Field nameLine, colourLine, countLine;
        if (!probe.next(nameLine) || !probe.next(colourLine) || !probe.next(countLine))
            return false;
        splitWhitespace(colourLine, fields);
        bool ok = false;
        if (fields.size() != 1) return false;
        fieldToInt(fields[0], &ok);
        if (!ok) return false;
        splitWhitespace(countLine, fields);
        int count = fields.size() == 1 ? fieldToInt(fields[0], &ok) : 0;
        if (fields.size() != 1 || !ok || count < 0) return false;
        // Check every frame line before taking any of them.
        LineScanner rows = probe;
        Field line;
        for (int i = 0; i < count; ++i) {
            if (!rows.next(line)) return false;
            splitWhitespace(line, fields);
            if (fields.size() != 3) return false;
            fieldToInt(fields[0], &ok);
            if (!ok) return false;
        }
        QString trackName = applyNameRule(fieldToString(nameLine));
        for (int i = 0; i < count; ++i) {
            probe.next(line);
            splitWhitespace(line, fields);
            addRow(trackName, fields[0], fields[1], fields[2]);
        }
        name = trackName;
        scanner = probe;
        return true;
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
            reader.set.reserve(int(std::min<qsizetype>(data.size() / 16, 1 << 24)));
            for (int t = 0; t < tracks && reader.track(scanner); ++t) {
            }
        }
        while (scanner.next(line))
            reader.lineByRules(line);
    }
    reader.set.firstFrame = QString::number(reader.smallest);
    ReadResult result;
    result.set = std::move(reader.set);
    return result;
}

bool looksLikeThreeDEv4(const QByteArray &data)
{
    LineScanner scanner(data);
    Field line;
    if (!scanner.next(line)) return false;
    std::vector<Field> fields;
    splitWhitespace(line, fields);
    bool ok = false;
    int tracks = fields.size() == 1 ? fieldToInt(fields[0], &ok) : 0;
    Reader reader;
    return ok && tracks > 0 && reader.track(scanner) && reader.set.count > 0;
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
    v3.source = SourceRule::Flip;
    v3.target = TargetRule::Flip;
    v3.statesPlate = true;
    return {v4, v3};
}

} // namespace corvane
