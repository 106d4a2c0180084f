// The link element editor: options 6 (a link's as-built primary element)
// and 7 (its street-flow section) of the editor module, in a study of any
// model type but 10.  The user selects one link after another by its node
// pair; a confirmed change goes into the link's record of the map's link
// data base, into the history log, and into the link's groups of the model
// file of every storm event of the map.
//
// Before anything is written every file of the change is read and checked:
// the link data base, every storm event's model file (it exists, walks, and
// its street table takes the section).  A refusal shows its message and
// changes nothing; otherwise the history entry is appended and the data
// base and all model files are replaced together.
#pragma once

#include "editor/editor_context.h"
#include "records/link_data_base.h"

namespace velm {

// Returns when the user types EXIT at the node-pair screen.
void edit_link_element_attributes(EditorContext& context, EditorOption option);

// How an attribute step ends.
enum class LinkEditOutcome {
    NoEditableElement,  // the link has no element of the option's kind (message shown)
    EditAbandoned,      // EXIT ("Next") on an attribute screen
    NothingChanged,     // street section: every value equals the record's
    EditCommitted,      // the record is changed in memory; the history block and model values are set
};

struct LinkEditStep {
    LinkEditOutcome outcome = LinkEditOutcome::EditAbandoned;
    std::vector<std::string> history_block;  // the link's rows in the history entry
};

// The attribute steps of options 6 and 7 (the node-pair screen stays above
// them).  They change the record in memory and set the edit buffer's
// element values or the street-section edit for the model-file passes.
LinkEditStep edit_link_primary_element(EditorContext& context, LinkRecord& record);
LinkEditStep edit_link_street_section(EditorContext& context, LinkRecord& record);

// The history entry's title and column headings of each option.
std::vector<std::string> link_primary_element_history_headings();
std::vector<std::string> link_street_section_history_headings();

}  // namespace velm
