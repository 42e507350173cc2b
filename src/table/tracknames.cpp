// SPDX-License-Identifier: Apache-2.0
#include "tracknames.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace corvane {

namespace {

quint64 newSerial()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

} // namespace

NameTexts::NameTexts() : m_serial(newSerial()) {}

NameTexts::NameTexts(const NameTexts &other)
    : m_text(other.m_text), m_starts(other.m_starts), m_nullId(other.m_nullId),
      m_serial(newSerial())
{
}

NameTexts::NameTexts(NameTexts &&other) noexcept
    : m_text(std::move(other.m_text)), m_starts(std::move(other.m_starts)),
      m_nullId(other.m_nullId), m_serial(other.m_serial)
{
    other.clearAfterMove();
}

NameTexts &NameTexts::operator=(const NameTexts &other)
{
    if (this != &other) {
        m_text = other.m_text;
        m_starts = other.m_starts;
        m_nullId = other.m_nullId;
        m_serial = newSerial();
    }
    return *this;
}

NameTexts &NameTexts::operator=(NameTexts &&other) noexcept
{
    if (this != &other) {
        m_text = std::move(other.m_text);
        m_starts = std::move(other.m_starts);
        m_nullId = other.m_nullId;
        m_serial = other.m_serial;
        other.clearAfterMove();
    }
    return *this;
}

// The names went with their serial: what a thread kept of them is theirs.
void NameTexts::clearAfterMove()
{
    m_text.clear();
    m_starts.assign(1, 0);
    m_nullId = -1;
    m_serial = newSerial();
}

QString NameTexts::value(qsizetype id) const
{
    if (id < 0 || id >= size() || id == m_nullId) return QString();
    struct Last
    {
        quint64 serial = 0;
        qsizetype id = -1;
        QString text;
    };
    thread_local Last last;
    if (last.serial != m_serial || last.id != id) {
        const QStringView text = view(id);
        last.text = text.isEmpty() ? QStringLiteral("") : text.toString();
        last.serial = m_serial;
        last.id = id;
    }
    return last.text;
}

qsizetype NameTexts::append(const QString &name)
{
    const qsizetype id = size();
    if (name.isNull()) m_nullId = id;
    m_text.insert(m_text.end(), name.utf16(), name.utf16() + name.size());
    m_starts.push_back(qsizetype(m_text.size()));
    return id;
}

void NameTexts::reserve(qsizetype names)
{
    // As many characters again as the names so far have on average (16
    // before any): more, and the buffer grows as it fills.
    const qsizetype average = size() > 0 ? qsizetype(m_text.size()) / size() + 1 : 16;
    m_starts.reserve(size_t(names) + 1);
    m_text.reserve(size_t(names * average));
}

QString NameTexts::Iterator::operator*() const
{
    const QStringView text = m_texts->view(m_id);
    return QString::fromRawData(reinterpret_cast<const QChar *>(text.data()), text.size());
}

NameIndex::NameIndex(NameIndex &&other) noexcept
    : m_slots(std::move(other.m_slots)), m_count(other.m_count)
{
    other.m_slots.clear();
    other.m_count = 0;
}

NameIndex &NameIndex::operator=(NameIndex &&other) noexcept
{
    if (this != &other) {
        m_slots = std::move(other.m_slots);
        m_count = other.m_count;
        other.m_slots.clear();
        other.m_count = 0;
    }
    return *this;
}

size_t NameIndex::hashOf(QStringView text)
{
    return qHash(text);
}

qint64 NameIndex::find(const NameTexts &texts, QStringView text, size_t hash) const
{
    if (m_slots.empty()) return -1;
    const quint32 bits = hashBits(hash);
    for (size_t slot = slotOf(bits);; slot = (slot + 1) & (m_slots.size() - 1)) {
        const quint64 entry = m_slots[slot];
        if (entry == 0) return -1;
        // The texts are compared only where the hashes agree.
        const qint64 id = qint64(quint32(entry)) - 1;
        if (quint32(entry >> 32) == bits && texts.view(id) == text) return id;
    }
}

void NameIndex::insert(quint32 id, size_t hash)
{
    // At most half full: a search then looks at a slot or two.
    if (size_t(m_count + 1) * 2 > m_slots.size()) rehash(std::max<size_t>(64, m_slots.size() * 2));
    place((quint64(hashBits(hash)) << 32) | (quint64(id) + 1));
    ++m_count;
}

void NameIndex::reserve(qsizetype names)
{
    size_t slotCount = 64;
    while (slotCount < size_t(names) * 2)
        slotCount *= 2;
    if (slotCount > m_slots.size()) rehash(slotCount);
}

void NameIndex::rehash(size_t slotCount)
{
    std::vector<quint64> old(slotCount, 0);
    old.swap(m_slots);
    for (const quint64 entry : old)
        if (entry != 0) place(entry);
}

void NameIndex::place(quint64 entry)
{
    size_t slot = slotOf(quint32(entry >> 32));
    while (m_slots[slot] != 0)
        slot = (slot + 1) & (m_slots.size() - 1);
    m_slots[slot] = entry;
}

bool isShapeTrack(const QString &name)
{
    return name.startsWith(QLatin1Char('S'));
}

QString shapePrefix(const QString &name)
{
    qsizetype underscore = name.indexOf(QLatin1Char('_'));
    return underscore < 0 ? name : name.left(underscore);
}

bool isOpenShapeTrack(const QString &name)
{
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    return isShapeTrack(name) && underscore >= 0 &&
           QStringView(name).mid(underscore + 1).startsWith(QLatin1String(openVertexWord));
}

QString openShapeVertexName(int shape, int vertex)
{
    return QStringLiteral("S%1_%2%3")
        .arg(shape, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(openVertexWord))
        .arg(vertex, 4, 10, QLatin1Char('0'));
}

QString shapeVertexName(int shape, int vertex)
{
    if (shape < 0 || vertex < 0)
        return QStringLiteral("S%1_Track_%2")
            .arg(shape, 2, 10, QLatin1Char('0'))
            .arg(vertex, 4, 10, QLatin1Char('0'));
    // Made by hand: readers name a vertex per shape read, a million times.
    char text[40];
    char *p = text;
    auto put = [&p](int value, int width) {
        char digits[12];
        int n = 0;
        do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
        } while (value);
        for (int fill = n; fill < width; ++fill)
            *p++ = '0';
        while (n)
            *p++ = digits[--n];
    };
    *p++ = 'S';
    put(shape, 2);
    std::memcpy(p, "_Track_", 7);
    p += 7;
    put(vertex, 4);
    return QString::fromLatin1(text, p - text);
}

} // namespace corvane
