// How a run ends for a launcher's script, read from the real process: a
// launched run that the launcher expects to answer ends with status 0
// exactly when it has written its reply "QEVCOM2.DAT", whatever stopped it
// (the input ending at a prompt, EXIT, a refusal, an error); a run that is
// expected to write no reply keeps its status; an error that the program's
// entry shows in the window ends the program with REFUSED_EXIT_STATUS.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <new>
#include <set>
#include <stdexcept>
#include <string>

#include "app/main_program.h"
#include "platform/clock.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/terminal_window.h"
#include "support/program_process.h"
#include "support/program_run.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::ProcessEnd;
using test::TemporaryDirectory;
using Snapshot = std::map<std::string, std::string>;

const std::string REPLY = "QEVCOM2.DAT";
const std::set<std::string> SUBSET_FILES = {"SANODEZZ.SST", "SASUBAZZ.SST", "SALINKZZ.SST"};

// The program itself, as the launcher starts it, in the working directory.
ProcessEnd run_velmora(const std::string& typed)
{
    return test::run_program_process(fs::current_path(), typed);
}

// What the program's entry runs, with `hooks` set first (a failure planted
// in the disk's answers), in the plain window on the child's standard
// input and output.
ProcessEnd run_entry(const std::string& typed, const std::function<void()>& hooks)
{
    return test::run_child_process(typed, [&hooks] {
        hooks();
        const FixedClock clock{DateTime{2024, 5, 6, 7, 8, 9, 10}};
        const int status = run_program([] { return make_plain_window(std::cin, std::cout); }, clock, std::cerr);
        std::cout.flush();
        return status;
    });
}

// The sample study in the working directory.
void copy_sample_study()
{
    for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample"))
        if (entry.path().filename().string().front() != '.') fs::copy_file(entry.path(), entry.path().filename());
}

// The sample after a launched analysis run, with the baseline's copies of
// its report and control file, and a tool-status file: every input of the
// toolset comparison.
void analysed_sample_with_baseline()
{
    copy_sample_study();
    test::write_command_file("SA", 1, 1, 2);
    const ProcessEnd analysis = run_velmora("");
    ASSERT_EQ(analysis.status, 0) << analysis.screen;
    ASSERT_TRUE(fs::remove(REPLY));
    fs::copy_file("SATRVLZZ.DIA", "SATRVLZ1.DIA");
    fs::copy_file("SAcontzz.zzz", "SAcontz1.zzz");
    std::string flags;
    for (int k = 1; k <= 100; ++k) flags += "0\r\n";
    TemporaryDirectory::put("SAtoolzz.set", flags);
}

// The sample as the editor takes it: with a string index, as an analysis
// run leaves it, and no toolset file.
void editable_sample()
{
    copy_sample_study();
    TemporaryDirectory::put("SAINDXZZ.ZST", "index\r\n");
}

// The study's files, without the launcher's own.
Snapshot study_files()
{
    Snapshot files = TemporaryDirectory::snapshot();
    files.erase("QEVCOM.DAT");
    files.erase(REPLY);
    return files;
}

struct LaunchCase {
    const char* name;
    std::function<void()> study;  // the study's files, the command file among them
    std::string typed;
    int status;
    bool replied;
    std::string shown;  // a text the window shows; empty: not checked
    // Whether the study is checked to be as before (but for the files
    // `may_change`): a run that does not reply has not done its work.
    bool unchanged = false;
    std::set<std::string> may_change = {};
};

class LaunchedReplyTest : public ::testing::Test {
protected:
    TemporaryDirectory directory_;
};

TEST_F(LaunchedReplyTest, ALaunchedRunEndsFinishedExactlyWhenItReplied)
{
    const auto launched = [](std::function<void()> files, int count, int option, int sub_option) {
        return [=] {
            files();
            test::write_command_file("SA", count, option, sub_option);
        };
    };
    const auto without = [](std::function<void()> files, std::string name) {
        return [=] {
            files();
            ASSERT_TRUE(fs::remove(name)) << name;
        };
    };
    // The study's file `name` replaced by a fifo.
    const auto at_fifo = [](std::function<void()> files, std::string name) {
        return [=] {
            files();
            fs::remove(name);
            ASSERT_EQ(mkfifo(name.c_str(), 0644), 0) << name;
        };
    };
    const std::string no_change = " * NO EXCEPTION REPORT WAS APPENDED; NOTHING WAS CHANGED:";
    const std::string no_baseline = "NO EXCEPTION REPORT: [SATRVLZ1.DIA] DOES NOT EXIST";
    const std::string no_tool_file = "NO EXCEPTION REPORT: [SAtoolzz.set] DOES NOT EXIST";
    const LaunchCase cases[] = {
        // The toolset subsets (option 3, sub-option 4) end with the report
        // comparison: one that cannot be made writes no reply.
        {"toolset subsets without the baseline report, RETURN typed at its message",
         launched(without(analysed_sample_with_baseline, "SATRVLZ1.DIA"), 1, 3, 4), "\n", 1, false, no_baseline, true,
         SUBSET_FILES},
        {"the same, the input ending at its message",
         launched(without(analysed_sample_with_baseline, "SATRVLZ1.DIA"), 1, 3, 4), "", 1, false, no_baseline, true,
         SUBSET_FILES},
        {"toolset subsets without the tool-status file, RETURN typed at its message",
         launched(without(analysed_sample_with_baseline, "SAtoolzz.set"), 1, 3, 4), "\n", 1, false, no_tool_file, true,
         SUBSET_FILES},
        {"the same, the input ending at its message",
         launched(without(analysed_sample_with_baseline, "SAtoolzz.set"), 1, 3, 4), "", 1, false, no_tool_file, true,
         SUBSET_FILES},
        {"toolset subsets with every file of the comparison", launched(analysed_sample_with_baseline, 1, 3, 4), "", 0,
         true, ""},
        // A comparison refused after the subsets, or after the flag of the
        // editing sub-options, says above its message what was written.
        {"toolset subsets without the baseline report: what they wrote",
         launched(without(analysed_sample_with_baseline, "SATRVLZ1.DIA"), 1, 3, 4), "\n", 1, false,
         "  *** THE SUBSET DATA BASES WERE WRITTEN", true, SUBSET_FILES},
        {"toolset subsets whose baseline report is no diagnostics report",
         launched(
             [] {
                 analysed_sample_with_baseline();
                 TemporaryDirectory::put("SATRVLZ1.DIA", "\r\nnot a report\r\n");
             },
             1, 3, 4),
         "\n", 1, false, "  *** THE SUBSET DATA BASES WERE WRITTEN", true, SUBSET_FILES},
        {"toolset subset editing (sub-option 3) without the baseline report, left with EXIT",
         launched(without(without(analysed_sample_with_baseline, "SATRVLZ1.DIA"), "SAtoolzz.set"), 1, 3, 3),
         "EXIT\n\n",
         1,
         false,
         "  *** THE TOOLSET FILE WAS WRITTEN",
         true,
         {"SAtoolzz.set"}},
        // The launched analysis replies at any count.
        {"a launched analysis run without a control file, the input ending at the settings",
         launched(without(copy_sample_study, "SAcontzz.zzz"), 0, 1, 2), "", 1, false, "", true},
        {"a launched analysis run of the sample", launched(copy_sample_study, 0, 1, 2), "", 0, true, ""},
        // The GIS update replies in toolset mode only.
        {"a toolset GIS update whose model list is refused",
         launched(without(copy_sample_study, "SATRVLZZ.Z11"), 1, 7, 0), "", 1, false, "] DOES NOT EXIST", true},
        {"the same outside toolset mode, where no reply is expected",
         launched(without(copy_sample_study, "SATRVLZZ.Z11"), 0, 7, 0), "", 0, false, "] DOES NOT EXIST", true},
        // A data base module replies at any count.
        {"a launched review, the input ending at its menu", launched(copy_sample_study, 0, 2, 0), "", 1, false, "",
         true},
        {"a launched review left with EXIT at its menu", launched(copy_sample_study, 0, 2, 0), "EXIT\n", 0, true, ""},
        // The editor makes the toolset file at its end, before its reply:
        // a run that cannot make it has not replied.
        {"a launched editor run left with EXIT at its menu", launched(editable_sample, 0, 4, 0), "EXIT\n", 0, true, ""},
        {"the same with a directory at the toolset file's name",
         launched(
             [] {
                 editable_sample();
                 fs::create_directory("SAtoolzz.set");
             },
             0, 4, 0),
         "EXIT\n\n", 1, false, "THE PROGRAM CANNOT GO ON"},
        // Option 1 in toolset mode replies at the end of its analysis run,
        // whatever its sub-option: the settings (sub-option 1) go on to the
        // control menu, whose "2" runs the analysis; ended before that, the
        // run has not replied.  The settings have set their flag in the
        // tool-status file by then.
        {"toolset settings, the input ending at the settings",
         launched(copy_sample_study, 1, 1, 1),
         "",
         1,
         false,
         "",
         true,
         {"SAtoolzz.set"}},
        {"toolset settings left with EXIT at the settings and at the control menu",
         launched(copy_sample_study, 1, 1, 1),
         "EXIT\nEXIT\n",
         1,
         false,
         "",
         true,
         {"SAtoolzz.set"}},
        {"toolset settings whose control menu runs the analysis", launched(copy_sample_study, 1, 1, 1), "EXIT\n2\n", 0,
         true, ""},
        {"toolset option 1 by the menu road (sub-option 3), left with EXIT at the control menu",
         launched(copy_sample_study, 1, 1, 3), "\n\nEXIT\n", 1, false, "", true},
        {"the settings outside toolset mode, left with EXIT, where no reply is expected",
         launched(copy_sample_study, 0, 1, 1), "EXIT\nEXIT\n", 0, false, "", true},
        // Refused at their control file, the toolset settings have not set
        // their flag: the study is as it was, as the heading says.
        {"toolset settings with a fifo at the control file",
         launched(at_fifo(copy_sample_study, "SAcontzz.zzz"), 1, 1, 1), "\n", 1, false,
         " * THE CONTROL FILE CANNOT BE READ; NOTHING WAS CHANGED:", true},
        // Something other than a file at a name the toolset comparison reads
        // (or appends to) refuses the toolset subsets before they change
        // anything: never a heading that says nothing was changed after the
        // subset data bases, or the flag of the editing sub-options, are
        // written.
        {"toolset subsets with a fifo at the baseline report",
         launched(at_fifo(analysed_sample_with_baseline, "SATRVLZ1.DIA"), 1, 3, 4), "\n", 1, false, no_change, true},
        {"toolset subsets with a fifo at the report",
         launched(at_fifo(analysed_sample_with_baseline, "SATRVLZZ.DIA"), 1, 3, 4), "\n", 1, false, no_change, true},
        {"toolset subsets with a fifo at the baseline control file",
         launched(at_fifo(analysed_sample_with_baseline, "SAcontz1.zzz"), 1, 3, 4), "\n", 1, false, no_change, true},
        {"toolset subsets with a fifo at the control file",
         launched(at_fifo(analysed_sample_with_baseline, "SAcontzz.zzz"), 1, 3, 4), "\n", 1, false, no_change, true},
        {"toolset subsets with a fifo at the tool-status file",
         launched(at_fifo(analysed_sample_with_baseline, "SAtoolzz.set"), 1, 3, 4), "\n", 1, false, no_change, true},
        {"toolset subset editing (sub-option 3) with a fifo at the baseline report",
         launched(at_fifo(analysed_sample_with_baseline, "SATRVLZ1.DIA"), 1, 3, 3), "\n", 1, false, no_change, true},
    };
    const fs::path start = fs::current_path();
    for (const LaunchCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::current_path(start);
        TemporaryDirectory directory;
        c.study();
        if (HasFatalFailure()) return;
        const Snapshot before = study_files();

        const ProcessEnd ending = run_velmora(c.typed);
        EXPECT_EQ(ending.status, c.status) << ending.screen;
        EXPECT_EQ(fs::exists(REPLY), c.replied);
        if (c.replied) {
            EXPECT_EQ(TemporaryDirectory::get(REPLY), "99\r\n");
        }
        EXPECT_FALSE(fs::exists("QEVCOM.DAT")) << "the command file serves one start";
        if (!c.shown.empty()) {
            EXPECT_NE(ending.screen.find(c.shown), std::string::npos) << ending.screen;
        }
        if (c.unchanged) {
            Snapshot after = study_files();
            for (const std::string& name : c.may_change) {
                EXPECT_TRUE(after.count(name)) << name << " not written";
                after.erase(name);
            }
            EXPECT_TRUE(after == before) << "the study changed";
            for (const auto& [name, bytes] : after)
                if (!before.count(name) || before.at(name) != bytes) ADD_FAILURE() << name << " new or changed";
        }
    }
}

// Every rename and write of the disk fails from the second rename of the
// first commit on, as in a directory turned read-only in the middle of it:
// the change can be neither finished nor undone.
void read_only_from_the_second_rename()
{
    fail_commit_calls([renames = 0, failing = false](CommitCall call, const std::string&) mutable {
        if (!failing && call == CommitCall::Rename && ++renames == 2) {
            failing = true;
            fail_writes_with(EACCES);
        }
        return failing ? EACCES : 0;
    });
}

// An error that no module catches, thrown at the first step of the first
// change (memory running out there).
void memory_out_at_the_first_change()
{
    act_at_change_step(1, [] { throw std::bad_alloc(); });
}

// The two errors that the program's entry shows end the program refused,
// whether RETURN is typed at the message or the input ends there; the run
// is an interactive analysis of the sample, which owes no launcher a reply.
TEST_F(LaunchedReplyTest, AnErrorTheProgramsEntryShowsEndsItRefused)
{
    const std::string analysis = "\n1\n\n\n2\nSA\n";
    struct Case {
        const char* name;
        std::function<void()> hooks;
        std::string typed;
        int status;
        std::string shown;  // empty: none of the two headings
    };
    const std::string unfinished = " * A CHANGE IS LEFT UNFINISHED; THE PROGRAM ENDS:";
    const std::string cannot_go_on = " * THE PROGRAM CANNOT GO ON:";
    const Case cases[] = {
        {"the run as it ends without a failure", [] {}, analysis + "\n", 0, ""},
        {"a change left unfinished, RETURN typed at its message", read_only_from_the_second_rename, analysis + "\n", 1,
         unfinished},
        {"the same, the input ending at its message", read_only_from_the_second_rename, analysis, 1, unfinished},
        {"an error no module catches, RETURN typed at its message", memory_out_at_the_first_change, analysis + "\n", 1,
         cannot_go_on},
        {"the same, the input ending at its message", memory_out_at_the_first_change, analysis, 1, cannot_go_on},
    };
    const fs::path start = fs::current_path();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::current_path(start);
        TemporaryDirectory directory;
        copy_sample_study();
        const ProcessEnd ending = run_entry(c.typed, c.hooks);
        EXPECT_EQ(ending.status, c.status) << ending.screen;
        for (const std::string& heading : {unfinished, cannot_go_on})
            EXPECT_EQ(ending.screen.find(heading) != std::string::npos, heading == c.shown) << ending.screen;
        EXPECT_FALSE(fs::exists(REPLY));
    }
}

// A launcher that pipes the program's screen and reads none of it (its end
// of the pipe closed): the run does its work all the same, replies and ends
// with 0, never ended by the broken pipe's signal.
TEST_F(LaunchedReplyTest, ARunWhoseScreenNobodyReadsStillDoesItsWork)
{
    copy_sample_study();
    test::write_command_file("SA", 1, 1, 2);
    int screen[2];
    ASSERT_EQ(pipe(screen), 0);
    close(screen[0]);
    const ProcessEnd ending = test::run_child_process("", [&screen] {
        dup2(screen[1], 1);
        close(screen[1]);
        // The signal's default, as a launcher leaves it.
        std::signal(SIGPIPE, SIG_DFL);
        const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
    close(screen[1]);
    EXPECT_EQ(ending.signal, 0);
    EXPECT_EQ(ending.status, 0) << ending.errors;
    EXPECT_EQ(TemporaryDirectory::get(REPLY), "99\r\n");
    EXPECT_TRUE(fs::exists("SATRVLZZ.DIA"));
}

}  // namespace
}  // namespace velm
