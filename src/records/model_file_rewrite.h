// The fetch, copy and link-edit modes of the model-file walker: the passes
// through which the editors read and change the groups of a link-node model
// file.  The file has been read and split by the one walker of
// records/model_file.h; a pass runs over its header and groups in memory,
// and a writing pass leaves the new file in place of the old in memory, for
// the copy-back to check and write whole (records/model_file_copy_back.h).
//
//   fetch      finds the first group of the edited subarea and copies its
//              values into the edit buffer; nothing is changed;
//   copy       puts the buffer's values into every group of the subarea;
//   link edit  puts element or street values into the groups of the edited
//              link (node pair equal to the buffer's edit_node_pair).
//
// The header step runs in every pass: it upgrades an old header (so that
// every file an edit rewrites is written in the current layout) and, for a
// street edit that waits for its section, finds or adds the section in the
// header's street table.
#pragma once

#include <string>

#include "records/model_edit_buffer.h"
#include "records/model_file.h"

namespace velm {

struct RewritePass {
    RewriteMode mode = RewriteMode::FetchMode;
    float subarea_number = 0.0f;  // key of the fetch and copy modes
    int event_slot = 0;           // time-of-concentration edit: the buffer slot
    EditorOption option = EditorOption::SubareaAttributes;
};

struct RewriteResult {
    int status = 0;         // RECORD_FOUND after a fetch that found the subarea
    bool upgraded = false;  // the header step brought an old header to the current layout
    int subarea_extension_switch = 0;
    float storm_return_frequency = 0.0f;  // years, |header value 12|
};

// Runs one pass over the file.  A street edit pending in `street`
// (street_section_number STREET_EDIT_PENDING) gets its section number from
// the file's street table; the table's refusals (full, short header,
// negative count) come as StreetTableRefusal with the file unchanged.
// Unless the option is a street edit, street_section_number is set to 0.
RewriteResult rewrite_model_file(ModelFile& file, const RewritePass& pass, ModelEditBuffer& buffer,
                                 StreetSectionEdit& street, const std::string& file_name);

}  // namespace velm
