// SPDX-License-Identifier: Apache-2.0
// One line on standard error that follows a long conversion: the stage, the
// bytes read of the input and how far Apply is. On a terminal the line is
// rewritten in place; elsewhere (--progress) a line is printed each second.
#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {

class ProgressLine
{
public:
    explicit ProgressLine(bool terminal);
    ~ProgressLine(); // ends the line
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // A new stage ("reading shot.txt", "converting 1,000 rows", "writing …").
    void stage(const QString &text);

    std::atomic<qint64> bytesRead{0};
    std::atomic<qint64> applied{0}; // thousandths

private:
    QString line();
    void run();

    const bool m_terminal;
    std::mutex m_lock;
    std::condition_variable m_wake;
    QString m_stage;
    qint64 m_total = 0; // bytes of the input being read, when reading
    bool m_converting = false;
    bool m_done = false;
    int m_shown = 0; // characters on the line now
    std::thread m_thread;
};

} // namespace corvane
