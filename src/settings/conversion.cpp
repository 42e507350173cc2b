// SPDX-License-Identifier: Apache-2.0
#include "conversion.h"

#include <iterator>

namespace corvane {

namespace {

// Every coordinate rule, as a source (the format's numbers to pixels from
// the plate's top-left corner, and back) and as a target (pixels to the
// format's numbers, and back): each mapping beside its inverse. The source
// and target forms of a rule are written as their formats' programs work
// them out, which need not round alike.
const CoordinateRule rules[] = {
    {"none", SourceRule::None, TargetRule::None, true, [](Point p, Plate) { return p; },
     [](Point p, Plate) { return p; }, [](Point p, Plate) { return p; },
     [](Point p, Plate) { return p; }},
    {"flip", SourceRule::Flip, TargetRule::Flip, true,
     [](Point p, Plate plate) {
         return Point{p.x, plate.height - p.y};
     },
     [](Point p, Plate plate) {
         return Point{p.x, plate.height - p.y};
     },
     [](Point p, Plate plate) {
         return Point{p.x, plate.height - p.y};
     },
     [](Point p, Plate plate) {
         return Point{p.x, plate.height - p.y};
     }},
    {"synthEyes", SourceRule::SynthEyes, TargetRule::SynthEyes, true,
     [](Point p, Plate plate) {
         return Point{(p.x + 1.0) * plate.width * 0.5, (p.y + 1.0) * plate.height * 0.5};
     },
     [](Point p, Plate plate) {
         return Point{2 * p.x / plate.width - 1.0, 2 * p.y / plate.height - 1.0};
     },
     [](Point p, Plate plate) {
         return Point{2 * p.x / plate.width - 1.0, 2 * p.y / plate.height - 1.0};
     },
     [](Point p, Plate plate) {
         return Point{(p.x + 1.0) * plate.width * 0.5, (p.y + 1.0) * plate.height * 0.5};
     }},
    // Y points up from the centre, X in units of half the plate's height.
    {"maya", SourceRule::Maya, TargetRule::Maya, true,
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{(p.x * h + w) * 0.5, (1.0 - p.y) * h * 0.5};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{(2 * p.x - w) / h, 1.0 - 2 * p.y / h};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{(2 * p.x - w) / h, -(2 * p.y / h - 1.0)};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{(p.x * h + w) * 0.5, (1.0 - p.y) * h * 0.5};
     }},
    // Both axes in units of the plate's width, Y up.
    {"fusionTrack", SourceRule::FusionTrack, TargetRule::FusionTrack, true,
     [](Point p, Plate plate) {
         return Point{p.x * plate.width, plate.height - p.y * plate.width};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{p.x / w, (h - p.y) / w};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{p.x / w, (h - p.y) / w};
     },
     [](Point p, Plate plate) {
         return Point{p.x * plate.width, plate.height - p.y * plate.width};
     }},
    // -0.5..0.5 from the centre, Y up.
    {"fusionMask", SourceRule::FusionMask, TargetRule::FusionMask, true,
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{(p.x + 0.5) * w, h - h * (p.y + 0.5)};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{p.x / w - 0.5, (h - p.y) / h - 0.5};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{(2 * p.x / w - 1.0) * 0.5, (p.y * -2.0 / h + 1.0) * 0.5};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{(p.x + 0.5) * w, (0.5 - p.y) * h};
     }},
    // Pixels from the centre, Y up; its writer moves the origin itself.
    {"combustionGMask", SourceRule::CombustionGMask, TargetRule::None, false,
     [](Point p, Plate plate) {
         return Point{p.x + plate.width / 2, plate.height - (p.y + plate.height / 2)};
     },
     [](Point p, Plate plate) {
         return Point{p.x - plate.width / 2, plate.height - p.y - plate.height / 2};
     },
     nullptr, nullptr},
    // 0..1 from the lower-left.
    {"afterEffectsMask", SourceRule::AfterEffectsMask, TargetRule::AfterEffectsMask, true,
     [](Point p, Plate plate) {
         return Point{p.x * plate.width, plate.height - plate.height * p.y};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{p.x / w, (h - p.y) / h};
     },
     [](Point p, Plate plate) {
         const double w = plate.width, h = plate.height;
         return Point{p.x / w, (h - p.y) / h};
     },
     [](Point p, Plate plate) {
         return Point{p.x * plate.width, plate.height - p.y * plate.height};
     }},
};

const CoordinateRule &ruleOf(SourceRule source)
{
    for (const CoordinateRule &rule : rules)
        if (rule.source == source) return rule;
    return rules[0];
}

const CoordinateRule &ruleOf(TargetRule target)
{
    for (const CoordinateRule &rule : rules)
        if (rule.writes && rule.target == target) return rule;
    return rules[0];
}

} // namespace

const CoordinateRule *coordinateRulesBegin()
{
    return std::begin(rules);
}

const CoordinateRule *coordinateRulesEnd()
{
    return std::end(rules);
}

Point toIntermediate(SourceRule rule, Point p, Plate plate)
{
    return ruleOf(rule).sourceToPixels(p, plate);
}

Point toTarget(TargetRule rule, Point p, Plate plate)
{
    return ruleOf(rule).pixelsToTarget(p, plate);
}

Point toWindow(Point p, Plate plate, Window window)
{
    const double w = plate.width, h = plate.height;
    if (window.x0 == -1) return {2 * p.x / w - 1.0, 2 * p.y / h - 1.0};
    Point out;
    out.x = p.x * window.x1 / w;
    out.y = window.y0 < 1 ? p.y * window.y1 / h : h - p.y;
    return out;
}

Point fromIntermediate(SourceRule rule, Point p, Plate plate)
{
    return ruleOf(rule).pixelsToSource(p, plate);
}

Point fromTarget(TargetRule rule, Point p, Plate plate)
{
    return ruleOf(rule).targetToPixels(p, plate);
}

Point fromWindow(Point p, Plate plate, Window window)
{
    const double w = plate.width, h = plate.height;
    if (window.x0 == -1) return {(p.x + 1.0) * w * 0.5, (p.y + 1.0) * h * 0.5};
    Point out;
    out.x = p.x * w / window.x1;
    out.y = window.y0 < 1 ? p.y * h / window.y1 : h - p.y;
    return out;
}

SourceRule sourceRuleOf(const QString &formatFilter)
{
    const Format *format = formatForFilter(formatFilter);
    return format ? format->source : SourceRule::None;
}

TargetRule targetRuleOf(const QString &formatFilter)
{
    const Format *format = formatForFilter(formatFilter);
    return format ? format->target : TargetRule::None;
}

namespace {

Point shifted(Point p, double by)
{
    return {p.x + by, p.y + by};
}

// How a program's pixel centres sit against the raster's edges: its own
// coordinates are shifted by `ownShift` (half a pixel where 0 is the first
// pixel's centre) and, for normalised ranges whose ends are the edge
// pixels' centres, the range spans one pixel less than the plate and starts
// half a pixel in (`pixelShift`, on the side of pixels).
struct CentreModel
{
    double ownShift = 0, pixelShift = 0;
    Plate plate;
};

CentreModel centreModel(PixelCentres centres, Plate plate)
{
    switch (centres) {
    case PixelCentres::Edge:
        break;
    case PixelCentres::FirstPixelCentre:
        return {0.5, 0, plate};
    case PixelCentres::EdgePixelCentres:
        // A plate one pixel wide has no span between centres: count from its edges.
        if (plate.width < 2 || plate.height < 2) break;
        return {0, 0.5, Plate{plate.width - 1, plate.height - 1}};
    }
    return {0, 0, plate};
}

} // namespace

Point centredSourceToPixels(SourceConvention source, Point p, Plate plate)
{
    const CentreModel m = centreModel(source.centres, plate);
    return shifted(toIntermediate(source.rule, shifted(p, m.ownShift), m.plate), m.pixelShift);
}

Point pixelsToCentredTarget(TargetConvention target, Point p, Plate plate)
{
    const CentreModel m = centreModel(target.centres, plate);
    return shifted(toTarget(target.rule, shifted(p, -m.pixelShift), m.plate), -m.ownShift);
}

Point pixelsToSource(SourceConvention source, Point p, Plate plate)
{
    const CentreModel m = centreModel(source.centres, plate);
    return shifted(fromIntermediate(source.rule, shifted(p, -m.pixelShift), m.plate), -m.ownShift);
}

Point targetToPixels(TargetConvention target, Point p, Plate plate)
{
    const CentreModel m = centreModel(target.centres, plate);
    return shifted(fromTarget(target.rule, shifted(p, m.ownShift), m.plate), m.pixelShift);
}

SourceConvention sourceConventionOf(const QString &formatFilter, bool programConventions)
{
    return sourceConventionOf(formatForFilter(formatFilter), programConventions);
}

TargetConvention targetConventionOf(const QString &formatFilter, bool programConventions)
{
    return targetConventionOf(formatForFilter(formatFilter), programConventions);
}

SourceConvention sourceConventionOf(const Format *format, bool programConventions)
{
    if (!format) return {};
    return {format->source, programConventions ? format->centres : PixelCentres::Edge};
}

TargetConvention targetConventionOf(const Format *format, bool programConventions)
{
    if (!format) return {};
    return {format->target, programConventions ? format->centres : PixelCentres::Edge};
}

} // namespace corvane
