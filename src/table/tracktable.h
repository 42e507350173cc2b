// SPDX-License-Identifier: Apache-2.0
// The track table: the single store of the rows the program edits.
//
// Each row has four cells ("Track Name", "Frame", "X Coord", "Y Coord"). A
// cell is absent, a plain item, or a formula cell. Imported rows keep their
// numbers as numbers and make the cell texts on demand (frames as decimal
// integers, coordinates with 6 decimals), so a million rows stay small; a
// cell whose text is edited to anything else keeps that text in a side record.
#pragma once

#include "bigallocator.h"
#include "rgba.h"
#include "tracknames.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace corvane {

enum Column { NameColumn = 0, FrameColumn = 1, XColumn = 2, YColumn = 3 };
constexpr int TrackColumnCount = 4;

// The background a column's cells have unless marked or given another.
inline Rgba columnColour(int column)
{
    return column == NameColumn ? colors::nameCell : colors::valueCell;
}

enum class CellKind : quint8 { None = 0, Item = 1, Formula = 2 };

class TrackTable;
class RowBlock;
// Takes a number the user puts into a coordinate cell of a converted row
// back to the row's source convention (the inverse of the last Apply).
using ShownToSource =
    std::function<double(const TrackTable &table, int row, int column, double shown)>;

// How the rows of an Apply made in place show their values: such a row
// keeps its imported point, and the rule makes the shown and pixel values
// from it each time they are asked for, by the Apply's own arithmetic (so
// to the same bits). Read on several threads at once.
class ShownRule
{
public:
    ShownRule();
    virtual ~ShownRule() = default;
    virtual void show(int sourceId, const double imported[2], double shown[2],
                      double pixel[2]) const = 0;
    // Whether rows of this source format can show by the rule.
    virtual bool knowsSource(int sourceId) const = 0;
    // Tells this rule from every other made in the process: a thread keeps
    // the last row it showed (X and Y are asked for one after the other).
    const quint64 serial;
};

// Alignment of every cell of an imported row: Qt::AlignHCenter | Qt::AlignVCenter.
constexpr int ImportedAlignment = 0x84;

class TrackTable
{
public:
    TrackTable();
    ~TrackTable();
    TrackTable(TrackTable &&) noexcept;
    TrackTable &operator=(TrackTable &&) noexcept;

    static const QStringList &headerLabels();

    int rowCount() const;
    int columnCount() const { return m_columns; }
    void setColumnCount(int columns); // 0 or TrackColumnCount
    void setRowCount(int rows);       // new rows hold no items
    // Room for this many rows; with `touch`, its memory is first written on
    // every core before the rows are (a bound that may be far above the
    // rows to come is reserved untouched).
    void reserveRows(int rows, bool touch = true);
    void clear(); // no rows, no columns

    // Item access as the editing tools use it.
    CellKind kind(int row, int column) const;
    bool hasItem(int row, int column) const { return kind(row, column) != CellKind::None; }
    QString text(int row, int column) const;        // edit text, "" when no item
    QString displayText(int row, int column) const; // what the cell shows
    bool isBlank(int row, int column) const;        // shows nothing (or holds no item)
    bool hasBlankCell(int row) const;               // isBlank for any of the four cells
    // Puts text at a cell: a position without an item gets a new formula cell.
    void setText(int row, int column, const QString &text);
    // Sets the text of a plain item, creating one at an empty position.
    void setItemText(int row, int column, const QString &text);
    void removeItem(int row, int column);

    // Every item attribute under its Qt role (display, edit, alignment, tool
    // tip, status tip, what's-this and any other role set on the item).
    QVariant data(int row, int column, int role) const;
    void setData(int row, int column, int role, const QVariant &value);
    std::optional<Rgba> background(int row, int column) const;
    void setBackground(int row, int column, std::optional<Rgba> colour);
    bool isMarked(int row) const; // "Track Name" background is the row mark
    int markedCount() const;      // kept as the rows change: no pass over the table
    // About how much memory the table holds (its rows, their rare
    // attributes, the names), for budgets such as the undo history's.
    qint64 memoryBytes() const;

    // Rows as the import writes them: four plain items with the imported
    // attributes; the coordinate cells remember the imported values and the
    // source format (what's-this).
    void setImportedRow(int row, quint32 nameId, int frame, double x, double y, quint8 sourceId);
    quint32 internName(const QString &name);
    // Room for this many more names, before a fill of as many tracks.
    void reserveNames(qsizetype more);
    // Lets go of every interned name; only for a table without rows (one
    // refilled a piece at a time, whose names would otherwise pile up).
    void dropNames();
    quint8 internSource(const QString &formatFilter);

    // Typed reads of the cell texts (0 and *ok false when a text is not a number).
    QString name(int row) const { return text(row, NameColumn); }
    // The interned name of a plain name cell (-1 for a formula or no item):
    // rows of one track share it, so grouping rows needs no text compares.
    qint64 nameId(int row) const;
    QString nameOfId(quint32 id) const { return m_names.value(qsizetype(id)); }
    int frame(int row, bool *ok = nullptr) const;
    double coordinate(int row, int column, bool *ok = nullptr) const;
    // True when the coordinate cell's text is made from a number: its text
    // is then fixed6(*value), made without building a QString.
    bool numericCoordinate(int row, int column, double *value) const;

    // The conversion's view of a coordinate cell (columns 2 and 3): the
    // row's source value, which Apply converts from. It is the imported
    // value (in full, whatever the tool tip shows) until the user puts a
    // number into the cell: before an Apply that number becomes the source
    // value, after one the number taken back through the Apply's inverse.
    bool hasImportedValue(int row) const;            // tool tip of column 2 not empty
    double importedValue(int row, int column) const; // the source value
    void setShownToSource(ShownToSource inverse) { m_shownToSource = std::move(inverse); }
    const ShownToSource &shownToSource() const { return m_shownToSource; }
    QString sourceFormat(int row) const; // what's-this of column 2
    // The pixels from the plate's top-left corner the last Apply took the
    // row through; false when no Apply converted it.
    bool pixelPoint(int row, double *x, double *y) const;
    // The same as an index of the table's source formats (cheap to compare),
    // or -1 where the cell carries a what's-this text of its own.
    int sourceFormatId(int row) const;
    void takeImportedFromDisplay(int row); // tool tips := display texts
    // Writes the intermediate (status tip) and converted (display) values.
    void setConverted(int row, double pixelX, double pixelY, double x, double y);
    void setFrame(int row, int frame);
    // Both at once, for work split over threads: rows that differ may be
    // stored at the same time; call touched() when all are stored.
    void storeConverted(int row, double pixelX, double pixelY, double x, double y, int frame);
    // The converted values and frame alone, for a table that is written and
    // dropped: the row keeps no imported or pixel values (no tips of them),
    // so no room is made for them.
    void storeShown(int row, double x, double y, int frame);
    void touched() { touch(); }
    // Makes room for the source and pixel values of rows [0, end) apart
    // from their shown ones: call before those rows are stored on several
    // threads.
    void holdPoints(int end = std::numeric_limits<int>::max());

    // Apply worked out beside the table (settings/apply.h, applyBeside):
    // what Apply changes in each row, put in by one exchange with the rows'
    // own on the thread that shows the table. The same exchange again takes
    // the table back, so the exchanged values are the undo record.
    struct ConvertedRow
    {
        double pixel[2];
        double value[2];
        qint32 frame;
        quint8 flags;
    };
    struct ConvertedRows
    {
        std::vector<ConvertedRow, BigAllocator<ConvertedRow>> rows; // one per row
        ShownToSource inverse;
        // Instead of rows, for a table whose every row showsByRule: the
        // rule the rows then show by, their frames moved by frameShift.
        std::shared_ptr<const ShownRule> rule;
        qint64 frameShift = 0;
    };
    // Whether Apply changes no more of row r than a ConvertedRow holds: no
    // rare attributes, and its frame and coordinates are plain items.
    bool convertsInPlace(int r) const;
    // Row r as storeConverted would leave it.
    ConvertedRow convertedRow(int r, double pixelX, double pixelY, double x, double y,
                              int frame) const;
    void exchangeConverted(ConvertedRows &converted);

    // Whether row r shows its imported values as the import left them: no
    // Apply converted it since and none of its cells was edited. Apply then
    // changes nothing in it that restoreImported cannot take back, so undo
    // of that Apply needs no copy of the row.
    bool showsImported(int r) const;
    // Rows [begin, end), converted from rows that showedImported, show their
    // imported values again, their frames shifted back by frameShift. Call
    // touched() when done.
    void restoreImported(int begin, int end, qint64 frameShift);
    // The in-place Apply's way (prepareImportedApply): the table takes the
    // rule while none of its rows shows by one, then each row that
    // showsImported shows by it from the given frame on, holding nothing
    // beside its imported values. An edit of such a row, or its leaving the
    // table in a row block, stores what it shows first.
    void setShownRule(std::shared_ptr<const ShownRule> rule) { m_shownRule = std::move(rule); }
    void showByRule(int row, int frame);
    bool showsByRule(int row) const;

    // For the track operations. A row's plain name cell takes another
    // interned name (from internName).
    void setRowNameId(int row, quint32 nameId);
    // New source values (what Apply converts from) for a row: the imported
    // values and, for a row no Apply converted, the numbers shown. An axis
    // not in `axes` (1: X, 2: Y) keeps its source value to the bit. A
    // converted row goes back to showing its source values, as an import
    // shows them, until the next Apply. Call touched() when done.
    void setSourcePoint(int row, double x, double y, int axes);
    // The values Apply converts a row from: its source values, else the
    // numbers it shows; false when they are not numbers.
    bool sourcePoint(int row, double *x, double *y) const;
    // A note on how a row came to be ("Filled: …"), shown as the status tip
    // of its name cell unless that cell has one of its own. Cheaper than a
    // role: no table of roles is made for it.
    void setRowNote(int row, const QString &note);
    QString rowNote(int row) const;
    // The source formats rows refer to by id (sourceFormatId), 0 for none.
    int sourceFormatCount() const { return int(m_sources.size()); }
    QString sourceFormatOfId(int id) const { return m_sources.value(id); }

    // Whether a formula cell may be in the table (edits then refresh every cell).
    bool hasFormulas() const { return m_mayHoldFormulas; }

    // Row order.
    void insertRows(int position, int count);
    // Inserts one blank row after each row `after[i]` (ascending, repeats
    // allowed; -1 for before the first row), in one pass over the rows: the
    // i-th new row stands at after[i] + i + 1.
    void insertRowsAfter(const std::vector<int> &after);
    void removeRows(int position, int count);
    // Reorders the rows: new row i is old row order[i]; order is a permutation.
    void permuteRows(const std::vector<int> &order);

    // Whole rows with every attribute, for undo. `rows` are row indexes in
    // ascending order without repeats.
    RowBlock copyRows(const std::vector<int> &rows) const;
    // Exchanges the rows at `rows` with the block's rows (same count).
    void swapRows(const std::vector<int> &rows, RowBlock &block);
    // Removes the rows in one pass and returns them.
    RowBlock takeRows(const std::vector<int> &rows);
    // Puts the block's rows back so that they stand at `rows` (indexes in the
    // grown table); the other rows keep their order around them.
    void putRows(const std::vector<int> &rows, RowBlock &&block);
    // A deep copy: the rows, the names and formats they refer to, the inverse;
    // with room for `moreRows` rows after them (an addition to the copy then
    // never moves its rows).
    TrackTable clone(int moreRows = 0) const;

    // Bytes held by the rows, for the benchmark.
    size_t memoryUse() const;

    struct Row;
    struct RowPoints;
    struct ExtraStore;

private:
    friend class RowBlock;
    struct CellExtra;
    struct RowExtra;

    static Row copyOf(const Row &row, const ExtraStore *from, ExtraStore &to);
    ExtraStore &store();
    RowExtra *extraOfRow(const Row &row) const;
    void releaseExtras(size_t first, size_t end); // of rows first..end-1
    void noteFormulas(const Row &row);
    bool placesEveryRow(const std::vector<int> &rows, const RowBlock &block) const;
    std::vector<int> placesOf(const std::vector<int> &rows, const RowBlock &block) const;
    void putRowsInPlace(const std::vector<int> &rows, RowBlock &&block);
    void showIncomingByRule(RowBlock &block) const;
    void releaseSpareRoom();

    Row &row(int r);
    const Row &row(int r) const;
    RowPoints &pointsFor(int r); // kept apart from here on
    RowPoints pointsOf(int r) const;
    // Row r's shown values and points stored as its rule makes them, and
    // the rule let go of; nothing for a row that stores its own.
    void settle(int r);
    void shownByRule(const Row &row, double shown[2], RowPoints *points) const;
    Row settledCopy(const Row &row, RowPoints &points) const;
    double shownValue(const Row &row, int column) const;
    const RowPoints *keptPoints(size_t r) const;
    RowPoints *keptPointsFor(int r); // null: the row's points are its values
    void spreadPoints();             // every row's points kept, when any are
    CellExtra &extra(int r, int column);
    const CellExtra *extraOf(int r, int column) const;
    QString canonicalText(const Row &row, int column) const;
    QVariant formulaResult(int r, int column) const;
    QVariant referenceValue(int r, int column) const;
    static void setKind(Row &row, int column, CellKind kind);
    void storeValues(Row &row, RowPoints &points, double pixelX, double pixelY, double x,
                     double y) const;
    void storeFrame(Row &row, int frame) const;
    void takeSourceFromEdit(int r, int column, double shown);
    void touch() { ++m_generation; }
    static bool marks(const Row &row);
    int marksIn(size_t first, size_t end) const; // of rows first..end-1

    // Left at zero by a move, as the rows it counts are.
    struct MarkCount
    {
        int rows = 0;
        MarkCount() = default;
        MarkCount(MarkCount &&other) noexcept : rows(std::exchange(other.rows, 0)) {}
        MarkCount &operator=(MarkCount &&other) noexcept
        {
            rows = std::exchange(other.rows, 0);
            return *this;
        }
    };

    BigVector<Row> m_rows;
    BigVector<RowPoints> m_points; // of the first rows (see RowPoints)
    int m_columns = 0;
    NameTexts m_names;
    NameIndex m_nameIds;
    QStringList m_sources{QString()};
    QHash<QString, quint8> m_sourceIds;
    std::unique_ptr<ExtraStore> m_extras; // of the rows' rare attributes
    quint64 m_generation = 1;             // formula results older than this are recomputed
    bool m_mayHoldFormulas = false;
    MarkCount m_marked;                           // rows that marks() holds for
    ShownToSource m_shownToSource;                // set by Apply
    std::shared_ptr<const ShownRule> m_shownRule; // of the rows that show by one
    mutable int m_formulaDepth = 0;               // formulas being evaluated, one inside another
};

// Rows held outside their table (see TrackTable::copyRows). They refer to
// the names and formats of the table they came from and go back into it.
class RowBlock
{
public:
    RowBlock();
    ~RowBlock();
    RowBlock(RowBlock &&) noexcept;
    RowBlock &operator=(RowBlock &&) noexcept;

    // Rows that hold no items.
    static RowBlock blank(int count);

    int size() const;
    qint64 memoryBytes() const; // about how much memory the rows hold
    // Moves the first `count` rows into a block of their own.
    RowBlock takeFront(int count);
    void append(RowBlock &&other);

private:
    friend class TrackTable;
    TrackTable::ExtraStore &store();
    std::vector<TrackTable::Row> m_rows;
    std::vector<TrackTable::RowPoints> m_points;      // of the first rows, as the table's
    std::unique_ptr<TrackTable::ExtraStore> m_extras; // of these rows
};

} // namespace corvane
