// SPDX-License-Identifier: Apache-2.0
#include "shapes.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <tuple>

namespace corvane {

ShapeRows collectShapeRows(WriteContext &ctx)
{
    ShapeRows out;
    const int count = ctx.exportRowCount();
    out.rows.reserve(size_t(count));
    // Names are told apart by the table's interned ids (no text compares);
    // once a row without one comes (a formula, say), by their texts too.
    std::vector<int> byNameId;
    QHash<QString, int> byText;
    bool byTexts = false;
    auto idOf = [&](const ExportRow &row) {
        const qint64 nameId = row.nameId();
        if (nameId >= 0 && size_t(nameId) < byNameId.size() && byNameId[size_t(nameId)] >= 0)
            return byNameId[size_t(nameId)];
        if (nameId < 0 && !byTexts) {
            byTexts = true;
            for (size_t i = 0; i < out.names.size(); ++i)
                byText.insert(out.names[i], int(i));
        }
        int id = byTexts ? byText.value(row.name, -1) : -1;
        if (id < 0) {
            id = int(out.names.size());
            out.names.push_back(row.name);
            if (byTexts) byText.insert(row.name, id);
        }
        if (nameId >= 0) {
            if (size_t(nameId) >= byNameId.size())
                byNameId.resize(std::max(size_t(nameId) + 1, byNameId.size() * 2), -1);
            byNameId[size_t(nameId)] = id;
        }
        return id;
    };
    for (int k = 0; k < count; ++k) {
        ExportRow row = ctx.exportRow(k);
        if (!isShapeTrack(row.name)) {
            ++out.pointRows;
            continue;
        }
        out.rows.push_back({idOf(row), row.frame, row.x(), row.y()});
    }
    return out;
}

namespace {

// The first eight UTF-16 units of a text, zero-filled, as two numbers that
// order as the texts do; equal keys leave the texts to be compared.
struct TextKey
{
    quint64 high = 0, low = 0;

    explicit TextKey(QStringView text)
    {
        for (qsizetype i = 0; i < 8; ++i) {
            const quint64 unit = i < text.size() ? text[i].unicode() : 0;
            (i < 4 ? high : low) |= unit << (16 * (3 - i % 4));
        }
    }
    int compare(const TextKey &other) const
    {
        if (high != other.high) return high < other.high ? -1 : 1;
        if (low != other.low) return low < other.low ? -1 : 1;
        return 0;
    }
};

// The names of a save's shape rows, parsed once each: their shape's prefix
// (the text before the first "_") and the names ordered by prefix, then by
// the whole name.
struct NameOrder
{
    std::vector<int> prefixLength;
    std::vector<int> byName;

    explicit NameOrder(const std::vector<QString> &names)
    {
        // Each name's key beside its id: most pairs differ in their prefix's
        // first characters and are told apart without looking up the texts.
        struct Keyed
        {
            TextKey key;
            int id;
        };
        prefixLength.resize(names.size());
        std::vector<Keyed> keyed;
        keyed.reserve(names.size());
        for (size_t id = 0; id < names.size(); ++id) {
            const qsizetype underscore = names[id].indexOf(QLatin1Char('_'));
            prefixLength[id] = int(underscore < 0 ? names[id].size() : underscore);
            keyed.push_back({TextKey(prefix(names, int(id))), int(id)});
        }
        std::sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
            const int byKey = a.key.compare(b.key);
            if (byKey != 0) return byKey < 0;
            const int byPrefix = prefix(names, a.id).compare(prefix(names, b.id));
            return byPrefix != 0 ? byPrefix < 0
                                 : QString::compare(names[size_t(a.id)], names[size_t(b.id)]) < 0;
        });
        byName.reserve(keyed.size());
        for (const Keyed &k : keyed)
            byName.push_back(k.id);
    }
    QStringView prefix(const std::vector<QString> &names, int id) const
    {
        return QStringView(names[size_t(id)]).left(prefixLength[size_t(id)]);
    }
};

struct RowKey
{
    int prefix, frame, name, row;
};

// Rows by shape, frame, vertex, then export order: counted out by shape
// (a million one-row shapes need no comparing), then each shape's rows sorted.
std::vector<RowKey> rowsInOrder(const std::vector<ShapeRow> &rows,
                                const std::vector<int> &prefixRank,
                                const std::vector<int> &nameRank, size_t shapes)
{
    std::vector<size_t> starts(shapes + 1, 0);
    for (const ShapeRow &row : rows)
        ++starts[size_t(prefixRank[size_t(row.name)]) + 1];
    for (size_t s = 0; s < shapes; ++s)
        starts[s + 1] += starts[s];
    std::vector<RowKey> keys(rows.size());
    std::vector<size_t> fill(starts.begin(), starts.end() - 1);
    for (size_t i = 0; i < rows.size(); ++i) {
        const int prefix = prefixRank[size_t(rows[i].name)];
        keys[fill[size_t(prefix)]++] = {prefix, rows[i].frame, nameRank[size_t(rows[i].name)],
                                        int(i)};
    }
    auto before = [](const RowKey &a, const RowKey &b) {
        return std::tie(a.frame, a.name, a.row) < std::tie(b.frame, b.name, b.row);
    };
    for (size_t s = 0; s < shapes; ++s)
        if (starts[s + 1] - starts[s] > 1 &&
            !std::is_sorted(keys.begin() + long(starts[s]), keys.begin() + long(starts[s + 1]),
                            before))
            std::sort(keys.begin() + long(starts[s]), keys.begin() + long(starts[s + 1]), before);
    return keys;
}

} // namespace

SortedShapes sortShapeRows(const ShapeRows &collected)
{
    SortedShapes out;
    out.pointRows = collected.pointRows;
    const std::vector<ShapeRow> &rows = collected.rows;
    const std::vector<QString> &names = collected.names;
    const NameOrder order(names);
    auto prefix = [&](int id) { return order.prefix(names, id); };
    const std::vector<int> &byName = order.byName;

    // Each name's shape, its place among the shape's vertices, and its rank.
    std::vector<int> prefixRank(names.size()), vertexIndex(names.size()), nameRank(names.size());
    std::vector<int> verticesOfPrefix;
    verticesOfPrefix.reserve(names.size());
    for (size_t i = 0; i < byName.size(); ++i) {
        const int id = byName[i];
        if (i == 0 || prefix(byName[i - 1]) != prefix(id)) verticesOfPrefix.push_back(0);
        prefixRank[size_t(id)] = int(verticesOfPrefix.size()) - 1;
        vertexIndex[size_t(id)] = verticesOfPrefix.back()++;
        nameRank[size_t(id)] = int(i);
    }
    // A shape is open when any of its vertices is named so.
    std::vector<char> openPrefix(verticesOfPrefix.size(), 0);
    for (size_t id = 0; id < names.size(); ++id)
        if (isOpenShapeTrack(names[id])) openPrefix[size_t(prefixRank[id])] = 1;

    const std::vector<RowKey> keys =
        rowsInOrder(rows, prefixRank, nameRank, verticesOfPrefix.size());
    out.vertexCounts.reserve(verticesOfPrefix.size());
    out.open.reserve(verticesOfPrefix.size());
    out.keyStarts.reserve(verticesOfPrefix.size() + 1);
    out.keyFrames.reserve(keys.size());
    out.pointStarts.reserve(keys.size() + 1);
    out.pointVertices.reserve(keys.size());
    out.pointX.reserve(keys.size());
    out.pointY.reserve(keys.size());
    int shape = -1;
    for (size_t i = 0; i < keys.size(); ++i) {
        const RowKey &k = keys[i];
        // Of two rows of one vertex and frame, the later wins.
        if (i + 1 < keys.size() && keys[i + 1].prefix == k.prefix && keys[i + 1].frame == k.frame &&
            keys[i + 1].name == k.name) {
            ++out.repeatedRows;
            continue;
        }
        const bool newShape = k.prefix != shape;
        if (newShape) {
            if (shape >= 0) out.keyStarts.push_back(out.keyFrames.size());
            shape = k.prefix;
            out.vertexCounts.push_back(verticesOfPrefix[size_t(shape)]);
            out.open.push_back(openPrefix[size_t(shape)]);
            if (out.open.back())
                out.openPrefixes.push_back(prefix(rows[size_t(k.row)].name).toString());
        }
        if (newShape || out.keyFrames.back() != k.frame) {
            if (!out.keyFrames.empty()) out.pointStarts.push_back(out.pointVertices.size());
            out.keyFrames.push_back(k.frame);
        }
        const ShapeRow &row = rows[size_t(k.row)];
        out.pointVertices.push_back(vertexIndex[size_t(row.name)]);
        out.pointX.push_back(row.x);
        out.pointY.push_back(row.y);
    }
    if (shape >= 0) {
        out.keyStarts.push_back(out.keyFrames.size());
        out.pointStarts.push_back(out.pointVertices.size());
    }
    return out;
}

void noteShapeSave(WriteContext &ctx, int pointRows, int repeatedRows)
{
    ctx.rowsLeftOut += pointRows + repeatedRows;
    if (pointRows > 0)
        ctx.note(QStringLiteral("%1 rows of point tracks were not written: the format holds "
                                "shapes only.")
                     .arg(pointRows));
    if (repeatedRows > 0)
        ctx.note(QStringLiteral("%1 rows were left out: a later row gives the same vertex at "
                                "the same frame.")
                     .arg(repeatedRows));
}

void noteOpenShapesClosed(WriteContext &ctx, const std::vector<QString> &openPrefixes,
                          const QString &reason)
{
    if (openPrefixes.empty()) return;
    constexpr size_t listed = 10;
    QStringList names;
    for (size_t i = 0; i < openPrefixes.size() && i < listed; ++i)
        names << openPrefixes[i];
    if (openPrefixes.size() > listed) names << QStringLiteral("\u2026");
    const bool one = openPrefixes.size() == 1;
    ctx.note(QStringLiteral("%1 open %2 (%3) %4 written closed: %5")
                 .arg(openPrefixes.size())
                 .arg(one ? QStringLiteral("shape") : QStringLiteral("shapes"),
                      names.join(QStringLiteral(", ")),
                      one ? QStringLiteral("was") : QStringLiteral("were"), reason));
}

void appendKeyPoints(ByteAppender &out, const SortedShapes &sorted, size_t key,
                     std::string_view before, std::string_view between, std::string_view after)
{
    for (size_t p = sorted.pointStarts[key]; p < sorted.pointStarts[key + 1]; ++p) {
        out.append(before.data(), qsizetype(before.size()));
        out.appendFixedExact(sorted.pointX[p]);
        out.append(between.data(), qsizetype(between.size()));
        out.appendFixedExact(sorted.pointY[p]);
        out.append(after.data(), qsizetype(after.size()));
    }
}

} // namespace corvane
