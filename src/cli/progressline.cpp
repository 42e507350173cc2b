// SPDX-License-Identifier: Apache-2.0
#include "progressline.h"

#include <QFileInfo>
#include <QLocale>

#include <chrono>
#include <cstdio>

namespace corvane {

ProgressLine::ProgressLine(bool terminal) : m_terminal(terminal)
{
    m_thread = std::thread([this] { run(); });
}

ProgressLine::~ProgressLine()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_done = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_terminal && m_shown > 0) {
        // The line goes, so that what is said after it stands alone.
        std::fprintf(stderr, "\r%*s\r", m_shown, "");
        std::fflush(stderr);
    }
}

void ProgressLine::stage(const QString &text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_stage = text;
    m_converting = text.startsWith(QLatin1String("converting"));
    m_total = 0;
    if (text.startsWith(QLatin1String("reading "))) {
        m_total = QFileInfo(text.mid(8)).size();
        bytesRead = 0;
    }
    if (m_converting) applied = 0;
}

QString ProgressLine::line()
{
    QString text = QStringLiteral("corvane-convert: ") + m_stage;
    if (m_total > 0) {
        const qint64 done = std::min(bytesRead.load(), m_total);
        text +=
            QStringLiteral(": %1% (%2 of %3)")
                .arg(done * 100 / m_total)
                .arg(QLocale::c().formattedDataSize(done), QLocale::c().formattedDataSize(m_total));
    } else if (m_converting) {
        text += QStringLiteral(": %1%").arg(std::min<qint64>(applied.load(), 1000) / 10);
    }
    return text;
}

void ProgressLine::run()
{
    using namespace std::chrono_literals;
    std::unique_lock<std::mutex> hold(m_lock);
    QString last;
    // A short conversion shows no line at all.
    if (m_wake.wait_for(hold, 500ms, [this] { return m_done; })) return;
    for (;;) {
        const QString text = m_stage.isEmpty() ? QString() : line();
        if (!text.isEmpty() && text != last) {
            const QByteArray bytes = text.toLocal8Bit();
            if (m_terminal) {
                const int pad = std::max(0, m_shown - int(bytes.size()));
                std::fprintf(stderr, "\r%s%*s", bytes.constData(), pad, "");
                m_shown = int(bytes.size());
            } else {
                std::fprintf(stderr, "%s\n", bytes.constData());
            }
            std::fflush(stderr);
            last = text;
        }
        if (m_wake.wait_for(hold, m_terminal ? 200ms : 1000ms, [this] { return m_done; })) return;
    }
}

} // namespace corvane
