// SPDX-License-Identifier: Apache-2.0
#include "tracktable.h"

#include "formula.h"
#include "numbers.h"
#include "parallel.h"

#include <algorithm>
#include <iterator>

namespace corvane {

namespace {

enum RowFlag : quint8 {
    // bits 0..3: the text of column c is made from the row's numbers
    HasImported = 1 << 4,   // tool tips of columns 2 and 3 hold the imported values
    HasPixel = 1 << 5,      // status tips of columns 2 and 3 hold the pixel values
    ImportedStyle = 1 << 6, // every cell centred, as the import makes them
    Converted = 1 << 7,     // the shown X and Y are the last Apply's result
};

constexpr quint8 textFromNumbers(int column)
{
    return quint8(1u << column);
}

enum BackgroundCode : quint8 {
    NoBackground = 0,
    ColumnBackground = 1,
    MarkBackground = 2,
    CustomBackground = 3
};

Rgba columnColour(int column)
{
    return column == NameColumn ? colors::nameCell : colors::valueCell;
}

bool isCoordinate(int column)
{
    return column == XColumn || column == YColumn;
}

} // namespace

struct TrackTable::CellExtra
{
    QString text;               // the cell's text when not made from numbers; a formula's source
    QHash<int, QVariant> roles; // other roles set on the item
    Rgba background;            // with CustomBackground
    mutable QVariant result;    // a formula's last value
    mutable quint64 evaluatedAt = 0;
};

struct TrackTable::RowExtra
{
    CellExtra cells[TrackColumnCount];
};

// A row's rare attributes live in its owner's store (the table's, or a
// row block's), found by slot number: a row stays 64 bytes.
// About what one row's rare attributes take (tips, colours, formulas).
constexpr qint64 ExtraBytes = 256;

struct TrackTable::ExtraStore
{
    std::vector<std::unique_ptr<RowExtra>> entries;
    std::vector<quint32> unused;

    quint32 add(std::unique_ptr<RowExtra> extra)
    {
        if (!extra) return 0;
        if (!unused.empty()) {
            const quint32 slot = unused.back();
            unused.pop_back();
            entries[slot] = std::move(extra);
            return slot + 1;
        }
        entries.push_back(std::move(extra));
        return quint32(entries.size());
    }
    std::unique_ptr<RowExtra> take(quint32 id)
    {
        if (id == 0) return nullptr;
        unused.push_back(id - 1);
        return std::move(entries[id - 1]);
    }
    RowExtra *get(quint32 id) const { return id ? entries[id - 1].get() : nullptr; }
};

struct TrackTable::Row
{
    double value[2] = {0, 0};    // X and Y as shown
    double imported[2] = {0, 0}; // the imported values (tool tips)
    double pixel[2] = {0, 0};    // pixels from the top-left (status tips)
    qint32 frameNumber = 0;
    quint32 nameId = 0;
    quint32 extra = 0;      // slot in the owner's ExtraStore; 0: none
    quint8 sourceId = 0;    // what's-this of the coordinate cells
    quint8 kinds = 0;       // CellKind, two bits per column
    quint8 backgrounds = 0; // BackgroundCode, two bits per column
    quint8 flags = 0;

    CellKind kind(int c) const { return CellKind((kinds >> (2 * c)) & 3); }
    BackgroundCode backgroundCode(int c) const
    {
        return BackgroundCode((backgrounds >> (2 * c)) & 3);
    }
    void setBackgroundCode(int c, BackgroundCode code)
    {
        backgrounds = quint8((backgrounds & ~(3u << (2 * c))) | (unsigned(code) << (2 * c)));
    }
    bool fromNumbers(int c) const { return flags & textFromNumbers(c); }
};

static_assert(sizeof(TrackTable::Row) <= 64, "a million rows must stay within 64 MB");

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

// Moves a row's extras from one store to another.
static void rehome(quint32 &id, TrackTable::ExtraStore *from, TrackTable::ExtraStore &to)
{
    if (id == 0 || !from) return;
    id = to.add(from->take(id));
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
    releaseExtras(size_t(std::max(rows, 0)), m_rows.size());
    m_rows.resize(size_t(std::max(rows, 0)));
    touch();
}

void TrackTable::reserveRows(int rows)
{
    const size_t wanted = size_t(std::max(rows, 0));
    m_rows.reserve(wanted);
    // The system clears each new page as it is first written; for a large
    // table, let every core take its share of that before the rows are made.
    if (wanted > m_rows.size() + (1 << 18))
        touchPages(reinterpret_cast<char *>(m_rows.data() + m_rows.size()),
                   (wanted - m_rows.size()) * sizeof(Row));
}

void TrackTable::clear()
{
    BigVector<Row>().swap(m_rows);
    m_extras.reset();
    m_columns = 0;
    m_mayHoldFormulas = false;
    touch();
}

TrackTable::CellExtra &TrackTable::extra(int r, int column)
{
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
        return m_names.value(int(rw.nameId));
    case FrameColumn:
        return QString::number(rw.frameNumber);
    default:
        return fixed6(rw.value[column - XColumn]);
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
        return column == NameColumn && m_names.value(int(rw.nameId)).isEmpty();
    return displayText(r, column).isEmpty();
}

bool TrackTable::hasBlankCell(int r) const
{
    // Four items made from numbers (the usual row) show their numbers.
    constexpr quint8 allItems = 0x55, allFromNumbers = 0x0f;
    const Row &rw = row(r);
    if (m_columns == TrackColumnCount && rw.kinds == allItems &&
        (rw.flags & allFromNumbers) == allFromNumbers)
        return rw.nameId >= quint32(m_names.size()) || m_names.at(rw.nameId).isEmpty();
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
    rw.imported[column - XColumn] = source;
}

void TrackTable::removeItem(int r, int column)
{
    if (!hasItem(r, column)) return;
    Row &rw = row(r);
    setKind(rw, column, CellKind::None);
    rw.flags &= quint8(~textFromNumbers(column));
    rw.setBackgroundCode(column, NoBackground);
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
        rw.sourceId = 0;
    }
    touch();
}

} // namespace corvane

namespace corvane {

QVariant TrackTable::formulaResult(int r, int column) const
{
    const CellExtra *e = extraOf(r, column);
    if (!e) return QVariant();
    if (e->evaluatedAt != m_generation) {
        e->evaluatedAt = m_generation; // a formula that refers to itself sees its last value
        // A chain of formulas that refer to formulas ends in an error, not
        // in a stack too deep.
        constexpr int maxChain = 256;
        if (m_formulaDepth >= maxChain) {
            e->result = QVariant();
            return e->result;
        }
        ++m_formulaDepth;
        e->result =
            evaluateCellText(e->text, [this](int rr, int cc) { return referenceValue(rr, cc); });
        --m_formulaDepth;
    }
    return e->result;
}

QVariant TrackTable::referenceValue(int r, int column) const
{
    switch (kind(r, column)) {
    case CellKind::None:
        return 0.0;
    case CellKind::Formula:
        return formulaResult(r, column);
    case CellKind::Item:
        break;
    }
    // A plain item reads like a formula cell's plain text.
    return plainTextValue(text(r, column));
}

QVariant TrackTable::data(int r, int column, int role) const
{
    CellKind k = kind(r, column);
    if (k == CellKind::None) return QVariant();
    const Row &rw = row(r);
    const CellExtra *e = extraOf(r, column);

    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (k == CellKind::Formula && role == Qt::DisplayRole)
            return formulaDisplayText(formulaResult(r, column));
        return text(r, column);
    }
    if (role == Qt::TextAlignmentRole && k == CellKind::Formula)
        return formulaAlignment(formulaResult(r, column));
    if (e) {
        auto it = e->roles.constFind(role);
        if (it != e->roles.cend()) return it.value();
    }
    switch (role) {
    case Qt::TextAlignmentRole:
        if (rw.flags & ImportedStyle) return ImportedAlignment;
        break;
    case Qt::ToolTipRole:
        if (isCoordinate(column) && (rw.flags & HasImported))
            return general6(rw.imported[column - XColumn]);
        break;
    case Qt::StatusTipRole:
        if (isCoordinate(column) && (rw.flags & HasPixel))
            return fixed6(rw.pixel[column - XColumn]);
        break;
    case Qt::WhatsThisRole:
        if (isCoordinate(column) && rw.sourceId) return m_sources.at(rw.sourceId);
        break;
    default:
        break;
    }
    return QVariant();
}

void TrackTable::setData(int r, int column, int role, const QVariant &value)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= m_columns) return;
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        setItemText(r, column, value.toString());
        return;
    }
    if (!hasItem(r, column)) setItemText(r, column, QString());
    extra(r, column).roles.insert(role, value);
}

std::optional<Rgba> TrackTable::background(int r, int column) const
{
    if (!hasItem(r, column)) return std::nullopt;
    const Row &rw = row(r);
    switch (rw.backgroundCode(column)) {
    case NoBackground:
        return std::nullopt;
    case ColumnBackground:
        return columnColour(column);
    case MarkBackground:
        return colors::rowMark;
    case CustomBackground:
        return extraOf(r, column)->background;
    }
    return std::nullopt;
}

void TrackTable::setBackground(int r, int column, std::optional<Rgba> colour)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= m_columns) return;
    if (!hasItem(r, column)) setItemText(r, column, QString());
    Row &rw = row(r);
    if (!colour)
        rw.setBackgroundCode(column, NoBackground);
    else if (*colour == columnColour(column))
        rw.setBackgroundCode(column, ColumnBackground);
    else if (*colour == colors::rowMark)
        rw.setBackgroundCode(column, MarkBackground);
    else {
        rw.setBackgroundCode(column, CustomBackground);
        extra(r, column).background = *colour;
    }
}

bool TrackTable::isMarked(int r) const
{
    return background(r, NameColumn) == std::optional<Rgba>(colors::rowMark);
}

qint64 TrackTable::memoryBytes() const
{
    qint64 names = 0;
    for (const QString &name : m_names)
        names += 48 + 2 * name.size(); // the string, its hash entry
    return qint64(m_rows.size()) * qint64(sizeof(Row)) +
           (m_extras ? qint64(m_extras->entries.size()) * ExtraBytes : 0) + names;
}

int TrackTable::markedCount() const
{
    int marked = 0;
    for (int r = 0; r < rowCount(); ++r)
        marked += isMarked(r);
    return marked;
}

quint32 TrackTable::internName(const QString &name)
{
    auto it = m_nameIds.constFind(name);
    if (it != m_nameIds.cend()) return it.value();
    quint32 id = quint32(m_names.size());
    m_names.append(name);
    m_nameIds.insert(name, id);
    return id;
}

quint8 TrackTable::internSource(const QString &formatFilter)
{
    if (formatFilter.isEmpty()) return 0;
    auto it = m_sourceIds.constFind(formatFilter);
    if (it != m_sourceIds.cend()) return it.value();
    if (m_sources.size() >= 0xff) return 0; // a table is never fed that many different formats
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
    rw = Row();
    rw.nameId = nameId;
    rw.frameNumber = frame;
    rw.value[0] = rw.imported[0] = rw.pixel[0] = x;
    rw.value[1] = rw.imported[1] = rw.pixel[1] = y;
    rw.sourceId = sourceId;
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
        return roundFixed6(row(r).value[column - XColumn]);
    }
    return toDouble(displayText(r, column), ok);
}

bool TrackTable::numericCoordinate(int r, int column, double *value) const
{
    if (kind(r, column) != CellKind::Item || !row(r).fromNumbers(column)) return false;
    *value = row(r).value[column - XColumn];
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
        return rw.imported[column - XColumn];
    return toDouble(data(r, column, Qt::ToolTipRole).toString());
}

bool TrackTable::pixelPoint(int r, double *x, double *y) const
{
    const Row &rw = row(r);
    if (!(rw.flags & HasPixel) || !(rw.flags & Converted)) return false;
    *x = rw.pixel[0];
    *y = rw.pixel[1];
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
    return row(r).sourceId;
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
    storeValues(row(r), pixelX, pixelY, x, y);
    touch();
}

void TrackTable::setFrame(int r, int frame)
{
    storeFrame(row(r), frame);
    touch();
}

void TrackTable::storeConverted(int r, double pixelX, double pixelY, double x, double y, int frame)
{
    Row &rw = row(r);
    storeValues(rw, pixelX, pixelY, x, y);
    storeFrame(rw, frame);
}

// Touches the row and its own extras only: never the table's shared state.
void TrackTable::storeValues(Row &rw, double pixelX, double pixelY, double x, double y) const
{
    for (int column : {int(XColumn), int(YColumn)}) {
        if (rw.kind(column) != CellKind::Item) setKind(rw, column, CellKind::Item);
        rw.flags |= textFromNumbers(column);
        if (RowExtra *e = extraOfRow(rw)) {
            e->cells[column].text.clear();
            e->cells[column].roles.remove(Qt::StatusTipRole);
        }
    }
    rw.pixel[0] = pixelX;
    rw.pixel[1] = pixelY;
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

void TrackTable::insertRows(int position, int count)
{
    if (count <= 0) return;
    position = std::clamp(position, 0, rowCount());
    std::vector<Row> fresh(static_cast<size_t>(count));
    m_rows.insert(m_rows.begin() + position, std::make_move_iterator(fresh.begin()),
                  std::make_move_iterator(fresh.end()));
    touch();
}

void TrackTable::removeRows(int position, int count)
{
    if (position < 0 || count <= 0 || position >= rowCount()) return;
    count = std::min(count, rowCount() - position);
    releaseExtras(size_t(position), size_t(position + count));
    m_rows.erase(m_rows.begin() + position, m_rows.begin() + position + count);
    touch();
}

void TrackTable::permuteRows(const std::vector<int> &order)
{
    BigVector<Row> rows;
    rows.reserve(m_rows.size());
    for (int from : order)
        rows.push_back(std::move(m_rows[size_t(from)]));
    m_rows.swap(rows);
    touch();
}

TrackTable::Row TrackTable::copyOf(const Row &row, const ExtraStore *from, ExtraStore &to)
{
    Row copy = row;
    copy.extra = 0;
    if (const RowExtra *extra = from ? from->get(row.extra) : nullptr)
        copy.extra = to.add(std::make_unique<RowExtra>(*extra));
    return copy;
}

void TrackTable::noteFormulas(const Row &row)
{
    for (int c = 0; c < TrackColumnCount; ++c)
        if (row.kind(c) == CellKind::Formula) m_mayHoldFormulas = true;
}

RowBlock TrackTable::copyRows(const std::vector<int> &rows) const
{
    RowBlock block;
    block.m_rows.reserve(rows.size());
    for (int r : rows)
        block.m_rows.push_back(copyOf(row(r), m_extras.get(), block.store()));
    return block;
}

void TrackTable::swapRows(const std::vector<int> &rows, RowBlock &block)
{
    for (size_t i = 0; i < rows.size() && i < block.m_rows.size(); ++i) {
        Row &here = row(rows[i]);
        Row &there = block.m_rows[i];
        rehome(here.extra, m_extras.get(), block.store());
        rehome(there.extra, block.m_extras.get(), store());
        std::swap(here, there);
        noteFormulas(here);
    }
    touch();
}

RowBlock TrackTable::takeRows(const std::vector<int> &rows)
{
    RowBlock block;
    block.m_rows.reserve(rows.size());
    size_t next = 0, kept = 0;
    for (size_t r = 0; r < m_rows.size(); ++r) {
        if (next < rows.size() && size_t(rows[next]) == r) {
            rehome(m_rows[r].extra, m_extras.get(), block.store());
            block.m_rows.push_back(m_rows[r]);
            ++next;
        } else {
            if (kept != r) m_rows[kept] = m_rows[r];
            ++kept;
        }
    }
    m_rows.resize(kept);
    touch();
    return block;
}

void TrackTable::putRows(const std::vector<int> &rows, RowBlock &&block)
{
    const size_t total = m_rows.size() + block.m_rows.size();
    BigVector<Row> merged;
    merged.reserve(total);
    size_t next = 0, old = 0;
    for (size_t r = 0; r < total; ++r) {
        if (next < block.m_rows.size() &&
            (next >= rows.size() || size_t(rows[next]) == r || old >= m_rows.size())) {
            Row &incoming = block.m_rows[next++];
            rehome(incoming.extra, block.m_extras.get(), store());
            noteFormulas(incoming);
            merged.push_back(incoming);
        } else {
            merged.push_back(m_rows[old++]);
        }
    }
    m_rows.swap(merged);
    block.m_rows.clear();
    touch();
}

TrackTable TrackTable::clone() const
{
    TrackTable copy;
    copy.m_rows = m_rows; // slot numbers stay: the store is copied slot for slot
    if (m_extras) {
        ExtraStore &to = copy.store();
        to.unused = m_extras->unused;
        to.entries.reserve(m_extras->entries.size());
        for (const auto &extra : m_extras->entries)
            to.entries.push_back(extra ? std::make_unique<RowExtra>(*extra) : nullptr);
    }
    copy.m_columns = m_columns;
    copy.m_names = m_names;
    copy.m_nameIds = m_nameIds;
    copy.m_sources = m_sources;
    copy.m_sourceIds = m_sourceIds;
    copy.m_mayHoldFormulas = m_mayHoldFormulas;
    copy.m_shownToSource = m_shownToSource;
    return copy;
}

RowBlock::RowBlock() = default;
RowBlock::~RowBlock() = default;
RowBlock::RowBlock(RowBlock &&) noexcept = default;
RowBlock &RowBlock::operator=(RowBlock &&) noexcept = default;

TrackTable::ExtraStore &RowBlock::store()
{
    if (!m_extras) m_extras = std::make_unique<TrackTable::ExtraStore>();
    return *m_extras;
}

int RowBlock::size() const
{
    return int(m_rows.size());
}

qint64 RowBlock::memoryBytes() const
{
    return qint64(m_rows.capacity() * sizeof(TrackTable::Row)) +
           (m_extras ? qint64(m_extras->entries.size()) * ExtraBytes : 0);
}

RowBlock RowBlock::blank(int count)
{
    RowBlock block;
    block.m_rows.resize(size_t(std::max(count, 0)));
    return block;
}

RowBlock RowBlock::takeFront(int count)
{
    RowBlock front;
    count = std::clamp(count, 0, size());
    front.m_rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        rehome(m_rows[size_t(i)].extra, m_extras.get(), front.store());
        front.m_rows.push_back(m_rows[size_t(i)]);
    }
    m_rows.erase(m_rows.begin(), m_rows.begin() + count);
    return front;
}

void RowBlock::append(RowBlock &&other)
{
    for (TrackTable::Row &row : other.m_rows) {
        rehome(row.extra, other.m_extras.get(), store());
        m_rows.push_back(row);
    }
    other.m_rows.clear();
}

size_t TrackTable::memoryUse() const
{
    size_t bytes = m_rows.capacity() * sizeof(Row);
    if (m_extras)
        for (const auto &extra : m_extras->entries)
            if (extra) bytes += sizeof(RowExtra);
    return bytes;
}

} // namespace corvane
