// SPDX-License-Identifier: Apache-2.0
// The track operations' shared part: their options, parsing, the tracks an
// operation works on, and running or counting one.
#include "trackopsrun.h"

#include "table/framelimit.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace corvane {

ValueSpace::~ValueSpace() = default;

const std::vector<const char *> &trackOperationOptions()
{
    static const std::vector<const char *> names{
        "rename",   "rename-file", "prefix",       "suffix",        "slip",
        "start-at", "trim",        "drop-before",  "shift",         "scale",
        "reformat", "flip",        "flop",         "crop",          "pad",
        "min-keys", "fill-gaps",   "lens-distort", "lens-undistort"};
    return names;
}

QString plural(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString keysOfTracks(int keys, int tracks)
{
    return plural(keys, "key", "keys") + QStringLiteral(" of ") + plural(tracks, "track", "tracks");
}

QString number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

OperationRun::OperationRun(const TrackTable &v, TrackTable *t, PlateSize p, const TrackOperation &o,
                           const std::vector<int> *onlyRows, const ValueSpace *s)
    : view(v), table(t), plate(p), op(o), space(s)
{
    // Tracks by name: rows share an interned name id; other name cells
    // (formulas) are told apart by their texts.
    const int rows = view.rowCount();
    trackOf.resize(size_t(rows));
    std::vector<int> byId;
    QHash<QString, int> byText;
    for (int r = 0; r < rows; ++r) {
        const qint64 id = view.nameId(r); // row by row: no array of ids beside the table's
        int track = -1;
        if (id >= 0) {
            if (size_t(id) >= byId.size()) byId.resize(size_t(id) + 1, -1);
            int &slot = byId[size_t(id)];
            if (slot < 0) {
                slot = int(trackNames.size());
                trackNames.push_back(view.nameOfId(quint32(id)));
            }
            track = slot;
        } else {
            const QString name = view.displayText(r, NameColumn);
            auto it = byText.find(name);
            if (it == byText.end()) {
                it = byText.insert(name, int(trackNames.size()));
                trackNames.push_back(name);
            }
            track = it.value();
        }
        trackOf[size_t(r)] = track;
    }
    selectedTrack.assign(trackNames.size(), onlyRows ? 0 : 1);
    if (onlyRows) {
        m_everyTrack = false;
        for (int r : *onlyRows)
            if (r >= 0 && r < rows) selectedTrack[size_t(trackOf[size_t(r)])] = 1;
    }
}

void OperationRun::rowError(int row, const QString &what)
{
    result.error = QStringLiteral("track \"%1\", row %2: %3")
                       .arg(view.displayText(row, NameColumn))
                       .arg(row + 1)
                       .arg(what);
}

bool OperationRun::sourcePoint(int row, double &x, double &y)
{
    if (!view.sourcePoint(row, &x, &y)) {
        rowError(row, QStringLiteral("its coordinates are not numbers"));
        return false;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) {
        rowError(row, QStringLiteral("its coordinates are not finite numbers"));
        return false;
    }
    return true;
}

bool OperationRun::frameOf(int row, int &frame)
{
    bool ok = false;
    frame = view.frame(row, &ok);
    if (!ok) rowError(row, QStringLiteral("its frame is not a whole number"));
    return ok;
}

int OperationRun::tracksOf(const std::vector<char> &rowFlags) const
{
    std::vector<char> met(trackNames.size(), 0);
    int tracks = 0;
    for (size_t r = 0; r < rowFlags.size(); ++r)
        if (rowFlags[r] && !met[size_t(trackOf[r])]) {
            met[size_t(trackOf[r])] = 1;
            ++tracks;
        }
    return tracks;
}

namespace {

ParsedOperation failed(const QString &option, const QString &rule, const QString &text)
{
    ParsedOperation p;
    p.error = QStringLiteral("--%1: \"%2\" is not %3.").arg(option, text, rule);
    return p;
}

ParsedOperation made(const TrackOperation &op)
{
    ParsedOperation p;
    p.operation = op;
    return p;
}

// Numbers separated by commas: exactly `count` of them, or between min and max.
bool numbers(const QString &text, int min, int max, std::vector<double> &out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < min || parts.size() > max) return false;
    out.clear();
    for (const QString &part : parts) {
        bool ok = false;
        const double v = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v)) return false;
        out.push_back(v);
    }
    return true;
}

bool wholeNumber(const QString &text, int &out)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < -FrameLimit || v > FrameLimit) return false;
    out = int(v);
    return true;
}

} // namespace

ParsedOperation parseRenameList(const QString &contents, const QString &source)
{
    TrackOperation op;
    op.kind = TrackOperationKind::RenameMap;
    QHash<QString, QString> seen;
    // A byte-order mark that an editor put in front is no part of a name.
    const QStringList lines =
        (contents.startsWith(QChar(0xfeff)) ? contents.mid(1) : contents).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#'))) continue;
        QStringList parts;
        if (line.contains(QLatin1Char('\t')))
            parts = line.split(QLatin1Char('\t'));
        else if (line.contains(QLatin1Char(',')))
            parts = line.split(QLatin1Char(','));
        else
            parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (QString &part : parts)
            part = part.trimmed();
        ParsedOperation p;
        if (parts.size() != 2 || parts.at(0).isEmpty() || parts.at(1).isEmpty()) {
            p.error = QStringLiteral("%1, line %2: \"%3\" is not an old and a new name (separated "
                                     "by a tab, a comma or blanks).")
                          .arg(source)
                          .arg(i + 1)
                          .arg(line);
            return p;
        }
        auto it = seen.constFind(parts.at(0));
        if (it != seen.cend() && it.value() != parts.at(1)) {
            p.error = QStringLiteral("%1, line %2: \"%3\" is renamed twice, to \"%4\" and \"%5\".")
                          .arg(source)
                          .arg(i + 1)
                          .arg(parts.at(0), it.value(), parts.at(1));
            return p;
        }
        if (it == seen.cend()) {
            seen.insert(parts.at(0), parts.at(1));
            op.mapping.emplace_back(parts.at(0), parts.at(1));
        }
    }
    if (op.mapping.empty()) {
        ParsedOperation p;
        p.error = QStringLiteral("%1: holds no names to rename.").arg(source);
        return p;
    }
    return made(op);
}

ParsedOperation renameOperation(const QString &pattern, const QString &replacement)
{
    TrackOperation op;
    op.kind = TrackOperationKind::Rename;
    op.text = pattern;
    op.replacement = replacement;
    const QRegularExpression expression(pattern);
    if (!expression.isValid()) {
        ParsedOperation p;
        p.error = QStringLiteral("--rename: \"%1\" is not a regular expression: %2 (at %3).")
                      .arg(pattern, expression.errorString())
                      .arg(expression.patternErrorOffset());
        return p;
    }
    return made(op);
}

ParsedOperation parseTrackOperation(const QString &option, const QString &text,
                                    const QString &source)
{
    using K = TrackOperationKind;
    TrackOperation op;
    std::vector<double> v;
    const QString o = option;
    if (o == QLatin1String("rename")) {
        // PATTERN=REPLACEMENT, at the first '=' that no backslash escapes.
        int split = -1;
        for (int i = 0; i < text.size(); ++i)
            if (text.at(i) == QLatin1Char('=') && (i == 0 || text.at(i - 1) != QLatin1Char('\\'))) {
                split = i;
                break;
            }
        if (split <= 0) return failed(o, QStringLiteral("PATTERN=REPLACEMENT"), text);
        return renameOperation(text.left(split), text.mid(split + 1));
    }
    if (o == QLatin1String("rename-file")) return parseRenameList(text, source);
    if (o == QLatin1String("prefix") || o == QLatin1String("suffix")) {
        if (text.isEmpty()) return failed(o, QStringLiteral("a text"), text);
        op.kind = o == QLatin1String("prefix") ? K::Prefix : K::Suffix;
        op.text = text;
        return made(op);
    }
    if (o == QLatin1String("slip") || o == QLatin1String("start-at") ||
        o == QLatin1String("drop-before")) {
        if (!wholeNumber(text, op.frames))
            return failed(o, QStringLiteral("a whole number of frames"), text);
        op.kind = o == QLatin1String("slip")       ? K::Slip
                  : o == QLatin1String("start-at") ? K::StartAt
                                                   : K::DropBefore;
        return made(op);
    }
    if (o == QLatin1String("trim")) {
        const int dots = int(text.indexOf(QLatin1String("..")));
        if (dots < 0 || !wholeNumber(text.left(dots), op.frames) ||
            !wholeNumber(text.mid(dots + 2), op.lastFrame) || op.frames > op.lastFrame)
            return failed(o, QStringLiteral("FIRST..LAST with whole frames, FIRST not after LAST"),
                          text);
        op.kind = K::Trim;
        return made(op);
    }
    if (o == QLatin1String("shift")) {
        if (!numbers(text, 2, 2, v)) return failed(o, QStringLiteral("DX,DY in pixels"), text);
        op.kind = K::Shift;
        op.x = v[0];
        op.y = v[1];
        return made(op);
    }
    if (o == QLatin1String("scale")) {
        if (!numbers(text, 1, 2, v) || v[0] <= 0 || v.back() <= 0 || v[0] > 1e4 || v.back() > 1e4)
            return failed(o, QStringLiteral("SX or SX,SY with positive factors"), text);
        op.kind = K::Scale;
        op.x = v[0];
        op.y = v.back();
        return made(op);
    }
    if (o == QLatin1String("reformat")) {
        static const QRegularExpression size(
            QStringLiteral("^\\s*(\\d{1,6})\\s*[xX*]\\s*(\\d{1,6})\\s*$"));
        const QRegularExpressionMatch m = size.match(text);
        if (m.hasMatch()) {
            op.width = m.captured(1).toInt();
            op.height = m.captured(2).toInt();
        }
        if (op.width <= 0 || op.height <= 0)
            return failed(o, QStringLiteral("WIDTHxHEIGHT with positive whole numbers"), text);
        op.kind = K::Reformat;
        return made(op);
    }
    if (o == QLatin1String("flip") || o == QLatin1String("flop")) {
        op.kind = o == QLatin1String("flip") ? K::Flip : K::Flop;
        return made(op);
    }
    if (o == QLatin1String("crop") || o == QLatin1String("pad")) {
        const bool crop = o == QLatin1String("crop");
        bool ok = numbers(text, 4, 4, v);
        for (size_t i = 0; ok && i < v.size(); ++i)
            ok = crop ? v[i] == std::trunc(v[i]) && std::abs(v[i]) <= 1e6 : std::abs(v[i]) <= 100;
        if (!ok)
            return failed(o,
                          crop ? QStringLiteral("L,R,T,B in whole pixels")
                               : QStringLiteral("L,R,T,B as fractions of the plate"),
                          text);
        op.kind = crop ? K::Crop : K::Pad;
        op.left = v[0];
        op.right = v[1];
        op.top = v[2];
        op.bottom = v[3];
        return made(op);
    }
    if (o == QLatin1String("min-keys")) {
        if (!wholeNumber(text, op.count) || op.count < 1)
            return failed(o, QStringLiteral("a number of keys of at least 1"), text);
        op.kind = K::MinKeys;
        return made(op);
    }
    if (o == QLatin1String("fill-gaps")) {
        op.kind = K::FillGaps;
        if (text.isEmpty() || text == QLatin1String("all")) return made(op);
        if (!wholeNumber(text, op.count) || op.count < 1)
            return failed(o, QStringLiteral("a number of missing frames of at least 1, or all"),
                          text);
        return made(op);
    }
    if (o == QLatin1String("lens-distort") || o == QLatin1String("lens-undistort")) {
        if (!numbers(text, 1, 2, v) || std::abs(v[0]) > 100 || std::abs(v.back()) > 100)
            return failed(o, QStringLiteral("K,KCUBE with numbers between -100 and 100"), text);
        op.kind = o == QLatin1String("lens-distort") ? K::LensDistort : K::LensUndistort;
        op.k = v[0];
        op.kCube = v.size() > 1 ? v[1] : 0.0;
        return made(op);
    }
    ParsedOperation p;
    p.error = QStringLiteral("no track operation is called \"%1\".").arg(option);
    return p;
}

QString trackOperationText(const TrackOperation &op)
{
    using K = TrackOperationKind;
    switch (op.kind) {
    case K::Rename:
        return QStringLiteral("--rename %1=%2").arg(op.text, op.replacement);
    case K::RenameMap:
        return QStringLiteral("--rename-file (%1)")
            .arg(plural(int(op.mapping.size()), "name", "names"));
    case K::Prefix:
        return QStringLiteral("--prefix %1").arg(op.text);
    case K::Suffix:
        return QStringLiteral("--suffix %1").arg(op.text);
    case K::Slip:
        return QStringLiteral("--slip %1").arg(op.frames);
    case K::StartAt:
        return QStringLiteral("--start-at %1").arg(op.frames);
    case K::Trim:
        return QStringLiteral("--trim %1..%2").arg(op.frames).arg(op.lastFrame);
    case K::DropBefore:
        return QStringLiteral("--drop-before %1").arg(op.frames);
    case K::Shift:
        return QStringLiteral("--shift %1,%2").arg(number(op.x), number(op.y));
    case K::Scale:
        return QStringLiteral("--scale %1,%2").arg(number(op.x), number(op.y));
    case K::Reformat:
        return QStringLiteral("--reformat %1x%2").arg(op.width).arg(op.height);
    case K::Flip:
        return QStringLiteral("--flip");
    case K::Flop:
        return QStringLiteral("--flop");
    case K::Crop:
    case K::Pad:
        return QStringLiteral("--%1 %2,%3,%4,%5")
            .arg(op.kind == K::Crop ? QStringLiteral("crop") : QStringLiteral("pad"),
                 number(op.left), number(op.right), number(op.top), number(op.bottom));
    case K::MinKeys:
        return QStringLiteral("--min-keys %1").arg(op.count);
    case K::FillGaps:
        return op.count > 0 ? QStringLiteral("--fill-gaps=%1").arg(op.count)
                            : QStringLiteral("--fill-gaps");
    case K::LensDistort:
    case K::LensUndistort:
        return QStringLiteral("--%1 %2,%3")
            .arg(op.kind == K::LensDistort ? QStringLiteral("lens-distort")
                                           : QStringLiteral("lens-undistort"),
                 number(op.k), number(op.kCube));
    }
    return QString();
}

namespace {

void dispatch(OperationRun &run)
{
    using K = TrackOperationKind;
    switch (run.op.kind) {
    case K::Rename:
    case K::RenameMap:
    case K::Prefix:
    case K::Suffix:
        runRename(run);
        break;
    case K::Slip:
    case K::StartAt:
        runTime(run);
        break;
    case K::Trim:
    case K::DropBefore:
    case K::MinKeys:
        runRemoval(run);
        break;
    case K::FillGaps:
        runFillGaps(run);
        break;
    default:
        runGeometry(run);
        break;
    }
}

} // namespace

TrackOperationResult runTrackOperation(TrackTable &table, PlateSize &plate,
                                       const TrackOperation &op, const std::vector<int> *onlyRows,
                                       const ValueSpace *space)
{
    // Each operation checks every row before it changes one.
    OperationRun run(table, &table, plate, op, onlyRows, space);
    dispatch(run);
    if (run.result.ok()) {
        plate = run.plate;
        table.touched();
    }
    return run.result;
}

TrackOperationResult countTrackOperation(const TrackTable &table, PlateSize plate,
                                         const TrackOperation &op, const std::vector<int> *onlyRows,
                                         const ValueSpace *space)
{
    OperationRun run(table, nullptr, plate, op, onlyRows, space);
    dispatch(run);
    return run.result;
}

} // namespace corvane
