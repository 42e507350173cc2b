// After Effects keyframe data: motion-tracker points and mask shapes; both state their plate.
#include "families.h"

namespace corvane {

Formats afterEffectsFormats()
{
    Format track;
    track.id = "ae-track";
    track.name = "After Effects Track";
    track.importFilter = track.treeExportFilter = "After Effects Track File (*.txt)";
    track.statesPlate = true;

    Format mask;
    mask.id = "ae-mask";
    mask.name = "After Effects Mask";
    mask.importFilter = "After Effects Mask File (*.*)";
    mask.treeExportFilter = "After Effects Mask File (*.txt)";
    mask.source = SourceRule::AfterEffectsMask;
    mask.target = TargetRule::AfterEffectsMask;
    mask.shapes = true;
    mask.statesPlate = true;
    return {track, mask};
}

} // namespace corvane
