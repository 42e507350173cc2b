// SPDX-License-Identifier: Apache-2.0
// Step 2: choosing the target, and SAVE DATA!. It shows the target and the
// line that says what the last save wrote; it reads the table and Step 3's
// settings, and writes only the rows marked for the save (all when none are).
#pragma once

#include "export/exporter.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class FileDialogs;
class PlatePanel;
class ProgressRunner;
class QLabel;
class QLineEdit;
class QModelIndex;
class QTreeWidget;
class TrackModel;

class ExportStep : public QObject
{
    Q_OBJECT
public:
    // The step's widgets go into box; the save line into lineParent.
    ExportStep(QWidget *box, QWidget *lineParent, TrackModel *model, PlatePanel *plate,
               ProgressRunner *runner, const FileDialogs *dialogs);

    void chooseTarget(const QString &path, const QString &formatFilter);
    void chooseFromTree(const QModelIndex &index);
    void chooseWithDialog(); // File > Export Files: every format written
    // Writes the target; `inputs` are the files the table was read from.
    void save(const QStringList &inputs);

    // How saves write their files (on a worker thread); tests slow it down.
    using Saver = std::function<corvane::ExportResult(const corvane::TrackTable &table,
                                                      const corvane::ExportParams &params)>;
    void setSaver(Saver saver) { m_saver = std::move(saver); }

    QString targetPath() const;
    QTreeWidget *tree() const { return m_tree; }
    // The save line: what the last save wrote (or what detection chose).
    QString status() const;
    void showStatus(const QString &text);
    void clear(); // New: no target
    // Where the dialogs open the first time: the folder of the file imported.
    void setStartFolder(const QString &folder) { m_startFolder = folder; }

signals:
    // The target became path in formatFilter; `changed` when it differs from before.
    void targetChosen(const QString &path, const QString &formatFilter, bool changed);
    // A file dialog of the step closed (with a target chosen or not).
    void dialogClosed();

private:
    void buildWidgets(QWidget *box, QWidget *lineParent);
    bool chooseCorners(corvane::ExportParams &params);
    corvane::ExportResult run(const corvane::ExportParams &params);
    std::optional<corvane::Validation> validate();
    bool askReplaceProtected(const QString &path);
    QString summary(const corvane::ExportParams &params, const corvane::ExportResult &result) const;
    QStringList notes(const corvane::ExportResult &result) const;
    QWidget *over() const;

    TrackModel *m_model;
    PlatePanel *m_plate;
    ProgressRunner *m_runner;
    const FileDialogs *m_dialogs;
    QLabel *m_caption = nullptr, *m_formatLabel = nullptr, *m_saveLine = nullptr;
    QTreeWidget *m_tree = nullptr;
    QLineEdit *m_pathField = nullptr;
    QList<int> m_rows; // rows marked for the next save
    QString m_status;  // the whole save line (the label shows what fits)
    QString m_startFolder;
    Saver m_saver = [](const corvane::TrackTable &table, const corvane::ExportParams &params) {
        return corvane::exportTable(table, params);
    };
};
