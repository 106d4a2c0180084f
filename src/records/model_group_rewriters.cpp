// The group rewriters of the model-file rewrite walker.
#include "records/model_group_rewriters.h"

#include <cmath>

#include "records/process_codes.h"

namespace velm {

namespace {

constexpr int LAND_USE_CELL_VALUES = 3;

float& data_value(ModelGroup& group, int position)
{
    return group.values.at(static_cast<std::size_t>(position - 1));
}
float data_value(const ModelGroup& group, int position)
{
    return group.values.at(static_cast<std::size_t>(position - 1));
}

// The subarea part shared by the five families that carry one.  A fetch of
// a subarea attribute edit takes the cells of the first group of the edited
// subarea; the writing modes put the buffer's packed code (copy mode only)
// and cells (attribute edit only) into every group of it.
int rewrite_subarea_part(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer)
{
    if (layout.packed_subarea_position == 0) return 0;  // a type-10 group: its own access
    const float packed = data_value(group, layout.packed_subarea_position);
    const float number = packed_subarea_number(packed);
    const bool edited = number != 0.0f && number == pass.subarea_key;
    if (!edited) return 0;
    const bool attributes = pass.option == EditorOption::SubareaAttributes;
    if (pass.mode == RewriteMode::FetchMode) {
        if (!attributes) return 0;
        buffer.land_use_table = group_land_use_table(group, layout);
        return RECORD_FOUND;
    }
    if (pass.mode == RewriteMode::CopyMode && buffer.packed_subarea_code != KEEP_PACKED_CODE) {
        data_value(group, layout.packed_subarea_position) = pack_subarea(buffer.packed_subarea_code, number);
    }
    if (attributes) set_group_land_use_table(group, layout, buffer.land_use_table);
    return 0;
}

// The time of concentration of the initial subareas (value 1 of codes 21
// and 22) and of code 82 (the second value after its cells), model type 6.
int rewrite_time_of_concentration(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass,
                                  ModelEditBuffer& buffer)
{
    if (layout.packed_subarea_position == 0) return 0;
    int position = 0;
    if (is_initial_subarea_code(layout.family_code)) position = 1;
    if (layout.family_code == 82) position = layout.packed_subarea_position + SUBAREA_PART_VALUES + 1;
    if (position == 0) return 0;
    const float number = packed_subarea_number(data_value(group, layout.packed_subarea_position));
    if (number == 0.0f || number != pass.subarea_key) return 0;
    if (pass.event_slot < 0 || pass.event_slot >= EVENT_SLOTS) return 0;  // no slot past 6 is read or written
    const auto slot = static_cast<std::size_t>(pass.event_slot);
    if (pass.mode == RewriteMode::FetchMode) {
        buffer.event_return_frequency[slot] = pass.storm_return_frequency;
        buffer.event_time_value[slot] = data_value(group, position);
        return RECORD_FOUND;
    }
    data_value(group, position) = buffer.event_time_value[slot];
    return 0;
}

// Primary element edit: the six-value conduits take the friction factor into
// the fraction of value 4 and the diameter (inches) or box base width into
// value 5, the boxes 36 and 46 their height into value 6; the open channels
// take friction, base width, side slope and depth (height plus freeboard).
void rewrite_primary_element(ModelGroup& group, const GroupLayout& layout, const ModelEditBuffer& buffer)
{
    const int first = layout.element_position;
    if (layout.element_count == 6) {
        float& value4 = data_value(group, first + 3);
        value4 = std::trunc(value4) + buffer.edit_value(4);
        data_value(group, first + 4) = buffer.edit_value(2);
        if (layout.family_code == 36 || layout.family_code == 46) data_value(group, first + 5) = buffer.edit_value(1);
    } else if (layout.element_count == 7) {
        data_value(group, first + 3) = buffer.edit_value(4);
        data_value(group, first + 4) = buffer.edit_value(2);
        data_value(group, first + 5) = buffer.edit_value(3);
        data_value(group, first + 6) = buffer.edit_value(1) + buffer.edit_value(5);
    }
}

// Street section edit: the section number into the conduits' street part and
// into codes 62 and 63, the section's own values into code 61.
void rewrite_street_part(ModelGroup& group, const GroupLayout& layout, const StreetSectionEdit& street)
{
    if (layout.street_position == 0) return;
    if (layout.family_code == 61) {
        const std::array<float, 5> values = code61_street_values(street);
        for (int k = 0; k < 5; ++k) data_value(group, layout.street_position + k) = values[static_cast<std::size_t>(k)];
        return;
    }
    data_value(group, layout.street_position) = static_cast<float>(street.street_section_number);
}

}  // namespace

bool carries_subarea_part(const GroupLayout& layout)
{
    return layout.packed_subarea_position > 0;
}

float group_subarea_number(const ModelGroup& group, const GroupLayout& layout)
{
    if (!carries_subarea_part(layout)) return 0.0f;
    return packed_subarea_number(data_value(group, layout.packed_subarea_position));
}

LandUseTable group_land_use_table(const ModelGroup& group, const GroupLayout& layout)
{
    LandUseTable table;
    for (int k = 1; k <= MAX_LAND_USE_CELLS; ++k) {
        const int first = layout.land_use_position + LAND_USE_CELL_VALUES * (k - 1);
        table.cell(k) = {data_value(group, first), data_value(group, first + 1), data_value(group, first + 2)};
    }
    return table;
}

void set_group_land_use_table(ModelGroup& group, const GroupLayout& layout, const LandUseTable& table)
{
    for (int k = 1; k <= MAX_LAND_USE_CELLS; ++k) {
        const int first = layout.land_use_position + LAND_USE_CELL_VALUES * (k - 1);
        data_value(group, first) = table.cell(k).land_use_code;
        data_value(group, first + 1) = table.cell(k).soil_code;
        data_value(group, first + 2) = table.cell(k).cell_area;
    }
}

std::array<float, 5> code61_street_values(const StreetSectionEdit& street)
{
    const double inches = static_cast<double>(street.curb_height) * static_cast<double>(INCHES_PER_FOOT);
    return {static_cast<float>(std::round(inches)),  // std::round takes halves away from zero
            street.street_half_width, street.crown_to_gradebreak_distance, street.center_lane_crossfall,
            static_cast<float>(static_cast<double>(street.parkway_crossfall) * 1000.0 +
                               static_cast<double>(street.outside_lane_crossfall))};
}

namespace {

bool is_link_edit(const GroupPass& pass, int mark, EditorOption option)
{
    return pass.mode == RewriteMode::LinkEditMode && pass.group_mark == mark && pass.option == option;
}

// Initial subareas (21, 22) and subarea additions (81, 82): the time of
// concentration and the subarea part.
int rewrite_code21_group(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer)
{
    if (pass.mode == RewriteMode::LinkEditMode) return 0;
    if (pass.option == EditorOption::TimeOfConcentration &&
        rewrite_time_of_concentration(group, layout, pass, buffer) == RECORD_FOUND)
        return RECORD_FOUND;
    return rewrite_subarea_part(group, layout, pass, buffer);
}

// Conduits (31 to 48): the element values of the six-value codes, the street
// section number of 32, 33, 34 and 43, and their subarea part.
int rewrite_code31_group(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer,
                         const StreetSectionEdit& street)
{
    if (is_link_edit(pass, RECORD_FOUND, EditorOption::LinkPrimaryElement))
        rewrite_primary_element(group, layout, buffer);
    if (is_link_edit(pass, STREET_EDIT_MARK, EditorOption::LinkStreetSection))
        rewrite_street_part(group, layout, street);
    if (pass.mode == RewriteMode::LinkEditMode || !carries_subarea_part(layout)) return 0;
    return rewrite_subarea_part(group, layout, pass, buffer);
}

// Open channels (51 to 57): the element values and the subarea part.
int rewrite_code51_group(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer)
{
    if (is_link_edit(pass, RECORD_FOUND, EditorOption::LinkPrimaryElement))
        rewrite_primary_element(group, layout, buffer);
    if (pass.mode == RewriteMode::LinkEditMode) return 0;
    return rewrite_subarea_part(group, layout, pass, buffer);
}

// Street flow (61 to 63): the street values or section number, and the subarea part.
int rewrite_code61_group(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer,
                         const StreetSectionEdit& street)
{
    if (is_link_edit(pass, STREET_EDIT_MARK, EditorOption::LinkStreetSection))
        rewrite_street_part(group, layout, street);
    if (pass.mode == RewriteMode::LinkEditMode) return 0;
    return rewrite_subarea_part(group, layout, pass, buffer);
}

// Code 9: the subarea part.
int rewrite_code9_group(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer)
{
    if (pass.mode == RewriteMode::LinkEditMode) return 0;
    return rewrite_subarea_part(group, layout, pass, buffer);
}

}  // namespace

int rewrite_model_group(ModelGroup& group, const GroupLayout& layout, const GroupPass& pass, ModelEditBuffer& buffer,
                        const StreetSectionEdit& street)
{
    const int family = layout.family_code;
    if (is_initial_subarea_code(family) || is_subarea_addition_code(family))
        return rewrite_code21_group(group, layout, pass, buffer);
    if (family >= 31 && family <= 48) return rewrite_code31_group(group, layout, pass, buffer, street);
    if (family >= 51 && family <= 57) return rewrite_code51_group(group, layout, pass, buffer);
    if (family >= 61 && family <= 63) return rewrite_code61_group(group, layout, pass, buffer, street);
    if (family == 9) return rewrite_code9_group(group, layout, pass, buffer);
    // Codes 0, 1, 7, 10 to 14, 16 and the text groups carry nothing an edit changes.
    return 0;
}

}  // namespace velm
