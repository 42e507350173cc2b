// SPDX-License-Identifier: Apache-2.0
#include "conversion.h"

namespace corvane {

Point toIntermediate(SourceRule rule, Point p, Plate plate)
{
    const double w = plate.width, h = plate.height;
    switch (rule) {
    case SourceRule::None:
        return p;
    case SourceRule::Flip:
        return {p.x, h - p.y};
    case SourceRule::SynthEyes:
        return {(p.x + 1.0) * w * 0.5, (p.y + 1.0) * h * 0.5};
    case SourceRule::Maya:
        // Y points up from the centre: the inverse of the Maya target rule.
        return {(p.x * h + w) * 0.5, (1.0 - p.y) * h * 0.5};
    case SourceRule::FusionTrack:
        return {p.x * w, h - p.y * w};
    case SourceRule::FusionMask:
        return {(p.x + 0.5) * w, h - h * (p.y + 0.5)};
    case SourceRule::CombustionGMask:
        return {p.x + plate.width / 2, h - (p.y + plate.height / 2)};
    case SourceRule::AfterEffectsMask:
        return {p.x * w, h - h * p.y};
    }
    return p;
}

Point toTarget(TargetRule rule, Point p, Plate plate)
{
    const double w = plate.width, h = plate.height;
    switch (rule) {
    case TargetRule::None:
        return p;
    case TargetRule::Flip:
        return {p.x, h - p.y};
    case TargetRule::SynthEyes:
        return {2 * p.x / w - 1.0, 2 * p.y / h - 1.0};
    case TargetRule::Maya:
        return {(2 * p.x - w) / h, -(2 * p.y / h - 1.0)};
    case TargetRule::FusionTrack:
        return {p.x / w, (h - p.y) / w};
    case TargetRule::FusionMask:
        return {(2 * p.x / w - 1.0) * 0.5, (p.y * -2.0 / h + 1.0) * 0.5};
    case TargetRule::AfterEffectsMask:
        return {p.x / w, (h - p.y) / h};
    }
    return p;
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
    const double w = plate.width, h = plate.height;
    switch (rule) {
    case SourceRule::None:
        return p;
    case SourceRule::Flip:
        return {p.x, h - p.y};
    case SourceRule::SynthEyes:
        return {2 * p.x / w - 1.0, 2 * p.y / h - 1.0};
    case SourceRule::Maya:
        return {(2 * p.x - w) / h, 1.0 - 2 * p.y / h};
    case SourceRule::FusionTrack:
        return {p.x / w, (h - p.y) / w};
    case SourceRule::FusionMask:
        return {p.x / w - 0.5, (h - p.y) / h - 0.5};
    case SourceRule::CombustionGMask:
        return {p.x - plate.width / 2, h - p.y - plate.height / 2};
    case SourceRule::AfterEffectsMask:
        return {p.x / w, (h - p.y) / h};
    }
    return p;
}

Point fromTarget(TargetRule rule, Point p, Plate plate)
{
    const double w = plate.width, h = plate.height;
    switch (rule) {
    case TargetRule::None:
        return p;
    case TargetRule::Flip:
        return {p.x, h - p.y};
    case TargetRule::SynthEyes:
        return {(p.x + 1.0) * w * 0.5, (p.y + 1.0) * h * 0.5};
    case TargetRule::Maya:
        return {(p.x * h + w) * 0.5, (1.0 - p.y) * h * 0.5};
    case TargetRule::FusionTrack:
        return {p.x * w, h - p.y * w};
    case TargetRule::FusionMask:
        return {(p.x + 0.5) * w, (0.5 - p.y) * h};
    case TargetRule::AfterEffectsMask:
        return {p.x * w, h - p.y * h};
    }
    return p;
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
    const Format *format = formatForFilter(formatFilter);
    if (!format) return {};
    return {format->source, programConventions ? format->centres : PixelCentres::Edge};
}

TargetConvention targetConventionOf(const QString &formatFilter, bool programConventions)
{
    const Format *format = formatForFilter(formatFilter);
    if (!format) return {};
    return {format->target, programConventions ? format->centres : PixelCentres::Edge};
}

} // namespace corvane
