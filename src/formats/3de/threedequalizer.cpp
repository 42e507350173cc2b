// SPDX-License-Identifier: Apache-2.0
#include "threedequalizer.h"

#include "formats/kit/rowcollector.h"
#include "formats/kit/rowstream.h"
#include "formats/kit/stoprequest.h"
#include "table/namerule.h"
#include "table/numbers.h"
#include "table/parallel.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

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

    enum Outcome { Read, NotATrack, CutShort, Broken };

    // One track read by its structure: name, colour, count and that many
    // frame lines. Reads nothing and says NotATrack when its header breaks
    // the structure, Broken (the error kept) when its count is wrong or its
    // rows break off; CutShort (with what was read) when the file ends first.
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
        if (fields.size() != 1 || !isNumber(fields[0])) return NotATrack;
        int count = fieldToInt(fields[0], &ok);
        const QString trackName = applyNameRule(fieldToString(nameLine));
        // A number where the count stands is the count: one that is no
        // count of rows is wrong, not a name.
        if (!ok || count < 0) {
            rows.fail(QStringLiteral("the row count \"%1\" of track \"%2\" is not a "
                                     "non-negative whole number.")
                          .arg(fieldToString(fields[0]), trackName),
                      probe.number(), ErrorKind::BadNumber);
            return Broken;
        }
        // Check every frame line's shape before taking any of them; the
        // fields are kept, so each line is split once.
        Field line;
        int held = 0;
        frameLines.clear();
        for (LineScanner lines = probe; held < count && lines.next(line); ++held) {
            splitWhitespace(line, fields);
            if (fields.size() != 3 || !isNumber(fields[0])) {
                rows.fail(lines.atEnd()
                              ? QStringLiteral("the file ends inside row %1 of track \"%2\".")
                                    .arg(held + 1)
                                    .arg(trackName)
                              : QStringLiteral("track \"%1\" promises %2 rows, but this line "
                                               "is not row %3 (a frame and two coordinates).")
                                    .arg(trackName)
                                    .arg(count)
                                    .arg(held + 1),
                          lines.number(),
                          lines.atEnd() ? ErrorKind::CutShort : ErrorKind::UnsupportedLayout);
                return Broken;
            }
            frameLines.push_back({{fields[0], fields[1], fields[2]}, lines.number()});
            probe = lines;
        }
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

struct TrackStart
{
    const char *position;
    int linesBefore;
};

// Where each track of the structured part starts, found by walking the
// track headers and skipping the frame lines, which is cheap; the reader
// then reads the tracks on all cores. The walk stops at a header that
// breaks the structure: that track is left to the reader to refuse.
std::vector<TrackStart> trackStarts(LineScanner scanner, int tracks)
{
    std::vector<TrackStart> starts;
    std::vector<Field> fields;
    Field line;
    while (int(starts.size()) < tracks && !scanner.atEnd()) {
        starts.push_back({scanner.position(), scanner.number()});
        bool ok = scanner.next(line) && scanner.next(line) && scanner.next(line);
        if (ok) splitWhitespace(line, fields);
        const int count = ok && fields.size() == 1 ? fieldToInt(fields[0], &ok) : -1;
        if (!ok || count < 0) break;
        for (int i = 0; i < count && scanner.next(line); ++i) {
        }
    }
    return starts;
}

// Reads up to `tracks` tracks by the structure, each part of the text on
// its own core, and leaves reader and scanner as reading them one after the
// other would: the rows of the tracks read, the name of the last one, the
// scanner after it. Returns how the last track read ended; `read` counts
// the tracks read whole.
Reader::Outcome readTracks(const QByteArray &data, int tracks, Reader &reader, LineScanner &scanner,
                           int &read)
{
    const std::vector<TrackStart> starts = trackStarts(scanner, tracks);
    const std::vector<const char *> cuts = cutAtLines(data, textPieces(data.size()));
    const int pieces = int(cuts.size()) - 1;
    // A piece reads the tracks that start within its part of the text.
    std::vector<size_t> first;
    for (const char *cut : cuts)
        first.push_back(size_t(
            std::lower_bound(starts.begin(), starts.end(), cut,
                             [](const TrackStart &s, const char *c) { return s.position < c; }) -
            starts.begin()));
    struct Piece
    {
        Reader reader;
        std::optional<LineScanner> scanner;
        int read = 0;
        Reader::Outcome outcome = Reader::Read;
    };
    std::vector<Piece> parts(size_t(std::max(pieces, 1)));
    const char *end = data.constData() + data.size();
    forEachPiece(pieces, [&](int p) {
        Piece &piece = parts[size_t(p)];
        if (first[size_t(p)] >= first[size_t(p) + 1]) return;
        const TrackStart &start = starts[first[size_t(p)]];
        piece.scanner.emplace(start.position, end, start.linesBefore);
        const qsizetype bytes = p == 0 ? data.size() : cuts[size_t(p) + 1] - cuts[size_t(p)];
        piece.reader.rows.reserve(int(std::min<qsizetype>(bytes / 16, 1 << 24)));
        for (size_t t = first[size_t(p)]; t < first[size_t(p) + 1]; ++t) {
            piece.outcome = piece.reader.track(*piece.scanner);
            if (piece.outcome != Reader::Read || piece.reader.rows.failed()) break;
            ++piece.read;
        }
    });
    // Gathered in order up to the first piece that stopped within its part.
    Reader::Outcome outcome = Reader::NotATrack;
    read = 0;
    for (Piece &piece : parts) {
        if (!piece.scanner) continue;
        reader.rows.append(std::move(piece.reader.rows), 0);
        if (piece.read > 0 || piece.outcome == Reader::CutShort) reader.name = piece.reader.name;
        scanner = *piece.scanner;
        read += piece.read;
        outcome = piece.outcome;
        if (outcome != Reader::Read || reader.rows.failed()) break;
    }
    return outcome;
}

// Whether the text ends within the next `lines` lines (a track's header
// cut before its count).
bool endsWithin(LineScanner scanner, int lines)
{
    Field line;
    for (int i = 0; i < lines; ++i)
        if (!scanner.next(line)) return true;
    return false;
}

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
            int read = 0;
            const Reader::Outcome outcome = readTracks(data, tracks, reader, scanner, read);
            if (outcome != Reader::CutShort && read < tracks && endsWithin(scanner, 3) &&
                !reader.rows.failed())
                reader.rows.cutShort(QStringLiteral("the file promises %1 tracks, but it ends "
                                                    "after %2.")
                                         .arg(tracks)
                                         .arg(read));
        }
        while (!reader.rows.failed() && scanner.next(line))
            reader.lineByRules(line, scanner.number());
    }
    return reader.rows.finish();
}

namespace {

// The plain layout, line by line: the count, then each track's name,
// colour, count and frame lines, and nothing but blank lines after them.
class PlainTracks
{
public:
    PlainTracks(LineSource &lines, RowStream &out) : m_lines(lines), m_rows(out) {}

    Streamed read()
    {
        int tracks = 0;
        if (!number(tracks) || tracks <= 0) return Streamed::Declined;
        for (int t = 0; t < tracks; ++t)
            if (const Streamed s = track(); s != Streamed::Read) return s;
        Field line;
        while (m_lines.next(line)) {
            splitWhitespace(line, m_fields);
            if (!m_fields.empty()) return Streamed::Declined; // the line rules would read it
        }
        return m_rows.finish(m_lines);
    }

private:
    // A line of one whole number.
    bool number(int &value)
    {
        Field line;
        if (!m_lines.next(line)) return false;
        splitWhitespace(line, m_fields);
        bool ok = false;
        value = m_fields.size() == 1 ? fieldToInt(m_fields[0], &ok) : 0;
        return ok;
    }

    Streamed track()
    {
        Field line;
        if (!m_lines.next(line)) return Streamed::Declined;
        const QString name = applyNameRule(fieldToString(line));
        int colour = 0, count = 0;
        if (!number(colour) || !number(count) || count < 0) return Streamed::Declined;
        for (int i = 0; i < count; ++i) {
            if (!m_lines.next(line)) return Streamed::Declined;
            splitWhitespace(line, m_fields);
            if (m_fields.size() != 3 || !Reader::isNumber(m_fields[0])) return Streamed::Declined;
            const Streamed added =
                m_rows.add(name, m_fields[0], m_fields[1], m_fields[2], m_lines.number());
            if (added != Streamed::Read) return added;
        }
        return Streamed::Read;
    }

    LineSource &m_lines;
    StreamedRows m_rows;
    std::vector<Field> m_fields;
};

} // namespace

Streamed streamThreeDEv4(LineSource &lines, const QString &, RowStream &out)
{
    return PlainTracks(lines, out).read();
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
        const std::vector<int> &counts = ctx.census().rowCounts;
        if (size_t(ctx.trackCounter) < counts.size()) {
            ctx.writeInt(counts[size_t(ctx.trackCounter)]);
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
    v4.stream = streamThreeDEv4;
    v4.sniff = looksLikeThreeDEv4;
    v4.writer = &writer;
    v4.source = SourceRule::Flip;
    v4.target = TargetRule::Flip;
    v4.frameBase = FrameBase::FromOne; // 3DE numbers frames from 1 at the sequence start

    Format v3;
    v3.id = "3de3";
    v3.name = "3D Equalizer v3";
    v3.importFilter = v3.treeExportFilter = "3DE v3 Track File (*.ascii)";
    v3.recognition = {Recognition::DoubleSlash, nullptr,
                      "This is not a 3DE File! Check type of versions!"};
    v3.read = readThreeDEv3;
    v3.stream = streamThreeDEv3;
    v3.sniff = looksLikeThreeDEv3;
    v3.writer = &threeDEv3Writer;
    v3.source = SourceRule::Flip;
    v3.target = TargetRule::Flip;
    v3.frameBase = FrameBase::FromOne;
    v3.statesPlate = true;
    return {v4, v3};
}

} // namespace corvane
