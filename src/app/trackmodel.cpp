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
    // A formula elsewhere may refer to this cell.
    emit dataChanged(this->index(0, 0), this->index(rowCount() - 1, columnCount() - 1));
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

void TrackModel::refresh()
{
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}
