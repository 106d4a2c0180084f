// The editor module's own screens: title page, study prompt, module menu by
// model type, and leaving the module.
#include <gtest/gtest.h>

#include <limits>

#include "editor_study.h"
#include "platform/files.h"
#include "records/model_list.h"
#include "support/record_edits.h"

namespace velm {
namespace {

using test::EditorTest;
using test::TemporaryDirectory;

TEST_F(EditorTest, StudyPromptTakesTwoLettersWithAStringIndex)
{
    write_study(test::editor_study());
    // "1A" is asked again; "Exit" is the study "Ex", which has no string
    // index; then "exit" leaves.
    EXPECT_EQ(run_module({"", "1A", "Exit", "", "exit"}), 0u) << window_.dump();
    const std::vector<std::string>& screens = window_.reads();
    ASSERT_EQ(screens.size(), 5u);
    EXPECT_EQ(test::snapshot_text(screens[0], 11, 8, 17), "//       VELMORA:");
    EXPECT_EQ(test::snapshot_text(screens[0], 10, 9, 50), "//      COUPLED DATA BASE and NETWORK MODEL EDITOR");
    EXPECT_EQ(test::snapshot_text(screens[1], 5, 18, 42), "Enter 2-letter STUDY ID.............. ===>");
    EXPECT_EQ(test::snapshot_text(screens[1], 6, 19, 23), "(between [AA] and [ZZ])");
    EXPECT_EQ(test::snapshot_text(screens[3], 1, 21, 60),
              " * DATA FILE [ExINDXZZ.ZST                  ] DOES NOT EXIST");
    EXPECT_EQ(window_.beeps(), 1);
    EXPECT_FALSE(file_exists("ABHISTZZ.DAT")) << "leaving creates no log";
    EXPECT_FALSE(file_exists("QEVCOM2.DAT"));
}

// The model type comes from value 2 of the study's first model file: a
// value that is no number is refused naming the file and the record.
TEST_F(EditorTest, AModelTypeThatIsNoNumberIsRefused)
{
    write_study(test::editor_study());
    const std::string model_file = read_model_list_file("ABTRVLZZ.Z11").entries.at(0).model_file_name();
    test::set_record_value(model_file, 2, 1, std::numeric_limits<float>::quiet_NaN());
    try {
        run_module({"", "AB"});
        ADD_FAILURE() << "the module went on";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(model_file + ": record 2: the value nan"), std::string::npos)
            << error.what();
    }
}

TEST_F(EditorTest, ModuleMenuOffersTheOptionsOfTheModelType)
{
    struct Case {
        int model_type;
        std::string row_9;
        std::string row_15;
        std::string row_17;
    };
    const Case cases[] = {
        {6, "2= Change the time-of-concentration (Tc) of a SUBAREA",
         "6= Change the Attributes of a Link's PRIMARY ELEMENT", "7= Change the Attributes of a Link's STREET ELEMENT"},
        {3, "2= N/A", "6= Change the Attributes of a Link's PRIMARY ELEMENT",
         "7= Change the Attributes of a Link's STREET ELEMENT"},
        {10, "2= Change the Watershed Lag (hour) of a SUBAREA", "6= Change the Attributes of a Storage Element",
         "7= N/A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model_type);
        TemporaryDirectory dir;
        test::StudyBuilder study("AB", c.model_type, 1);
        study.add_node(10101.0f, 100.0f);
        study.add_node(10102.0f, 90.0f, {1.0f});
        study.add_initial_link(10101.0f, 10102.0f, 100.0f);
        study.add_subarea(10101.0f, 1.0f);
        study.write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        window_ = test::ScriptedWindow();
        // "3", "10" and an empty line are out of range; "2" or "7" where the
        // type has no such option shows the menu again.
        const bool offered = c.model_type == 6;
        std::vector<std::string> typed{"", "AB", "3", "10", ""};
        if (!offered) typed.push_back(c.model_type == 10 ? "7" : "2");
        typed.push_back("ex");
        EXPECT_EQ(run_module(typed), 0u) << window_.dump();
        const std::string& menu = window_.reads()[2];
        EXPECT_EQ(test::snapshot_text(menu, 10, 9, c.row_9.size()), c.row_9);
        EXPECT_EQ(test::snapshot_text(menu, 10, 15, c.row_15.size()), c.row_15);
        EXPECT_EQ(test::snapshot_text(menu, 10, 17, c.row_17.size()), c.row_17);
        EXPECT_EQ(test::snapshot_text(window_.reads()[3], 1, 21, 50),
                  "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
        EXPECT_EQ(window_.beeps(), 3);
        EXPECT_EQ(window_.clears(), offered ? 4 : 5) << "an option the type lacks redraws the menu";
    }
}

TEST_F(EditorTest, LeavingTheModuleAppendsAPageBreakToAnExistingLog)
{
    write_study(test::editor_study());
    TemporaryDirectory::put("ABHISTZZ.DAT", "an earlier entry\r\n");
    EXPECT_EQ(run_module({"", "AB", "TO", "EX"}), 0u);
    EXPECT_EQ(TemporaryDirectory::get("ABHISTZZ.DAT"), "an earlier entry\r\n\f\r\n");
}

TEST_F(EditorTest, ARefusedStudyDoesNotFixTheDataDirectoryOfTheNext)
{
    write_study(test::editor_study());
    // Study XY keeps its files under XYDATA and has no string index there.
    TemporaryDirectory::put("XYMPDZZ.ZZZ", "XYDATA\\XYSTUDY.TXT\r\n");
    std::filesystem::create_directory("XYDATA");
    EXPECT_EQ(run_module({"", "XY", "", "AB", "EX"}), 0u) << window_.dump();
    EXPECT_EQ(test::snapshot_text(window_.reads()[2], 1, 21, 60),
              " * DATA FILE [XYINDXZZ.ZST                  ] DOES NOT EXIST");
    EXPECT_NE(window_.reads()[4].find("Select PROGRAM Option NUMBER"), std::string::npos) << "AB is found where it is";
}

}  // namespace
}  // namespace velm
