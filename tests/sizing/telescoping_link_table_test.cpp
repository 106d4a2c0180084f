// The link tables of the telescoping pass: what each row holds after the
// load's defaults, and the user element list.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sizing/telescoping_link_table.h"
#include "sizing/telescoping_records.h"

namespace velm::test {
namespace {

struct RowCase {
    std::string name;
    LinkRecord record;
    TelescopingSettings settings;
    std::function<float(const TelescopingLinkRow&)> field;
    float expected;
};

TelescopingSettings with_model(int model_type_code, int pipe_capacity_model = 1)
{
    TelescopingSettings settings;
    settings.model_type_code = model_type_code;
    settings.pipe_capacity_model = pipe_capacity_model;
    return settings;
}

TEST(TelescopingLinkTable, RowsHoldTheLoadDefaults)
{
    // Peak flows 20 and 30 cfs over street capacities of 5 and 40.
    const auto flows = std::initializer_list<std::pair<int, float>>{{37, 20.0f}, {38, 30.0f}, {49, 5.0f}, {50, 40.0f}};
    auto link = [&](std::initializer_list<std::pair<int, float>> more) {
        LinkRecord record = link_with(10101.0f, 10102.0f, flows);
        for (const auto& [column, value] : more) set_column(record, column, value);
        return record;
    };
    const std::vector<RowCase> cases{
        {"missing n takes 0.013", link({{26, 0.0f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.element_friction_factor; }, 0.013f},
        {"missing n of a county study takes 0.014", link({{26, 0.0f}}), with_model(6),
         [](const TelescopingLinkRow& r) { return r.element_friction_factor; }, 0.014f},
        {"the recommended n is the existing n", link({{26, 0.02f}, {95, 0.5f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.recommended_friction_factor; }, 0.02f},
        {"normal-depth pipes keep the element n undivided", link({{26, 0.02f}}), with_model(7, 2),
         [](const TelescopingLinkRow& r) { return r.element_friction_factor; }, 0.02f},
        {"a deficient link asks for its largest excess flow", link({{90, 3.0f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.target_flow_rate; }, 15.0f},
        {"a sufficient link asks for the negative of its excess", link({}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.target_flow_rate; }, -15.0f},
        {"a sufficient link's negative excess stays negative",
         link({{37, 20.0f}, {38, 20.0f}, {49, 25.0f}, {50, 40.0f}, {51, 30.0f}, {52, 30.0f}, {53, 30.0f}, {54, 30.0f}}),
         with_model(7), [](const TelescopingLinkRow& r) { return r.target_flow_rate; }, -5.0f},
        {"a headwater link asks for nothing", link({{7, 21.0f}, {90, 3.0f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.target_flow_rate; }, 0.0f},
        {"the largest peak flow", link({}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.largest_peak_flow; }, 30.0f},
        {"a deficient link outside the cost opinion is marked", link({{7, 41.0f}, {90, 3.0f}, {100, 0.0f}}),
         with_model(7), [](const TelescopingLinkRow& r) { return r.process_code; }, -41.0f},
        {"a deficient link in the cost opinion is not", link({{7, 41.0f}, {90, 3.0f}, {100, 1.0f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.process_code; }, 41.0f},
        {"the user friction slope scaled by the proportion", link({{7, 41.0f}, {64, 0.01f}, {65, 0.02f}}),
         with_model(7), [](const TelescopingLinkRow& r) { return r.sizing_friction_slope; }, 0.02f * 0.85f},
        {"the computed friction slope without a user slope", link({{7, 41.0f}, {64, 0.01f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.sizing_friction_slope; }, 0.01f * 0.85f},
        {"a channel keeps its friction slope unscaled", link({{7, 53.0f}, {64, 0.01f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.sizing_friction_slope; }, 0.01f},
        {"the user capacity", link({{74, 12.0f}, {75, 0.0f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.existing_capacity; }, 0.0f},
        {"the computed capacity in place of -1.0", link({{74, 12.0f}, {75, -1.0f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.existing_capacity; }, 12.0f},
        {"the invert slope from the inverts", link({{8, 200.0f}, {28, 110.0f}, {29, 109.0f}, {30, 0.3f}}),
         with_model(7), [](const TelescopingLinkRow& r) { return r.invert_slope; }, 1.0f / 200.0f},
        {"a link without length keeps its invert slope", link({{8, 0.0f}, {28, 110.0f}, {29, 109.0f}, {30, 0.3f}}),
         with_model(7), [](const TelescopingLinkRow& r) { return r.invert_slope; }, 0.3f},
        {"the element size is the mitigation height", link({{92, 2.5f}, {23, 1.5f}, {21, 1.0f}, {90, 2.0f}}),
         with_model(7), [](const TelescopingLinkRow& r) { return r.element_size; }, 2.5f},
        {"a sufficient link of column 21 = 1 keeps its height", link({{92, 2.5f}, {23, 1.5f}, {21, 1.0f}}),
         with_model(7), [](const TelescopingLinkRow& r) { return r.element_size; }, 1.5f},
        {"a full pipe capacity above 99999 is marked", link({{98, 40.0f}, {64, 0.05f}, {26, 0.013f}}), with_model(7),
         [](const TelescopingLinkRow& r) { return r.full_pipe_capacity; }, 88888.0f},
    };
    for (const RowCase& c : cases) {
        EXPECT_FLOAT_EQ(c.field(telescoping_link_row(c.record, c.settings)), c.expected) << c.name;
    }
}

TEST(TelescopingLinkTable, FullPipeCapacityUsesTheUndividedDefaultN)
{
    // Under normal-depth capacity an n of the data base is divided by 1.076,
    // the default n is not.
    const LinkRecord given = link_with(10101.0f, 10102.0f, {{98, 2.0f}, {64, 0.01f}, {26, 0.013f}});
    const LinkRecord missing = link_with(10101.0f, 10102.0f, {{98, 2.0f}, {64, 0.01f}, {26, 0.0f}});
    const float full = telescoping_pipe_capacity(2.0f, 0.01f, 0.013f);
    EXPECT_FLOAT_EQ(telescoping_link_row(given, with_model(7, 2)).full_pipe_capacity,
                    telescoping_pipe_capacity(2.0f, 0.01f, 0.013f / 1.076f));
    EXPECT_FLOAT_EQ(telescoping_link_row(missing, with_model(7, 2)).full_pipe_capacity, full);
    EXPECT_NEAR(full, 22.6f, 0.05f);
}

TEST(TelescopingLinkTable, FirstRowOfANodePairWinsAndUserElementsAreListed)
{
    TelescopingTables tables;
    const std::vector<LinkRecord> first_map{
        link_with(10101.0f, 10102.0f, {{23, 1.0f}}),
        link_with(10102.0f, 10103.0f, {{123, 1.0f}, {112, 0.0f}, {113, 2.0f}}),
    };
    const std::vector<LinkRecord> second_map{
        link_with(10101.0f, 10102.0f, {{23, 9.0f}}),
        link_with(10104.0f, 10105.0f, {{112, 3.0f}, {115, 0.015f}}),
        link_with(10105.0f, 10106.0f, {{114, 2.0f}}),
    };
    load_telescoping_tables(first_map, TelescopingSettings{}, tables);
    load_telescoping_tables(second_map, TelescopingSettings{}, tables);

    ASSERT_EQ(tables.links.size(), 5u);
    ASSERT_NE(tables.links.find(10101.0f, 10102.0f), nullptr);
    EXPECT_EQ(tables.links.find(10101.0f, 10102.0f)->element_height, 1.0f);
    EXPECT_EQ(tables.links.find(10102.0f, 10101.0f), nullptr);

    ASSERT_EQ(tables.user_elements.entries().size(), 2u);
    const UserElementEntry* typed = tables.user_elements.find(10102.0f, 10103.0f);
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->user_element_type, 1.0f);
    EXPECT_EQ(typed->user_element_base_width, 2.0f);
    const UserElementEntry* sized = tables.user_elements.find(10104.0f, 10105.0f);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(sized->user_element_height, 3.0f);
    EXPECT_EQ(sized->user_element_friction_factor, 0.015f);
    EXPECT_EQ(tables.user_elements.find(10105.0f, 10106.0f), nullptr);
}

TEST(TelescopingLinkTable, SettingsComeFromTheControls)
{
    ControlParameters controls;
    controls.min_pipe_diameter = 24.0f;
    controls.capacity_telescoping = CapacityTelescoping::IndependentSizing;
    controls.friction_slope_model = FrictionSlopeModel::TopographicSlope;
    const TelescopingSettings settings = telescoping_settings(controls, 9);
    EXPECT_EQ(settings.min_pipe_diameter, 2.0f);
    EXPECT_EQ(settings.capacity_telescoping, 2);
    EXPECT_EQ(settings.friction_slope_model, 1);
    EXPECT_EQ(settings.model_type_code, 9);
    EXPECT_EQ(settings.carried_flow_source, 1);
}

}  // namespace
}  // namespace velm::test
