// SPDX-License-Identifier: Apache-2.0
// Appends text to a byte buffer through a pointer into its spare room. A
// shape file is made of hundreds of millions of small pieces; appending each
// to a QByteArray is a call with its checks, where here it is a bounds test
// and a copy. The buffer's size is set right when the appender is done, so
// nothing else may touch the buffer while one is alive.
#pragma once

#include "table/numbers.h"

#include <QByteArray>

#include <charconv>
#include <cstring>

namespace corvane {

class ByteAppender
{
public:
    explicit ByteAppender(QByteArray &out) : m_out(out), m_size(out.size())
    {
        if (m_out.capacity() > m_size) m_out.resize(m_out.capacity());
        m_data = m_out.data();
        m_room = m_out.size();
    }
    ~ByteAppender() { m_out.resize(m_size); }
    ByteAppender(const ByteAppender &) = delete;
    ByteAppender &operator=(const ByteAppender &) = delete;

    void append(const char *text, qsizetype length)
    {
        ensure(length);
        std::memcpy(m_data + m_size, text, size_t(length));
        m_size += length;
    }
    template <size_t N> ByteAppender &operator<<(const char (&text)[N])
    {
        append(text, qsizetype(N - 1));
        return *this;
    }
    ByteAppender &operator<<(char c)
    {
        ensure(1);
        m_data[m_size++] = c;
        return *this;
    }
    ByteAppender &operator<<(const QByteArray &bytes)
    {
        append(bytes.constData(), bytes.size());
        return *this;
    }
    void appendInt(long long value)
    {
        ensure(24);
        m_size = std::to_chars(m_data + m_size, m_data + m_size + 24, value).ptr - m_data;
    }
    void appendFixed6(double value)
    {
        ensure(MaxFixed6Length);
        m_size += formatFixed6(m_data + m_size, value);
    }

    void appendDecimal6(double value)
    {
        ensure(MaxDecimal6Length);
        m_size += formatDecimal6(m_data + m_size, value);
    }
    // count copies of c.
    void fill(char c, qsizetype count)
    {
        ensure(count);
        std::memset(m_data + m_size, c, size_t(count));
        m_size += count;
    }

    void appendFixedExact(double value)
    {
        ensure(MaxFixedExactLength);
        m_size += formatFixedExact(m_data + m_size, value);
    }

private:
    void ensure(qsizetype length)
    {
        if (m_room - m_size < length) grow(length);
    }
    void grow(qsizetype length)
    {
        m_out.resize(std::max(m_size + length, m_room + m_room / 2 + 4096));
        m_data = m_out.data();
        m_room = m_out.size();
    }

    QByteArray &m_out;
    qsizetype m_size;
    char *m_data = nullptr;
    qsizetype m_room = 0;
};

} // namespace corvane
