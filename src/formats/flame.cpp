// SPDX-License-Identifier: Apache-2.0
// Flame/Smoke 2D Stabilizer setups. Every tracker has animation channels
// ("Channel tracker1/ref/x" … "End"), each a default Value and keys of a
// Frame, a Value, handles and an interpolation order. A tracker is where
// its reference box is, plus the reference's compensation (ref/dx, ref/dy,
// set when the reference moves during an analysis), plus the shift the
// analysis found: a point per shift key. Bottom-left pixels, 0 at the
// raster's edge.
#include "decimaltext.h"
#include "families.h"
#include "rowcollector.h"
#include "table/numbers.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <optional>

namespace corvane {

namespace {

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
    const double slope = (end.value - inner.value) / double(end.frame - inner.frame);
    return {end.value + slope * (frame - end.frame), std::nullopt};
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
    const double t = double(frame - k.frame) / double(next.frame - k.frame);
    if (k.order == Order::Linear) return {k.value + t * (next.value - k.value), std::nullopt};
    return {bezierAt(k, next, frame), std::nullopt};
}

struct Tracker
{
    QString name;
    Channel channels[PartCount];
};

// The sum of a point's parts, exact where all of them are the file's own numbers.
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
    explicit SetupReader(const QByteArray &data) : m_scanner(data) {}
    ReadResult read();

private:
    bool line(Field text);
    bool headerLine(Field word, Field rest);
    bool channelLine(Field word, Field rest);
    bool keyLine(Field word, Field rest);
    bool number(Field text, double &out);
    bool sample(Field text, Sample &out);
    Tracker &trackerNamed(Field name);
    void collectRows();

    LineScanner m_scanner;
    RowCollector m_rows;
    std::vector<Tracker> m_trackers;
    Channel m_ignored;
    Channel *m_channel = nullptr; // the channel being read, or null outside one
    std::optional<Key> m_key;     // the key being read
    bool m_channelsOver = false;
    int m_width = 0, m_height = 0;
};

bool SetupReader::number(Field text, double &out)
{
    bool ok = false;
    out = fieldToDouble(text, &ok);
    if (!ok)
        m_rows.fail(QStringLiteral("\"%1\" is not a number.").arg(fieldToString(text)),
                    m_scanner.number());
    return ok;
}

bool SetupReader::sample(Field text, Sample &out)
{
    if (!number(text, out.value)) return false;
    out.exact = parseDecimal(text);
    return true;
}

Tracker &SetupReader::trackerNamed(Field name)
{
    const QString text = fieldToString(name);
    for (Tracker &t : m_trackers)
        if (t.name == text) return t;
    m_trackers.push_back({});
    m_trackers.back().name = text;
    return m_trackers.back();
}

bool SetupReader::headerLine(Field word, Field rest)
{
    if (word.equals("Channel")) {
        const char *slash = std::find(rest.begin, rest.end, '/');
        const Part part = slash == rest.end ? PartCount : partOf(Field{slash + 1, rest.end});
        m_channel =
            part == PartCount ? &m_ignored : &trackerNamed(Field{rest.begin, slash}).channels[part];
        *m_channel = Channel{};
        return true;
    }
    if (word.equals("ChannelEnd")) {
        m_channelsOver = true;
        return true;
    }
    double value = 0;
    if (word.equals("FrameWidth")) {
        if (!number(rest, value)) return false;
        m_width = int(value);
    } else if (word.equals("FrameHeight")) {
        if (!number(rest, value)) return false;
        m_height = int(value);
    }
    return true;
}

bool SetupReader::channelLine(Field word, Field rest)
{
    if (word.equals("End")) {
        std::stable_sort(m_channel->keys.begin(), m_channel->keys.end(),
                         [](const Key &a, const Key &b) { return a.frame < b.frame; });
        m_channel = nullptr;
    } else if (word.equals("Key")) {
        m_key = Key{};
    } else if (word.equals("Value")) {
        return sample(rest, m_channel->fallback);
    } else if (word.equals("Extrapolation")) {
        m_channel->linearExtrapolation = rest.equals("linear");
    }
    return true;
}

bool SetupReader::keyLine(Field word, Field rest)
{
    Key &k = *m_key;
    double value = 0;
    if (word.equals("End")) {
        m_channel->keys.push_back(k);
        m_key.reset();
    } else if (word.equals("Frame")) {
        if (!number(rest, value)) return false;
        if (!wholeFrame(value, k.frame)) {
            m_rows.fail(QStringLiteral("frame %1 is not a whole frame Corvane can handle.")
                            .arg(fieldToString(rest)),
                        m_scanner.number());
            return false;
        }
    } else if (word.equals("Value")) {
        Sample s;
        if (!sample(rest, s)) return false;
        k.value = s.value;
        k.exact = s.exact;
    } else if (word.equals("CurveOrder")) {
        k.order = rest.equals("constant") ? Order::Constant
                  : rest.equals("linear") ? Order::Linear
                                          : Order::Curve;
    } else if (word.equals("RHandle_dX")) {
        return number(rest, k.rightDx);
    } else if (word.equals("RHandle_dY")) {
        return number(rest, k.rightDy);
    } else if (word.equals("LHandle_dX")) {
        return number(rest, k.leftDx);
    } else if (word.equals("LHandle_dY")) {
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
    if (m_channelsOver) return true; // the trackers' settings follow: nothing of the points
    return headerLine(word, rest);
}

void SetupReader::collectRows()
{
    for (const Tracker &t : m_trackers) {
        const Channel *c = t.channels;
        const Channel &frames = c[ShiftX].keys.empty() ? c[ShiftY] : c[ShiftX];
        for (const Key &k : frames.keys) {
            const int f = k.frame;
            m_rows.addValues(t.name, f, sum({c[RefX].at(f), c[RefDx].at(f), c[ShiftX].at(f)}),
                             sum({c[RefY].at(f), c[RefDy].at(f), c[ShiftY].at(f)}));
        }
    }
}

ReadResult SetupReader::read()
{
    Field text;
    while (m_scanner.next(text))
        if (!line(text)) break;
    if (!m_rows.failed()) collectRows();
    const bool anyTracker = !m_trackers.empty();
    ReadResult result = m_rows.finish();
    if (result.ok() && result.set.count == 0)
        return ReadResult::failure(anyTracker ? QStringLiteral("no tracker of the setup has a "
                                                               "tracked key.")
                                              : QStringLiteral("the setup holds no tracker."));
    for (const Tracker &t : m_trackers) {
        const Channel *c = t.channels;
        const bool offset = c[OffsetX].fallback.value != 0 || c[OffsetY].fallback.value != 0 ||
                            !c[OffsetX].keys.empty() || !c[OffsetY].keys.empty();
        if (offset)
            result.notes << QStringLiteral("tracker \"%1\" has an offset target; its rows are "
                                           "where the tracker itself went.")
                                .arg(t.name);
    }
    result.set.plateWidth = std::max(m_width, 0);
    result.set.plateHeight = std::max(m_height, 0);
    return result;
}

ReadResult readSetup(const QByteArray &data, const QString &)
{
    return SetupReader(data).read();
}

bool looksLikeSetup(const QByteArray &data)
{
    return data.startsWith("StabilizerFileVersion");
}

// The writer: a setup of the 2014 layout, one tracker per track. Its
// reference sits on the track's first point, and each key's shift is the
// point less that, worked out on the written digits so that reading adds
// them back to the very numbers written.

struct TrackRows
{
    QString name;
    std::vector<int> frames;
    std::vector<Decimal> x, y;
};

Decimal written(double v)
{
    QByteArray text;
    appendDecimal6(text, v);
    return parseDecimal(Field{text.constData(), text.constData() + text.size()})
        .value_or(Decimal{});
}

std::vector<TrackRows> gatherTracks(WriteContext &ctx)
{
    std::vector<TrackRows> tracks;
    for (int k = 0; k < ctx.exportRowCount(); ++k) {
        const ExportRow row = ctx.exportRow(k);
        if (tracks.empty() || tracks.back().name != row.name)
            tracks.push_back({row.name, {}, {}, {}});
        TrackRows &t = tracks.back();
        t.frames.push_back(row.frame);
        t.x.push_back(written(row.x()));
        t.y.push_back(written(row.y()));
    }
    return tracks;
}

void line(QByteArray &out, const char *indent, const char *key, const QByteArray &value)
{
    out += indent;
    out += key;
    out += ' ';
    out += value;
    out += '\n';
}

void staticChannel(QByteArray &out, const QString &name, const char *part,
                   const char *extrapolation, const QByteArray &value)
{
    out += "Channel " + name.toUtf8() + '/' + part + '\n';
    line(out, "\t", "Extrapolation", extrapolation);
    line(out, "\t", "Value", value);
    out += "\tColour 50 50 50\n\tEnd\n";
}

QByteArray number(double v)
{
    QByteArray text;
    appendDecimal6(text, v);
    return text;
}

// A channel keyed at the frames, with handles a third of the way to the
// neighbouring keys (the curve through straight segments).
void keyedChannel(QByteArray &out, const QString &name, const char *part, bool constant,
                  const std::vector<int> &frames, const std::vector<Decimal> &values,
                  const char *colour)
{
    out += "Channel " + name.toUtf8() + '/' + part + '\n';
    line(out, "\t", "Extrapolation", constant ? "constant" : "linear");
    line(out, "\t", "Value", decimalText(values.front()));
    line(out, "\t", "Size", QByteArray::number(qulonglong(frames.size())));
    out += "\tKeyVersion 2\n";
    for (size_t i = 0; i < frames.size(); ++i) {
        const double v = decimalValue(values[i]);
        double rdx = 0.25, rdy = 0, ldx = -0.25, ldy = 0;
        if (!constant && i + 1 < frames.size()) {
            rdx = (frames[i + 1] - frames[i]) / 3.0;
            rdy = (decimalValue(values[i + 1]) - v) / 3.0;
        }
        if (!constant && i > 0) {
            ldx = -(frames[i] - frames[i - 1]) / 3.0;
            ldy = -(v - decimalValue(values[i - 1])) / 3.0;
        }
        line(out, "\t", "Key", QByteArray::number(qulonglong(i)));
        line(out, "\t\t", "Frame", QByteArray::number(frames[i]));
        line(out, "\t\t", "Value", decimalText(values[i]));
        line(out, "\t\t", "RHandle_dX", number(rdx));
        line(out, "\t\t", "RHandle_dY", number(rdy));
        line(out, "\t\t", "LHandle_dX", number(ldx));
        line(out, "\t\t", "LHandle_dY", number(ldy));
        out += "\t\tCurveMode hermite\n";
        line(out, "\t\t", "CurveOrder", constant ? "constant" : "linear");
        out += "\t\tEnd\n";
    }
    out += "\tColour " + QByteArray(colour) + "\n\tEnd\n";
}

void trackerChannels(QByteArray &out, const TrackRows &t)
{
    const std::vector<int> first{t.frames.front()};
    const Decimal x0 = t.x.front(), y0 = t.y.front();
    keyedChannel(out, t.name, "ref/x", true, first, {x0}, "50 50 50");
    keyedChannel(out, t.name, "ref/y", true, first, {y0}, "50 50 50");
    staticChannel(out, t.name, "ref/width", "constant", "28");
    staticChannel(out, t.name, "ref/height", "constant", "28");
    keyedChannel(out, t.name, "ref/dx", true, first, {Decimal{}}, "50 50 50");
    keyedChannel(out, t.name, "ref/dy", true, first, {Decimal{}}, "50 50 50");
    staticChannel(out, t.name, "track/x", "linear", decimalText(x0));
    staticChannel(out, t.name, "track/y", "linear", decimalText(y0));
    staticChannel(out, t.name, "track/width", "constant", "42");
    staticChannel(out, t.name, "track/height", "constant", "42");
    std::vector<Decimal> shiftX, shiftY;
    for (size_t i = 0; i < t.frames.size(); ++i) {
        shiftX.push_back(t.x[i] - x0);
        shiftY.push_back(t.y[i] - y0);
    }
    keyedChannel(out, t.name, "shift/x", false, t.frames, shiftX, "255 0 0");
    keyedChannel(out, t.name, "shift/y", false, t.frames, shiftY, "255 0 0");
    staticChannel(out, t.name, "offset/x", "linear", "0");
    staticChannel(out, t.name, "offset/y", "linear", "0");
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
    line(out, "", "NbTrackers", QByteArray::number(qulonglong(tracks.size())));
    out += "Selected 0\n";
    line(out, "", "FrameWidth", QByteArray::number(ctx.windowWidth));
    line(out, "", "FrameHeight", QByteArray::number(ctx.windowHeight));
    out += "AutoKey yes\nMotionPath yes\nIcons yes\nAutoPan yes\nEditMode 1\nFormat 0\n"
           "Padding\n\tRed 0\n\tGreen 0\n\tBlue 0\nOversampling no\nOpacity 50\nZoom 3\n"
           "Field no\nBackward no\nAnim\n";
    for (const TrackRows &t : tracks) {
        trackerChannels(out, t);
        ctx.mayFlush();
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
    f.read = readSetup;
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
