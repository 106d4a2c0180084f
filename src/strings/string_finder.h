// The string finder: resolves the link-node network of a whole study into
// numbered hydraulic strings.  Every headwater node starts one string, which
// runs downstream link by link until it enters a confluence as a tributary or
// reaches a node that no link leaves.  Below a confluence whose tributaries
// have all arrived, the string of one tributary, the mainstream, is extended
// through the confluence and on downstream under its own number; the other
// tributaries end there.  The result is one string file per headwater node
// and a rebuilt string index.
//
// Every look-up keeps the order of the tables: a node that several links
// leave follows the first link of the study in data base order, a
// confluence is matched by its first row that lists the entering node, and
// on a tie between tributaries the one in the earlier slot is the mainstream.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "records/data_file_table.h"
#include "records/link_data_base.h"
#include "records/string_files.h"
#include "shell/run_context.h"

namespace velm {

inline constexpr int CONFLUENCE_SLOTS = 5;

// One row of the confluence table as the finder works on it: a resolved slot
// holds the negated number of the string that entered through it, and a row
// the mainstream has been extended through holds its node negated.
struct ConfluenceRow {
    float node = 0.0f;                            // confluence node number
    std::array<float, CONFLUENCE_SLOTS> slots{};  // upstream node of an entering link, 0.0 when empty
};

// How the mainstream below a confluence is chosen (the setting as a real).
inline constexpr float LARGEST_PEAK_FLOW_BRANCH = 1.0f;  // largest peak flow of the last link
inline constexpr float LONGEST_BRANCH = 2.0f;            // largest summed link length

// The link-table row of a link: its finder-form record.  The peak flow rate
// is the smallest of the six storm-event peak flows (columns 37 to 42) that
// is neither 0.0 nor 99999.0 or more; 0.0 when there is none.
StringRecord string_finder_link(const LinkRecord& link);

// What the finder resolved: the records of every string (the file of string
// n holds strings[n - 1], empty when its headwater starts no link), and the
// window lines of the tracing in the order they are shown.
struct ResolvedStrings {
    std::vector<std::vector<StringRecord>> strings;
    std::vector<std::string> window_lines;
};

// Resolves the strings from the headwater list (string n starts at
// headwaters[n - 1]), the confluence table and the link table (every map's
// links in data base order).  The records are kept as their file lines read
// back, so that later sums see the values the files hold.  A trace stops
// after as many links as the study has, so a cycle in damaged data cannot
// run forever; a confluence whose slots are all empty, and any mainstream
// selection other than 1.0 or 2.0, leave the confluence unextended.  Each of
// these is said once on the window.
ResolvedStrings resolve_strings(const std::vector<float>& headwaters, std::vector<ConfluenceRow> confluences,
                                const std::vector<StringRecord>& links, float mainstream_selection);

// The index the finder writes: the header of the old index with value 10 set
// to 0.0 (ten zeros for a new index), then one record per string with its
// first upstream node and its outlet (0.0 for a string without records) and
// zeros in values 4 to 8.
StringIndexFile string_index_of(const ResolvedStrings& resolved, const StringIndexHeader& old_header);

// Step 3 of the analysis run: reads the headwater set "SETHZZ.ZZZ", the
// confluence table "SETCZZ.ZZZ" and every map's link data base, writes the
// string files and the index, and sets run.string_count to the count at the
// head of the headwater set.  run.study_id becomes the first two characters
// of the first map data file name.  A missing headwater set or confluence
// table ends the run with a message naming it (for the curve number model,
// type 10, a missing headwater set gives no strings and a line on the
// window); a missing link data base contributes no links.
void run_string_finder(RunContext& run);

}  // namespace velm
