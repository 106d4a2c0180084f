// The GIS record look-ups and the group updaters, one group at a time: what
// each replaces under which option and model type, and what it leaves.
#include "gis/gis_group_updates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "gis/gis_model_pass.h"
#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

constexpr float UP = 123401.0f;
constexpr float DOWN = 123402.0f;

GisSubareaRecord gis_subarea(float number, std::vector<std::array<float, 3>> cells, std::array<float, 6> values = {})
{
    GisSubareaRecord record;
    record.subarea_number() = number;
    for (int i = 1; i <= 6; ++i) record.subarea_parameter(i) = values[static_cast<std::size_t>(i - 1)];
    for (std::size_t k = 0; k < cells.size(); ++k) {
        record.cell_land_use(static_cast<int>(k) + 1) = cells[k][0];
        record.cell_soil(static_cast<int>(k) + 1) = cells[k][1];
        record.cell_area(static_cast<int>(k) + 1) = cells[k][2];
    }
    return record;
}

GisLinkRecord gis_link(float length, float height = 0.0f, float width = 0.0f, float side_slope = 0.0f,
                       float friction = 0.0f)
{
    GisLinkRecord record;
    record.upstream_node() = UP;
    record.downstream_node() = DOWN;
    record.link_length() = length;
    record.element_height() = height;
    record.element_base_width() = width;
    record.element_side_slope() = side_slope;
    record.element_friction_factor() = friction;
    return record;
}

// The link data base's record of the link UP to DOWN.
LinkRecord link_with_freeboard(float freeboard, float upstream = UP, float downstream = DOWN)
{
    LinkRecord record;
    record.upstream_node() = upstream;
    record.downstream_node() = downstream;
    record.channel_freeboard() = freeboard;  // ft
    return record;
}

GisNodeRecord gis_node(float number, float elevation)
{
    GisNodeRecord record;
    record.node_number() = number;
    record.node_elevation() = elevation;
    return record;
}

// One group and the state of its file.
struct Pass {
    GisPassState state;
    GisLookups lookups;
    AreaWeightedSums sums;

    Pass(int model_type, int option, int extension_switch = 1)
    {
        state.model_type = model_type;
        state.option.digit = option;
        state.subarea_extension_switch = extension_switch;
    }
    ModelGroup run(float code, std::vector<float> values, float upstream = UP, float downstream = DOWN)
    {
        ModelGroup group{upstream, downstream, code, std::move(values), {}};
        GisGroupContext context{state, lookups, sums};
        if (state.model_type == 10) {
            if (group.process_code() == 21) apply_gis_to_type10_code21_group(group, context);
            if (group.process_code() == 51 || group.process_code() == 52)
                apply_gis_to_type10_code51_group(group, context);
            return group;
        }
        const GroupLayout layout = *group_layout(code, state.model_type, state.subarea_extension_switch);
        EXPECT_EQ(group.values.size(), static_cast<std::size_t>(layout.data_count));
        const int family = layout.family_code;
        if (family == 21 || family == 22 || family == 81 || family == 82)
            apply_gis_to_code21_group(group, layout, context);
        else if (family >= 31 && family <= 47)
            apply_gis_to_code31_group(group, layout, context);
        else if (family >= 51 && family <= 56)
            apply_gis_to_code51_group(group, layout, context);
        else if (family >= 61 && family <= 63)
            apply_gis_to_code61_group(group, layout, context);
        else if (family == 9)
            apply_gis_to_code9_group(group, layout, context);
        return group;
    }
};

// A code-21 group: elevations, length, packed_subarea and cells (and six
// extension values when asked).
std::vector<float> code21_values(float packed, std::vector<float> cells = {}, int extension = 0)
{
    std::vector<float> values{100.0f, 90.0f, 500.0f, packed};
    cells.resize(18, 0.0f);
    values.insert(values.end(), cells.begin(), cells.end());
    values.insert(values.end(), static_cast<std::size_t>(extension), 7.0f);
    return values;
}

TEST(GisUpdateOption, DigitsSelectTheDataBasesOfTheirWeights)
{
    struct Case {
        float header_value_9;
        int digit;
        bool subareas, links, nodes;
    };
    const std::vector<Case> cases = {
        {2, 2, true, false, false},  {23, 3, false, true, false},   {4, 4, false, false, true},
        {5, 5, true, true, false},   {6, 6, true, false, true},     {17, 7, false, true, true},
        {9, 9, true, true, true},    {8, 8, false, false, false},   {1, 1, false, false, false},
        {0, 0, false, false, false}, {-7, -7, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header_value_9);
        ModelFileHeader header;
        header.values.assign(FULL_HEADER_VALUES, 0.0f);
        header.set_value(2, -8.0f);
        header.set_value(9, c.header_value_9);
        const GisPassState state = GisPassState::of(header);
        EXPECT_EQ(state.model_type, 8);
        EXPECT_EQ(state.option.digit, c.digit);
        EXPECT_EQ(state.option.selects_subareas(), c.subareas);
        EXPECT_EQ(state.option.selects_links(), c.links);
        EXPECT_EQ(state.option.selects_nodes(), c.nodes);
    }
}

TEST(GisLookups, SubareaCellsAboveTheSmallestAreaFillTheTableInOrder)
{
    const GisLookups lookups(
        {gis_subarea(12345.0f, {{1, 1, 0.004f}, {2, 2, 12.5f}, {3, 3, 0.005f}, {4, 4, 3.0f}}, {9, 8, 7, 6, 5, 4}),
         gis_subarea(12345.0f, {{9, 9, 9}}), gis_subarea(23456.0f, {{1, 1, 0.001f}})},
        {gis_link(10.0f)}, {});
    LandUseTable table;
    table.cells.fill({5.0f, 5.0f, 5.0f});
    const std::optional<GisSubareaFound> found = lookups.find_subarea(12345.0f, 6, table);
    ASSERT_TRUE(found);
    auto cell = [&table](int k) {
        const LandUseCell& c = table.cell(k);
        return std::array<float, 3>{c.land_use_code, c.soil_code, c.cell_area};
    };
    EXPECT_EQ(cell(1), (std::array<float, 3>{2, 2, 12.5f})) << "the first record of the number";
    EXPECT_EQ(cell(2), (std::array<float, 3>{4, 4, 3.0f}));
    EXPECT_EQ(cell(3), (std::array<float, 3>{5, 5, 5})) << "cells beyond those taken keep their values";
    EXPECT_EQ(found->packed_subarea, 2.0f + 12345.0f / 1000000.0f);
    EXPECT_EQ(found->values[0], 9.0f);
    EXPECT_EQ(found->parameter, 9.0f) << "model type 6: GIS value 2";
    EXPECT_FALSE(lookups.find_subarea(12345.0f, 8, table)->has_parameter) << "model type 8 has none";

    LandUseTable untouched = table;
    EXPECT_EQ(lookups.find_subarea(23456.0f, 3, untouched)->packed_subarea, 23456.0f / 1000000.0f);
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(untouched.cell(k).cell_area, table.cell(k).cell_area);
    EXPECT_FALSE(lookups.find_subarea(12345.5f, 3, table));
    EXPECT_NE(lookups.find_link(UP, DOWN), nullptr);
    EXPECT_EQ(lookups.find_link(DOWN, UP), nullptr) << "a link is keyed upstream node first";
}

// The files of an update are read once, each under its own name: the model
// files of two regions find their own region's records, the first of a
// number in each file, whichever file was read first.
TEST(GisLookups, FilesReadOnceForTheUpdateKeepTheirOwnRecords)
{
    test::TemporaryDirectory directory;
    write_gis_node_file("AB1200ZZ.ZZN", {gis_node(UP, 101.0f), gis_node(UP, 150.0f), gis_node(DOWN, 91.0f)});
    write_gis_node_file("AB1300ZZ.ZZN", {gis_node(DOWN, 81.0f), gis_node(UP, 111.0f)});
    write_gis_link_file("AB1200ZZ.ZZL", {gis_link(450.0f), gis_link(999.0f)});
    GisFileCache cache;
    const GisLookups region_12 = GisLookups::read(cache, std::nullopt, "AB1200ZZ.ZZL", "AB1200ZZ.ZZN");
    const GisLookups region_13 = GisLookups::read(cache, std::nullopt, "AB1300ZZ.ZZL", "AB1300ZZ.ZZN");
    const GisLookups region_12_again = GisLookups::read(cache, std::nullopt, "AB1200ZZ.ZZL", "AB1200ZZ.ZZN");
    for (const GisLookups* lookups : {&region_12, &region_12_again}) {
        EXPECT_EQ(lookups->find_node_elevation(UP), 101.0f) << "the first record of the node";
        EXPECT_EQ(lookups->find_node_elevation(DOWN), 91.0f);
        ASSERT_NE(lookups->find_link(UP, DOWN), nullptr);
        EXPECT_EQ(lookups->find_link(UP, DOWN)->link_length(), 450.0f);
    }
    EXPECT_EQ(region_13.find_node_elevation(UP), 111.0f);
    EXPECT_EQ(region_13.find_node_elevation(DOWN), 81.0f);
    EXPECT_EQ(region_13.find_link(UP, DOWN), nullptr) << "a missing GIS file holds no record";
    EXPECT_EQ(cache.nodes("AB1200ZZ.ZZN"), cache.nodes("AB1200ZZ.ZZN")) << "read once";
    EXPECT_FALSE(std::filesystem::exists("AB1300ZZ.ZZL")) << "a missing GIS file is not created";
}

TEST(SubareaGroupUpdate, OptionsAndFoundSubareas)
{
    // Packed 3.012345: subarea 12345 with two GIS cells above 0.005 acres.
    const float packed = 3.0f + 12345.0f / 1000000.0f;
    const std::vector<float> cells{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    auto lookups = [] {
        return GisLookups({gis_subarea(12345.0f, {{8, 2, 4.0f}, {9, 3, 0.001f}, {7, 4, 2.0f}})}, {gis_link(450.0f)},
                          {gis_node(UP, 101.0f), gis_node(DOWN, 91.0f)});
    };
    {
        Pass pass(3, 2);
        pass.lookups = lookups();
        const ModelGroup group = pass.run(21.0f, code21_values(packed, cells));
        EXPECT_EQ(std::vector<float>(group.values.begin(), group.values.begin() + 3),
                  (std::vector<float>{100, 90, 500}))
            << "option 2 leaves elevations and length";
        EXPECT_EQ(group.values[3], 2.0f + 12345.0f / 1000000.0f);
        EXPECT_EQ(std::vector<float>(group.values.begin() + 4, group.values.begin() + 13),
                  (std::vector<float>{8, 2, 4, 7, 4, 2, 1, 1, 1}))
            << "cells 1 and 2 from the GIS record, cell 3 as read";
        EXPECT_EQ(pass.sums.total_area, 4.0f + 2.0f + 1.0f + 1.0f);
    }
    {
        Pass pass(3, 7);
        pass.lookups = lookups();
        const ModelGroup group = pass.run(21.0f, code21_values(packed, cells));
        EXPECT_EQ(std::vector<float>(group.values.begin(), group.values.begin() + 3),
                  (std::vector<float>{101, 91, 450}));
        EXPECT_EQ(group.values[3], packed) << "option 7 leaves the subarea";
        const std::vector<float> code81 = std::vector<float>(group.values.begin() + 3, group.values.end());
        EXPECT_EQ(pass.run(81.0f, code81).values, code81);
    }
    for (const float unknown : {0.012345f, 3.054321f}) {  // no subarea, or one not in the GIS file
        Pass pass(3, 9);
        pass.lookups = lookups();
        const std::vector<float> values = code21_values(unknown, cells);
        const ModelGroup group = pass.run(21.0f, values);
        EXPECT_EQ(std::vector<float>(group.values.begin() + 3, group.values.end()),
                  std::vector<float>(values.begin() + 3, values.end()));
    }
}

TEST(SubareaGroupUpdate, ExtensionValuesAndWeightedSums)
{
    Pass pass(3, 2, 2);
    pass.lookups = GisLookups({gis_subarea(12345.0f, {{8, 2, 4.0f}}, {1.5f, 0.0f, 2.0f, 0, 0, 3.0f})}, {}, {});
    const ModelGroup group = pass.run(21.0f, code21_values(1.012345f, {1, 1, 1}, 6));
    EXPECT_EQ(std::vector<float>(group.values.end() - 6, group.values.end()), (std::vector<float>{1.5f, 7, 2, 7, 7, 3}))
        << "a GIS value of 0 leaves its extension value";
    EXPECT_EQ(pass.sums.weighted, (std::array<float, 6>{6.0f, 0.0f, 8.0f, 0.0f, 0.0f, 12.0f}));
    EXPECT_EQ(pass.sums.total_area, 4.0f);

    // A subarea not in the GIS file adds its area only.
    pass.run(21.0f, code21_values(1.054321f, {1, 1, 2}, 6));
    EXPECT_EQ(pass.sums.weighted[0], 6.0f);
    EXPECT_EQ(pass.sums.total_area, 6.0f);
}

TEST(SubareaGroupUpdate, ModelTypeRulesOfCodes22And82)
{
    const float packed = 1.0f + 12345.0f / 1000000.0f;
    auto code22 = [&](float value_3) {
        std::vector<float> values{5.0f, 90.0f, value_3, packed, 1.0f, 2.3f, 1.0f};
        values.resize(22, 0.0f);
        return values;
    };
    for (const auto& [parameter, expected] :
         std::vector<std::pair<float, float>>{{2.0f, 900000.2f}, {0.0f, 900000.3f}}) {
        Pass pass(6, 9);
        pass.lookups = GisLookups({gis_subarea(12345.0f, {{8, 2, 4.0f}}, {parameter})}, {gis_link(12000.0f)},
                                  {gis_node(UP, 120.0f), gis_node(DOWN, 91.0f)});
        const ModelGroup group = pass.run(22.0f, code22(50000.1f));
        EXPECT_EQ(group.values[0], 5.0f) << "value 1 as read";
        EXPECT_EQ(group.values[1], 91.0f);
        EXPECT_EQ(group.values[2], expected);
        EXPECT_EQ(group.values[5], 2.0f + 120.0f / 10000.0f) << "the upstream elevation rides on cell 1's soil";
    }
    {
        // Other types pack with header value 5; the node alone replaces the
        // elevation in the soil, whose code stays.
        Pass pass(3, 7);
        pass.state.header_value_5 = 4;
        pass.lookups = GisLookups({}, {gis_link(300.0f)}, {gis_node(UP, 130.0f)});
        const ModelGroup group = pass.run(22.0f, code22(50000.1f));
        EXPECT_EQ(group.values[2], 30000.0f + 0.4f);
        EXPECT_EQ(group.values[5], 2.0f + 130.0f / 10000.0f);
    }
    {
        // Type 6 with the link found but neither subarea nor node: the
        // tenths digit of the length and cell 1's soil stay as read.
        Pass pass(6, 9);
        pass.lookups = GisLookups({}, {gis_link(12000.0f)}, {});
        const ModelGroup group = pass.run(22.0f, code22(50000.25f));
        EXPECT_EQ(group.values[2], 900000.25f);
        EXPECT_EQ(group.values[5], 2.3f);
    }
    {
        // The subarea found, the upstream node not: the GIS soil code keeps
        // the elevation the soil held.
        Pass pass(6, 2);
        pass.lookups = GisLookups({gis_subarea(12345.0f, {{8, 4, 4.0f}})}, {}, {});
        EXPECT_EQ(pass.run(22.0f, code22(50000.1f)).values[5], 4.0f + (2.3f - 2.0f));
    }
    {
        Pass pass(6, 2);
        pass.lookups = GisLookups({gis_subarea(12345.0f, {{8, 2, 4.0f}}, {4.0f})}, {}, {});
        std::vector<float> values{packed};
        values.resize(22, 0.0f);
        EXPECT_EQ(pass.run(82.0f, values).values[19], 4.0f) << "the first of the three values after the cells";
    }
    {
        Pass pass(8, 2, 2);
        pass.lookups = GisLookups({gis_subarea(12345.0f, {{7.0f, 2, 4.0f}})}, {}, {});
        EXPECT_EQ(pass.run(21.0f, code21_values(packed, {5.25f, 1, 1}, 6)).values[4], 7.25f);
    }
}

TEST(ConduitGroupUpdate, CrossSectionsByCode)
{
    struct Case {
        float code;
        std::array<float, 3> gis;  // height, base width, friction
        float value_4_read;
        std::array<float, 3> expected;  // values 4 to 6
    };
    const std::vector<Case> cases = {
        {42, {1.5f, 2.0f, 0.013f}, 0.015f, {0.013f, 18.0f, 2.0f}},
        {47, {4.0f, 6.0f, 0.013f}, 0.015f, {0.013f, 4.0f, 6.0f}},
        {46, {4.0f, 6.0f, 0.013f}, 1.015f, {1.013f, 6.0f, 4.0f}},
        {48, {4.0f, 6.0f, 0.013f}, 1.015f, {1.013f, 6.0f, 4.0f}},
        {43, {1.5f, 1.0f, 0.013f}, 2.015f, {2.013f, 18.0f, 1.0f}},
        {36, {4.0f, 6.0f, 0.013f}, 0.015f, {0.015f, 3.0f, 3.0f}},
        {41, {0.0f, 6.0f, 0.013f}, 0.015f, {0.015f, 3.0f, 3.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        Pass pass(3, 3);
        pass.lookups = GisLookups({}, {gis_link(250.0f, c.gis[0], c.gis[1], 0.0f, c.gis[2])}, {});
        const GroupLayout layout = *group_layout(c.code, 3, 1);
        std::vector<float> values{100, 90, 500, c.value_4_read, 3.0f, 3.0f};
        values.resize(static_cast<std::size_t>(layout.data_count), 0.0f);
        const ModelGroup group = pass.run(c.code, values);
        EXPECT_EQ(group.values[2], 250.0f);
        EXPECT_EQ((std::array<float, 3>{group.values[3], group.values[4], group.values[5]}), c.expected);
    }
    Pass pass(3, 9);
    pass.run(31.0f, {100, 90, 500, 0.015f});
    EXPECT_EQ(pass.sums.total_area, 0.0f) << "code 31 has no subarea part";
}

TEST(ChannelAndStorageGroupUpdate, CrossSectionAndSubareaByModelType)
{
    std::vector<float> channel{100, 90, 500, 0.03f, 5.0f, 2.0f, 3.0f, 1.0f + 12345.0f / 1000000.0f, 1, 1, 1};
    channel.resize(26, 0.0f);
    const GisSubareaRecord subarea = gis_subarea(12345.0f, {{8, 2, 4.0f}});
    {
        Pass pass(3, 9);
        pass.lookups = GisLookups({subarea}, {gis_link(600.0f, 4.0f, 6.0f, 1.5f, 0.025f)}, {});
        pass.lookups.add_channel_freeboards("AB1234ZZ.ZLL", {link_with_freeboard(0.0f)});
        const ModelGroup group = pass.run(54.0f, channel);
        EXPECT_EQ(std::vector<float>(group.values.begin() + 2, group.values.begin() + 8),
                  (std::vector<float>{600.0f, 0.025f, 6.0f, 1.5f, 4.0f, 1.0f + 12345.0f / 1000000.0f}));
        EXPECT_EQ(group.values[8], 8.0f);
    }
    {
        // The model file's depth carries the freeboard of the link data base
        // on top of the GIS depth.
        Pass pass(3, 7);
        pass.lookups = GisLookups({}, {gis_link(600.0f, 4.0f, 6.0f, 1.5f, 0.025f)}, {});
        pass.lookups.add_channel_freeboards("AB1234ZZ.ZLL", {link_with_freeboard(1.25f)});
        EXPECT_EQ(pass.run(51.0f, channel).values[6], 5.25f);
    }
    {
        Pass pass(3, 9);  // vertical sides: the cross section as read
        pass.lookups = GisLookups({}, {gis_link(600.0f, 4.0f, 6.0f, 0.0f, 0.025f)}, {});
        const ModelGroup group = pass.run(51.0f, channel);
        EXPECT_EQ(group.values[2], 600.0f);
        EXPECT_EQ(std::vector<float>(group.values.begin() + 3, group.values.begin() + 7),
                  (std::vector<float>{0.03f, 5.0f, 2.0f, 3.0f}));
    }
    {
        Pass pass(6, 2);  // model type 6 looks up a channel's subarea, not a storage element's
        pass.lookups = GisLookups({subarea}, {}, {});
        EXPECT_EQ(pass.run(51.0f, channel).values[8], 8.0f);
        std::vector<float> storage{100, 90, 500, 1.0f + 12345.0f / 1000000.0f, 1, 1, 1};
        storage.resize(28, 0.0f);
        EXPECT_EQ(pass.run(61.0f, storage).values, storage);
    }
}

// A channel whose depth the GIS link file sets needs the freeboard of its
// record in the link data base: without the record (an empty data base, or
// none given) the update is refused, naming the data base and the channel's
// nodes, rather than writing the depth without its freeboard.  A channel the
// GIS leaves as read needs no record.
TEST(ChannelAndStorageGroupUpdate, AChannelWhoseDepthTheGisSetsNeedsItsFreeboardRecord)
{
    const std::vector<float> channel{100, 90, 500, 0.03f, 5.0f, 2.0f, 3.0f, 0.0f};  // no subarea
    const GisLinkRecord gis_channel = gis_link(600.0f, 4.0f, 6.0f, 1.5f, 0.025f);
    GisLinkRecord vertical_sides = gis_channel;
    vertical_sides.element_side_slope() = 0.0f;
    const std::string no_record =
        "Link data base 'AB1234ZZ.ZLL' holds no record of the open channel from node 123401.0 to node 123402.0";
    const std::string no_data_base =
        "No link data base was read for the open channel from node 123401.0 to node 123402.0";
    // Link data bases: the channel's record (0.5 ft of freeboard), the record
    // of the reversed pair, records of other links, none.
    const LinkRecord own = link_with_freeboard(0.5f);
    const LinkRecord reversed = link_with_freeboard(0.75f, DOWN, UP);
    const std::vector<LinkRecord> others{link_with_freeboard(0.5f, UP, 123403.0f),
                                         link_with_freeboard(0.5f, 123400.0f, DOWN)};
    const std::vector<LinkRecord> empty;
    const struct Case {
        const char* what;
        float code;
        int option;
        std::vector<GisLinkRecord> gis_links;
        std::optional<std::vector<LinkRecord>> data_base;  // none: no data base given
        std::string refusal;                               // what the refusal names; empty: updated
        float depth = 0.0f;                                // written when updated (ft)
    } cases[] = {
        {"the channel's record", 51.0f, 7, {gis_channel}, std::vector{own}, "", 4.5f},
        {"the record among others", 53.0f, 7, {gis_channel}, std::vector{reversed, own}, "", 4.5f},
        {"only other links' records", 51.0f, 7, {gis_channel}, others, no_record},
        {"only the record of the reversed pair", 56.0f, 9, {gis_channel}, std::vector{reversed}, no_record},
        {"an empty data base", 57.0f, 7, {gis_channel}, empty, no_record},
        {"no data base given", 51.0f, 7, {gis_channel}, std::nullopt, no_data_base},
        {"a channel the GIS link file does not hold", 51.0f, 7, {}, empty, "", 3.0f},
        {"a GIS channel with vertical sides", 51.0f, 7, {vertical_sides}, empty, "", 3.0f},
        {"an option without the link data base", 51.0f, 6, {gis_channel}, empty, "", 3.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pass pass(3, c.option);
        pass.lookups = GisLookups({}, c.gis_links, {});
        if (c.data_base) pass.lookups.add_channel_freeboards("AB1234ZZ.ZLL", *c.data_base);
        std::vector<float> values = channel;
        values.resize(static_cast<std::size_t>(group_layout(c.code, 3, 1)->data_count), 0.0f);
        if (c.refusal.empty()) {
            EXPECT_EQ(pass.run(c.code, values).values[6], c.depth);
            continue;
        }
        try {
            pass.run(c.code, values);
            ADD_FAILURE() << "the channel's depth was written without its freeboard";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.refusal), std::string::npos) << error.what();
        }
    }
}

TEST(StreetGroupUpdate, StreetValuesInTheModelFilesOrder)
{
    std::vector<float> street{100, 90, 500, 0.0f};
    street.resize(22, 0.0f);
    street.insert(street.end(), {1, 2, 3, 4, 5, 6});
    GisLinkRecord link = gis_link(700.0f, 0.5f);
    link.gutter_lip() = 0.17f;
    link.gutter_width() = 2.0f;
    link.gutter_hike() = 0.125f;
    link.street_friction_factor() = 0.015f;
    link.center_lane_crossfall() = 0.02f;
    {
        Pass pass(3, 7);
        pass.lookups = GisLookups({}, {link}, {gis_node(UP, 101.0f)});
        const ModelGroup group = pass.run(92.0f, street);
        EXPECT_EQ(group.values[0], 101.0f);
        EXPECT_EQ(group.values[2], 700.0f);
        EXPECT_EQ(std::vector<float>(group.values.end() - 6, group.values.end()),
                  (std::vector<float>{2.0f, 0.125f, 0.17f, 0.015f, 0.02f, 0.5f}));
    }
    {
        Pass pass(6, 9);
        pass.lookups = GisLookups({}, {link}, {gis_node(UP, 101.0f)});
        EXPECT_EQ(pass.run(9.0f, street).values, street) << "model type 6 looks nothing up";
    }
    {
        link.center_lane_crossfall() = 0.0f;
        Pass pass(3, 7);
        pass.lookups = GisLookups({}, {link}, {});
        const ModelGroup group = pass.run(9.0f, street);
        EXPECT_EQ(group.values[2], 700.0f);
        EXPECT_EQ(std::vector<float>(group.values.end() - 6, group.values.end()),
                  (std::vector<float>{1, 2, 3, 4, 5, 6}));
    }
}

TEST(Type10GroupUpdate, SubareaAndChannelGroups)
{
    std::vector<float> subarea(88, 0.0f);
    subarea[0] = 0.5f;
    subarea[4] = 3.0f;  // cell 1
    subarea[5] = 2.0f;
    subarea[6] = 10.0f;
    subarea[32] = 12345.0f;
    const GisSubareaRecord gis = gis_subarea(12345.0f, {{15.0f, 2, 640.0f}, {16.0f, 3, 64.0f}}, {0, 0, 0, 0, 0, 77.0f});
    {
        Pass pass(10, 2);
        pass.lookups = GisLookups({gis}, {}, {});
        const ModelGroup group = pass.run(21.0f, subarea);
        EXPECT_EQ(group.values[0], 1.0f) << "640 acres are one square mile";
        EXPECT_EQ(group.values[28], 15.0f);
        EXPECT_EQ((std::vector<float>(group.values.begin() + 4, group.values.begin() + 10)),
                  (std::vector<float>{0.0f, 77.0f, 0.0f, 16.0f, 3.0f, 64.0f}));
        EXPECT_EQ(group.values[32], 12345.0f);
        EXPECT_EQ(pass.sums.total_area, 0.0f);
    }
    std::vector<float> channel(77, 1.0f);
    const GisLinkRecord link = gis_link(400.0f, 4.0f, 6.0f, 2.0f, 0.03f);
    const std::vector<GisNodeRecord> nodes{gis_node(UP, 100.0f), gis_node(DOWN, 98.0f)};
    {
        Pass pass(10, 7);
        pass.lookups = GisLookups({gis}, {link}, nodes);
        EXPECT_EQ(pass.run(21.0f, subarea).values, subarea) << "option 7 leaves subarea groups";
        const ModelGroup group = pass.run(52.0f, channel);
        EXPECT_EQ((std::vector<float>(group.values.begin() + 4, group.values.begin() + 10)),
                  (std::vector<float>{400.0f, 2.0f / 400.0f, 0.03f, 1.0f, 6.0f, 2.0f}));
    }
    {
        Pass pass(10, 3);  // links without nodes: the slope stays
        pass.lookups = GisLookups({}, {link}, nodes);
        EXPECT_EQ(pass.run(51.0f, channel).values[5], 1.0f);
    }
    {
        Pass pass(10, 7);  // a GIS length of 0 gives no slope
        pass.lookups = GisLookups({}, {gis_link(0.0f, 4.0f, 6.0f, 2.0f, 0.03f)}, nodes);
        EXPECT_EQ(pass.run(51.0f, channel).values[5], 1.0f);
        EXPECT_EQ(Pass(10, 2).run(51.0f, channel).values, channel) << "option 2 leaves channel groups";
    }
}

}  // namespace
}  // namespace velm
