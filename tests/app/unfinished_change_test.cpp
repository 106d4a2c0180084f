// A change whose directory stops taking changes in the middle of its commit
// (a share turned read-only, a permission changed by an administrator), so
// that it can be neither finished nor undone: the program ends after its
// message, which names the study's file and the system's reason and says
// what the next start does; no other change of the session is made, no
// launcher reply is written, and the next start leaves the study whole.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "platform/clock.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "support/program_run.h"
#include "support/scripted_window.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Snapshot = std::map<std::string, std::string>;

const FixedClock CLOCK{DateTime{2024, 5, 6, 7, 8, 9, 10}};

// The sample study in the working directory.
void copy_sample_study()
{
    for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample"))
        if (entry.path().filename().string().front() != '.') fs::copy_file(entry.path(), entry.path().filename());
}

// The same, with the index of its strings that the editor keeps up.
void copy_sample_study_for_the_editor()
{
    copy_sample_study();
    TemporaryDirectory::put("SAINDXZZ.ZST", "index\r\n");
}

// The study's files, without the launcher's and the hidden ones.
Snapshot study_files()
{
    Snapshot files;
    for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
        if (name.front() != '.' && name.rfind("QEVCOM", 0) != 0) files[name] = bytes;
    return files;
}

// A pipe of map 2301 given a new diameter (ft) in the editor: the lines
// after the editor is reached.
std::vector<std::string> pipe_edit(const char* upstream, const char* downstream, const char* diameter)
{
    return {upstream, downstream, diameter, "0", "0", "0.014", "0"};
}

// How a run of the main program with typed lines ended: by itself (EXIT, a
// launched run's end, a refusal), with its typed lines run out while it
// still asked for more, or on a change left unfinished, whose message
// `message` holds.
struct RunEnd {
    enum class How { Ended, TypedLinesRanOut, ChangeUnfinished };
    How how = How::Ended;
    std::string message;
};

RunEnd run_to_unfinished_change(test::ScriptedWindow& window, const std::vector<std::string>& typed)
{
    FixedClock clock = CLOCK;
    Session session{window, clock};
    window.type(typed);
    try {
        run_main_program(session);
    } catch (const UnfinishedCommit& error) {
        return {RunEnd::How::ChangeUnfinished, error.what()};
    } catch (const ProgramStop&) {
    } catch (const test::ScriptExhausted&) {
        return {RunEnd::How::TypedLinesRanOut, {}};
    }
    return {RunEnd::How::Ended, {}};
}

class UnfinishedChangeTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        fail_commit_calls({});
        fail_writes_with(0);
    }
    // From the `at`-th rename of the first commit on, every rename, removal
    // and write fails as in a directory turned read-only; the file of that
    // rename in `failed_file_`.
    void turn_read_only_at_rename(long at)
    {
        renames_ = 0;
        failing_ = false;
        failed_file_.clear();
        committed_ = false;
        fail_commit_calls([this, at](CommitCall call, const std::string& file) {
            if (call == CommitCall::RemoveJournal && !failing_) committed_ = true;
            if (!failing_ && !committed_ && call == CommitCall::Rename && ++renames_ == at) {
                failing_ = true;
                failed_file_ = file;
                fail_writes_with(EACCES);
            }
            return failing_ ? EACCES : 0;
        });
    }
    void writable_again()
    {
        fail_commit_calls({});
        fail_writes_with(0);
    }
    // The next start of the program, to its main menu and out.
    void start_again()
    {
        test::ScriptedWindow window;
        FixedClock clock = CLOCK;
        Session session{window, clock};
        EXPECT_EQ(test::run_program_to_stop(session, window, {"", "E"}), "main menu: E");
    }
    TemporaryDirectory directory_;
    long renames_ = 0;
    bool failing_ = false;
    bool committed_ = false;  // the first commit was made
    std::string failed_file_;
};

// Two pipe edits in one visit to the editor: the disk stops taking changes
// at each rename of the first save in turn.  The program ends at that save,
// the second edit is never asked for, and the next start finishes the first
// save whole, as the message said.
TEST_F(UnfinishedChangeTest, AnEditorSaveThatCanNeitherFinishNorUndoEndsTheProgram)
{
    std::vector<std::string> first = {"", "4", "", "SA", "6"};
    const std::vector<std::string> first_edit = pipe_edit("230111", "230113", "4");
    first.insert(first.end(), first_edit.begin(), first_edit.end());
    std::vector<std::string> second = pipe_edit("230108", "230111", "3");
    second.insert(second.end(), {"E", "EX"});
    std::vector<std::string> both = first;
    both.insert(both.end(), second.begin(), second.end());

    // The study before, and after the first save alone.
    const fs::path start = fs::current_path();
    copy_sample_study_for_the_editor();
    const Snapshot before = study_files();
    {
        // The editor asks for the next pipe once the first is saved.
        test::ScriptedWindow window;
        ASSERT_EQ(run_to_unfinished_change(window, first).how, RunEnd::How::TypedLinesRanOut) << window.dump();
    }
    const Snapshot saved = study_files();
    ASSERT_TRUE(saved != before);

    bool reached = true;
    for (long at = 1; reached; ++at) {
        SCOPED_TRACE("read-only from the rename " + std::to_string(at) + " of the save");
        ASSERT_LT(at, 40);
        fs::current_path(start);
        TemporaryDirectory directory;
        copy_sample_study_for_the_editor();
        turn_read_only_at_rename(at);
        test::ScriptedWindow window;
        const RunEnd end = run_to_unfinished_change(window, both);
        reached = failing_;
        writable_again();
        if (!reached) {
            // The save has fewer renames: both edits were made, and the
            // editor left at its EXIT.
            EXPECT_EQ(end.how, RunEnd::How::Ended) << window.dump();
            break;
        }

        ASSERT_EQ(end.how, RunEnd::How::ChangeUnfinished) << window.dump();
        const std::string& message = end.message;
        const std::string file = fs::path(failed_file_).filename().string();
        EXPECT_EQ(message.rfind("Cannot replace file '" + file + "': Permission denied.", 0), 0u) << message;
        EXPECT_NE(message.find("the next start of the program finishes the change."), std::string::npos) << message;
        EXPECT_EQ(message.find("velm"), std::string::npos) << message;
        // Nothing of the second edit was typed.
        EXPECT_EQ(window.lines_left(), second.size()) << window.dump();

        start_again();
        EXPECT_TRUE(study_files() == saved) << "the first save is not whole";
        for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
            EXPECT_NE(name.front(), '.') << name << " left behind";
        if (HasFailure()) return;
    }
    EXPECT_GT(renames_, 2) << "the save replaced fewer files than expected";
}

// A launched analysis run whose outputs' commit can neither finish nor undo
// writes no reply for the launcher.
TEST_F(UnfinishedChangeTest, ALaunchedRunThatCanNeitherFinishNorUndoWritesNoReply)
{
    const fs::path start = fs::current_path();
    Snapshot run;  // the study after the run made whole
    {
        TemporaryDirectory directory;
        copy_sample_study();
        test::write_command_file("SA", 1, 1, 2);
        test::ScriptedWindow window;
        ASSERT_EQ(run_to_unfinished_change(window, {"", "", ""}).how, RunEnd::How::Ended) << window.dump();
        ASSERT_TRUE(fs::exists("QEVCOM2.DAT"));
        run = study_files();
    }
    fs::current_path(start);
    copy_sample_study();
    test::write_command_file("SA", 1, 1, 2);
    turn_read_only_at_rename(2);
    test::ScriptedWindow window;
    const RunEnd end = run_to_unfinished_change(window, {"", "", ""});
    writable_again();
    ASSERT_TRUE(failing_) << "the run's commit has fewer than two renames";
    ASSERT_EQ(end.how, RunEnd::How::ChangeUnfinished) << window.dump();
    const std::string& message = end.message;
    EXPECT_EQ(message.rfind("Cannot replace file '" + fs::path(failed_file_).filename().string() + "'", 0), 0u)
        << message;
    EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));

    // The next start (the launcher gone) finishes the run's outputs.
    fs::remove("QEVCOM.DAT");
    start_again();
    EXPECT_TRUE(study_files() == run) << "the run's outputs are not whole";
    for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
        EXPECT_NE(name.front(), '.') << name << " left behind";
}

// A refusal of the start as the window showed it before its RETURN, its
// rows joined again.
std::string start_refusal_shown(const test::ScriptedWindow& window)
{
    return window.reads().empty() ? std::string() : test::snapshot_rows_joined(window.reads().back(), 18, 23);
}

// The program's own journal, which the start can neither finish nor undo
// (the study's directory cannot be written now), refuses the start in the
// window, naming the file and the reason, with nothing changed; a start
// once the directory can be written again finishes the change.
TEST_F(UnfinishedChangeTest, AnInterruptedChangeTheStartCannotCompleteRefusesTheStart)
{
    copy_sample_study();
    fs::create_hard_link("SA2301ZZ.ZLL", ".SA2301ZZ.ZLL.velm-old");
    TemporaryDirectory::put(".SA2301ZZ.ZLL.velm-run", "new links\r\n");
    TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL),
                            "velmora commit journal 1\nfinish\n.SA2301ZZ.ZLL.velm-run\n"
                            "SA2301ZZ.ZLL\n.SA2301ZZ.ZLL.velm-old\nend\n");
    const Snapshot before = TemporaryDirectory::snapshot();
    fail_commit_calls([](CommitCall, const std::string&) { return EACCES; });
    fail_writes_with(EACCES);
    {
        test::ScriptedWindow window;
        FixedClock clock = CLOCK;
        Session session{window, clock};
        EXPECT_EQ(test::run_program_to_stop(session, window, {""}), "interrupted change not completed");
        const std::string shown = start_refusal_shown(window);
        EXPECT_NE(shown.find("* AN INTERRUPTED CHANGE CANNOT BE COMPLETED: An interrupted change can be neither "
                             "finished (Cannot replace file 'SA2301ZZ.ZLL': Permission denied) nor undone (its "
                             "commit journal '.velmora-run.commit' cannot be written: Permission denied); the next "
                             "start tries again"),
                  std::string::npos)
            << shown;
    }
    writable_again();
    EXPECT_TRUE(TemporaryDirectory::snapshot() == before) << "the refused start changed the study";

    start_again();
    EXPECT_EQ(TemporaryDirectory::get("SA2301ZZ.ZLL"), "new links\r\n");
    for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
        EXPECT_NE(name.front(), '.') << name << " left behind";
}

}  // namespace
}  // namespace velm
