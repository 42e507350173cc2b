// SPDX-License-Identifier: Apache-2.0
// The table's tracks as a picture of them needs them: each track's points
// in frame order, the shapes with their vertex tracks in vertex order, and
// lookups by frame and by place. Built once per change of the table.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

namespace corvane {

class TrackTable;

// Which coordinates: as imported (what Apply converts from) or as shown.
enum class PathValues { Imported, Converted };

// Where the picture puts the rows: each row's point on the plate (pixels
// from its top-left corner, Y down) from the value read, and the frames in
// the values' own numbering. Without it points are drawn as read.
struct PathPlacement
{
    std::function<QPointF(int row, QPointF value)> place;
    int frameShift = 0; // subtracted from the table's frames
};

struct TrackPath
{
    QString name;
    std::vector<int> frames; // ascending
    std::vector<QPointF> points;
    std::vector<int> rows; // the table row of each point
    int shape = -1;        // the shape this track is a vertex of
};

struct ShapeOutline
{
    QString name;
    std::vector<int> vertices; // track indexes, in vertex order
};

class TrackPaths
{
public:
    // Rows whose frame or coordinates are not numbers are left out.
    static TrackPaths build(const TrackTable &table, PathValues values,
                            const PathPlacement &placement = {});

    const std::vector<TrackPath> &tracks() const { return m_tracks; }
    const std::vector<ShapeOutline> &shapes() const { return m_shapes; }
    bool isEmpty() const { return m_tracks.empty(); }
    int firstFrame() const { return m_firstFrame; }
    int lastFrame() const { return m_lastFrame; }
    QRectF bounds() const { return m_bounds; }
    int trackOfRow(int row) const;

    // The track's point at the frame (the later row when two share it).
    bool pointAt(int track, int frame, QPointF *point, int *row = nullptr) const;
    // The same, or between the keys around the frame on a straight line
    // (*key false then); false before the first key and after the last.
    bool pointAtOrBetween(int track, int frame, QPointF *point, bool *key) const;
    // The track with a point at the frame nearest to `at`, else (with
    // pathsToo) the track whose path passes nearest; -1 when none lies
    // within `radius`.
    int trackNear(QPointF at, int frame, double radius, bool pathsToo = true) const;

private:
    void addShapes();

    std::vector<TrackPath> m_tracks;
    std::vector<ShapeOutline> m_shapes;
    std::vector<int> m_trackOfRow;
    int m_firstFrame = 0, m_lastFrame = 0;
    QRectF m_bounds;
};

} // namespace corvane
