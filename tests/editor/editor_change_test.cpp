// An editor's save is one change: the link data base, the model file of
// every storm event and the history entry are all new or all old, whenever
// the program is stopped or killed, once it is started again; a file that
// cannot be written refuses the save in the window and changes nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "editor_study.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "support/change_steps.h"

namespace velm {
namespace {

using test::EditorTest;
using test::TemporaryDirectory;
using Files = std::map<std::string, std::string>;

// Option 6 on the pipe 10102 - 10103: a new height and friction.
const std::vector<std::string> PIPE_EDIT = {"", "AB", "6", "10102", "10103", "3", "0", "0", "0.015", "0"};

class EditorChangeTest : public EditorTest {
protected:
    // A test that fails on its way leaves no stop for the next.
    void TearDown() override { stop_change_at_step(0); }
    // The editor run with the typed lines until it stops or the lines run out.
    void run_editor(const std::vector<std::string>& typed)
    {
        test::ScriptedWindow window;
        Session session{window, clock_};
        window.type(typed);
        try {
            LauncherCall call;
            run_network_editor_module(session, call);
        } catch (const ProgramStop&) {
        } catch (const test::ScriptExhausted&) {
        }
    }
};

TEST_F(EditorChangeTest, ASaveStoppedOrKilledAtAnyStepIsAllOldOrAllNewAtTheNextStart)
{
    write_study(test::editor_study(3, 5));
    TemporaryDirectory::put("ABHISTZZ.DAT", "an earlier visit\r\n\f\r\n");
    const Files before = test::all_files();
    // The save alone (the lines end before the next link is asked for), and
    // the save with the page break of leaving the module.
    stop_change_at_step(0);
    run_editor(PIPE_EDIT);
    const long save_steps = change_steps_taken();
    const Files saved = test::all_files();
    ASSERT_NE(saved, before);
    for (const char* name : {"./AB0101ZZ.ZLL", "./AB0101ZZ.Z11", "./AB0101ZZ.Z13", "./AB0101ZZ.Z15", "./ABHISTZZ.DAT"})
        ASSERT_NE(saved.at(name), before.at(name)) << name;
    const auto restore = [&before] {
        for (const auto& [name, bytes] : before) TemporaryDirectory::put(name, bytes);
    };
    restore();
    std::vector<std::string> whole = PIPE_EDIT;
    whole.insert(whole.end(), {"E", "EX"});
    run_editor(whole);
    const Files left = test::all_files();
    restore();

    // Two changes, the save and then the page break: a stop within the
    // save's steps leaves the study before or after the save, one after
    // them after the save or after the page break, as the journal of the
    // change stopped decided.
    test::walk_change_steps(
        200, [&] { run_editor(whole); }, [] { recover_interrupted_changes({"."}); },
        [&](const test::ChangeStepTurn& turn) {
            const bool in_save = turn.step <= save_steps;
            const Files& expected = in_save ? (turn.as_after() ? saved : before) : (turn.as_after() ? left : saved);
            EXPECT_EQ(test::all_files(), expected) << (in_save ? "in the save" : "in the page break");
            restore();
        });
}

// A save that would reach a file that cannot be written is refused in the
// window, naming the file, before anything is written: every file, the
// history log included, stays as it was.
TEST_F(EditorChangeTest, ASaveReachingAReadOnlyFileIsRefusedInTheWindow)
{
    struct Case {
        const char* file;
        std::vector<std::string> typed;
    };
    std::vector<std::string> pipe_edit = PIPE_EDIT;
    pipe_edit.insert(pipe_edit.end(), {"", "E", "EX"});
    const std::vector<Case> cases = {
        {"AB0101ZZ.Z12", pipe_edit},
        {"AB0101ZZ.ZLL", pipe_edit},
        // Leaving the module, the page break is refused too.
        {"ABHISTZZ.DAT", [&] {
             std::vector<std::string> typed = pipe_edit;
             typed.push_back("");
             return typed;
         }()},
        {"AB0101ZZ.Z11",
         {"", "AB", "7", "10103", "10104", "", "22", "", "", "", "", "", "", "", "", "", "E", "EX"}},
        // A land-use cell of a subarea.
        {"AB0101ZZ.Z12", {"", "AB", "1", "10101", "2", "5", "3", "1.5", "E", "", "E", "EX"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TemporaryDirectory dir;
        test::editor_study(3, 3).write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        // A log that exists gets its page break when the module is left.
        if (std::string(c.file) == "ABHISTZZ.DAT") TemporaryDirectory::put("ABHISTZZ.DAT", "an earlier visit\r\n\f\r\n");
        chmod(c.file, 0444);
        const Files before = test::all_files();
        expect_refused_edit(c.typed, before, "'" + std::string(c.file) + "'");
        EXPECT_FALSE(test::has_hidden_file());
    }
}

}  // namespace
}  // namespace velm
