// SPDX-License-Identifier: Apache-2.0
// The Step 3 values and the rules that fill them: image sizes, predefined
// target windows, the takeover of an import's first frame and plate, and the
// reset. The window keeps these values in its widgets; the converter keeps
// them in a PlateSettings.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

struct TrackSet;
struct Format;

const QStringList &imageSizeItems();         // "Image Size", "  640 x 480", …
const QStringList &predefinedSettingItems(); // "Default", "Top-Left", …

enum PredefinedSetting {
    DefaultSetting = 0,
    TopLeft,
    BottomLeft,
    TimesTwo,
    TimesFour,
    HalfSize,
    QuarterSize,
    Normalized,
    CenterOrigin,
};

// Width and height of an image-size item ("1920 x 1080"); nothing for index 0.
std::optional<std::pair<QString, QString>> imageSize(int index);

struct TargetWindow
{
    QString x0, x1, y0, y1;
};
// The target window a predefined setting sets for a plate (texts of the plate fields).
std::optional<TargetWindow> predefinedWindow(int index, const QString &width,
                                             const QString &height);

// The Step 3 values as texts, the way the panel's fields hold them.
struct PlateSettings
{
    QString plateWidth = QStringLiteral("0");
    QString plateHeight = QStringLiteral("0");
    int imageSizeIndex = 0;
    int predefinedIndex = 0;
    QString x0 = QStringLiteral("0"), x1 = QStringLiteral("0");
    QString y0 = QStringLiteral("0"), y1 = QStringLiteral("0");
    QString pixelAspect = QStringLiteral("1.0");
    QString importFirst;
    QString exportFirst;
    QString exportFirstTip; // the import's first frame that the frames are counted from
    QString importFilter;   // the format of the import whose first frame importFirst is
    // Follow the programs' pixel centres and frame bases (on by default).
    bool programConventions = true;
    bool exportFirstTyped = false; // the user gave the export first frame: defaults leave it

    void resetValues();
    void setPlateWidth(const QString &text);  // copies a positive width into X1
    void setPlateHeight(const QString &text); // copies a positive height into Y1
    // The first frame and, when no plate height is set, the plate of an import.
    void takeOverImport(const TrackSet &set, const QString &formatFilter = QString());
    void choosePredefined(int index);
    // The export first frame's default for a target: the import's first
    // frame, moved from the source's frame base to the target's under
    // program conventions. A first frame the user gave stays.
    void defaultExportFirst(const QString &targetFilter);
    void defaultExportFirst(const Format *target);
    // "frames from SynthEyes 0 to 3DE v4 1" while the export first frame is
    // the import's moved between frame bases; empty otherwise.
    QString frameBaseNote(const Format *target) const;
    // Why these values cannot be applied (the same words on every road:
    // window, converter, module); empty when they can.
    QString problem() const;
};

// The limits of the values: a first frame, a pixel aspect ratio.
inline constexpr int FirstFrameLimit = 999999;
inline constexpr double PixelAspectLimit = 100;

// What an import does to the first-frame fields: nothing, or new texts.
struct FirstFrameTakeover
{
    QString importFirst;
    QString exportFirst; // also the export field's status tip
};
std::optional<FirstFrameTakeover> firstFrameTakeover(const QString &setFirstFrame,
                                                     const QString &importFirstText);

// What an import puts into the plate fields: the file's width and height
// (0 when it states none), but only while no plate height is set.
std::optional<std::pair<QString, QString>> plateTakeover(const QString &plateHeightText,
                                                         const TrackSet &set);

} // namespace corvane
