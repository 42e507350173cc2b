// Fusion: point tracks (.dfmo, one file per track) and mask shapes in a composition (.comp).
#include "families.h"

namespace corvane {

Formats fusionFormats()
{
    Format track;
    track.id = "fusion-track";
    track.name = "Fusion Track";
    track.importFilter = track.treeExportFilter = "Fusion Track File (*.dfmo)";
    track.recognition = {Recognition::Marker, "DFMO", "This is not a Fusion File!"};
    track.source = SourceRule::FusionTrack;
    track.target = TargetRule::FusionTrack;
    track.trackFileExtension = ".dfmo";

    Format mask;
    mask.id = "fusion-mask";
    mask.name = "Fusion Mask";
    mask.importFilter = mask.treeExportFilter = "Fusion Mask File (*.comp)";
    mask.source = SourceRule::FusionMask;
    mask.target = TargetRule::FusionMask;
    mask.shapes = true;
    return {track, mask};
}

} // namespace corvane
