// SPDX-License-Identifier: Apache-2.0
// Flame/Smoke 2D Stabilizer setups. Every tracker has animation channels
// ("Channel tracker1/ref/x" … "End"), each a default Value and keys of a
// Frame, a Value, handles and an interpolation order. A tracker is where
// its reference box is, plus the reference's compensation (ref/dx, ref/dy,
// set when the reference moves during an analysis), less the shift the
// analysis found (the image's shift that cancels the motion, so it runs
// against the feature): a point per shift key. Bottom-left pixels, 0 at the
// raster's edge.
//
// A setup is read line by line: a tracker's rows are made once its channels
// are over (the next tracker's begin), and its channels let go, so that a
// reading holds one tracker's keys beside the rows. A setup whose tracker's
// channels lie apart is read again, whole, its trackers kept to the end.
// A conversion takes the rows as they are made (stream), a piece at a time.
#include "formats/families.h"
#include "formats/kit/decimaltext.h"
#include "formats/kit/rowcollector.h"
#include "table/numbers.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace corvane {

namespace {

// A word of the setup against a literal, its length known at compile time.
template <size_t N> bool is(Field word, const char (&text)[N])
{
    return word.end - word.begin == qsizetype(N - 1) && std::memcmp(word.begin, text, N - 1) == 0;
}

enum Part { RefX, RefY, RefDx, RefDy, ShiftX, ShiftY, OffsetX, OffsetY, PartCount };

Part partOf(Field name)
{
    static const char *const names[PartCount] = {"ref/x",   "ref/y",   "ref/dx",   "ref/dy",
                                                 "shift/x", "shift/y", "offset/x", "offset/y"};
    for (int p = 0; p < PartCount; ++p)
        if (name.equals(names[p])) return Part(p);
    return PartCount;
}

enum class Order { Constant, Linear, Curve };

struct Key
{
    int frame = 0;
    double value = 0;
    std::optional<Decimal> exact; // the value's own digits
    Order order = Order::Curve;
    double rightDx = 0, rightDy = 0, leftDx = 0, leftDy = 0;
};

// A value at a frame: exact where it is one of the file's own numbers.
struct Sample
{
    double value = 0;
    std::optional<Decimal> exact;
};

struct Channel
{
    Sample fallback; // the channel's Value, used where it has no key
    bool linearExtrapolation = false;
    std::vector<Key> keys;

    Sample at(int frame) const;

private:
    Sample extrapolated(const Key &end, const Key &inner, int frame) const;
};

Sample keySample(const Key &k)
{
    return {k.value, k.exact};
}

Sample Channel::extrapolated(const Key &end, const Key &inner, int frame) const
{
    if (!linearExtrapolation || end.frame == inner.frame) return keySample(end);
    // Frames may lie two billion apart: their differences are taken as doubles.
    const double slope = (end.value - inner.value) / (double(end.frame) - inner.frame);
    return {end.value + slope * (double(frame) - end.frame), std::nullopt};
}

// The point of a segment's Bézier curve (key, its right handle, the next
// key's left handle, the next key) above the frame.
double bezierAt(const Key &a, const Key &b, double frame)
{
    const double x1 = a.frame + a.rightDx, x2 = b.frame + b.leftDx;
    const double y1 = a.value + a.rightDy, y2 = b.value + b.leftDy;
    auto point = [](double p0, double p1, double p2, double p3, double t) {
        const double u = 1 - t;
        return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
    };
    double low = 0, high = 1;
    for (int i = 0; i < 50; ++i) {
        const double mid = (low + high) / 2;
        (point(a.frame, x1, x2, b.frame, mid) < frame ? low : high) = mid;
    }
    return point(a.value, y1, y2, b.value, (low + high) / 2);
}

Sample Channel::at(int frame) const
{
    if (keys.empty()) return fallback;
    auto after = std::upper_bound(keys.begin(), keys.end(), frame,
                                  [](int f, const Key &k) { return f < k.frame; });
    if (after == keys.begin())
        return extrapolated(keys.front(), keys.size() > 1 ? keys[1] : keys.front(), frame);
    const Key &k = *(after - 1);
    if (k.frame == frame || k.order == Order::Constant) return keySample(k);
    if (after == keys.end())
        return extrapolated(keys.back(), keys.size() > 1 ? keys[keys.size() - 2] : k, frame);
    const Key &next = *after;
    const double t = (double(frame) - k.frame) / (double(next.frame) - k.frame);
    if (k.order == Order::Linear) return {k.value + t * (next.value - k.value), std::nullopt};
    return {bezierAt(k, next, frame), std::nullopt};
}

struct Tracker
{
    QString name;
    Channel channels[PartCount];
    bool done = false;   // its rows are made and its channels let go
    bool offset = false; // it has an offset target (known once done)
};

// The sum of a point's parts, exact where all of them are the file's own numbers.
Sample negated(Sample s)
{
    if (s.exact) s.exact->digits = -s.exact->digits;
    return {-s.value, s.exact};
}

double sum(std::initializer_list<Sample> parts)
{
    std::optional<Decimal> exact = Decimal{};
    double value = 0;
    for (const Sample &s : parts) {
        value += s.value;
        if (exact && s.exact)
            exact = *exact + *s.exact;
        else
            exact.reset();
    }
    return exact ? decimalValue(*exact) : value;
}

class SetupReader
{
public:
    // Piecewise: each tracker's rows are made as its channels end; Whole:
    // every tracker is kept to the setup's end.
    enum Keeping { Piecewise, Whole };
    SetupReader(LineSource &lines, Keeping keeping) : m_lines(lines), m_keeping(keeping) {}
    // The reading; none when a piecewise reading meets a tracker's channels
    // apart, which only the whole setup can read.
    std::optional<ReadResult> read();
    // A piecewise reading that hands its rows on as each tracker's are made;
    // it declines what the whole reading would refuse, note, or read whole.
    Streamed stream(RowStream &out);

private:
    bool line(Field text);
    bool headerLine(Field word, Field rest);
    bool channelLine(Field word, Field rest);
    bool keyLine(Field word, Field rest);
    bool number(Field text, double &out);
    bool size(Field text, int &out);
    bool sample(Field text, Sample &out);
    Tracker *trackerNamed(Field name);
    bool settingsLine(Field text, Field word, Field rest);
    void checkEnd();
    bool frameSize(Field text, int &out);
    void finishTracker(Tracker &t);
    void addPoint(const QString &name, int frame, double x, double y);
    ReadResult result();

    LineSource &m_lines;
    Keeping m_keeping;
    bool m_apart = false; // a tracker's channels lie apart (piecewise only)
    RowCollector m_rows;
    std::vector<Tracker> m_trackers;
    QHash<QByteArray, int> m_trackerIndex;
    QByteArray m_lastName;
    int m_last = -1;
    Channel m_ignored;
    Channel *m_channel = nullptr; // the channel being read, or null outside one
    std::optional<Key> m_key;     // the key being read
    bool m_channelsOver = false;
    QString m_channelName;   // of the channel being read, for a cut inside it
    int m_promised = -1;     // trackers NbTrackers promises (-1: not said)
    int m_sections = 0;      // trackers' settings sections read
    bool m_ended = false;    // the setup's closing End was read
    bool m_lastWhole = true; // the last settings line has its value
    int m_width = 0, m_height = 0;
    StreamedRows *m_stream = nullptr; // where rows go when streamed
    Streamed m_streamed = Streamed::Read;
    bool m_made = false; // a tracker's rows were made
};

bool SetupReader::number(Field text, double &out)
{
    bool ok = false;
    out = fieldToDouble(text, &ok);
    if (!ok)
        m_rows.fail(QStringLiteral("\"%1\" is not a number.").arg(fieldToString(text)),
                    m_lines.number(), ErrorKind::BadNumber);
    return ok;
}

bool SetupReader::size(Field text, int &out)
{
    double value = 0;
    if (!number(text, value)) return false;
    if (wholeFrame(value, out)) return true;
    m_rows.fail(QStringLiteral("\"%1\" is not a frame size.").arg(fieldToString(text)),
                m_lines.number(), ErrorKind::BadNumber);
    return false;
}

bool SetupReader::sample(Field text, Sample &out)
{
    if (!number(text, out.value)) return false;
    out.exact = parseDecimal(text);
    return true;
}

// The tracker of a channel; null when its rows were made already (its
// channels lie apart).
Tracker *SetupReader::trackerNamed(Field name)
{
    // A tracker's channels follow each other: the last one is asked first.
    const QByteArray bytes = name.bytes();
    if (m_last >= 0 && m_lastName == bytes) return &m_trackers[size_t(m_last)];
    auto found = m_trackerIndex.constFind(bytes);
    if (found == m_trackerIndex.constEnd()) {
        if (m_keeping == Piecewise && m_last >= 0) finishTracker(m_trackers[size_t(m_last)]);
        found = m_trackerIndex.insert(bytes, int(m_trackers.size()));
        m_trackers.push_back({});
        m_trackers.back().name = fieldToString(name);
    } else if (m_trackers[size_t(*found)].done) {
        m_apart = true;
        return nullptr;
    }
    m_lastName = bytes;
    m_last = *found;
    return &m_trackers[size_t(m_last)];
}

bool SetupReader::headerLine(Field word, Field rest)
{
    if (is(word, "Channel")) {
        const char *slash = std::find(rest.begin, rest.end, '/');
        const Part part = slash == rest.end ? PartCount : partOf(Field{slash + 1, rest.end});
        Tracker *t = part == PartCount ? nullptr : trackerNamed(Field{rest.begin, slash});
        if (m_apart) return false;
        m_channel = t ? &t->channels[part] : &m_ignored;
        *m_channel = Channel{};
        m_channelName = fieldToString(rest);
        return true;
    }
    if (is(word, "NbTrackers")) {
        bool ok = false;
        m_promised = fieldToInt(rest, &ok);
        if (ok && m_promised >= 0) return true;
        m_rows.fail(QStringLiteral("the tracker count \"%1\" is not a non-negative whole number.")
                        .arg(fieldToString(rest)),
                    m_lines.number(), ErrorKind::BadNumber);
        return false;
    }
    if (is(word, "ChannelEnd")) {
        m_channelsOver = true;
        return true;
    }
    if (is(word, "FrameWidth")) return frameSize(rest, m_width);
    if (is(word, "FrameHeight")) return frameSize(rest, m_height);
    return true;
}

bool SetupReader::frameSize(Field text, int &out)
{
    if (!size(text, out)) return false;
    if (!m_stream) return true;
    // Pieces handed on had the plate as it was: only the whole reading tells.
    if (m_made) {
        m_streamed = Streamed::Declined;
        return false;
    }
    m_stream->setPlate(std::max(m_width, 0), std::max(m_height, 0));
    return true;
}

bool SetupReader::channelLine(Field word, Field rest)
{
    if (is(word, "End")) {
        std::stable_sort(m_channel->keys.begin(), m_channel->keys.end(),
                         [](const Key &a, const Key &b) { return a.frame < b.frame; });
        m_channel = nullptr;
    } else if (is(word, "Key")) {
        m_key = Key{};
    } else if (is(word, "Value")) {
        return sample(rest, m_channel->fallback);
    } else if (is(word, "Extrapolation")) {
        m_channel->linearExtrapolation = is(rest, "linear");
    }
    return true;
}

bool SetupReader::keyLine(Field word, Field rest)
{
    Key &k = *m_key;
    double value = 0;
    if (is(word, "End")) {
        m_channel->keys.push_back(k);
        m_key.reset();
    } else if (is(word, "Frame")) {
        if (!number(rest, value)) return false;
        if (!wholeFrame(value, k.frame)) {
            m_rows.fail(QStringLiteral("frame %1 is not a whole frame Corvane can handle.")
                            .arg(fieldToString(rest)),
                        m_lines.number(), ErrorKind::BadNumber);
            return false;
        }
    } else if (is(word, "Value")) {
        Sample s;
        if (!sample(rest, s)) return false;
        k.value = s.value;
        k.exact = s.exact;
    } else if (is(word, "CurveOrder")) {
        k.order = is(rest, "constant") ? Order::Constant
                  : is(rest, "linear") ? Order::Linear
                                       : Order::Curve;
    } else if (is(word, "RHandleX")) { // older setups: handles where they are, not offsets
        if (!number(rest, value)) return false;
        k.rightDx = value - k.frame;
    } else if (is(word, "RHandleY")) {
        if (!number(rest, value)) return false;
        k.rightDy = value - k.value;
    } else if (is(word, "LHandleX")) {
        if (!number(rest, value)) return false;
        k.leftDx = value - k.frame;
    } else if (is(word, "LHandleY")) {
        if (!number(rest, value)) return false;
        k.leftDy = value - k.value;
    } else if (is(word, "RHandle_dX")) {
        return number(rest, k.rightDx);
    } else if (is(word, "RHandle_dY")) {
        return number(rest, k.rightDy);
    } else if (is(word, "LHandle_dX")) {
        return number(rest, k.leftDx);
    } else if (is(word, "LHandle_dY")) {
        return number(rest, k.leftDy);
    }
    return true;
}

bool SetupReader::line(Field text)
{
    const Field trimmedText = trimmed(text);
    const char *space = std::find_if(trimmedText.begin, trimmedText.end,
                                     [](char c) { return c == ' ' || c == '\t'; });
    const Field word{trimmedText.begin, space};
    const Field rest = trimmed(Field{space, trimmedText.end});
    if (m_key) return keyLine(word, rest);
    if (m_channel) return channelLine(word, rest);
    if (m_ended) return true;
    if (m_channelsOver) return settingsLine(text, word, rest);
    return headerLine(word, rest);
}

// The trackers' settings hold nothing of the points, but say where the
// setup ends: a "Tracker" section per tracker, then End.
bool SetupReader::settingsLine(Field text, Field word, Field rest)
{
    const bool top = text.begin == word.begin;
    if (top && is(word, "End") && rest.isEmpty()) {
        m_ended = true;
        if (m_promised < 0 || m_sections == m_promised) return true;
        m_rows.fail(QStringLiteral("the setup promises %1 trackers (NbTrackers), but holds the "
                                   "settings of %2.")
                        .arg(m_promised)
                        .arg(m_sections),
                    m_lines.number());
        return false;
    }
    if (top && is(word, "Tracker")) ++m_sections;
    // A settings line is a word and its value; "Colour" opens the colour.
    m_lastWhole = !rest.isEmpty() || is(word, "Colour") || word.isEmpty();
    return true;
}

// A setup cut anywhere stops inside a channel, a key, before ChannelEnd, or
// before its trackers' settings are whole.
void SetupReader::checkEnd()
{
    QString cut;
    if (m_key)
        cut = QStringLiteral("the file ends inside a key of channel \"%1\".").arg(m_channelName);
    else if (m_channel)
        cut = QStringLiteral("the file ends inside channel \"%1\" (it has no End).")
                  .arg(m_channelName);
    else if (!m_channelsOver)
        cut = QStringLiteral("the file ends before ChannelEnd: its channels are cut off.");
    else if (!m_ended && m_promised >= 0 && m_sections < m_promised)
        cut = QStringLiteral("the file ends after the settings of %1 of its %2 trackers.")
                  .arg(m_sections)
                  .arg(m_promised);
    else if (!m_ended && !m_lastWhole)
        cut = QStringLiteral("the file ends inside the trackers' settings.");
    if (!cut.isEmpty()) m_rows.fail(cut, m_lines.number(), ErrorKind::CutShort);
}

// Makes the tracker's rows, then lets its channels go.
void SetupReader::finishTracker(Tracker &t)
{
    const Channel *c = t.channels;
    const Channel &frames = c[ShiftX].keys.empty() ? c[ShiftY] : c[ShiftX];
    for (const Key &k : frames.keys) {
        const int f = k.frame;
        addPoint(t.name, f, sum({c[RefX].at(f), c[RefDx].at(f), negated(c[ShiftX].at(f))}),
                 sum({c[RefY].at(f), c[RefDy].at(f), negated(c[ShiftY].at(f))}));
    }
    t.offset = c[OffsetX].fallback.value != 0 || c[OffsetY].fallback.value != 0 ||
               !c[OffsetX].keys.empty() || !c[OffsetY].keys.empty();
    // The whole reading notes an offset target.
    if (t.offset && m_streamed == Streamed::Read) m_streamed = Streamed::Declined;
    for (Channel &channel : t.channels)
        channel = Channel{};
    t.done = true;
    m_made = true;
}

void SetupReader::addPoint(const QString &name, int frame, double x, double y)
{
    if (!m_stream) return m_rows.addValues(name, frame, x, y);
    if (m_streamed != Streamed::Read) return;
    // Parts that sum past the largest double: left to the whole reading.
    m_streamed = std::isfinite(x) && std::isfinite(y) ? m_stream->addValues(name, frame, x, y)
                                                      : Streamed::Declined;
}

ReadResult SetupReader::result()
{
    ReadResult result = m_rows.finish(
        m_trackers.empty() ? QStringLiteral("the setup holds no tracker.")
                           : QStringLiteral("no tracker of the setup has a tracked key."));
    if (!result.ok()) return result;
    ReaderNotes notes;
    for (const Tracker &t : m_trackers)
        if (t.offset) // the target the offset makes is not kept
            notes.leftOut(QStringLiteral("tracker \"%1\" has an offset target; its rows are "
                                         "where the tracker itself went.")
                              .arg(t.name),
                          ReaderNotes::Changed);
    notes.into(result);
    result.set.plateWidth = std::max(m_width, 0);
    result.set.plateHeight = std::max(m_height, 0);
    return result;
}

std::optional<ReadResult> SetupReader::read()
{
    Field text;
    while (!m_rows.failed() && m_lines.next(text))
        if (!line(text)) break;
    if (m_apart) return std::nullopt;
    // A file that is no text (NUL bytes, a line too long) is told as such
    // before what its lines hold, as when it is read whole before them.
    if (m_rows.failed())
        while (m_lines.next(text)) {
        }
    if (!m_lines.error().isEmpty())
        return ReadResult::failure(m_lines.error(), 0, ErrorKind::NotATrackFile);
    if (!m_rows.failed()) checkEnd();
    for (Tracker &t : m_trackers)
        if (!m_rows.failed() && !t.done) finishTracker(t);
    return result();
}

Streamed SetupReader::stream(RowStream &out)
{
    StreamedRows rows(out);
    m_stream = &rows;
    Field text;
    while (m_streamed == Streamed::Read && !m_rows.failed() && m_lines.next(text))
        if (!line(text)) break;
    if (m_streamed != Streamed::Read) return m_streamed;
    if (m_apart || m_rows.failed() || !m_lines.error().isEmpty()) return Streamed::Declined;
    checkEnd();
    if (m_rows.failed()) return Streamed::Declined;
    for (Tracker &t : m_trackers)
        if (!t.done && m_streamed == Streamed::Read) finishTracker(t);
    return m_streamed == Streamed::Read ? rows.finish(m_lines) : m_streamed;
}

Streamed streamSetup(LineSource &lines, const QString &, RowStream &out)
{
    return SetupReader(lines, SetupReader::Piecewise).stream(out);
}

ReadResult readSetupLines(LineSource &lines, const QString &)
{
    if (std::optional<ReadResult> read = SetupReader(lines, SetupReader::Piecewise).read())
        return std::move(*read);
    const QByteArray whole = lines.whole();
    if (!lines.error().isEmpty())
        return ReadResult::failure(lines.error(), 0, ErrorKind::NotATrackFile);
    LineSource again(whole);
    return *SetupReader(again, SetupReader::Whole).read();
}

bool looksLikeSetup(const QByteArray &data)
{
    return data.startsWith("StabilizerFileVersion");
}

// The writer: a setup of the 2014 layout, one tracker per track. Its
// reference sits on the track's first point, and each key's shift is that
// less the point, worked out on the shortest digits that read back to each
// value, so that reading takes them back to the very numbers written. A
// track with a value of too many digits for that keeps its reference at 0
// and its points, negated, as shifts.

// The reference less the value, where its digits read back exactly.
std::optional<Decimal> shiftFrom(const std::optional<Decimal> &reference, double v)
{
    std::optional<Decimal> d = shortestDecimal(v);
    if (!d || !reference) return std::nullopt;
    d->digits = -d->digits;
    const Decimal shift = *reference + *d;
    if (!readsBack(shift)) return std::nullopt;
    return shift;
}

struct TrackRows
{
    QString name;
    std::vector<int> frames;
    std::vector<double> x, y;                      // as the table holds them
    std::optional<Decimal> referenceX, referenceY; // none: not anchored
    bool anchored() const { return referenceX && referenceY; }
};

bool allShiftsExact(const std::optional<Decimal> &reference, const std::vector<double> &values)
{
    return std::all_of(values.begin(), values.end(),
                       [&](double v) { return bool(shiftFrom(reference, v)); });
}

// Anchors a track on its first point where every shift's digits are exact.
void anchor(TrackRows &t)
{
    t.referenceX = shortestDecimal(t.x.front());
    t.referenceY = shortestDecimal(t.y.front());
    if (!allShiftsExact(t.referenceX, t.x) || !allShiftsExact(t.referenceY, t.y))
        t.referenceX.reset();
}

std::vector<TrackRows> gatherTracks(WriteContext &ctx)
{
    std::vector<TrackRows> tracks;
    for (int k = 0; k < ctx.exportRowCount(); ++k) {
        const ExportRow row = ctx.exportRow(k);
        if (tracks.empty() || tracks.back().name != row.name) {
            tracks.emplace_back();
            tracks.back().name = row.name;
        }
        TrackRows &t = tracks.back();
        t.frames.push_back(row.frame);
        t.x.push_back(row.x());
        t.y.push_back(row.y());
    }
    for (TrackRows &t : tracks)
        anchor(t);
    return tracks;
}

template <size_t N> void literal(QByteArray &out, const char (&text)[N])
{
    out.append(text, qsizetype(N - 1));
}

void channelHead(QByteArray &out, const QByteArray &name, const char *part)
{
    literal(out, "Channel ");
    out += name;
    out += '/';
    out += part;
    out += '\n';
}

void staticChannel(QByteArray &out, const QByteArray &name, const char *part,
                   const char *extrapolation, const QByteArray &value)
{
    channelHead(out, name, part);
    literal(out, "\tExtrapolation ");
    out += extrapolation;
    literal(out, "\n\tValue ");
    out += value;
    literal(out, "\n\tColour 50 50 50\n\tEnd\n");
}

// A channel of one constant key at the track's first frame.
void constantChannel(QByteArray &out, const QByteArray &name, const char *part, int frame,
                     const QByteArray &value)
{
    channelHead(out, name, part);
    literal(out, "\tExtrapolation constant\n\tValue ");
    out += value;
    literal(out, "\n\tSize 1\n\tKeyVersion 2\n\tKey 0\n\t\tFrame ");
    appendInt(out, frame);
    literal(out, "\n\t\tValue ");
    out += value;
    literal(out, "\n\t\tRHandle_dX 0.25\n\t\tRHandle_dY 0\n\t\tLHandle_dX -0.25\n"
                 "\t\tLHandle_dY 0\n\t\tCurveMode hermite\n\t\tCurveOrder constant\n\t\tEnd\n"
                 "\tColour 50 50 50\n\tEnd\n");
}

// A shift channel keyed at every frame, linear between keys, its handles a
// third of the way to the neighbouring keys (the curve of straight segments).
void shiftChannel(QByteArray &out, const QByteArray &name, const char *part, const TrackRows &t,
                  const std::vector<double> &values, const std::optional<Decimal> &reference)
{
    const size_t n = t.frames.size();
    // Each key's shift, worked out once: its digits where anchored.
    struct Shift
    {
        Decimal digits;
        double value;
    };
    auto shift = [&](size_t i) -> Shift {
        if (!t.anchored()) return {Decimal{}, 0.0 - values[i]}; // never "-0"
        const Decimal d = *shiftFrom(reference, values[i]);
        return {d, decimalValue(d)};
    };
    auto appendShift = [&](const Shift &s) {
        if (t.anchored())
            appendDecimalText(out, s.digits);
        else
            out += QByteArray::number(s.value, 'f', QLocale::FloatingPointShortest);
    };
    channelHead(out, name, part);
    literal(out, "\tExtrapolation linear\n\tValue ");
    Shift current = shift(0);
    appendShift(current);
    literal(out, "\n\tSize ");
    appendInt(out, (long long)n);
    literal(out, "\n\tKeyVersion 2\n");
    double previous = 0;
    for (size_t i = 0; i < n; ++i) {
        const Shift next = i + 1 < n ? shift(i + 1) : Shift{Decimal{}, 0};
        literal(out, "\tKey ");
        appendInt(out, (long long)i);
        literal(out, "\n\t\tFrame ");
        appendInt(out, t.frames[i]);
        literal(out, "\n\t\tValue ");
        appendShift(current);
        literal(out, "\n\t\tRHandle_dX ");
        appendDecimal6(out, i + 1 < n ? (double(t.frames[i + 1]) - t.frames[i]) / 3 : 0.25);
        literal(out, "\n\t\tRHandle_dY ");
        appendDecimal6(out, i + 1 < n ? (next.value - current.value) / 3 : 0);
        literal(out, "\n\t\tLHandle_dX ");
        appendDecimal6(out, i > 0 ? -(double(t.frames[i]) - t.frames[i - 1]) / 3 : -0.25);
        literal(out, "\n\t\tLHandle_dY ");
        appendDecimal6(out, i > 0 ? -(current.value - previous) / 3 : 0);
        literal(out, "\n\t\tCurveMode hermite\n\t\tCurveOrder linear\n\t\tEnd\n");
        previous = current.value;
        current = next;
    }
    literal(out, "\tColour 255 0 0\n\tEnd\n");
}

void trackerChannels(QByteArray &out, const TrackRows &t)
{
    const QByteArray name = t.name.toUtf8();
    const QByteArray x0 = t.anchored() ? decimalText(*t.referenceX) : QByteArray("0");
    const QByteArray y0 = t.anchored() ? decimalText(*t.referenceY) : QByteArray("0");
    const int first = t.frames.front();
    constantChannel(out, name, "ref/x", first, x0);
    constantChannel(out, name, "ref/y", first, y0);
    staticChannel(out, name, "ref/width", "constant", "28");
    staticChannel(out, name, "ref/height", "constant", "28");
    constantChannel(out, name, "ref/dx", first, "0");
    constantChannel(out, name, "ref/dy", first, "0");
    staticChannel(out, name, "track/x", "linear", x0);
    staticChannel(out, name, "track/y", "linear", y0);
    staticChannel(out, name, "track/width", "constant", "42");
    staticChannel(out, name, "track/height", "constant", "42");
    shiftChannel(out, name, "shift/x", t, t.x, t.referenceX);
    shiftChannel(out, name, "shift/y", t, t.y, t.referenceY);
    staticChannel(out, name, "offset/x", "linear", "0");
    staticChannel(out, name, "offset/y", "linear", "0");
}

void trackerSettings(QByteArray &out, size_t index, int firstFrame)
{
    static const char *const colours[] = {"100 0 0",   "0 100 0",   "0 0 100",
                                          "100 100 0", "100 0 100", "0 100 100"};
    const QList<QByteArray> rgb = QByteArray(colours[index % 6]).split(' ');
    out += "Tracker " + QByteArray::number(qulonglong(index)) + '\n';
    out += "\tActive yes\n\tColour\n";
    out += "\t\tRed " + rgb[0] + "\n\t\tGreen " + rgb[1] + "\n\t\tBlue " + rgb[2] + '\n';
    out += "\tFixedRef yes\n\tFixedX no\n\tFixedY no\n\tTolerance 100\n";
    out += "\tOffsetsX 0\n\tOffsetsY 0\n";
    out += "\tFirstRefFrame " + QByteArray::number(firstFrame) + '\n';
}

void writeSetup(WriteContext &ctx)
{
    const std::vector<TrackRows> tracks = gatherTracks(ctx);
    QByteArray &out = ctx.out();
    // The day the setup was made; the time of day would make two saves of
    // the same table differ.
    const QDate today = QDate::currentDate();
    out += "StabilizerFileVersion 6.0\n";
    out += "CreationDate " +
           QLocale::c()
               .toString(QDateTime(today, QTime(0, 0)), QStringLiteral("ddd MMM d hh:mm:ss yyyy"))
               .toLatin1() +
           "\n\n\n";
    out += "NbTrackers " + QByteArray::number(qulonglong(tracks.size())) + "\nSelected 0\n";
    out += "FrameWidth " + QByteArray::number(ctx.windowWidth) + '\n';
    out += "FrameHeight " + QByteArray::number(ctx.windowHeight) + '\n';
    out += "AutoKey yes\nMotionPath yes\nIcons yes\nAutoPan yes\nEditMode 1\nFormat 0\n"
           "Padding\n\tRed 0\n\tGreen 0\n\tBlue 0\nOversampling no\nOpacity 50\nZoom 3\n"
           "Field no\nBackward no\nAnim\n";
    for (size_t i = 0; i < tracks.size(); ++i) {
        trackerChannels(out, tracks[i]);
        if (!ctx.mayFlush(double(i + 1) / double(tracks.size()))) return;
    }
    out += "ChannelEnd\n";
    for (size_t i = 0; i < tracks.size(); ++i)
        trackerSettings(out, i, tracks[i].frames.front());
    out += "End\n";
}

const WriterSteps writer{writeSetup, nullptr, nullptr};

} // namespace

Formats flameFormats()
{
    Format f;
    f.id = "flame-stabilizer";
    f.name = "Flame/Smoke Stabilizer";
    f.importFilter = f.treeExportFilter = "Flame/Smoke Stabilizer File (*.stabilizer)";
    f.recognition = {Recognition::Marker, "StabilizerFileVersion",
                     "This is not a Flame/Smoke Stabilizer File!"};
    f.read = readLinesOf<readSetupLines>;
    f.readLines = readSetupLines;
    f.stream = streamSetup;
    f.sniff = looksLikeSetup;
    f.writer = &writer;
    f.source = SourceRule::Flip;
    f.target = TargetRule::Flip;
    f.statesPlate = true;
    // A channel is "Channel name/ref/x": the name holds no blank and no "/".
    f.nameForbids = "/";
    f.nameNoBlanks = true;
    return {f};
}

} // namespace corvane
