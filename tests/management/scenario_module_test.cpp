#include "management/scenario_module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "management/study_file_inventory.h"
#include "module_run.h"
#include "platform/text_file.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

class ScenarioModuleTest : public test::ModuleTest {
protected:
    std::string run_scenario(LauncherCall call, const std::vector<std::string>& typed)
    {
        call_ = std::move(call);
        return run(run_scenario_adopt_reject_module, call_, typed);
    }
    static std::string bytes(const std::string& name) { return test::TemporaryDirectory::get(name); }
    LauncherCall call_;
};

const std::vector<std::string> TWO_EVENT_INVENTORY = {
    "ABTRVLZZ.Z11", "AB0101ZZ.Z11", "AB0101ZZ.ZZN", "AB0101ZZ.ZZL", "AB0101ZZ.ZZS", "AB0101ZZ.ZNN", "AB0101ZZ.ZLL",
    "AB0101ZZ.ZSS", "AB0102ZZ.Z11", "AB0102ZZ.ZZN", "AB0102ZZ.ZZL", "AB0102ZZ.ZZS", "AB0102ZZ.ZNN", "AB0102ZZ.ZLL",
    "AB0102ZZ.ZSS", "ABTRVLZZ.Z12", "AB0101ZZ.Z12", "AB0102ZZ.Z12", "ABCONTZZ.ZZZ", "ABTRVLZZ.SST", "ABTRVLZZ.DIA"};

TEST_F(ScenarioModuleTest, LaunchedAdoptionWritesInventoryBaselineAndCopyBatch)
{
    test::two_map_management_study(2).write(fs::current_path());
    test::TemporaryDirectory::put("ABTRVLZZ.DIA", "\r\n");
    test::TemporaryDirectory::put("ABTRVLZZ.SST", "");
    EXPECT_EQ(run_scenario(launched_call("AB", 1, 3), {}), "scenario module: done");

    EXPECT_EQ(read_text_lines("ABINVTZZ.ZZZ"), TWO_EVENT_INVENTORY);
    const std::vector<std::string> batch = read_text_lines("MPDCOPY.BAT");
    ASSERT_EQ(batch.size(), 2 * TWO_EVENT_INVENTORY.size() + 1);
    EXPECT_EQ(batch[0], "COPY/Y \"ABTRVLZZ.Z11\" \"ABTRVLZ1.Z11\"");
    EXPECT_EQ(batch[1], "IF NOT ERRORLEVEL 1 DEL \"ABTRVLZZ.Z11\"") << "the delete only after a good copy";
    EXPECT_EQ(batch[5], "IF NOT ERRORLEVEL 1 DEL \"AB0101ZZ.ZZN\"");
    EXPECT_EQ(batch.back(), "DEL \"ABtoolzz.set\"");

    // The baseline files hold the map data bases' records, map after map.
    EXPECT_EQ(bytes("ABNODEZZ.BAS"), bytes("AB0101ZZ.ZNN") + bytes("AB0102ZZ.ZNN"));
    EXPECT_EQ(bytes("ABLINKZZ.BAS"), bytes("AB0101ZZ.ZLL") + bytes("AB0102ZZ.ZLL"));
    EXPECT_EQ(bytes("ABSUBAZZ.BAS"), bytes("AB0101ZZ.ZSS") + bytes("AB0102ZZ.ZSS"));
    EXPECT_EQ(read_text_lines("ABNODEZZ.BAS").at(0).size(), 5991u);
    EXPECT_EQ(bytes("QEVCOM2.DAT"), "99\r\n");
    EXPECT_EQ(window_.reads().size(), 0u) << "no banner, menu or prompt";
}

TEST_F(ScenarioModuleTest, BatchPathsTakeTheDataDirectoryAndTheCostFileKeepsItsWholeName)
{
    test::StudyBuilder study = test::two_map_management_study();
    study.set_data_directory("DATA\\AB\\STUDY.TXT");
    study.write(fs::current_path());
    test::TemporaryDirectory::put("DATA/AB/ABCOSTEZZ.DAT", "cost\r\n");
    EXPECT_EQ(run_scenario(launched_call("AB", 1, 3), {}), "scenario module: done");
    const std::vector<std::string> inventory = read_text_lines("DATA/AB/ABINVTZZ.ZZZ");
    EXPECT_EQ(inventory.back(), "ABCOSTEZZ.DAT");
    const std::vector<std::string> batch = read_text_lines("MPDCOPY.BAT");
    EXPECT_EQ(batch[0], "COPY/Y \"DATA\\AB\\ABTRVLZZ.Z11\" \"DATA\\AB\\ABTRVLZ1.Z11\"");
    EXPECT_EQ(batch[batch.size() - 3], "COPY/Y \"DATA\\AB\\ABCOSTEZZ.DAT\" \"DATA\\AB\\ABCOSTEZ1.DAT\"");
    EXPECT_EQ(batch.back(), "DEL \"DATA\\AB\\ABtoolzz.set\"");
    EXPECT_TRUE(fs::exists("DATA/AB/ABLINKZZ.BAS"));
}

TEST_F(ScenarioModuleTest, FailedAdoptionLeavesTheEarlierFilesAsTheyWere)
{
    const std::vector<std::pair<std::string, std::string>> earlier = {{"ABINVTZZ.ZZZ", "ABTRVLZZ.Z11\r\n"},
                                                                      {"MPDCOPY.BAT", "COPY/Y old\r\n"},
                                                                      {"ABNODEZZ.BAS", "old node\r\n"},
                                                                      {"ABLINKZZ.BAS", "old link\r\n"}};
    // No model list, or a file of that name that is no model list (its
    // first value is not -111888.0): the message, a pause, and nothing
    // written, so the baseline of the last adoption is not replaced by one
    // without maps.
    struct ListCase {
        const char* name;
        std::optional<std::string> list;
        std::string reason;
        std::string message;
    };
    const ListCase list_cases[] = {
        {"no list", std::nullopt, "scenario module: no model list", " * DATA FILE [ABTRVLZZ.Z11] DOES NOT EXIST   "},
        {"not a list", std::string("\x04\0\0\0\0\0\x80\x3f\x04\0\0\0", 12), "scenario module: not a model list",
         " * DATA FILE [ABTRVLZZ.Z11] IS NOT A QUORIN Tarvel FILE"},
    };
    for (const ListCase& c : list_cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        for (const auto& [name, content] : earlier) test::TemporaryDirectory::put(name, content);
        if (c.list) test::TemporaryDirectory::put("ABTRVLZZ.Z11", *c.list);
        EXPECT_EQ(run_scenario(launched_call("AB", 1, 4), {""}), c.reason);
        EXPECT_EQ(test::snapshot_text(screen_at(0), 1, 21, c.message.size()), c.message);
        for (const auto& [name, content] : earlier) EXPECT_EQ(bytes(name), content) << name;
        EXPECT_FALSE(fs::exists("ABSUBAZZ.BAS"));
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
    // A link data base record that cannot be read, that the end of the file
    // cuts short, or whose value does not fit its baseline field (column 9 is
    // written F7.5): the run is refused in the window naming the data base
    // and its line, and nothing of the adoption is written.
    std::string too_wide = "10203.0 10204.0 0 0 0 'X' 21 0 100.0";
    for (int k = 10; k <= 188; ++k) too_wide += " 0";
    const std::pair<std::string, std::string> bad_records[] = {
        {"unreadable", "10203.0 x\r\n"}, {"cut short", "10203.0 10204.0 0\r\n"}, {"too wide", too_wide + "\r\n"}};
    for (const auto& [case_name, bad_record] : bad_records) {
        SCOPED_TRACE(case_name);
        test::StudyBuilder study = test::two_map_management_study();
        study.write(fs::current_path());
        for (const auto& [name, content] : earlier) test::TemporaryDirectory::put(name, content);
        test::TemporaryDirectory::put("AB0102ZZ.ZLL", bytes("AB0102ZZ.ZLL") + bad_record);
        const std::string line = std::to_string(read_text_lines("AB0102ZZ.ZLL").size());
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_scenario(launched_call("AB", 1, 3), {""}), "scenario module: a file cannot be read or written");
        const std::string message = window_.reads().back();
        EXPECT_NE(message.find("NOTHING WAS CHANGED"), std::string::npos) << message;
        EXPECT_NE(message.find("AB0102ZZ.ZLL"), std::string::npos) << message;
        EXPECT_TRUE(message.find("line " + line) != std::string::npos ||
                    message.find("record " + line) != std::string::npos)
            << message;
        for (const auto& [name, content] : earlier) EXPECT_EQ(bytes(name), content) << name;
        EXPECT_FALSE(fs::exists("ABSUBAZZ.BAS"));
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
        for (const std::string& name : test::TemporaryDirectory::entries())
            EXPECT_NE(name.front(), '.') << "a new version of the stopped adoption is left: " << name;
    }
}

TEST_F(ScenarioModuleTest, EntriesOfAnotherStudyAreNotListedOrCopied)
{
    test::StudyBuilder study = test::two_map_management_study();
    study.edit_model_lists([](int, std::vector<ModelListEntry>& entries) {
        entries.push_back(make_model_list_entry("XY0101ZZ.Z11"));
        entries.push_back(make_model_list_entry(" B0101ZZ.Z11"));
    });
    study.write(fs::current_path());
    EXPECT_EQ(run_scenario(launched_call("AB", 1, 3), {}), "scenario module: done");
    const std::string inventory = bytes("ABINVTZZ.ZZZ");
    EXPECT_EQ(inventory.find("XY0101"), std::string::npos);
    EXPECT_EQ(inventory.find("B0101ZZ.Z11\r\n"), inventory.find("AB0101ZZ.Z11") + 1);
    EXPECT_EQ(read_text_lines("ABNODEZZ.BAS").size(), 3u);
}

TEST_F(ScenarioModuleTest, AbandonMaintenanceDeletesOnlyFilesWithABaselineCopy)
{
    // An inventory edited by hand: a line naming a file elsewhere is no study
    // file, and a listed baseline copy has no copy but itself.
    test::TemporaryDirectory::put("ABINVTZZ.ZZZ",
                                  "ABTRVLZZ.Z11\r\nAB0101ZZ.ZLL\r\nABTRVLZZ.DIA\r\nsub/KEEPZZ.TXT\r\nabtrvlz1.z11\r\n");
    test::TemporaryDirectory::put("sub/KEEPZZ.TXT", "x\r\n");
    test::TemporaryDirectory::put("sub/KEEPZ1.TXT", "x\r\n");
    for (const char* name : {"ABTRVLZZ.Z11", "ABTRVLZ1.Z11", "AB0101ZZ.ZLL", "ABtoolzz.set", "ABHISTZZ.DAT"}) {
        test::TemporaryDirectory::put(name, "x\r\n");
    }
    EXPECT_EQ(run_scenario(launched_call("AB", 1, 2), {""}), "scenario module: done");
    EXPECT_FALSE(fs::exists("ABTRVLZZ.Z11")) << "its copy keeps it";
    EXPECT_TRUE(fs::exists("ABTRVLZ1.Z11"));
    EXPECT_TRUE(fs::exists("AB0101ZZ.ZLL")) << "no copy: kept";
    EXPECT_TRUE(fs::exists("sub/KEEPZZ.TXT"));
    EXPECT_EQ(test::snapshot_text(screen_at(0), 5, 5, 29), "Abandon Maintenance Operation");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 5, 7, 40), "Not deleted, no BASELINE copy exists of:");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 1, 8, 32), "     AB0101ZZ.ZLL   abtrvlz1.z11")
        << "the kept files are listed";
    EXPECT_FALSE(fs::exists("ABtoolzz.set"));
    EXPECT_TRUE(fs::exists("ABHISTZZ.DAT")) << "the history log goes only in toolset mode";
    EXPECT_TRUE(fs::exists("ABINVTZZ.ZZZ"));
    EXPECT_EQ(bytes("QEVCOM2.DAT"), "99\r\n");
}

TEST_F(ScenarioModuleTest, AbandonAndStartMaintenance)
{
    test::TemporaryDirectory::put("ABINVTZZ.ZZZ", "ABTRVLZZ.Z11\r\nAB0101ZZ.ZLL\r\n");
    for (const char* name : {"ABTRVLZZ.Z11", "ABtoolzz.set", "ABHISTZZ.DAT"})
        test::TemporaryDirectory::put(name, "x\r\n");
    // Abandon in toolset mode: the tool-status file and the history log go.
    EXPECT_EQ(run_scenario(launched_call("AB", 2, 5), {}), "scenario module: done");
    EXPECT_FALSE(fs::exists("ABtoolzz.set"));
    EXPECT_FALSE(fs::exists("ABHISTZZ.DAT"));
    EXPECT_TRUE(fs::exists("ABTRVLZZ.Z11"));
    EXPECT_FALSE(fs::exists("MPDCOPY.BAT"));

    EXPECT_EQ(run_scenario(launched_call("AB", 1, 6), {}), "scenario module: done");
    EXPECT_EQ(read_text_lines("MPDCOPY.BAT"),
              (std::vector<std::string>{"IF NOT EXIST \"ABTRVLZZ.Z11\" COPY/Y \"ABTRVLZ1.Z11\" \"ABTRVLZZ.Z11\"",
                                        "IF NOT EXIST \"AB0101ZZ.ZLL\" COPY/Y \"AB0101Z1.ZLL\" \"AB0101ZZ.ZLL\""}));

    fs::remove("ABINVTZZ.ZZZ");
    EXPECT_EQ(run_scenario(launched_call("AB", 1, 6), {""}), "scenario module: no inventory");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 1, 21, 42), " * DATA FILE [ABINVTZZ.ZZZ] DOES NOT EXIST");

    EXPECT_EQ(run_scenario(launched_call("AB", 1, 1), {}), "scenario module: done");
    EXPECT_EQ(read_text_lines("delmpd.bat"), std::vector<std::string>{"del \"AB????ZZ.Z1*\""});
}

TEST_F(ScenarioModuleTest, MenuOptionsAndStudyPrompt)
{
    test::TemporaryDirectory::put("ABINVTZZ.ZZZ", "ABTRVLZZ.Z11\r\n");
    test::TemporaryDirectory::put("ABtoolzz.set", "x\r\n");
    // Banner, bad answers, option 6 (the same as 5), a study with a digit, then "ab".
    EXPECT_EQ(run_scenario(menu_call(), {"", "7", "1x", " 1", "TO", "6", "1B", "ab"}), "scenario module: done");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 22, 9, 36), "ADOPT/REJECT/ABANDON SCENARIO MODULE");
    const std::string& menu = screen_at(1);
    EXPECT_EQ(test::snapshot_text(menu, 5, 5, 58), "This MODULE allows YOU to ADOPT/REJECT/ABANDON a SCENARIO.");
    EXPECT_EQ(test::snapshot_text(menu, 6, 7, 56), "Select PROGRAM Option NUMBER....................... ===>");
    EXPECT_EQ(test::snapshot_text(menu, 5, 18, 42), "Enter 2-letter STUDY ID.............. ===>");
    EXPECT_EQ(test::snapshot_text(menu, 1, 22, 73), " " + std::string(72, '-'));
    EXPECT_EQ(cursor_at(1), std::make_pair(62, 7));
    EXPECT_EQ(test::snapshot_text(screen_at(2), 1, 21, 50), "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
    EXPECT_EQ(window_.beeps(), 3);
    EXPECT_EQ(cursor_at(6), std::make_pair(47, 18));
    EXPECT_EQ(test::snapshot_text(screen_at(6), 1, 21, 10), std::string(10, ' ')) << "the error erased";
    EXPECT_EQ(call_.sub_option, 5) << "menu option 6 abandons like 5";
    EXPECT_FALSE(fs::exists("ABtoolzz.set"));
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));

    window_ = test::ScriptedWindow();
    EXPECT_EQ(run_scenario(menu_call(), {"", "ex"}), "scenario module: done");
    window_ = test::ScriptedWindow();
    EXPECT_EQ(run_scenario(menu_call(), {"", "1", "exit"}), "scenario module: done");
    EXPECT_EQ(read_text_lines("ABINVTZZ.ZZZ"), std::vector<std::string>{"ABTRVLZZ.Z11"}) << "nothing adopted";
}

TEST_F(ScenarioModuleTest, LaunchedWithoutAnOperationTakesTheStudyFromTheLauncher)
{
    test::TemporaryDirectory::put("ABINVTZZ.ZZZ", "ABTRVLZZ.Z11\r\n");
    test::TemporaryDirectory::put("ABtoolzz.set", "x\r\n");
    // Banner and menu, no study prompt: menu option 5 abandons study AB.
    EXPECT_EQ(run_scenario(launched_call("AB", 1, 9), {"", "5"}), "scenario module: done");
    EXPECT_EQ(test::snapshot_row(screen_at(1), 18).find("STUDY"), std::string::npos);
    EXPECT_EQ(call_.sub_option, 5);
    EXPECT_FALSE(fs::exists("ABtoolzz.set"));
    EXPECT_EQ(bytes("QEVCOM2.DAT"), "99\r\n");

    // A launcher line that names no study: shown until RETURN, no reply.
    fs::remove("QEVCOM2.DAT");
    window_ = test::ScriptedWindow();
    EXPECT_EQ(run_scenario(launched_call("1B", 1, 0), {"", "5", ""}), "scenario module: the launcher names no study");
    EXPECT_EQ(test::snapshot_text(screen_at(2), 1, 21, 33), "*****THE LAUNCHER NAMES NO STUDY:");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

}  // namespace
}  // namespace velm
