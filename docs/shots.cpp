// SPDX-License-Identifier: Apache-2.0
// Photographs the real window for the manual, offscreen, at build time:
// shots OUTPUT-FOLDER CUBE-TRACKS MASK-TRACKS
// makes window-import.png, step3-apply.png, trackview-shape.png and
// message-bad-file.png from the same widgets users see.
#include "app/dialogm.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "app/trackview.h"
#include "formats/registry.h"
#include "import/dispatch.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

namespace {

QString outputFolder;
bool failed = false;

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents();
    }
}

void save(QWidget *widget, const QString &name)
{
    settle();
    const QString path = QDir(outputFolder).filePath(name);
    if (!widget || !widget->grab().save(path)) {
        std::fprintf(stderr, "shots: could not make %s\n", qPrintable(path));
        failed = true;
    }
}

// Answers the modal dialogs a step opens: hook sees each one first.
// Runs hook on each modal dialog shown (progress dialogs aside) until it
// says it answered one.
void answerDialogs(const std::function<bool(QWidget *)> &hook)
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, hook] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || qobject_cast<QProgressDialog *>(modal) || !modal->isVisible()) return;
        if (!hook(modal)) return;
        timer->stop();
        timer->deleteLater();
    });
    timer->start(20);
}

template <typename T> T *child(QWidget &parent, const char *name)
{
    T *found = parent.findChild<T *>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "shots: the window has no %s\n", name);
        failed = true;
    }
    return found;
}

void setPlate(MainWindow &window, const char *width, const char *height)
{
    if (auto *w = child<QLineEdit>(window, "plateResWidth")) w->setText(QLatin1String(width));
    if (auto *h = child<QLineEdit>(window, "plateResHight")) h->setText(QLatin1String(height));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true); // the user's recent files stay as they are
    startup::chooseStyle();
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: shots OUTPUT-FOLDER CUBE-TRACKS MASK-TRACKS\n");
        return 1;
    }
    // Pictures are taken in seconds; a question nobody answers must not hold the build.
    QTimer::singleShot(120000, [] {
        std::fprintf(stderr, "shots: a dialog was left waiting; giving up\n");
        std::_Exit(1);
    });
    outputFolder = args.at(1);
    QDir().mkpath(outputFolder);
    startup::prepareApplication();
    const QString v4 = QLatin1String(corvane::formatById(QStringLiteral("3de4"))->importFilter);
    const QString nuke =
        QLatin1String(corvane::formatById(QStringLiteral("nuke-tracker"))->treeExportFilter);
    // The steps name their files relative to a scratch folder, so the
    // pictures show short names rather than where the build ran.
    QTemporaryDir scratch;
    const QString cube = QFileInfo(args.at(2)).absoluteFilePath();
    const QString mask = QFileInfo(args.at(3)).absoluteFilePath();
    QDir::setCurrent(scratch.path());
    QFile::copy(cube, QStringLiteral("cube_3de.txt"));
    QFile::copy(mask, QStringLiteral("garbage_mask.txt"));

    MainWindow window;
    startup::applyLook(window);
    window.adjustSize();
    window.show();

    // Step 1: the table after an import.
    if (!window.recogniseAndImport(QStringLiteral("cube_3de.txt"), v4)) failed = true;
    save(&window, QStringLiteral("window-import.png"));

    // Steps 2 and 3: a target, the plate, Apply.
    window.chooseExportTarget(QStringLiteral("cube_nuke.txt"), nuke);
    setPlate(window, "720", "576");
    if (auto *apply = child<QPushButton>(window, "applyAllButton")) apply->click();
    save(&window, QStringLiteral("step3-apply.png"));

    // The track view with a shape added to the list, at one of its keys.
    // (The main window is window-modal itself: only the question is answered.)
    answerDialogs([](QWidget *question) {
        if (!qobject_cast<DialogM *>(question)) return false;
        auto *add = question->findChild<QPushButton *>(QStringLiteral("addtoCurrentList"));
        if (add) add->click();
        return add != nullptr;
    });
    if (!window.recogniseAndImport(QStringLiteral("garbage_mask.txt"), v4)) failed = true;
    if (auto *view = child<QAction>(window, "actionTrackView")) view->trigger();
    settle();
    if (TrackViewWindow *view = window.trackView()) {
        view->resize(640, 520);
        settle();
        if (auto *frame = view->findChild<QSlider *>(QStringLiteral("trackViewFrame")))
            frame->setValue(50);
        save(view, QStringLiteral("trackview-shape.png"));
    } else {
        failed = true;
    }

    // An import that takes a while: its progress over the window, half read.
    // The read waits until the picture is taken; then the import is cancelled.
    auto shot = std::make_shared<std::atomic<bool>>(false);
    window.setImportReader(
        [shot](const QString &path, const QString &filter, std::atomic<qint64> *bytes) {
            bytes->store(QFileInfo(path).size() * 11 / 20);
            for (int wait = 0; wait < 400 && !*shot; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            return corvane::dispatch(path, filter, bytes);
        });
    auto *poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, shot] {
        auto *progress = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
        if (!progress || !progress->isVisible()) return;
        poll->stop();
        settle();
        QPixmap picture = window.grab();
        QPainter painter(&picture);
        painter.drawPixmap(progress->geometry().topLeft() - window.geometry().topLeft(),
                           progress->grab());
        painter.end();
        if (!picture.save(QDir(outputFolder).filePath(QStringLiteral("import-progress.png"))))
            failed = true;
        *shot = true;
        progress->cancel();
    });
    poll->start(50);
    if (window.recogniseAndImport(QStringLiteral("cube_3de.txt"), v4) || !*shot) {
        std::fprintf(stderr, "shots: the slow import was not shown and cancelled\n");
        failed = true;
    }
    *shot = true;

    // A file that is no track file: the message names it.
    const QString bad = QStringLiteral("render.exr");
    QFile binary(bad);
    if (binary.open(QIODevice::WriteOnly)) binary.write(QByteArray("v/1\x01\x00\x00\x00\x02", 8));
    binary.close();
    bool shown = false;
    answerDialogs([&shown](QWidget *message) {
        auto *box = qobject_cast<QMessageBox *>(message);
        if (!box) return false;
        save(box, QStringLiteral("message-bad-file.png"));
        shown = true;
        if (QAbstractButton *ok = box->buttons().value(0)) ok->click();
        return true;
    });
    window.importDropped(bad);
    if (!shown) {
        std::fprintf(stderr, "shots: no message for a file that is no track file\n");
        failed = true;
    }
    return failed ? 1 : 0;
}
