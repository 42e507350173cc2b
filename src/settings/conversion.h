// SPDX-License-Identifier: Apache-2.0
// The coordinate conventions: a source's coordinates to pixels from the
// plate's top-left corner, pixels to a target's coordinates, and the target
// window of the predefined settings.
#pragma once

#include "formats/registry.h"

namespace corvane {

struct Point
{
    double x = 0, y = 0;
};

struct Plate
{
    int width = 0, height = 0;
};

using Mapping = Point (*)(Point p, Plate plate);

// A coordinate rule with its four mappings: as a source, the format's
// numbers to pixels from the plate's top-left corner and back; as a target
// (when `writes`), pixels to the format's numbers and back.
struct CoordinateRule
{
    const char *name;
    SourceRule source;
    TargetRule target;
    bool writes;
    Mapping sourceToPixels, pixelsToSource;
    Mapping pixelsToTarget, targetToPixels;
};
// The rules, one entry each, for those that go through them all (the tests).
const CoordinateRule *coordinateRulesBegin();
const CoordinateRule *coordinateRulesEnd();

Point toIntermediate(SourceRule rule, Point p, Plate plate);
Point toTarget(TargetRule rule, Point p, Plate plate);

// X0..Y1 of Step 3; X0 == -1 means Center Origin.
struct Window
{
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
};
Point toWindow(Point p, Plate plate, Window window);

// The inverses, for a positive plate (and a target window that does not
// collapse to zero): each gives back the point its forward rule was given.
Point fromIntermediate(SourceRule rule, Point pixels, Plate plate);
Point fromTarget(TargetRule rule, Point p, Plate plate);
Point fromWindow(Point p, Plate plate, Window window);

// The convention of a source or target format filter (none for a filter no
// format has, such as the "Select Files:" caption).
SourceRule sourceRuleOf(const QString &formatFilter);
TargetRule targetRuleOf(const QString &formatFilter);

// A format's rule together with where its program counts pixels from
// (always the raster's edge when program conventions are off).
struct SourceConvention
{
    SourceRule rule = SourceRule::None;
    PixelCentres centres = PixelCentres::Edge;
};
struct TargetConvention
{
    TargetRule rule = TargetRule::None;
    PixelCentres centres = PixelCentres::Edge;
};
SourceConvention sourceConventionOf(const QString &formatFilter, bool programConventions);
TargetConvention targetConventionOf(const QString &formatFilter, bool programConventions);
SourceConvention sourceConventionOf(const Format *format, bool programConventions);
TargetConvention targetConventionOf(const Format *format, bool programConventions);

// The rules above with the pixel centres of the conventions, and their inverses.
Point centredSourceToPixels(SourceConvention source, Point p, Plate plate);
Point pixelsToCentredTarget(TargetConvention target, Point pixels, Plate plate);
// Apply's per-row calls: most formats count from the raster's edge.
inline Point sourceToPixels(SourceConvention source, Point p, Plate plate)
{
    return source.centres == PixelCentres::Edge ? toIntermediate(source.rule, p, plate)
                                                : centredSourceToPixels(source, p, plate);
}
inline Point pixelsToTarget(TargetConvention target, Point pixels, Plate plate)
{
    return target.centres == PixelCentres::Edge ? toTarget(target.rule, pixels, plate)
                                                : pixelsToCentredTarget(target, pixels, plate);
}
Point pixelsToSource(SourceConvention source, Point pixels, Plate plate);
Point targetToPixels(TargetConvention target, Point p, Plate plate);

} // namespace corvane
