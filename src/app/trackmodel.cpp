#include "trackmodel.h"

#include <QBrush>
#include <QColor>

using namespace corvane;

TrackModel::TrackModel(QObject *parent) : QAbstractTableModel(parent) {}

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
    if (role == Qt::BackgroundRole) {
        QColor c =
            value.canConvert<QBrush>() ? value.value<QBrush>().color() : value.value<QColor>();
        if (value.isValid())
            m_table.setBackground(
                index.row(), index.column(),
                Rgba{quint8(c.red()), quint8(c.green()), quint8(c.blue()), quint8(c.alpha())});
        else
            m_table.setBackground(index.row(), index.column(), std::nullopt);
    } else {
        m_table.setData(index.row(), index.column(), role, value);
    }
    emit dataChanged(index, index);
    // A formula elsewhere may refer to this cell.
    if (m_table.hasFormulas()) cellsChanged();
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
    std::vector<int> newRow(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRow[size_t(order[i])] = int(i);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &i : from)
        to.append(size_t(i.row()) < newRow.size() ? index(newRow[size_t(i.row())], i.column()) : i);
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    cellsChanged();
}
