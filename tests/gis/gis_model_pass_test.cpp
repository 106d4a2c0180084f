// The GIS pass over whole model files: which groups go to which updater
// (short forms and synonyms included), which are left as read, and the
// area-weighted sums a file hands to the copy-back.
#include "gis/gis_model_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

constexpr float UP = 123401.0f;
constexpr float DOWN = 123402.0f;
const float PACKED = 1.0f + 12345.0f / 1000000.0f;

ModelFile model_file(int model_type, float header_value_9)
{
    ModelFile file;
    const bool compact = model_type == 7 || model_type == 8;
    file.header.values.assign(compact ? COMPACT_HEADER_VALUES : FULL_HEADER_VALUES, 0.0f);
    file.header.set_value(2, static_cast<float>(model_type));
    file.header.set_value(7, compact ? 2.0f : 1.0f);
    file.header.set_value(9, header_value_9);
    return file;
}

ModelGroup group(float code, std::vector<float> values, std::optional<std::string> text = std::nullopt)
{
    return ModelGroup{UP, DOWN, code, std::move(values), std::move(text)};
}

// A reach's head values, then zeros up to the code's length; a subarea part
// with one cell of 1 acre when the layout has one.
std::vector<float> reach(float code, int model_type, int extension_switch = 1)
{
    const GroupLayout layout = *group_layout(code, model_type, extension_switch);
    std::vector<float> values(static_cast<std::size_t>(layout.data_count), 0.0f);
    values[0] = 100.0f;
    values[1] = 90.0f;
    values[2] = 500.0f;
    if (layout.packed_subarea_position > 0) {
        values[static_cast<std::size_t>(layout.packed_subarea_position - 1)] = PACKED;
        values[static_cast<std::size_t>(layout.land_use_position - 1)] = 1.0f;
        values[static_cast<std::size_t>(layout.land_use_position)] = 1.0f;
        values[static_cast<std::size_t>(layout.land_use_position + 1)] = 1.0f;
    }
    return values;
}

GisLookups lookups(std::array<float, 6> subarea_values = {})
{
    GisSubareaRecord subarea;
    subarea.subarea_number() = 12345.0f;
    for (int i = 1; i <= 6; ++i) subarea.subarea_parameter(i) = subarea_values[static_cast<std::size_t>(i - 1)];
    subarea.cell_land_use(1) = 4.0f;
    subarea.cell_soil(1) = 2.0f;
    subarea.cell_area(1) = 640.0f;
    GisLinkRecord link;
    link.upstream_node() = UP;
    link.downstream_node() = DOWN;
    link.link_length() = 400.0f;
    link.element_height() = 3.0f;
    link.element_base_width() = 6.0f;
    link.element_side_slope() = 2.0f;
    link.element_friction_factor() = 0.03f;
    GisNodeRecord up;
    up.node_number() = UP;
    up.node_elevation() = 100.0f;
    GisNodeRecord down;
    down.node_number() = DOWN;
    down.node_elevation() = 98.0f;
    GisLookups found({subarea}, {link}, {up, down});
    LinkRecord in_data_base;
    in_data_base.upstream_node() = UP;
    in_data_base.downstream_node() = DOWN;
    in_data_base.channel_freeboard() = 0.5f;  // ft
    found.add_channel_freeboards("AB1234ZZ.ZLL", {in_data_base});
    return found;
}

TEST(GisModelPass, ShortFormsAreUpdatedAsTheirFamilyAndKeepTheirCode)
{
    ModelFile file = model_file(3, 19.0f);  // option 9
    file.groups = {group(2.0f, reach(2.0f, 3)),
                   group(57.0f, reach(57.0f, 3)),
                   group(13.0f, {}),
                   group(15.0f, {1.0f}, std::string(50, 'T')),
                   group(0.0f, {5.0f}),
                   group(48.0f, reach(48.0f, 3))};
    apply_gis_to_model_file(file, lookups());
    EXPECT_EQ(file.groups[0].code_value, 2.0f);
    EXPECT_EQ(file.groups[0].values[1], 98.0f) << "code 2 updated as 21";
    EXPECT_EQ(file.groups[0].values[2], 400.0f);
    EXPECT_EQ(file.groups[0].values[3], PACKED) << "one GIS cell: the same packed value";
    EXPECT_EQ(file.groups[0].values[6], 640.0f);
    EXPECT_EQ(file.groups[1].values[4], 6.0f) << "code 57 updated as a channel";
    EXPECT_EQ(file.groups[1].values[6], 3.5f) << "code 57: the GIS depth with the freeboard";
    EXPECT_EQ(file.groups[3].text, std::string(50, 'T'));
    EXPECT_EQ(file.groups[4].values, std::vector<float>{5.0f});
    EXPECT_EQ(file.groups[5].values[4], 6.0f) << "code 48 updated as 46: base width, then height";
    EXPECT_EQ(file.groups[5].values[5], 3.0f);
    EXPECT_NO_THROW(model_file_records(file, "updated")) << "the updated file still walks";
}

TEST(GisModelPass, OptionsThatSelectNothingLeaveTheFileAsRead)
{
    for (const float header_value_9 : {0.0f, 1.0f, 8.0f, 18.0f, -7.0f}) {
        SCOPED_TRACE(header_value_9);
        ModelFile file = model_file(3, header_value_9);
        file.groups = {group(21.0f, reach(21.0f, 3)), group(41.0f, reach(41.0f, 3)), group(51.0f, reach(51.0f, 3))};
        const ModelFile before = file;
        apply_gis_to_model_file(file, lookups());
        for (std::size_t g = 0; g < file.groups.size(); ++g) EXPECT_EQ(file.groups[g].values, before.groups[g].values);
    }
}

TEST(GisModelPass, AreaWeightedSumsOfAFile)
{
    // Model type 8, extension values present: every subarea part adds its
    // area, a found subarea its GIS values weighted by that area.
    ModelFile file = model_file(8, 2.0f);
    std::vector<float> unknown = reach(81.0f, 8, 2);
    unknown[0] = 2.054321f;  // a subarea the GIS file does not hold
    file.groups = {group(81.0f, reach(81.0f, 8, 2)), group(81.0f, unknown), group(41.0f, reach(41.0f, 8, 2))};
    const AreaWeightedSums sums = apply_gis_to_model_file(file, lookups({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(sums.total_area, 640.0f + 1.0f);
    EXPECT_EQ(sums.weighted, (std::array<float, 6>{640.0f, 1280.0f, 1920.0f, 2560.0f, 3200.0f, 3840.0f}));
}

TEST(GisModelPass, CurveNumberFilesUpdateOnlyTheirSubareaAndChannelGroups)
{
    ModelFile file = model_file(10, 9.0f);
    std::vector<float> subarea(88, 0.0f);
    subarea[32] = 12345.0f;
    std::vector<float> channel(77, 1.0f);
    file.groups = {group(21.0f, subarea),
                   group(51.0f, channel),
                   group(2.0f, subarea),
                   group(61.0f, channel),
                   group(81.0f, {1.0f, 2.0f, 3.0f}),
                   group(152.0f, {1.0f}, std::string(50, 'S'))};
    const ModelFile before = file;
    const AreaWeightedSums sums = apply_gis_to_model_file(file, lookups());
    EXPECT_EQ(file.groups[0].values[0], 1.0f) << "640 acres";
    EXPECT_EQ(file.groups[1].values[4], 400.0f);
    EXPECT_EQ(file.groups[1].values[5], 2.0f / 400.0f);
    for (std::size_t g = 2; g < file.groups.size(); ++g) {
        EXPECT_EQ(file.groups[g].values, before.groups[g].values) << "group " << g;
        EXPECT_EQ(file.groups[g].text, before.groups[g].text);
    }
    EXPECT_EQ(sums.total_area, 0.0f);
    EXPECT_NO_THROW(model_file_records(file, "updated"));
}

}  // namespace
}  // namespace velm
