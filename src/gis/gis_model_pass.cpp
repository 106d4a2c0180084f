#include "gis/gis_model_pass.h"

#include "gis/gis_group_updates.h"

namespace velm {

namespace {

constexpr int CURVE_NUMBER_MODEL = 10;

void apply_gis_to_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context) {
    const int code = layout.family_code;
    if (code == 21 || code == 22 || code == 81 || code == 82) {
        apply_gis_to_code21_group(group, layout, context);
    } else if (code >= 31 && code <= 47) {
        apply_gis_to_code31_group(group, layout, context);
    } else if (code >= 51 && code <= 56) {
        apply_gis_to_code51_group(group, layout, context);
    } else if (code >= 61 && code <= 63) {
        apply_gis_to_code61_group(group, layout, context);
    } else if (code == 9) {
        apply_gis_to_code9_group(group, layout, context);
    }
}

}  // namespace

AreaWeightedSums apply_gis_to_model_file(ModelFile& file, const GisLookups& lookups) {
    const GisPassState state = GisPassState::of(file.header);
    AreaWeightedSums sums;
    GisGroupContext context{state, lookups, sums};
    if (state.model_type == CURVE_NUMBER_MODEL) {
        // No short forms here: only the codes themselves are updated.
        for (ModelGroup& group : file.groups) {
            const int code = group.process_code();
            if (code == 21) apply_gis_to_type10_code21_group(group, context);
            if (code == 51 || code == 52) apply_gis_to_type10_code51_group(group, context);
        }
        return sums;
    }
    visit_model_groups(file, [&context](ModelGroup& group, const GroupLayout& layout) {
        apply_gis_to_group(group, layout, context);
    });
    return sums;
}

}  // namespace velm
