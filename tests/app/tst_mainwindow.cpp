// SPDX-License-Identifier: Apache-2.0
#include "app/look.h"
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "guitest.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

// The window's structure: widgets, trees, menus, shortcuts, context menu.
class TestMainWindow : public QObject
{
    Q_OBJECT

    template <typename T> T *child(MainWindow &w, const char *name)
    {
        T *c = w.findChild<T *>(QLatin1String(name));
        if (!c) qWarning("no child %s", name);
        return c;
    }

    static QStringList entries(QMenu *menu)
    {
        QStringList out;
        for (QAction *a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("|") : a->text());
        return out;
    }

private slots:
    void windowFrame()
    {
        MainWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Corvane V1.54"));
        QCOMPARE(w.minimumSize(), QSize(800, 506));
        QCOMPARE(w.maximumSize(), QSize(800, 506));
        QCOMPARE(w.palette().color(QPalette::Active, QPalette::WindowText), QColor(200, 200, 200));
        QCOMPARE(w.palette().color(QPalette::Disabled, QPalette::Text), QColor(100, 100, 100));
        QCOMPARE(w.palette().color(QPalette::Active, QPalette::AlternateBase), QColor(0, 85, 0));
        QPalette app = look::applicationPalette();
        QCOMPARE(app.color(QPalette::Inactive, QPalette::Window), QColor(68, 68, 68));
        QCOMPARE(app.color(QPalette::Disabled, QPalette::ButtonText), QColor(128, 128, 128));
        QCOMPARE(child<QLineEdit>(w, "X0")->palette().color(QPalette::Active, QPalette::Base),
                 QColor(40, 40, 40));
    }

    void widgetsAtStart()
    {
        MainWindow w;
        const QString brown = QStringLiteral("<p><i><font color=#9b7350>Step %1</font></i></p>");
        QCOMPARE(child<QLabel>(w, "step1")->text(), brown.arg(1));
        QCOMPARE(child<QLabel>(w, "step2")->text(), brown.arg(2));
        QCOMPARE(child<QLabel>(w, "step3")->text(), brown.arg(3));
        QCOMPARE(child<QGroupBox>(w, "groupBox")->title(),
                 QStringLiteral("Import / Export Selection"));
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), QStringLiteral("Select Files:"));
        QCOMPARE(child<QLabel>(w, "exportFilesLabel")->text(), QStringLiteral("Select File:"));
        QVERIFY(child<QLineEdit>(w, "importFilesText")->isReadOnly());
        QCOMPARE(child<QLineEdit>(w, "exportFilesText")->styleSheet(),
                 QStringLiteral("background-color: rgb(100, 100, 100);"));
        for (const char *name : {"plateResWidth", "plateResHight", "X0", "X1", "Y0", "Y1"})
            QCOMPARE(child<QLineEdit>(w, name)->text(), QStringLiteral("0"));
        QCOMPARE(child<QLineEdit>(w, "plateResWidth")->styleSheet(),
                 QStringLiteral("* { background-color: rgb(155,115,80) }"));
        QCOMPARE(child<QLineEdit>(w, "par")->text(), QStringLiteral("1.0"));
        QCOMPARE(child<QLineEdit>(w, "importFirstText")->text(), QString());
        QVERIFY(!child<QTreeWidget>(w, "exportFilesTree")->isEnabled());
        QVERIFY(!child<QGroupBox>(w, "Settings")->isEnabled());
        QVERIFY(!child<QComboBox>(w, "predefinedSettingCombo")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "applyAllButton")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "saveDataButton")->isEnabled());
        QCOMPARE(child<QPushButton>(w, "saveDataButton")->text(), QStringLiteral("SAVE DATA!"));
        QCOMPARE(child<QPushButton>(w, "resetValuesAllButton")->text(),
                 QStringLiteral("RESET VALUES"));
        QCOMPARE(child<QPushButton>(w, "applyAllButton")->text(),
                 QStringLiteral("Apply All Setting Changes"));
        QCOMPARE(child<QPushButton>(w, "rowUp")->toolTip(), QStringLiteral("Move Up "));
        QCOMPARE(child<QPushButton>(w, "rowSend")->toolTip(), QStringLiteral("Move Go to Line"));
        QVERIFY(child<QPushButton>(w, "rowFirst")->isFlat());
        QVERIFY(!child<QPushButton>(w, "applyAllButton")->icon().isNull());
        auto *combo = child<QComboBox>(w, "imageSizeCombo");
        QCOMPARE(combo->count(), 11);
        QCOMPARE(combo->itemText(1), QStringLiteral("  640 x 480"));
        QCOMPARE(child<QComboBox>(w, "predefinedSettingCombo")->itemText(8),
                 QStringLiteral("Center Origin[-1,1]"));

        auto *table = child<QTableView>(w, "tableDataWidget");
        QCOMPARE(table->model()->columnCount(), 0);
        QCOMPARE(table->maximumSize(), QSize(381, 211));
        QCOMPARE(table->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(table->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    void formatTrees()
    {
        MainWindow w;
        auto *import = child<QTreeWidget>(w, "importFilesTree");
        auto *exportTree = child<QTreeWidget>(w, "exportFilesTree");
        QCOMPARE(import->headerItem()->text(0), QStringLiteral("itf"));
        QCOMPARE(exportTree->headerItem()->text(0), QStringLiteral("etf"));
        QCOMPARE(import->topLevelItemCount(), 2);
        QCOMPARE(import->topLevelItem(0)->text(0), QStringLiteral("3D Software Files"));
        QCOMPARE(import->topLevelItem(1)->text(0), QStringLiteral("2D Software Files"));
        QVERIFY(import->topLevelItem(0)->isExpanded());
        QVERIFY(exportTree->topLevelItem(1)->isExpanded());
        // The six camera trackers, then Maya and mmSolver, which joined after them
        // (3ds Max and Blender are only written: Step 2 alone lists them).
        QCOMPARE(import->topLevelItem(0)->childCount(), 7);
        QCOMPARE(exportTree->topLevelItem(0)->childCount(), 9);
        // The five compositors, then Flame/Smoke, which joined after them.
        QCOMPARE(import->topLevelItem(1)->childCount(), 6);
        QCOMPARE(import->topLevelItem(1)->child(5)->text(0),
                 QStringLiteral("Flame/Smoke 2d Stabilizer File(*.stabilizer)"));
        QCOMPARE(import->topLevelItem(0)->child(0)->text(0),
                 QStringLiteral("3D Equalizer 2d Track File(*.ascii, *.txt)"));
        QCOMPARE(import->topLevelItem(1)->child(3)->text(0),
                 QStringLiteral("After Effects Mask & 2d Track File(*.*)"));
        QCOMPARE(exportTree->topLevelItem(1)->child(3)->text(0),
                 QStringLiteral("After Effects Mask & 2d Track File(*.txt)"));
        for (int i = 0; i < 6; ++i)
            QVERIFY(
                exportTree->topLevelItem(0)->child(i)->text(0).endsWith(QLatin1String("( 2d)")));
        QCOMPARE(exportTree->topLevelItem(1)->child(0)->text(0),
                 QStringLiteral("Nuke RotoPaint, Tracker & CameraTracker File(*.nk, *.txt)"));
        // Every program has an icon of its own.
        QSet<qint64> icons;
        for (int g = 0; g < 2; ++g)
            for (int i = 0; i < exportTree->topLevelItem(g)->childCount(); ++i) {
                QIcon icon = exportTree->topLevelItem(g)->child(i)->icon(0);
                QVERIFY(!icon.isNull());
                icons.insert(icon.pixmap(16).toImage().cacheKey() ^
                             qint64(qHashBits(icon.pixmap(16).toImage().constBits(), 16 * 16 * 4)));
            }
        QCOMPARE(icons.size(), 15); // twelve, then Maya and mmSolver, 3ds Max, Blender
        QVERIFY(!import->isSortingEnabled());
    }

    void menusAndShortcuts()
    {
        MainWindow w;
        QMenuBar *bar = w.menuBar();
        QStringList titles;
        for (QAction *a : bar->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"File", "Edit", "Tracks", "View", "Info"}));
        QCOMPARE(
            entries(child<QMenu>(w, "menuFile")),
            QStringList({"New", "|", "Import Files", "Export Files", "Open Recent", "|", "Quit"}));
        QCOMPARE(entries(child<QMenu>(w, "menuInfo")),
                 QStringList({"Help", "Link to web page", "|", "About"}));
        QCOMPARE(
            entries(child<QMenu>(w, "menuEdit")),
            QStringList({"Copy to Clipboard", "Paste", "Rename", "|", "Sort Rows", "|",
                         "Clear Selected", "Add Rows", "Delete Entire Rows", "|", "Set as Selected",
                         "Deselect", "Select Group", "Select All", "|", "Undo", "Redo"}));
        QCOMPARE(entries(child<QMenu>(w, "menusortRow")),
                 QStringList({"Less to Greater", "Greater to Less"}));
        QCOMPARE(entries(child<QMenu>(w, "menuSelectGroup")),
                 QStringList({"Track Names", "Frames", "X/Y Coord", "Rows", "Shape"}));

        const QList<QPair<const char *, const char *>> shortcuts{
            {"importFilesAction", "Ctrl+I"}, {"exportFilesAction", "Ctrl+E"},
            {"actionExit", "Ctrl+F4"},       {"helpAction", "F1"},
            {"actionCopy", "Ctrl+C"},        {"actionPaste", "Ctrl+V"},
            {"actionRename", "Ctrl+R"},      {"actionDelete", "Backspace"},
            {"actionAddRows", "Ins"},        {"actionDeleteEntireRows", "Ctrl+Del"},
            {"actionUndo", "Ctrl+Z"},        {"actionSetAsSelected", "Ctrl+S"},
            {"actionDeselect", "Ctrl+D"},    {"actionTrackNames", "Ctrl+T"},
            {"actionSelectAll", "Ctrl+A"},   {"newAction", ""}};
        for (const auto &s : shortcuts)
            QCOMPARE(child<QAction>(w, s.first)->shortcut(), QKeySequence(QLatin1String(s.second)));
        QVERIFY(!child<QAction>(w, "actionLow")->icon().isNull());
        QVERIFY(child<QAction>(w, "About")->icon().isNull());
    }

    // About names the licence, and its full text comes with the program.
    void aboutShowsTheLicence()
    {
        MainWindow w;
        child<QAction>(w, "About")->trigger();
        auto *about = w.findChild<QDialog *>(QStringLiteral("AboutDialog"));
        QVERIFY(about);
        QVERIFY(about->findChild<QLabel *>(QStringLiteral("aboutText"))
                    ->text()
                    .contains(QLatin1String("Apache License, Version 2.0")));
        const QString licence =
            about->findChild<QPlainTextEdit *>(QStringLiteral("licenceText"))->toPlainText();
        QVERIFY(licence.startsWith(QLatin1String("Apache License")));
        QVERIFY(licence.contains(QLatin1String("END OF TERMS AND CONDITIONS")));
        about->close();
    }

    void contextMenuOnlyWithRows()
    {
        MainWindow w;
        QStringList seen;
        bool shown = false;
        auto watch = [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                shown = true;
                seen = entries(menu);
                menu->close();
            }
        };
        QTimer::singleShot(200, watch);
        w.showTableMenu(QPoint(5, 5));
        QTest::qWait(300);
        QVERIFY(!shown);

        w.trackModel()->replace([](corvane::TrackTable &t) {
            t.setColumnCount(4);
            t.setRowCount(1);
        });
        w.show();
        QTimer::singleShot(100, watch);
        w.showTableMenu(QPoint(5, 5));
        QVERIFY(shown);
        QCOMPARE(seen, QStringList({"Copy to Clipboard", "Paste", "Rename", "|", "Sort Rows", "|",
                                    "Clear Selected", "Add Rows", "Delete Entire Rows", "|",
                                    "Set as Selected", "Deselect", "Select Group", "Select All",
                                    "|", "Undo", "Redo"}));
    }

    void tableServesCellRoles()
    {
        MainWindow w;
        TrackModel *model = w.trackModel();
        model->replace([](corvane::TrackTable &t) {
            t.setColumnCount(4);
            t.setRowCount(2);
            t.setImportedRow(0, t.internName(QStringLiteral("corner")), 7, 50, 60,
                             t.internSource(QStringLiteral("3DE v4 Track File (*.txt)")));
        });
        QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("       Track Name       "));
        QCOMPARE(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("    X Coord     "));
        QModelIndex x = model->index(0, 2);
        QCOMPARE(x.data(Qt::DisplayRole).toString(), QStringLiteral("50.000000"));
        QCOMPARE(x.data(Qt::TextAlignmentRole).toInt(), 132);
        QCOMPARE(x.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(80, 80, 80, 127));
        QCOMPARE(model->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(65, 77, 88, 127));
        QCOMPARE(x.data(Qt::ToolTipRole).toString(), QStringLiteral("50"));
        QCOMPARE(x.data(Qt::StatusTipRole).toString(), QStringLiteral("50.000000"));
        QCOMPARE(x.data(Qt::WhatsThisRole).toString(), QStringLiteral("3DE v4 Track File (*.txt)"));
        // Editing in the view sets the edit text; an empty cell gets a plain item.
        QVERIFY(model->setData(model->index(0, 1), QStringLiteral("9"), Qt::EditRole));
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("9"));
        QVERIFY(model->setData(model->index(1, 3), QStringLiteral("=1+1"), Qt::EditRole));
        QCOMPARE(model->index(1, 3).data().toString(), QStringLiteral("=1+1"));
        QVERIFY(model->flags(x) & Qt::ItemIsEditable);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
