// SPDX-License-Identifier: Apache-2.0
// Stereo cameras in the table. A track of a stereo shot's secondary camera
// carries its camera in its name, "NAME_Secondary" (as the table shows it);
// the primary camera's tracks, and those of files without cameras, carry
// none. Writers of formats with cameras read the camera back from the name.
#pragma once

#include <QString>

#include <optional>

namespace corvane {

enum class Camera { All, Primary, Secondary };

inline QLatin1String secondaryCameraSuffix()
{
    return QLatin1String("_Secondary");
}

// Whether a track belongs to the secondary camera: a name beyond the suffix.
inline bool isSecondaryCameraTrack(QStringView name)
{
    return name.size() > secondaryCameraSuffix().size() && name.endsWith(secondaryCameraSuffix());
}

// The track's name without its camera.
inline QString cameraTrackBase(const QString &name)
{
    return isSecondaryCameraTrack(name) ? name.chopped(secondaryCameraSuffix().size()) : name;
}

// "primary", "secondary" or "all", in any case.
inline std::optional<Camera> parseCamera(const QString &text)
{
    const QString word = text.toLower();
    if (word == QLatin1String("all")) return Camera::All;
    if (word == QLatin1String("primary")) return Camera::Primary;
    if (word == QLatin1String("secondary")) return Camera::Secondary;
    return std::nullopt;
}

} // namespace corvane
