// SPDX-License-Identifier: Apache-2.0
#include "mainwindow.h"

#include "editing.h"
#include "look.h"
#include "makewidget.h"
#include "menus.h"
#include "progressrunner.h"
#include "tablepanel.h"
#include "trackmodel.h"
#include "tracksmenu.h"
#include "trackviewstep.h"

#include "edit/groups.h"
#include "edit/rowedits.h"

#include <QAction>
#include <QFileInfo>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <QUndoStack>

using namespace corvane;

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    buildWindow();
    setAcceptDrops(true);
    connectSteps();
    connectMenus();
    enableEditActions();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWindow()
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Corvane V1.54"));
    setFixedSize(800, 506);
    setWindowModality(Qt::WindowModal);
    setPalette(look::mainWindowPalette());

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    setCentralWidget(central);
    m_runner = std::make_unique<ProgressRunner>(this);
    m_fileDialogs = std::make_unique<FileDialogs>(this);
    m_model = new TrackModel(this);

    auto *files = makeWidget<QGroupBox>(central, "groupBox", {6, 2, 250, 478});
    files->setTitle(QStringLiteral("Import / Export Selection"));
    m_table = new TablePanel(central, m_model);
    buildSaveButtons(central);
    m_plate = new PlatePanel(central, m_model, m_runner.get());
    m_import = new ImportStep(files, m_model, m_plate, m_runner.get(), m_fileDialogs.get());
    m_export =
        new ExportStep(files, central, m_model, m_plate, m_runner.get(), m_fileDialogs.get());
    m_editing = new TableEditing(this, m_table, m_model, m_runner.get());
    m_trackView = new TrackViewStep(this, m_model, m_plate, m_runner.get());
    m_trackView->setLayout(m_table->view(),
                           {m_plate, m_resetAllButton, m_saveButton, m_exitButton});
    m_menus = std::make_unique<WindowMenus>(this, m_model->undoStack());
    m_operations = new TracksMenu(m_menus->tracks, m_model, m_table, m_plate, m_runner.get());
    setTabOrders();
}

// RESET VALUES, SAVE DATA! and EXIT, under the save line.
void MainWindow::buildSaveButtons(QWidget *central)
{
    m_resetAllButton =
        makeWidget<QPushButton>(central, "resetValuesAllButton", {682, 122, 112, 28});
    m_resetAllButton->setText(QStringLiteral("RESET VALUES"));
    m_resetAllButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/table_refresh.png")));
    m_saveButton = makeWidget<QPushButton>(central, "saveDataButton", {682, 154, 112, 30});
    m_saveButton->setText(QStringLiteral("SAVE DATA!"));
    m_saveButton->setIcon(QIcon(QStringLiteral(":/others/file_icos/table_save.png")));
    m_saveButton->setEnabled(false);
    m_exitButton = makeWidget<QPushButton>(central, "exitButton", {682, 190, 112, 28});
    m_exitButton->setText(QStringLiteral("EXIT"));
}

// Tab follows the work: Step 1, Step 2, the table and its buttons, Step 3
// row by row, then what ends it (RESET VALUES, SAVE DATA!, EXIT). The table
// keeps Tab for its cells; Ctrl+Tab leaves it.
void MainWindow::setTabOrders()
{
    const auto field = [this](const char *name) { return findChild<QWidget *>(name); };
    QList<QWidget *> order{m_import->tree(),         field("importFilesText"),  m_export->tree(),
                           field("exportFilesText"), m_table->view(),           m_table->rowFirst(),
                           m_table->rowUp(),         m_table->rowDown(),        m_table->rowLast(),
                           m_table->rowGoTo(),       m_table->trackViewButton()};
    order << m_plate->tabOrder() << m_resetAllButton << m_saveButton << m_exitButton;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    m_table->view()->installEventFilter(this);
}

void MainWindow::connectSteps()
{
    connect(m_import, &ImportStep::fileShown, m_export->tree(), &QWidget::setEnabled);
    connect(m_import, &ImportStep::filling, this, [this] { m_export->showStatus(QString()); });
    m_import->setSaveLine([this] { return m_export->status(); },
                          [this](const QString &line) { m_export->showStatus(line); });
    connect(m_import, &ImportStep::tablePrepared, m_table, &TablePanel::fitColumns);
    connect(m_import, &ImportStep::newListFilled, m_table->view(), &QTableView::scrollToTop);
    connect(m_export, &ExportStep::targetChosen, this,
            [this](const QString &path, const QString &filter, bool changed) {
                if (changed) m_plate->markStale();
                m_plate->setEnabled(!path.isEmpty());
                m_plate->setTargetFormat(filter);
            });
    connect(m_import, &ImportStep::imported, this, [this](const QString &path) {
        m_export->setStartFolder(QFileInfo(path).absolutePath());
    });
    // The next work after a target is Step 3's.
    connect(m_export, &ExportStep::dialogClosed, this, [this] {
        if (m_plate->isEnabled())
            m_plate->focusFirstValue();
        else
            m_export->tree()->setFocus(Qt::OtherFocusReason);
    });
    connect(m_plate, &PlatePanel::saveAllowed, this, [this](bool allowed, const QString &tip) {
        m_saveButton->setEnabled(allowed);
        m_saveButton->setToolTip(tip);
    });
    connect(m_plate, &PlatePanel::plateChanged, m_trackView, &TrackViewStep::showPlate);
    connect(m_plate, &PlatePanel::placementChanged, m_trackView, &TrackViewStep::redraw);
    connect(m_trackView, &TrackViewStep::rowsPicked, m_table, &TablePanel::selectRows);
    auto showSelection = [this] { m_trackView->showSelection(m_table->selectedRows()); };
    connect(m_trackView, &TrackViewStep::opened, this, showSelection);
    connect(m_table->view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            showSelection);
    connect(m_table->view(), &QWidget::customContextMenuRequested, this,
            &MainWindow::showTableMenu);
    const std::pair<QPushButton *, RowMove> moves[] = {{m_table->rowFirst(), RowMove::First},
                                                       {m_table->rowUp(), RowMove::Up},
                                                       {m_table->rowDown(), RowMove::Down},
                                                       {m_table->rowLast(), RowMove::Last}};
    for (auto [button, move] : moves)
        connect(button, &QPushButton::clicked, m_editing,
                [this, move = move] { m_editing->moveSelectedRows(move); });
    connect(m_table->rowGoTo(), &QPushButton::clicked, m_editing,
            &TableEditing::moveSelectedRowsToLine);
    connect(m_table->trackViewButton(), &QPushButton::clicked, m_trackView, &TrackViewStep::toggle);
    connect(m_resetAllButton, &QPushButton::clicked, this, &MainWindow::newList);
    connect(m_saveButton, &QPushButton::clicked, this, &MainWindow::saveData);
    connect(m_exitButton, &QPushButton::clicked, this, &QWidget::close);
    // Edits that need rows wait for them (Paste and Add Rows can make some).
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &MainWindow::enableEditActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &MainWindow::enableEditActions);
    connect(m_model, &TrackModel::tableSwapped, this, &MainWindow::enableEditActions);
    connect(m_model, &TrackModel::historyTrimmed, this, &MainWindow::tellTrimmedHistory);
}

void MainWindow::connectMenus()
{
    const WindowMenus &m = *m_menus;
    const std::pair<QAction *, void (MainWindow::*)()> own[] = {
        {m.newList, &MainWindow::newList},
        {m.importFiles, &MainWindow::importWithDialog},
        {m.exportFiles, &MainWindow::chooseTargetWithDialog},
        {m.help, &MainWindow::showManual},
        {m.webPage, &MainWindow::showWebPage},
        {m.about, &MainWindow::showAbout}};
    for (auto [action, slot] : own)
        connect(action, &QAction::triggered, this, slot);
    connect(m.quit, &QAction::triggered, this, &QWidget::close);
    connect(m.recent, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    connect(m.trackView, &QAction::triggered, m_trackView, &TrackViewStep::toggle);
    connect(m.selectAll, &QAction::triggered, m_table->view(), &QTableView::selectAll);

    TableEditing *e = m_editing;
    const std::pair<QAction *, std::function<void()>> edits[] = {
        {m.copy, [e] { e->copy(); }},
        {m.paste, [e] { e->paste(); }},
        {m.rename, [e] { e->rename(); }},
        {m.sortAscending, [e] { e->sortRows(true); }},
        {m.sortDescending, [e] { e->sortRows(false); }},
        {m.clearSelected, [e] { e->clearSelected(); }},
        {m.addRows, [e] { e->addRows(); }},
        {m.deleteRows, [e] { e->deleteRows(); }},
        {m.markRows, [e] { e->markSelectedRows(true); }},
        {m.unmarkRows, [e] { e->markSelectedRows(false); }},
        {m.selectTrackNames, [e] { e->selectGroup(GroupKind::TrackNames); }},
        {m.selectFrames, [e] { e->selectGroup(GroupKind::Frames); }},
        {m.selectCoordinates, [e] { e->selectGroup(GroupKind::Coordinates); }},
        {m.selectRows, [e] { e->selectGroup(GroupKind::Rows); }},
        {m.selectShape, [e] { e->selectGroup(GroupKind::Shape); }}};
    for (const auto &[action, edit] : edits)
        connect(action, &QAction::triggered, e, edit);
}

DialogM *MainWindow::importModeDialog() const
{
    return m_import->modeDialog();
}

QTableView *MainWindow::table() const
{
    return m_table->view();
}

TrackViewWindow *MainWindow::trackView() const
{
    return m_trackView->view();
}

bool MainWindow::recogniseAndImport(const QString &fileName, const QString &chosenFilter)
{
    return m_import->recogniseAndImport(fileName, chosenFilter);
}

bool MainWindow::importDropped(const QString &path)
{
    const std::optional<QString> choice = m_import->importDropped(path, m_chooseFormat);
    if (!choice) return false;
    m_export->showStatus(*choice);
    return true;
}

void MainWindow::importFromTree(const QModelIndex &index)
{
    m_import->importFromTree(index);
}

void MainWindow::importWithDialog()
{
    m_import->importWithDialog();
}

void MainWindow::fillRecentMenu()
{
    m_import->fillRecentMenu(m_menus->recent);
}

void MainWindow::chooseExportTarget(const QString &path, const QString &formatFilter)
{
    m_export->chooseTarget(path, formatFilter);
}

void MainWindow::chooseTargetFromTree(const QModelIndex &index)
{
    m_export->chooseFromTree(index);
}

void MainWindow::chooseTargetWithDialog()
{
    m_export->chooseWithDialog();
}

void MainWindow::applySettings()
{
    m_plate->apply();
}

void MainWindow::saveData()
{
    m_export->save(m_import->inputs());
}

void MainWindow::resetValues()
{
    m_plate->resetValues();
}

void MainWindow::newList()
{
    m_import->clear();
    m_export->clear();
    m_plate->clear();
    if (m_model->rowCount() > 0 || m_model->columnCount() > 0) {
        TrackTable before;
        m_model->replace([&](TrackTable &table) { std::swap(before, table); });
        m_model->done(QStringLiteral("New"), std::make_unique<TableReplaced>(std::move(before)));
    }
}

PlateSettings MainWindow::plateSettings() const
{
    return m_plate->settings();
}

void MainWindow::showPlateSettings(const PlateSettings &settings)
{
    m_plate->showSettings(settings);
}

int MainWindow::importFirstRow() const
{
    return m_import->firstRow();
}

int MainWindow::importEndRow() const
{
    return m_import->endRow();
}

QString MainWindow::saveStatus() const
{
    return m_export->status();
}

void MainWindow::showTableMenu(const QPoint &pos)
{
    if (m_model->rowCount() == 0) return;
    m_menus->showTableMenu(m_table->view()->viewport(), pos);
}

void MainWindow::enableEditActions()
{
    const bool rows = m_model->rowCount() > 0;
    for (QAction *a : m_menus->needingRows() + m_operations->actions())
        a->setEnabled(rows);
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
    QMenu *edit = m_menus->edit;
    edit->setToolTipsVisible(true);
    edit->setToolTip(tip);
    edit->menuAction()->setToolTip(tip);
    m_menus->undo->setToolTip(tip);
    m_menus->undo->setStatusTip(tip);
}

// Ctrl+Tab leaves the table, whose Tab moves between cells.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched == m_table->view()) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool control = key->modifiers() & Qt::ControlModifier;
        if (control && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
