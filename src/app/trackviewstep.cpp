// SPDX-License-Identifier: Apache-2.0
// The track view beside the main window: opened from View > Track View or
// the button beside the table; table and view show the same selection.
#include "mainwindow.h"

#include "edit/selection.h"
#include "settings/conversion.h"
#include "settings/platesettings.h"
#include "table/numbers.h"
#include "trackmodel.h"
#include "trackview.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QTableView>

#include <memory>
#include <optional>

using namespace corvane;

void MainWindow::on_actionTrackView_triggered()
{
    if (m_trackView && m_trackView->isVisible()) {
        m_trackView->hide(); // F3, the menu and the button show and hide it
        return;
    }
    if (!m_trackView) {
        m_trackView = new TrackViewWindow(m_model, this);
        connect(m_trackView, &TrackViewWindow::tracksPicked, this, &MainWindow::selectRows);
        m_trackView->setPlacement([this](PathValues values) { return trackViewPlacement(values); });
        // The placement follows the aspect ratio and the conventions too.
        auto redraw = [this] {
            if (m_trackView->isVisible()) m_trackView->rebuildNow();
        };
        connect(par, &QLineEdit::textChanged, m_trackView, redraw);
        connect(programConventionsCheck, &QCheckBox::toggled, m_trackView, redraw);
        placeTrackView();
    }
    showPlateInTrackView();
    m_trackView->show();
    m_trackView->raise();
    showSelectionInTrackView();
}

// Where it was last, else beside the main window: to its right, else to
// its left, where the screen has room; never on top of it if it fits.
void MainWindow::placeTrackView()
{
    const QRect room = screen() ? screen()->availableGeometry() : QRect();
    const QRect last = QSettings().value(QStringLiteral("trackView/geometry")).toRect();
    if (last.isValid() && (room.isNull() || room.intersects(last))) {
        m_trackView->setGeometry(last);
        return;
    }
    const QRect main = frameGeometry();
    QRect place(main.topRight() + QPoint(8, 0), m_trackView->size());
    if (!room.isNull() && place.right() > room.right()) {
        const QRect left(QPoint(main.left() - 8 - place.width(), main.top()), place.size());
        if (left.left() >= room.left())
            place = left;
        else
            place.moveRight(room.right());
    }
    if (!room.isNull() && place.bottom() > room.bottom()) place.moveBottom(room.bottom());
    m_trackView->move(place.topLeft());
}

// Every row on the plate in its pixels: imported values through their
// source's convention, converted ones at the pixels their Apply took them
// through; frames in the numbering of the values shown.
PathPlacement MainWindow::trackViewPlacement(PathValues values) const
{
    const PlateSettings settings = plateSettings();
    Plate plate{toInt(settings.plateWidth), toInt(settings.plateHeight)};
    if (plate.width <= 0 || plate.height <= 0) plate = {1, 1}; // shapes right, sizes relative
    const double aspect = toDouble(settings.pixelAspect) > 0 ? toDouble(settings.pixelAspect) : 1;
    const bool program = settings.programConventions;
    const TrackTable *table = &m_model->table();
    auto conventions = std::make_shared<std::vector<std::optional<SourceConvention>>>();
    PathPlacement placement;
    placement.place = [=](int row, QPointF value) {
        double x = 0, y = 0;
        if (values == PathValues::Converted && table->pixelPoint(row, &x, &y)) return QPointF(x, y);
        const int id = table->sourceFormatId(row);
        // Looked up once per source format (rows with their own carry no id).
        SourceConvention convention;
        if (id >= 0) {
            if (size_t(id) >= conventions->size()) conventions->resize(size_t(id) + 1);
            std::optional<SourceConvention> &known = (*conventions)[size_t(id)];
            if (!known) known = sourceConventionOf(table->sourceFormat(row), program);
            convention = *known;
        } else {
            convention = sourceConventionOf(table->sourceFormat(row), program);
        }
        const Point p = sourceToPixels(convention, {value.x() * aspect, value.y()}, plate);
        return QPointF(p.x, p.y);
    };
    if (values == PathValues::Imported && !settings.exportFirstTip.isEmpty() &&
        !settings.importFirst.isEmpty())
        placement.frameShift = toInt(settings.exportFirstTip) - toInt(settings.importFirst);
    return placement;
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
