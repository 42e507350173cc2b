// SPDX-License-Identifier: Apache-2.0
// Renaming tracks: a prefix, a suffix, a regular expression and its
// replacement, or a list of old and new names. A shape's vertex tracks keep
// what makes them its vertices: the shape's name before the first "_"
// (and "Open_" after it for an open shape) stays in front of any prefix.
#include "trackopsrun.h"

#include "table/tracknames.h"

#include <QHash>
#include <QRegularExpression>

namespace corvane {

namespace {

// The length of what marks a vertex of its shape: "S01_", "S04_Open_".
qsizetype vertexMarkLength(const QString &name)
{
    if (!isShapeTrack(name)) return 0;
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    if (underscore < 0) return 0;
    return isOpenShapeTrack(name) ? underscore + 1 + qsizetype(qstrlen(openVertexWord))
                                  : underscore + 1;
}

QString newName(const TrackOperation &op, const QString &name, const QRegularExpression &pattern,
                const QHash<QString, QString> &mapping)
{
    switch (op.kind) {
    case TrackOperationKind::Prefix: {
        const qsizetype mark = vertexMarkLength(name);
        return name.left(mark) + op.text + name.mid(mark);
    }
    case TrackOperationKind::Suffix:
        return name + op.text;
    case TrackOperationKind::Rename: {
        QString out = name;
        return out.replace(pattern, op.replacement);
    }
    default:
        return mapping.value(name, name);
    }
}

} // namespace

void runRename(OperationRun &run)
{
    const TrackOperation &op = run.op;
    const QRegularExpression pattern(op.kind == TrackOperationKind::Rename ? op.text : QString());
    QHash<QString, QString> mapping;
    for (const auto &pair : op.mapping)
        mapping.insert(pair.first, pair.second);

    // Every track's name afterwards; two tracks may not end with one name.
    const size_t tracks = run.trackNames.size();
    std::vector<QString> names(run.trackNames);
    std::vector<char> renamed(tracks, 0);
    int count = 0;
    for (size_t t = 0; t < tracks; ++t) {
        if (!run.selectedTrack[t]) continue;
        const QString &old = run.trackNames[t];
        QString name = newName(op, old, pattern, mapping);
        if (name == old) continue;
        if (name.trimmed().isEmpty()) {
            run.result.error =
                QStringLiteral("track \"%1\" would be left without a name.").arg(old);
            return;
        }
        if (isShapeTrack(old) != isShapeTrack(name) ||
            isOpenShapeTrack(old) != isOpenShapeTrack(name)) {
            run.result.error =
                QStringLiteral("track \"%1\" would be named \"%2\", which makes it %3; a rename "
                               "keeps points points and a shape's vertices its vertices.")
                    .arg(old, name,
                         !isShapeTrack(name)      ? QStringLiteral("a point track")
                         : !isShapeTrack(old)     ? QStringLiteral("a shape's vertex")
                         : isOpenShapeTrack(name) ? QStringLiteral("a vertex of an open shape")
                                                  : QStringLiteral("a vertex of a closed shape"));
            return;
        }
        names[t] = name;
        renamed[t] = 1;
        ++count;
    }
    QHash<QString, size_t> owner;
    QHash<QString, QString> shapeTo, shapeFrom;
    for (size_t t = 0; t < tracks; ++t) {
        auto it = owner.constFind(names[t]);
        if (it != owner.cend()) {
            run.result.error = QStringLiteral("\"%1\" and \"%2\" would both be named \"%3\".")
                                   .arg(run.trackNames[it.value()], run.trackNames[t], names[t]);
            return;
        }
        owner.insert(names[t], t);
        if (!isShapeTrack(names[t])) continue;
        // A shape stays one shape: its vertices go to one new shape, and
        // two shapes do not become one.
        const QString from = shapePrefix(run.trackNames[t]), to = shapePrefix(names[t]);
        const auto to0 = shapeTo.constFind(from);
        if (to0 != shapeTo.cend() && to0.value() != to) {
            run.result.error =
                QStringLiteral("the vertices of shape \"%1\" would go to two shapes, \"%2\" and "
                               "\"%3\".")
                    .arg(from, to0.value(), to);
            return;
        }
        const auto from0 = shapeFrom.constFind(to);
        if (from0 != shapeFrom.cend() && from0.value() != from) {
            run.result.error =
                QStringLiteral("shapes \"%1\" and \"%2\" would both be shape \"%3\".")
                    .arg(from0.value(), from, to);
            return;
        }
        shapeTo.insert(from, to);
        shapeFrom.insert(to, from);
    }

    int keys = 0;
    for (int r = 0; r < run.rowCount(); ++r) {
        if (!renamed[size_t(run.trackOf[size_t(r)])]) continue;
        if (run.view.nameId(r) < 0) {
            run.rowError(r, QStringLiteral("its name cell is not a plain name (a formula or "
                                           "empty), so it cannot be renamed"));
            return;
        }
        ++keys;
    }
    std::vector<qint64> ids(tracks, -1);
    for (int r = 0; run.writing() && r < run.rowCount(); ++r) {
        const size_t t = size_t(run.trackOf[size_t(r)]);
        if (!renamed[t]) continue;
        if (ids[t] < 0) ids[t] = run.table->internName(names[t]);
        run.table->setRowNameId(r, quint32(ids[t]));
    }
    TrackOperationResult &result = run.result;
    result.tracksRenamed = result.tracksChanged = count;
    result.keysChanged = 0; // names change, keys do not
    QString what;
    switch (op.kind) {
    case TrackOperationKind::Prefix:
        what = QStringLiteral("prefix \"%1\"").arg(op.text);
        break;
    case TrackOperationKind::Suffix:
        what = QStringLiteral("suffix \"%1\"").arg(op.text);
        break;
    case TrackOperationKind::Rename:
        what = QStringLiteral("rename /%1/ to \"%2\"").arg(op.text, op.replacement);
        break;
    default:
        what = QStringLiteral("rename from a list of %1")
                   .arg(plural(int(op.mapping.size()), "name", "names"));
        break;
    }
    result.summary = QStringLiteral("%1: %2 renamed (%3)")
                         .arg(what, plural(count, "track", "tracks"), plural(keys, "row", "rows"));
}

} // namespace corvane
