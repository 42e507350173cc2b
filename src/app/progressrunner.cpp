// SPDX-License-Identifier: Apache-2.0
#include "progressrunner.h"
#include "busycursor.h"

#include "table/tracktable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <thread>

namespace {

// While the work reads the table, no window but the progress dialog takes
// the user's input: also in the half second before the dialog shows (and
// its modality starts), and in windows it does not cover.
class InputBlocker : public QObject
{
public:
    explicit InputBlocker(QWidget *open) : m_open(open) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::Drop:
        case QEvent::Close:
            break;
        default:
            return false;
        }
        if (object == m_open->windowHandle()) return false; // the dialog's own window
        // The dialog, its widgets and its objects (its Escape shortcut).
        for (QObject *o = object; o; o = o->parent())
            if (o == m_open) return false;
        return true;
    }

private:
    QWidget *m_open;
};

} // namespace

ProgressRunner::~ProgressRunner()
{
    for (Left &left : m_left)
        left.thread.join(); // a cancelled read still running
}

void ProgressRunner::joinFinished()
{
    for (auto it = m_left.begin(); it != m_left.end();) {
        if (!it->finished()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = m_left.erase(it);
    }
}

bool ProgressRunner::copyTable(const corvane::TrackTable &from, corvane::TrackTable &to,
                               const QString &title, int moreRows)
{
    const Run copying{title, QStringLiteral("Copying the table"), QString(), 0, AfterCancel::Wait};
    return run(copying, [&](const std::atomic<bool> &, std::atomic<qint64> &) {
        to = from.clone(moreRows);
    });
}

bool ProgressRunner::run(const Run &run, const Work &work, const Slice &slice)
{
    struct State
    {
        std::atomic<bool> cancel{false}, finished{false};
        std::atomic<qint64> done{0};
    };
    QScopedValueRollback<int> running(m_running, m_running + 1);
    auto state = std::make_shared<State>();
    std::thread worker([state, work] {
        work(state->cancel, state->done);
        state->finished = true;
    });
    BusyCursor busy;
    QProgressDialog dialog(run.label, QStringLiteral("Cancel"), 0, 1000, m_over);
    dialog.setWindowTitle(run.title);
    dialog.setPalette(QApplication::palette());
    // Nothing in any window may change the table while the work reads it.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setValue(0);
    InputBlocker blocker(&dialog);
    QEventLoop wait;
    QTimer tick;
    tick.setInterval(25);
    QElapsedTimer clock;
    clock.start();
    const qint64 total = std::max<qint64>(run.total, 1);
    // Cancel, Escape, closing the dialog, or its cancel() called directly.
    auto cancelNow = [&] {
        if (state->cancel) return;
        state->cancel = true;
        if (run.afterCancel == AfterCancel::Leave) return wait.quit();
        dialog.setLabelText(QStringLiteral("Cancelling…"));
    };
    // Slices run from a timer that fires whenever the events are done.
    QTimer slicer;
    slicer.setInterval(0);
    bool sliced = !slice;
    QObject::connect(&slicer, &QTimer::timeout, &wait, [&] {
        if (!state->cancel && !slice(state->done)) return;
        sliced = true;
        slicer.stop();
        wait.quit();
    });
    QObject::connect(&tick, &QTimer::timeout, &wait, [&] {
        if (state->finished && (sliced || state->cancel)) return wait.quit();
        if (state->finished && !slicer.isActive()) slicer.start();
        if (dialog.wasCanceled()) return cancelNow();
        // Fed before half a second, the dialog would show as soon as it
        // guesses the work is long; it shows at half a second.
        if (state->cancel || clock.elapsed() < 500) return;
        if (run.total <= 0) { // nothing to follow: a bar that stood still would look stuck
            if (dialog.maximum() != 0) dialog.setRange(0, 0);
            if (!dialog.isVisible()) dialog.show();
            return;
        }
        const qint64 done = state->done.load(std::memory_order_relaxed);
        if (done >= total && !run.lastLabel.isEmpty()) {
            // The last stage counts nothing the dialog can follow (a reader
            // parsing what it read): the bar goes on moving, as busy.
            if (dialog.labelText() != run.lastLabel) {
                dialog.setLabelText(run.lastLabel);
                dialog.setRange(0, 0);
            }
            return;
        }
        dialog.setValue(int(std::min<qint64>(999, done * 1000 / total)));
    });
    // Escape, when the dialog's own shortcut did not take it, rejects the
    // dialog: that cancels too.
    QObject::connect(&dialog, &QDialog::rejected, &dialog, &QProgressDialog::canceled);
    QObject::connect(&dialog, &QProgressDialog::canceled, &wait, cancelNow);
    tick.start();
    if (!state->finished || !sliced) wait.exec();
    tick.stop();
    slicer.stop();
    const bool cancelled = state->cancel || dialog.wasCanceled();
    // Closing the dialog would reject and cancel it.
    QObject::disconnect(&dialog, &QDialog::rejected, nullptr, nullptr);
    QObject::disconnect(&dialog, &QProgressDialog::canceled, nullptr, nullptr);
    dialog.close();
    if (state->finished || !cancelled || run.afterCancel == AfterCancel::Wait) {
        worker.join();
    } else {
        // It finishes unseen, on what it owns, and is joined later.
        m_left.push_back({std::move(worker), [state] { return state->finished.load(); }});
    }
    return !cancelled;
}
