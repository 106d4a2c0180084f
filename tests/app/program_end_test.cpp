// How the program ends: refused when it ends on a refusal or an error shown
// in the window (a launcher's script reads REFUSED_EXIT_STATUS), finished at
// the engineer's EXIT, at the end of the input at a menu, after a finished
// module or after a launched run's reply.  Each module's refusals that end
// the program, and the ordinary ends, from the program's start, as the stop
// tells them; a launched run that owes its launcher a reply ends refused
// as well when it stops without it, which the process's own status shows
// (launched_reply_test.cpp).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "editor/editor_study.h"
#include "management/subset_field_map.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "platform/terminal_window.h"
#include "records/model_file.h"
#include "shell/launcher.h"
#include "strings/outlet_hgl_controls.h"
#include "support/program_run.h"
#include "support/record_edits.h"
#include "support/session_test.h"
#include "support/small_studies.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

void write_two_map_study()
{
    test::two_map_study(6).write(fs::current_path());
}

// The two-map study, launched (toolset mode) for the option and sub-option.
std::function<void()> launched(
    int option, int sub_option, std::function<void()> spoil = [] {})
{
    return [=] {
        write_two_map_study();
        spoil();
        test::write_command_file("AB", 1, option, sub_option);
    };
}

struct Case {
    const char* name;
    std::function<void()> files;  // the case's files in the working directory
    Lines typed;
    std::string reason;  // a part of the stop's reason
    // The input ends after the typed lines (the program reads a plain
    // window's input); otherwise the case uses every typed line and stops
    // by itself.
    bool input_ends = false;
    // What runs: the main program unless the case names a step of its own.
    std::function<void(Session&)> run = [](Session& session) { run_main_program(session); };
};

class ProgramEndTest : public test::SessionTest {
protected:
    void TearDown() override { fail_writes_with(0); }

    // How the case's run ended; an error that no stop caught ends it as
    // neither (the program's entry point would show it), so that the other
    // cases still run.
    test::ProgramEnd end_of(const Case& c)
    {
        try {
            return run_case(c);
        } catch (const std::exception& error) {
            return {std::string("uncaught error: ") + error.what(), false};
        }
    }

    test::ProgramEnd run_case(const Case& c)
    {
        if (!c.input_ends) return test::run_to_end(window_, c.typed, [&] { c.run(session_); });
        std::string typed;
        for (const std::string& line : c.typed) typed += line + "\n";
        std::istringstream in(typed);
        std::ostringstream out;
        const auto window = make_plain_window(in, out);
        Session session{*window, clock_};
        test::ProgramEnd end{"did not stop", false};
        try {
            c.run(session);
        } catch (const ProgramStop& stop) {
            end = {stop.reason, stop.refused};
        }
        std::string rest;
        EXPECT_FALSE(std::getline(in, rest)) << "typed lines left over";
        return end;
    }
};

TEST_F(ProgramEndTest, ARefusalThatEndsTheProgramEndsItRefused)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto no_model_list = [] {
        RecordFile list("ABTRVLZZ.Z11", RecordFile::Open::New);
        list.write_value(0.0f);
        std::string entry = "AB0101ZZ.Z11";
        entry.resize(50, ' ');
        list.write_text(entry);
        list.close_keep();
    };
    const auto full_street_table = [] {
        test::editor_study().write(fs::current_path());
        test::TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        ModelFile file = read_model_file("AB0101ZZ.Z12");
        file.header.set_street_section_count(50);
        write_model_file("AB0101ZZ.Z12", file);
    };
    const auto subset_study_on_a_full_disk = [] {
        write_two_map_study();
        SubsetFieldMap defaults;
        set_subset_field_map_defaults(defaults);
        write_subset_specification("ABTRVLZZ.SST", defaults);
        test::write_command_file("AB", 1, 3, 4);
        fail_writes_with(ENOSPC);
    };
    const std::vector<Case> cases = {
        {"a launched analysis run: a broken record 6 of a results file",
         launched(1, 2, [nan] { test::set_record_value("AB0101ZZ.ZZZ", 6, 1, nan); }),
         {""},
         "analysis run: a file cannot be read or written"},
        {"a launched analysis run: the first model file missing",
         launched(1, 2, [] { fs::remove("AB0101ZZ.Z11"); }),
         {""},
         "first model file missing"},
        {"the same, the input ending at the refusal's pause",
         launched(1, 2, [] { fs::remove("AB0101ZZ.Z11"); }),
         {},
         "end of input",
         true},
        {"a launched run of a study without its model list",
         launched(1, 2, [] { fs::remove("ABTRVLZZ.Z11"); }),
         {},
         "model list check refused the launched study"},
        {"a launched run of a file that is no model list",
         launched(1, 2, no_model_list),
         {""},
         "model list check refused the launched study"},
        {"the same, the input ending at the refusal's pause", launched(1, 2, no_model_list), {}, "end of input", true},
        {"a directory at the control file's name",
         launched(1, 2,
                  [] {
                      fs::remove("ABcontzz.zzz");
                      fs::create_directory("ABcontzz.zzz");
                  }),
         {""},
         "control file cannot be read"},
        {"a command file unreadable at its line 3",
         [] { test::TemporaryDirectory::put("QEVCOM.DAT", "AB\r\n1\r\nfour\r\n1\r\n"); },
         {""},
         "LINE 3"},
        {"the same, the input ending at the refusal's pause",
         [] { test::TemporaryDirectory::put("QEVCOM.DAT", "AB\r\n1\r\nfour\r\n1\r\n"); },
         {},
         "end of input",
         true},
        {"a command file naming no usable study",
         [] { test::write_command_file("A/", 1, 1, 2); },
         {""},
         "NAMES NO USABLE STUDY"},
        {"a launched editor run of a study that is not two letters",
         [] { test::write_command_file("12", 1, 4, 0); },
         {},
         "the launcher's study is not two letters"},
        {"a launched editor run of a study without its string index",
         launched(4, 0),
         {},
         "the launcher's study has no string index"},
        {"a street section table full",
         full_street_table,
         {"", "4", "", "AB", "7", "10103", "10104", "", "22", "", "", "", "", "", "", "", "", ""},
         "street section table full"},
        {"the same, the input ending at the refusal's pause",
         full_street_table,
         {"", "4", "", "AB", "7", "10103", "10104", "", "22", "", "", "", "", "", "", "", ""},
         "end of input",
         true},
        {"a launched review of a study that is not two letters",
         [] { test::write_command_file("12", 1, 2, 1); },
         {},
         "the launcher names no study"},
        {"a launched review of a study without its string index",
         launched(2, 1),
         {},
         "the study has no string index file"},
        {"launched subsets on a full disk",
         subset_study_on_a_full_disk,
         {""},
         "subset module: the subsets were refused"},
        {"a launched adoption of a study without its model list",
         launched(6, 4, [] { fs::remove("ABTRVLZZ.Z11"); }),
         {""},
         "scenario module: no model list"},
        {"a launched editor run whose reply cannot be written",
         launched(4, 0,
                  [] {
                      test::TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
                      // The toolset file stands: the reply is the run's
                      // only write.
                      std::string flags;
                      for (int k = 0; k < TOOL_FLAG_COUNT; ++k) flags += "0\r\n";
                      test::TemporaryDirectory::put("ABtoolzz.set", flags);
                      fail_writes_with(ENOSPC);
                  }),
         {"EX", ""},
         "launcher reply cannot be written"},
        {"a launched review whose reply cannot be written",
         launched(2, 0, [] { fail_writes_with(ENOSPC); }),
         {"EXIT", ""},
         "launcher reply cannot be written"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        c.files();
        const test::ProgramEnd end = end_of(c);
        fail_writes_with(0);
        EXPECT_NE(end.reason.find(c.reason), std::string::npos) << end.reason << "\n" << window_.dump();
        EXPECT_TRUE(end.refused) << end.reason;
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT")) << "a refused run writes no reply";
    }
}

TEST_F(ProgramEndTest, AnOrdinaryEndIsNoRefusal)
{
    const std::vector<Case> cases = {
        {"E at the main menu", [] {}, {"", "E"}, "main menu: E"},
        {"end of input at the main menu", [] {}, {""}, "end of input", true},
        {"EXIT at the control menu", [] {}, {"", "1", "", "", "EXIT"}, "control menu: EXIT"},
        {"end of input at the control menu", [] {}, {"", "1", "", ""}, "end of input", true},
        {"EXIT at the study prompt", [] {}, {"", "1", "", "", "2", "EXIT"}, "study prompt: EXIT"},
        {"EXIT at the review's menu", [] {}, {"", "2", "", "EXIT"}, "run_user_interface_module: EXIT"},
        {"EXIT at the subset module's menu", [] {}, {"", "3", "", "EXIT"}, "subset module: done"},
        {"end of input at the subset module's menu", [] {}, {"", "3", ""}, "end of input", true},
        {"EXIT at the editor's study prompt", [] {}, {"", "4", "", "EXIT"}, "run_network_editor_module: EXIT"},
        {"EXIT at the differences module's menu", [] {}, {"", "5", "", "EXIT"}, "differences module: done"},
        {"EX at the scenario module's menu", [] {}, {"", "6", "", "EX"}, "scenario module: done"},
        {"EXIT at the GIS update's menu", [] {}, {"", "7", "", "EXIT"}, "GIS update"},
        {"EXIT at the outlet HGL controls",
         [] {},
         {"EXIT"},
         "outlet HGL controls left with EXIT",
         false,
         [](Session& session) { ask_outlet_hgl_controls(session.window, {101.0f}); }},
        {"a finished interactive analysis run",
         write_two_map_study,
         {"", "1", "", "", "2", "AB", ""},
         "analysis run done"},
        {"a finished launched analysis run", launched(1, 2), {}, "analysis run done"},
        {"a launched review left at its menu", launched(2, 0), {"EXIT"}, "run_user_interface_module: EXIT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        c.files();
        const test::ProgramEnd end = end_of(c);
        EXPECT_NE(end.reason.find(c.reason), std::string::npos) << end.reason << "\n" << window_.dump();
        EXPECT_FALSE(end.refused) << end.reason;
    }
}

}  // namespace
}  // namespace velm
