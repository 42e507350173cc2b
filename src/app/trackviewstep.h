// SPDX-License-Identifier: Apache-2.0
// The track view beside the main window: opened from View > Track View or
// the button beside the table; table and view show the same selection. It
// places the rows on the plate Step 3 holds.
#pragma once

#include "edit/trackpaths.h"

#include <QObject>
#include <QSizeF>

#include <vector>

class PlatePanel;
class TrackModel;
class TrackViewWindow;
class QWidget;

class TrackViewStep : public QObject
{
    Q_OBJECT
public:
    TrackViewStep(QWidget *window, TrackModel *model, const PlatePanel *plate);

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
    TrackViewWindow *m_view = nullptr;
};
