// SPDX-License-Identifier: Apache-2.0
// The Tracks menu: the track operations (rename, slip, trim, shift,
// reformat, flip, crop and pad, filter, fill gaps, lens distortion), each
// asked for in its dialog and done as one undo step, on the selected tracks
// when rows are selected, else on every track.
#pragma once

#include "operationdialog.h"

#include <QList>
#include <QObject>

class PlatePanel;
class ProgressRunner;
class QAction;
class QMenu;
class TablePanel;
class TrackModel;

class TracksMenu : public QObject
{
    Q_OBJECT
public:
    TracksMenu(QMenu *menu, TrackModel *model, TablePanel *table, PlatePanel *plate,
               ProgressRunner *runner);

    QList<QAction *> actions() const { return m_actions; }
    // The operations, in the menu's order.
    static const QList<OperationForm> &forms();

    // Asks for the operation of `form` in its dialog and does it.
    void run(const OperationForm &form);

private:
    bool perform(const OperationForm &form, const corvane::TrackOperation &op,
                 const std::vector<int> &onlyRows);

    TrackModel *m_model;
    TablePanel *m_table;
    PlatePanel *m_plate;
    ProgressRunner *m_runner;
    QList<QAction *> m_actions;
};
