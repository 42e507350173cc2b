// SPDX-License-Identifier: Apache-2.0
#include "tracktable.h"

#include "tablestorage.h"

#include "formula.h"
#include "numbers.h"
#include "parallel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>

namespace corvane {

TrackTable::TrackTable() = default;

TrackTable::ExtraStore &TrackTable::store()
{
    if (!m_extras) m_extras = std::make_unique<ExtraStore>();
    return *m_extras;
}

TrackTable::RowExtra *TrackTable::extraOfRow(const Row &rw) const
{
    return m_extras ? m_extras->get(rw.extra) : nullptr;
}

void TrackTable::releaseExtras(size_t first, size_t end)
{
    if (!m_extras) return;
    for (size_t r = first; r < end && r < m_rows.size(); ++r) {
        m_extras->take(m_rows[r].extra);
        m_rows[r].extra = 0;
    }
}

int TrackTable::rowCount() const
{
    return int(m_rows.size());
}

TrackTable::Row &TrackTable::row(int r)
{
    return m_rows[size_t(r)];
}

const TrackTable::Row &TrackTable::row(int r) const
{
    return m_rows[size_t(r)];
}

TrackTable::RowPoints &TrackTable::pointsFor(int r)
{
    extendPoints(m_rows, m_points, size_t(r) + 1);
    return m_points[size_t(r)];
}

TrackTable::RowPoints TrackTable::pointsOf(int r) const
{
    if (row(r).byRule()) {
        RowPoints points;
        settledCopy(row(r), points);
        return points;
    }
    const RowPoints *kept = keptPoints(size_t(r));
    return kept ? *kept : RowPoints::of(row(r));
}

static quint64 nextRuleSerial()
{
    static std::atomic<quint64> serials{0};
    return ++serials;
}

ShownRule::ShownRule() : serial(nextRuleSerial()) {}

namespace {

// A rule's last conversion on this thread, found again by what it was made from.
struct ShownMemo
{
    quint64 rule = 0;
    int source = -1;
    double imported[2] = {0, 0};
    double shown[2] = {0, 0};
    double pixel[2] = {0, 0};
};
thread_local ShownMemo lastShown;

} // namespace

void TrackTable::shownByRule(const Row &rw, double shown[2], RowPoints *points) const
{
    Q_ASSERT(m_shownRule);
    ShownMemo &memo = lastShown;
    if (memo.rule != m_shownRule->serial || memo.source != rw.sourceId() ||
        std::memcmp(memo.imported, rw.value, sizeof memo.imported) != 0) {
        m_shownRule->show(rw.sourceId(), rw.value, memo.shown, memo.pixel);
        memo.rule = m_shownRule->serial;
        memo.source = rw.sourceId();
        std::memcpy(memo.imported, rw.value, sizeof memo.imported);
    }
    std::memcpy(shown, memo.shown, sizeof memo.shown);
    if (!points) return;
    std::memcpy(points->imported, rw.value, sizeof points->imported);
    std::memcpy(points->pixel, memo.pixel, sizeof points->pixel);
}

double TrackTable::shownValue(const Row &rw, int column) const
{
    if (!rw.byRule()) return rw.value[column - XColumn];
    double shown[2];
    shownByRule(rw, shown, nullptr);
    return shown[column - XColumn];
}

TrackTable::Row TrackTable::settledCopy(const Row &rw, RowPoints &points) const
{
    Row copy = rw;
    if (!rw.byRule()) return copy;
    shownByRule(rw, copy.value, &points);
    copy.source &= quint8(~Row::ByRule);
    return copy;
}

void TrackTable::settle(int r)
{
    if (!row(r).byRule()) return;
    RowPoints points;
    const Row settled = settledCopy(row(r), points);
    pointsFor(r) = points;
    row(r) = settled;
}

const TrackTable::RowPoints *TrackTable::keptPoints(size_t r) const
{
    return r < m_points.size() ? &m_points[r] : nullptr;
}

TrackTable::RowPoints *TrackTable::keptPointsFor(int r)
{
    return size_t(r) < m_points.size() ? &m_points[size_t(r)] : nullptr;
}

void TrackTable::spreadPoints()
{
    if (!m_points.empty()) extendPoints(m_rows, m_points, m_rows.size());
}

void TrackTable::holdPoints(int end)
{
    const size_t from = m_points.size(), to = std::min(size_t(std::max(end, 0)), m_rows.size());
    if (to <= from) return;
    if (m_points.capacity() < to) m_points.reserve(m_rows.size());
    m_points.resize(to);
    forRowRanges(int(to - from), [&](int begin, int stop, int) {
        for (size_t r = from + size_t(begin); r < from + size_t(stop); ++r)
            m_points[r] = RowPoints::of(m_rows[r]);
    });
}

TrackTable::~TrackTable() = default;
TrackTable::TrackTable(TrackTable &&) noexcept = default;
TrackTable &TrackTable::operator=(TrackTable &&) noexcept = default;

const QStringList &TrackTable::headerLabels()
{
    // The blanks make the columns wide: widths are fitted to these labels.
    static const QStringList labels{QStringLiteral("       Track Name       "),
                                    QStringLiteral("Frame"), QStringLiteral("    X Coord     "),
                                    QStringLiteral("    Y Coord     ")};
    return labels;
}

void TrackTable::setColumnCount(int columns)
{
    m_columns = std::clamp(columns, 0, TrackColumnCount);
    touch();
}

void TrackTable::setRowCount(int rows)
{
    m_marked.rows -= marksIn(size_t(std::max(rows, 0)), m_rows.size());
    releaseExtras(size_t(std::max(rows, 0)), m_rows.size());
    m_rows.resize(size_t(std::max(rows, 0)));
    if (m_rows.empty())
        BigVector<RowPoints>().swap(m_points); // a new list: no room held for tips
    else if (m_points.size() > m_rows.size())
        m_points.resize(m_rows.size());
    touch();
}

void TrackTable::reserveRows(int rows, bool touch)
{
    const size_t wanted = size_t(std::max(rows, 0));
    m_rows.reserve(wanted);
    if (!touch) return;
    // The system clears each new page as it is first written; for a large
    // table, let every core take its share of that before the rows are made.
    if (wanted > m_rows.size() + (1 << 18))
        touchPages(reinterpret_cast<char *>(m_rows.data() + m_rows.size()),
                   (wanted - m_rows.size()) * sizeof(Row));
}

void TrackTable::clear()
{
    BigVector<Row>().swap(m_rows);
    BigVector<RowPoints>().swap(m_points);
    m_marked.rows = 0;
    m_extras.reset();
    m_shownRule.reset();
    m_columns = 0;
    m_mayHoldFormulas = false;
    touch();
}

TrackTable::CellExtra &TrackTable::extra(int r, int column)
{
    settle(r); // a row with attributes of its own stores what it shows
    Row &rw = row(r);
    if (!rw.extra) rw.extra = store().add(std::make_unique<RowExtra>());
    return m_extras->get(rw.extra)->cells[column];
}

const TrackTable::CellExtra *TrackTable::extraOf(int r, int column) const
{
    RowExtra *e = extraOfRow(row(r));
    return e ? &e->cells[column] : nullptr;
}

CellKind TrackTable::kind(int r, int column) const
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= m_columns) return CellKind::None;
    return row(r).kind(column);
}

QString TrackTable::canonicalText(const Row &rw, int column) const
{
    switch (column) {
    case NameColumn:
        return m_names.value(qsizetype(rw.nameId));
    case FrameColumn:
        return QString::number(rw.frameNumber);
    default:
        return fixed6(shownValue(rw, column));
    }
}

QString TrackTable::text(int r, int column) const
{
    if (!hasItem(r, column)) return QString();
    const Row &rw = row(r);
    if (rw.kind(column) == CellKind::Item && rw.fromNumbers(column))
        return canonicalText(rw, column);
    const CellExtra *e = extraOf(r, column);
    return e ? e->text : QString();
}

QString TrackTable::displayText(int r, int column) const
{
    switch (kind(r, column)) {
    case CellKind::None:
        return QString();
    case CellKind::Formula:
        return formulaDisplayText(formulaResult(r, column));
    case CellKind::Item:
        break;
    }
    return text(r, column);
}

bool TrackTable::isBlank(int r, int column) const
{
    CellKind k = kind(r, column);
    if (k == CellKind::None) return true;
    const Row &rw = row(r);
    if (k == CellKind::Item && rw.fromNumbers(column))
        return column == NameColumn && m_names.isEmptyAt(qsizetype(rw.nameId));
    return displayText(r, column).isEmpty();
}

bool TrackTable::hasBlankCell(int r) const
{
    // Four items made from numbers (the usual row) show their numbers.
    constexpr quint8 allItems = 0x55, allFromNumbers = 0x0f;
    const Row &rw = row(r);
    if (m_columns == TrackColumnCount && rw.kinds == allItems &&
        (rw.flags & allFromNumbers) == allFromNumbers)
        return m_names.isEmptyAt(qsizetype(rw.nameId));
    for (int c = 0; c < TrackColumnCount; ++c)
        if (isBlank(r, c)) return true;
    return false;
}

void TrackTable::setKind(Row &rw, int column, CellKind k)
{
    rw.kinds = quint8((rw.kinds & ~(3u << (2 * column))) | (unsigned(k) << (2 * column)));
}

void TrackTable::setText(int r, int column, const QString &text)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= m_columns) return;
    Row &rw = row(r);
    if (rw.kind(column) != CellKind::None) {
        setItemText(r, column, text);
        return;
    }
    setKind(rw, column, CellKind::Formula);
    m_mayHoldFormulas = true;
    rw.flags &= quint8(~textFromNumbers(column));
    extra(r, column).text = text;
    touch();
}

void TrackTable::setItemText(int r, int column, const QString &text)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= m_columns) return;
    if (isCoordinate(column)) settle(r);
    Row &rw = row(r);
    touch();
    if (rw.kind(column) == CellKind::Formula) {
        extra(r, column).text = text; // a formula cell's source
        return;
    }
    setKind(rw, column, CellKind::Item);
    // Keep texts that the numbers make as numbers, so edited rows stay small.
    bool canonical = false;
    if (column == NameColumn) {
        rw.nameId = internName(text);
        canonical = true;
    } else if (column == FrameColumn) {
        bool ok = false;
        int f = text.toInt(&ok);
        if (ok && QString::number(f) == text) {
            rw.frameNumber = f;
            canonical = true;
        }
    } else {
        bool ok = false;
        double d = text.toDouble(&ok);
        // The tips keep what they showed: the shown value changes alone.
        if (rw.flags & (HasImported | HasPixel)) pointsFor(r);
        if (ok && fixed6(d) == text) {
            rw.value[column - XColumn] = d;
            canonical = true;
        }
        if (ok) takeSourceFromEdit(r, column, d);
    }
    if (canonical) {
        rw.flags |= textFromNumbers(column);
        if (RowExtra *e = extraOfRow(rw)) e->cells[column].text.clear();
    } else {
        rw.flags &= quint8(~textFromNumbers(column));
        extra(r, column).text = text;
    }
}

void TrackTable::takeSourceFromEdit(int r, int column, double shown)
{
    Row &rw = row(r);
    if (!(rw.flags & HasImported)) return; // Apply takes such rows from their texts
    if (const CellExtra *e = extraOf(r, column); e && e->roles.contains(Qt::ToolTipRole)) return;
    double source = shown;
    if ((rw.flags & Converted) && m_shownToSource)
        source = m_shownToSource(*this, r, column, shown);
    pointsFor(r).imported[column - XColumn] = source;
}

void TrackTable::removeItem(int r, int column)
{
    if (!hasItem(r, column)) return;
    if (isCoordinate(column)) settle(r);
    Row &rw = row(r);
    m_marked.rows -= int(marks(rw));
    setKind(rw, column, CellKind::None);
    rw.flags &= quint8(~textFromNumbers(column));
    rw.setBackgroundCode(column, NoBackground);
    m_marked.rows += int(marks(rw));
    if (RowExtra *e = extraOfRow(rw)) e->cells[column] = CellExtra();
    if (isCoordinate(column)) {
        // The coordinate attributes are shared by columns 2 and 3: the other
        // cell keeps its own copy, and a new item here starts without them.
        int other = column == XColumn ? YColumn : XColumn;
        if (rw.kind(other) != CellKind::None) {
            for (int role :
                 {int(Qt::ToolTipRole), int(Qt::StatusTipRole), int(Qt::WhatsThisRole)}) {
                QVariant v = data(r, other, role);
                if (v.isValid()) extra(r, other).roles.insert(role, v);
            }
        }
        rw.flags &= quint8(~(HasImported | HasPixel));
        rw.source = 0;
    }
    touch();
}

quint32 TrackTable::internName(const QString &name)
{
    const size_t hash = NameIndex::hashOf(name);
    const qint64 known = m_nameIds.find(m_names, name, hash);
    if (known >= 0) return quint32(known);
    const quint32 id = quint32(m_names.append(name));
    m_nameIds.insert(id, hash);
    return id;
}

void TrackTable::dropNames()
{
    Q_ASSERT(m_rows.empty());
    m_names = NameTexts();
    m_nameIds = NameIndex();
}

void TrackTable::reserveNames(qsizetype more)
{
    // Grown by half again at least: a streamed conversion fills piece by piece.
    const qsizetype wanted = m_names.size() + more;
    const qsizetype room = std::max(wanted, m_names.size() + m_names.size() / 2);
    if (m_names.capacity() < wanted) m_names.reserve(room);
    if (m_nameIds.capacity() < wanted) m_nameIds.reserve(room);
}

quint8 TrackTable::internSource(const QString &formatFilter)
{
    if (formatFilter.isEmpty()) return 0;
    auto it = m_sourceIds.constFind(formatFilter);
    if (it != m_sourceIds.cend()) return it.value();
    // A table is never fed that many different formats (a row keeps a bit beside the id).
    if (m_sources.size() > 0x7f) return 0;
    quint8 id = quint8(m_sources.size());
    m_sources.append(formatFilter);
    m_sourceIds.insert(formatFilter, id);
    return id;
}

void TrackTable::setImportedRow(int r, quint32 nameId, int frame, double x, double y,
                                quint8 sourceId)
{
    releaseExtras(size_t(r), size_t(r) + 1);
    Row &rw = row(r);
    m_marked.rows -= int(marks(rw));
    rw = Row();
    rw.nameId = nameId;
    rw.frameNumber = frame;
    rw.value[0] = x;
    rw.value[1] = y;
    if (size_t(r) < m_points.size()) m_points[size_t(r)] = RowPoints::of(rw);
    rw.source = sourceId & quint8(~Row::ByRule);
    rw.kinds = 0x55;       // four plain items
    rw.backgrounds = 0x55; // each with its column's colour
    rw.flags = quint8(0x0f | HasImported | HasPixel | ImportedStyle);
}

qint64 TrackTable::nameId(int r) const
{
    if (kind(r, NameColumn) != CellKind::Item || !row(r).fromNumbers(NameColumn)) return -1;
    return row(r).nameId;
}

int TrackTable::frame(int r, bool *ok) const
{
    if (kind(r, FrameColumn) == CellKind::Item && row(r).fromNumbers(FrameColumn)) {
        if (ok) *ok = true;
        return row(r).frameNumber;
    }
    return toInt(displayText(r, FrameColumn), ok);
}

double TrackTable::coordinate(int r, int column, bool *ok) const
{
    if (kind(r, column) == CellKind::Item && row(r).fromNumbers(column)) {
        if (ok) *ok = true;
        return roundFixed6(shownValue(row(r), column));
    }
    return toDouble(displayText(r, column), ok);
}

bool TrackTable::numericCoordinate(int r, int column, double *value) const
{
    if (kind(r, column) != CellKind::Item || !row(r).fromNumbers(column)) return false;
    *value = shownValue(row(r), column);
    return true;
}

bool TrackTable::hasImportedValue(int r) const
{
    if (kind(r, XColumn) == CellKind::None) return false;
    const CellExtra *e = extraOf(r, XColumn);
    if (e && e->roles.contains(Qt::ToolTipRole))
        return !e->roles.value(Qt::ToolTipRole).toString().isEmpty();
    return row(r).flags & HasImported;
}

double TrackTable::importedValue(int r, int column) const
{
    const Row &rw = row(r);
    const CellExtra *e = extraOf(r, column);
    if (!(e && e->roles.contains(Qt::ToolTipRole)) && (rw.flags & HasImported))
        return pointsOf(r).imported[column - XColumn];
    return toDouble(data(r, column, Qt::ToolTipRole).toString());
}

bool TrackTable::pixelPoint(int r, double *x, double *y) const
{
    const Row &rw = row(r);
    if (!(rw.flags & HasPixel) || !(rw.flags & Converted)) return false;
    const RowPoints points = pointsOf(r);
    *x = points.pixel[0];
    *y = points.pixel[1];
    return true;
}

QString TrackTable::sourceFormat(int r) const
{
    return data(r, XColumn, Qt::WhatsThisRole).toString();
}

int TrackTable::sourceFormatId(int r) const
{
    if (kind(r, XColumn) == CellKind::None) return -1;
    const CellExtra *e = extraOf(r, XColumn);
    if (e && e->roles.contains(Qt::WhatsThisRole)) return -1;
    return row(r).sourceId();
}

void TrackTable::takeImportedFromDisplay(int r)
{
    for (int column : {int(XColumn), int(YColumn)}) {
        if (!hasItem(r, column)) setItemText(r, column, QString());
        extra(r, column).roles.insert(Qt::ToolTipRole, displayText(r, column));
    }
}

void TrackTable::setConverted(int r, double pixelX, double pixelY, double x, double y)
{
    settle(r);
    storeValues(row(r), pointsFor(r), pixelX, pixelY, x, y);
    touch();
}

void TrackTable::setFrame(int r, int frame)
{
    storeFrame(row(r), frame);
    touch();
}

bool TrackTable::convertsInPlace(int r) const
{
    return row(r).plainPoint();
}

TrackTable::ConvertedRow TrackTable::convertedRow(int r, double pixelX, double pixelY, double x,
                                                  double y, int frame) const
{
    return {{pixelX, pixelY}, {x, y}, frame, quint8(row(r).flags | AppliedFlags)};
}

void TrackTable::exchangeConverted(ConvertedRows &converted)
{
    if (converted.rule) { // every row shows by the table's rule: the rule is exchanged
        std::swap(m_shownRule, converted.rule);
        const qint64 shift = converted.frameShift;
        if (shift != 0)
            forRowRanges(rowCount(), [&](int begin, int end, int) {
                for (int r = begin; r < end; ++r)
                    m_rows[size_t(r)].frameNumber = qint32(m_rows[size_t(r)].frameNumber + shift);
            });
        converted.frameShift = -shift;
        std::swap(m_shownToSource, converted.inverse);
        touch();
        return;
    }
    holdPoints();
    forRowRanges(rowCount(), [&](int begin, int end, int) {
        for (int r = begin; r < end; ++r) {
            settle(r); // its points are held: only the row itself is written
            Row &rw = m_rows[size_t(r)];
            ConvertedRow &other = converted.rows[size_t(r)];
            std::swap(m_points[size_t(r)].pixel, other.pixel);
            std::swap(rw.value, other.value);
            std::swap(rw.frameNumber, other.frame);
            std::swap(rw.flags, other.flags);
        }
    });
    std::swap(m_shownToSource, converted.inverse);
    touch();
}

bool TrackTable::showsImported(int r) const
{
    constexpr quint8 imported = textFromNumbers(FrameColumn) | textFromNumbers(XColumn) |
                                textFromNumbers(YColumn) | HasImported | HasPixel;
    const Row &rw = row(r);
    if (!convertsInPlace(r) || (rw.flags & (imported | Converted)) != imported) return false;
    const RowPoints *points = keptPoints(size_t(r));
    // Compared as bits: the restore puts these bits back.
    return !points || (std::memcmp(rw.value, points->imported, sizeof rw.value) == 0 &&
                       std::memcmp(points->pixel, points->imported, sizeof rw.value) == 0);
}

void TrackTable::restoreImported(int begin, int end, qint64 frameShift)
{
    forRowRanges(end - begin, [&](int from, int to, int) {
        for (int r = begin + from; r < begin + to; ++r) {
            Row &rw = m_rows[size_t(r)];
            if (rw.byRule()) { // its values are the imported ones
                rw.source &= quint8(~Row::ByRule);
                if (size_t(r) < m_points.size()) m_points[size_t(r)] = RowPoints::of(rw);
            } else if (size_t(r) < m_points.size()) {
                RowPoints &points = m_points[size_t(r)];
                std::memcpy(rw.value, points.imported, sizeof rw.value);
                std::memcpy(points.pixel, points.imported, sizeof points.pixel);
            }
            rw.frameNumber = qint32(rw.frameNumber - frameShift);
            rw.flags &= quint8(~Converted);
        }
    });
}

void TrackTable::storeConverted(int r, double pixelX, double pixelY, double x, double y, int frame)
{
    settle(r);
    Row &rw = row(r);
    // Rows stored on several threads have their points made first (holdPoints).
    storeValues(rw, pointsFor(r), pixelX, pixelY, x, y);
    storeFrame(rw, frame);
}

void TrackTable::storeShown(int r, double x, double y, int frame)
{
    Row &rw = row(r);
    rw.source &= quint8(~Row::ByRule);
    RowPoints unkept;
    storeValues(rw, unkept, 0, 0, x, y);
    rw.flags &= quint8(~(HasImported | HasPixel));
    storeFrame(rw, frame);
}

// Touches the row and its own extras only: never the table's shared state.
void TrackTable::storeValues(Row &rw, RowPoints &points, double pixelX, double pixelY, double x,
                             double y) const
{
    for (int column : {int(XColumn), int(YColumn)}) {
        if (rw.kind(column) != CellKind::Item) setKind(rw, column, CellKind::Item);
        rw.flags |= textFromNumbers(column);
        if (RowExtra *e = extraOfRow(rw)) {
            e->cells[column].text.clear();
            e->cells[column].roles.remove(Qt::StatusTipRole);
        }
    }
    points.pixel[0] = pixelX;
    points.pixel[1] = pixelY;
    rw.value[0] = x;
    rw.value[1] = y;
    rw.flags |= HasPixel | Converted;
}

void TrackTable::storeFrame(Row &rw, int frame) const
{
    if (rw.kind(FrameColumn) != CellKind::Item) setKind(rw, FrameColumn, CellKind::Item);
    rw.frameNumber = frame;
    rw.flags |= textFromNumbers(FrameColumn);
    if (RowExtra *e = extraOfRow(rw)) e->cells[FrameColumn].text.clear();
}

void TrackTable::showByRule(int r, int frame)
{
    Q_ASSERT(m_shownRule && showsImported(r));
    Row &rw = row(r);
    rw.flags |= AppliedFlags; // as storeValues and storeFrame leave a plain row
    rw.frameNumber = frame;
    rw.source |= Row::ByRule;
}

bool TrackTable::showsByRule(int r) const
{
    return row(r).byRule();
}

void TrackTable::setRowNameId(int r, quint32 nameId)
{
    Row &rw = row(r);
    if (rw.kind(NameColumn) != CellKind::Item || !rw.fromNumbers(NameColumn)) return;
    rw.nameId = nameId;
}

void TrackTable::setRowNote(int r, const QString &note)
{
    Row &rw = row(r);
    if (!rw.extra) rw.extra = store().add(std::make_unique<RowExtra>());
    m_extras->get(rw.extra)->note = note;
}

QString TrackTable::rowNote(int r) const
{
    const RowExtra *e = extraOfRow(row(r));
    return e ? e->note : QString();
}

bool TrackTable::sourcePoint(int r, double *x, double *y) const
{
    const Row &rw = row(r);
    if (!rw.extra && (rw.flags & HasImported) && rw.kind(XColumn) != CellKind::None) {
        const RowPoints points = pointsOf(r);
        *x = points.imported[0];
        *y = points.imported[1];
        return true;
    }
    if (hasImportedValue(r)) {
        *x = importedValue(r, XColumn);
        *y = importedValue(r, YColumn);
        return true;
    }
    bool okX = true, okY = true;
    if (!numericCoordinate(r, XColumn, x)) *x = coordinate(r, XColumn, &okX);
    if (!numericCoordinate(r, YColumn, y)) *y = coordinate(r, YColumn, &okY);
    return okX && okY;
}

void TrackTable::setSourcePoint(int r, double x, double y, int axes)
{
    settle(r);
    Row &rw = row(r);
    const bool converted = rw.flags & Converted;
    constexpr quint8 coordinatesFromNumbers = textFromNumbers(XColumn) | textFromNumbers(YColumn);
    if (!rw.extra && !converted && (rw.flags & HasImported) &&
        (rw.flags & coordinatesFromNumbers) == coordinatesFromNumbers &&
        rw.kind(XColumn) == CellKind::Item && rw.kind(YColumn) == CellKind::Item) {
        // The usual imported row: its numbers are all there is.
        RowPoints *points = keptPointsFor(r);
        const double values[2] = {x, y};
        for (int i = 0; i < 2; ++i) {
            if (!(axes & (1 << i))) continue;
            rw.value[i] = values[i];
            if (points) points->imported[i] = points->pixel[i] = values[i];
        }
        return;
    }
    const double values[2] = {x, y};
    for (int column : {int(XColumn), int(YColumn)}) {
        const int i = column - XColumn;
        if (!(axes & (1 << i)) && !converted) continue;
        const double v = values[i];
        RowExtra *e = extraOfRow(rw);
        if (e && e->cells[column].roles.contains(Qt::ToolTipRole)) {
            if (axes & (1 << i))
                e->cells[column].roles.insert(Qt::ToolTipRole, QString::number(v, 'g', 17));
        } else if (rw.flags & HasImported) {
            // A formula keeps its cell: only then do the values part, and a
            // table with formulas is changed on one thread.
            if (rw.kind(column) == CellKind::Formula)
                pointsFor(r).imported[i] = v;
            else if (RowPoints *points = keptPointsFor(r))
                points->imported[i] = v;
        }
        if (rw.kind(column) == CellKind::Formula) continue;
        if (rw.kind(column) != CellKind::Item) setKind(rw, column, CellKind::Item);
        rw.value[i] = v;
        if (RowPoints *points = keptPointsFor(r)) points->pixel[i] = v;
        rw.flags |= textFromNumbers(column);
        if (e) {
            e->cells[column].text.clear();
            e->cells[column].roles.remove(Qt::StatusTipRole);
        }
    }
    rw.flags &= quint8(~Converted);
}

} // namespace corvane
