// SPDX-License-Identifier: Apache-2.0
// The track view: the table's tracks drawn over the plate, a frame at a
// time, beside the main window. It shows; the table stays the one place
// where the data is edited.
#pragma once

#include "edit/trackpaths.h"

#include <QPointer>
#include <QTransform>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class ProgressRunner;
class TrackModel;

// The drawing: plate, paths, shape outlines and the current frame's points.
class TrackCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit TrackCanvas(QWidget *parent = nullptr);

    void setPaths(const corvane::TrackPaths *paths)
    {
        m_paths = paths;
        update();
    }
    void setPlate(QSizeF plate) { m_plate = plate; }
    QSizeF plate() const { return m_plate; }
    // Points in plate pixels, Y down (else as read, Y up).
    void setYDown(bool down) { m_yDown = down; }
    void setFrame(int frame);
    int frame() const { return m_frame; }
    void setSelectedTracks(std::vector<char> selected);
    const std::vector<char> &selectedTracks() const { return m_selected; }
    void fit(); // the plate (or the data) fills the view
    // Data coordinates (Y up) to widget pixels.
    QTransform toWidget() const;
    // Draws everything into an image of any size, as paintEvent does.
    void paintInto(QImage &image);

signals:
    void trackClicked(int track, bool add); // add: keep the other selected tracks
    void pointerAt(QPointF data);
    void stepRequested(int frames);
    void playRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void paint(QPainter &painter, QSize size);
    QRectF frameRect() const; // what fit() shows
    int trackUnder(QPoint pos, bool pathsToo) const;

    const corvane::TrackPaths *m_paths = nullptr;
    QSizeF m_plate;
    int m_frame = 0;
    std::vector<char> m_selected;
    double m_scale = 1;
    QPointF m_centre; // data point at the widget's centre
    bool m_fitted = false;
    bool m_yDown = false;
    QPoint m_pressPos, m_lastPos;
    bool m_dragging = false;
};

class TrackViewWindow : public QWidget
{
    Q_OBJECT
public:
    // A large table's paths are drawn on a worker under the runner's dialog
    // (none: on the spot).
    TrackViewWindow(TrackModel *model, QWidget *parent, ProgressRunner *runner = nullptr);

    TrackCanvas *canvas() const { return m_canvas; }
    const corvane::TrackPaths &paths() const { return m_paths; }
    void setPlate(QSizeF plate);
    // Highlights the tracks of these table rows.
    void showSelectedRows(const std::vector<int> &rows);
    void setValues(corvane::PathValues values);
    // How rows are put on the plate for each kind of values (from the
    // window's settings at the time of each rebuild).
    void setPlacement(std::function<corvane::PathPlacement(corvane::PathValues)> placement)
    {
        m_placement = std::move(placement);
        m_canvas->setYDown(bool(m_placement));
    }
    void rebuildNow();

signals:
    void tracksPicked(const std::vector<int> &rows, bool add); // rows of the clicked track

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    // Where the user puts it, it opens next time.
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void tableChanged();
    corvane::TrackPaths buildPaths() const;
    void setFrame(int frame);
    void togglePlay();
    void showPointer(QPointF data);

    QPointer<TrackModel> m_model;
    ProgressRunner *m_runner = nullptr;
    std::function<corvane::PathPlacement(corvane::PathValues)> m_placement;
    corvane::TrackPaths m_paths;
    corvane::PathValues m_values = corvane::PathValues::Converted;
    std::vector<int> m_selectedRows;
    bool m_dirty = true;
    TrackCanvas *m_canvas = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_frameLabel = nullptr, *m_status = nullptr;
    QPushButton *m_play = nullptr;
    QComboBox *m_valuesCombo = nullptr;
    QTimer *m_rebuild = nullptr, *m_player = nullptr;
};
