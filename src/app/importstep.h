// SPDX-License-Identifier: Apache-2.0
// Step 1: choosing and recognising a source file (and, when the chosen
// format refuses it, offering the format that reads it), the import-mode
// question and the import itself, under a progress dialog that covers the
// reading and the fill. It shows the file it read; it fills the table and
// hands the plate the file brings to Step 3.
#pragma once

#include "import/dispatch.h"

#include <QMessageBox>
#include <QObject>
#include <QPair>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class DialogM;
class FileDialogs;
class PlatePanel;
class ProgressRunner;
class QLabel;
class QLineEdit;
class QMenu;
class QModelIndex;
class QTreeWidget;
class TrackModel;

namespace corvane {
enum class ImportMode;
struct TrackSet;
} // namespace corvane

class ImportStep : public QObject
{
    Q_OBJECT
public:
    ImportStep(QWidget *box, TrackModel *model, PlatePanel *plate, ProgressRunner *runner,
               const FileDialogs *dialogs);

    // Recognition, the import-mode question and the fill. A file the chosen
    // format refuses is offered as the format that reads it, if one does.
    // False when nothing was imported.
    bool recogniseAndImport(const QString &fileName, const QString &chosenFilter);
    // A file whose format is found from its content (`choose` picks one
    // when several fit); what detection chose, or nothing.
    std::optional<QString> importDropped(const QString &path,
                                         const std::function<QString(const QStringList &)> &choose);
    void importFromTree(const QModelIndex &index);
    void importWithDialog(); // File > Import Files: every format

    // How imports read their files (on a worker thread); tests slow it down.
    using Reader = std::function<corvane::ReadResult(
        const QString &path, const QString &formatFilter, std::atomic<qint64> *bytesRead)>;
    // (A reader of their own also reads the files streamed readers would.)
    void setReader(Reader reader)
    {
        m_reader = std::move(reader);
        m_streams = false;
    }

    // The last imported files, newest first, with their format filters.
    static QList<QPair<QString, QString>> recentFiles();
    void fillRecentMenu(QMenu *menu);

    QTreeWidget *tree() const { return m_tree; }
    DialogM *modeDialog() const { return m_modeDialog; }
    // The files the table was read from: never saved over.
    const QStringList &inputs() const { return m_inputs; }
    // The rows of the last import, end exclusive.
    int firstRow() const { return m_firstRow; }
    int endRow() const { return m_endRow; }
    // New: no file.
    void clear();
    // The save line (Step 2's), which undo and redo of an import put back
    // with the table it told of.
    void setSaveLine(std::function<QString()> shown, std::function<void(const QString &)> show)
    {
        m_saveLine = std::move(shown);
        m_showSaveLine = std::move(show);
    }

signals:
    // Step 1 shows a file (or none): Step 2 may choose a target.
    void fileShown(bool shown);
    // The table is about to be filled from a file: what the last save wrote is history.
    void filling();
    // The table was given its columns for a fill.
    void tablePrepared();
    // The table holds a new list from a file.
    void newListFilled();
    // A file was imported (as a new list or an addition).
    void imported(const QString &path);

private:
    void buildWidgets(QWidget *box);
    void showFile(const QString &path, const QString &filter);
    void runDialog(const QString &caption, const QString &filters);
    std::optional<corvane::ReadResult> read(const QString &fileName, QString &formatFilter,
                                            bool offerOthers);
    bool askImportCutShort(const corvane::ReadResult &read);
    std::optional<QString> offerOtherFormat(const QString &fileName, const QString &formatFilter,
                                            const QString &refusal, QMessageBox::Icon icon);
    bool applyImport(const QString &fileName, const QString &formatFilter, corvane::ImportMode mode,
                     const std::shared_ptr<const corvane::ReadResult> &read);
    // What the window shows with a table: the file, the plate, the save line.
    struct Shown;
    Shown shownNow() const;
    void showAgain(const Shown &shown);
    bool fillTable(const std::shared_ptr<const corvane::ReadResult> &read, const QString &fileName,
                   const QString &formatFilter, corvane::ImportMode mode, const Shown &shownBefore);
    bool takeFilled(corvane::TrackTable &filled, corvane::FillRange range, bool append,
                    const QString &fileName, const QString &formatFilter, const Shown &shownBefore);
    void rememberRecent(const QString &path, const QString &formatFilter);
    QWidget *over() const;

    TrackModel *m_model;
    PlatePanel *m_plate;
    ProgressRunner *m_runner;
    const FileDialogs *m_dialogs;
    DialogM *m_modeDialog = nullptr;
    QLabel *m_caption = nullptr, *m_formatLabel = nullptr;
    QTreeWidget *m_tree = nullptr;
    QLineEdit *m_pathField = nullptr;
    QStringList m_inputs;
    int m_firstRow = 0, m_endRow = 0;
    std::function<QString()> m_saveLine;
    std::function<void(const QString &)> m_showSaveLine;
    Reader m_reader = [](const QString &path, const QString &filter, std::atomic<qint64> *bytes) {
        return corvane::dispatch(path, filter, bytes);
    };
    bool m_streams = true; // a file read into an empty table fills it as it is read
    // The rows a streamed read filled, for the fill that follows it.
    std::shared_ptr<corvane::TrackTable> m_streamed;
};
