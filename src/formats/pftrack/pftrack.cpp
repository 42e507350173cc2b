// SPDX-License-Identifier: Apache-2.0
// PFTrack point tracks: the 2011, v5 and v4 variants of one layout. After a
// quoted name, a track holds one or more blocks: an optional camera line
// ("Primary", "Secondary") or clip number, the frame count, and that many
// "frame x y residual" lines. A stereo shot's track holds a block per
// camera; the secondary camera's rows go to the track "NAME_Secondary".
#include "pftrack.h"

#include "formats/kit/rowcollector.h"
#include "table/cameras.h"
#include "table/namerule.h"
#include "table/numbers.h"

#include <QHash>

#include <algorithm>
#include <optional>
#include <utility>

namespace corvane {

namespace {

enum class Variant { Pf2011, Pf5, Pf4 };

enum class Kind { Blank, Comment, Quoted, Integer, Word, Frame, Other };

struct Line
{
    Kind kind = Kind::Blank;
    Field text; // the quoted text, or the word
    int integer = 0;
    std::vector<Field> fields;
};

void classify(Field raw, Line &line)
{
    Field f = trimmed(raw);
    line.fields.clear();
    if (f.isEmpty()) {
        line.kind = Kind::Blank;
        return;
    }
    if (*f.begin == '"') {
        // The name is everything between the first and the last double quote.
        const char *last = f.end - 1;
        while (last > f.begin && *last != '"')
            --last;
        line.kind = Kind::Quoted;
        line.text = last > f.begin ? Field{f.begin + 1, last} : Field{f.begin + 1, f.end};
        return;
    }
    splitWhitespace(f, line.fields);
    if (line.fields[0].equals("#")) {
        line.kind = Kind::Comment;
    } else if (line.fields.size() == 1) {
        bool ok = false;
        line.integer = fieldToInt(line.fields[0], &ok);
        line.text = line.fields[0];
        // Digits too many for a count are a count that is wrong, not a name.
        const bool digits = std::all_of(line.text.begin, line.text.end, [](char c) {
            return (c >= '0' && c <= '9') || c == '-' || c == '+';
        });
        line.kind = ok || digits ? Kind::Integer : Kind::Word;
        if (!ok) line.integer = -1;
    } else {
        line.kind = line.fields.size() == 4 ? Kind::Frame : Kind::Other;
    }
}

// A stereo shot's cameras: the primary's rows keep the track's name, the
// secondary's go to "NAME_Secondary". Otherwise the rows of the first
// camera or clip of the file (firstKey, once met) keep the name; those of
// any other go to a track named after both.
QString blockName(const QString &track, const QString &key, QString &firstKey)
{
    if (key == QLatin1String("Primary")) return track;
    if (key == QLatin1String("Secondary")) return track + secondaryCameraSuffix();
    if (!key.isEmpty() && firstKey.isEmpty()) firstKey = key;
    return key.isEmpty() || key == firstKey ? track : track + QLatin1Char('_') + key;
}

class Reader
{
public:
    explicit Reader(const QByteArray &data) : m_scanner(data) {}

    ReadResult read()
    {
        Line line;
        while (!m_rows.failed() && next(line))
            take(line);
        if (m_state == State::AfterName || m_state == State::AfterKey)
            m_rows.cutShort(QStringLiteral("track \"%1\" has no frame count: the file ends "
                                           "after its name.")
                                .arg(m_blockName));
        endBlock(true);
        return m_rows.finish();
    }

private:
    enum class State { Start, AfterName, AfterKey, InBlock };

    bool next(Line &line)
    {
        Field raw;
        if (!m_scanner.next(raw)) return false;
        classify(raw, line);
        return true;
    }

    // The next line that is not blank, without taking it.
    Kind peek()
    {
        LineScanner probe = m_scanner;
        Field raw;
        Line line;
        while (probe.next(raw)) {
            classify(raw, line);
            if (line.kind != Kind::Blank) return line.kind;
        }
        return Kind::Blank;
    }

    void take(const Line &line)
    {
        const int number = m_scanner.number();
        switch (line.kind) {
        case Kind::Blank:
        case Kind::Comment:
        case Kind::Other:
            return;
        case Kind::Quoted:
            if (m_state == State::AfterName) {
                m_cameraLines = true;
                startBlock(fieldToString(line.text));
            } else if (m_state == State::InBlock && m_cameraLines && peek() == Kind::Integer) {
                startBlock(fieldToString(line.text)); // another camera of this track
            } else {
                startTrack(fieldToString(line.text));
            }
            return;
        case Kind::Word:
            if (!line.text.equals("\"Primary\"")) startTrack(fieldToString(line.text));
            return;
        case Kind::Integer:
            if (m_state == State::AfterKey) {
                expect(line, number);
            } else if (m_state != State::Start && peek() == Kind::Integer) {
                startBlock(QString::number(line.integer)); // a clip number
            } else {
                startBlock(QString());
                expect(line, number);
            }
            return;
        case Kind::Frame:
            if (m_state == State::InBlock && m_held == m_expected) {
                m_rows.fail(QStringLiteral("track \"%1\" promises %2 rows, but this line is "
                                           "one more.")
                                .arg(m_blockName)
                                .arg(m_expected),
                            number);
                return;
            }
            m_rows.add(m_blockName, line.fields[0], line.fields[1], line.fields[2], number);
            ++m_held;
            return;
        }
    }

    void startTrack(const QString &quoted)
    {
        endBlock(false);
        m_track = applyNameRule(quoted);
        m_blockName = m_track;
        m_state = State::AfterName;
    }

    void startBlock(const QString &key)
    {
        endBlock(false);
        m_blockName = blockName(m_track, key, m_primary);
        m_state = State::AfterKey;
    }

    void expect(const Line &countLine, int line)
    {
        const int count = countLine.integer;
        if (count < 0) {
            m_rows.fail(QStringLiteral("the frame count \"%1\" is not a non-negative whole "
                                       "number.")
                            .arg(fieldToString(countLine.text)),
                        line, ErrorKind::BadNumber);
            return;
        }
        m_expected = count;
        m_held = 0;
        m_state = State::InBlock;
    }

    void endBlock(bool atEnd)
    {
        if (m_expected > m_held)
            m_rows.cutShort(
                QStringLiteral("track \"%1\" promises %2 rows, but %3 %4.")
                    .arg(m_blockName)
                    .arg(m_expected)
                    .arg(atEnd ? QStringLiteral("the file ends after") : QStringLiteral("it holds"))
                    .arg(m_held));
        m_expected = -1;
        m_held = 0;
    }

    LineScanner m_scanner;
    RowCollector m_rows;
    State m_state = State::Start;
    QString m_track, m_blockName, m_primary;
    bool m_cameraLines = false;
    int m_expected = -1, m_held = 0;
};

} // namespace

ReadResult readPfTrack(const QByteArray &data, const QString &)
{
    return Reader(data).read();
}

namespace {

// The whole reading's steps, line by line, for the layouts the three
// variants write. Where the whole reading looks at the next line (is a
// number a clip or a count, a quoted line a camera or a track), the line
// waits for the next one. What the whole reading would refuse, or take in
// ways no writer writes, declines.
class PlainTracks
{
public:
    PlainTracks(LineSource &lines, RowStream &out) : m_lines(lines), m_rows(out) {}

    Streamed read()
    {
        Field raw;
        Line line;
        while (m_lines.next(raw)) {
            classify(raw, line);
            if (const Streamed s = take(line); s != Streamed::Read) return s;
        }
        // The whole reading's look ahead found no line: a number was a count.
        if (m_waiting == Waiting::Number && !startBlock(QString(), m_waitingNumber))
            return Streamed::Declined;
        if (m_waiting == Waiting::Quoted || m_state != State::InBlock || m_held < m_expected)
            return Streamed::Declined;
        return m_rows.finish(m_lines);
    }

private:
    enum class State { Start, AfterName, AfterKey, InBlock };
    enum class Waiting { Nothing, Number, Quoted };

    Streamed take(const Line &line)
    {
        if (line.kind == Kind::Blank)
            return Streamed::Read; // looked past, as the whole reading does
        if (m_waiting != Waiting::Nothing && !settleWaiting(line.kind == Kind::Integer))
            return Streamed::Declined;
        switch (line.kind) {
        case Kind::Blank:
        case Kind::Comment:
            return Streamed::Read;
        case Kind::Quoted:
            return quoted(line) ? Streamed::Read : Streamed::Declined;
        case Kind::Integer:
            return integer(line) ? Streamed::Read : Streamed::Declined;
        case Kind::Frame:
            if (m_state != State::InBlock || m_held == m_expected) return Streamed::Declined;
            ++m_held;
            return m_rows.add(m_blockName, line.fields[0], line.fields[1], line.fields[2],
                              m_lines.number());
        case Kind::Word:
        case Kind::Other:
            break;
        }
        return Streamed::Declined;
    }

    bool quoted(const Line &line)
    {
        const QString text = fieldToString(line.text);
        if (m_state == State::AfterName) {
            m_cameraLines = true;
            return startBlock(text);
        }
        if (m_state == State::Start) return startTrack(text);
        if (m_state != State::InBlock || m_held < m_expected) return false;
        if (!m_cameraLines) return startTrack(text);
        m_waiting = Waiting::Quoted; // a camera when a count follows, else a track
        m_waitingText = text;
        return true;
    }

    bool integer(const Line &line)
    {
        if (m_state == State::AfterKey) return expect(line.integer);
        if (m_state == State::Start || (m_state == State::InBlock && m_held < m_expected))
            return false;
        m_waiting = Waiting::Number; // a clip number when a count follows, else a count
        m_waitingNumber = line.integer;
        return true;
    }

    // The line after a waiting one came: whether it is a whole number
    // decides what the waiting line was.
    bool settleWaiting(bool numberFollows)
    {
        const Waiting waiting = std::exchange(m_waiting, Waiting::Nothing);
        if (waiting == Waiting::Quoted)
            return numberFollows ? startBlock(m_waitingText) : startTrack(m_waitingText);
        return numberFollows ? startBlock(QString::number(m_waitingNumber))
                             : startBlock(QString(), m_waitingNumber);
    }

    bool startTrack(const QString &quoted)
    {
        m_track = applyNameRule(quoted);
        m_blockName = m_track;
        m_state = State::AfterName;
        return true;
    }

    // As the whole reading names a block's rows; with a count, the block
    // has no key and its count was the line.
    bool startBlock(const QString &key, std::optional<int> count = std::nullopt)
    {
        m_blockName = blockName(m_track, key, m_primary);
        m_state = State::AfterKey;
        return !count || expect(*count);
    }

    bool expect(int count)
    {
        if (count < 0) return false;
        m_expected = count;
        m_held = 0;
        m_state = State::InBlock;
        return true;
    }

    LineSource &m_lines;
    StreamedRows m_rows;
    State m_state = State::Start;
    Waiting m_waiting = Waiting::Nothing;
    QString m_track, m_blockName, m_primary, m_waitingText;
    int m_waitingNumber = 0;
    bool m_cameraLines = false;
    int m_expected = 0, m_held = 0;
};

Streamed streamPfTrack(LineSource &lines, const QString &, RowStream &out)
{
    return PlainTracks(lines, out).read();
}

} // namespace

namespace {

// Which variant wrote a file: the version its comment header names, else
// what follows the first name (a camera line: v5; a clip number: 2011; the
// frame count: v4).
Variant variantOf(const QByteArray &data)
{
    LineScanner scanner(data);
    Field raw;
    Line line;
    bool afterName = false;
    while (scanner.next(raw)) {
        classify(raw, line);
        if (line.kind == Kind::Blank) continue;
        if (line.kind == Kind::Comment) {
            const QByteArray comment = raw.bytes();
            if (comment.contains("PFTrack 5") || comment.contains("PFTrack v5"))
                return Variant::Pf5;
            if (comment.contains("PFTrack 4") || comment.contains("PFTrack v4"))
                return Variant::Pf4;
            if (comment.contains("PFTrack 20")) return Variant::Pf2011;
            continue;
        }
        if (!afterName) {
            afterName = line.kind == Kind::Quoted;
            continue;
        }
        if (line.kind == Kind::Quoted) return Variant::Pf5;
        Line after;
        if (line.kind == Kind::Integer && scanner.next(raw)) {
            classify(raw, after);
            return after.kind == Kind::Integer ? Variant::Pf2011 : Variant::Pf4;
        }
        break;
    }
    return Variant::Pf4;
}

template <Variant V> bool looksLikeVariant(const QByteArray &data)
{
    return looksLikePfTrack(data) && variantOf(data) == V;
}

} // namespace

bool looksLikePfTrack(const QByteArray &data)
{
    // A quoted name, then (after an optional camera or clip line) a count
    // and frame lines.
    LineScanner scanner(data);
    Field raw;
    Line line;
    int seen = 0;
    Kind previous = Kind::Blank;
    while (scanner.next(raw) && seen < 64) {
        classify(raw, line);
        if (line.kind == Kind::Blank || line.kind == Kind::Comment) continue;
        ++seen;
        if (line.kind == Kind::Frame && previous == Kind::Integer) return true;
        if (line.kind == Kind::Other || line.kind == Kind::Word) return false;
        previous = line.kind;
    }
    return false;
}

namespace {

constexpr const char *commentHeader =
    "# 2D feature PFTrack tracks\n#\n# format:\n# \"name\"\n# <number of frames>\n"
    "# <frame number> <x pixel> <y pixel> <residual>\n#\n\n";

template <Variant V> void trackHead(WriteContext &ctx, const QString &name)
{
    ctx.write("\"");
    ctx.write(name);
    ctx.write("\"\n");
    if (V == Variant::Pf2011) ctx.write("1\n");
    const std::vector<int> &counts = ctx.census().rowCounts;
    if (size_t(ctx.trackCounter) < counts.size()) ctx.writeInt(counts[size_t(ctx.trackCounter)]);
    ctx.write("\n");
}

template <Variant V> void header(WriteContext &ctx)
{
    ctx.census();
    ExportRow first = ctx.firstRow();
    ctx.previousName = first.name;
    ctx.hasPreviousName = true;
    ctx.write(commentHeader);
    ctx.write("\n"); // every track's name follows an empty line, the first's too
    trackHead<V>(ctx, first.name);
}

// "frame x y residual"; Corvane keeps no residual.
void appendRowLine(QByteArray &out, const ExportRow &r)
{
    r.appendFrameXY(out, " ");
    out += " 0.000\n";
}

template <Variant V> void row(WriteContext &ctx, const ExportRow &r)
{
    if (r.name != ctx.previousName) {
        ctx.write("\n");
        ++ctx.trackCounter;
        trackHead<V>(ctx, r.name);
    }
    appendRowLine(ctx.out(), r);
}

// PFTrack v5 holds a stereo shot's cameras: a track's secondary camera
// (its "NAME_Secondary" track) is written as the second block of NAME,
// after the primary's (a block of 0 rows where a camera has none).
struct CameraEntry
{
    QString name;
    std::pair<int, int> primary{0, 0}, secondary{0, 0}; // runs of export rows [first, end)
};

// The export's tracks (its runs of one name, as the census counts them)
// paired by camera: a secondary run joins its name's last primary run.
std::vector<CameraEntry> cameraEntries(WriteContext &ctx)
{
    std::vector<CameraEntry> entries;
    QHash<QString, size_t> primaryOf; // each name's last primary entry
    int first = 0;
    for (const int count : ctx.census().rowCounts) {
        const int end = first + count;
        const QString name = ctx.exportRow(first).name;
        const bool secondary = isSecondaryCameraTrack(name);
        const QString base = cameraTrackBase(name);
        const auto joins = primaryOf.constFind(base);
        size_t at = 0;
        if (secondary && joins != primaryOf.cend() &&
            entries[*joins].secondary.first == entries[*joins].secondary.second) {
            at = *joins;
        } else {
            entries.push_back({base, {}, {}});
            at = entries.size() - 1;
            if (!secondary) primaryOf.insert(base, at);
        }
        (secondary ? entries[at].secondary : entries[at].primary) = {first, end};
        first = end;
    }
    return entries;
}

void cameraBlock(WriteContext &ctx, const char *camera, std::pair<int, int> run)
{
    QByteArray &out = ctx.out();
    out += camera;
    out += '\n';
    out += QByteArray::number(run.second - run.first);
    out += '\n';
    for (int k = run.first; k < run.second; ++k)
        appendRowLine(out, ctx.exportRow(k));
}

void writePf5(WriteContext &ctx)
{
    const std::vector<CameraEntry> entries = cameraEntries(ctx);
    ctx.write(commentHeader);
    for (size_t i = 0; i < entries.size(); ++i) {
        const CameraEntry &e = entries[i];
        ctx.write("\n\"");
        ctx.write(e.name);
        ctx.write("\"\n");
        cameraBlock(ctx, "\"Primary\"", e.primary);
        if (e.secondary.second > e.secondary.first) cameraBlock(ctx, "\"Secondary\"", e.secondary);
        if (!ctx.mayFlush(double(i + 1) / double(entries.size()))) return;
    }
}

const WriterSteps pf2011Writer{header<Variant::Pf2011>, row<Variant::Pf2011>, nullptr};
const WriterSteps pf5Writer{writePf5, nullptr, nullptr};
const WriterSteps pf4Writer{header<Variant::Pf4>, row<Variant::Pf4>, nullptr};

} // namespace

Formats pfTrackFormats()
{
    Formats out(3);
    for (Format &f : out) {
        f.read = readPfTrack;
        f.stream = streamPfTrack;
        f.source = SourceRule::Flip;
        f.target = TargetRule::Flip;
        // 0 is the centre of the lower-left pixel, not the raster's edge.
        f.centres = PixelCentres::FirstPixelCentre;
    }
    out[0].id = "pftrack2011";
    out[0].name = "PFTrack 2011";
    out[0].importFilter = out[0].treeExportFilter = "PF 2011 Track File (*.txt)";
    out[0].writer = &pf2011Writer;
    out[0].sniff = looksLikeVariant<Variant::Pf2011>;
    out[1].id = "pftrack5";
    out[1].name = "PFTrack v5";
    out[1].importFilter = "PF v5 Track File (*.2dt *.3dt)";
    out[1].treeExportFilter = "PF v5 Track File (*.2dt)";
    out[1].writer = &pf5Writer;
    out[1].cameras = true;
    out[1].sniff = looksLikeVariant<Variant::Pf5>;
    out[2].id = "pftrack4";
    out[2].name = "PFTrack v4";
    out[2].importFilter = "PF v4 Track File (*.2dt *.3dt)";
    out[2].treeExportFilter = "PF v4 Track File (*.2dt)";
    out[2].writer = &pf4Writer;
    out[2].sniff = looksLikeVariant<Variant::Pf4>;
    return out;
}

} // namespace corvane
