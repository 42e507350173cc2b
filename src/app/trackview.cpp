// SPDX-License-Identifier: Apache-2.0
#include "trackview.h"

#include "counting.h"
#include "progressrunner.h"
#include "table/tracknames.h"
#include "trackmodel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <cmath>

using namespace corvane;

namespace {

QColor trackColour(int track)
{
    return QColor::fromHsv((track * 137) % 360, 150, 235);
}

QPen cosmetic(const QColor &colour, double width)
{
    QPen pen(colour, width);
    pen.setCosmetic(true);
    return pen;
}

constexpr int pickRadius = 6; // pixels

} // namespace

TrackCanvas::TrackCanvas(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("trackCanvas"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
}

void TrackCanvas::setFrame(int frame)
{
    m_frame = frame;
    update();
}

void TrackCanvas::setSelectedTracks(std::vector<char> selected)
{
    m_selected = std::move(selected);
    update();
}

QRectF TrackCanvas::frameRect() const
{
    QRectF rect =
        m_plate.width() > 0 && m_plate.height() > 0 ? QRectF(QPointF(0, 0), m_plate) : QRectF();
    if (m_paths && !m_paths->isEmpty())
        rect = rect.isNull() ? m_paths->bounds() : rect.united(m_paths->bounds());
    if (rect.width() <= 0) rect.adjust(-1, 0, 1, 0);
    if (rect.height() <= 0) rect.adjust(0, -1, 0, 1);
    return rect;
}

void TrackCanvas::fit()
{
    const QRectF rect = frameRect();
    m_scale = std::min(width() / (rect.width() * 1.1), height() / (rect.height() * 1.1));
    m_centre = rect.center();
    m_fitted = true;
    update();
}

QTransform TrackCanvas::toWidget() const
{
    return QTransform()
        .translate(width() / 2.0, height() / 2.0)
        .scale(m_scale, m_yDown ? m_scale : -m_scale)
        .translate(-m_centre.x(), -m_centre.y());
}

void TrackCanvas::paintInto(QImage &image)
{
    const QSize old = size();
    resize(image.size());
    if (!m_fitted || old != image.size()) fit();
    QPainter painter(&image);
    paint(painter, image.size());
}

void TrackCanvas::paintEvent(QPaintEvent *)
{
    if (!m_fitted) fit();
    QPainter painter(this);
    paint(painter, size());
}

void TrackCanvas::paint(QPainter &painter, QSize size)
{
    painter.fillRect(QRect(QPoint(), size), QColor(34, 34, 34));
    const QTransform transform = toWidget();
    if (m_plate.width() > 0 && m_plate.height() > 0) {
        const QRectF plate = transform.mapRect(QRectF(QPointF(0, 0), m_plate));
        painter.fillRect(plate, QColor(52, 52, 52));
        painter.setPen(cosmetic(QColor(140, 140, 140), 1));
        painter.drawRect(plate);
    }
    if (!m_paths) return;
    const std::vector<TrackPath> &tracks = m_paths->tracks();
    auto selected = [&](size_t t) { return t < m_selected.size() && m_selected[t]; };

    // Paths over all frames (shape vertices show as outlines instead).
    painter.setTransform(transform);
    for (size_t t = 0; t < tracks.size(); ++t) {
        if (tracks[t].shape >= 0 || selected(t)) continue;
        painter.setPen(cosmetic(trackColour(int(t)), 1));
        painter.drawPolyline(tracks[t].points.data(), int(tracks[t].points.size()));
    }
    for (size_t t = 0; t < tracks.size(); ++t) {
        if (tracks[t].shape >= 0 || !selected(t)) continue;
        painter.setPen(cosmetic(Qt::white, 2));
        painter.drawPolyline(tracks[t].points.data(), int(tracks[t].points.size()));
    }
    painter.resetTransform();

    // Shapes at the current frame: their vertices in order, closed unless
    // the shape is open (a stroke: no edge back to the first vertex);
    // between keys on the straight line from key to key, drawn dashed (a
    // key frame is drawn solid, with its vertices' dots).
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (size_t s = 0; s < m_paths->shapes().size(); ++s) {
        QPolygonF outline;
        bool anySelected = false, allKeys = true, open = false;
        for (int v : m_paths->shapes()[s].vertices) {
            QPointF p;
            bool key = false;
            if (m_paths->pointAtOrBetween(v, m_frame, &p, &key)) outline << transform.map(p);
            allKeys = allKeys && key;
            anySelected = anySelected || selected(size_t(v));
            open = open || isOpenShapeTrack(tracks[size_t(v)].name);
        }
        QPen pen = cosmetic(anySelected ? Qt::white : trackColour(int(s)), anySelected ? 2 : 1.2);
        if (!allKeys) pen.setStyle(Qt::DashLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        if (open)
            painter.drawPolyline(outline);
        else
            painter.drawPolygon(outline);
    }
    // The current frame's points.
    for (size_t t = 0; t < tracks.size(); ++t) {
        QPointF p;
        if (!m_paths->pointAt(int(t), m_frame, &p)) continue;
        const QColor colour = selected(t) ? QColor(Qt::white) : trackColour(int(t));
        painter.setPen(cosmetic(Qt::black, 1));
        painter.setBrush(colour);
        painter.drawEllipse(transform.map(p), 3.0, 3.0);
    }
}

int TrackCanvas::trackUnder(QPoint pos, bool pathsToo) const
{
    if (!m_paths || m_scale <= 0) return -1;
    const QPointF data = toWidget().inverted().map(QPointF(pos));
    return m_paths->trackNear(data, m_frame, pickRadius / m_scale, pathsToo);
}

void TrackCanvas::wheelEvent(QWheelEvent *event)
{
    // Zoom about the point under the mouse.
    const QPointF pos = event->position();
    const QPointF before = toWidget().inverted().map(pos);
    m_scale *= std::pow(1.25, event->angleDelta().y() / 120.0);
    m_scale = std::clamp(m_scale, 1e-9, 1e9);
    const QPointF after = toWidget().inverted().map(pos);
    m_centre += before - after;
    update();
}

void TrackCanvas::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = m_lastPos = event->position().toPoint();
    m_dragging = false;
}

void TrackCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->buttons() & (Qt::LeftButton | Qt::MiddleButton)) {
        if ((pos - m_pressPos).manhattanLength() > 3) m_dragging = true;
        if (m_dragging) {
            const QPoint step = pos - m_lastPos;
            m_centre -= QPointF(step.x() / m_scale, (m_yDown ? step.y() : -step.y()) / m_scale);
            update();
        }
    }
    m_lastPos = pos;
    emit pointerAt(toWidget().inverted().map(QPointF(pos)));
    const int track = trackUnder(pos, false);
    if (track >= 0)
        QToolTip::showText(event->globalPosition().toPoint(), m_paths->tracks()[size_t(track)].name,
                           this);
    else
        QToolTip::hideText();
}

void TrackCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging && event->button() == Qt::LeftButton) {
        const int track = trackUnder(event->position().toPoint(), true);
        if (track >= 0) emit trackClicked(track, event->modifiers() & Qt::ControlModifier);
    }
    m_dragging = false;
}

void TrackCanvas::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_F:
        fit();
        break;
    case Qt::Key_Left:
        emit stepRequested(-1);
        break;
    case Qt::Key_Right:
        emit stepRequested(1);
        break;
    case Qt::Key_Space:
        emit playRequested();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TrackCanvas::resizeEvent(QResizeEvent *)
{
    if (!m_fitted) return;
    update();
}

TrackViewWindow::TrackViewWindow(TrackModel *model, QWidget *parent, ProgressRunner *runner)
    : QWidget(parent, Qt::Tool), m_model(model), m_runner(runner)
{
    setObjectName(QStringLiteral("trackView"));
    setWindowTitle(QStringLiteral("Track View"));
    resize(720, 520);
    m_canvas = new TrackCanvas(this);
    m_play = new QPushButton(QStringLiteral("Play"), this);
    m_play->setObjectName(QStringLiteral("trackViewPlay"));
    auto *back = new QPushButton(QStringLiteral("<"), this);
    auto *forward = new QPushButton(QStringLiteral(">"), this);
    for (QPushButton *b : {back, forward})
        b->setFixedWidth(28);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("trackViewFrame"));
    m_frameLabel = new QLabel(this);
    m_frameLabel->setMinimumWidth(90);
    m_valuesCombo = new QComboBox(this);
    m_valuesCombo->setObjectName(QStringLiteral("trackViewValues"));
    m_valuesCombo->addItems(
        {QStringLiteral("Converted (after Apply)"), QStringLiteral("Imported (before Apply)")});
    auto *fitButton = new QPushButton(QStringLiteral("Fit"), this);
    fitButton->setToolTip(QStringLiteral("Fit the plate into the view (F)"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("trackViewStatus"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_play);
    controls->addWidget(back);
    controls->addWidget(m_slider, 1);
    controls->addWidget(forward);
    controls->addWidget(m_frameLabel);
    controls->addWidget(m_valuesCombo);
    controls->addWidget(fitButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_canvas, 1);
    layout->addLayout(controls);
    layout->addWidget(m_status);

    // F3 shows and hides the view from either window.
    auto *close = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(close, &QShortcut::activated, this, &QWidget::hide);

    m_rebuild = new QTimer(this);
    m_rebuild->setSingleShot(true);
    m_rebuild->setInterval(30); // a burst of changes rebuilds once
    m_player = new QTimer(this);
    m_player->setInterval(1000 / 24);

    connect(m_rebuild, &QTimer::timeout, this, &TrackViewWindow::rebuildNow);
    connect(m_player, &QTimer::timeout, this, [this] {
        setFrame(m_canvas->frame() < m_paths.lastFrame() ? m_canvas->frame() + 1
                                                         : m_paths.firstFrame());
    });
    connect(m_play, &QPushButton::clicked, this, &TrackViewWindow::togglePlay);
    connect(back, &QPushButton::clicked, this, [this] { setFrame(m_canvas->frame() - 1); });
    connect(forward, &QPushButton::clicked, this, [this] { setFrame(m_canvas->frame() + 1); });
    connect(m_slider, &QSlider::valueChanged, this, &TrackViewWindow::setFrame);
    connect(m_canvas, &TrackCanvas::stepRequested, this,
            [this](int step) { setFrame(m_canvas->frame() + step); });
    connect(m_canvas, &TrackCanvas::playRequested, this, &TrackViewWindow::togglePlay);
    connect(m_canvas, &TrackCanvas::pointerAt, this, &TrackViewWindow::showPointer);
    connect(fitButton, &QPushButton::clicked, m_canvas, &TrackCanvas::fit);
    connect(m_valuesCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        setValues(index == 1 ? PathValues::Imported : PathValues::Converted);
    });
    connect(m_canvas, &TrackCanvas::trackClicked, this, [this](int track, bool add) {
        if (track < 0 || size_t(track) >= m_paths.tracks().size()) return;
        emit tracksPicked(m_paths.tracks()[size_t(track)].rows, add);
    });
    connect(model, &QAbstractItemModel::modelReset, this, &TrackViewWindow::tableChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &TrackViewWindow::tableChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, &TrackViewWindow::tableChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &TrackViewWindow::tableChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TrackViewWindow::tableChanged);
}

void TrackViewWindow::tableChanged()
{
    m_dirty = true;
    if (isVisible()) m_rebuild->start();
}

void TrackViewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_dirty) rebuildNow();
}

void TrackViewWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_player->stop();
    m_play->setText(QStringLiteral("Play"));
    QSettings().setValue(QStringLiteral("trackView/geometry"), geometry());
}

void TrackViewWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (isVisible()) QSettings().setValue(QStringLiteral("trackView/geometry"), geometry());
}

void TrackViewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (isVisible()) QSettings().setValue(QStringLiteral("trackView/geometry"), geometry());
}

void TrackViewWindow::rebuildNow()
{
    if (!m_model) return;
    // Other work under way may hold the table half changed (Apply's slices):
    // the view is drawn once it is done.
    if (m_runner && m_runner->running()) {
        m_dirty = true;
        m_rebuild->start();
        return;
    }
    const bool first = m_paths.isEmpty();
    m_paths = buildPaths();
    m_dirty = false;
    {
        QSignalBlocker block(m_slider);
        m_slider->setRange(m_paths.firstFrame(), m_paths.lastFrame());
    }
    m_canvas->setPaths(&m_paths);
    showSelectedRows(m_selectedRows);
    setFrame(std::clamp(m_canvas->frame(), m_paths.firstFrame(), m_paths.lastFrame()));
    if (first) m_canvas->fit();
}

// Rows enough to take a while are gone through on a worker, the window live
// and its input held while it reads the table.
TrackPaths TrackViewWindow::buildPaths() const
{
    constexpr int rowsOnTheSpot = 1 << 16;
    const TrackTable &table = m_model->table();
    const PathPlacement placement = m_placement ? m_placement(m_values) : PathPlacement();
    if (!m_runner || table.rowCount() < rowsOnTheSpot)
        return TrackPaths::build(table, m_values, placement);
    TrackPaths built;
    const ProgressRunner::Run run{
        QStringLiteral("Track View"),
        QStringLiteral("Drawing the tracks of %1")
            .arg(counted(table.rowCount(), QStringLiteral("row"), QStringLiteral("rows"))),
        QString(), 0, ProgressRunner::AfterCancel::Wait};
    // Cancelled, the paths are waited for all the same: the view shows them.
    m_runner->run(run, [&](const std::atomic<bool> &, std::atomic<qint64> &) {
        built = TrackPaths::build(table, m_values, placement);
    });
    return built;
}

void TrackViewWindow::setPlate(QSizeF plate)
{
    const bool changed = plate != m_canvas->plate();
    m_canvas->setPlate(plate);
    // The points are placed through the plate: a new one moves them, and
    // the view takes it in whole.
    if (changed) {
        tableChanged();
        if (isVisible()) rebuildNow();
        m_canvas->fit();
    }
    m_canvas->update();
}

void TrackViewWindow::setValues(PathValues values)
{
    m_values = values;
    {
        QSignalBlocker block(m_valuesCombo);
        m_valuesCombo->setCurrentIndex(values == PathValues::Imported ? 1 : 0);
    }
    rebuildNow();
}

void TrackViewWindow::showSelectedRows(const std::vector<int> &rows)
{
    m_selectedRows = rows;
    std::vector<char> selected(m_paths.tracks().size(), 0);
    for (int r : rows) {
        const int t = m_paths.trackOfRow(r);
        if (t >= 0) selected[size_t(t)] = 1;
    }
    m_canvas->setSelectedTracks(std::move(selected));
}

void TrackViewWindow::setFrame(int frame)
{
    frame = std::clamp(frame, m_paths.firstFrame(), m_paths.lastFrame());
    m_canvas->setFrame(frame);
    m_frameLabel->setText(QStringLiteral("Frame %1").arg(frame));
    QSignalBlocker block(m_slider);
    m_slider->setValue(frame);
}

void TrackViewWindow::togglePlay()
{
    if (m_player->isActive())
        m_player->stop();
    else
        m_player->start();
    m_play->setText(m_player->isActive() ? QStringLiteral("Pause") : QStringLiteral("Play"));
}

void TrackViewWindow::showPointer(QPointF data)
{
    m_status->setText(
        QStringLiteral("x %1   y %2").arg(data.x(), 0, 'f', 2).arg(data.y(), 0, 'f', 2));
}
