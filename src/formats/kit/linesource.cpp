// SPDX-License-Identifier: Apache-2.0
#include "linesource.h"

#include <cstring>

namespace corvane {

namespace {

constexpr size_t BlockBytes = size_t(4) << 20;

Field withoutCarriageReturn(const char *begin, const char *end)
{
    if (end > begin && end[-1] == '\r') --end;
    return {begin, end};
}

} // namespace

LineSource::LineSource(const QByteArray &data)
{
    useText(data);
}

void LineSource::useText(const QByteArray &text)
{
    m_text = text;
    m_buffer = std::vector<char>();
    m_pos = m_text.constData();
    m_end = m_pos + m_text.size();
    m_final = true;
    m_size = m_text.size();
}

bool LineSource::nextAfterBuffer(Field &line)
{
    while (m_error.isEmpty()) {
        const char *nl =
            m_pos < m_end
                ? static_cast<const char *>(std::memchr(m_pos, '\n', size_t(m_end - m_pos)))
                : nullptr;
        if (nl) {
            line = withoutCarriageReturn(m_pos, nl);
            m_pos = nl + 1;
            ++m_number;
            return true;
        }
        if (m_final) {
            if (m_pos >= m_end) return false;
            line = withoutCarriageReturn(m_pos, m_end);
            m_pos = m_end;
            ++m_number;
            m_unended = true;
            return true;
        }
        if (!refill()) return false;
    }
    return false;
}

// Keeps the unread rest of the buffer (the start of a line) and reads on
// after it; a line longer than the buffer makes it grow.
bool LineSource::refill()
{
    const size_t rest = size_t(m_end - m_pos);
    if (m_buffer.empty()) m_buffer.resize(BlockBytes);
    if (rest > 0 && m_pos != m_buffer.data()) std::memmove(m_buffer.data(), m_pos, rest);
    if (rest + BlockBytes / 2 > m_buffer.size()) m_buffer.resize(m_buffer.size() * 2);
    const qint64 got = fill(m_buffer.data() + rest, qint64(m_buffer.size() - rest));
    if (got < 0) return false;
    m_pos = m_buffer.data();
    m_end = m_pos + rest + size_t(got);
    if (got == 0) m_final = true;
    return true;
}

} // namespace corvane
