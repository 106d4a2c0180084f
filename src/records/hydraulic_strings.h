// The hydraulic strings of an analysis run, as the run has left them so far.
// The string finder resolves them; the outlet controls, the balanced HGL, the
// telescoping and the gap report take them from here instead of reading the
// string files back, and each string file is written once: in its long form
// by the telescoping, or in the finder form at the end of a run that did not
// telescope it.  The records are the values the files hold (each record as
// its line reads back), so a step sees what a read of the file would give.
#pragma once

#include <vector>

#include "records/string_files.h"

namespace velm {

struct HydraulicStrings {
    // Set by the string finder of this run.  Until then the steps read the
    // study's string files and index, as the files stand.
    bool held = false;
    StringIndexFile index;                                      // as the run has left it so far
    std::vector<std::vector<StringRecord>> strings;             // finder form; string n at n - 1
    std::vector<std::vector<TelescopedLinkSummary>> telescoped;  // long form as written, until the gap report
    std::vector<bool> long_form_written;                        // string n's file is written in its long form

    int count() const { return static_cast<int>(strings.size()); }
    bool holds(int string_number) const { return held && string_number >= 1 && string_number <= count(); }
};

}  // namespace velm
