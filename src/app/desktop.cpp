// SPDX-License-Identifier: Apache-2.0
// What users expect of a desktop application beyond the three steps: files
// dropped on the window, the recent files, and Enter on a tree entry.
#include "mainwindow.h"

#include "formats/registry.h"
#include "import/detect.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTableView>
#include <QToolTip>
#include <QTreeWidget>

using namespace corvane;

namespace {
constexpr int recentLimit = 10;
const char recentKey[] = "recentFiles";
} // namespace

bool MainWindow::importDropped(const QString &path)
{
    Detection detection = detectFormat(path);
    if (!detection.error.isEmpty()) {
        showMessage(detection.error, QMessageBox::Warning);
        return false;
    }
    if (detection.candidates.isEmpty()) {
        showMessage(notATrackFileMessage(QFileInfo(path).fileName(), detection) +
                        QStringLiteral("\nIf you know its format, import it with Import Files "
                                       "and choose the format."),
                    QMessageBox::Warning);
        return false;
    }
    QString filter = QLatin1String(
        (detection.format ? detection.format : detection.candidates.first())->importFilter);
    if (!detection.format) {
        QStringList filters;
        for (const Format *f : detection.candidates)
            filters << QLatin1String(f->importFilter);
        bool ok = true;
        filter = m_chooseFormat ? m_chooseFormat(filters)
                                : QInputDialog::getItem(this, QStringLiteral("Corvane"),
                                                        QStringLiteral("The file fits several "
                                                                       "formats. Which is it?"),
                                                        filters, 0, false, &ok);
        if (!ok || filter.isEmpty()) return false;
    }
    if (!recogniseAndImport(path, filter)) return false;
    saveStatusLabel->setText(detection.choice);
    saveStatusLabel->setToolTip(detection.choice);
    setStepCaption(step1, 1, true);
    exportFilesTree->setEnabled(true);
    return true;
}

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

QList<QPair<QString, QString>> MainWindow::recentFiles()
{
    QList<QPair<QString, QString>> out;
    const QStringList entries = QSettings().value(QLatin1String(recentKey)).toStringList();
    for (const QString &entry : entries) {
        const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
        if (tab > 0) out.append({entry.left(tab), entry.mid(tab + 1)});
    }
    return out;
}

// Each dialog (by its caption) opens where it was last left, with the
// filter last chosen in it, in this run and the next.
FileChoice MainWindow::chooseFile(FileRequest request)
{
    QSettings settings;
    const QString key =
        QStringLiteral("dialogs/") + QString(request.caption).remove(QLatin1Char('/'));
    const QString folder = settings.value(key + QStringLiteral("/folder")).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) request.directory = folder;
    if (request.filter.isEmpty())
        request.filter = settings.value(key + QStringLiteral("/filter")).toString();
    FileChoice choice = m_chooseFile(this, request);
    if (!choice.path.isEmpty()) {
        settings.setValue(key + QStringLiteral("/folder"), QFileInfo(choice.path).absolutePath());
        settings.setValue(key + QStringLiteral("/filter"), choice.filter);
    }
    return choice;
}

void MainWindow::rememberRecent(const QString &path, const QString &formatFilter)
{
    const QString entry = QFileInfo(path).absoluteFilePath() + QLatin1Char('\t') + formatFilter;
    QStringList entries = QSettings().value(QLatin1String(recentKey)).toStringList();
    entries.removeAll(entry);
    entries.prepend(entry);
    QSettings().setValue(QLatin1String(recentKey), entries.mid(0, recentLimit));
}

void MainWindow::fillRecentMenu()
{
    menuRecent->clear();
    const auto files = recentFiles();
    if (files.isEmpty()) menuRecent->addAction(QStringLiteral("(none)"))->setEnabled(false);
    for (const auto &[path, filter] : files) {
        QAction *a =
            menuRecent->addAction(QFileInfo(path).fileName() + QStringLiteral("  —  ") + filter);
        a->setToolTip(path);
        connect(a, &QAction::triggered, this, [this, path = path, filter = filter] {
            if (recogniseAndImport(path, filter)) {
                setStepCaption(step1, 1, true);
                exportFilesTree->setEnabled(true);
            }
        });
    }
}

// Enter on a tree entry does what a double-click does.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress &&
        (watched == importFilesTree || watched == exportFilesTree)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            auto *tree = static_cast<QTreeWidget *>(watched);
            if (tree == importFilesTree)
                on_importFilesTree_doubleClicked(tree->currentIndex());
            else
                on_exportFilesTree_doubleClicked(tree->currentIndex());
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && watched == tableDataWidget) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool control = key->modifiers() & Qt::ControlModifier;
        if (control && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip && watched == tableDataWidget->viewport())
        return showWholeCellText(static_cast<QHelpEvent *>(event));
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::showWholeCellText(QHelpEvent *event)
{
    const QModelIndex index = tableDataWidget->indexAt(event->pos());
    if (!index.isValid()) return false;
    const QString text = index.data(Qt::DisplayRole).toString();
    const int room = tableDataWidget->columnWidth(index.column()) - 8;
    if (tableDataWidget->fontMetrics().horizontalAdvance(text) <= room) return false;
    const QString own = index.data(Qt::ToolTipRole).toString();
    QToolTip::showText(event->globalPos(),
                       own.isEmpty() ? text : text + QStringLiteral("\n(imported: %1)").arg(own),
                       tableDataWidget->viewport());
    return true;
}
