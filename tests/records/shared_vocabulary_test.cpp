#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/hydrology_model_type.h"
#include "records/process_codes.h"
#include "records/study_id.h"

namespace velm {
namespace {

// Every process code a model file may hold against the family predicates:
// a code in two families, or a family's bound one off, shows here.
TEST(ProcessCodes, EachCodeBelongsToItsFamilyOnly)
{
    struct Case {
        int code;
        std::string families;  // i initial subarea, a addition, f confluence, c conduit, o open channel,
                               // s storage, t street, m seam, 9 code-9 family
    };
    const std::vector<Case> cases = {
        {1, "f"},  {10, "f"}, {11, "f"}, {9, "9"},  {91, "9"},  {92, "9"},  {21, "i"}, {22, "i"}, {23, ""},  {20, ""},
        {81, "a"}, {82, "a"}, {30, ""},  {31, "c"}, {47, "c"},  {48, ""},   {50, ""},  {51, "o"}, {56, "o"}, {57, ""},
        {61, "s"}, {62, "t"}, {63, "t"}, {64, ""},  {151, "m"}, {152, "m"}, {153, ""}, {0, ""},   {2, ""},   {15, ""},
    };
    for (const Case& c : cases) {
        std::string found;
        if (is_initial_subarea_code(c.code)) found += 'i';
        if (is_subarea_addition_code(c.code)) found += 'a';
        if (is_confluence_code(c.code)) found += 'f';
        if (is_conduit_code(c.code)) found += 'c';
        if (is_open_channel_code(c.code)) found += 'o';
        if (is_storage_element_code(c.code)) found += 's';
        if (is_street_code(c.code)) found += 't';
        if (is_seam_code(c.code)) found += 'm';
        if (is_code9_family_code(c.code)) found += '9';
        EXPECT_EQ(found, c.families) << "code " << c.code;
    }
}

TEST(ProcessCodes, ShortFormsAndSynonymsReadAsTheirFamily)
{
    const std::vector<std::pair<int, int>> cases = {
        {2, 21},  {3, 31}, {4, 41}, {5, 51}, {6, 61}, {8, 81},  {15, 151}, {48, 46}, {54, 51},
        {57, 51}, {71, 7}, {72, 7}, {91, 9}, {92, 9}, {21, 21}, {46, 46},  {7, 7},   {1, 1},
    };
    for (const auto& [code, read_as] : cases) EXPECT_EQ(canonical_process_code(code), read_as) << "code " << code;
}

TEST(HydrologyModelType, EachRuleHoldsForItsTypesOnly)
{
    struct Case {
        int type;
        bool region_files, packed_land_use, curve_number, gis_by_region, gis_averages;
    };
    const std::vector<Case> cases = {
        {3, false, false, false, false, true},  {5, false, false, false, false, false},
        {6, false, true, false, true, false},   {7, false, false, false, false, false},
        {8, false, false, false, false, true},  {9, true, false, false, true, false},
        {10, false, false, true, false, false}, {0, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(uses_region_files(c.type), c.region_files) << "type " << c.type;
        EXPECT_EQ(uses_packed_land_use(c.type), c.packed_land_use) << "type " << c.type;
        EXPECT_EQ(is_curve_number_model(c.type), c.curve_number) << "type " << c.type;
        EXPECT_EQ(keeps_gis_files_by_region(c.type), c.gis_by_region) << "type " << c.type;
        EXPECT_EQ(averages_gis_subarea_values(c.type), c.gis_averages) << "type " << c.type;
    }
}

TEST(HydrologyModelType, TakenFromTheMagnitudeOfHeaderValue2)
{
    EXPECT_EQ(model_type_code_from_header(6.0f), 6);
    EXPECT_EQ(model_type_code_from_header(-9.7f), 9);
    EXPECT_EQ(model_type_code_from_header(10.2f), 10);
    EXPECT_EQ(model_type_code_from_header(5000.0f), 0);
    EXPECT_TRUE(is_metric_model_value(0.0f));
    EXPECT_TRUE(is_metric_model_value(-6.0f));
    EXPECT_FALSE(is_metric_model_value(6.0f));
}

TEST(StudyIdentifier, TwoCharactersPaddedAndBlanksUnknown)
{
    EXPECT_EQ(study_id_of("SA2204ZZ"), "SA");
    EXPECT_EQ(study_id_of("S"), "S ");
    EXPECT_EQ(study_id_of(""), "  ");
    EXPECT_TRUE(is_unknown_study_id("  "));
    EXPECT_TRUE(StudyId().unknown());
    EXPECT_FALSE(is_unknown_study_id("SA"));

    DataFileTable table;
    table.study_id = "QQ";
    EXPECT_EQ(study_of_data_files(table).text(), "QQ");
    table.data_file_names = {"SA2204", "TB2205"};
    EXPECT_EQ(study_of_data_files(table).text(), "SA");
}

}  // namespace
}  // namespace velm
