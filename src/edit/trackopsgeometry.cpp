// SPDX-License-Identifier: Apache-2.0
// Operations on coordinates, in the plate's pixel space (pixels from its
// top-left corner, Y down): shift, scale, reformat, flip, flop, crop, pad
// and the lens model.
#include "trackopsrun.h"

#include "table/parallel.h"

#include <cmath>
#include <limits>

namespace corvane {

namespace {

using K = TrackOperationKind;

bool changesPlate(K kind)
{
    return kind == K::Scale || kind == K::Reformat || kind == K::Crop || kind == K::Pad;
}

bool needsPlate(K kind)
{
    return kind != K::Shift && kind != K::Scale;
}

// What the operation does to one point, and to the plate.
struct PointMove
{
    K kind;
    double ax = 1, ay = 1, bx = 0, by = 0; // x' = ax x + bx, y' = ay y + by
    double k = 0, kCube = 0;
    PlateSize from, to;

    bool move(double &x, double &y) const
    {
        if (kind == K::LensDistort || kind == K::LensUndistort)
            return lensDistortPoint(x, y, from, k, kCube, kind == K::LensUndistort);
        x = ax == 1 ? x + bx : x * ax + bx;
        y = ay == 1 ? y + by : y * ay + by;
        return true;
    }
};

QString plateText(PlateSize p)
{
    return QStringLiteral("%1x%2").arg(p.width).arg(p.height);
}

} // namespace

bool lensDistortPoint(double &x, double &y, PlateSize plate, double k, double kCube, bool remove)
{
    if (plate.width < 2 || plate.height < 2) return false;
    // -1..+1 through the centres of the edge pixels; X in units of Y.
    const double halfW = (plate.width - 1) * 0.5, halfH = (plate.height - 1) * 0.5;
    const double aspect = double(plate.width) / plate.height;
    const double u = ((x - 0.5) / halfW - 1.0) * aspect, v = (y - 0.5) / halfH - 1.0;
    const double r = std::sqrt(u * u + v * v);
    double factor = 1.0;
    if (!remove) {
        factor = 1.0 + r * r * (k + kCube * r);
    } else if (r > 0) {
        // The undistorted radius s solves s (1 + s² (k + kCube s)) = r:
        // Newton's method from s = r, while the model keeps growing outwards.
        double s = r;
        bool converged = false;
        for (int i = 0; i < 100; ++i) {
            const double g = s + s * s * s * (k + kCube * s) - r;
            const double slope = 1.0 + s * s * (3 * k + 4 * kCube * s);
            if (!(slope > 0)) return false;
            const double step = g / slope;
            s -= step;
            if (!(s >= 0) || !std::isfinite(s)) return false;
            if (std::abs(step) <= 1e-15 * std::max(1.0, s)) {
                converged = true;
                break;
            }
        }
        if (!converged || std::abs(s + s * s * s * (k + kCube * s) - r) > 1e-9 * std::max(r, 1e-3))
            return false;
        factor = s / r;
    }
    const double ud = u * factor, vd = v * factor;
    x = (ud / aspect + 1.0) * halfW + 0.5;
    y = (vd + 1.0) * halfH + 0.5;
    return std::isfinite(x) && std::isfinite(y);
}

void runGeometry(OperationRun &run)
{
    const TrackOperation &op = run.op;
    TrackOperationResult &result = run.result;
    const PlateSize plate = run.plate;
    PointMove m{op.kind, 1, 1, 0, 0, op.k, op.kCube, plate, plate};
    QString what;
    if (changesPlate(op.kind) && !run.everyTrack()) {
        result.error = QStringLiteral("it changes the plate, so it works on every track, not on "
                                      "a selection.");
        return;
    }
    if (needsPlate(op.kind) && !plate.known()) {
        result.plateMissing = true;
        result.error = QStringLiteral("it needs the plate size, which the tracks do not state.");
        return;
    }
    const bool lens = op.kind == K::LensDistort || op.kind == K::LensUndistort;
    if (lens && (plate.width < 2 || plate.height < 2)) {
        result.error = QStringLiteral("the lens model needs a plate of at least 2 x 2 pixels.");
        return;
    }
    switch (op.kind) {
    case K::Shift:
        m.bx = op.x;
        m.by = op.y;
        what = QStringLiteral("shift %1, %2 px").arg(number(op.x), number(op.y));
        break;
    case K::Scale: {
        m.ax = op.x;
        m.ay = op.y;
        if (plate.known()) {
            const double w = plate.width * op.x, h = plate.height * op.y;
            if (w != std::round(w) || h != std::round(h) || w < 1 || h < 1 || w > 1e6 || h > 1e6) {
                result.error =
                    QStringLiteral("scaling the %1 plate by %2 x %3 gives %4 x %5, not "
                                   "a plate of whole pixels.")
                        .arg(plateText(plate), number(op.x), number(op.y), number(w), number(h));
                return;
            }
            m.to = {int(w), int(h)};
        }
        what = QStringLiteral("scale %1 x %2").arg(number(op.x), number(op.y));
        break;
    }
    case K::Reformat:
        m.to = {op.width, op.height};
        m.ax = double(op.width) / plate.width;
        m.ay = double(op.height) / plate.height;
        what = QStringLiteral("reformat %1 to %2").arg(plateText(plate), plateText(m.to));
        break;
    case K::Flip:
        m.ax = -1;
        m.bx = plate.width;
        what = QStringLiteral("flip (left-right in %1)").arg(plateText(plate));
        break;
    case K::Flop:
        m.ay = -1;
        m.by = plate.height;
        what = QStringLiteral("flop (top-bottom in %1)").arg(plateText(plate));
        break;
    case K::Crop:
    case K::Pad: {
        double l = op.left, r = op.right, t = op.top, b = op.bottom;
        if (op.kind == K::Pad) {
            // Fractions of the plate added: whole pixels, the nearest.
            l = -std::round(op.left * plate.width);
            r = -std::round(op.right * plate.width);
            t = -std::round(op.top * plate.height);
            b = -std::round(op.bottom * plate.height);
        }
        const double w = plate.width - l - r, h = plate.height - t - b;
        if (w < 1 || h < 1 || w > 1e6 || h > 1e6) {
            result.error = QStringLiteral("it leaves the %1 plate %2 x %3 pixels.")
                               .arg(plateText(plate), number(w), number(h));
            return;
        }
        m.to = {int(w), int(h)};
        m.bx = -l;
        m.by = -t;
        what = op.kind == K::Crop ? QStringLiteral("crop %1 left, %2 right, %3 top, %4 bottom px")
                                        .arg(number(l), number(r), number(t), number(b))
                                  : QStringLiteral("pad %1 left, %2 right, %3 top, %4 bottom px")
                                        .arg(number(-l), number(-r), number(-t), number(-b));
        what += QStringLiteral(" (%1 to %2)").arg(plateText(plate), plateText(m.to));
        break;
    }
    case K::LensDistort:
    case K::LensUndistort:
        what = QStringLiteral("lens %1 k %2, k cube %3")
                   .arg(op.kind == K::LensDistort ? QStringLiteral("distort")
                                                  : QStringLiteral("undistort"),
                        number(op.k), number(op.kCube));
        break;
    default:
        return;
    }
    // The axes whose numbers change: where points move, or the plate's
    // size along that axis changes (normalised conventions count from it).
    const int axes = lens ? (op.k != 0 || op.kCube != 0 ? 3 : 0)
                          : ((m.ax != 1 || m.bx != 0 || m.to.width != plate.width) ? 1 : 0) |
                                ((m.ay != 1 || m.by != 0 || m.to.height != plate.height) ? 2 : 0);
    const int rows = run.rowCount();
    std::vector<char> changed(size_t(rows), 0);
    // The new points, by row: worked out (and checked) over the cores
    // before any row changes. Rows are independent unless formulas refer
    // to other cells.
    std::vector<std::pair<double, double>> moved(axes != 0 && run.writing() ? size_t(rows) : 0);
    enum Problem : char { None, NotNumber, NoPlate, Folds, NotFinite };
    std::vector<std::pair<int, Problem>> firstBad(size_t(workerThreads()), {-1, None});
    const bool plateKnown = plate.known();
    const int minimumPerPiece = run.view.hasFormulas() ? std::numeric_limits<int>::max() : 65536;
    forRowRanges(
        axes != 0 ? rows : 0,
        [&](int begin, int end, int piece) {
            for (int r = begin; r < end; ++r) {
                if (!run.selected(r)) continue;
                double x = 0, y = 0;
                Problem problem = None;
                if (!run.view.sourcePoint(r, &x, &y) || !std::isfinite(x) || !std::isfinite(y))
                    problem = NotNumber;
                else if (!plateKnown && run.space && run.space->dependsOnPlate(r))
                    problem = NoPlate;
                if (problem == None) {
                    const double sourceX = x, sourceY = y;
                    if (run.space) run.space->toPixels(r, x, y, plate);
                    if (!m.move(x, y)) {
                        problem = Folds;
                    } else {
                        if (run.space) run.space->fromPixels(r, x, y, m.to);
                        if (!(axes & 1)) x = sourceX;
                        if (!(axes & 2)) y = sourceY;
                        if (!std::isfinite(x) || !std::isfinite(y)) problem = NotFinite;
                    }
                }
                if (problem != None) {
                    firstBad[size_t(piece)] = {r, problem};
                    return;
                }
                changed[size_t(r)] = 1;
                if (!moved.empty()) moved[size_t(r)] = {x, y};
            }
        },
        minimumPerPiece);
    for (const auto &[r, problem] : firstBad) {
        if (r < 0) continue;
        double x = 0, y = 0;
        if (problem == NotNumber) {
            run.sourcePoint(r, x, y);
        } else if (problem == NoPlate) {
            result.plateMissing = true;
            result.error = QStringLiteral("it needs the plate size for these tracks' coordinates, "
                                          "which the tracks do not state.");
        } else {
            run.view.sourcePoint(r, &x, &y);
            run.rowError(r, problem == Folds
                                ? QStringLiteral("the lens model has no undistorted point for "
                                                 "(%1, %2): the distortion folds back before "
                                                 "that radius")
                                      .arg(number(x), number(y))
                                : QStringLiteral("(%1, %2) moves to no finite number")
                                      .arg(number(x), number(y)));
        }
        return;
    }
    int keys = 0;
    for (char c : changed)
        keys += c;
    if (!moved.empty())
        forRowRanges(
            rows,
            [&](int begin, int end, int) {
                for (int r = begin; r < end; ++r)
                    if (changed[size_t(r)])
                        run.table->setSourcePoint(r, moved[size_t(r)].first,
                                                  moved[size_t(r)].second, axes);
            },
            minimumPerPiece);
    result.keysChanged = keys;
    result.tracksChanged = run.tracksOf(changed);
    if (m.to.width != plate.width || m.to.height != plate.height) {
        result.plateChanged = true;
        run.plate = m.to;
    }
    result.summary = QStringLiteral("%1: %2").arg(what, keysOfTracks(keys, result.tracksChanged));
    if (result.plateChanged)
        result.summary += QStringLiteral(", plate now %1").arg(plateText(m.to));
}

} // namespace corvane
