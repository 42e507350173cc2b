// SPDX-License-Identifier: Apache-2.0
// The track view beside the main window: opened from View > Track View or
// the button beside the table; table and view show the same selection. It
// places the rows on the plate Step 3 holds.
#pragma once

#include "edit/trackpaths.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QSizeF>

#include <vector>

class PlatePanel;
class ProgressRunner;
class TrackModel;
class TrackViewWindow;
class QWidget;

// Where the track view goes on a screen's free room: beside the main
// window (its right, else its left), else over the table and what lies
// left of it, never over what must stay in sight (Step 3 and the save
// buttons, in screen coordinates), shrunk to fit when it must.
QRect trackViewPlace(const QRect &room, const QRect &window, const QRect &table,
                     const QList<QRect> &keepInSight, QSize view);

class TrackViewStep : public QObject
{
    Q_OBJECT
public:
    TrackViewStep(QWidget *window, TrackModel *model, const PlatePanel *plate,
                  ProgressRunner *runner);
    // The parts of the window the view must not cover, and the table it may.
    void setLayout(QWidget *table, QList<QWidget *> keepInSight)
    {
        m_tableWidget = table;
        m_keepInSight = std::move(keepInSight);
    }

    // Shows it, or hides it when it shows (F3, the menu and the button).
    void toggle();
    // The view, once it was opened.
    TrackViewWindow *view() const { return m_view; }
    void showPlate(QSizeF plate);
    void showSelection(const std::vector<int> &rows);
    bool isShown() const;
    void redraw();

signals:
    // Rows picked in the view, added to the table's selection or replacing it.
    void rowsPicked(const std::vector<int> &rows, bool add);
    // It opened and wants the table's selection.
    void opened();

private:
    void place();
    corvane::PathPlacement placement(corvane::PathValues values) const;

    QWidget *m_window;
    TrackModel *m_model;
    const PlatePanel *m_plate;
    ProgressRunner *m_runner;
    TrackViewWindow *m_view = nullptr;
    QWidget *m_tableWidget = nullptr;
    QList<QWidget *> m_keepInSight;
};
