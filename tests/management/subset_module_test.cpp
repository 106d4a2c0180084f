#include "management/subset_module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "management/subset_field_map.h"
#include "module_run.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "support/record_edits.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

const std::string MENU_TITLE = "Data Base SUBSET Options";
const std::string STUDY_PROMPT = "Specify 2-letter STUDY NAME(between [AA] to [ZZ])... ===>";

class SubsetModuleTest : public test::ModuleTest {
protected:
    std::string run_subset(LauncherCall call, const std::vector<std::string>& typed)
    {
        call_ = std::move(call);
        return run(run_subset_module, call_, typed);
    }
    LauncherCall call_;
};

TEST_F(SubsetModuleTest, InteractivePreparationOfTheStudysSubsets)
{
    test::two_map_management_study(2).write(fs::current_path());
    EXPECT_EQ(run_subset(menu_call(), {"", "4", "AB", "", "EXIT"}), "subset module: done");

    EXPECT_EQ(test::snapshot_text(screen_at(0), 27, 7, 21), "DATA BASE MANAGEMENT:") << "the banner";
    EXPECT_EQ(test::snapshot_text(screen_at(0), 29, 9, 18), "SUBSET DEVELOPMENT");
    const std::string& menu = screen_at(1);
    EXPECT_EQ(test::snapshot_text(menu, 5, 5, MENU_TITLE.size()), MENU_TITLE);
    EXPECT_EQ(test::snapshot_text(menu, 8, 10, 53), "4 = Prepare LINK, NODE, and SUBAREA Data Base SUBSETS");
    EXPECT_EQ(test::snapshot_text(menu, 1, 13, 61), "     Enter Data Base Option NUMBER...................... ===>");
    EXPECT_EQ(test::snapshot_text(menu, 5, 18, STUDY_PROMPT.size()), STUDY_PROMPT);
    EXPECT_EQ(cursor_at(1), std::make_pair(62, 13));
    EXPECT_EQ(cursor_at(2), std::make_pair(62, 18)) << "the study after the option";
    const std::string& stored = screen_at(3);
    EXPECT_NE(window_.transcript().find("     PROCESSING DATA FILE....AB0101ZZ.z13"), std::string::npos)
        << "the first map is shown by the last model file name tried";
    EXPECT_EQ(test::snapshot_text(stored, 5, 5, 41), "     PROCESSING DATA FILE....AB0102ZZ    ");
    EXPECT_EQ(test::snapshot_text(stored, 1, 7, 39), "     Data Base SUBSETS stored in files:");
    EXPECT_EQ(test::snapshot_text(stored, 1, 10, 19), "     [ABLINKZZ.SST]");
    EXPECT_EQ(test::snapshot_row(screen_at(4), 18).find("STUDY"), std::string::npos) << "the study is asked once";

    const std::vector<std::string> links = read_text_lines("ABLINKZZ.SST");
    ASSERT_EQ(links.size(), 3u) << "header and the two links, map 101 first";
    EXPECT_EQ(links[0].substr(0, 11 + 13 * 6),
              "         1,           2,           3,           4,           5,           7,           8,");
    EXPECT_EQ(links[1].substr(0, 26), "  10101.0000,  10102.0000,");
    EXPECT_EQ(links[2].substr(0, 26), "  10102.0000,  10203.0000,");
    EXPECT_EQ(read_text_lines("ABNODEZZ.SST").size(), 4u);
    EXPECT_EQ(read_text_lines("ABSUBAZZ.SST").size(), 3u);
    EXPECT_FALSE(fs::exists("ABTRVLZZ.SST")) << "preparing does not save the specification";
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

TEST_F(SubsetModuleTest, ColumnNinetyOneShowsTheFirstMapsReturnFrequency)
{
    test::StudyBuilder study = test::two_map_management_study(2);
    study.set_storm_return_frequency(2, 25.0f);
    study.link(10102.0f, 10203.0f).max_deficiency_event() = 2;
    study.write(fs::current_path());
    std::string zeros;
    for (int k = 0; k < 60; ++k) zeros += "   0";
    std::string links = "   1   2  91";
    for (int k = 3; k < 60; ++k) links += "   0";
    test::TemporaryDirectory::put("ABTRVLZZ.SST",
                                  "   1" + zeros.substr(4) + "\r\n   1" + zeros.substr(4) + "\r\n" + links + "\r\n");
    LauncherCall call = launched_call("AB", 1, 4);
    EXPECT_EQ(run_subset(call, {}), "subset module: done");
    EXPECT_EQ(read_text_lines("ABLINKZZ.SST"), (std::vector<std::string>{"         1,           2,          91,",
                                                                         "  10101.0000,  10102.0000,      0.0000,",
                                                                         "  10102.0000,  10203.0000,     25.0000,"}));
}

// A storm event's return frequency that is no number cannot stand in a
// subset column: the preparation stops naming the model file and the record.
TEST_F(SubsetModuleTest, ReturnFrequencyThatIsNoNumberStopsThePreparation)
{
    test::two_map_management_study(2).write(fs::current_path());
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        SCOPED_TRACE(bad);
        test::set_record_value("AB0101ZZ.Z12", 12, 1, bad);
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_subset(launched_call("AB", 1, 4), {""}), "subset module: a file cannot be read or written");
        EXPECT_TRUE(window_.has_shown("AB0101ZZ.z12: record 12: the value ")) << window_.dump();
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
        EXPECT_FALSE(fs::exists("ABNODEZZ.SST"));
    }
}

TEST_F(SubsetModuleTest, StudyAnswers)
{
    test::two_map_management_study().write(fs::current_path());
    struct Case {
        const char* name;
        std::vector<std::string> typed;  // after the banner and the option
        std::string reason;
    };
    const Case cases[] = {
        {"exit ends the module", {"exit"}, "subset module: done"},
        {"a digit blanks the answer and asks again", {"1B", "EXIT"}, "subset module: done"},
        {"TOP shows the menu again", {"TOP", "EXIT"}, "subset module: done"},
        {"an unknown study is reported and asked again", {"CD", "ab", "", "EXIT"}, "subset module: done"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        std::vector<std::string> typed = {"", "4"};
        typed.insert(typed.end(), c.typed.begin(), c.typed.end());
        EXPECT_EQ(run_subset(menu_call(), typed), c.reason);
    }
    // The last case: the missing list named on row 21, the prompt field cleared.
    EXPECT_EQ(test::snapshot_text(screen_at(3), 1, 21, 35), "*****FILE CDTRVLZZ.Z11             ");
    EXPECT_EQ(test::snapshot_text(screen_at(3), 61, 21, 16), " DOES NOT EXIST ");
    EXPECT_EQ(cursor_at(3), std::make_pair(62, 18));
    EXPECT_EQ(read_text_lines("abLINKZZ.SST").size(), 3u) << "lower-case letters are taken as typed";
}

TEST_F(SubsetModuleTest, EditingSavesTheWholeMapEvenWithoutChanges)
{
    test::two_map_management_study().write(fs::current_path());
    EXPECT_EQ(run_subset(menu_call(), {"", "3", "AB", "E", "1", "C", "300", "E", "EXIT"}), "subset module: done");
    EXPECT_EQ(test::snapshot_text(screen_at(3), 2, 2, 37), "LINK DATA BASE SUBSET SPECIFICATIONS:");
    SubsetFieldMap saved;
    ASSERT_TRUE(read_subset_specification("ABTRVLZZ.SST", saved));
    SubsetFieldMap defaults;
    set_subset_field_map_defaults(defaults);
    EXPECT_EQ(saved.fields(DataBaseKind::LinkKind), defaults.fields(DataBaseKind::LinkKind));
    EXPECT_EQ(saved.fields(DataBaseKind::NodeKind)[1], 300) << "the second edit starts from the saved map";
}

TEST_F(SubsetModuleTest, LaunchedRuns)
{
    test::two_map_management_study().write(fs::current_path());
    struct Case {
        const char* name;
        int run_count;
        int sub_option;
        std::vector<std::string> typed;
        bool flag_set;
        bool replied;
    };
    // A toolset run ends with the report comparison, which cannot be made
    // without a baseline report: no reply.
    const Case cases[] = {
        {"sub-option 4 prepares at once", 2, 4, {}, false, false},
        {"another sub-option edits until EXIT", 2, 3, {"4", "EXIT"}, true, false},
        {"outside toolset mode the run replies", 1, 3, {"EXIT"}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove("QEVCOM2.DAT");
        fs::remove("ABtoolzz.set");
        fs::remove("ABLINKZZ.SST");
        window_ = test::ScriptedWindow();
        // A toolset run ends with the report comparison, which has no
        // baseline report here and says so until Return.
        std::vector<std::string> typed = c.typed;
        if (c.run_count == TOOLSET_MODE_COUNT) typed.emplace_back("");
        EXPECT_EQ(run_subset(launched_call("AB", c.run_count, c.sub_option), typed),
                  c.replied ? "subset module: done" : "subset module: no exception report was appended");
        if (c.run_count == TOOLSET_MODE_COUNT) {
            EXPECT_NE(window_.reads().back().find("NO EXCEPTION REPORT: [ABTRVLZ1.DIA] DOES NOT EXIST"),
                      std::string::npos);
        }
        EXPECT_EQ(fs::exists("ABLINKZZ.SST"), c.sub_option == 4);
        EXPECT_EQ(fs::exists("QEVCOM2.DAT"), c.replied);
        std::vector<int> flags;
        if (c.flag_set) {
            const std::vector<std::string> lines = read_text_lines("ABtoolzz.set");
            ASSERT_EQ(lines.size(), 100u);
            EXPECT_EQ(lines[51], std::string(10, ' ') + " 1");
            EXPECT_EQ(lines[0], std::string(10, ' ') + " 0");
        } else {
            EXPECT_FALSE(fs::exists("ABtoolzz.set"));
        }
        if (!c.typed.empty()) {
            EXPECT_EQ(test::snapshot_text(screen_at(0), 8, 10, 10), "4 = N/A   ") << "option 4 is not offered";
            EXPECT_EQ(test::snapshot_row(screen_at(0), 18).find("STUDY"), std::string::npos);
        }
    }
}

TEST_F(SubsetModuleTest, LaunchedStudyWithoutModelListEndsWithoutReply)
{
    EXPECT_EQ(run_subset(launched_call("CD", 2, 4), {""}), "the launched study cannot be used");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    EXPECT_FALSE(fs::exists("CDNODEZZ.SST"));
}

TEST_F(SubsetModuleTest, ListThatIsNotAModelListIsReportedUntilExit)
{
    test::TemporaryDirectory::put("ABTRVLZZ.Z11", std::string("\x04\0\0\0\0\0\x80\x3f\x04\0\0\0", 12));
    EXPECT_EQ(run_subset(menu_call(), {"", "4", "AB", "", "4", "", "EXIT"}), "subset module: done");
    EXPECT_EQ(test::snapshot_text(screen_at(3), 1, 21, 55), " * DATA FILE [ABTRVLZZ.Z11] IS NOT A QUORIN Tarvel FILE");
    EXPECT_EQ(test::snapshot_text(screen_at(5), 1, 21, 10), " * DATA FI") << "every option shows it again";
    EXPECT_FALSE(fs::exists("ABNODEZZ.SST"));
}

TEST_F(SubsetModuleTest, EntriesOfAnotherStudyAndMissingDataBasesAddNoRows)
{
    test::StudyBuilder study = test::two_map_management_study();
    study.omit_file("AB0102ZZ.ZNN");
    study.edit_model_lists([](int, std::vector<ModelListEntry>& entries) {
        entries.insert(entries.begin(), make_model_list_entry("XY0101ZZ.Z11"));
    });
    study.write(fs::current_path());
    test::StudyBuilder other("XY", 6, 1);
    other.add_node(10101.0f, 10.0f);
    other.write(fs::current_path());
    LauncherCall call = launched_call("AB", 1, 4);
    EXPECT_EQ(run_subset(call, {}), "subset module: done");
    EXPECT_EQ(read_text_lines("ABNODEZZ.SST").size(), 3u) << "map 101's two nodes; map 102 has no node file";
    EXPECT_FALSE(fs::exists("AB0102ZZ.ZNN")) << "the missing data base is not created";
}

}  // namespace
}  // namespace velm
