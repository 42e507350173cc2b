// SPDX-License-Identifier: Apache-2.0
// The track view beside the main window: opened from View > Track View or
// the button beside the table; table and view show the same selection.
#include "mainwindow.h"

#include "edit/selection.h"
#include "settings/platesettings.h"
#include "trackmodel.h"
#include "trackview.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>

using namespace corvane;

void MainWindow::on_actionTrackView_triggered()
{
    if (!m_trackView) {
        m_trackView = new TrackViewWindow(m_model, this);
        connect(m_trackView, &TrackViewWindow::tracksPicked, this, &MainWindow::selectRows);
        // Beside the main window, as far as the screen allows.
        QRect place(frameGeometry().topRight() + QPoint(8, 0), m_trackView->size());
        if (const QScreen *screen = this->screen()) {
            const QRect room = screen->availableGeometry();
            if (place.right() > room.right()) place.moveRight(room.right());
        }
        m_trackView->move(place.topLeft());
    }
    showPlateInTrackView();
    m_trackView->show();
    m_trackView->raise();
    showSelectionInTrackView();
}

void MainWindow::showPlateInTrackView()
{
    if (!m_trackView) return;
    m_trackView->setPlate(QSizeF(plateResWidth->text().toInt(), plateResHight->text().toInt()));
}

void MainWindow::showSelectionInTrackView()
{
    if (!m_trackView || !m_trackView->isVisible()) return;
    m_trackView->showSelectedRows(selectedRows(tableSelection(), m_model->rowCount()));
}

void MainWindow::selectRows(const std::vector<int> &rows, bool add)
{
    if (rows.empty()) return;
    std::vector<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    selectCells(sorted, 0, m_model->columnCount() - 1,
                add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect);
    QItemSelectionModel *model = tableDataWidget->selectionModel();
    model->setCurrentIndex(m_model->index(sorted.front(), 0), QItemSelectionModel::NoUpdate);
    tableDataWidget->scrollTo(m_model->index(sorted.front(), 0), QAbstractItemView::PositionAtTop);
}
