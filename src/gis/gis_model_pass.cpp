#include "gis/gis_model_pass.h"

#include <algorithm>

#include "gis/gis_group_updates.h"
#include "records/hydrology_model_type.h"
#include "records/process_codes.h"

namespace velm {

namespace {

void apply_gis_to_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context)
{
    const int code = layout.family_code;
    if (is_initial_subarea_code(code) || is_subarea_addition_code(code)) {
        apply_gis_to_code21_group(group, layout, context);
    } else if (is_conduit_code(code)) {
        apply_gis_to_code31_group(group, layout, context);
    } else if (is_open_channel_code(code)) {
        apply_gis_to_code51_group(group, layout, context);
    } else if (is_storage_element_code(code) || is_street_code(code)) {
        apply_gis_to_code61_group(group, layout, context);
    } else if (code == 9) {
        apply_gis_to_code9_group(group, layout, context);
    }
}

}  // namespace

AreaWeightedSums apply_gis_to_model_file(ModelFile& file, const GisLookups& lookups)
{
    const GisPassState state = GisPassState::of(file.header);
    AreaWeightedSums sums;
    GisGroupContext context{state, lookups, sums};
    if (is_curve_number_model(state.model_type)) {
        // No short forms here: only the codes themselves are updated.
        for (ModelGroup& group : file.groups) {
            const int code = group.process_code();
            if (code == 21) apply_gis_to_type10_code21_group(group, context);
            if (code == 51 || code == 52) apply_gis_to_type10_code51_group(group, context);
        }
        return sums;
    }
    visit_model_groups(
        file, [&context](ModelGroup& group, const GroupLayout& layout) { apply_gis_to_group(group, layout, context); });
    return sums;
}

bool sets_channel_depths(const ModelFile& file)
{
    if (is_curve_number_model(GisPassState::of(file.header).model_type)) return false;
    return std::any_of(file.groups.begin(), file.groups.end(), [](const ModelGroup& group) {
        return is_open_channel_code(canonical_process_code(group.process_code()));
    });
}

}  // namespace velm
