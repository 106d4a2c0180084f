// Every management module refuses, in its window, a change it cannot make:
// the toolset comparison with a read-only report, and the adoption, the
// history split and the differences on a full disk.  The window names the
// study's file the change was writing with the system's reason (never a
// hidden new version), nothing goes to the error stream, a launched run
// writes no reply, and the study is left byte for byte as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "management/historian_split.h"
#include "management/subset_field_map.h"
#include "module_run.h"
#include "platform/files.h"
#include "shell/dialogue.h"
#include "support/program_run.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Lines = std::vector<std::string>;
using Snapshot = std::map<std::string, std::string>;

const std::string RULE = "  ***" + std::string(70, '=') + "***";

std::string visit(const std::string& date)
{
    return RULE + "\r\n     Date : " + date + std::string(41, ' ') + "Time : 09:05\r\n  an entry\r\n\f\r\n";
}

// The hidden names a change writes beside a study file.
bool names_a_hidden_file(const std::string& text)
{
    for (const char* suffix : {".velm-run", ".velm-old", ".velm-new", ".SECTION"})
        if (text.find(suffix) != std::string::npos) return true;
    return false;
}

class ModuleRefusalTest : public test::ModuleTest {
protected:
    void TearDown() override { fail_writes_with(0); }

    // Study "AB" adopted as its baseline, with its subset specification,
    // a history log of two visits since, and a scenario link changed.  With
    // `reports`, an analysis run's report and control file stand beside
    // their baseline copies and a tool-status file, as the comparison needs.
    void write_study(bool reports)
    {
        test::two_map_management_study(2).write(fs::current_path());
        SubsetFieldMap defaults;
        set_subset_field_map_defaults(defaults);
        write_subset_specification("ABTRVLZZ.SST", defaults);
        test::write_command_file("AB", 0, 6, 3);
        ASSERT_EQ(test::run_program_to_stop(session_, window_, {}), "scenario module: done");
        TemporaryDirectory::put("ABHISTZZ.DAT", visit("07/03/2024") + visit("08/01/2024"));
        if (reports) {
            test::write_command_file("AB", 0, 1, 2);
            ASSERT_EQ(test::run_program_to_stop(session_, window_, {}), "analysis run done");
            // The subsets a toolset run prepares before its comparison,
            // prepared once already: a second preparation changes nothing.
            test::write_command_file("AB", 0, 3, 4);
            ASSERT_EQ(test::run_program_to_stop(session_, window_, {}), "subset module: done");
            fs::copy_file("ABTRVLZZ.DIA", "ABTRVLZ1.DIA");
            fs::copy_file("ABcontzz.zzz", "ABcontz1.zzz");
            std::string flags;
            for (int k = 1; k <= 100; ++k) flags += "0\r\n";
            TemporaryDirectory::put("ABtoolzz.set", flags);
        }
        fs::remove("QEVCOM2.DAT");
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
    }

    // The program launched for the main-menu option and sub-option (count 1:
    // the toolset mode) with the typed lines, to its stop.
    test::ProgramEnd launch(int option, int sub_option, const Lines& typed)
    {
        test::write_command_file("AB", 1, option, sub_option);
        return test::run_program_to_end(session_, window_, typed);
    }
};

TEST_F(ModuleRefusalTest, AChangeThatCannotBeWrittenIsRefusedInTheWindowNamingTheStudyFile)
{
    struct Case {
        const char* name;
        bool reports;                 // the comparison's reports are needed
        std::function<void()> spoil;  // after the study is written
        std::function<test::ProgramEnd()> run;
        std::string reason;
        std::string shown;  // the file and the reason, as the window shows them
    };
    const auto full_disk = [] { fail_writes_with(ENOSPC); };
    const std::vector<Case> cases = {
        {"the toolset comparison with a read-only scenario report", true, [] { chmod("ABTRVLZZ.DIA", 0444); },
         [this] { return launch(3, 4, {""}); }, "subset module: the exception report was refused",
         "'ABTRVLZZ.DIA': Permission denied"},
        {"an adoption on a full disk", false, full_disk, [this] { return launch(6, 4, {""}); },
         "scenario module: a file cannot be read or written", "'ABNODEZZ.BAS': No space left on device"},
        {"the history split on a full disk", false, full_disk,
         [this] {
             LauncherCall call;
             return run_to_end([](Session& session, LauncherCall&) { split_historian_file(session, 2, "AB"); }, call,
                               {""});
         },
         "history log split: a file cannot be written", "'ABHISTZZ.001': No space left on device"},
        {"the differences files on a full disk", false, full_disk,
         [this] {
             return launch(5, 0, {"1", "1", ""});
         },
         "differences module: the pass was refused", "'ABNODEZZ.DIF': No space left on device"},
        {"the differences report on a full disk", false, full_disk,
         [this] {
             return launch(5, 0, {"1", "3", ""});
         },
         "differences module: the pass was refused", "'ABTRVLZZ.DIF': No space left on device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        write_study(c.reports);
        if (HasFatalFailure()) return;
        Snapshot before = TemporaryDirectory::snapshot();
        c.spoil();

        testing::internal::CaptureStderr();
        const test::ProgramEnd end = c.run();
        const std::string error_stream = testing::internal::GetCapturedStderr();
        fail_writes_with(0);

        EXPECT_EQ(end.reason, c.reason);
        EXPECT_TRUE(end.refused) << "the program ends refused";
        EXPECT_EQ(error_stream, "");
        ASSERT_FALSE(window_.reads().empty());
        const std::string& refusal = window_.reads().back();
        EXPECT_NE(refusal.find("NOTHING WAS CHANGED"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find(c.shown), std::string::npos) << refusal;
        EXPECT_FALSE(names_a_hidden_file(refusal)) << refusal;
        EXPECT_EQ(window_.beeps(), 1);
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT")) << "a refused run writes no reply";
        Snapshot after = TemporaryDirectory::snapshot();
        after.erase("QEVCOM.DAT");
        before.erase("QEVCOM.DAT");
        EXPECT_TRUE(after == before) << "the study changed";
    }
}

// A launched toolset run of the subset module changes the study before its
// comparison (the subset data bases of sub-option 4, the flag of the
// editing sub-options in the tool-status file): wherever the disk fills up,
// a refusal that comes after that change says what was written, never that
// nothing was changed, and one before it leaves the study as it was.
TEST_F(ModuleRefusalTest, AToolsetSubsetRunRefusedAfterItsFirstChangeSaysWhatItWrote)
{
    struct Case {
        const char* name;
        int sub_option;
        Lines typed;  // up to the refusal's RETURN
        std::string written;
    };
    const Case cases[] = {
        {"the toolset subsets", 4, {""}, " * NO EXCEPTION REPORT WAS APPENDED; THE SUBSET DATA BASES WERE WRITTEN:"},
        {"the toolset subset editing, left with EXIT",
         1,
         {"EXIT", ""},
         " * NO EXCEPTION REPORT WAS APPENDED; THE TOOLSET FILE WAS WRITTEN:"},
    };
    const auto study = [] {
        Snapshot files = TemporaryDirectory::snapshot();
        files.erase("QEVCOM.DAT");
        files.erase("QEVCOM2.DAT");
        return files;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        write_study(true);
        if (HasFatalFailure()) return;
        // Subsets not prepared yet: their preparation is a change.
        for (const char* subset : {"ABNODEZZ.SST", "ABSUBAZZ.SST", "ABLINKZZ.SST"}) fs::remove(subset);
        const Snapshot before = study();
        int refused_after_the_change = 0;
        for (long writes = 0;; ++writes) {
            SCOPED_TRACE("the disk full after " + std::to_string(writes) + " writes");
            ASSERT_LT(writes, 200) << "the run never ends";
            for (const auto& [name, bytes] : study())
                if (!before.count(name)) fs::remove(name);
            for (const auto& [name, bytes] : before) TemporaryDirectory::put(name, bytes);
            window_ = test::ScriptedWindow();
            session_.data_directory.reset();
            fail_writes_with(ENOSPC, writes);
            test::write_command_file("AB", 1, 3, c.sub_option);
            const std::string reason = test::run_program_on_lines(session_, window_, c.typed);
            fail_writes_with(0);
            if (reason == "subset module: done" || reason == "launcher reply cannot be written") break;
            ASSERT_FALSE(window_.reads().empty()) << reason;
            const std::string& refusal = window_.reads().back();
            if (study() != before) {
                ++refused_after_the_change;
                EXPECT_EQ(test::snapshot_text(refusal, 1, 20, c.written.size()), c.written) << refusal;
                EXPECT_EQ(refusal.find("NOTHING WAS CHANGED"), std::string::npos) << refusal;
            } else {
                EXPECT_NE(refusal.find("NOTHING WAS CHANGED"), std::string::npos) << refusal;
            }
            EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
            if (HasFailure()) return;
        }
        EXPECT_GT(refused_after_the_change, 0) << "no full disk came after the change";
    }
}

// Wherever the disk fills up in an adoption with its history split or in a
// differences report, the change is refused in the window, naming a file of
// the study, and the study is as it was; with room enough it is made.
TEST_F(ModuleRefusalTest, AFullDiskAtAnyWriteOfAChangeLeavesTheStudyAsItWas)
{
    struct Case {
        const char* name;
        int option;
        int sub_option;
        Lines typed;  // up to the refusal's RETURN
        std::string done;
    };
    const Case cases[] = {
        {"an adoption with its history split", 6, 4, {""}, "scenario module: done"},
        {"a differences report", 5, 0, {"1", "3", ""}, "differences module: done"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        write_study(false);
        if (HasFatalFailure()) return;
        const Snapshot before = TemporaryDirectory::snapshot();
        for (long writes = 0;; ++writes) {
            SCOPED_TRACE("the disk full after " + std::to_string(writes) + " writes");
            ASSERT_LT(writes, 200) << "the change never ends";
            window_ = test::ScriptedWindow();
            session_.data_directory.reset();
            fail_writes_with(ENOSPC, writes);
            testing::internal::CaptureStderr();
            test::write_command_file("AB", 1, c.option, c.sub_option);
            // A change made waits for no RETURN: the typed lines need not
            // all be used.
            const std::string reason = test::run_program_on_lines(session_, window_, c.typed);
            fail_writes_with(0);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
            if (reason == c.done || reason == "the script ran out") {
                EXPECT_NE(TemporaryDirectory::snapshot(), before) << "the change was made";
                break;
            }
            if (reason == "launcher reply cannot be written") {
                // The last write: the change is in place, only the reply is not.
                EXPECT_TRUE(window_.has_shown("'QEVCOM2.DAT': No space left on device")) << window_.dump();
                EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
                break;
            }
            const std::string& refusal = window_.reads().back();
            EXPECT_NE(refusal.find("': No space left on device"), std::string::npos) << refusal;
            EXPECT_FALSE(names_a_hidden_file(refusal)) << refusal;
            EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
            Snapshot now = TemporaryDirectory::snapshot();
            now.erase("QEVCOM.DAT");
            EXPECT_TRUE(now == before) << "the study changed";
            for (const auto& [name, bytes] : now)
                if (!before.count(name) || before.at(name) != bytes) ADD_FAILURE() << name << " new or changed";
            for (const auto& [name, bytes] : before)
                if (!now.count(name)) ADD_FAILURE() << name << " gone";
            if (HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace velm
