// Boujou point tracks.
#include "families.h"

namespace corvane {

Formats boujouFormats()
{
    Format f;
    f.id = "boujou";
    f.name = "Boujou";
    f.importFilter = f.treeExportFilter = "Boujou Track File (*.txt)";
    f.recognition = {Recognition::Marker, "boujou 2d", "This is not a Boujou File!"};
    return {f};
}

} // namespace corvane
