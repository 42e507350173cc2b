// SPDX-License-Identifier: Apache-2.0
// The track table's view beside the steps: the table, the row buttons, the
// track view's button and how many rows are marked for the save. It says
// what is selected and selects what it is told.
#pragma once

#include "edit/selection.h"

#include <QItemSelectionModel>
#include <QObject>

#include <vector>

class QHelpEvent;
class QLabel;
class QPushButton;
class QTableView;
class TrackModel;

class TablePanel : public QObject
{
    Q_OBJECT
public:
    TablePanel(QWidget *parent, TrackModel *model);

    QTableView *view() const { return m_view; }
    QPushButton *rowFirst() const { return m_rowFirst; }
    QPushButton *rowUp() const { return m_rowUp; }
    QPushButton *rowDown() const { return m_rowDown; }
    QPushButton *rowLast() const { return m_rowLast; }
    QPushButton *rowGoTo() const { return m_rowGoTo; }
    QPushButton *trackViewButton() const { return m_trackViewButton; }

    corvane::CellSelection selection() const;
    corvane::CellRange firstSelectedRange() const;
    // The cell the selection reports last: the bottom right of its last range.
    QModelIndex lastSelectedCell() const;
    // Rows with a selected cell.
    std::vector<int> selectedRows() const;
    void selectCells(const std::vector<int> &rows, int firstColumn, int lastColumn,
                     QItemSelectionModel::SelectionFlags how);
    // Whole rows, the first of them current and at the top.
    void selectRows(const std::vector<int> &rows, bool add);

    // After a fill gave the table its columns.
    void fitColumns();
    void fitRowNumbers();
    // The Frame column widens to the widest frame in sight (frame 10000 is
    // never shown as "100…").
    void fitFrameColumn();
    void showMarkedCount();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWidgets(QWidget *parent);
    // The tool tip of a cell whose text the column cuts off: the whole text.
    bool showWholeCellText(QHelpEvent *event);

    TrackModel *m_model;
    QTableView *m_view = nullptr;
    QPushButton *m_rowFirst = nullptr, *m_rowUp = nullptr, *m_rowDown = nullptr,
                *m_rowLast = nullptr, *m_rowGoTo = nullptr, *m_trackViewButton = nullptr;
    QLabel *m_markedCount = nullptr;
};
