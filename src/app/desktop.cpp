// SPDX-License-Identifier: Apache-2.0
// What users expect of a desktop application beyond the three steps: files
// dropped on the window, the manual and the web page, About, and the
// question before unsaved changes are closed away.
#include "mainwindow.h"

#include "aboutdialog.h"
#include "messages.h"
#include "trackmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUndoStack>

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    importDropped(urls.first().toLocalFile());
}

QStringList MainWindow::manualPlaces()
{
    return manualPlaces(QCoreApplication::applicationDirPath());
}

QStringList MainWindow::manualPlaces(const QString &programFolder)
{
    // Installed, or installed elsewhere as a whole; the build's copy only for
    // a program run from its build folder (an installed one never looks there).
    QStringList places{QStringLiteral(CORVANE_INSTALLED_DOCS "/manual.html"),
                       programFolder + QStringLiteral("/../share/doc/corvane/manual.html")};
    const QString build = QDir::cleanPath(QStringLiteral(CORVANE_BUILD_TREE)) + QLatin1Char('/');
    if ((QDir::cleanPath(programFolder) + QLatin1Char('/')).startsWith(build))
        places << QStringLiteral(CORVANE_SOURCE_DOCS "/manual.html");
    return places;
}

void MainWindow::showManual()
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
    showMessage(this,
                QStringLiteral("The manual was not found. Corvane looked in:\n") +
                    places.join(QLatin1Char('\n')),
                QMessageBox::Warning);
}

void MainWindow::showWebPage()
{
    const QString address = QStringLiteral("https://corvane.org/");
    openOrTell(QUrl(address), QStringLiteral("Corvane's web page"), address);
}

void MainWindow::showAbout()
{
    auto *about = new AboutDialog(this);
    about->setPalette(QApplication::palette());
    about->show();
}

void MainWindow::openOrTell(const QUrl &url, const QString &what, const QString &place)
{
    if (m_openUrl ? m_openUrl(url) : QDesktopServices::openUrl(url)) return;
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

// Unsaved: the table changed since the last import or save.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_model->rowCount() == 0 || m_model->undoStack()->isClean()) return event->accept();
    const bool canSave = m_saveButton->isEnabled() && !m_export->targetPath().isEmpty();
    switch (askClose(canSave)) {
    case CloseAnswer::Save:
        saveData();
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
                              .arg(QFileInfo(m_export->targetPath()).fileName())
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
