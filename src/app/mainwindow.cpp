// SPDX-License-Identifier: Apache-2.0
#include "mainwindow.h"

#include "aboutdialog.h"
#include "counting.h"
#include "dialogm.h"
#include "formats/registry.h"
#include "look.h"
#include "settings/platesettings.h"
#include "table/tracktable.h"
#include "trackmodel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDoubleValidator>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QIntValidator>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <QUndoStack>
#include <QUrl>

using namespace corvane;

namespace {

template <typename T> T *make(QWidget *parent, const char *name, QRect geometry)
{
    auto *w = new T(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *l = make<QLabel>(parent, name, geometry);
    l->setText(text);
    return l;
}

QLineEdit *field(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *e = make<QLineEdit>(parent, name, geometry);
    e->setText(text);
    return e;
}

QAction *action(QObject *parent, const char *name, const QString &text,
                const QString &shortcut = QString(), const QString &icon = QString())
{
    auto *a = new QAction(text, parent);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) a->setShortcut(QKeySequence(shortcut));
    if (!icon.isEmpty()) a->setIcon(QIcon(icon));
    return a;
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setupUi();
    setAcceptDrops(true);
    importFilesTree->expandAll();
    exportFilesTree->expandAll();
    applyAllButton->setEnabled(false);
    m_dialogM = new DialogM(this);
    m_intValidator = new QIntValidator(-999999, 999999, this);
    m_doubleValidator = new QDoubleValidator(-100.0, 100.0, 1, this);
    for (QLineEdit *e : {plateResWidth, plateResHight, X0, X1, Y0, Y1, exportFirstText})
        e->setValidator(m_intValidator);
    par->setValidator(m_doubleValidator);
    plateResWidth->setStyleSheet(QLatin1String(look::plateMissingStyle));
    plateResHight->setStyleSheet(QLatin1String(look::plateMissingStyle));
    setStepCaption(step1, 1, false);
    setStepCaption(step2, 2, false);
    setStepCaption(step3, 3, false);
    m_importFirstRow = m_importEndRow = 0;
    tableDataWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    tableDataWidget->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    // Only a value the user types is theirs; the defaults may move it.
    connect(exportFirstText, &QLineEdit::textEdited, this, [this] { m_exportFirstTyped = true; });
    connect(actionExit, &QAction::triggered, this, &QWidget::close);
    connect(actionSelectAll, &QAction::triggered, tableDataWidget, &QTableView::selectAll);
    connect(tableDataWidget, &QWidget::customContextMenuRequested, this,
            &MainWindow::customContentsMenu);
    connect(trackViewButton, &QPushButton::clicked, this,
            &MainWindow::on_actionTrackView_triggered);
    connect(tableDataWidget->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::showSelectionInTrackView);
    QMetaObject::connectSlotsByName(this);
    watchForStaleApply();
    // Edits that need rows wait for them (Paste and Add Rows can make some).
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &MainWindow::enableEditActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &MainWindow::enableEditActions);
    connect(m_model, &TrackModel::tableSwapped, this, &MainWindow::enableEditActions);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &MainWindow::showMarkedCount);
    connect(m_model, &TrackModel::historyTrimmed, this, &MainWindow::tellTrimmedHistory);
    enableEditActions();
}

MainWindow::~MainWindow()
{
    for (Reader &reader : m_readers)
        reader.thread.join(); // a cancelled read still running
}

void MainWindow::setStepCaption(QLabel *caption, int step, bool done)
{
    caption->setText(look::stepCaption(step, done));
}

void MainWindow::setupUi()
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Corvane V1.54"));
    setFixedSize(800, 506);
    setWindowModality(Qt::WindowModal);
    setPalette(look::mainWindowPalette());

    centralwidget = new QWidget(this);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    setCentralWidget(centralwidget);

    groupBox = make<QGroupBox>(centralwidget, "groupBox", {6, 2, 250, 478});
    groupBox->setTitle(QStringLiteral("Import / Export Selection"));
    step1 = label(groupBox, "step1", QString(), {10, 16, 50, 20});
    label_3 = label(groupBox, "label_3", QStringLiteral("Import Files"), {64, 16, 170, 20});
    importFilesTree = make<QTreeWidget>(groupBox, "importFilesTree", {10, 38, 230, 156});
    importFilesLabel =
        label(groupBox, "importFilesLabel", QStringLiteral("Select Files:"), {10, 196, 230, 18});
    importFilesText = field(groupBox, "importFilesText", QString(), {10, 214, 230, 20});
    step2 = label(groupBox, "step2", QString(), {10, 240, 50, 20});
    label_4 = label(groupBox, "label_4", QStringLiteral("Export Files"), {64, 240, 170, 20});
    exportFilesTree = make<QTreeWidget>(groupBox, "exportFilesTree", {10, 262, 230, 156});
    exportFilesLabel =
        label(groupBox, "exportFilesLabel", QStringLiteral("Select File:"), {10, 420, 230, 18});
    exportFilesText = field(groupBox, "exportFilesText", QString(), {10, 438, 230, 20});
    for (QLineEdit *e : {importFilesText, exportFilesText}) {
        e->setReadOnly(true);
        e->setStyleSheet(QLatin1String(look::fileFieldStyle));
    }
    exportFilesTree->setEnabled(false);
    setupTrees();
    importFilesTree->installEventFilter(this);
    exportFilesTree->installEventFilter(this);

    tableDataWidget = make<QTableView>(centralwidget, "tableDataWidget", {264, 8, 381, 211});
    tableDataWidget->setMaximumSize(381, 211);
    tableDataWidget->setDragEnabled(false);
    tableDataWidget->setAcceptDrops(false);
    tableDataWidget->setDragDropMode(QAbstractItemView::NoDragDrop);
    tableDataWidget->setDropIndicatorShown(false);
    m_model = new TrackModel(this);
    tableDataWidget->setModel(m_model);
    tableDataWidget->verticalHeader()->setDefaultSectionSize(20);
    tableDataWidget->verticalHeader()->setFixedWidth(43);
    tableDataWidget->viewport()->installEventFilter(this); // whole texts of cut-off cells
    tableDataWidget->setPalette(look::tablePalette());

    const struct
    {
        QPushButton **button;
        const char *name;
        const char *tip;
        const char *icon;
    } rowButtons[] = {{&rowFirst, "rowFirst", "Move First", ":/others/row_first.png"},
                      {&rowUp, "rowUp", "Move Up ", ":/others/row_up.png"},
                      {&rowDown, "rowDown", "Move Down", ":/others/row_down.png"},
                      {&rowLast, "rowLast", "Move Last", ":/others/row_last.png"},
                      {&rowSend, "rowSend", "Move Go to Line", ":/others/row_goto.png"}};
    int y = 14;
    for (const auto &b : rowButtons) {
        *b.button = make<QPushButton>(centralwidget, b.name, {650, y, 26, 26});
        (*b.button)->setFlat(true);
        (*b.button)->setToolTip(QLatin1String(b.tip));
        (*b.button)->setIcon(QIcon(QLatin1String(b.icon)));
        y += 30;
    }

    trackViewButton = make<QPushButton>(centralwidget, "trackViewButton", {650, 193, 26, 26});
    trackViewButton->setFlat(true);
    trackViewButton->setToolTip(QStringLiteral("Track View (F3)"));
    trackViewButton->setIcon(QIcon(QStringLiteral(":/others/track_view.png")));

    // How many rows SAVE DATA! will write alone, above the save line.
    markedCountLabel = make<QLabel>(centralwidget, "markedCountLabel", {682, 8, 112, 16});
    markedCountLabel->setToolTip(QStringLiteral("SAVE DATA! writes only the marked rows (Set as "
                                                "Selected, Ctrl+S); Deselect (Ctrl+D) unmarks "
                                                "them."));
    saveStatusLabel = make<QLabel>(centralwidget, "saveStatusLabel", {682, 26, 112, 90});
    saveStatusLabel->setWordWrap(true);
    saveStatusLabel->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    saveStatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    resetValuesAllButton =
        make<QPushButton>(centralwidget, "resetValuesAllButton", {682, 122, 112, 28});
    resetValuesAllButton->setText(QStringLiteral("RESET VALUES"));
    resetValuesAllButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/table_refresh.png")));
    saveDataButton = make<QPushButton>(centralwidget, "saveDataButton", {682, 154, 112, 30});
    saveDataButton->setText(QStringLiteral("SAVE DATA!"));
    saveDataButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/table_save.png")));
    saveDataButton->setEnabled(false);
    exitButton = make<QPushButton>(centralwidget, "exitButton", {682, 190, 112, 28});
    exitButton->setText(QStringLiteral("EXIT"));

    setupSettingsPanel();
    setupMenus();
    setTabOrders();
}

// Tab follows the work: Step 1, Step 2, the table and its buttons, Step 3
// row by row, then what ends it (RESET VALUES, SAVE DATA!, EXIT). The table
// keeps Tab for its cells; Ctrl+Tab leaves it.
void MainWindow::setTabOrders()
{
    const QList<QWidget *> order{importFilesTree,
                                 importFilesText,
                                 exportFilesTree,
                                 exportFilesText,
                                 tableDataWidget,
                                 rowFirst,
                                 rowUp,
                                 rowDown,
                                 rowLast,
                                 rowSend,
                                 trackViewButton,
                                 plateResWidth,
                                 plateResHight,
                                 imageSizeCombo,
                                 predefinedSettingCombo,
                                 X0,
                                 X1,
                                 Y0,
                                 Y1,
                                 par,
                                 programConventionsCheck,
                                 importFirstText,
                                 exportFirstText,
                                 applyAllButton,
                                 resetValuesButton,
                                 resetValuesAllButton,
                                 saveDataButton,
                                 exitButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    tableDataWidget->installEventFilter(this);
}

void MainWindow::setupTrees()
{
    importFilesTree->setHeaderLabel(QStringLiteral("itf"));
    exportFilesTree->setHeaderLabel(QStringLiteral("etf"));
    for (QTreeWidget *tree : {importFilesTree, exportFilesTree}) {
        const bool exporting = tree == exportFilesTree;
        tree->setHeaderHidden(true);
        tree->setSortingEnabled(false);
        tree->setDragDropMode(QAbstractItemView::NoDragDrop);
        QTreeWidgetItem *groups[2];
        groups[0] = new QTreeWidgetItem(tree, {QStringLiteral("3D Software Files")});
        groups[1] = new QTreeWidgetItem(tree, {QStringLiteral("2D Software Files")});
        for (QTreeWidgetItem *g : groups)
            g->setIcon(0, QIcon(QStringLiteral(":/3d/add.png")));
        for (const Program &p : programs()) {
            auto *item = new QTreeWidgetItem(
                groups[p.cameraTracker ? 0 : 1],
                {QLatin1String(exporting ? p.exportTreeText : p.importTreeText)});
            item->setIcon(0, QIcon(QLatin1String(p.icon)));
            item->setToolTip(0, item->text(0)); // the tree is narrower than most entries
        }
    }
}

void MainWindow::setupSettingsPanel()
{
    Settings = make<QGroupBox>(centralwidget, "Settings", {264, 224, 530, 256});
    Settings->setTitle(QStringLiteral("Settings"));
    Settings->setEnabled(false);
    step3 = label(Settings, "step3", QString(), {10, 16, 50, 20});

    label_8 = label(Settings, "label_8", QStringLiteral("Plate Resolution"), {10, 44, 100, 20});
    plateResWidth = field(Settings, "plateResWidth", QStringLiteral("0"), {112, 44, 60, 20});
    label_10 = label(Settings, "label_10", QStringLiteral("w/h"), {178, 44, 24, 20});
    plateResHight = field(Settings, "plateResHight", QStringLiteral("0"), {204, 44, 60, 20});
    imageSizeCombo = make<QComboBox>(Settings, "imageSizeCombo", {280, 44, 120, 22});
    imageSizeCombo->addItems(imageSizeItems());

    label_16 = label(Settings, "label_16", QStringLiteral("Predefined Setting"), {10, 74, 100, 20});
    predefinedSettingCombo =
        make<QComboBox>(Settings, "predefinedSettingCombo", {112, 74, 152, 22});
    predefinedSettingCombo->addItems(predefinedSettingItems());
    predefinedSettingCombo->setEnabled(false);

    label_14 = label(Settings, "label_14", QStringLiteral("X0:"), {10, 104, 22, 20});
    X0 = field(Settings, "X0", QStringLiteral("0"), {34, 104, 60, 20});
    label_15 = label(Settings, "label_15", QStringLiteral("X1:"), {104, 104, 22, 20});
    X1 = field(Settings, "X1", QStringLiteral("0"), {128, 104, 60, 20});
    label_12 = label(Settings, "label_12", QStringLiteral("Y0:"), {198, 104, 22, 20});
    Y0 = field(Settings, "Y0", QStringLiteral("0"), {222, 104, 60, 20});
    label_13 = label(Settings, "label_13", QStringLiteral("Y1:"), {292, 104, 22, 20});
    Y1 = field(Settings, "Y1", QStringLiteral("0"), {316, 104, 60, 20});
    X0->setPalette(look::applicationPalette());

    line = make<QFrame>(Settings, "line", {10, 130, 510, 6});
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    label_11 = label(Settings, "label_11", QStringLiteral("Pixel Asp. Ratio"), {10, 142, 100, 20});
    par = field(Settings, "par", QStringLiteral("1.0"), {112, 142, 60, 20});
    programConventionsCheck =
        make<QCheckBox>(Settings, "programConventionsCheck", {196, 142, 180, 20});
    programConventionsCheck->setText(QStringLiteral("Program conventions"));
    programConventionsCheck->setChecked(true);
    programConventionsCheck->setToolTip(QStringLiteral(
        "On: points keep their place between programs that count pixels from "
        "their centres (PFTrack, SynthEyes), and the export first frame follows "
        "the programs' frame numbering (3DE from 1, SynthEyes and Maya Live from "
        "0).\nOff: every format is converted by its file's coordinate rules alone."));
    label_9 = label(Settings, "label_9", QStringLiteral("Import/First Frame"), {10, 170, 100, 20});
    importFirstText = field(Settings, "importFirstText", QString(), {112, 170, 60, 20});
    label_7 = label(Settings, "label_7", QStringLiteral("Export/First Frame"), {196, 170, 100, 20});
    exportFirstText = field(Settings, "exportFirstText", QString(), {300, 170, 60, 20});
    exportFirstText->setInputMask(QString());

    line_2 = make<QFrame>(Settings, "line_2", {10, 196, 510, 6});
    line_2->setFrameShape(QFrame::HLine);
    line_2->setFrameShadow(QFrame::Sunken);

    applyAllButton = make<QPushButton>(Settings, "applyAllButton", {10, 210, 250, 32});
    applyAllButton->setText(QStringLiteral("Apply All Setting Changes"));
    applyAllButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/database_table.png")));
    resetValuesButton = make<QPushButton>(Settings, "resetValuesButton", {270, 210, 130, 32});
    resetValuesButton->setText(QStringLiteral("Reset Values"));
    resetValuesButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/database_refresh.png")));
}

void MainWindow::setupMenus()
{
    const QString icons = QStringLiteral(":/others/file_icos/");
    auto icon = [&](const char *name) {
        return icons + QLatin1String(name) + QStringLiteral(".png");
    };
    newAction = action(this, "newAction", QStringLiteral("New"), {}, icon("application_add"));
    importFilesAction = action(this, "importFilesAction", QStringLiteral("Import Files"),
                               QStringLiteral("Ctrl+I"), icon("application_side_contract"));
    exportFilesAction = action(this, "exportFilesAction", QStringLiteral("Export Files"),
                               QStringLiteral("Ctrl+E"), icon("application_side_expand"));
    actionExit = action(this, "actionExit", QStringLiteral("Quit"), QStringLiteral("Ctrl+F4"));
    helpAction =
        action(this, "helpAction", QStringLiteral("Help"), QStringLiteral("F1"), icon("help"));
    LinkWebPage = action(this, "LinkWebPage", QStringLiteral("Link to web page"), {},
                         icon("application_link"));
    About = action(this, "About", QStringLiteral("About"));
    actionCopy = action(this, "actionCopy", QStringLiteral("Copy to Clipboard"),
                        QStringLiteral("Ctrl+C"), icon("page_copy"));
    actionPaste = action(this, "actionPaste", QStringLiteral("Paste"), QStringLiteral("Ctrl+V"),
                         icon("page_paste"));
    actionRename = action(this, "actionRename", QStringLiteral("Rename"), QStringLiteral("Ctrl+R"),
                          icon("textfield_rename"));
    actionLow = action(this, "actionLow", QStringLiteral("Less to Greater"), {}, icon("slow"));
    actionHigh = action(this, "actionHigh", QStringLiteral("Greater to Less"), {}, icon("shigh"));
    // Delete clears cells as in a spreadsheet; removing whole rows takes Ctrl+Del.
    actionDelete =
        action(this, "actionDelete", QStringLiteral("Clear Selected"), QStringLiteral("Backspace"));
    actionDelete->setShortcuts(
        {QKeySequence(QStringLiteral("Backspace")), QKeySequence(QStringLiteral("Del"))});
    actionAddRows =
        action(this, "actionAddRows", QStringLiteral("Add Rows"), QStringLiteral("Ins"));
    actionDeleteEntireRows =
        action(this, "actionDeleteEntireRows", QStringLiteral("Delete Entire Rows"),
               QStringLiteral("Ctrl+Del"), icon("table_row_delete"));
    actionSetAsSelected = action(this, "actionSetAsSelected", QStringLiteral("Set as Selected"),
                                 QStringLiteral("Ctrl+S"));
    actionDeselect =
        action(this, "actionDeselect", QStringLiteral("Deselect"), QStringLiteral("Ctrl+D"));
    actionTrackNames =
        action(this, "actionTrackNames", QStringLiteral("Track Names"), QStringLiteral("Ctrl+T"));
    actionFrameNos = action(this, "actionFrameNos", QStringLiteral("Frames"));
    actionXYCoord = action(this, "actionXYCoord", QStringLiteral("X/Y Coord"));
    actionRows = action(this, "actionRows", QStringLiteral("Rows"));
    actionShape = action(this, "actionShape", QStringLiteral("Shape"));
    actionSelectAll = action(this, "actionSelectAll", QStringLiteral("Select All"),
                             QStringLiteral("Ctrl+A"), icon("select"));

    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("menubar"));
    menuFile = bar->addMenu(QStringLiteral("File"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    menuEdit = bar->addMenu(QStringLiteral("Edit"));
    menuEdit->setObjectName(QStringLiteral("menuEdit"));
    menuView = bar->addMenu(QStringLiteral("View"));
    menuView->setObjectName(QStringLiteral("menuView"));
    actionTrackView = action(this, "actionTrackView", QStringLiteral("Track View"),
                             QStringLiteral("F3"), QStringLiteral(":/others/track_view.png"));
    menuView->addAction(actionTrackView);
    menuInfo = bar->addMenu(QStringLiteral("Info"));
    menuInfo->setObjectName(QStringLiteral("menuInfo"));

    menuFile->addAction(newAction);
    menuFile->addSeparator();
    menuFile->addAction(importFilesAction);
    menuFile->addAction(exportFilesAction);
    menuRecent = menuFile->addMenu(QStringLiteral("Open Recent"));
    menuRecent->setObjectName(QStringLiteral("menuRecent"));
    connect(menuRecent, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    menuFile->addSeparator();
    menuFile->addAction(actionExit);

    menuInfo->addAction(helpAction);
    menuInfo->addAction(LinkWebPage);
    menuInfo->addSeparator();
    menuInfo->addAction(About);

    menusortRow = new QMenu(QStringLiteral("Sort Rows"), menuEdit);
    menusortRow->setObjectName(QStringLiteral("menusortRow"));
    menusortRow->setIcon(QIcon(icon("table_sort")));
    menusortRow->addAction(actionLow);
    menusortRow->addAction(actionHigh);
    menuSelectGroup = new QMenu(QStringLiteral("Select Group"), menuEdit);
    menuSelectGroup->setObjectName(QStringLiteral("menuSelectGroup"));
    menuSelectGroup->setIcon(QIcon(icon("select_by_difference")));
    for (QAction *a : {actionTrackNames, actionFrameNos, actionXYCoord, actionRows, actionShape})
        menuSelectGroup->addAction(a);

    actionUndo = m_model->undoStack()->createUndoAction(this, QStringLiteral("Undo"));
    actionUndo->setObjectName(QStringLiteral("actionUndo"));
    actionUndo->setShortcut(QKeySequence::Undo);
    actionRedo = m_model->undoStack()->createRedoAction(this, QStringLiteral("Redo"));
    actionRedo->setObjectName(QStringLiteral("actionRedo"));
    actionRedo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    menuEdit->addAction(actionCopy);
    menuEdit->addAction(actionPaste);
    menuEdit->addAction(actionRename);
    menuEdit->addSeparator();
    menuEdit->addMenu(menusortRow);
    menuEdit->addSeparator();
    menuEdit->addAction(actionDelete);
    menuEdit->addAction(actionAddRows);
    menuEdit->addAction(actionDeleteEntireRows);
    menuEdit->addSeparator();
    menuEdit->addAction(actionSetAsSelected);
    menuEdit->addAction(actionDeselect);
    menuEdit->addMenu(menuSelectGroup);
    menuEdit->addAction(actionSelectAll);
    menuEdit->addSeparator();
    menuEdit->addAction(actionUndo);
    menuEdit->addAction(actionRedo);
}

void MainWindow::customContentsMenu(const QPoint &pos)
{
    if (m_model->rowCount() == 0) return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("tableContextMenu"));
    menu.addAction(actionCopy);
    menu.addAction(actionPaste);
    menu.addAction(actionRename);
    menu.addSeparator();
    menu.addMenu(menusortRow);
    menu.addSeparator();
    menu.addAction(actionDelete);
    menu.addAction(actionAddRows);
    menu.addAction(actionDeleteEntireRows);
    menu.addSeparator();
    menu.addAction(actionSetAsSelected);
    menu.addAction(actionDeselect);
    menu.addMenu(menuSelectGroup);
    menu.addAction(actionSelectAll);
    menu.addSeparator();
    menu.addAction(actionUndo);
    menu.addAction(actionRedo);
    menu.exec(tableDataWidget->viewport()->mapToGlobal(pos));
}

QStringList MainWindow::manualPlaces()
{
    // Installed, installed elsewhere as a whole, or the source tree's copy
    // when run from the build folder.
    return {QStringLiteral(CORVANE_INSTALLED_DOCS "/manual.html"),
            QCoreApplication::applicationDirPath() +
                QStringLiteral("/../share/doc/corvane/manual.html"),
            QStringLiteral(CORVANE_SOURCE_DOCS "/manual.html")};
}

void MainWindow::on_helpAction_triggered()
{
    const QStringList places = manualPlaces();
    for (const QString &place : places) {
        if (QFileInfo::exists(place)) {
            const QString path = QFileInfo(place).canonicalFilePath();
            openOrTell(QUrl::fromLocalFile(path), QStringLiteral("the manual"),
                       QDir::toNativeSeparators(path));
            return;
        }
    }
    showMessage(QStringLiteral("The manual was not found. Corvane looked in:\n") +
                    places.join(QLatin1Char('\n')),
                QMessageBox::Warning);
}

void MainWindow::on_LinkWebPage_triggered()
{
    const QString address = QStringLiteral("https://corvane.org/");
    openOrTell(QUrl(address), QStringLiteral("Corvane's web page"), address);
}

void MainWindow::enableEditActions()
{
    const bool rows = m_model->rowCount() > 0;
    for (QAction *a :
         {actionCopy, actionRename, actionLow, actionHigh, actionDelete, actionDeleteEntireRows,
          actionSetAsSelected, actionDeselect, actionTrackNames, actionFrameNos, actionXYCoord,
          actionRows, actionShape, actionSelectAll})
        a->setEnabled(rows);
    fitRowNumbers();
    showMarkedCount();
}

void MainWindow::tellTrimmedHistory(int droppedSteps)
{
    const QString budget = QLocale().formattedDataSize(m_model->historyBudget());
    const QString tip =
        droppedSteps == 1
            ? QStringLiteral("The oldest step was let go to keep the undo history within %1 "
                             "of memory.")
                  .arg(budget)
            : QStringLiteral("The %1 oldest steps were let go to keep the undo history within "
                             "%2 of memory.")
                  .arg(QLocale().toString(droppedSteps), budget);
    menuEdit->setToolTipsVisible(true);
    menuEdit->setToolTip(tip);
    menuEdit->menuAction()->setToolTip(tip);
    actionUndo->setToolTip(tip);
    actionUndo->setStatusTip(tip);
}

void MainWindow::showMarkedCount()
{
    const int marked = m_model->table().markedCount();
    markedCountLabel->setText(
        marked == 0 ? QString()
                    : counted(marked, QStringLiteral("row marked"), QStringLiteral("rows marked")));
}

// The row numbers' column is as wide as the largest number needs (at least 43).
void MainWindow::fitRowNumbers()
{
    QHeaderView *rows = tableDataWidget->verticalHeader();
    const int digits =
        rows->fontMetrics().horizontalAdvance(QString::number(std::max(1, m_model->rowCount())));
    rows->setFixedWidth(std::max(43, digits + 14));
}

// Unsaved: the table changed since the last import or save.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_model->rowCount() == 0 || m_model->undoStack()->isClean()) return event->accept();
    const bool canSave = saveDataButton->isEnabled() && !exportFilesText->text().isEmpty();
    switch (askClose(canSave)) {
    case CloseAnswer::Save:
        on_saveDataButton_clicked();
        if (m_model->undoStack()->isClean()) return event->accept();
        return event->ignore(); // the save failed and said why
    case CloseAnswer::Discard:
        return event->accept();
    case CloseAnswer::Cancel:
        return event->ignore();
    }
}

MainWindow::CloseAnswer MainWindow::askClose(bool canSave)
{
    if (m_askClose) return m_askClose(canSave);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Corvane"),
                    canSave
                        ? QStringLiteral("The table changed since it was last saved. Save it to "
                                         "%1 before closing?")
                              .arg(QFileInfo(exportFilesText->text()).fileName())
                        : QStringLiteral("The table changed since it was last saved, and "
                                         "there is no applied target to save it to. Close "
                                         "and lose the changes?"),
                    QMessageBox::NoButton, this);
    box.setPalette(QApplication::palette());
    QPushButton *save = canSave ? box.addButton(QMessageBox::Save) : nullptr;
    QPushButton *discard = box.addButton(QMessageBox::Discard);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(save ? save : cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (save && box.clickedButton() == save) return CloseAnswer::Save;
    return box.clickedButton() == discard ? CloseAnswer::Discard : CloseAnswer::Cancel;
}

void MainWindow::openOrTell(const QUrl &url, const QString &what, const QString &place)
{
    if (m_openUrl(url)) return;
    QMessageBox box(QMessageBox::Information, QString(),
                    QStringLiteral("Corvane could not open %1: this desktop has no program set up "
                                   "to show it. It is here:\n\n%2")
                        .arg(what, place),
                    QMessageBox::NoButton, this);
    box.setPalette(QApplication::palette());
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton *copy = box.addButton(QStringLiteral("Copy"), QMessageBox::ActionRole);
    box.addButton(QMessageBox::Close);
    box.exec();
    if (box.clickedButton() == copy) QGuiApplication::clipboard()->setText(place);
}

void MainWindow::on_About_triggered()
{
    auto *about = new AboutDialog(this);
    about->setPalette(QApplication::palette());
    about->show();
}

QString MainWindow::saveStatus() const
{
    return saveStatusLabel->text();
}

void MainWindow::on_menubar_hovered() {}
void MainWindow::on_menuEdit_triggered() {}
