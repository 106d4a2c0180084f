#include "management/differences_module.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "management/scenario_module.h"
#include "management/subset_field_map.h"
#include "module_run.h"
#include "platform/text_file.h"
#include "records/format.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

// A study adopted as its baseline (with the default subset specification),
// whose scenario then changes two links and one subarea.
class DifferencesModuleTest : public test::ModuleTest {
protected:
    void SetUp() override
    {
        study_.add_node(10204.0f, 120.0f, {15.0f});
        study_.add_link(10203.0f, 10204.0f, 300.0f, test::Element::pipe(3.0f));
        study_.write(fs::current_path());
        SubsetFieldMap defaults;
        set_subset_field_map_defaults(defaults);
        write_subset_specification("ABTRVLZZ.SST", defaults);
        LauncherCall adopt = launched_call("AB", 1, 3);
        EXPECT_EQ(run(run_scenario_adopt_reject_module, adopt, {}), "scenario module: done");
        fs::remove("QEVCOM2.DAT");
        window_ = test::ScriptedWindow();
    }
    void change_scenario()
    {
        std::vector<LinkRecord> map_102 = read_link_data_base("AB0102ZZ.ZLL", FilePresence::MustExist);
        map_102.at(0).element_height() = 2.5f;       // column 23 of the pipe into map 102
        map_102.at(1).link_length() = 350.0f;        // column 8 of the last pipe
        map_102.at(1).unit_cost_opinion() = 100.0f;  // its cost: 35000 now, 0 in the baseline
        write_link_data_base("AB0102ZZ.ZLL", map_102);
        std::vector<SubareaRecord> subareas = read_subarea_data_base("AB0101ZZ.ZSS", FilePresence::MustExist);
        subareas.at(1).cell_area(1) = 3.0f;  // column 117
        write_subarea_data_base("AB0101ZZ.ZSS", subareas);
    }
    std::string run_differences(LauncherCall call, const std::vector<std::string>& typed)
    {
        call_ = std::move(call);
        return run(run_differences_module, call_, typed);
    }
    // The entries of a differences file: the key values of each entry's
    // scenario row and the positions (1-based) whose difference is not 0.
    // (The test's node and link lists have two key positions, the subarea
    // list one.)
    static std::vector<std::pair<std::string, std::vector<int>>> entries(const std::string& name, bool one_line_rows)
    {
        const std::vector<std::string> lines = read_text_lines(name);
        std::vector<std::pair<std::string, std::vector<int>>> found;
        const std::size_t entry_lines = one_line_rows ? 5 : 7;
        for (std::size_t k = 1; k + entry_lines <= lines.size(); k += entry_lines) {
            const std::string scenario = lines[k + 2];
            std::string differences = lines[k + (one_line_rows ? 3 : 4)];
            if (!one_line_rows) differences += lines[k + 5];
            std::vector<int> changed;
            for (std::size_t i = one_line_rows ? 2 : 3; i <= 60; ++i) {  // after the key positions
                if (differences.substr((i - 1) * 13, 13) != "      0.0000 ") changed.push_back(static_cast<int>(i));
            }
            found.emplace_back(scenario.substr(0, one_line_rows ? 13 : 26), changed);
        }
        return found;
    }
    test::StudyBuilder study_ = test::two_map_management_study();
    LauncherCall call_;
};

TEST_F(DifferencesModuleTest, ListsExactlyTheChangedRecordsAndColumns)
{
    change_scenario();
    EXPECT_EQ(run_differences(menu_call(), {"", "1", "AB", "1", "", "EXIT"}), "differences module: done");
    EXPECT_EQ(entries("ABNODEZZ.DIF", false).size(), 0u);
    using Entries = std::vector<std::pair<std::string, std::vector<int>>>;
    EXPECT_EQ(entries("ABLINKZZ.DIF", false),
              (Entries{{"  10102.0000   10203.0000 ", {20}}, {"  10203.0000   10204.0000 ", {7}}}))
        << "column 23 is position 20 of the link list, column 8 position 7";
    EXPECT_EQ(entries("ABSUBAZZ.DIF", true), (Entries{{"  10102.0000 ", {6}}})) << "column 117 is position 6";
    EXPECT_EQ(read_text_lines("ABLINKZZ.DIF").at(0).substr(0, 26), "         1            2   ");
    EXPECT_FALSE(fs::exists("ABTRVLZZ.DIF"));

    const std::string& menu = screen_at(1);
    EXPECT_EQ(test::snapshot_text(menu, 5, 5, 39), "Data Base \"DIFFERENCES\" Module Options:");
    EXPECT_EQ(test::snapshot_text(menu, 1, 13, 61), "     Enter Option NUMBER................................ ===>");
    EXPECT_EQ(cursor_at(2), std::make_pair(62, 18)) << "the study prompt";
    EXPECT_EQ(test::snapshot_text(screen_at(3), 5, 5, 29), "\"DIFFERENCES\" REPORT Options:");
    EXPECT_EQ(test::snapshot_text(screen_at(4), 1, 7, 54), "     DIFFERENCES SUBSET Data files have been Developed");
    EXPECT_EQ(test::snapshot_text(screen_at(4), 1, 9, 19), "     [ABNODEZZ.DIF]");
    EXPECT_EQ(cursor_at(5), std::make_pair(62, 13)) << "back to the menu";
}

TEST_F(DifferencesModuleTest, ComparingTheBaselineWithItselfFindsNoChange)
{
    LauncherCall call = launched_call("AB", 2, 0);
    EXPECT_EQ(run_differences(call, {"1", "3"}), "differences module: done");
    const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIF");
    std::size_t no_changes = 0;
    std::size_t page_breaks = 0;
    for (const std::string& line : report) {
        if (line.find("NO CHANGES were Detected") != std::string::npos) ++no_changes;
        EXPECT_EQ(line.size(), 150u) << "every line, page breaks included: " << line;
        if (line.front() == '\f') {
            ++page_breaks;
            EXPECT_EQ(line.find_first_not_of(' ', 1), std::string::npos) << "a page break holds its form feed alone";
        }
    }
    EXPECT_EQ(no_changes, 3u);
    EXPECT_EQ(page_breaks, 7u) << "the three legend pages' page breaks and the summary's";
    EXPECT_EQ(report.back().substr(0, 95),
              "     4. Total Change in Cost Opinion Between MPD ID = [AB] and the Scenario MPD = $          0.");
    EXPECT_FALSE(fs::exists("ABNODEZZ.DIF"));
    EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
}

TEST_F(DifferencesModuleTest, FullReportPagesTheChangesAndSumsTheCostChange)
{
    change_scenario();
    EXPECT_EQ(run_differences(menu_call(), {"", "2", "1", "AB", "3", "", "EXIT"}), "differences module: done");
    const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIF");
    ASSERT_GT(report.size(), 10u);
    EXPECT_EQ(report[0].substr(0, 80),
              "                    Master Plan of Drainage DIFFERENCES Report for MPD ID = [AB]");
    const auto line_with = [&](const std::string& text) {
        for (const std::string& line : report) {
            if (line.find(text) != std::string::npos) return line;
        }
        return std::string("(no line with " + text + ")");
    };
    EXPECT_EQ(line_with("1. Total Number of Subareas").substr(0, 68),
              "     1. Total Number of Subareas Listed in DIFFERENCES REPORT =    1");
    EXPECT_EQ(line_with("2. Total Number of   Links").substr(61, 7), " =    2");
    EXPECT_EQ(line_with("3. Total Number of   Nodes").substr(61, 7), " =    0");
    EXPECT_EQ(line_with("4. Total Change").substr(82, 14), "$      35000. ");
    EXPECT_NE(line_with("NO CHANGES were Detected").find("NO CHANGES"), std::string::npos) << "the node section";
    EXPECT_EQ(test::snapshot_text(screen_at(2), 1, 13, 62),
              "     Enter Tolerance Level Option NUMBER................ ===>2");
}

TEST_F(DifferencesModuleTest, AMapWithoutItsNodeDataBaseShiftsThePairingAndIsNotCreated)
{
    // Map 101 has lost its node data base: its nodes are not compared, and
    // the nodes of map 102 meet the baseline's nodes of map 101 by position.
    // The missing file stays missing: a list of differences creates no
    // data base of the study.
    fs::remove("AB0101ZZ.ZNN");
    EXPECT_EQ(run_differences(launched_call("AB", 2, 0), {"1", "1"}), "differences module: done");
    const auto found = entries("ABNODEZZ.DIF", false);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].first.substr(0, 13), "  10203.0000 ");
    EXPECT_EQ(found[1].first.substr(0, 13), "  10204.0000 ");
    EXPECT_EQ(read_text_lines("ABNODEZZ.DIF").at(1).substr(0, 13), "( 10101.0000)")
        << "paired with map 101's first node";
    EXPECT_FALSE(fs::exists("AB0101ZZ.ZNN"));
    EXPECT_EQ(entries("ABLINKZZ.DIF", false).size(), 0u) << "the links keep their pairs";
}

TEST_F(DifferencesModuleTest, TheCostChangeCountsLinksThatHaveNoPartner)
{
    // The cost opinion of every link of both sides enters the change, also
    // a baseline link the scenario no longer has and every link the
    // scenario added beyond the baseline's last one.
    const std::vector<LinkRecord> scenario_links = read_link_data_base("AB0102ZZ.ZLL", FilePresence::MustExist);
    std::vector<LinkRecord> baseline_links = read_link_data_base("ABLINKZZ.BAS", FilePresence::MustExist);
    ASSERT_FALSE(baseline_links.empty());
    baseline_links.back().unit_cost_opinion() = 10.0f;  // $/ft on the 300-ft pipe of map 102
    write_link_data_base("ABLINKZZ.BAS", baseline_links);
    LinkRecord added = scenario_links.back();
    added.unit_cost_opinion() = 100.0f;
    added.link_length() = 10.0f;

    struct Case {
        const char* name;
        std::vector<LinkRecord> map_102;
        float change;  // dollars
    };
    std::vector<LinkRecord> lost(scenario_links.begin(), scenario_links.end() - 1);
    std::vector<LinkRecord> grown = scenario_links;
    grown.push_back(added);
    grown.push_back(added);
    const Case cases[] = {
        {"the scenario lost the baseline's last link", lost, -3000.0f},
        {"the scenario added two links", grown, 2000.0f - 3000.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_link_data_base("AB0102ZZ.ZLL", c.map_102);
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_differences(launched_call("AB", 2, 0), {"1", "2"}), "differences module: done");
        const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIF");
        ASSERT_FALSE(report.empty());
        const std::string expected =
            "     Total Change in Cost Opinion Between MPD ID = [AB] and the Scenario MPD = $" +
            format_line("(F12.0)", {c.change});
        EXPECT_EQ(report.back().substr(0, expected.size()), expected);
    }
}

// The differences files and the report grow on the disk beside the files
// they replace: a pass that ends on a record it cannot read leaves every
// earlier file as it was, and no pass leaves anything of its own behind.
TEST_F(DifferencesModuleTest, APassWritesItsFilesWholeOrNotAtAll)
{
    const std::vector<std::pair<std::string, std::string>> earlier = {{"ABNODEZZ.DIF", "old node\r\n"},
                                                                      {"ABSUBAZZ.DIF", "old subarea\r\n"},
                                                                      {"ABLINKZZ.DIF", "old link\r\n"},
                                                                      {"ABTRVLZZ.DIF", "old report\r\n"}};
    const std::string good_links = test::TemporaryDirectory::get("AB0102ZZ.ZLL");
    const auto hidden_files = [] {
        std::vector<std::string> hidden;
        for (const std::string& name : test::TemporaryDirectory::entries())
            if (name.front() == '.' || name.find("SECTION") != std::string::npos) hidden.push_back(name);
        return hidden;
    };
    for (const char* report_option : {"1", "2", "3"}) {
        SCOPED_TRACE(std::string("report option ") + report_option);
        for (const auto& [name, content] : earlier) test::TemporaryDirectory::put(name, content);
        test::TemporaryDirectory::put("AB0102ZZ.ZLL", good_links + "10203.0 x\r\n");
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_differences(launched_call("AB", 2, 0), {"1", report_option, ""}),
                  "differences module: the pass was refused");
        EXPECT_TRUE(window_.has_shown("AB0102ZZ.ZLL")) << window_.dump();
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT")) << "no reply for a pass not made";
        for (const auto& [name, content] : earlier) EXPECT_EQ(test::TemporaryDirectory::get(name), content) << name;
        EXPECT_EQ(hidden_files(), std::vector<std::string>{});

        test::TemporaryDirectory::put("AB0102ZZ.ZLL", good_links);
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_differences(launched_call("AB", 2, 0), {"1", report_option}), "differences module: done");
        EXPECT_EQ(hidden_files(), std::vector<std::string>{});
        EXPECT_NE(test::TemporaryDirectory::get(std::string(report_option) == "1" ? "ABLINKZZ.DIF" : "ABTRVLZZ.DIF"),
                  std::string(std::string(report_option) == "1" ? "old link\r\n" : "old report\r\n"));
        fs::remove("QEVCOM2.DAT");
    }
}

TEST_F(DifferencesModuleTest, MissingFilesOfTheStudy)
{
    fs::remove("ABLINKZZ.BAS");
    EXPECT_EQ(run_differences(menu_call(), {"", "1", "CD", "AB", "1", ""}),
              "differences module: a file of the study is missing");
    EXPECT_EQ(test::snapshot_text(screen_at(3), 1, 21, 26), "*****FILE CDTRVLZZ.Z11    ");
    EXPECT_EQ(test::snapshot_text(screen_at(5), 1, 21, 26), "*****FILE ABLINKZZ.BAS    ");
    EXPECT_FALSE(fs::exists("ABNODEZZ.DIF"));

    window_ = test::ScriptedWindow();
    fs::remove("ABTRVLZZ.SST");
    EXPECT_EQ(run_differences(launched_call("AB", 2, 0), {"1", "1", ""}),
              "differences module: a file of the study is missing");
    EXPECT_EQ(test::snapshot_text(screen_at(2), 1, 20, 39), "  * Data Base Subsets are NOT defined !");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));

    window_ = test::ScriptedWindow();
    EXPECT_EQ(run_differences(launched_call("1A", 2, 0), {"1", ""}), "the launched study cannot be used");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

}  // namespace
}  // namespace velm
