// SPDX-License-Identifier: Apache-2.0
// The window's menus and their actions (File, Edit, Tracks, View, Info) and the
// table's context menu. The actions are made here; the window connects each
// to the step that does it.
#pragma once

#include <QList>

class QAction;
class QMainWindow;
class QMenu;
class QPoint;
class QUndoStack;
class QWidget;

struct WindowMenus
{
    WindowMenus(QMainWindow *window, QUndoStack *undo);

    // The table's context menu at pos of over.
    void showTableMenu(QWidget *over, const QPoint &pos) const;
    // The Edit actions that need rows.
    QList<QAction *> needingRows() const;

    QMenu *file = nullptr, *edit = nullptr, *tracks = nullptr, *view = nullptr, *info = nullptr,
          *recent = nullptr, *sortRows = nullptr, *selectGroup = nullptr;

    // File
    QAction *newList = nullptr, *importFiles = nullptr, *exportFiles = nullptr, *quit = nullptr;
    // Edit
    QAction *copy = nullptr, *paste = nullptr, *rename = nullptr, *sortAscending = nullptr,
            *sortDescending = nullptr, *clearSelected = nullptr, *addRows = nullptr,
            *deleteRows = nullptr, *markRows = nullptr, *unmarkRows = nullptr,
            *selectTrackNames = nullptr, *selectFrames = nullptr, *selectCoordinates = nullptr,
            *selectRows = nullptr, *selectShape = nullptr, *selectAll = nullptr, *undo = nullptr,
            *redo = nullptr;
    // View
    QAction *trackView = nullptr;
    // Info
    QAction *help = nullptr, *webPage = nullptr, *about = nullptr;

private:
    void makeActions(QMainWindow *window, QUndoStack *undo);
    void fillMenus(QMainWindow *window);
    // The Edit menu's entries, as in the table's context menu.
    void fillEditEntries(QMenu *menu) const;
};
