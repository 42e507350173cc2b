// SPDX-License-Identifier: Apache-2.0
#include "trackpaths.h"

#include "table/tracknames.h"
#include "table/tracktable.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace corvane {

namespace {

bool readPoint(const TrackTable &table, int r, PathValues values, int *frame, QPointF *point)
{
    bool ok = false;
    *frame = table.frame(r, &ok);
    if (!ok) return false;
    double xy[2];
    for (int c : {XColumn, YColumn}) {
        double &v = xy[c - XColumn];
        if (values == PathValues::Imported && table.hasImportedValue(r)) {
            v = table.importedValue(r, c);
        } else if (!table.numericCoordinate(r, c, &v)) {
            v = table.coordinate(r, c, &ok);
            if (!ok) return false;
        }
        if (!std::isfinite(v)) return false;
    }
    *point = QPointF(xy[0], xy[1]);
    return true;
}

// Points of a track in frame order; rows of one frame keep table order.
void sortByFrame(TrackPath &track)
{
    if (std::is_sorted(track.frames.begin(), track.frames.end())) return;
    std::vector<int> order(track.frames.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return track.frames[size_t(a)] < track.frames[size_t(b)];
    });
    TrackPath sorted;
    for (int i : order) {
        sorted.frames.push_back(track.frames[size_t(i)]);
        sorted.points.push_back(track.points[size_t(i)]);
        sorted.rows.push_back(track.rows[size_t(i)]);
    }
    track.frames.swap(sorted.frames);
    track.points.swap(sorted.points);
    track.rows.swap(sorted.rows);
}

// The vertex number of a shape's vertex track: its last run of digits.
long long vertexNumber(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && !name.at(end - 1).isDigit())
        --end;
    qsizetype begin = end;
    while (begin > 0 && name.at(begin - 1).isDigit() && end - begin < 18)
        --begin;
    return begin < end ? name.mid(begin, end - begin).toLongLong() : -1;
}

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const double length2 = QPointF::dotProduct(ab, ab);
    double t = length2 > 0 ? QPointF::dotProduct(p - a, ab) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::hypot(d.x(), d.y());
}

} // namespace

TrackPaths TrackPaths::build(const TrackTable &table, PathValues values,
                             const PathPlacement &placement)
{
    TrackPaths paths;
    const int rows = table.rowCount();
    paths.m_trackOfRow.assign(size_t(rows), -1);
    std::vector<int> trackOfName; // by interned name
    QHash<QString, int> trackOfText;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    for (int r = 0; r < rows; ++r) {
        int frame = 0;
        QPointF point;
        if (!readPoint(table, r, values, &frame, &point)) continue;
        if (placement.place) {
            point = placement.place(r, point);
            if (!std::isfinite(point.x()) || !std::isfinite(point.y())) continue;
        }
        frame -= placement.frameShift;
        int *slot = nullptr;
        const qint64 id = table.nameId(r);
        if (id >= 0) {
            if (size_t(id) >= trackOfName.size()) trackOfName.resize(size_t(id) + 1, -1);
            slot = &trackOfName[size_t(id)];
        } else {
            const QString name = table.name(r);
            auto it = trackOfText.find(name);
            if (it == trackOfText.end()) it = trackOfText.insert(name, -1);
            slot = &it.value();
        }
        if (*slot < 0) {
            *slot = int(paths.m_tracks.size());
            paths.m_tracks.push_back(TrackPath());
            paths.m_tracks.back().name = id >= 0 ? table.nameOfId(quint32(id)) : table.name(r);
        }
        TrackPath &track = paths.m_tracks[size_t(*slot)];
        track.frames.push_back(frame);
        track.points.push_back(point);
        track.rows.push_back(r);
        paths.m_trackOfRow[size_t(r)] = *slot;
        if (!any) {
            minX = maxX = point.x();
            minY = maxY = point.y();
            paths.m_firstFrame = paths.m_lastFrame = frame;
            any = true;
        }
        minX = std::min(minX, point.x());
        maxX = std::max(maxX, point.x());
        minY = std::min(minY, point.y());
        maxY = std::max(maxY, point.y());
        paths.m_firstFrame = std::min(paths.m_firstFrame, frame);
        paths.m_lastFrame = std::max(paths.m_lastFrame, frame);
    }
    for (TrackPath &track : paths.m_tracks)
        sortByFrame(track);
    paths.m_bounds = QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
    paths.addShapes();
    return paths;
}

void TrackPaths::addShapes()
{
    QHash<QString, int> shapeOf;
    for (size_t t = 0; t < m_tracks.size(); ++t) {
        const QString &name = m_tracks[t].name;
        if (!isShapeTrack(name) || !name.contains(QLatin1Char('_'))) continue;
        const QString prefix = shapePrefix(name);
        auto it = shapeOf.find(prefix);
        if (it == shapeOf.end()) {
            it = shapeOf.insert(prefix, int(m_shapes.size()));
            m_shapes.push_back({prefix, {}});
        }
        m_shapes[size_t(it.value())].vertices.push_back(int(t));
        m_tracks[t].shape = it.value();
    }
    for (ShapeOutline &shape : m_shapes)
        std::stable_sort(shape.vertices.begin(), shape.vertices.end(), [&](int a, int b) {
            return vertexNumber(m_tracks[size_t(a)].name) < vertexNumber(m_tracks[size_t(b)].name);
        });
}

int TrackPaths::trackOfRow(int row) const
{
    return row >= 0 && size_t(row) < m_trackOfRow.size() ? m_trackOfRow[size_t(row)] : -1;
}

bool TrackPaths::pointAt(int track, int frame, QPointF *point, int *row) const
{
    if (track < 0 || size_t(track) >= m_tracks.size()) return false;
    const TrackPath &t = m_tracks[size_t(track)];
    auto it = std::upper_bound(t.frames.begin(), t.frames.end(), frame);
    if (it == t.frames.begin() || *(it - 1) != frame) return false;
    const size_t i = size_t(it - t.frames.begin()) - 1;
    *point = t.points[i];
    if (row) *row = t.rows[i];
    return true;
}

bool TrackPaths::pointAtOrBetween(int track, int frame, QPointF *point, bool *key) const
{
    if (pointAt(track, frame, point)) {
        *key = true;
        return true;
    }
    *key = false;
    if (track < 0 || size_t(track) >= m_tracks.size()) return false;
    const TrackPath &t = m_tracks[size_t(track)];
    auto after = std::upper_bound(t.frames.begin(), t.frames.end(), frame);
    if (after == t.frames.begin() || after == t.frames.end()) return false;
    const size_t i = size_t(after - t.frames.begin());
    const double f = double(frame - t.frames[i - 1]) / double(t.frames[i] - t.frames[i - 1]);
    *point = t.points[i - 1] + f * (t.points[i] - t.points[i - 1]);
    return true;
}

int TrackPaths::trackNear(QPointF at, int frame, double radius, bool pathsToo) const
{
    int best = -1;
    double bestDistance = radius;
    for (size_t t = 0; t < m_tracks.size(); ++t) {
        QPointF p;
        if (!pointAt(int(t), frame, &p)) continue;
        const double d = std::hypot(p.x() - at.x(), p.y() - at.y());
        if (d <= bestDistance) {
            bestDistance = d;
            best = int(t);
        }
    }
    if (best >= 0 || !pathsToo) return best;
    for (size_t t = 0; t < m_tracks.size(); ++t) {
        const std::vector<QPointF> &points = m_tracks[t].points;
        for (size_t i = 0; i < points.size(); ++i) {
            const QPointF next = i + 1 < points.size() ? points[i + 1] : points[i];
            const double d = distanceToSegment(at, points[i], next);
            if (d <= bestDistance) {
                bestDistance = d;
                best = int(t);
            }
        }
    }
    return best;
}

} // namespace corvane
