// SPDX-License-Identifier: Apache-2.0
// Long work of the window (an import's read, Apply, a save) on a worker
// thread, under a progress dialog that can stop it.
#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class QWidget;

namespace corvane {
class TrackTable;
}

class ProgressRunner
{
public:
    using Work = std::function<void(const std::atomic<bool> &cancel, std::atomic<qint64> &done)>;
    // Work on the thread that shows the table, a slice at a time between
    // the dialog's events: does the next slice, sets done, and is true once
    // all is done.
    using Slice = std::function<bool(std::atomic<qint64> &done)>;
    enum class AfterCancel { Wait, Leave };
    struct Run
    {
        QString title, label, lastLabel;
        qint64 total = 1000; // 0: the work counts nothing, the bar moves as busy
        AfterCancel afterCancel = AfterCancel::Wait;
    };

    explicit ProgressRunner(QWidget *over) : m_over(over) {}
    ~ProgressRunner(); // joins work left to finish unseen
    ProgressRunner(const ProgressRunner &) = delete;
    ProgressRunner &operator=(const ProgressRunner &) = delete;

    // Runs work under a progress dialog over the window (shown after half a
    // second) that follows how much of total the work has done; lastLabel,
    // when given, replaces the label once all of it is (a reader that read
    // its file and now parses it), and the bar then moves as busy. Cancel or Escape set cancel.
    // Work that reads the table is waited for (it stops soon after); work on what it owns alone is
    // left to finish unseen. False when cancel was asked for (work that was waited for may have
    // finished first: its result tells).
    bool run(const Run &run, const Work &work) { return this->run(run, work, Slice()); }
    // The same, and once the work has finished, slice until it is done,
    // under the same dialog. Cancelled, the slices stop: what they did stays
    // for the caller to take back.
    bool run(const Run &run, const Work &work, const Slice &slice);
    // Copies the table on a worker (the window stays live, its input held,
    // the copy waited for when cancelled), with room for moreRows after its
    // rows; false when cancelled.
    bool copyTable(const corvane::TrackTable &from, corvane::TrackTable &to, const QString &title,
                   int moreRows = 0);
    // Joins the work that was left and has finished since.
    void joinFinished();
    // A run is under way (its dialog's events are being handled): work that
    // reads the table waits until it is done.
    bool running() const { return m_running > 0; }

private:
    struct Left
    {
        std::thread thread;
        std::function<bool()> finished;
    };
    QWidget *m_over;
    std::vector<Left> m_left;
    int m_running = 0;
};
