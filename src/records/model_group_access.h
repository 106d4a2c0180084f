// Group access of the curve-number model (model type 10): the subarea editor
// and the storage element editor of a type-10 study fetch and replace values
// of two kinds of group without the general rewrite walker.
//
//   subarea (code 21, 88 data values): 1 area (sq mi), 26 watershed lag
//     (hours), 28 initial rainfall abstraction, 29 S.C.S. curve number,
//     30 impervious fraction; 33 the subarea number (the key, unpacked);
//   storage element (code 61 of the edited node pair, 77 data values): 7
//     leading values, then the 70-value modified Puls routing block.
//
// A fetch copies the first matching group's values into the edit buffer; a
// copy puts the buffer's values into every matching group.  The land-use
// cells are never touched on this path.  A copy brings an old header to the
// current layout first, so the rewritten file is written in it.
#pragma once

#include "records/model_edit_buffer.h"
#include "records/model_file.h"

namespace velm {

inline constexpr int STORAGE_LEADING_VALUES = 7;
inline constexpr int STORAGE_ROUTING_VALUES = 70;
inline constexpr int STORAGE_BLOCK_IN_BUFFER = 12;  // storage_values 12 to 81 hold the routing block

// mode: FetchMode or CopyMode.  option: SubareaAttributes (area, abstraction,
// curve number, impervious fraction in edit_values 1 to 4),
// TimeOfConcentration (the watershed lag in edit_values 1) or
// LinkPrimaryElement (the storage element of edit_node_pair; a copy writes
// the routing block and keeps each file's own 7 leading values).  Returns
// RECORD_FOUND when a fetch found the group, else 0.
int find_model_group(ModelFile& file, RewriteMode mode, float subarea_number, EditorOption option,
                     ModelEditBuffer& buffer);

}  // namespace velm
