// The strings and the balanced HGLs of the bundled sample study, from the
// menu and launched: the string files and the index, section III in the
// report, and the fitted slopes and HGLs in the link data bases.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/link_data_base.h"
#include "records/string_files.h"
#include "shell/control_settings.h"
#include "support/program_run.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const Lines EXECUTE_FROM_MENU = {"", "1", "", "", "2", "SA", ""};
const char* const MAPS[] = {"SA2204ZZ.ZLL", "SA2301ZZ.ZLL", "SA2302ZZ.ZLL", "SA2303ZZ.ZLL"};

class SampleStringsTest : public test::SessionTest {
protected:
    SampleStringsTest()
    {
        const fs::path sample = fs::path(VELM_SOURCE_DIR) / "examples" / "sample";
        for (const auto& entry : fs::directory_iterator(sample)) fs::copy_file(entry.path(), entry.path().filename());
    }

    // Every link of the study by its node pair.
    static std::map<std::pair<float, float>, LinkRecord> links()
    {
        std::map<std::pair<float, float>, LinkRecord> all;
        for (const char* map : MAPS) {
            for (const LinkRecord& link : read_link_data_base(map, FilePresence::MustExist)) {
                all.try_emplace({link.upstream_node(), link.downstream_node()}, link);
            }
        }
        return all;
    }

    // What a run leaves: the index and string files, the report, the
    // data bases.
    static std::map<std::string, std::string> results()
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".ZST") || name.ends_with(".ZLL") || name == "SATRVLZZ.DIA") {
                files[name] = read_whole_file(name);
            }
        }
        return files;
    }

    void expect_strings_and_section_three()
    {
        const StringIndexFile index = read_string_index_file("SAINDXZZ.ZST");
        ASSERT_FALSE(index.records.empty());
        const auto all = links();
        int fitted = 0;
        for (const StringIndexRecord& record : index.records) {
            SCOPED_TRACE("string " + std::to_string(record.string_number));
            // The run ends with the string files in their long form.
            const std::vector<TelescopedStringRecord> string =
                read_telescoped_string_file(string_file_name("SA", record.string_number));
            if (string.empty()) continue;
            EXPECT_EQ(string.front().upstream_node, record.upstream_node);
            EXPECT_EQ(string.back().downstream_node, record.outlet_node);
            if (record.processing_level < 0.0f) continue;
            ++fitted;
            // Every link of a fitted string has its balanced slope (the
            // deficiency pass reworks the other slope columns); the top
            // node's HGL lies on the top envelope, 1 ft below the ground.
            for (const TelescopedStringRecord& link : string) {
                const LinkRecord& data = all.at({link.upstream_node, link.downstream_node});
                EXPECT_GE(data.column(55), 0.0015f);
                EXPECT_EQ(data.column(63), data.column(55));
            }
            const LinkRecord& top = all.at({string.front().upstream_node, string.front().downstream_node});
            EXPECT_EQ(format_fixed(top.link_upstream_hgl(), 8, 2),
                      format_fixed(string.front().upstream_elevation - 1.0f, 8, 2));
        }
        EXPECT_GT(fitted, 0);

        const Lines report = read_text_lines("SATRVLZZ.DIA");
        EXPECT_EQ(test::report_delimiters(report).size(), 30u);
        const Lines heading = {"\f", "     III. BALANCED HGL GRADIENT ESTIMATION MODULE DIAGNOSTICS REPORT*", ""};
        const auto at = std::search(report.begin(), report.end(), heading.begin(), heading.end());
        ASSERT_NE(at, report.end());
        EXPECT_NE(std::find(at, report.end(), "    The following links are assigned a FRICTION SLOPE of 0.0015,"),
                  report.end());
    }
};

TEST_F(SampleStringsTest, FromTheMenuAndLaunchedAlike)
{
    EXPECT_EQ(test::run_program_to_stop(session_, window_, EXECUTE_FROM_MENU), "analysis run done");
    expect_strings_and_section_three();
    const auto from_menu = results();

    test::write_command_file("SA", 1, 1, 2);
    EXPECT_EQ(test::run_program_to_stop(session_, window_, {}), "analysis run done");
    expect_strings_and_section_three();
    EXPECT_EQ(results(), from_menu);
}

TEST_F(SampleStringsTest, UserDefinedControlAskedOnceFromTheMenu)
{
    // The sample's settings with user-defined controls (line 2, first
    // stored integer 2) and no stored control.
    Lines control = read_text_lines("SAcontzz.zzz");
    control.at(1).replace(0, 3, "  2");
    write_text_lines("SAcontzz.zzz", control);

    // The one system outlet, 230315: TOP, then BACK at the first outlet
    // start the page over, then its elevation.
    Lines typed = EXECUTE_FROM_MENU;
    typed.insert(typed.end() - 1, {"top", "back", "1196.5"});
    EXPECT_EQ(test::run_program_to_stop(session_, window_, typed), "analysis run done");
    EXPECT_NE(window_.transcript().find("Enter the HGL Control Elevation for NODE [230315.0]. ==>"), std::string::npos);

    ControlParameters saved;
    HglControlTable controls;
    ASSERT_TRUE(load_control_file_named("SAcontzz.zzz", saved, controls));
    ASSERT_EQ(controls.count(), 1);
    EXPECT_EQ(controls.controls[0].node_number, 230315.0f);
    EXPECT_EQ(controls.controls[0].elevation, 1196.5f);
    EXPECT_EQ(saved.hydraulic_control_model, HydraulicControlModel::UserDefinedControl);

    const Lines report = read_text_lines("SATRVLZZ.DIA");
    const Lines list = {"     User-Defined Downstream HGL CONTROLs for each system",
                        "     Trunk Line are:", "     Node Number  User-Defined HGL    Node Number  User-Defined HGL"};
    const auto at = std::search(report.begin(), report.end(), list.begin(), list.end());
    ASSERT_NE(at, report.end());
    EXPECT_EQ(at[3].substr(0, 26), "       230315.0    1196.50");

    // A second run finds the control stored and asks nothing.
    EXPECT_EQ(test::run_program_to_stop(session_, window_, EXECUTE_FROM_MENU), "analysis run done");
}

}  // namespace
}  // namespace velm
