// SPDX-License-Identifier: Apache-2.0
#include "savecontext.h"

#include "formats/kit/stoprequest.h"
#include "table/numbers.h"

#include <algorithm>

namespace corvane {

SaveContext::SaveContext(const ExportParams &params, qsizetype expectedBytes)
    : m_save(params.inputs), m_targetPath(params.targetPath), m_currentPath(params.targetPath),
      m_encoder(QStringConverter::System), m_streaming(!params.inMemory),
      m_heldBytes(std::max<qsizetype>(params.heldBytes, 4096)), m_cancel(params.cancel),
      m_progress(params.progress)
{
    m_save.setCancel(params.cancel);
    m_save.setReplaceProtected(params.replaceProtected);
    m_current = &m_save.file(params.targetPath);
    // Room for the file (or for what is held of it between spills) at
    // once: growing a buffer step by step costs more than the writing.
    if (m_streaming) expectedBytes = std::min(expectedBytes, m_heldBytes + m_heldBytes / 4);
    if (expectedBytes > 0) m_current->reserve(expectedBytes);
}

bool SaveContext::mayFlush(double done)
{
    if (m_progress)
        m_progress->store(qint64(std::clamp(done, 0.0, 1.0) * 1000), std::memory_order_relaxed);
    if ((m_cancel && m_cancel->load(std::memory_order_relaxed)) || stopRequested())
        m_cancelled = true;
    if (m_cancelled) return false;
    if (m_streaming && m_current->size() >= m_heldBytes) m_save.spill(m_currentPath);
    return true;
}

void SaveContext::writeInt(long long value)
{
    appendInt(*m_current, value);
}

void SaveContext::writeTo(const QString &path)
{
    m_currentPath = path;
    m_current = &m_save.file(path);
}

QString SaveContext::commitFiles(ExportResult &result, bool inMemory)
{
    result.notes = m_notes;
    if (inMemory) {
        result.contents = m_save.contents();
        return QString();
    }
    const QString error = m_save.commit(result.written);
    result.writeProtected = m_save.writeProtected();
    result.recovered = m_save.recovered();
    return error;
}

} // namespace corvane
