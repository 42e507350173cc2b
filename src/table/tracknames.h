// SPDX-License-Identifier: Apache-2.0
// The rules track names follow. Shape tracks: a track whose name begins with
// "S" is one vertex of a shape, and the text before its first "_" names the
// shape ("S01_Track_0003" is a vertex of shape "S01").
//
// And the store of a table's interned names: every name's characters in
// one buffer, found by id or by text through a table of ids, so that a
// name costs about its characters and a few numbers, not a string and a
// hash node of its own.
#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace corvane {

// Names by id, from 0, in the order they came; a name's text never changes.
class NameTexts
{
public:
    NameTexts();
    NameTexts(const NameTexts &other);
    NameTexts(NameTexts &&other) noexcept;
    NameTexts &operator=(const NameTexts &other);
    NameTexts &operator=(NameTexts &&other) noexcept;

    qsizetype size() const { return qsizetype(m_starts.size()) - 1; }
    QStringView view(qsizetype id) const
    {
        const size_t at = size_t(m_starts[size_t(id)]);
        return QStringView(m_text.data() + at, m_starts[size_t(id) + 1] - qsizetype(at));
    }
    // A copy of the name (null for an id out of range, or for a name that
    // came as a null text). The last one made on a thread is kept: rows of
    // one track ask for the same name one after another.
    QString value(qsizetype id) const;
    bool isEmptyAt(qsizetype id) const
    {
        return id < 0 || id >= size() || m_starts[size_t(id)] == m_starts[size_t(id) + 1];
    }
    qsizetype append(const QString &name); // its id
    void reserve(qsizetype names);
    qsizetype capacity() const { return qsizetype(m_starts.capacity()) - 1; }

    // The names as strings that refer to the store's characters (valid
    // while it is unchanged), for sums over them.
    class Iterator
    {
    public:
        Iterator(const NameTexts *texts, qsizetype id) : m_texts(texts), m_id(id) {}
        QString operator*() const;
        Iterator &operator++()
        {
            ++m_id;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return m_id != other.m_id; }

    private:
        const NameTexts *m_texts;
        qsizetype m_id;
    };
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, size()); }

private:
    void clearAfterMove();

    std::vector<char16_t> m_text;
    std::vector<qsizetype> m_starts{0}; // name i is m_text[starts[i]] up to starts[i + 1]
    qsizetype m_nullId = -1;            // the name that came as a null text, if any
    // Names a thread made copies of are told apart by this: no two stores
    // have the same one, and one that is changed whole takes a new one.
    quint64 m_serial;
};

// The ids of a NameTexts by their texts.
class NameIndex
{
public:
    NameIndex() = default;
    NameIndex(const NameIndex &) = default;
    NameIndex(NameIndex &&other) noexcept;
    NameIndex &operator=(const NameIndex &) = default;
    NameIndex &operator=(NameIndex &&other) noexcept;

    // The id of text, or -1; hash is hashOf(text).
    qint64 find(const NameTexts &texts, QStringView text, size_t hash) const;
    // A new name's id, under its hash.
    void insert(quint32 id, size_t hash);
    // Room for this many names in all.
    void reserve(qsizetype names);
    qsizetype capacity() const { return qsizetype(m_slots.size() / 2); }
    static size_t hashOf(QStringView text);

private:
    static quint32 hashBits(size_t hash) { return quint32(hash ^ (quint64(hash) >> 32)); }
    size_t slotOf(quint32 bits) const { return bits & (m_slots.size() - 1); }
    void rehash(size_t slotCount);
    void place(quint64 entry);

    // A name's hash bits above its id + 1, 0 when free; a power of two of them.
    std::vector<quint64> m_slots;
    qsizetype m_count = 0;
};

bool isShapeTrack(const QString &name);
// The text before the first "_" (the whole name when it has none).
QString shapePrefix(const QString &name);

// The name a shape reader gives vertex `vertex` of shape `shape` (both from
// 1): "S01_Track_0001"; the numbers are zero-filled to two and four digits.
QString shapeVertexName(int shape, int vertex);

// An open shape (a paint stroke, an open spline: its last vertex does not
// join its first) is told by its vertices' names, whose part after the
// prefix begins with "Open_": "S04_Open_0001". Every other shape is closed.
constexpr const char *openVertexWord = "Open_";
bool isOpenShapeTrack(const QString &name);
// "S04_Open_0001", numbered as shapeVertexName numbers.
QString openShapeVertexName(int shape, int vertex);

} // namespace corvane
