// SPDX-License-Identifier: Apache-2.0
#include "trackviewstep.h"

#include "platepanel.h"
#include "trackmodel.h"
#include "trackview.h"

#include "settings/conversion.h"
#include "settings/platesettings.h"
#include "table/numbers.h"

#include <QScreen>
#include <QSettings>

#include <memory>
#include <optional>

using namespace corvane;

TrackViewStep::TrackViewStep(QWidget *window, TrackModel *model, const PlatePanel *plate,
                             ProgressRunner *runner)
    : QObject(window), m_window(window), m_model(model), m_plate(plate), m_runner(runner)
{
}

void TrackViewStep::toggle()
{
    if (m_view && m_view->isVisible()) {
        m_view->hide();
        return;
    }
    if (!m_view) {
        m_view = new TrackViewWindow(m_model, m_window, m_runner);
        connect(m_view, &TrackViewWindow::tracksPicked, this, &TrackViewStep::rowsPicked);
        m_view->setPlacement([this](PathValues values) { return placement(values); });
        place();
    }
    const PlateSettings settings = m_plate->settings();
    showPlate(QSizeF(settings.plateWidth.toInt(), settings.plateHeight.toInt()));
    m_view->show();
    m_view->raise();
    emit opened();
}

bool TrackViewStep::isShown() const
{
    return m_view && m_view->isVisible();
}

void TrackViewStep::redraw()
{
    if (isShown()) m_view->rebuildNow();
}

QRect trackViewPlace(const QRect &room, const QRect &window, const QRect &table,
                     const QList<QRect> &keepInSight, QSize view)
{
    constexpr int gap = 8;
    const QRect right(QPoint(window.right() + 1 + gap, window.top()), view);
    const QRect left(QPoint(window.left() - gap - view.width(), window.top()), view);
    for (QRect beside : {right, left}) {
        if (room.isNull()) return beside;
        if (beside.left() < room.left() || beside.right() > room.right()) continue;
        if (beside.bottom() > room.bottom()) beside.moveBottom(room.bottom());
        if (beside.top() < room.top()) beside.moveTop(room.top());
        return beside;
    }
    // Over the table: its bottom right on the table's, within the screen,
    // and no lower or further right than what must stay in sight begins.
    QRect over(QPoint(), view);
    over.moveBottomRight(table.bottomRight());
    if (!room.isNull()) {
        if (over.left() < room.left()) over.moveLeft(room.left());
        if (over.top() < room.top()) over.moveTop(room.top());
        over &= room;
    }
    for (const QRect &clear : keepInSight) {
        if (!over.intersects(clear)) continue;
        // Shrink from below when the clear part lies under the view's top, else from the right.
        if (clear.top() > over.top())
            over.setBottom(clear.top() - 1);
        else
            over.setRight(clear.left() - 1);
    }
    return over;
}

// Where it was last, else where trackViewPlace puts it.
void TrackViewStep::place()
{
    const QRect room = m_window->screen() ? m_window->screen()->availableGeometry() : QRect();
    const QRect last = QSettings().value(QStringLiteral("trackView/geometry")).toRect();
    if (last.isValid() && (room.isNull() || room.intersects(last))) {
        m_view->setGeometry(last);
        return;
    }
    auto onScreen = [](const QWidget *w) { return QRect(w->mapToGlobal(QPoint()), w->size()); };
    QList<QRect> keep;
    for (const QWidget *w : std::as_const(m_keepInSight))
        keep << onScreen(w);
    const QRect table = m_tableWidget ? onScreen(m_tableWidget) : m_window->frameGeometry();
    const QRect place =
        trackViewPlace(room, m_window->frameGeometry(), table, keep, m_view->size());
    if (place.size() != m_view->size())
        m_view->resize(place.size().expandedTo(m_view->minimumSize()));
    m_view->move(place.topLeft());
}

// Every row on the plate in its pixels: imported values through their
// source's convention, converted ones at the pixels their Apply took them
// through; frames in the numbering of the values shown.
PathPlacement TrackViewStep::placement(PathValues values) const
{
    const PlateSettings settings = m_plate->settings();
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

void TrackViewStep::showPlate(QSizeF plate)
{
    if (m_view) m_view->setPlate(plate);
}

void TrackViewStep::showSelection(const std::vector<int> &rows)
{
    if (isShown()) m_view->showSelectedRows(rows);
}
