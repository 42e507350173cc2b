// PFTrack point tracks: the 2011, v5 and v4 variants of one layout.
#include "families.h"

namespace corvane {

Formats pfTrackFormats()
{
    Formats out(3);
    for (Format &f : out) {
        f.source = SourceRule::Flip;
        f.target = TargetRule::Flip;
    }
    out[0].id = "pftrack2011";
    out[0].name = "PFTrack 2011";
    out[0].importFilter = out[0].treeExportFilter = "PF 2011 Track File (*.txt)";
    out[1].id = "pftrack5";
    out[1].name = "PFTrack v5";
    out[1].importFilter = "PF v5 Track File (*.2dt *.3dt)";
    out[1].treeExportFilter = "PF v5 Track File (*.2dt)";
    out[2].id = "pftrack4";
    out[2].name = "PFTrack v4";
    out[2].importFilter = "PF v4 Track File (*.2dt *.3dt)";
    out[2].treeExportFilter = "PF v4 Track File (*.2dt)";
    return out;
}

} // namespace corvane
