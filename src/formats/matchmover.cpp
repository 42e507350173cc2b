// MatchMover/Movimento point tracks (.rz2), which state their plate.
#include "families.h"

namespace corvane {

Formats matchMoverFormats()
{
    Format f;
    f.id = "matchmover";
    f.name = "MatchMover/Movimento";
    f.importFilter = f.treeExportFilter = "MatchMover/Movimento Track File (*.rz2)";
    f.recognition = {Recognition::Marker, "imageSequence",
                     "This is not a MatchMover/Movimento File!"};
    f.statesPlate = true;
    return {f};
}

} // namespace corvane
