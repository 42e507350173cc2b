// The view's window on the track table: serves every cell attribute under
// the Qt role a table item would carry it in.
#pragma once

#include "table/tracktable.h"

#include <QAbstractTableModel>

class TrackModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TrackModel(QObject *parent = nullptr);

    corvane::TrackTable &table() { return m_table; }
    const corvane::TrackTable &table() const { return m_table; }

    // Runs a change of the whole table (import, Apply, sort, reset) as one
    // model reset, so the view re-reads only what it shows.
    template <typename F> void change(F &&f)
    {
        beginResetModel();
        f(m_table);
        endResetModel();
    }

    // Tells the view that cells changed in place (row count unchanged).
    void refresh();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    corvane::TrackTable m_table;
};
