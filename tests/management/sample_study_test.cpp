// The data base management modules on the bundled sample study, through the
// main program: from the main menu and launched.
#include <gtest/gtest.h>

#include <filesystem>

#include "management/subset_field_map.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/link_data_base.h"
#include "records/subarea_data_base.h"
#include "support/program_run.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

class SampleStudyManagementTest : public test::SessionTest {
protected:
    void SetUp() override
    {
        for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample")) {
            fs::copy_file(entry.path(), entry.path().filename());
        }
    }
    std::string run(const std::vector<std::string>& typed)
    {
        window_ = test::ScriptedWindow();
        return test::run_program_to_stop(session_, window_, typed);
    }
};

TEST_F(SampleStudyManagementTest, SubsetsThenAdoptionThenMaintenanceAdoptionWithTheHistorySplit)
{
    // Main menu, option 3: the subsets of every map.
    EXPECT_EQ(run({"", "3", "", "4", "SA", "", "EXIT"}), "subset module: done");
    const std::vector<std::string> links = read_text_lines("SALINKZZ.SST");
    std::size_t link_records = 0;
    for (const char* map : {"SA2204ZZ.ZLL", "SA2301ZZ.ZLL", "SA2302ZZ.ZLL", "SA2303ZZ.ZLL"}) {
        link_records += read_text_lines(map).size();
    }
    EXPECT_EQ(links.size(), link_records + 1);

    // Launched, adopt in creation mode.
    test::write_command_file("SA", 0, 6, 3);
    EXPECT_EQ(run({}), "scenario module: done");
    const std::vector<std::string> inventory = read_text_lines("SAINVTZZ.ZZZ");
    EXPECT_EQ(inventory.front(), "SATRVLZZ.Z11");
    EXPECT_EQ(inventory.back(), "SACONTZZ.ZZZ");
    EXPECT_EQ(read_text_lines("MPDCOPY.BAT").size(), 2 * inventory.size() + 1);
    EXPECT_EQ(read_text_lines("SALINKZZ.BAS").size(), link_records);

    // From the menu, adopt in maintenance mode after an editor visit.
    test::TemporaryDirectory::put("SAHISTZZ.DAT",
                                  "  ***" + std::string(70, '=') + "***\r\n     Date : 05/06/2024\r\n\f\r\n");
    EXPECT_EQ(run({"", "6", "", "2", "SA", ""}), "history log split: done");
    EXPECT_EQ(read_text_lines("SAHISTZZ.IDX").at(1), "SAHISTZZ.001" + std::string(20, ' ') + "05/06/2024");
    EXPECT_FALSE(fs::exists("SAHISTZZ.DAT"));

    // Rejecting the maintenance scenario: no baseline copies exist (the
    // batch file was not run), so no working file goes.
    test::write_command_file("SA", 0, 6, 2);
    EXPECT_EQ(run({""}), "scenario module: done");
    for (const std::string& name : inventory)
        EXPECT_TRUE(fs::exists(name) || name.find("ZZ.ZZ") != std::string::npos) << name;
    EXPECT_TRUE(fs::exists("SA2204ZZ.ZLL"));
}

TEST_F(SampleStudyManagementTest, DifferencesOfAScenarioAndTheExceptionReportOfAToolsetSubsetRun)
{
    // The analysis run, then the adoption of the scenario; the copy batch
    // would keep the report and the control file as the baseline's.
    test::write_command_file("SA", 0, 1, 2);
    EXPECT_EQ(run({}), "analysis run done");
    test::write_command_file("SA", 0, 3, 4);
    EXPECT_EQ(run({}), "subset module: done");
    SubsetFieldMap defaults;
    set_subset_field_map_defaults(defaults);
    write_subset_specification("SATRVLZZ.SST", defaults);
    test::write_command_file("SA", 0, 6, 3);
    EXPECT_EQ(run({}), "scenario module: done");
    fs::copy_file("SATRVLZZ.DIA", "SATRVLZ1.DIA");
    fs::copy_file("SAcontzz.zzz", "SAcontz1.zzz");

    // The scenario changes two links and one subarea.
    std::vector<LinkRecord> links = read_link_data_base("SA2301ZZ.ZLL", FilePresence::MustExist);
    ASSERT_GE(links.size(), 2u);
    links[0].link_length() += 50.0f;
    links[1].upstream_elevation() += 2.0f;
    write_link_data_base("SA2301ZZ.ZLL", links);
    std::vector<SubareaRecord> subareas = read_subarea_data_base("SA2302ZZ.ZSS", FilePresence::MustExist);
    ASSERT_GE(subareas.size(), 1u);
    subareas[0].cell_area(1) += 1.0f;
    write_subarea_data_base("SA2302ZZ.ZSS", subareas);

    // Launched option 5: the menu, then the report options.
    test::write_command_file("SA", 0, 5, 0);
    EXPECT_EQ(run({"1", "1"}), "differences module: done");
    const std::vector<std::string> link_lines = read_text_lines("SALINKZZ.DIF");
    ASSERT_EQ(link_lines.size(), 1u + 2u * 7u) << "the column numbers and two entries";
    EXPECT_EQ(link_lines[3].substr(0, 25),
              format_line("(2(1X,F11.4,1X))", {links[0].upstream_node(), links[0].downstream_node()}))
        << "the first entry's scenario row begins with the first link's key";
    EXPECT_EQ(read_text_lines("SASUBAZZ.DIF").size(), 1u + 5u);
    EXPECT_EQ(read_text_lines("SANODEZZ.DIF").size(), 1u);

    // A toolset subset run (its flag goes to the tool-status file) ends with
    // the comparison of the two reports: the scenario's report is the
    // baseline's, so no difference is listed.
    const std::size_t report_lines = read_text_lines("SATRVLZZ.DIA").size();
    test::write_command_file("SA", 1, 3, 3);
    EXPECT_EQ(run({"EXIT"}), "subset module: done");
    const std::vector<std::string> report = read_text_lines("SATRVLZZ.DIA");
    ASSERT_GT(report.size(), report_lines);
    const std::vector<std::string> appended(report.begin() + static_cast<long>(report_lines), report.end());
    std::string none = "       NONE";
    none.resize(80, ' ');
    EXPECT_EQ(std::count(appended.begin(), appended.end(), none), 6);
    EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
}

}  // namespace
}  // namespace velm
