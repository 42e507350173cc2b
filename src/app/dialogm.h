// SPDX-License-Identifier: Apache-2.0
// The import-mode question asked when the table already has rows:
// "New Grid List", "Add to Curent List" or "Cancel". Closing it without a
// button (Escape, the title bar) is Cancel.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class DialogM : public QDialog
{
    Q_OBJECT
public:
    explicit DialogM(QWidget *parent = nullptr);

    // Shows the question and gives the answer: "new", "add" or "cancel".
    QString ask();
    QString answer() const { return m_answer; }
    void setAnswer(const QString &answer) { m_answer = answer; }
    void setMessage(const QString &message);

public slots:
    void on_newGridList_clicked();
    void on_addtoCurrentList_clicked();
    void on_cancel_clicked();

private:
    QString m_answer; // "new", "add", "cancel" or empty
    QLabel *m_importLabel = nullptr;
};
