// SPDX-License-Identifier: Apache-2.0
// The Edit menu and the row buttons: each gesture takes the selection from
// the table panel, asks what it must ask, and hands the edit to the core;
// the model puts the edit on the undo stack.
#pragma once

#include <QObject>
#include <QString>

class ProgressRunner;
class TablePanel;
class TrackModel;

namespace corvane {
enum class RowMove;
enum class GroupKind;
} // namespace corvane

class TableEditing : public QObject
{
    Q_OBJECT
public:
    // Long work (a sort) runs under the window's runner.
    TableEditing(QWidget *over, TablePanel *table, TrackModel *model, ProgressRunner *runner);

    void copy();
    void paste();
    void clearSelected();
    void deleteRows();
    void markSelectedRows(bool marked);
    void rename();
    void addRows();
    void moveSelectedRows(corvane::RowMove move);
    void moveSelectedRowsToLine(); // asks which line
    void selectGroup(corvane::GroupKind kind);
    void sortRows(bool ascending);

private:
    bool askText(QString &text, const QString &prompt); // false when cancelled
    void moveRows(corvane::RowMove move, int line);

    QWidget *m_over;
    TablePanel *m_table;
    TrackModel *m_model;
    ProgressRunner *m_runner;
    QString m_groupCopyText; // what the next copy puts on the clipboard, when not empty
};
