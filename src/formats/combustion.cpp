// Combustion: point tracks (.ascii, one file per track) and GMask shapes.
#include "families.h"

namespace corvane {

Formats combustionFormats()
{
    Format track;
    track.id = "combustion-track";
    track.name = "Combustion Track";
    track.importFilter = track.treeExportFilter = "Combustion Track File (*.ascii)";
    track.recognition = {Recognition::Marker, ":", "This is not a Combustion File!"};
    track.source = SourceRule::Flip;
    track.target = TargetRule::Flip;
    track.trackFileExtension = ".ascii";

    Format mask;
    mask.id = "combustion-gmask";
    mask.name = "Combustion GMask";
    mask.importFilter = mask.treeExportFilter = "Combustion GMask File (*.GMask)";
    mask.recognition = {Recognition::Marker, "GMask", "This is not a Combustion File!"};
    mask.source = SourceRule::CombustionGMask;
    mask.target = TargetRule::Flip;
    mask.shapes = true;
    mask.statesPlate = true;
    return {track, mask};
}

} // namespace corvane
