// Shake: tracker text files (one file per track) and RotoShape shapes.
#include "families.h"

namespace corvane {

Formats shakeFormats()
{
    Format track;
    track.id = "shake-track";
    track.name = "Shake Track";
    track.importFilter = track.treeExportFilter = "Shake Track File (*.txt)";
    track.recognition = {Recognition::Marker, "TrackName", "This is not a Shake File!"};
    track.source = SourceRule::Flip;
    track.target = TargetRule::Flip;
    track.trackFileExtension = ".txt";

    Format shape;
    shape.id = "shake-rotoshape";
    shape.name = "Shake RotoShape";
    shape.importFilter = shape.treeExportFilter = "Shake RotoShape File (*.ssf)";
    shape.recognition = {Recognition::Marker, "shake_shape_data", "This is not a Shake File!"};
    shape.source = SourceRule::Flip;
    shape.target = TargetRule::Flip;
    shape.shapes = true;
    return {track, shape};
}

} // namespace corvane
