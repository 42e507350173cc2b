// Maya Live point tracks: Y up from the centre, in units of half the plate height.
#include "families.h"

namespace corvane {

Formats mayaLiveFormats()
{
    Format f;
    f.id = "mayalive";
    f.name = "Maya Live";
    f.importFilter = f.treeExportFilter = "Maya Live Track File (*.txt)";
    f.recognition = {Recognition::Marker, "Size", "This is not a Maya Live File!"};
    f.source = SourceRule::Maya;
    f.target = TargetRule::Maya;
    f.statesPlate = true;
    return {f};
}

} // namespace corvane
