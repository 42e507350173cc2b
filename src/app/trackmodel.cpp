// SPDX-License-Identifier: Apache-2.0
#include "trackmodel.h"

#include "editcommand.h"

#include <QBrush>
#include <QColor>
#include <QUndoStack>

#include <vector>

using namespace corvane;

namespace {

// Runs of neighbouring rows, as (first, last) pairs.
std::vector<std::pair<int, int>> runsOf(const std::vector<int> &rows)
{
    std::vector<std::pair<int, int>> runs;
    for (int r : rows) {
        if (!runs.empty() && runs.back().second + 1 == r)
            runs.back().second = r;
        else
            runs.emplace_back(r, r);
    }
    return runs;
}

// More runs than this and the view is told to start over: row by row
// notices cost the view more than reading the table afresh.
constexpr size_t maxRunNotices = 64;

} // namespace

TrackModel::TrackModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_undo = new QUndoStack(this);
    m_undo->setUndoLimit(100); // edits of every row keep a copy of the table
}

void TrackModel::done(const QString &text, EditPtr edit, std::function<void(bool undone)> follow)
{
    if (!edit) return;
    m_undo->push(new EditCommand(text, std::move(edit), this, std::move(follow)));
    keepHistoryWithinBudget();
}

// Right after a push no step waits for redo: the newest steps that fit the
// budget (the last one always) are carried into a stack built anew, and
// the clean state with them when it was among them.
void TrackModel::keepHistoryWithinBudget()
{
    const int count = m_undo->count();
    qint64 total = 0;
    int keep = 0;
    for (int i = count - 1; i >= 0; --i) {
        total += static_cast<const EditCommand *>(m_undo->command(i))->memoryBytes();
        if (keep > 0 && total > m_historyBudget) break;
        ++keep;
    }
    if (keep == count || m_undo->index() != count) return;
    const int drop = count - keep;
    const int clean = m_undo->cleanIndex();
    std::vector<EditCommand *> kept;
    for (int i = drop; i < count; ++i)
        // The stack hands its commands out const; these are ours and move on.
        kept.push_back(
            const_cast<EditCommand *>(static_cast<const EditCommand *>(m_undo->command(i)))
                ->carriedOver());
    m_undo->clear();
    if (clean != drop) m_undo->resetClean();
    for (size_t k = 0; k < kept.size(); ++k) {
        m_undo->push(kept[k]);
        if (clean == drop + int(k) + 1) m_undo->setClean();
    }
    m_droppedSteps += drop;
    emit historyTrimmed(m_droppedSteps);
}

RowBlock TrackModel::takeRows(const std::vector<int> &rows)
{
    const auto runs = runsOf(rows);
    if (runs.size() > maxRunNotices) {
        beginResetModel();
        RowBlock block = m_table.takeRows(rows);
        endResetModel();
        return block;
    }
    std::vector<RowBlock> parts;
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        beginRemoveRows(QModelIndex(), it->first, it->second);
        parts.push_back(m_table.takeRows(rowRange(it->first, it->second)));
        endRemoveRows();
    }
    RowBlock block;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it)
        block.append(std::move(*it));
    return block;
}

void TrackModel::putRows(const std::vector<int> &rows, RowBlock &&block)
{
    const auto runs = runsOf(rows);
    if (runs.size() > maxRunNotices) {
        beginResetModel();
        m_table.putRows(rows, std::move(block));
        endResetModel();
        return;
    }
    for (const auto &[first, last] : runs) {
        beginInsertRows(QModelIndex(), first, last);
        m_table.putRows(rowRange(first, last), block.takeFront(last - first + 1));
        endInsertRows();
    }
}

void TrackModel::reorderRows(const std::vector<int> &order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_table.permuteRows(order);
    remapPersistent(order);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    cellsChanged();
}

void TrackModel::swapTable(TrackTable &other, const std::vector<int> &order)
{
    emit tableSwapped();
    const bool sameShape =
        other.rowCount() == m_table.rowCount() && other.columnCount() == m_table.columnCount();
    if (!sameShape) {
        beginResetModel();
        std::swap(m_table, other);
        endResetModel();
        return;
    }
    if (!order.empty()) emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::swap(m_table, other);
    if (!order.empty()) {
        remapPersistent(order);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    cellsChanged();
}

void TrackModel::changeEveryRow(const std::function<void(TrackTable &)> &change)
{
    emit tableSwapped();
    change(m_table);
    cellsChanged();
}

void TrackModel::rowsChanged(const std::vector<int> &rows)
{
    if (rows.empty()) return;
    // A formula elsewhere may refer to a changed cell.
    if (m_table.hasFormulas()) return cellsChanged();
    const auto runs = runsOf(rows);
    if (runs.size() > maxRunNotices) return cellsChanged(rows.front(), rows.back());
    for (const auto &[first, last] : runs)
        cellsChanged(first, last);
}

int TrackModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.rowCount();
}

int TrackModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.columnCount();
}

QVariant TrackModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return QVariant();
    if (role == Qt::BackgroundRole) {
        auto colour = m_table.background(index.row(), index.column());
        if (!colour) return QVariant();
        return QBrush(QColor(colour->r, colour->g, colour->b, colour->a));
    }
    return m_table.data(index.row(), index.column(), role);
}

bool TrackModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid()) return false;
    const int r = index.row(), c = index.column();
    auto set = [&](TrackTable &table) {
        if (role != Qt::BackgroundRole) return table.setData(r, c, role, value);
        QColor colour =
            value.canConvert<QBrush>() ? value.value<QBrush>().color() : value.value<QColor>();
        if (!value.isValid()) return table.setBackground(r, c, std::nullopt);
        table.setBackground(r, c,
                            Rgba{quint8(colour.red()), quint8(colour.green()),
                                 quint8(colour.blue()), quint8(colour.alpha())});
    };
    done(QStringLiteral("Edit Cell"), changeRows(*this, {r}, set));
    return true;
}

QVariant TrackModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const QStringList &labels = TrackTable::headerLabels();
        if (section >= 0 && section < m_table.columnCount()) return labels.value(section);
        return QVariant();
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TrackModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

void TrackModel::cellsChanged(int first, int last)
{
    if (last < 0) last = rowCount() - 1;
    if (first <= last && columnCount() > 0)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
}

void TrackModel::rowsReordered(const std::vector<int> &order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    remapPersistent(order);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    cellsChanged();
}

void TrackModel::remapPersistent(const std::vector<int> &order)
{
    std::vector<int> newRow(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRow[size_t(order[i])] = int(i);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &i : from)
        to.append(size_t(i.row()) < newRow.size() ? index(newRow[size_t(i.row())], i.column()) : i);
    changePersistentIndexList(from, to);
}
