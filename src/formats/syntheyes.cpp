// SynthEyes point tracks: coordinates from -1 to 1 across the plate.
#include "families.h"

namespace corvane {

Formats synthEyesFormats()
{
    Format f;
    f.id = "syntheyes";
    f.name = "SynthEyes";
    f.importFilter = f.treeExportFilter = "SynthEyes Track File (*.txt)";
    f.source = SourceRule::SynthEyes;
    f.target = TargetRule::SynthEyes;
    return {f};
}

} // namespace corvane
