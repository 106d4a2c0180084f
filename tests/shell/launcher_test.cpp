#include "shell/launcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/stop.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

// Each test runs in a fresh working directory, where the launcher files live.
class LauncherTest : public test::SessionTest {};

// The lines of a tool-status file as written: a blank, then the flag
// right-aligned in 11 columns, CR LF.
std::string toolset_bytes(const std::vector<int>& flags)
{
    std::string bytes;
    for (int flag : flags) {
        std::string value = std::to_string(flag);
        bytes += std::string(12 - value.size(), ' ') + value + "\r\n";
    }
    return bytes;
}

std::vector<int> flags_with(std::vector<std::pair<int, int>> set)
{
    std::vector<int> flags(TOOL_FLAG_COUNT, 0);
    for (auto [k, v] : set) flags[static_cast<std::size_t>(k - 1)] = v;
    return flags;
}

TEST_F(LauncherTest, NoCommandFileIsAnInteractiveRun)
{
    const LauncherCommand command = read_launcher_command(window_);
    EXPECT_EQ(command.option, 0);
    EXPECT_EQ(command.call.run_count, 0);
    EXPECT_EQ(command.call.sub_option, 0);
    EXPECT_FALSE(command.call.launched());
    EXPECT_EQ(command.call.line, std::string(50, ' '));
    EXPECT_EQ(window_.reads().size(), 0u);
}

TEST_F(LauncherTest, CommandFileGivesStudyCountOptionAndSubOption)
{
    struct Case {
        const char* name;
        std::string contents;
        int option;
        int run_count;
        int sub_option;
        std::string study;
    };
    const std::vector<Case> cases = {
        {"all eleven lines", "AB\r\n1\r\n1.9\r\n2.0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n", 1, 2, 2, "AB"},
        {"only the four needed lines", "CD\n0\n4\n0\n", 4, 1, 0, "CD"},
        {"rest of each line ignored", "EFGH more\n1 9\n3.0 x\n4, 5\n", 3, 2, 4, "EF"},
        {"unused lines may be anything", "GH\n1\n7\n0\nnot a number\n\n", 7, 2, 0, "GH"},
        {"count -1 leaves the run interactive", "\n-1\n2\n0\n", 2, 0, 0, "  "},
        {"one-character study", "Z\n2\n5\n0\n", 5, 3, 0, "Z "},
        {"negative option truncates toward zero", "AB\n1\n-0.5\n-1.7\n", 0, 2, -1, "AB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        directory_.put("QEVCOM.DAT", c.contents);
        const LauncherCommand command = read_launcher_command(window_);
        EXPECT_EQ(command.option, c.option);
        EXPECT_EQ(command.call.run_count, c.run_count);
        EXPECT_EQ(command.call.sub_option, c.sub_option);
        EXPECT_EQ(command.call.study_id(), c.study);
        EXPECT_EQ(command.call.line.size(), 50u);
        EXPECT_EQ(command.call.line.substr(2), std::string(48, ' '));
        EXPECT_FALSE(fs::exists("QEVCOM.DAT")) << "the command file serves one start only";
    }
}

TEST_F(LauncherTest, UnusableCommandFileStopsWithMessageAndNoReply)
{
    struct Case {
        const char* name;
        std::string contents;
        std::string message;
    };
    const std::string unreadable = "* LAUNCHER FILE [QEVCOM.DAT] CANNOT BE READ AT LINE ";
    const std::string no_study = "* LAUNCHER FILE [QEVCOM.DAT] NAMES NO USABLE STUDY:";
    const std::vector<Case> cases = {
        {"empty file", "", unreadable + "1"},
        {"no line 2", "AB\n", unreadable + "2"},
        {"count not a number", "AB\nx\n1\n1\n", unreadable + "2"},
        {"count not whole", "AB\n1.5\n1\n1\n", unreadable + "2"},
        {"blank count line", "AB\n\n1\n1\n", unreadable + "2"},
        {"option not a number", "AB\n1\nabc\n1\n", unreadable + "3"},
        {"sub-option missing", "AB\n1\n1\n", unreadable + "4"},
        {"sub-option beyond the integers", "AB\n1\n1\n1e20\n", unreadable + "4"},
        {"blank study, launched", "\n1\n1\n1\n", no_study},
        {"study with a slash", "A/\n0\n4\n0\n", no_study},
        {"study with a backslash", "\\A\n1\n2\n0\n", no_study},
        {"study with a drive colon", "C:\n1\n1\n2\n", no_study},
        {"study with a control character", "A\t\n1\n1\n2\n", no_study},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        directory_.put("QEVCOM.DAT", c.contents);
        window_.type("");
        EXPECT_THROW(read_launcher_command(window_), ProgramStop);
        EXPECT_EQ(window_.lines_left(), 0u) << "the message waits for RETURN";
        EXPECT_EQ(window_.text_at(5, 5, static_cast<int>(c.message.size())), c.message);
        EXPECT_FALSE(fs::exists("QEVCOM.DAT"));
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
}

TEST_F(LauncherTest, ReplyIsWrittenOnlyAtTheEndOfAToolsetRun)
{
    struct Case {
        int option;
        int count;
        bool replies;
    };
    // Modules call (their count, 2, 0, study): they reply whenever launched.
    // The main program and the GIS update call (1, count, ...): only count 2.
    const std::vector<Case> cases = {
        {1, 2, true}, {1, 1, false}, {1, 3, false}, {1, 0, false}, {3, 2, true}, {0, 2, false}, {2, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "option " << c.option << " count " << c.count);
        fs::remove("QEVCOM2.DAT");
        exchange_launcher_files(c.option, c.count, 0, "AB");
        EXPECT_EQ(fs::exists("QEVCOM2.DAT"), c.replies);
        if (c.replies) {
            EXPECT_EQ(directory_.get("QEVCOM2.DAT"), "99\r\n");
        }
    }
}

TEST_F(LauncherTest, ReplyReplacesAnEarlierReply)
{
    directory_.put("QEVCOM2.DAT", "old reply that was much longer\r\nand had two lines\r\n");
    exchange_launcher_files(1, 2, 1, "AB");
    EXPECT_EQ(directory_.get("QEVCOM2.DAT"), "99\r\n");
}

TEST_F(LauncherTest, StudyIdentifiersThatCannotNameAFile)
{
    for (const char* good : {"AB", "zz", "A ", "12", "a-"}) EXPECT_TRUE(is_usable_study_id(good)) << good;
    for (const char* bad : {"  ", "", "A/", "\\B", "C:", "A\t",
                            "\x7f"
                            "A"}) {
        EXPECT_FALSE(is_usable_study_id(bad)) << bad;
    }
}

TEST_F(LauncherTest, FlagSettersCompleteMissingOrShortFiles)
{
    struct Case {
        const char* name;
        bool until_eof;
        const char* existing;  // nullptr: no file
        std::vector<std::pair<int, int>> expected;
    };
    const std::string forty = [] {
        std::string lines;
        for (int k = 1; k <= 40; ++k) lines += (k == 7 ? " 1" : " 0") + std::string("\r\n");
        return lines;
    }();
    const std::vector<Case> cases = {
        {"missing file", false, nullptr, {{5, 1}}},
        {"missing file, until end", true, nullptr, {{52, 1}}},
        {"forty lines", false, forty.c_str(), {{7, 1}, {5, 1}}},
        {"forty lines, until end", true, forty.c_str(), {{7, 1}, {52, 1}}},
        {"unreadable line ends the flags read", false, "1\nx\n1\n", {{1, 1}, {5, 1}}},
        {"first value of a line counts", false, "0 1\n2,3\n", {{2, 2}, {5, 1}}},
        {"end-of-file mark", true, "1\n\x1a\n1\n", {{1, 1}, {52, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove("ABtoolzz.set");
        if (c.existing) directory_.put("ABtoolzz.set", c.existing);
        const int button = c.until_eof ? SubsetButton : PostprocessorRunButton;
        if (c.until_eof) {
            set_toolset_entry_flag_until_eof(session_, "AB", button);
        } else {
            set_toolset_entry_flag(session_, "AB", button);
        }
        EXPECT_EQ(directory_.get("ABtoolzz.set"), toolset_bytes(flags_with(c.expected)));
    }
}

TEST_F(LauncherTest, SettingAFlagTwiceKeepsTheOtherFlags)
{
    const std::vector<int> before = flags_with({{1, 1}, {11, 1}, {100, 3}});
    directory_.put("CDtoolzz.set", toolset_bytes(before));
    set_toolset_entry_flag(session_, "CD", PostprocessorRunButton);
    set_toolset_entry_flag(session_, "CD", PostprocessorRunButton);
    EXPECT_EQ(directory_.get("CDtoolzz.set"), toolset_bytes(flags_with({{1, 1}, {5, 1}, {11, 1}, {100, 3}})));
    EXPECT_EQ(read_toolset_flags(session_, "CD"), flags_with({{1, 1}, {5, 1}, {11, 1}, {100, 3}}));
}

TEST_F(LauncherTest, ToolsetFileLivesInTheStudyDataDirectory)
{
    fs::create_directory("plans");
    directory_.put("EFMPDZZ.ZZZ", "plans\\EFSTUDY.TXT\r\n");
    set_toolset_entry_flag(session_, "EF", CapacityReviewButton);
    EXPECT_FALSE(fs::exists("EFtoolzz.set"));
    EXPECT_EQ(directory_.get("plans/EFtoolzz.set"), toolset_bytes(flags_with({{12, 1}})));
}

TEST_F(LauncherTest, ToolsetFileIsCreatedWithZerosOnlyWhenMissing)
{
    create_toolset_file_when_missing(session_, "GH");
    EXPECT_EQ(directory_.get("GHtoolzz.set"), toolset_bytes(std::vector<int>(TOOL_FLAG_COUNT, 0)));

    directory_.put("GHtoolzz.set", "1\n");
    create_toolset_file_when_missing(session_, "GH");
    EXPECT_EQ(directory_.get("GHtoolzz.set"), "1\n");
}

}  // namespace
}  // namespace velm
