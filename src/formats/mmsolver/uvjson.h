// SPDX-License-Identifier: Apache-2.0
// The JSON of mmSolver's .uv files (versions 2 to 5), read in one pass
// over the lines without building a document: a file of millions of keys
// takes the memory of its rows, not of the file and a tree of its values.
#pragma once

#include "formats/kit/linesource.h"

namespace corvane {

class ReaderNotes;

// The JSON from its first line (first, the lines' last given) on.
ReadResult readUvJson(LineSource &lines, Field first);

// Weights, in every version: 0 is a frame the solver leaves out (the key
// is not read); other weights than 1 are not held by the table.
struct UvWeights
{
    int zero = 0, other = 0;
    void into(ReaderNotes &notes) const;
};

} // namespace corvane
