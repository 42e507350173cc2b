// SPDX-License-Identifier: Apache-2.0
#include "conventions.h"

#include <climits>

namespace corvane {

std::optional<int> frameBaseStart(FrameBase base)
{
    switch (base) {
    case FrameBase::AsWritten:
        return std::nullopt;
    case FrameBase::FromZero:
        return 0;
    case FrameBase::FromOne:
        return 1;
    }
    return std::nullopt;
}

namespace {

std::optional<int> baseShift(const Format *source, const Format *target)
{
    if (!source || !target) return std::nullopt;
    auto from = frameBaseStart(source->frameBase), to = frameBaseStart(target->frameBase);
    if (!from || !to || *from == *to) return std::nullopt;
    return *to - *from;
}

QString centresText(PixelCentres centres)
{
    switch (centres) {
    case PixelCentres::Edge:
        break;
    case PixelCentres::FirstPixelCentre:
        return QStringLiteral("0 at the first pixel's centre");
    case PixelCentres::EdgePixelCentres:
        return QStringLiteral("±1 at the edge pixels' centres");
    }
    return QStringLiteral("0 at the raster's edge");
}

} // namespace

int movedFirstFrame(int importFirst, const Format *source, const Format *target)
{
    const auto shift = baseShift(source, target);
    if (!shift) return importFirst;
    // Stay inside int: a first frame at the end of the range is not moved.
    const long long moved = (long long)importFirst + *shift;
    return moved < INT_MIN || moved > INT_MAX ? importFirst : int(moved);
}

QString frameBaseNote(const Format *source, const Format *target)
{
    if (!baseShift(source, target)) return QString();
    return QStringLiteral("frames from %1 %2 to %3 %4")
        .arg(QLatin1String(source->name))
        .arg(*frameBaseStart(source->frameBase))
        .arg(QLatin1String(target->name))
        .arg(*frameBaseStart(target->frameBase));
}

QStringList pixelCentreNotes(const QList<const Format *> &sources, const Format *target)
{
    const PixelCentres to = target ? target->centres : PixelCentres::Edge;
    QStringList notes;
    auto add = [&](const QString &note) {
        if (!notes.contains(note)) notes.append(note);
    };
    for (const Format *source : sources) {
        if (!source || source->centres == to) continue;
        // A half-pixel origin moves every value by half a pixel; the
        // normalised one scales, so it is named rather than counted.
        if (source->centres == PixelCentres::FirstPixelCentre && to == PixelCentres::Edge)
            add(QStringLiteral("%1 pixel centres: +0.5 px").arg(QLatin1String(source->name)));
        else if (source->centres != PixelCentres::Edge)
            add(QStringLiteral("%1 pixel centres: %2")
                    .arg(QLatin1String(source->name), centresText(source->centres)));
    }
    if (target && to != PixelCentres::Edge) {
        bool differs = false;
        for (const Format *source : sources)
            differs = differs || (source && source->centres != to);
        if (differs) {
            if (to == PixelCentres::FirstPixelCentre)
                add(QStringLiteral("%1 pixel centres: -0.5 px").arg(QLatin1String(target->name)));
            else
                add(QStringLiteral("%1 pixel centres: %2")
                        .arg(QLatin1String(target->name), centresText(to)));
        }
    }
    return notes;
}

} // namespace corvane
