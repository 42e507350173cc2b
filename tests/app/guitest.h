// SPDX-License-Identifier: Apache-2.0
// Helpers of the window suites: answering dialogs.
#pragma once

#include "app/filechooser.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <functional>

// Every window suite starts from empty settings of its own (the dialogs'
// folders, the recent files), never the user's nor an earlier run's.
inline void startFromEmptySettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
}
Q_COREAPP_STARTUP_FUNCTION(startFromEmptySettings)

// Runs action on the next shown dialog of type T (from a timer, while it runs modally).
template <typename T> void whenModal(std::function<void(T *)> action, int tries = 200)
{
    QTimer::singleShot(20, [action, tries] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *d = qobject_cast<T *>(w);
            if (d && d->isVisible()) {
                action(d);
                return;
            }
        }
        if (tries > 0) whenModal<T>(action, tries - 1);
    });
}

// Closes the next message box, remembering its text.
inline void answerMessage(QString *text)
{
    whenModal<QMessageBox>([=](QMessageBox *box) {
        *text = box->text();
        box->accept();
    });
}

// A file chooser that answers with path and filter and remembers the request.
inline FileChooser answerWith(const QString &path, const QString &filter,
                              FileRequest *seen = nullptr)
{
    return [=](QWidget *, const FileRequest &request) {
        if (seen) *seen = request;
        return FileChoice{path, filter};
    };
}
