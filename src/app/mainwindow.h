// SPDX-License-Identifier: Apache-2.0
// The main window: the three step panels, the track table, menus and the
// slots that wire each gesture to the core. The settings live in the
// widgets; every slot reads them at the moment of use.
#pragma once

#include <optional>

#include "edit/selection.h"
#include "edit/trackpaths.h"
#include "export/exporter.h"
#include "filechooser.h"
#include "formats/trackset.h"
#include "import/dispatch.h"
#include "settings/apply.h"
#include "settings/platesettings.h"

#include <QDesktopServices>
#include <QMainWindow>
#include <QUrl>

#include <QItemSelectionModel>
#include <QMessageBox>
#include <QModelIndex>
#include <QPoint>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class QAction;
class QHelpEvent;
class QCheckBox;
class QComboBox;
class QDoubleValidator;
class QFrame;
class QGroupBox;
class QIntValidator;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QTreeWidget;
class QProgressDialog;
class DialogM;
class TrackModel;
class TrackViewWindow;

namespace corvane {
enum class ImportMode;
enum class RowMove;
enum class GroupKind;
struct TrackSet;
} // namespace corvane

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    TrackModel *trackModel() const { return m_model; }
    DialogM *importModeDialog() const { return m_dialogM; }

    // Step 1 without the file dialog: recognition, the import-mode question
    // and the fill. A file the chosen format refuses is offered as the format
    // that reads it, if one does. Returns false when nothing was imported.
    bool recogniseAndImport(const QString &fileName, const QString &chosenFilter);
    // Step 2 without the file dialog.
    void chooseExportTarget(const QString &path, const QString &formatFilter);

    // Replaces the file dialogs (the window's tests answer them).
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    // Replaces the desktop's opening of a URL (the window's tests watch it).
    // What closing with unsaved changes does: save to the target, discard, or stay.
    enum class CloseAnswer { Save, Discard, Cancel };
    void setCloseQuestion(std::function<CloseAnswer(bool canSave)> ask)
    {
        m_askClose = std::move(ask);
    }
    // How imports read their files (on a worker thread); tests slow it down.
    using ImportReader = std::function<corvane::ReadResult(
        const QString &path, const QString &formatFilter, std::atomic<qint64> *bytesRead)>;
    void setImportReader(ImportReader reader) { m_importReader = std::move(reader); }
    // How saves write their files (on a worker thread); tests slow it down.
    using Saver = std::function<corvane::ExportResult(const corvane::TrackTable &table,
                                                      const corvane::ExportParams &params)>;
    void setSaver(Saver saver) { m_saver = std::move(saver); }
    // How Apply converts (a copy of the table, on a worker thread); tests slow it down.
    using Applier = std::function<corvane::ApplyResult(corvane::TrackTable &table,
                                                       const corvane::ApplyParams &params)>;
    void setApplier(Applier applier) { m_applier = std::move(applier); }
    // open(url) says whether a program took the address.
    void setUrlOpener(std::function<bool(const QUrl &)> open) { m_openUrl = std::move(open); }
    // Where Help looks for the manual, in order.
    static QStringList manualPlaces();

    // Imports a file as a drop does: its format found from its content (the
    // user picks one when several fit), then the usual import.
    bool importDropped(const QString &path);
    // The last imported files, newest first, with their format filters.
    static QList<QPair<QString, QString>> recentFiles();
    void fillRecentMenu();
    // Replaces the question which format a dropped file has (tests answer it).
    void setFormatChooser(std::function<QString(const QStringList &)> choose)
    {
        m_chooseFormat = std::move(choose);
    }

    // The line that says what the last save wrote.
    QString saveStatus() const;

    QTableView *table() const { return tableDataWidget; }
    // The track view window, once it was opened.
    TrackViewWindow *trackView() const { return m_trackView; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dropEvent(QDropEvent *event) override;

public:
    // The Step 3 values as the panel's widgets hold them, and back.
    corvane::PlateSettings plateSettings() const;
    void showPlateSettings(const corvane::PlateSettings &settings);

    // The rows of the last import, end exclusive.
    int importFirstRow() const { return m_importFirstRow; }
    int importEndRow() const { return m_importEndRow; }

public slots:
    void customContentsMenu(const QPoint &pos);
    void on_helpAction_triggered();
    void on_About_triggered();
    void on_LinkWebPage_triggered();
    void on_newAction_triggered();
    void on_imageSizeCombo_currentIndexChanged();
    void on_applyAllButton_clicked();
    void on_saveDataButton_clicked();
    void on_predefinedSettingCombo_currentIndexChanged();
    void on_menubar_hovered();
    void on_plateResWidth_textChanged();
    void on_plateResHight_textChanged();
    void on_resetValuesButton_clicked();
    void on_resetValuesAllButton_clicked();
    void on_programConventionsCheck_toggled();
    void on_importFilesTree_doubleClicked(const QModelIndex &index);
    void on_exportFilesTree_doubleClicked(const QModelIndex &index);
    void on_rowFirst_clicked();
    void on_rowUp_clicked();
    void on_rowDown_clicked();
    void on_rowLast_clicked();
    void on_rowSend_clicked();
    void on_importFilesAction_triggered();
    void on_exportFilesAction_triggered();
    void on_menuEdit_triggered();
    void on_actionCopy_triggered();
    void on_actionPaste_triggered();
    void on_actionDelete_triggered();
    void on_actionDeleteEntireRows_triggered();
    void on_actionSetAsSelected_triggered();
    void on_actionDeselect_triggered();
    void on_actionRename_triggered();
    void on_actionAddRows_triggered();
    void on_actionLow_triggered();
    void on_actionHigh_triggered();
    void on_actionTrackNames_triggered();
    void on_actionFrameNos_triggered();
    void on_actionXYCoord_triggered();
    void on_actionRows_triggered();
    void on_actionShape_triggered();
    void on_actionTrackView_triggered();

private:
    void setupUi();
    void setupMenus();
    void setupTrees();
    void setupSettingsPanel();
    void resetValues();
    void resetAll();
    void setStepCaption(QLabel *caption, int step, bool done);
    // The file read for an import, or nothing (the user told why, or cancelled).
    // A file the format does not read is offered as the one that reads it,
    // with offerOthers; formatFilter becomes the format the user took.
    std::optional<corvane::ReadResult> readImport(const QString &fileName, QString &formatFilter,
                                                  bool offerOthers);
    // For a file the chosen format refused: the import filter of another
    // format that reads it, when the user takes it; else nothing (refusal
    // shown, with icon, when no other format reads the file).
    corvane::ExportResult runSave(const corvane::ExportParams &params);
    bool askReplaceProtected(const QString &path);
    std::optional<QString> offerOtherFormat(const QString &fileName, const QString &formatFilter,
                                            const QString &refusal, QMessageBox::Icon icon);
    // False when the fill was cancelled (the table as it was).
    bool applyImport(const QString &fileName, const QString &formatFilter, corvane::ImportMode mode,
                     const corvane::ReadResult &read);
    // Readers on worker threads: one whose import was cancelled finishes
    // unseen and is joined later (at the latest when the window goes).
    struct Reader
    {
        std::thread thread;
        std::function<bool()> finished;
    };
    std::vector<Reader> m_readers;
    ImportReader m_importReader = [](const QString &path, const QString &filter,
                                     std::atomic<qint64> *bytes) {
        return corvane::dispatch(path, filter, bytes);
    };
    Applier m_applier = [](corvane::TrackTable &table, const corvane::ApplyParams &params) {
        return corvane::applySettings(table, params);
    };
    Saver m_saver = [](const corvane::TrackTable &table, const corvane::ExportParams &params) {
        return corvane::exportTable(table, params);
    };
    // Runs work on a worker thread under a progress dialog over the window
    // (shown after half a second) that follows how much of total the work
    // has done; lastLabel, when given, replaces the label once all of it is
    // (a reader that read its file and now parses it). Cancel or Escape set
    // cancel. Work that reads the table is waited for (it stops soon after);
    // work on what it owns alone is left to finish unseen. False when cancel
    // was asked for (work that was waited for may have finished first: its
    // result tells).
    using ProgressWork =
        std::function<void(const std::atomic<bool> &cancel, std::atomic<qint64> &done)>;
    enum class AfterCancel { Wait, Leave };
    struct ProgressRun
    {
        QString title, label, lastLabel;
        qint64 total = 1000;
        AfterCancel afterCancel = AfterCancel::Wait;
    };
    bool runWithProgress(const ProgressRun &run, const ProgressWork &work);
    void joinFinishedReaders();
    static void setUpImportProgress(QProgressDialog &progress);
    bool fillTable(const corvane::TrackSet &set, const QString &fileName,
                   const QString &formatFilter, corvane::ImportMode mode,
                   QProgressDialog &progress);
    void showMessage(const QString &text, QMessageBox::Icon icon = QMessageBox::NoIcon);
    void rememberRecent(const QString &path, const QString &formatFilter);
    void runFileDialogImport(const QString &caption, const QString &filters);
    void sortRows(bool ascending);
    void plateFieldChanged(QLineEdit *field, QLineEdit *other, QLineEdit *windowSide);
    void followFrameBases(); // the export first frame's default for the target
    void applyIsStale();     // SAVE DATA! waits for the next Apply
    void watchForStaleApply();

    // Editing (the Edit menu and the row buttons).
    corvane::CellSelection tableSelection() const;
    corvane::CellRange firstSelectedRange() const;
    QModelIndex lastSelectedCell() const;
    bool askText(QString &text, const QString &prompt); // false when cancelled
    void markSelectedRows(bool marked);
    void moveSelectedRows(corvane::RowMove move, int line = 1);
    void selectGroup(corvane::GroupKind kind);
    void selectRows(const std::vector<int> &rows, bool add);
    void selectCells(const std::vector<int> &rows, int firstColumn, int lastColumn,
                     QItemSelectionModel::SelectionFlags how);

    // The track view.
    void showPlateInTrackView();
    void showSelectionInTrackView();

    // Widgets, by the object names the slots are connected with.
    QWidget *centralwidget = nullptr;
    QGroupBox *groupBox = nullptr;
    QLabel *step1 = nullptr, *step2 = nullptr, *step3 = nullptr;
    QLabel *label_3 = nullptr, *label_4 = nullptr;
    QTreeWidget *importFilesTree = nullptr, *exportFilesTree = nullptr;
    QLabel *importFilesLabel = nullptr, *exportFilesLabel = nullptr;
    QLineEdit *importFilesText = nullptr, *exportFilesText = nullptr;
    QGroupBox *Settings = nullptr;
    QLineEdit *plateResWidth = nullptr, *plateResHight = nullptr;
    QLabel *label_8 = nullptr, *label_10 = nullptr;
    QComboBox *imageSizeCombo = nullptr, *predefinedSettingCombo = nullptr;
    QLabel *label_16 = nullptr;
    QLineEdit *X0 = nullptr, *X1 = nullptr, *Y0 = nullptr, *Y1 = nullptr;
    QLabel *label_14 = nullptr, *label_15 = nullptr, *label_12 = nullptr, *label_13 = nullptr;
    QLineEdit *par = nullptr;
    QCheckBox *programConventionsCheck = nullptr;
    QLabel *label_11 = nullptr;
    QLineEdit *importFirstText = nullptr, *exportFirstText = nullptr;
    QLabel *label_9 = nullptr, *label_7 = nullptr;
    QFrame *line = nullptr, *line_2 = nullptr;
    QPushButton *applyAllButton = nullptr, *resetValuesButton = nullptr,
                *resetValuesAllButton = nullptr, *saveDataButton = nullptr, *exitButton = nullptr;
    QTableView *tableDataWidget = nullptr;
    QLabel *markedCountLabel = nullptr;
    QLabel *saveStatusLabel = nullptr; // in the free space above RESET VALUES
    QPushButton *rowFirst = nullptr, *rowUp = nullptr, *rowDown = nullptr, *rowLast = nullptr,
                *rowSend = nullptr;
    QMenu *menuRecent = nullptr;
    QMenu *menuFile = nullptr, *menuEdit = nullptr, *menuInfo = nullptr, *menusortRow = nullptr,
          *menuSelectGroup = nullptr;
    QAction *newAction = nullptr, *importFilesAction = nullptr, *exportFilesAction = nullptr,
            *actionExit = nullptr, *helpAction = nullptr, *LinkWebPage = nullptr, *About = nullptr,
            *actionCopy = nullptr, *actionPaste = nullptr, *actionRename = nullptr,
            *actionLow = nullptr, *actionHigh = nullptr, *actionDelete = nullptr,
            *actionAddRows = nullptr, *actionDeleteEntireRows = nullptr,
            *actionSetAsSelected = nullptr, *actionDeselect = nullptr, *actionTrackNames = nullptr,
            *actionFrameNos = nullptr, *actionXYCoord = nullptr, *actionRows = nullptr,
            *actionShape = nullptr, *actionSelectAll = nullptr, *actionUndo = nullptr,
            *actionRedo = nullptr, *actionTrackView = nullptr;
    QMenu *menuView = nullptr;
    QPushButton *trackViewButton = nullptr;

    FileChooser m_chooseFile = runFileDialog;
    std::function<QString(const QStringList &)> m_chooseFormat;
    std::function<bool(const QUrl &)> m_openUrl = [](const QUrl &url) {
        return QDesktopServices::openUrl(url);
    };
    std::function<CloseAnswer(bool canSave)> m_askClose;
    CloseAnswer askClose(bool canSave);
    void enableEditActions();
    void fitRowNumbers();
    void setTabOrders();
    void placeTrackView();
    corvane::PathPlacement trackViewPlacement(corvane::PathValues values) const;
    FileChoice chooseFile(FileRequest request);
    void showMarkedCount();
    void tellTrimmedHistory(int droppedSteps);
    // The tool tip of a cell whose text the column cuts off: the whole text.
    bool showWholeCellText(QHelpEvent *event);
    // Opens a page, or says where it is with a button that copies the place.
    void openOrTell(const QUrl &url, const QString &what, const QString &place);
    TrackModel *m_model = nullptr;
    DialogM *m_dialogM = nullptr;
    QIntValidator *m_intValidator = nullptr;
    QDoubleValidator *m_doubleValidator = nullptr;
    QList<int> m_exportRows;  // rows marked for the next save
    QStringList m_inputs;     // the files the table was read from: never saved over
    int m_importFirstRow = 0; // rows of the last import, end exclusive
    int m_importEndRow = 0;
    bool m_shapeNameProblem = false;
    QString m_importFirstFilter;     // the format the import first frame came from
    bool m_exportFirstTyped = false; // the export first frame is the user's
    bool m_applying = false;         // Apply's own changes do not make it stale
    // The Step 3 values the table was last imported or applied with.
    std::optional<corvane::PlateSettings> m_tableSettings;
    QStringList m_applyNotes; // what the conventions moved in the last Apply
    QString m_groupCopyText;  // what the next copy puts on the clipboard, when not empty
    TrackViewWindow *m_trackView = nullptr;
};
