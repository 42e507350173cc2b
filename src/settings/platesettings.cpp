// SPDX-License-Identifier: Apache-2.0
#include "platesettings.h"

#include "conventions.h"
#include "formats/registry.h"

#include "formats/trackset.h"
#include "table/numbers.h"

#include <QRegularExpression>

namespace corvane {

const QStringList &imageSizeItems()
{
    static const QStringList items{
        QStringLiteral("Image Size"),  QStringLiteral("  640 x 480"), QStringLiteral("  720 x 486"),
        QStringLiteral("  720 x 576"), QStringLiteral("  768 x 576"), QStringLiteral("1024 x 778"),
        QStringLiteral("1280 x 720"),  QStringLiteral("1920 x 1080"), QStringLiteral("2048 x 1556"),
        QStringLiteral("2048 x 2048"), QStringLiteral("4096 x 3112")};
    return items;
}

const QStringList &predefinedSettingItems()
{
    static const QStringList items{QStringLiteral("Default"),
                                   QStringLiteral("Top-Left"),
                                   QStringLiteral("Bottom-Left"),
                                   QStringLiteral("x2"),
                                   QStringLiteral("x4"),
                                   QStringLiteral("Half Size"),
                                   QStringLiteral("Quarter Size"),
                                   QStringLiteral("Normalized[0,1]"),
                                   QStringLiteral("Center Origin[-1,1]")};
    return items;
}

std::optional<std::pair<QString, QString>> imageSize(int index)
{
    if (index <= 0 || index >= imageSizeItems().size()) return std::nullopt;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList parts = imageSizeItems().at(index).split(blanks, Qt::SkipEmptyParts);
    if (parts.size() < 3) return std::nullopt;
    return std::make_pair(parts.at(0), parts.at(2));
}

std::optional<TargetWindow> predefinedWindow(int index, const QString &width, const QString &height)
{
    int w = toInt(width), h = toInt(height);
    auto n = [](long long v) { return QString::number(v); };
    switch (index) {
    case DefaultSetting:
    case TopLeft:
        return TargetWindow{n(0), width, n(0), height};
    case BottomLeft:
        return TargetWindow{n(0), width, height, n(0)};
    case TimesTwo:
        return TargetWindow{n(0), n(2LL * w), n(0), n(2LL * h)};
    case TimesFour:
        return TargetWindow{n(0), n(4LL * w), n(0), n(4LL * h)};
    case HalfSize:
        return TargetWindow{n(0), n(w / 2), n(0), n(h / 2)};
    case QuarterSize:
        return TargetWindow{n(0), n(w / 4), n(0), n(h / 4)};
    case Normalized:
        return TargetWindow{n(0), n(1), n(0), n(1)};
    case CenterOrigin:
        return TargetWindow{n(-1), n(1), n(-1), n(1)};
    default:
        return std::nullopt;
    }
}

void PlateSettings::resetValues()
{
    setPlateWidth(QStringLiteral("0"));
    setPlateHeight(QStringLiteral("0"));
    imageSizeIndex = 0;
    predefinedIndex = 0;
    x0 = x1 = y0 = y1 = QStringLiteral("0");
    exportFirst = importFirst;
    exportFirstTip = importFirst;
    exportFirstTyped = false;
    pixelAspect = QStringLiteral("1.0");
}

void PlateSettings::setPlateWidth(const QString &text)
{
    plateWidth = text;
    if (toInt(text) > 0) x1 = text;
}

void PlateSettings::setPlateHeight(const QString &text)
{
    plateHeight = text;
    if (toInt(text) > 0) y1 = text;
}

void PlateSettings::takeOverImport(const TrackSet &set, const QString &formatFilter)
{
    if (auto frames = firstFrameTakeover(set.firstFrame, importFirst)) {
        importFirst = frames->importFirst;
        exportFirst = exportFirstTip = frames->exportFirst;
        importFilter = formatFilter;
        exportFirstTyped = false;
    }
    if (auto plate = plateTakeover(plateHeight, set)) {
        setPlateWidth(plate->first);
        setPlateHeight(plate->second);
    }
}

QString PlateSettings::problem() const
{
    bool ok = false;
    const double ratio = pixelAspect.toDouble(&ok);
    if (!ok || !(ratio > 0) || ratio > PixelAspectLimit)
        return QStringLiteral("the pixel aspect ratio \"%1\" is not a ratio above 0 and up to %2.")
            .arg(pixelAspect)
            .arg(PixelAspectLimit);
    for (const QString *frame : {&importFirst, &exportFirst}) {
        if (frame->isEmpty()) continue;
        const int value = frame->toInt(&ok);
        if (!ok || value < -FirstFrameLimit || value > FirstFrameLimit)
            return QStringLiteral("the %1 first frame \"%2\" is not a whole number from %3 to %4.")
                .arg(frame == &importFirst ? QStringLiteral("import") : QStringLiteral("export"),
                     *frame)
                .arg(-FirstFrameLimit)
                .arg(FirstFrameLimit);
    }
    return QString();
}

void PlateSettings::defaultExportFirst(const QString &targetFilter)
{
    defaultExportFirst(formatForFilter(targetFilter));
}

void PlateSettings::defaultExportFirst(const Format *target)
{
    if (exportFirstTyped || importFirst.isEmpty()) return;
    const int first = toInt(importFirst);
    exportFirst = QString::number(
        programConventions ? movedFirstFrame(first, formatForFilter(importFilter), target) : first);
}

QString PlateSettings::frameBaseNote(const Format *target) const
{
    if (!programConventions || importFirst.isEmpty()) return QString();
    const Format *source = formatForFilter(importFilter);
    const int first = toInt(importFirst);
    const int moved = movedFirstFrame(first, source, target);
    if (moved == first || toInt(exportFirst) != moved) return QString();
    return corvane::frameBaseNote(source, target);
}

void PlateSettings::choosePredefined(int index)
{
    predefinedIndex = index;
    if (plateWidth == QLatin1String("0") || plateHeight == QLatin1String("0")) return;
    if (auto window = predefinedWindow(index, plateWidth, plateHeight)) {
        x0 = window->x0;
        x1 = window->x1;
        y0 = window->y0;
        y1 = window->y1;
    }
}

std::optional<FirstFrameTakeover> firstFrameTakeover(const QString &setFirstFrame,
                                                     const QString &importFirstText)
{
    int f = toInt(setFirstFrame);
    int g = toInt(importFirstText);
    if (f < g || importFirstText.isEmpty())
        return FirstFrameTakeover{setFirstFrame, QString::number(f)};
    return std::nullopt;
}

std::optional<std::pair<QString, QString>> plateTakeover(const QString &plateHeightText,
                                                         const TrackSet &set)
{
    if (toInt(plateHeightText) != 0) return std::nullopt;
    return std::make_pair(QString::number(set.plateWidth), QString::number(set.plateHeight));
}

} // namespace corvane
