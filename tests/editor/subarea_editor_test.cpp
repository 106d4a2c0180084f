// The subarea editor from the module: land-use cells and time of
// concentration carried into every storm event's model file and the log.
#include <gtest/gtest.h>

#include <filesystem>

#include "editor_study.h"
#include "platform/text_file.h"
#include "records/model_file.h"
#include "records/model_group_rewriters.h"

namespace velm {
namespace {

using test::EditorTest;
using test::TemporaryDirectory;

const ModelGroup& subarea_group(const ModelFile& file, float subarea, int code)
{
    for (const ModelGroup& group : file.groups)
        if (group.process_code() == code && group_subarea_number(group, file.layout_of(group)) == subarea) return group;
    throw std::out_of_range("no such group");
}

TEST_F(EditorTest, LandUseCellChangeReachesEveryStormEventAndTheLog)
{
    write_study(test::editor_study(3));
    const ModelFile before_1 = read_model_file("AB0101ZZ.Z11");
    // Cell 2 gets land use 5, soil 3, 1.5 acres; EXIT at the next cell number saves.
    EXPECT_EQ(run_module({"", "AB", "1", "10101", "2", "5", "3", "1.5", "E", "E", "EX"}), 0u) << window_.dump();
    for (const std::string name : {"AB0101ZZ.Z11", "AB0101ZZ.Z12"}) {
        SCOPED_TRACE(name);
        const ModelFile file = read_model_file(name);
        const ModelGroup& group = subarea_group(file, 10101.0f, 21);
        const GroupLayout layout = file.layout_of(group);
        const LandUseTable cells = group_land_use_table(group, layout);
        EXPECT_EQ(cells.cell(1).cell_area, 4.0f);
        EXPECT_EQ(cells.cell(2).land_use_code, 5.0f);
        EXPECT_EQ(cells.cell(2).soil_code, 3.0f);
        EXPECT_EQ(cells.cell(2).cell_area, 1.5f);
        EXPECT_EQ(packed_subarea_code(group.values[static_cast<std::size_t>(layout.packed_subarea_position - 1)]), 2);
        // Every other group as it was.
        const ModelFile& reference = before_1;
        ASSERT_EQ(file.groups.size(), reference.groups.size());
        for (std::size_t g = 0; g < file.groups.size(); ++g) {
            if (&file.groups[g] != &group && name == std::string("AB0101ZZ.Z11")) {
                EXPECT_EQ(file.groups[g].values, reference.groups[g].values) << g;
            }
        }
    }
    const std::vector<std::string> log = read_text_lines("ABHISTZZ.DAT");
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[2], "     Subarea Data (Previous)/Current:");
    EXPECT_EQ(log[6], "     10101.0       1  (  1)  1  (  2)  2 (    4.00)    4.00");
    EXPECT_EQ(log[7], "                   2  (  0)  5  (  0)  3 (    0.00)    1.50");
    EXPECT_EQ(log[8], "\f");
}

// A county study's initial subareas are code-22 groups that open with the
// subarea's time of concentration of each storm event.
TEST_F(EditorTest, TimeOfConcentrationPerStormEventInACountyStudy)
{
    test::StudyBuilder study = test::editor_study(6);
    study.subarea(10101.0f).time_of_concentration(1) = 14.0f;  // min
    study.subarea(10101.0f).time_of_concentration(2) = 11.0f;
    write_study(study);
    const ModelFile before = read_model_file("AB0101ZZ.Z12");
    EXPECT_EQ(run_module({"", "AB", "2", "10101", "12", "15.5", "E", "EX"}), 0u) << window_.dump();
    EXPECT_EQ(subarea_group(read_model_file("AB0101ZZ.Z11"), 10101.0f, 22).values[0], 12.0f);
    const ModelFile after = read_model_file("AB0101ZZ.Z12");
    const ModelGroup& group = subarea_group(after, 10101.0f, 22);
    EXPECT_EQ(group.values[0], 15.5f);
    const ModelGroup& old_group = subarea_group(before, 10101.0f, 22);
    for (std::size_t k = 1; k < group.values.size(); ++k) EXPECT_EQ(group.values[k], old_group.values[k]) << k;
    const std::vector<std::string> log = read_text_lines("ABHISTZZ.DAT");
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[2], "     Subarea Tc Data (Previous)/Current:");
    EXPECT_EQ(log[6], "     10101.0       10.         ( 14.0)  12.0");
    EXPECT_EQ(log[7], "                   25.         ( 11.0)  15.5");
}

// A subarea edit rewrites every storm event's model file in the current
// header layout: a file from an older hydrology program (a 10-section street
// table) gets the 40 missing sections as zeros and is kept as it was in
// "TEMP.DAT".  An edit left with BACK only read the files: none is rewritten.
TEST_F(EditorTest, SubareaEditsWriteOldHeadersInTheCurrentLayout)
{
    struct Case {
        const char* name;
        int model_type;
        std::vector<std::string> typed;  // after the study
        bool rewritten;
    };
    const Case cases[] = {
        {"land-use cells (option 1)", 3, {"1", "10101", "2", "5", "3", "1.5", "E", "E", "EX"}, true},
        {"time of concentration (option 2)", 6, {"2", "10101", "12", "15.5", "E", "EX"}, true},
        {"BACK at the time of concentration", 6, {"2", "10101", "B", "E", "EX"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory dir;
        test::editor_study(c.model_type).write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        // Storm event 2 comes from an older hydrology program.
        ModelFile old = read_model_file("AB0101ZZ.Z12");
        old.header.values.erase(old.header.values.begin() + 157, old.header.values.begin() + 517);
        write_model_file("AB0101ZZ.Z12", old);
        const std::string old_bytes = TemporaryDirectory::get("AB0101ZZ.Z12");

        std::vector<std::string> typed{"", "AB"};
        typed.insert(typed.end(), c.typed.begin(), c.typed.end());
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_module(typed), 0u) << window_.dump();
        if (!c.rewritten) {
            EXPECT_TRUE(TemporaryDirectory::get("AB0101ZZ.Z12") == old_bytes);
            EXPECT_FALSE(std::filesystem::exists("TEMP.DAT"));
            continue;
        }
        EXPECT_TRUE(TemporaryDirectory::get("TEMP.DAT") == old_bytes);
        const ModelFile upgraded = read_model_file("AB0101ZZ.Z12");
        ASSERT_EQ(upgraded.header.length(), FULL_HEADER_VALUES);
        for (int k = 1; k <= 157; ++k) EXPECT_EQ(upgraded.header.value(k), old.header.value(k)) << k;
        for (int k = 158; k <= 517; ++k) EXPECT_EQ(upgraded.header.value(k), 0.0f) << k;
        for (int k = 158; k <= OLD_FULL_HEADER_VALUES; ++k)
            EXPECT_EQ(upgraded.header.value(k + 360), old.header.value(k)) << k;
        ASSERT_EQ(upgraded.groups.size(), old.groups.size());
        EXPECT_EQ(read_model_file("AB0101ZZ.Z11").header.length(), FULL_HEADER_VALUES);
    }
}

TEST_F(EditorTest, RefusedAndAbandonedSubareaEditsLeaveEveryFile)
{
    struct Case {
        const char* name;
        int model_type;
        std::vector<std::string> typed;
        std::string shown;
    };
    const Case cases[] = {
        {"BACK at the land use", 3, {"1", "10101", "2", "B", "E", "EX"}, "Enter Hydrologic Land Use Designation"},
        {"no such subarea", 3, {"1", "10109", "", "E", "EX"}, " * SUBAREA NUMBER [ 10109.0] DOES NOT EXIST"},
        {"no model file of the map", 3, {"1", "10309", "", "E", "EX"}, " * DATA FILE [AB0103ZZ.Z11] DOES NOT EXIST"},
        {"BACK at the Tc", 6, {"2", "10101", "B", "E", "EX"}, "TIME-OF-CONCENTRATION VALUES:"},
        {"Tc of a subarea that only a code-81 group carries",
         6,
         {"2", "10103", "", "E", "EX"},
         " * SUBAREA NUMBER [ 10103.0] DOES NOT EXIST"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory dir;
        test::editor_study(c.model_type).write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        const auto before = test::all_files();
        std::vector<std::string> lines{"", "AB"};
        lines.insert(lines.end(), c.typed.begin(), c.typed.end());
        expect_refused_edit(lines, before, c.shown);
    }
}

TEST_F(EditorTest, TimeOfConcentrationOfStormEventsAfterTheThirdIsKept)
{
    write_study(test::editor_study(6, 4));
    const std::string fourth = TemporaryDirectory::get("AB0101ZZ.Z14");
    EXPECT_EQ(run_module({"", "AB", "2", "10101", "12", "13", "14", "E", "EX"}), 0u) << window_.dump();
    for (int event = 1; event <= 3; ++event) {
        const ModelFile file = read_model_file("AB0101ZZ.Z1" + std::to_string(event));
        EXPECT_EQ(subarea_group(file, 10101.0f, 22).values[0], 11.0f + static_cast<float>(event)) << event;
    }
    EXPECT_EQ(TemporaryDirectory::get("AB0101ZZ.Z14"), fourth);
}

}  // namespace
}  // namespace velm
