// SPDX-License-Identifier: Apache-2.0
// One track operation's dialog: its parameters, and a line that counts
// what the operation will change as the user types (or why it cannot run).
#pragma once

#include "edit/trackops.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <thread>

class QDialogButtonBox;
class QLabel;
class QTimer;
class QWidget;

struct OperationField
{
    enum class Kind { Text, File, Choice };
    QString label;
    QString initial;
    Kind kind = Kind::Text;
    QStringList choices; // of a Choice; its value is the chosen text
};

struct OperationForm
{
    const char *action; // the menu action's object name
    QString title;      // the menu entry and the undo step ("Undo Slip")
    QString about;      // one sentence at the top of the dialog
    QList<OperationField> fields;
    // The fields' first values on a plate (when they depend on it).
    std::function<QStringList(corvane::PlateSize plate)> initial;
    // The operation the values make, or why they make none.
    std::function<corvane::ParsedOperation(const QStringList &values)> make;
    // It changes the plate, so it works on every track (not on a selection).
    bool changesPlate = false;
};

class OperationDialog : public QDialog
{
    Q_OBJECT
public:
    using Count = std::function<corvane::TrackOperationResult(const corvane::TrackOperation &)>;
    // `scope` says which tracks it works on ("all 12 tracks", "the 2 selected tracks").
    OperationDialog(QWidget *parent, const OperationForm &form, corvane::PlateSize plate,
                    const QString &scope, Count count);

    // The operation, once the dialog was accepted.
    const std::optional<corvane::TrackOperation> &operation() const { return m_operation; }
    QStringList values() const;
    ~OperationDialog() override;
    // Counts again now (typing counts after a pause, on a worker).
    void recount();

private:
    void build(const OperationForm &form, corvane::PlateSize plate, const QString &scope);
    QWidget *fieldWidget(const OperationField &field, const QString &value, int index);
    void countLater();
    void showCount(const corvane::ParsedOperation &parsed,
                   const corvane::TrackOperationResult *result);

    OperationForm m_form;
    Count m_count;
    QList<QWidget *> m_fields;
    QLabel *m_countLine = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QTimer *m_pause = nullptr;
    std::optional<corvane::TrackOperation> m_operation;
    std::thread m_worker;
    int m_generation = 0;
};
