#include "review/user_interface_module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/stop.h"
#include "records/model_list.h"
#include "review/review_study.h"
#include "review/review_test_fixture.h"
#include "support/change_steps.h"
#include "support/program_run.h"
#include "support/record_edits.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

using test::operator+;

// Typed lines of one change of each kind, each review started from the
// module's menu of a run whose study is already known.
const std::vector<std::string> OVERRIDE_CAPACITY = {"1", "10102", "10103", "2", "75", "E"};
const std::vector<std::string> ADOPT_BOX = {"2", "10102", "10103", "", "2", "1", "2", "3", "5", "0.015", "E", ""};
const std::vector<std::string> CHANGE_FRICTION_SLOPE = {"3", "10102", "10103", "2", "0.006", "E"};
const std::vector<std::string> EXCLUDE_FROM_COST_OPINION = {"4", "10103", "10201", "2", "E", ""};
const std::vector<std::string> DESIGNATE_CHANNEL = {"5", "10103", "10201", "2", "3", "0.025", "1", "12", "2", "1", "E"};
const std::vector<std::string> RAISE_PEAK_FLOW = {"6", "10103", "16", "", "E"};

// The study as those six changes leave it.
void apply_expected_changes(test::StudyBuilder& study)
{
    test::adopt_user_element(study, 10102.0f, 10103.0f, {1.0f, 2, 3.0f, 5.0f, 0.0f, 0.015f});
    LinkRecord& pipe = study.link(10102.0f, 10103.0f);
    pipe.user_capacity() = 75.0f;
    pipe.user_friction_slope() = 0.006f;
    LinkRecord& seam = study.link(10103.0f, 10201.0f);
    seam.cost_opinion_status() = 0.0f;
    seam.designated_element_type() = 3.0f;
    seam.designated_friction_hundredths() = 0.025f * 100.0f;
    seam.designated_sizing_dimension() = 1.0f;
    seam.designated_dimension_value() = 12.0f;
    seam.designated_side_slope() = 2.0f;
    seam.designated_freeboard() = 1.0f;
    // String 1 also holds the excluded box of the seam link.
    const_cast<std::vector<TelescopedStringRecord>&>(study.strings()[0])[2].telescoped_shape = -2.0f;
    NodeRecord& node = study.node(10103.0f);
    node.column(262) = 14.0f;
    node.column(263) = 20.0f;
    node.column(268) = 14.0f;
    node.column(269) = 20.0f;
    node.column(274) = 16.0f;
    node.column(275) = 20.0f;
}

test::StudyBuilder study_with_peak_flows()
{
    test::StudyBuilder study = test::review_study();
    study.node(10103.0f).column(226) = 14.0f;
    study.node(10103.0f).column(227) = 20.0f;
    return study;
}

class UserInterfaceModuleTest : public test::SessionTest {
protected:
    std::string run_module(LauncherCall call, const std::vector<std::string>& typed)
    {
        return test::run_to_stop(window_, typed, [&] { run_user_interface_module(session_, call); });
    }
    const std::string& screen_at(std::size_t i) const { return window_.reads().at(i); }
};

TEST_F(UserInterfaceModuleTest, NewUserMakesOneChangeOfEachKindFromTheMainMenu)
{
    test::StudyBuilder study = study_with_peak_flows();
    study.write(fs::current_path());

    // Program library page, main menu option 2, the module's title page.
    const std::vector<std::string> typed =
        std::vector<std::string>{"", "2", ""} + std::vector<std::string>{"1", "AB"} +
        std::vector<std::string>(OVERRIDE_CAPACITY.begin() + 1, OVERRIDE_CAPACITY.end()) + ADOPT_BOX +
        CHANGE_FRICTION_SLOPE + EXCLUDE_FROM_COST_OPINION + DESIGNATE_CHANNEL + RAISE_PEAK_FLOW +
        std::vector<std::string>{"EXIT"};
    EXPECT_EQ(test::run_program_to_stop(session_, window_, typed), "run_user_interface_module: EXIT");

    apply_expected_changes(study);
    test::expect_study_files(study);
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));

    // The study is asked once: the menu of the second review has no question.
    EXPECT_EQ(test::snapshot_text(screen_at(4), 5, 18, 23), "Enter 2-letter STUDY ID");
    const std::size_t second_menu = 3 + 2 + OVERRIDE_CAPACITY.size() - 1;
    EXPECT_EQ(test::snapshot_text(screen_at(second_menu), 6, 16, 20), "Enter OPTION desired");
    EXPECT_EQ(test::snapshot_row(screen_at(second_menu), 18), std::string(80, ' '));
}

TEST_F(UserInterfaceModuleTest, LaunchedRunsMakeTheSameChangesAndReply)
{
    test::StudyBuilder study = study_with_peak_flows();
    study.write(fs::current_path());
    const std::vector<std::vector<std::string>> reviews = {OVERRIDE_CAPACITY,     ADOPT_BOX,
                                                           CHANGE_FRICTION_SLOPE, EXCLUDE_FROM_COST_OPINION,
                                                           DESIGNATE_CHANNEL,     RAISE_PEAK_FLOW};
    for (const std::vector<std::string>& review : reviews) {
        SCOPED_TRACE(review.front());
        window_ = test::ScriptedWindow();
        // The launcher's count 1 is the toolset mode: the run count is 2.
        test::write_command_file("AB", 1, 2, std::stoi(review.front()));
        EXPECT_EQ(test::run_program_to_stop(session_, window_, {review.begin() + 1, review.end()}),
                  "run_user_interface_module: done");
        EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
        fs::remove("QEVCOM2.DAT");
    }
    // Flags 12, 15, 11, 41 and 14 of the tool-status file are set.
    const std::string flags = test::TemporaryDirectory::get("ABtoolzz.set");
    fs::remove("ABtoolzz.set");
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < flags.size();) {
        const std::size_t end = flags.find("\r\n", start);
        lines.push_back(flags.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 100u);
    for (int button = 1; button <= 100; ++button) {
        const bool set = button == 11 || button == 12 || button == 14 || button == 15 || button == 41;
        EXPECT_EQ(std::stoi(lines[button - 1]), set ? 1 : 0) << "flag " << button;
    }

    apply_expected_changes(study);
    test::expect_study_files(study);
}

// The model type comes from value 2 of the study's first model file: a
// value that is no number is refused naming the file and the record.
TEST_F(UserInterfaceModuleTest, AModelTypeThatIsNoNumberIsRefused)
{
    study_with_peak_flows().write(fs::current_path());
    const std::string model_file = read_model_list_file("ABTRVLZZ.Z11").entries.at(0).model_file_name();
    test::set_record_value(model_file, 2, 1, std::numeric_limits<float>::infinity());
    LauncherCall call;
    call.run_count = 1;
    call.sub_option = 1;
    call.line = launcher_line("AB");
    try {
        run_module(call, {});
        ADD_FAILURE() << "the module went on";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(model_file + ": record 2: the value inf"), std::string::npos)
            << error.what();
    }
}

TEST_F(UserInterfaceModuleTest, MenuAnswers)
{
    test::review_study().write(fs::current_path());
    // Answers that pick nothing are refused at the same field; TO shows the
    // menu again; 1 followed by a blank and text picks target 1.
    EXPECT_EQ(run_module({}, {"", "", "12", "1abc", "7", "Ex", "to", "1 more", "AB", "EXIT", "ex"}),
              "run_user_interface_module: EXIT");
    for (std::size_t i = 2; i <= 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(test::snapshot_text(screen_at(i), 1, 21, 50), "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
        EXPECT_EQ(test::snapshot_text(screen_at(i), 62, 16, 11), std::string(11, ' '));
        EXPECT_EQ(window_.read_positions().at(i), std::make_pair(62, 16));
    }
    EXPECT_EQ(window_.beeps(), 5);
    EXPECT_EQ(test::snapshot_text(screen_at(9), 5, 2, 12), "* REVIEW/ADO") << "target 1's link prompt";
    EXPECT_EQ(test::snapshot_text(screen_at(9), 16, 23, 12), "to Main Menu");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

TEST_F(UserInterfaceModuleTest, StudyAnswers)
{
    test::review_study().write(fs::current_path());
    // A digit is refused; lower-case letters are used as typed; a study
    // without a string index is refused and asked again.
    EXPECT_EQ(run_module({}, {"", "3", "1X", "", "CD", "ab", "EXIT", "TOP", "EXIT"}),
              "run_user_interface_module: EXIT");
    EXPECT_EQ(test::snapshot_text(screen_at(3), 47, 18, 5), "     ") << "the digit answer is blanked";
    EXPECT_EQ(test::snapshot_text(screen_at(5), 1, 21, 45), " * DATA FILE [CDINDXZZ.ZST                  ]");
    EXPECT_EQ(test::snapshot_text(screen_at(6), 5, 2, 20), "* REVIEW/ADOPT LINK ");
}

// The node peak-flow editor needs the study's model list (its hydrology
// model type names the node data bases): a study without one is refused at
// the study question like a review's study without a string index, and the
// run goes on.
TEST_F(UserInterfaceModuleTest, NodePeakFlowStudyWithoutModelListIsAskedAgain)
{
    test::review_study().write(fs::current_path());
    EXPECT_EQ(run_module({}, {"", "6", "CD", "AB", "EXIT", "EXIT"}), "run_user_interface_module: EXIT");
    EXPECT_EQ(test::snapshot_text(screen_at(3), 1, 21, 45), " * DATA FILE [CDTRVLZZ.Z11                  ]");
    EXPECT_EQ(window_.read_positions().at(3), std::make_pair(47, 18));
    EXPECT_EQ(test::snapshot_text(screen_at(4), 5, 2, 17), "Enter NODE NUMBER");
}

// A launched run whose study the module's checks refuse stops without a
// reply and changes nothing: in toolset mode the review target's
// tool-status flag is set only once the study has passed them, so that the
// refused run leaves the tool-status file as it was (missing, or with its
// flags).
TEST_F(UserInterfaceModuleTest, LaunchedRunRefusedByTheStudysChecksStopsWithoutReplyAndChangesNothing)
{
    std::string flags;
    for (int k = 1; k <= 100; ++k) flags += k == 5 ? "1\r\n" : "0\r\n";
    const std::string no_string_index = "run_user_interface_module: the study has no string index file";
    const std::string no_model_type = ": record 2: the value inf";
    const struct {
        const char* what;
        int sub_option;
        bool tool_status_file;  // one stands, with a flag set
        // Without its string index; otherwise with a model type that is no
        // number in its first model file.
        bool without_string_index;
        std::string refusal;  // the stop's reason, or a text of the FileError
    } cases[] = {
        {"no string index", 3, false, true, no_string_index},
        {"no string index, a tool-status file standing", 1, true, true, no_string_index},
        {"a model type that is no number", 2, false, false, no_model_type},
        {"a model type that is no number, a tool-status file standing", 5, true, false, no_model_type},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        test::StudyBuilder study = test::review_study();
        if (c.without_string_index) study.omit_file("ABINDXZZ.ZST");
        study.write(fs::current_path());
        if (!c.without_string_index) {
            const std::string model_file = read_model_list_file("ABTRVLZZ.Z11").entries.at(0).model_file_name();
            test::set_record_value(model_file, 2, 1, std::numeric_limits<float>::infinity());
        }
        if (c.tool_status_file) test::TemporaryDirectory::put("ABtoolzz.set", flags);
        const std::map<std::string, std::string> before = test::study_files();
        LauncherCall call{2, c.sub_option, launcher_line("AB")};
        try {
            EXPECT_EQ(run_module(call, {}), c.refusal);
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.refusal), std::string::npos) << error.what();
        }
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
        EXPECT_TRUE(test::study_files() == before) << "the refused run changed the study";
    }
}

// A launched review whose change is refused at its end (a string file the
// refresh needs is gone) did none of its work: no reply, and the run ends
// refused.  The same review with the string file there replies.
TEST_F(UserInterfaceModuleTest, LaunchedReviewWhoseChangeIsRefusedEndsWithoutReply)
{
    for (const bool string_file_missing : {false, true}) {
        SCOPED_TRACE(string_file_missing ? "string file missing" : "string file there");
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        test::review_study().write(fs::current_path());
        if (string_file_missing) fs::remove("AB0001ZZ.ZST");
        const std::map<std::string, std::string> before = test::study_files();
        LauncherCall call{2, 4, launcher_line("AB")};
        const test::ProgramEnd end = test::run_to_end(window_, {"10103", "10201", "2", "E", ""},
                                                      [&] { run_user_interface_module(session_, call); });
        EXPECT_EQ(end.refused, string_file_missing) << end.reason;
        EXPECT_EQ(fs::exists("QEVCOM2.DAT"), !string_file_missing);
        if (string_file_missing) {
            EXPECT_TRUE(window_.has_shown("AB0001ZZ.ZST")) << window_.dump();
            // Only the tool-status flag, set once the study passed the
            // module's checks.
            std::map<std::string, std::string> after = test::study_files();
            after.erase("ABtoolzz.set");
            EXPECT_TRUE(after == before) << "a file of the refused change was written";
        }
    }
}

TEST_F(UserInterfaceModuleTest, LaunchedRunOutsideToolsetModeRepliesWithoutFlag)
{
    test::review_study().write(fs::current_path());
    LauncherCall call{1, 4, launcher_line("AB")};
    EXPECT_EQ(run_module(call, {"EXIT"}), "run_user_interface_module: done");
    EXPECT_FALSE(fs::exists("ABtoolzz.set"));
    EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
}

TEST_F(UserInterfaceModuleTest, LaunchedRunWithoutSubOptionAsksTheTargetOnly)
{
    test::review_study().write(fs::current_path());
    LauncherCall call{2, 0, launcher_line("AB")};
    EXPECT_EQ(run_module(call, {"3", "EXIT"}), "run_user_interface_module: done");
    EXPECT_EQ(test::snapshot_row(screen_at(0), 18), std::string(80, ' ')) << "no study question";
    EXPECT_EQ(test::snapshot_text(screen_at(1), 5, 2, 54), "* REVIEW/ADOPT LINK Element Friction Slope Estimates *");
    EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
}

// A sub-option that names no option is refused as a typed answer would be,
// and the option is asked; a launcher study that is not two letters ends
// the run, without a reply.
TEST_F(UserInterfaceModuleTest, LaunchedRunsWithUnusableSubOptionOrStudy)
{
    test::review_study().write(fs::current_path());
    EXPECT_EQ(run_module(LauncherCall{1, 9, launcher_line("AB")}, {"EX"}), "run_user_interface_module: EXIT");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 1, 21, 50), "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
    EXPECT_EQ(test::snapshot_text(screen_at(0), 6, 16, 20), "Enter OPTION desired");
    EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
    fs::remove("QEVCOM2.DAT");

    EXPECT_EQ(run_module(LauncherCall{1, 2, launcher_line("1B")}, {}),
              "run_user_interface_module: the launcher names no study");
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
}

}  // namespace
}  // namespace velm
