#include "app/main_program.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/study_builder.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

const std::string MAIN_MENU_TITLE = "POSTPROCESSOR PROGRAM -- Main Menu Options:";
const std::string MAIN_MENU_PROMPT = "    Enter POSTPROCESSOR Option NUMBER................... ===>";
const std::string CONTROL_MENU_TITLE = "POSTPROCESSOR CONTROL Data Options";
const std::string STUDY_PROMPT = "Specify 2-letter STUDY NAME(between [AA] to [ZZ])... ===>";
const std::string INTRODUCTION_TITLE = "This PROGRAM contains several modules:";
const std::string FIRST_SETTINGS_SCREEN = "FRICTION SLOPE ESTIMATION:";
const std::string PAUSE_PROMPT = "  Press RETURN to continue ===>";

// The control file a study gets with the default settings.
const std::string DEFAULT_CONTROL_FILE =
    "     1.00     8.00     3.00    18.00   0.0015   0.0020   0.0130     0.85     1.00\r\n"
    "  1 11 21 22 11 21 11    0\r\n";

// The main program run in a fresh working directory with a scripted window.
class MainProgramTest : public test::SessionTest {
protected:
    // A file in the place of the study's model list: its first value, then
    // one map entry.
    static void write_model_list(const std::string& study, float first_value)
    {
        RecordFile list(study + "TRVLZZ.Z11", RecordFile::Open::New);
        list.write_value(first_value);
        std::string entry = study + "0101ZZ.Z11";
        entry.resize(50, ' ');
        list.write_text(entry);
        list.close_keep();
    }
    // A study of one map that the analysis run can check: a subarea, its
    // initial link and a pipe.
    static void write_study(const std::string& study, bool with_control_file)
    {
        test::StudyBuilder builder(study, 6, 1);
        builder.add_node(10101.0f, 150.0f);
        builder.add_node(10102.0f, 140.0f, {10.0f});
        builder.add_node(10103.0f, 130.0f, {14.0f});
        builder.add_initial_link(10101.0f, 10102.0f, 500.0f);
        builder.add_link(10102.0f, 10103.0f, 600.0f, test::Element::pipe(2.0f));
        builder.add_subarea(10101.0f, 4.0f);
        if (!with_control_file) builder.omit_control_file();
        builder.write(fs::current_path());
    }
    std::string run(const std::vector<std::string>& typed)
    {
        return test::run_program_to_stop(session_, window_, typed);
    }

    // The screen and cursor at the read of typed line i.
    const std::string& screen_at(std::size_t i) const { return window_.reads().at(i); }
    std::pair<int, int> cursor_at(std::size_t i) const { return window_.read_positions().at(i); }
    bool screen_blank() const { return window_.dump().find_first_not_of('\n') == std::string::npos; }
};

// Typed lines that lead from the start to the control menu of option 1 in
// an interactive run: program library page, main menu, postprocessor page,
// introduction page.
const std::vector<std::string> TO_CONTROL_MENU = {"", "1", "", ""};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Empty answers on every settings screen under the default models: the
// settings are kept and saved.
const std::vector<std::string> ACCEPT_ALL_SETTINGS(21, "");

TEST_F(MainProgramTest, MainMenuShowsAgainForAnswersThatAreNoOption)
{
    // Each showing of the menu is preceded by the program library page.
    const std::vector<std::string> no_option = {"", "9", "8", "0", " 1", "x", "/"};
    std::vector<std::string> typed;
    for (const std::string& answer : no_option) typed = typed + std::vector<std::string>{"", answer};
    typed = typed + std::vector<std::string>{"", "e"};

    EXPECT_EQ(run(typed), "main menu: E");
    for (std::size_t i = 1; i < typed.size(); i += 2) {
        SCOPED_TRACE(i);
        EXPECT_EQ(test::snapshot_text(screen_at(i), 5, 5, MAIN_MENU_TITLE.size()), MAIN_MENU_TITLE);
        EXPECT_EQ(test::snapshot_text(screen_at(i), 1, 18, MAIN_MENU_PROMPT.size()), MAIN_MENU_PROMPT);
        EXPECT_EQ(test::snapshot_text(screen_at(i), 7, 16, 8), "10 = N/A");
        EXPECT_EQ(cursor_at(i), std::make_pair(62, 18));
        EXPECT_EQ(test::snapshot_row(screen_at(i), 22), std::string(79, '_') + " ");
        EXPECT_EQ(test::snapshot_text(screen_at(i - 1), 30, 8, 15), "Program Library")
            << "the title page comes before the menu";
    }
    EXPECT_TRUE(screen_blank());
}

TEST_F(MainProgramTest, OnlyTheFirstCharacterOfTheMenuAnswerCounts)
{
    // "10" is option 1: the postprocessor page, the introduction page and
    // the control menu follow.
    EXPECT_EQ(run({"", "10", "", "", "EXIT"}), "control menu: EXIT");
    EXPECT_EQ(test::snapshot_text(screen_at(2), 30, 8, 17), "PRE/POSTPROCESSOR");
    const std::string& introduction = screen_at(3);
    EXPECT_EQ(test::snapshot_row(introduction, 1), std::string(79, '-') + " ");
    EXPECT_EQ(test::snapshot_text(introduction, 5, 6, INTRODUCTION_TITLE.size()), INTRODUCTION_TITLE);
    EXPECT_EQ(test::snapshot_text(introduction, 6, 22, 37), "values by pressing the RETURN button.");
    EXPECT_EQ(test::snapshot_text(introduction, 33, 24, PAUSE_PROMPT.size()), PAUSE_PROMPT);
    EXPECT_EQ(test::snapshot_text(screen_at(4), 5, 5, CONTROL_MENU_TITLE.size()), CONTROL_MENU_TITLE);
    EXPECT_TRUE(screen_blank());
}

TEST_F(MainProgramTest, MenuOptionsTwoToSevenHandOverToTheirModules)
{
    // The answer, then what the module is typed until it stops.
    const std::vector<std::pair<std::vector<std::string>, std::string>> modules = {
        {{"2", "", "EXIT"}, "run_user_interface_module"},
        {{"3", "", "EXIT"}, "subset module"},
        {{"4", "", "EXIT"}, "run_network_editor_module"},
        {{"5", "", "EXIT"}, "differences module"},
        {{"6", "", "EX"}, "scenario module"},
        {{"7a", "", "EXIT"}, "GIS update"},
    };
    for (const auto& [answer, module] : modules) {
        SCOPED_TRACE(answer.front());
        window_ = test::ScriptedWindow();
        EXPECT_NE(run(std::vector<std::string>{""} + answer).find(module), std::string::npos);
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
}

TEST_F(MainProgramTest, ControlMenuTakesOneOrTwoAndOffersExitAndTop)
{
    EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"TOP", "3", "top", "exit"}), "control menu: EXIT");
    const std::string& menu = screen_at(4);
    EXPECT_EQ(test::snapshot_text(menu, 5, 5, CONTROL_MENU_TITLE.size()), CONTROL_MENU_TITLE);
    EXPECT_EQ(test::snapshot_text(menu, 1, 10, 61), "    Enter POSTPROCESSOR Option Desired.................. ===>");
    EXPECT_EQ(test::snapshot_text(menu, 5, 18, STUDY_PROMPT.size()), STUDY_PROMPT) << "no study chosen yet";
    EXPECT_EQ(cursor_at(4), std::make_pair(62, 10));
    EXPECT_EQ(cursor_at(5), std::make_pair(62, 10)) << "TOP shows the menu again";
    EXPECT_EQ(test::snapshot_text(screen_at(6), 1, 21, 50), "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
    EXPECT_TRUE(screen_blank());
}

TEST_F(MainProgramTest, StudyPromptAnswers)
{
    struct Case {
        const char* name;
        std::vector<std::string> typed;  // after the control menu's "2"
        std::string reason;
        std::vector<std::pair<int, int>> cursors;  // at each typed line after "2"
    };
    const std::vector<Case> cases = {
        {"EXIT ends", {"EXIT"}, "study prompt: EXIT", {{62, 18}}},
        {"exit ends", {"exit   "}, "study prompt: EXIT", {{62, 18}}},
        {"empty asks again", {"", "   ", "EXIT"}, "study prompt: EXIT", {{62, 18}, {62, 18}, {62, 18}}},
        {"TOP goes to the control menu", {"TOP", "EXIT"}, "control menu: EXIT", {{62, 18}, {62, 10}}},
        {"top goes to the control menu", {"top", "EXIT"}, "control menu: EXIT", {{62, 18}, {62, 10}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"2"} + c.typed), c.reason);
        for (std::size_t i = 0; i < c.cursors.size(); ++i) EXPECT_EQ(cursor_at(5 + i), c.cursors[i]) << i;
    }
}

TEST_F(MainProgramTest, MissingModelListAsksForTheStudyAgain)
{
    write_study("AB", true);
    // "Exit" is no command: it names study "Ex", which has no model list.
    EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"2", "Exit", "CD", "EXIT"}), "study prompt: EXIT");
    const std::string expected = "*****FILE ExTRVLZZ.Z11" + std::string(38, ' ') + " DOES NOT EXIST ";
    EXPECT_EQ(test::snapshot_text(screen_at(6), 1, 21, expected.size()), expected);
    EXPECT_EQ(test::snapshot_text(screen_at(6), 5, 18, STUDY_PROMPT.size()), STUDY_PROMPT) << "the prompt stays";
    EXPECT_EQ(cursor_at(6), std::make_pair(62, 18));
    EXPECT_EQ(test::snapshot_text(screen_at(7), 11, 21, 2), "CD");
    EXPECT_EQ(window_.beeps(), 2);
}

TEST_F(MainProgramTest, UnusableStudyNameIsRefusedAndAskedAgain)
{
    EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"2", "A/", "  X", "C:", "EXIT"}), "study prompt: EXIT");
    for (std::size_t i = 6; i <= 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(test::snapshot_text(screen_at(i), 1, 21, 35), "*****A STUDY NAME CANNOT BE BLANK O");
        EXPECT_EQ(test::snapshot_text(screen_at(i), 62, 18, 19), std::string(19, ' ')) << "the answer is erased";
        EXPECT_EQ(cursor_at(i), std::make_pair(62, 18));
    }
}

TEST_F(MainProgramTest, FileThatIsNoModelListGoesBackToTheControlMenuAndTheStudyPrompt)
{
    write_model_list("AB", 1.0f);
    EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"2", "AB", "", "2", "EXIT"}), "study prompt: EXIT");
    const std::string expected = " * DATA FILE [ABTRVLZZ.Z11" + std::string(18, ' ') + "] IS NOT A QUORIN Tarvel FILE";
    EXPECT_EQ(test::snapshot_text(screen_at(6), 1, 21, expected.size()), expected);
    EXPECT_EQ(test::snapshot_text(screen_at(6), 33, 24, PAUSE_PROMPT.size()), PAUSE_PROMPT);
    EXPECT_EQ(test::snapshot_text(screen_at(7), 5, 5, CONTROL_MENU_TITLE.size()), CONTROL_MENU_TITLE);
    EXPECT_EQ(test::snapshot_text(screen_at(7), 5, 18, STUDY_PROMPT.size()), STUDY_PROMPT)
        << "another study can be chosen";
    EXPECT_EQ(cursor_at(8), std::make_pair(62, 18));
}

TEST_F(MainProgramTest, EachTypedStudyLooksUpItsOwnDataDirectory)
{
    // XY's directory file names a directory where nothing is; AB has none,
    // so AB's files are in the working directory.
    directory_.put("XYMPDZZ.ZZZ", "elsewhere\\XY.TXT\r\n");
    write_study("AB", true);
    EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"2", "XY", "AB", ""}), "analysis run done");
    EXPECT_NE(test::snapshot_row(screen_at(6), 21).find("XYTRVLZZ.Z11"), std::string::npos);
}

TEST_F(MainProgramTest, InteractiveExecuteRunsTheAnalysisAndPauses)
{
    write_study("AB", true);
    EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"2", "AB", ""}), "analysis run done");
    EXPECT_EQ(test::snapshot_text(screen_at(6), 33, 24, PAUSE_PROMPT.size()), PAUSE_PROMPT);
    EXPECT_TRUE(screen_blank());
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    EXPECT_EQ(directory_.get("ABcontzz.zzz"), DEFAULT_CONTROL_FILE);
}

TEST_F(MainProgramTest, DefineShowsTheSettingsAndExitKeepsTheStudy)
{
    write_study("AB", true);
    EXPECT_EQ(run(TO_CONTROL_MENU + std::vector<std::string>{"1", "AB", "EXIT", "2", ""}), "analysis run done");
    EXPECT_EQ(test::snapshot_text(screen_at(6), 5, 1, FIRST_SETTINGS_SCREEN.size()), FIRST_SETTINGS_SCREEN);
    EXPECT_EQ(test::snapshot_text(screen_at(7), 5, 5, CONTROL_MENU_TITLE.size()), CONTROL_MENU_TITLE);
    EXPECT_EQ(test::snapshot_row(screen_at(7), 18).find("STUDY NAME"), std::string::npos);
    EXPECT_EQ(cursor_at(8), std::make_pair(33 + 31, 24)) << "no study prompt: straight to the run";
}

TEST_F(MainProgramTest, MissingControlFileForcesTheSettingsThenTheControlMenu)
{
    write_study("AB", false);
    std::vector<std::string> typed = TO_CONTROL_MENU + std::vector<std::string>{"2", "AB"};
    typed = typed + ACCEPT_ALL_SETTINGS + std::vector<std::string>{"2", ""};
    EXPECT_EQ(run(typed), "analysis run done");
    EXPECT_EQ(test::snapshot_text(screen_at(6), 5, 1, FIRST_SETTINGS_SCREEN.size()), FIRST_SETTINGS_SCREEN);
    EXPECT_EQ(test::snapshot_text(screen_at(6), 62, 19, 1), "2") << "the settings start from the defaults";
    EXPECT_EQ(directory_.get("ABcontzz.zzz"), DEFAULT_CONTROL_FILE);
    const std::size_t menu = 6 + ACCEPT_ALL_SETTINGS.size();
    EXPECT_EQ(test::snapshot_text(screen_at(menu), 5, 5, CONTROL_MENU_TITLE.size()), CONTROL_MENU_TITLE);
}

TEST_F(MainProgramTest, LaunchedModuleStartsAtOnce)
{
    struct Case {
        int option;
        std::string module;
        std::vector<std::string> typed;  // what the module itself asks
        bool replied = false;
        bool flags_set = false;
    };
    const std::vector<Case> cases = {
        {2, "run_user_interface_module", {}, false, false},
        // Sub-option 3 of the subset module: the tool-status flag, the menu
        // without option 4; after EXIT the report comparison says that the
        // study has no baseline report, until Return, and the run ends
        // unanswered.
        {3, "subset module", {"EXIT", ""}, false, true},
        {4, "run_network_editor_module", {}},
        // The differences module shows its menu; EXIT ends the run with the reply.
        {5, "differences module", {"EXIT"}, true, false},
        // Sub-option 3 of the scenario module adopts the study at once; a
        // study without a model list is reported, and the run ends unanswered.
        {6, "scenario module", {""}},
        // The GIS update takes the study at once; a study without a model
        // list is reported at the study prompt, and EXIT ends it unanswered.
        {7, "GIS update", {"EXIT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        window_ = test::ScriptedWindow();
        test::write_command_file("AB", 1, c.option, 3);
        EXPECT_NE(run(c.typed).find(c.module), std::string::npos);
        EXPECT_EQ(window_.reads().size(), c.typed.size()) << "neither title page nor main menu";
        EXPECT_FALSE(fs::exists("QEVCOM.DAT"));
        EXPECT_EQ(fs::exists("QEVCOM2.DAT"), c.replied);
        // The link review's toolset run flags its target only once the
        // study has passed its checks (this one has no string index); the
        // subset module flags its run.
        EXPECT_EQ(fs::exists("ABtoolzz.set"), c.flags_set);
        fs::remove("QEVCOM2.DAT");
        fs::remove("ABtoolzz.set");
    }
}

TEST_F(MainProgramTest, LaunchedWithoutAModuleShowsTheMenuWithoutTitlePage)
{
    test::write_command_file("AB", 1, 9, 0);
    EXPECT_NE(run({"9", "4"}).find("run_network_editor_module"), std::string::npos);
    EXPECT_EQ(test::snapshot_text(screen_at(0), 5, 5, MAIN_MENU_TITLE.size()), MAIN_MENU_TITLE);
    EXPECT_EQ(test::snapshot_text(screen_at(1), 5, 5, MAIN_MENU_TITLE.size()), MAIN_MENU_TITLE);
}

TEST_F(MainProgramTest, LaunchedDefineInToolsetModeSetsFlagFiveAndRepliesAfterTheRun)
{
    write_study("AB", true);
    test::write_command_file("AB", 1, 1, 1);
    // Settings screens at once; EXIT leads to the control menu; 2 runs.
    EXPECT_EQ(run({"EXIT", "2"}), "analysis run done");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 5, 1, FIRST_SETTINGS_SCREEN.size()), FIRST_SETTINGS_SCREEN);
    EXPECT_EQ(test::snapshot_text(screen_at(1), 5, 5, CONTROL_MENU_TITLE.size()), CONTROL_MENU_TITLE);
    EXPECT_EQ(test::snapshot_row(screen_at(1), 18).find("STUDY NAME"), std::string::npos);
    EXPECT_EQ(directory_.get("QEVCOM2.DAT"), "99\r\n");
    std::string flags;
    for (int k = 1; k <= 100; ++k) flags += std::string(11, ' ') + (k == 5 ? "1" : "0") + "\r\n";
    EXPECT_EQ(directory_.get("ABtoolzz.set"), flags);
    EXPECT_TRUE(screen_blank());
}

TEST_F(MainProgramTest, LaunchedDefineOutsideToolsetModeNeitherFlagsNorReplies)
{
    write_study("AB", true);
    test::write_command_file("AB", 2, 1, 1);
    EXPECT_EQ(run({"EXIT", "2"}), "analysis run done");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    EXPECT_FALSE(fs::exists("ABtoolzz.set"));
}

// A refusal of option 1 says what the run has written before it: the
// toolset's settings set their flag in the tool-status file only once their
// study and control file are taken, and a refusal after that names the
// tool-status file; outside toolset mode no flag is set and nothing was
// changed.
TEST_F(MainProgramTest, ARefusalOfTheLaunchedSettingsSaysWhetherTheToolsetFileWasWritten)
{
    struct Case {
        const char* name;
        int count;  // the command file's
        std::function<void()> spoil;
        std::vector<std::string> typed;  // to the refusal's RETURN
        std::string reason;
        std::string heading;
        bool flagged;
    };
    const auto read_only_control_file = [] { fs::permissions("ABcontzz.zzz", fs::perms::owner_read); };
    const auto directory_at = [](const char* name) {
        return [name] {
            fs::remove(name);
            fs::create_directory(name);
        };
    };
    const std::vector<std::string> accepted = ACCEPT_ALL_SETTINGS + std::vector<std::string>{""};
    const std::vector<Case> cases = {
        {"toolset settings that cannot save the control file", 1, read_only_control_file, accepted,
         "control file cannot be written",
         " * THE CONTROL FILE CANNOT BE WRITTEN; THE TOOLSET FILE WAS WRITTEN:", true},
        {"the same outside toolset mode", 2, read_only_control_file, accepted, "control file cannot be written",
         " * THE CONTROL FILE CANNOT BE WRITTEN; NOTHING WAS CHANGED:", false},
        {"toolset settings whose analysis run cannot write its report",
         1,
         directory_at("ABTRVLZZ.DIA"),
         {"EXIT", "2", ""},
         "analysis run: a file cannot be read or written",
         " * THE ANALYSIS RUN CANNOT BE MADE; THE TOOLSET FILE WAS WRITTEN:",
         true},
        {"the same outside toolset mode",
         2,
         directory_at("ABTRVLZZ.DIA"),
         {"EXIT", "2", ""},
         "analysis run: a file cannot be read or written",
         " * THE ANALYSIS RUN CANNOT BE MADE; NO FILE WAS CHANGED:",
         false},
        {"toolset settings with a directory at the control file",
         1,
         directory_at("ABcontzz.zzz"),
         {""},
         "control file cannot be read",
         " * THE CONTROL FILE CANNOT BE READ; NOTHING WAS CHANGED:",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        write_study("AB", true);
        c.spoil();
        test::write_command_file("AB", c.count, 1, 1);
        const test::ProgramEnd end = test::run_program_to_end(session_, window_, c.typed);
        EXPECT_EQ(end.reason, c.reason);
        EXPECT_TRUE(end.refused);
        EXPECT_EQ(test::snapshot_text(window_.reads().back(), 1, 20, c.heading.size()), c.heading)
            << window_.reads().back();
        EXPECT_EQ(fs::exists("ABtoolzz.set"), c.flagged);
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
}

// The outlet HGL controls typed during an analysis run are saved in the
// control file at once (a later stop never asks for them again): wherever
// the disk fills up after that, the refusal says that the control file was
// written, and before it, that no file was changed.  A disk with room
// enough finishes the run.
TEST_F(MainProgramTest, AnAnalysisRefusedAfterSavingTheTypedOutletControlsSaysSo)
{
    write_study("AB", true);
    // User-defined controls (the units of stored integer 1) and none stored.
    std::string control = directory_.get("ABcontzz.zzz");
    control.replace(control.find("\r\n") + 2, 3, "  2");
    const std::string no_file = " * THE ANALYSIS RUN CANNOT BE MADE; NO FILE WAS CHANGED:";
    const std::string control_file = " * THE ANALYSIS RUN CANNOT BE MADE; THE CONTROL FILE WAS WRITTEN:";
    // The disk has room again however the test ends.
    struct DiskRoom {
        ~DiskRoom() { fail_writes_with(0); }
    } room;
    bool refused_after_the_save = false;
    for (long writes = 0;; ++writes) {
        SCOPED_TRACE("the disk full after " + std::to_string(writes) + " writes");
        ASSERT_LT(writes, 1000) << "the run never ends";
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        directory_.put("ABcontzz.zzz", control);
        fail_writes_with(ENOSPC, writes);
        // The outlet's elevation, then the pause of the run's end or of its
        // refusal.
        const std::string reason = test::run_program_on_lines(
            session_, window_, TO_CONTROL_MENU + std::vector<std::string>{"2", "AB", "1000.0", "", ""});
        fail_writes_with(0);
        if (reason == "analysis run done") break;
        ASSERT_EQ(reason, "analysis run: a file cannot be read or written") << window_.dump();
        const bool saved = directory_.get("ABcontzz.zzz") != control;
        const std::string& heading = saved ? control_file : no_file;
        EXPECT_EQ(test::snapshot_text(window_.reads().back(), 1, 20, heading.size()), heading)
            << window_.reads().back();
        refused_after_the_save = refused_after_the_save || saved;
        if (HasFailure()) return;
    }
    EXPECT_TRUE(refused_after_the_save) << "no full disk came after the controls were saved";
    EXPECT_NE(window_.transcript().find("Enter the HGL Control Elevation for NODE"), std::string::npos);
}

TEST_F(MainProgramTest, LaunchedExecuteRunsAtOnceAndAlwaysReplies)
{
    for (int count : {0, 1, 4}) {
        SCOPED_TRACE(count);
        window_ = test::ScriptedWindow();
        fs::remove("QEVCOM2.DAT");
        write_study("AB", true);
        test::write_command_file("AB", count, 1, 2);
        EXPECT_EQ(run({}), "analysis run done");
        EXPECT_EQ(directory_.get("QEVCOM2.DAT"), "99\r\n");
        EXPECT_FALSE(fs::exists("ABtoolzz.set"));
    }
}

TEST_F(MainProgramTest, LaunchedExecuteWithoutControlFileShowsTheSettingsFirst)
{
    write_study("AB", false);
    test::write_command_file("AB", 1, 1, 2);
    EXPECT_EQ(run(ACCEPT_ALL_SETTINGS + std::vector<std::string>{"2"}), "analysis run done");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 5, 1, FIRST_SETTINGS_SCREEN.size()), FIRST_SETTINGS_SCREEN);
    EXPECT_EQ(test::snapshot_text(screen_at(0), 62, 19, 1), "2") << "the settings start from the defaults";
    EXPECT_EQ(directory_.get("ABcontzz.zzz"), DEFAULT_CONTROL_FILE);
    EXPECT_EQ(directory_.get("QEVCOM2.DAT"), "99\r\n");
}

TEST_F(MainProgramTest, LaunchedRefusalEndsTheRunWithoutReply)
{
    struct Case {
        const char* name;
        bool list_exists;
        std::vector<std::string> typed;
    };
    const std::vector<Case> cases = {
        {"missing model list", false, {}},
        {"file that is no model list", true, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        fs::remove("ABTRVLZZ.Z11");
        if (c.list_exists) write_model_list("AB", 0.0f);
        test::write_command_file("AB", 1, 1, 2);
        EXPECT_EQ(run(c.typed), "model list check refused the launched study");
        EXPECT_NE(window_.row(21).find("ABTRVLZZ.Z11"), std::string::npos);
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
}

TEST_F(MainProgramTest, LaunchedOptionOneWithOtherSubOptionIsTheMenuRoad)
{
    write_study("AB", true);
    test::write_command_file("AB", 1, 1, 3);
    // Postprocessor page and introduction, then the control menu without a
    // study prompt; the run replies in toolset mode.
    EXPECT_EQ(run({"", "", "2"}), "analysis run done");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 30, 8, 17), "PRE/POSTPROCESSOR");
    EXPECT_EQ(test::snapshot_text(screen_at(1), 5, 6, INTRODUCTION_TITLE.size()), INTRODUCTION_TITLE);
    EXPECT_EQ(test::snapshot_row(screen_at(2), 18).find("STUDY NAME"), std::string::npos);
    EXPECT_EQ(directory_.get("QEVCOM2.DAT"), "99\r\n");
}

TEST_F(MainProgramTest, CommandFileThatLeavesTheRunInteractiveTakesOptionOneFromTheTop)
{
    // Count -1 + 1 = 0: not launched, so no launcher study and no launcher
    // roads into option 1.
    write_study("AB", true);
    test::write_command_file("AB", -1, 1, 2);
    EXPECT_EQ(run({"", "", "2", "AB", ""}), "analysis run done");
    EXPECT_EQ(test::snapshot_text(screen_at(2), 5, 18, STUDY_PROMPT.size()), STUDY_PROMPT);
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

TEST_F(MainProgramTest, BadCommandFileStopsBeforeAnythingElse)
{
    directory_.put("QEVCOM.DAT", "AB\r\n1\r\nfour\r\n1\r\n");
    EXPECT_NE(run({""}).find("LINE 3"), std::string::npos);
    EXPECT_EQ(window_.reads().size(), 1u) << "only the message's pause";
    EXPECT_FALSE(fs::exists("QEVCOM.DAT"));
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

}  // namespace
}  // namespace velm
