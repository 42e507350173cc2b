// SPDX-License-Identifier: Apache-2.0
// The main window: composes the steps (Step 1 import, Step 2 target and
// save, Step 3 plate settings and Apply), the track table's panel, its
// editing, the track view and the menus, and wires each gesture to the
// step that does it.
#pragma once

#include "exportstep.h"
#include "filechooser.h"
#include "importstep.h"
#include "platepanel.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>

class DialogM;
class QPushButton;
class QTableView;
class TableEditing;
class TablePanel;
class TrackModel;
class TrackViewStep;
class TrackViewWindow;
class TracksMenu;
class ProgressRunner;
struct WindowMenus;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    TrackModel *trackModel() const { return m_model; }
    DialogM *importModeDialog() const;
    QTableView *table() const;
    // The track view window, once it was opened.
    TrackViewWindow *trackView() const;

    // Step 1 without the file dialog: recognition, the import-mode question
    // and the fill. Returns false when nothing was imported.
    bool recogniseAndImport(const QString &fileName, const QString &chosenFilter);
    // Imports a file as a drop does: its format found from its content (the
    // user picks one when several fit), then the usual import.
    bool importDropped(const QString &path);
    void importFromTree(const QModelIndex &index);
    void importWithDialog();
    // Step 2 without the file dialog.
    void chooseExportTarget(const QString &path, const QString &formatFilter);
    void chooseTargetFromTree(const QModelIndex &index);
    void chooseTargetWithDialog();
    // Step 3's Apply All Setting Changes, and SAVE DATA!.
    void applySettings();
    void saveData();
    void resetValues();
    void newList(); // File > New and RESET VALUES: an empty table, every step undone
    void showTableMenu(const QPoint &pos);
    void showManual();

    // The Step 3 values as the panel's widgets hold them, and back.
    corvane::PlateSettings plateSettings() const;
    void showPlateSettings(const corvane::PlateSettings &settings);
    // The rows of the last import, end exclusive.
    int importFirstRow() const;
    int importEndRow() const;
    // The line that says what the last save wrote.
    QString saveStatus() const;

    // The last imported files, newest first, with their format filters.
    static QList<QPair<QString, QString>> recentFiles() { return ImportStep::recentFiles(); }
    void fillRecentMenu();
    // Where Help looks for the manual, in order (for the program in programFolder).
    static QStringList manualPlaces();
    static QStringList manualPlaces(const QString &programFolder);

    // Replace the dialogs and the desktop (the window's tests answer them).
    void setFileChooser(FileChooser chooser) { m_fileDialogs->setChooser(std::move(chooser)); }
    void setFormatChooser(std::function<QString(const QStringList &)> choose)
    {
        m_chooseFormat = std::move(choose);
    }
    // What closing with unsaved changes does: save to the target, discard, or stay.
    enum class CloseAnswer { Save, Discard, Cancel };
    void setCloseQuestion(std::function<CloseAnswer(bool canSave)> ask)
    {
        m_askClose = std::move(ask);
    }
    // open(url) says whether a program took the address.
    void setUrlOpener(std::function<bool(const QUrl &)> open) { m_openUrl = std::move(open); }
    // The core's work behind the steps, on worker threads; tests slow it down.
    void setImportReader(ImportStep::Reader reader) { m_import->setReader(std::move(reader)); }
    void setSaver(ExportStep::Saver saver) { m_export->setSaver(std::move(saver)); }
    void setApplier(PlatePanel::Applier applier) { m_plate->setApplier(std::move(applier)); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildWindow();
    void buildSaveButtons(QWidget *central);
    void connectSteps();
    void connectMenus();
    void setTabOrders();
    void enableEditActions();
    void tellTrimmedHistory(int droppedSteps);
    CloseAnswer askClose(bool canSave);
    void showAbout();
    void showWebPage();
    // Opens a page, or says where it is with a button that copies the place.
    void openOrTell(const QUrl &url, const QString &what, const QString &place);

    TrackModel *m_model = nullptr;
    std::unique_ptr<ProgressRunner> m_runner;
    std::unique_ptr<FileDialogs> m_fileDialogs;
    PlatePanel *m_plate = nullptr;
    ImportStep *m_import = nullptr;
    ExportStep *m_export = nullptr;
    TablePanel *m_table = nullptr;
    TableEditing *m_editing = nullptr;
    TracksMenu *m_operations = nullptr;
    TrackViewStep *m_trackView = nullptr;
    std::unique_ptr<WindowMenus> m_menus;
    QPushButton *m_resetAllButton = nullptr, *m_saveButton = nullptr, *m_exitButton = nullptr;

    std::function<QString(const QStringList &)> m_chooseFormat;
    std::function<CloseAnswer(bool canSave)> m_askClose;
    std::function<bool(const QUrl &)> m_openUrl;
};
