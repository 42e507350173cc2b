// SPDX-License-Identifier: Apache-2.0
#include "shapes.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <tuple>

namespace corvane {

bool isShapeTrack(const QString &name)
{
    return name.startsWith(QLatin1Char('S'));
}

QString shapePrefix(const QString &name)
{
    qsizetype underscore = name.indexOf(QLatin1Char('_'));
    return underscore < 0 ? name : name.left(underscore);
}

QString shapeVertexName(int shape, int vertex)
{
    return QStringLiteral("S%1_Track_%2")
        .arg(shape, 2, 10, QLatin1Char('0'))
        .arg(vertex, 4, 10, QLatin1Char('0'));
}

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

SortedShapes sortShapeRows(const ShapeRows &collected)
{
    SortedShapes out;
    out.pointRows = collected.pointRows;
    const std::vector<ShapeRow> &rows = collected.rows;
    const std::vector<QString> &names = collected.names;

    // Ranks of the names and of their shapes' prefixes, in text order, so that
    // rows sort by numbers: shape, frame, vertex, then export order.
    auto less = [](const QString &a, const QString &b) { return QString::compare(a, b) < 0; };
    std::vector<int> byName(names.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::sort(byName.begin(), byName.end(),
              [&](int a, int b) { return less(names[size_t(a)], names[size_t(b)]); });
    std::vector<int> nameRank(names.size()), prefixRank(names.size());
    std::vector<QString> prefixes;
    for (size_t i = 0; i < byName.size(); ++i) {
        const int id = byName[i];
        nameRank[size_t(id)] = int(i);
        QString prefix = shapePrefix(names[size_t(id)]);
        if (prefixes.empty() || prefixes.back() != prefix) prefixes.push_back(prefix);
    }
    std::sort(prefixes.begin(), prefixes.end(), less);
    prefixes.erase(std::unique(prefixes.begin(), prefixes.end()), prefixes.end());
    for (size_t id = 0; id < names.size(); ++id)
        prefixRank[id] =
            int(std::lower_bound(prefixes.begin(), prefixes.end(), shapePrefix(names[id]), less) -
                prefixes.begin());

    // Each shape's vertices, and each name's place among them.
    std::vector<std::vector<QString>> verticesOf(prefixes.size());
    std::vector<int> vertexIndex(names.size());
    for (int id : byName) {
        std::vector<QString> &vertices = verticesOf[size_t(prefixRank[size_t(id)])];
        vertexIndex[size_t(id)] = int(vertices.size());
        vertices.push_back(names[size_t(id)]);
    }

    struct Key
    {
        int prefix, frame, name, row;
    };
    std::vector<Key> keys(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys[i] = {prefixRank[size_t(rows[i].name)], rows[i].frame, nameRank[size_t(rows[i].name)],
                   int(i)};
    std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        return std::tie(a.prefix, a.frame, a.name, a.row) <
               std::tie(b.prefix, b.frame, b.name, b.row);
    });

    for (size_t i = 0; i < keys.size(); ++i) {
        const Key &k = keys[i];
        // Of two rows of one vertex and frame, the later wins.
        if (i + 1 < keys.size() && keys[i + 1].prefix == k.prefix && keys[i + 1].frame == k.frame &&
            keys[i + 1].name == k.name) {
            ++out.repeatedRows;
            continue;
        }
        if (out.shapes.empty() || out.shapes.back().prefix != prefixes[size_t(k.prefix)])
            out.shapes.push_back(
                {prefixes[size_t(k.prefix)], std::move(verticesOf[size_t(k.prefix)]), {}});
        Shape &shape = out.shapes.back();
        if (shape.keys.empty() || shape.keys.back().frame != k.frame)
            shape.keys.push_back({k.frame, {}, {}, {}});
        ShapeKey &key = shape.keys.back();
        key.vertices.push_back(vertexIndex[size_t(rows[size_t(k.row)].name)]);
        key.x.push_back(rows[size_t(k.row)].x);
        key.y.push_back(rows[size_t(k.row)].y);
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

} // namespace corvane
