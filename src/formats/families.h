// SPDX-License-Identifier: Apache-2.0
// The format families, each describing its formats in its own file; the
// registry lists them in the order of the File menu's lists.
#pragma once

#include "format.h"

#include <vector>

namespace corvane {

using Formats = std::vector<Format>;

Formats threeDEFormats();      // 3D Equalizer v4 and v3
Formats pfTrackFormats();      // PFTrack 2011, v5 and v4
Formats boujouFormats();       // Boujou
Formats synthEyesFormats();    // SynthEyes
Formats matchMoverFormats();   // MatchMover/Movimento
Formats mayaLiveFormats();     // Maya Live
Formats nukeFormats();         // Nuke Tracker, RotoPaint and CameraTracker
Formats shakeFormats();        // Shake Track and RotoShape
Formats fusionFormats();       // Fusion Track and Mask
Formats afterEffectsFormats(); // After Effects Track and Mask
Formats combustionFormats();   // Combustion Track and GMask
// The formats that joined after those twenty, in the File menu's lists after them.
Formats flameFormats();          // Flame/Smoke 2D Stabilizer setups
Formats shakeScriptFormats();    // Shake scripts' tracking nodes
Formats synthEyesPathsFormats(); // SynthEyes All Tracker Paths
Formats matchMoverRzmlFormats(); // MatchMover RZML projects
Formats nukeScriptFormats();     // Nuke scripts' tracking nodes
// Tracks into the 3D programs and compositors' scripts, after those.
Formats mayaAsciiFormats();          // Maya ASCII scenes of locators
Formats afterEffectsScriptFormats(); // After Effects null layers (.jsx) and Corner Pin data
Formats maxScriptFormats();          // 3ds Max scripts of point helpers
Formats blenderFormats();            // Blender scripts of movie clip tracks
Formats uvTrackFormats();            // mmSolver's .uv tracks

} // namespace corvane
