// The fetch, copy and link-edit modes of the model-file walker.
#include "records/model_file_rewrite.h"

#include "records/model_group_rewriters.h"
#include "records/model_header_upgrade.h"
#include "records/street_section_table.h"

namespace velm {

RewriteResult rewrite_model_file(ModelFile& file, const RewritePass& pass, ModelEditBuffer& buffer,
                                 StreetSectionEdit& street, const std::string& file_name)
{
    RewriteResult result;
    if (pass.option != EditorOption::LinkStreetSection) street.street_section_number = 0;

    // The header step.  Every pass brings an old header to the current
    // layout, so that every file an edit rewrites (a subarea's copy pass
    // too) is written in it.  A street section is found or added on a copy
    // of the header, so that a refusal leaves the file as it was.
    const bool street_pending = street.street_section_number == STREET_EDIT_PENDING;
    ModelFile upgraded_header;
    upgraded_header.header = file.header;
    result.upgraded = upgrade_model_file_layout(upgraded_header);
    if (street_pending) {
        street.street_section_number =
            find_or_add_street_section(upgraded_header.header, street_section_row(street), file_name);
    }
    file.header = std::move(upgraded_header.header);
    result.subarea_extension_switch = file.header.subarea_extension_switch();
    result.storm_return_frequency = file.header.storm_return_frequency();

    GroupPass group_pass;
    group_pass.mode = pass.mode;
    group_pass.subarea_key = pass.subarea_number;
    group_pass.option = pass.option;
    group_pass.event_slot = pass.event_slot;
    group_pass.storm_return_frequency = result.storm_return_frequency;
    for (ModelGroup& group : file.groups) {
        group_pass.group_mark = 0;
        if (pass.mode == RewriteMode::LinkEditMode && group.upstream_node == buffer.edit_node_pair[0] &&
            group.downstream_node == buffer.edit_node_pair[1]) {
            if (pass.option == EditorOption::LinkPrimaryElement) group_pass.group_mark = RECORD_FOUND;
            if (pass.option == EditorOption::LinkStreetSection) group_pass.group_mark = STREET_EDIT_MARK;
        }
        result.status = rewrite_model_group(group, file.layout_of(group), group_pass, buffer, street);
        if (result.status == RECORD_FOUND) break;
    }
    return result;
}

}  // namespace velm
