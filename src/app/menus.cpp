// SPDX-License-Identifier: Apache-2.0
#include "menus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>

namespace {

QAction *action(QObject *parent, const char *name, const QString &text,
                const QString &shortcut = QString(), const QString &icon = QString())
{
    auto *a = new QAction(text, parent);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) a->setShortcut(QKeySequence(shortcut));
    if (!icon.isEmpty()) a->setIcon(QIcon(icon));
    return a;
}

QString icon(const char *name)
{
    return QStringLiteral(":/others/file_icos/") + QLatin1String(name) + QStringLiteral(".png");
}

QMenu *menu(QMenuBar *bar, const char *name, const QString &title)
{
    QMenu *m = bar->addMenu(title);
    m->setObjectName(QLatin1String(name));
    return m;
}

} // namespace

WindowMenus::WindowMenus(QMainWindow *window, QUndoStack *undo)
{
    makeActions(window, undo);
    fillMenus(window);
}

void WindowMenus::makeActions(QMainWindow *w, QUndoStack *undoStack)
{
    newList = action(w, "newAction", QStringLiteral("New"), {}, icon("application_add"));
    importFiles = action(w, "importFilesAction", QStringLiteral("Import Files"),
                         QStringLiteral("Ctrl+I"), icon("application_side_contract"));
    exportFiles = action(w, "exportFilesAction", QStringLiteral("Export Files"),
                         QStringLiteral("Ctrl+E"), icon("application_side_expand"));
    quit = action(w, "actionExit", QStringLiteral("Quit"), QStringLiteral("Ctrl+F4"));
    help = action(w, "helpAction", QStringLiteral("Help"), QStringLiteral("F1"), icon("help"));
    webPage =
        action(w, "LinkWebPage", QStringLiteral("Link to web page"), {}, icon("application_link"));
    about = action(w, "About", QStringLiteral("About"));
    copy = action(w, "actionCopy", QStringLiteral("Copy to Clipboard"), QStringLiteral("Ctrl+C"),
                  icon("page_copy"));
    paste = action(w, "actionPaste", QStringLiteral("Paste"), QStringLiteral("Ctrl+V"),
                   icon("page_paste"));
    rename = action(w, "actionRename", QStringLiteral("Rename"), QStringLiteral("Ctrl+R"),
                    icon("textfield_rename"));
    sortAscending = action(w, "actionLow", QStringLiteral("Less to Greater"), {}, icon("slow"));
    sortDescending = action(w, "actionHigh", QStringLiteral("Greater to Less"), {}, icon("shigh"));
    // Delete clears cells as in a spreadsheet; removing whole rows takes Ctrl+Del.
    clearSelected =
        action(w, "actionDelete", QStringLiteral("Clear Selected"), QStringLiteral("Backspace"));
    clearSelected->setShortcuts(
        {QKeySequence(QStringLiteral("Backspace")), QKeySequence(QStringLiteral("Del"))});
    addRows = action(w, "actionAddRows", QStringLiteral("Add Rows"), QStringLiteral("Ins"));
    deleteRows = action(w, "actionDeleteEntireRows", QStringLiteral("Delete Entire Rows"),
                        QStringLiteral("Ctrl+Del"), icon("table_row_delete"));
    markRows = action(w, "actionSetAsSelected", QStringLiteral("Set as Selected"),
                      QStringLiteral("Ctrl+S"));
    unmarkRows = action(w, "actionDeselect", QStringLiteral("Deselect"), QStringLiteral("Ctrl+D"));
    selectTrackNames =
        action(w, "actionTrackNames", QStringLiteral("Track Names"), QStringLiteral("Ctrl+T"));
    selectFrames = action(w, "actionFrameNos", QStringLiteral("Frames"));
    selectCoordinates = action(w, "actionXYCoord", QStringLiteral("X/Y Coord"));
    selectRows = action(w, "actionRows", QStringLiteral("Rows"));
    selectShape = action(w, "actionShape", QStringLiteral("Shape"));
    selectAll = action(w, "actionSelectAll", QStringLiteral("Select All"), QStringLiteral("Ctrl+A"),
                       icon("select"));
    trackView = action(w, "actionTrackView", QStringLiteral("Track View"), QStringLiteral("F3"),
                       QStringLiteral(":/others/track_view.png"));
    undo = undoStack->createUndoAction(w, QStringLiteral("Undo"));
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence::Undo);
    redo = undoStack->createRedoAction(w, QStringLiteral("Redo"));
    redo->setObjectName(QStringLiteral("actionRedo"));
    redo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
}

void WindowMenus::fillMenus(QMainWindow *window)
{
    QMenuBar *bar = window->menuBar();
    bar->setObjectName(QStringLiteral("menubar"));
    file = menu(bar, "menuFile", QStringLiteral("File"));
    edit = menu(bar, "menuEdit", QStringLiteral("Edit"));
    tracks = menu(bar, "menuTracks", QStringLiteral("Tracks")); // filled by the track operations
    view = menu(bar, "menuView", QStringLiteral("View"));
    info = menu(bar, "menuInfo", QStringLiteral("Info"));
    view->addAction(trackView);

    file->addAction(newList);
    file->addSeparator();
    file->addAction(importFiles);
    file->addAction(exportFiles);
    recent = file->addMenu(QStringLiteral("Open Recent"));
    recent->setObjectName(QStringLiteral("menuRecent"));
    file->addSeparator();
    file->addAction(quit);

    info->addAction(help);
    info->addAction(webPage);
    info->addSeparator();
    info->addAction(about);

    sortRows = new QMenu(QStringLiteral("Sort Rows"), edit);
    sortRows->setObjectName(QStringLiteral("menusortRow"));
    sortRows->setIcon(QIcon(icon("table_sort")));
    sortRows->addAction(sortAscending);
    sortRows->addAction(sortDescending);
    selectGroup = new QMenu(QStringLiteral("Select Group"), edit);
    selectGroup->setObjectName(QStringLiteral("menuSelectGroup"));
    selectGroup->setIcon(QIcon(icon("select_by_difference")));
    for (QAction *a : {selectTrackNames, selectFrames, selectCoordinates, selectRows, selectShape})
        selectGroup->addAction(a);
    fillEditEntries(edit);
}

void WindowMenus::fillEditEntries(QMenu *menu) const
{
    menu->addAction(copy);
    menu->addAction(paste);
    menu->addAction(rename);
    menu->addSeparator();
    menu->addMenu(sortRows);
    menu->addSeparator();
    menu->addAction(clearSelected);
    menu->addAction(addRows);
    menu->addAction(deleteRows);
    menu->addSeparator();
    menu->addAction(markRows);
    menu->addAction(unmarkRows);
    menu->addMenu(selectGroup);
    menu->addAction(selectAll);
    menu->addSeparator();
    menu->addAction(undo);
    menu->addAction(redo);
}

void WindowMenus::showTableMenu(QWidget *over, const QPoint &pos) const
{
    QMenu menu(over);
    menu.setObjectName(QStringLiteral("tableContextMenu"));
    fillEditEntries(&menu);
    menu.exec(over->mapToGlobal(pos));
}

QList<QAction *> WindowMenus::needingRows() const
{
    return {
        copy,        rename,     sortAscending,    sortDescending, clearSelected,     deleteRows,
        markRows,    unmarkRows, selectTrackNames, selectFrames,   selectCoordinates, selectRows,
        selectShape, selectAll};
}
