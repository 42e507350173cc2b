// SPDX-License-Identifier: Apache-2.0
// How the track table stores a row, shared by the files that make up the
// table (its cells, its attributes, its row order); no one else includes it.
#pragma once

#include "tracktable.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace corvane {

enum RowFlag : quint8 {
    // bits 0..3: the text of column c is made from the row's numbers
    HasImported = 1 << 4,   // tool tips of columns 2 and 3 hold the imported values
    HasPixel = 1 << 5,      // status tips of columns 2 and 3 hold the pixel values
    ImportedStyle = 1 << 6, // every cell centred, as the import makes them
    Converted = 1 << 7,     // the shown X and Y are the last Apply's result
};

constexpr quint8 textFromNumbers(int column)
{
    return quint8(1u << column);
}

// What Apply sets on a row it converts (storeValues and storeFrame).
constexpr quint8 AppliedFlags = textFromNumbers(FrameColumn) | textFromNumbers(XColumn) |
                                textFromNumbers(YColumn) | HasPixel | Converted;

enum BackgroundCode : quint8 {
    NoBackground = 0,
    ColumnBackground = 1,
    MarkBackground = 2,
    CustomBackground = 3
};

inline bool isCoordinate(int column)
{
    return column == XColumn || column == YColumn;
}

struct TrackTable::CellExtra
{
    QString text;               // the cell's text when not made from numbers; a formula's source
    QHash<int, QVariant> roles; // other roles set on the item
    Rgba background;            // with CustomBackground
    mutable QVariant result;    // a formula's last value
    mutable quint64 evaluatedAt = 0;
};

struct TrackTable::RowExtra
{
    CellExtra cells[TrackColumnCount];
    QString note; // what made the row (see TrackTable::setRowNote)
};

// A row's rare attributes live in its owner's store (the table's, or a
// row block's), found by slot number: a row stays 32 bytes.
// About what one row's rare attributes take (tips, colours, formulas).
constexpr qint64 ExtraBytes = 256;

struct TrackTable::ExtraStore
{
    std::vector<std::unique_ptr<RowExtra>> entries;
    std::vector<quint32> unused;

    quint32 add(std::unique_ptr<RowExtra> extra)
    {
        if (!extra) return 0;
        if (!unused.empty()) {
            const quint32 slot = unused.back();
            unused.pop_back();
            entries[slot] = std::move(extra);
            return slot + 1;
        }
        entries.push_back(std::move(extra));
        return quint32(entries.size());
    }
    std::unique_ptr<RowExtra> take(quint32 id)
    {
        if (id == 0) return nullptr;
        unused.push_back(id - 1);
        return std::move(entries[id - 1]);
    }
    RowExtra *get(quint32 id) const { return id ? entries[id - 1].get() : nullptr; }
};

struct TrackTable::Row
{
    double value[2] = {0, 0}; // X and Y as shown
    qint32 frameNumber = 0;
    quint32 nameId = 0;
    quint32 extra = 0;      // slot in the owner's ExtraStore; 0: none
    quint8 source = 0;      // what's-this of the coordinate cells; ByRule
    quint8 kinds = 0;       // CellKind, two bits per column
    quint8 backgrounds = 0; // BackgroundCode, two bits per column
    quint8 flags = 0;

    CellKind kind(int c) const { return CellKind((kinds >> (2 * c)) & 3); }
    BackgroundCode backgroundCode(int c) const
    {
        return BackgroundCode((backgrounds >> (2 * c)) & 3);
    }
    void setBackgroundCode(int c, BackgroundCode code)
    {
        backgrounds = quint8((backgrounds & ~(3u << (2 * c))) | (unsigned(code) << (2 * c)));
    }
    bool fromNumbers(int c) const { return flags & textFromNumbers(c); }
    // No rare attributes, and its frame and coordinates are plain items:
    // all Apply changes of it is in the row itself.
    bool plainPoint() const
    {
        return extra == 0 && kind(FrameColumn) == CellKind::Item &&
               kind(XColumn) == CellKind::Item && kind(YColumn) == CellKind::Item;
    }

    // A row that shows by the table's rule holds its imported values as
    // `value`: what it shows is made from them (TrackTable::ShownRule).
    static constexpr quint8 ByRule = 0x80;
    int sourceId() const { return source & ~ByRule; }
    bool byRule() const { return source & ByRule; }
};

static_assert(sizeof(TrackTable::Row) <= 32, "a million rows must stay within 32 MB");

// The values a row shows until an Apply or an edit sets them apart: an
// imported row's source and pixel values are its shown ones, so they are
// kept beside the rows only from the first row that differs. A row that
// shows by the table's rule has its points made by the rule; what is kept
// for it here means nothing.
struct TrackTable::RowPoints
{
    // Left as they are when made by a large array's growth: every place
    // that makes points fills them.
    double imported[2]; // the imported values (tool tips)
    double pixel[2];    // pixels from the top-left (status tips)

    static RowPoints of(const Row &row)
    {
        return {{row.value[0], row.value[1]}, {row.value[0], row.value[1]}};
    }
    // Whether these are the points `of` the row (to the bit).
    static bool sameAs(const RowPoints &points, const Row &row)
    {
        const RowPoints own = of(row);
        return std::memcmp(&points, &own, sizeof own) == 0;
    }
};

// Rows [0, points.size()) have their points there; the later rows' points
// are their values.
template <typename Rows, typename Points>
void extendPoints(const Rows &rows, Points &points, size_t end)
{
    end = std::min(end, rows.size());
    if (points.size() >= end) return;
    // Room for all at once: a large array's pages are touched only as filled.
    if (points.capacity() < end) points.reserve(rows.size());
    for (size_t r = points.size(); r < end; ++r)
        points.push_back(TrackTable::RowPoints::of(rows[r]));
}

// Appends a row with its points (null: its values) to rows and points.
template <typename Rows, typename Points>
void appendRow(Rows &rows, Points &points, const TrackTable::Row &row,
               const TrackTable::RowPoints *its)
{
    if (its || !points.empty()) {
        extendPoints(rows, points, rows.size());
        points.push_back(its ? *its : TrackTable::RowPoints::of(row));
    }
    rows.push_back(row);
}

} // namespace corvane
