#include "gis/gis_group_updates.h"

#include <cmath>
#include <functional>
#include <optional>

#include "records/hydrology_model_type.h"

namespace velm {

namespace {

constexpr float ELEVATION_IN_SOIL_SCALE = 10000.0f;  // code 22 keeps the upstream elevation / 10000 in cell 1's soil
constexpr float TENTHS = 10.0f;
constexpr float PACKED_LENGTH_SCALE = 100.0f;  // code 22: 100 x length + a tenths digit

float& value(ModelGroup& group, int position)
{
    return group.values.at(static_cast<std::size_t>(position - 1));
}

float fraction_of(float number)
{
    return number - std::trunc(number);
}

float round_half_away(float number)
{
    return std::round(number);
}

// The six cells of a group from a data position, into the edit buffer's
// land-use table, and back.
LandUseTable read_cells(ModelGroup& group, int first)
{
    LandUseTable table;
    for (int k = 1; k <= MAX_LAND_USE_CELLS; ++k) {
        const int at = first + 3 * (k - 1);
        table.cell(k) = {value(group, at), value(group, at + 1), value(group, at + 2)};
    }
    return table;
}

void write_cells(ModelGroup& group, int first, const LandUseTable& table)
{
    for (int k = 1; k <= MAX_LAND_USE_CELLS; ++k) {
        const int at = first + 3 * (k - 1);
        value(group, at) = table.cell(k).land_use_code;
        value(group, at + 1) = table.cell(k).soil_code;
        value(group, at + 2) = table.cell(k).cell_area;
    }
}

// Values 1 to 3 of a reach: the two node elevations from the GIS node file
// and the length from the GIS link file, as the option selects.  Returns the
// link's GIS record when the link was found.
const GisLinkRecord* update_reach_head(ModelGroup& group, GisGroupContext& context)
{
    const GisUpdateOption option = context.state.option;
    if (option.selects_nodes()) {
        if (const std::optional<float> up = context.lookups.find_node_elevation(group.upstream_node))
            value(group, 1) = *up;
        if (const std::optional<float> down = context.lookups.find_node_elevation(group.downstream_node))
            value(group, 2) = *down;
    }
    const GisLinkRecord* link = nullptr;
    if (option.selects_links()) {
        link = context.lookups.find_link(group.upstream_node, group.downstream_node);
        if (link) value(group, 3) = link->link_length();
    }
    return link;
}

// How an updater's subarea part differs from the others'.
struct SubareaPartRules {
    bool skip_for_type6 = false;            // no look-up in a model type 6 file
    bool parameter_to_extension_1 = false;  // model type 9: extension value 1 takes the parameter
    // Changes of the cells after the look-up (table as left by it, cells as read).
    std::function<void(LandUseTable&, const LandUseTable&, const std::optional<GisSubareaFound>&)> change_cells;
    // The values between the cells and the extension values.
    std::function<void(int first_position, const std::optional<GisSubareaFound>&)> between;
};

// The subarea part: packed_subarea, the six cells and, with the extension
// switch at 2, the six extension values.  The subarea is looked up when the
// option selects the subarea data base and packed_subarea names one; a found
// subarea takes its cells and packed value from the GIS record and, for
// model types 3 and 8, its positive GIS values into the extension values,
// adding them, weighted by the part's area, to the sums.  Every part adds
// its area.
std::optional<GisSubareaFound> update_subarea_part(ModelGroup& group, const GroupLayout& layout,
                                                   GisGroupContext& context, const SubareaPartRules& rules)
{
    const GisPassState& state = context.state;
    const int packed_position = layout.packed_subarea_position;
    const int cells = layout.land_use_position;
    const float packed = value(group, packed_position);
    const bool look_up = state.option.selects_subareas() && packed_subarea_code(packed) != 0 &&
                         !(rules.skip_for_type6 && uses_packed_land_use(state.model_type));

    LandUseTable table = read_cells(group, cells);
    const LandUseTable as_read = table;
    std::optional<GisSubareaFound> found;
    if (look_up) found = context.lookups.find_subarea(packed_subarea_number(packed), state.model_type, table);
    if (found) value(group, packed_position) = found->packed_subarea;
    if (rules.change_cells) rules.change_cells(table, as_read, found);

    write_cells(group, cells, table);
    float area_total = 0.0f;
    for (const LandUseCell& cell : table.cells) area_total = area_total + cell.cell_area;
    if (rules.between) rules.between(cells + 3 * MAX_LAND_USE_CELLS, found);

    if (state.subarea_extension_switch == 2 && layout.extension_position > 0 && found) {
        const int extension = layout.extension_position;
        if (averages_gis_subarea_values(state.model_type)) {
            for (int k = 0; k < 6; ++k) {
                const float gis_value = found->values[static_cast<std::size_t>(k)];
                if (gis_value > 0.0f) value(group, extension + k) = gis_value;
                context.sums.weighted[static_cast<std::size_t>(k)] += gis_value * area_total;
            }
        }
        if (rules.parameter_to_extension_1 && uses_region_files(state.model_type) && found->has_parameter)
            value(group, extension) = found->parameter;
    }
    context.sums.total_area += area_total;
    return found;
}

// Model type 8 keeps a fraction in cell 1's land use: a land use taken from
// the GIS record is its whole part and the fraction read.  The GIS record
// may carry the fraction itself (a sorted export copies the data base's
// value); adding the fraction to it again would change the land use on
// every update with the same exports.
void keep_type8_land_use_fraction(const GisPassState& state, LandUseTable& table, const LandUseTable& as_read,
                                  const std::optional<GisSubareaFound>& found)
{
    if (is_model_type(state.model_type, HydrologyModelType::RuralLotAveraged) && found && found->cells_taken >= 1)
        table.cell(1).land_use_code =
            std::trunc(table.cell(1).land_use_code) + fraction_of(as_read.cell(1).land_use_code);
}

}  // namespace

void apply_gis_to_code21_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context)
{
    const GisPassState& state = context.state;
    SubareaPartRules rules;
    rules.parameter_to_extension_1 = true;
    switch (layout.family_code) {
        case 21: {
            update_reach_head(group, context);
            rules.change_cells = [&state](LandUseTable& table, const LandUseTable& as_read,
                                          const std::optional<GisSubareaFound>& found) {
                keep_type8_land_use_fraction(state, table, as_read, found);
            };
            update_subarea_part(group, layout, context, rules);
            break;
        }
        case 22: {
            // The upstream elevation goes into cell 1's soil, not into value 1;
            // value 3 holds the length packed with a tenths digit.
            std::optional<float> upstream_elevation;
            if (state.option.selects_nodes()) {
                upstream_elevation = context.lookups.find_node_elevation(group.upstream_node);
                if (const std::optional<float> down = context.lookups.find_node_elevation(group.downstream_node))
                    value(group, 2) = *down;
            }
            const GisLinkRecord* link = state.option.selects_links()
                                            ? context.lookups.find_link(group.upstream_node, group.downstream_node)
                                            : nullptr;
            const float packed_length_read = value(group, 3);
            if (link && !uses_packed_land_use(state.model_type))
                value(group, 3) =
                    PACKED_LENGTH_SCALE * link->link_length() + static_cast<float>(state.header_value_5) / TENTHS;
            // Cell 1's soil: the soil code (the GIS record's when it refilled
            // cell 1) and the elevation (the GIS node's when found), each
            // kept as read where the GIS files do not hold it.
            rules.change_cells = [&state, upstream_elevation](LandUseTable& table, const LandUseTable& as_read,
                                                              const std::optional<GisSubareaFound>& found) {
                const bool cell_from_gis = found && found->cells_taken >= 1;
                if (upstream_elevation || cell_from_gis) {
                    const float soil_read = as_read.cell(1).soil_code;
                    const float code = cell_from_gis ? table.cell(1).soil_code : std::trunc(soil_read);
                    const float elevation_part =
                        upstream_elevation ? *upstream_elevation / ELEVATION_IN_SOIL_SCALE : fraction_of(soil_read);
                    table.cell(1).soil_code = code + elevation_part;
                }
                keep_type8_land_use_fraction(state, table, as_read, found);
            };
            const std::optional<GisSubareaFound> found = update_subarea_part(group, layout, context, rules);
            if (link && uses_packed_land_use(state.model_type)) {
                // The tenths digit is the subarea parameter (3 for 0); without
                // the subarea it stays as read.
                const float length = link->link_length() > TYPE6_LENGTH_LIMIT ? TYPE6_LONG_LENGTH : link->link_length();
                float tenths = fraction_of(packed_length_read);
                if (found && found->has_parameter)
                    tenths = (found->parameter == 0.0f ? TYPE6_DEFAULT_PARAMETER : found->parameter) / TENTHS;
                value(group, 3) = round_half_away(PACKED_LENGTH_SCALE * length) + tenths;
            }
            break;
        }
        case 82:
            rules.between = [&group, &state](int first, const std::optional<GisSubareaFound>& found) {
                if (uses_packed_land_use(state.model_type) && found && found->has_parameter)
                    value(group, first) = found->parameter;
            };
            update_subarea_part(group, layout, context, rules);
            break;
        default:  // 81
            update_subarea_part(group, layout, context, rules);
            break;
    }
}

void apply_gis_to_code31_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context)
{
    const GisLinkRecord* link = update_reach_head(group, context);
    const int code = layout.family_code;
    if (layout.element_count == 6 && code != 36 && link && link->element_height() > 0.0f &&
        link->element_base_width() > 0.0f && link->element_friction_factor() > 0.0f) {
        const float friction = link->element_friction_factor();
        const bool keeps_whole_part = code == 41 || code == 43 || code == 46;
        value(group, 4) = keeps_whole_part ? std::trunc(value(group, 4)) + friction : friction;
        if (code == 46) {
            value(group, 5) = link->element_base_width();
            value(group, 6) = link->element_height();
        } else if (code == 34 || code == 37 || code == 47) {
            value(group, 5) = link->element_height();
            value(group, 6) = link->element_base_width();
        } else {
            value(group, 5) = link->element_height() * INCHES_PER_FOOT;
            value(group, 6) = link->element_base_width();
        }
    }
    if (layout.packed_subarea_position > 0) {
        SubareaPartRules rules;
        rules.skip_for_type6 = true;
        update_subarea_part(group, layout, context, rules);
    }
}

void apply_gis_to_code51_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context)
{
    const GisLinkRecord* link = update_reach_head(group, context);
    if (link && link->element_height() > 0.0f && link->element_base_width() > 0.0f &&
        link->element_side_slope() > 0.0f && link->element_friction_factor() > 0.0f) {
        value(group, 4) = link->element_friction_factor();
        value(group, 5) = link->element_base_width();
        value(group, 6) = link->element_side_slope();
        // The GIS height is the channel's depth; the model file's value
        // holds the depth with the link's freeboard on top.
        value(group, 7) =
            link->element_height() + context.lookups.channel_freeboard(group.upstream_node, group.downstream_node);
    }
    update_subarea_part(group, layout, context, {});
}

void apply_gis_to_code61_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context)
{
    update_reach_head(group, context);
    SubareaPartRules rules;
    rules.skip_for_type6 = true;
    update_subarea_part(group, layout, context, rules);
}

void apply_gis_to_code9_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context)
{
    // Model type 6 looks nothing up in its street groups.
    const GisLinkRecord* link =
        uses_packed_land_use(context.state.model_type) ? nullptr : update_reach_head(group, context);
    SubareaPartRules rules;
    rules.skip_for_type6 = true;
    rules.between = [&group, link](int first, const std::optional<GisSubareaFound>&) {
        if (!link) return;
        // The street values in the model file's order, not the GIS record's.
        const std::array<float, 6> street{
            link->gutter_width(),           link->gutter_hike(),           link->gutter_lip(),
            link->street_friction_factor(), link->center_lane_crossfall(), link->element_height()};
        for (float attribute : street)
            if (!(attribute > 0.0f)) return;
        for (int k = 0; k < 6; ++k) value(group, first + k) = street[static_cast<std::size_t>(k)];
    };
    update_subarea_part(group, layout, context, rules);
}

namespace {

// Type-10 positions (data values after the group head).
constexpr int T10_AREA = 1;             // the subarea's area (square miles)
constexpr int T10_CELLS = 5;            // six cells of land use, soil, area
constexpr int T10_LAND_USE_VALUE = 29;  // the seventh of the eleven values
constexpr int T10_SUBAREA_NUMBER = 33;  // the eleventh: the subarea number, unpacked
constexpr int T10_LENGTH = 5;           // ft
constexpr int T10_SLOPE = 6;
constexpr int T10_FRICTION = 7;
constexpr int T10_BASE_WIDTH = 9;   // the second of the 70 values, ft
constexpr int T10_SIDE_SLOPE = 10;  // the third

}  // namespace

void apply_gis_to_type10_code21_group(ModelGroup& group, GisGroupContext& context)
{
    if (!context.state.option.selects_subareas()) return;
    LandUseTable table = read_cells(group, T10_CELLS);
    const std::optional<GisSubareaFound> found =
        context.lookups.find_subarea(value(group, T10_SUBAREA_NUMBER), 10, table);
    if (!found) return;
    // Cell 1 hands its area to the group's area value and its land use to
    // the land-use value; its soil slot holds the subarea parameter.
    LandUseCell& first = table.cell(1);
    value(group, T10_AREA) = first.cell_area / ACRES_PER_SQUARE_MILE;
    value(group, T10_LAND_USE_VALUE) = first.land_use_code;
    first = {0.0f, found->parameter, 0.0f};
    write_cells(group, T10_CELLS, table);
}

void apply_gis_to_type10_code51_group(ModelGroup& group, GisGroupContext& context)
{
    const GisUpdateOption option = context.state.option;
    std::optional<float> upstream_elevation;
    std::optional<float> downstream_elevation;
    if (option.selects_nodes()) {
        upstream_elevation = context.lookups.find_node_elevation(group.upstream_node);
        downstream_elevation = context.lookups.find_node_elevation(group.downstream_node);
    }
    const GisLinkRecord* link =
        option.selects_links() ? context.lookups.find_link(group.upstream_node, group.downstream_node) : nullptr;
    if (!link) return;
    const float length = link->link_length();
    value(group, T10_LENGTH) = length;
    value(group, T10_FRICTION) = link->element_friction_factor();
    value(group, T10_BASE_WIDTH) = link->element_base_width();
    value(group, T10_SIDE_SLOPE) = link->element_side_slope();
    // A length of 0 gives no slope: the slope read stays.
    if (upstream_elevation && downstream_elevation && length != 0.0f)
        value(group, T10_SLOPE) = (*upstream_elevation - *downstream_elevation) / length;
}

}  // namespace velm
