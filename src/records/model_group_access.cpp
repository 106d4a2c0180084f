// Group access of the curve-number model (model type 10).
#include "records/model_group_access.h"

#include "records/model_header_upgrade.h"
#include "records/process_codes.h"

namespace velm {

namespace {

constexpr int AREA_VALUE = 1;
constexpr int LAG_VALUE = 26;
constexpr int ABSTRACTION_VALUE = 28;
constexpr int CURVE_NUMBER_VALUE = 29;
constexpr int IMPERVIOUS_VALUE = 30;
constexpr int SUBAREA_NUMBER_VALUE = 33;

float& value_at(ModelGroup& group, int position)
{
    return group.values.at(static_cast<std::size_t>(position - 1));
}

int access_subarea_group(ModelGroup& group, RewriteMode mode, float subarea_number, EditorOption option,
                         ModelEditBuffer& buffer)
{
    if (value_at(group, SUBAREA_NUMBER_VALUE) != subarea_number) return 0;
    const bool fetch = mode == RewriteMode::FetchMode;
    if (option == EditorOption::TimeOfConcentration) {
        if (fetch) {
            buffer.edit_value(1) = value_at(group, LAG_VALUE);
            return RECORD_FOUND;
        }
        value_at(group, LAG_VALUE) = buffer.edit_value(1);
        return 0;
    }
    static constexpr int EDITED[4] = {AREA_VALUE, ABSTRACTION_VALUE, CURVE_NUMBER_VALUE, IMPERVIOUS_VALUE};
    for (int k = 1; k <= 4; ++k) {
        float& stored = value_at(group, EDITED[k - 1]);
        if (fetch) {
            buffer.edit_value(k) = stored;
        } else {
            stored = buffer.edit_value(k);
        }
    }
    return fetch ? RECORD_FOUND : 0;
}

int access_storage_group(ModelGroup& group, RewriteMode mode, ModelEditBuffer& buffer)
{
    if (mode == RewriteMode::FetchMode) {
        buffer.storage_values.fill(0.0f);
        for (std::size_t k = 0; k < group.values.size(); ++k) buffer.storage_values[4 + k] = group.values[k];
        return RECORD_FOUND;
    }
    // Each model file keeps its own leading values; the routing block is the edit.
    for (int k = 0; k < STORAGE_ROUTING_VALUES; ++k) {
        value_at(group, STORAGE_LEADING_VALUES + 1 + k) = buffer.storage_value(STORAGE_BLOCK_IN_BUFFER + k);
    }
    return 0;
}

}  // namespace

int find_model_group(ModelFile& file, RewriteMode mode, float subarea_number, EditorOption option,
                     ModelEditBuffer& buffer)
{
    // A file that an edit rewrites is written in the current header layout.
    if (mode == RewriteMode::CopyMode) upgrade_model_file_layout(file);
    for (ModelGroup& group : file.groups) {
        const GroupLayout layout = file.layout_of(group);
        int status = 0;
        if (layout.family_code == INITIAL_SUBAREA_CODE && layout.subarea_number_position > 0 &&
            (option == EditorOption::SubareaAttributes || option == EditorOption::TimeOfConcentration)) {
            status = access_subarea_group(group, mode, subarea_number, option, buffer);
        } else if (layout.family_code == STORAGE_ELEMENT_CODE && option == EditorOption::LinkPrimaryElement &&
                   group.values.size() == STORAGE_LEADING_VALUES + STORAGE_ROUTING_VALUES &&
                   group.upstream_node == buffer.edit_node_pair[0] &&
                   group.downstream_node == buffer.edit_node_pair[1]) {
            status = access_storage_group(group, mode, buffer);
        }
        if (status == RECORD_FOUND) return status;
    }
    return 0;
}

}  // namespace velm
