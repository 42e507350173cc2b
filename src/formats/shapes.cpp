#include "shapes.h"

#include <algorithm>
#include <numeric>

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
    for (int k = 0; k < count; ++k) {
        ExportRow row = ctx.exportRow(k);
        if (!isShapeTrack(row.name)) {
            ++out.pointRows;
            continue;
        }
        out.rows.push_back({row.name, row.frame, row.x(), row.y()});
    }
    return out;
}

SortedShapes sortShapeRows(const ShapeRows &collected)
{
    SortedShapes out;
    out.pointRows = collected.pointRows;
    const std::vector<ShapeRow> &rows = collected.rows;
    std::vector<QString> prefixes;
    prefixes.reserve(rows.size());
    for (const ShapeRow &r : rows)
        prefixes.push_back(shapePrefix(r.name));
    // Shape, frame, vertex name; among equal ones the later row comes last and wins.
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (int c = QString::compare(prefixes[a], prefixes[b])) return c < 0;
        if (rows[a].frame != rows[b].frame) return rows[a].frame < rows[b].frame;
        return QString::compare(rows[a].name, rows[b].name) < 0;
    });
    // Keep the last row of each vertex and frame.
    std::vector<size_t> kept;
    kept.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t k = order[i], next = i + 1 < order.size() ? order[i + 1] : k;
        if (next != k && rows[next].frame == rows[k].frame && rows[next].name == rows[k].name &&
            prefixes[next] == prefixes[k])
            ++out.repeatedRows;
        else
            kept.push_back(k);
    }
    // Shapes in prefix order, each with its vertex names, then its keys.
    for (size_t begin = 0; begin < kept.size();) {
        size_t end = begin;
        while (end < kept.size() && prefixes[kept[end]] == prefixes[kept[begin]])
            ++end;
        Shape shape;
        shape.prefix = prefixes[kept[begin]];
        for (size_t i = begin; i < end; ++i)
            shape.vertices.push_back(rows[kept[i]].name);
        auto less = [](const QString &a, const QString &b) { return QString::compare(a, b) < 0; };
        std::sort(shape.vertices.begin(), shape.vertices.end(), less);
        shape.vertices.erase(std::unique(shape.vertices.begin(), shape.vertices.end()),
                             shape.vertices.end());
        for (size_t i = begin; i < end; ++i) {
            const ShapeRow &r = rows[kept[i]];
            if (shape.keys.empty() || shape.keys.back().frame != r.frame)
                shape.keys.push_back({r.frame, {}, {}, {}});
            ShapeKey &key = shape.keys.back();
            key.vertices.push_back(int(std::lower_bound(shape.vertices.begin(),
                                                        shape.vertices.end(), r.name, less) -
                                       shape.vertices.begin()));
            key.x.push_back(r.x);
            key.y.push_back(r.y);
        }
        out.shapes.push_back(std::move(shape));
        begin = end;
    }
    return out;
}

void noteShapeSave(WriteContext &ctx, int pointRows, int repeatedRows)
{
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
