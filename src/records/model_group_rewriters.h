// The group rewriters of the model-file rewrite walker: the walker hands the
// data values of each group to the rewriter of its code's family, which
// fetches the edited subarea's values into the edit buffer (fetch mode) or
// puts the buffer's values in place of the file's (copy and link-edit modes).
//
// Five families carry a subarea part (packed_subarea and six land-use cells)
// and share one procedure for it:
//   - initial subareas 21 and 22 (time of concentration: value 1) and the
//     subarea additions 81 and 82 (82: the second value after the cells);
//   - conduits 32, 33, 34 and 43, which also carry a street part whose first
//     value is the section number in the header's street table;
//   - open channels 51 to 57, with seven element values in front;
//   - street flow 61 to 63 (61: five street values of its own; 62, 63: a
//     section number);
//   - code 9.
// A primary element edit changes the element values of the six-value
// conduits and the open channels; a street edit the street part of the
// conduits and the street-flow links.  Every other value, the extension
// values included, is written as read.
#pragma once

#include "records/model_edit_buffer.h"
#include "records/model_file.h"

namespace velm {

// What the walker hands each rewriter besides the group itself.
struct GroupPass {
    RewriteMode mode = RewriteMode::FetchMode;
    float subarea_key = 0.0f;  // the edited subarea's number (fetch and copy modes)
    EditorOption option = EditorOption::SubareaAttributes;
    int event_slot = 0;                   // time-of-concentration edit: the buffer slot
    float storm_return_frequency = 0.0f;  // years, of the file being walked
    int group_mark = 0;                   // RECORD_FOUND or STREET_EDIT_MARK on the edited link's group
};

// Rewrites one group in place (writing modes) or fetches from it (fetch
// mode).  Returns RECORD_FOUND when a fetch found the edited subarea's
// values in this group, else 0.
int rewrite_model_group(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer,
                        const StreetSectionEdit& street);

// The subarea part of a group, for the GIS update and the tests: the subarea
// number packed in it (0 when the group carries none) and its land-use cells.
bool carries_subarea_part(const GroupLayout& layout);
float group_subarea_number(const ModelGroup& group, const GroupLayout& layout);
LandUseTable group_land_use_table(const ModelGroup& group, const GroupLayout& layout);
void set_group_land_use_table(ModelGroup& group, const GroupLayout& layout, const LandUseTable& table);

// The five street values of a code-61 group from a street edit: curb height
// in whole inches (halves away from zero), half-width, crown to gradebreak,
// center lane crossfall, and parkway crossfall x 1000 + outside lane crossfall.
std::array<float, 5> code61_street_values(const StreetSectionEdit& street);

}  // namespace velm
