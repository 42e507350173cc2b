// SPDX-License-Identifier: Apache-2.0
// The choice of a corner pin's four tracks (upper left, upper right, lower
// left, lower right) for a save whose rows hold more or fewer than four.
#pragma once

#include <QStringList>

#include <optional>

class QWidget;

// The four tracks in corner order, or nothing when the user cancelled.
std::optional<QStringList> askCornerTracks(QWidget *over, const QString &formatName,
                                           const QStringList &tracks);
