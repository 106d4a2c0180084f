// An analysis run is all or nothing: a run that stops, at whatever step and
// for whatever reason, leaves every file of the study as the previous run
// left it; a run that reaches its end replaces its files together.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/run_outputs.h"
#include "platform/stop.h"
#include "platform/study_lock.h"
#include "platform/window.h"
#include "support/change_steps.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/small_studies.h"
#include "support/study_builder.h"

namespace velm {
namespace {

using Lines = std::vector<std::string>;
using Snapshot = std::map<std::string, std::string>;

const Lines EXECUTE_FROM_MENU = {"", "1", "", "", "2", "AB", ""};

class RunOutputsRunTest : public test::SessionTest {
protected:
    // A test that fails on its way leaves no stop for the next.
    void TearDown() override { stop_change_at_step(0); }
    // Runs option 1 to its end, or to its stop: the reason, and for a run
    // refused in the window the refusal as it stood there.
    std::string run(const Lines& typed)
    {
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        const std::string reason = test::run_program_to_stop(session_, window_, typed);
        if (reason != "analysis run: a file cannot be read or written" || window_.reads().empty()) return reason;
        return reason + "\n" + window_.reads().back();
    }
};

// Value 2 of a model file's header, the study's model type.
void set_model_type_value(const std::string& name, float value)
{
    std::vector<RecordBytes> records = decode_records(read_whole_file(name), name);
    records.at(1) = float_payload(value);
    replace_file_atomically(name, encode_records(records));
}

TEST_F(RunOutputsRunTest, AStoppedRunLeavesTheStudyAsThePreviousRunLeftIt)
{
    struct Case {
        const char* name;
        std::string data_directory;
        bool launched;
        std::function<void()> break_input;  // run after the previous run
        std::string reason_part;            // a part of the stop's reason or message
    };
    const std::vector<Case> cases = {
        {"metric model files, before the report", "", false, [] { set_model_type_value("AB0101ZZ.Z11", -6.0f); },
         "metric"},
        {"a listed map without its model file, in the cross-check", "", false, [] { delete_file("AB0102ZZ.Z11"); },
         "AB0102ZZ.Z11"},
        {"the same with the study in a data directory", "data/", false, [] { delete_file("data/AB0102ZZ.Z11"); },
         "AB0102ZZ.Z11"},
        {"the same, launched after a run that replied", "", true, [] { delete_file("AB0102ZZ.Z11"); }, "AB0102ZZ.Z11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        test::StudyBuilder study = test::two_map_study(6);
        if (!c.data_directory.empty()) study.set_data_directory("data\\ABMPDZZ.ZZZ");
        study.write(directory.path());
        ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
        ASSERT_FALSE(test::TemporaryDirectory::get(c.data_directory + "ABSETCZZ.ZZZ").empty());

        c.break_input();
        const Snapshot before = test::TemporaryDirectory::snapshot();
        if (c.launched) {
            test::TemporaryDirectory::put("QEVCOM2.DAT", "99\r\n");  // the reply of the run before
            test::write_command_file("AB", 1, 1, 2);
        }
        // A refusal waits for RETURN, as the interactive run's end does.
        const std::string reason = run(c.launched ? Lines{""} : EXECUTE_FROM_MENU);
        EXPECT_NE(reason.find(c.reason_part), std::string::npos) << reason;
        EXPECT_NE(reason, "analysis run done");
        // Every file as before; a launched run that failed leaves no reply.
        EXPECT_EQ(test::TemporaryDirectory::snapshot(), before);
    }
}

// A window that stops the program at its n-th operation (a write, a clear, a
// cursor move or a read), after noting which files were on disk at that
// moment, as a kill there would leave them.
class StoppingWindow : public Window {
public:
    explicit StoppingWindow(std::size_t stop_at) : stop_at_(stop_at) {}
    void clear_screen() override { step(); }
    void move_cursor(int, int) override { step(); }
    void write(std::string_view, LineEnd) override { step(); }
    std::string read_line() override
    {
        step();
        return "";
    }
    void beep() override { step(); }

    std::size_t operations() const { return operations_; }
    const Snapshot& files_at_stop() const { return files_at_stop_; }

private:
    void step()
    {
        if (++operations_ != stop_at_) return;
        files_at_stop_ = test::TemporaryDirectory::snapshot();
        stop_program("stopped by the test");
    }
    std::size_t stop_at_;
    std::size_t operations_ = 0;
    Snapshot files_at_stop_;
};

// The files of a snapshot without the launcher's, without the hidden new
// versions that the next start removes and without the lock file the run
// holds while it works.
Snapshot study_files(Snapshot files)
{
    std::erase_if(files, [](const auto& entry) {
        const std::string& name = entry.first;
        const std::string base = std::filesystem::path(name).filename().string();
        const bool hidden_new =
            !base.empty() && base.front() == '.' && (base.ends_with(".velm-run") || base.ends_with(".velm-new"));
        return hidden_new || base == STUDY_LOCK_FILE || name == "QEVCOM.DAT" || name == "QEVCOM2.DAT";
    });
    return files;
}

TEST_F(RunOutputsRunTest, ARunStoppedOrKilledAtAnyMomentLeavesEveryFileAsItWas)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.write(directory_.path());
    const Snapshot study_only = test::TemporaryDirectory::snapshot();
    ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
    // The previous run's files, each made to differ from what the next run
    // writes (a blank line more at its end, which no reader minds), so that
    // any file the stopped run replaced shows.
    for (const auto& [name, bytes] : test::TemporaryDirectory::snapshot()) {
        if (!study_only.contains(name)) test::TemporaryDirectory::put(name, bytes + "\r\n");
    }
    const Snapshot files = test::TemporaryDirectory::snapshot();
    const Snapshot before = study_files(files);

    // A whole launched run: the moments at which to stop it, and its files.
    test::write_command_file("AB", 1, 1, 2);
    StoppingWindow counting(0);
    Session counting_session{counting, clock_};
    EXPECT_THROW(run_main_program(counting_session), ProgramStop);
    const std::size_t moments = counting.operations();
    const Snapshot after = study_files(test::TemporaryDirectory::snapshot());
    ASSERT_NE(after, before);
    ASSERT_GT(moments, 10u);
    for (const auto& [name, bytes] : files) test::TemporaryDirectory::put(name, bytes);

    for (std::size_t moment = 1; moment <= moments; ++moment) {
        SCOPED_TRACE("stopped at window operation " + std::to_string(moment) + " of " + std::to_string(moments));
        test::write_command_file("AB", 1, 1, 2);
        StoppingWindow stopping(moment);
        Session session{stopping, clock_};
        try {
            run_main_program(session);
        } catch (const ProgramStop& stop) {
            EXPECT_EQ(stop.reason, "stopped by the test");
        }
        // Only the screen's last clearing comes after the run put its files
        // in place.
        const Snapshot& expected = moment == moments ? after : before;
        EXPECT_EQ(study_files(stopping.files_at_stop()), expected) << "killed";
        EXPECT_EQ(study_files(test::TemporaryDirectory::snapshot()), expected) << "stopped";
        if (HasFailure()) break;
        for (const auto& [name, bytes] : files) test::TemporaryDirectory::put(name, bytes);
    }
}

TEST_F(RunOutputsRunTest, LeftoversOfAKilledRunGoAndAFinishedRunLeavesNoneOfItsOwn)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.write(directory_.path());
    test::TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "half a report of a killed run");
    test::TemporaryDirectory::put(".SETF.ZZZ.velm-new", "half a rewrite of a killed run");
    const Snapshot before = test::TemporaryDirectory::snapshot();

    ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
    const Snapshot after = test::TemporaryDirectory::snapshot();
    for (const auto& [name, bytes] : after) {
        EXPECT_NE(name.front(), '.') << name << " left behind";
        if (before.contains(name)) continue;
        EXPECT_FALSE(bytes.empty() && name != "SETF.ZZZ" && name != "ABSETXZZ.ZZZ") << name;
    }
    for (const char* written :
         {"ABTRVLZZ.DIA", "ABSETCZZ.ZZZ", "ABSETEZZ.ZZZ", "SETF.ZZZ", "SETG.ZZZ", "ABSETHZZ.ZZZ", "ABSETXZZ.ZZZ"}) {
        EXPECT_TRUE(after.contains(written)) << written;
    }
}

TEST_F(RunOutputsRunTest, AKilledCommitIsFinishedBeforeAnyModuleReadsTheStudy)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.write(directory_.path());
    test::TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "the killed run's report\r\n");
    test::TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL),
                                  "velmora commit journal 1\nfinish\n.ABTRVLZZ.DIA.velm-run\nABTRVLZZ.DIA\n\nend\n");
    // The program is started and ended at once from the main menu.
    EXPECT_EQ(run({"", "E"}), "main menu: E");
    EXPECT_EQ(test::TemporaryDirectory::get("ABTRVLZZ.DIA"), "the killed run's report\r\n");
    EXPECT_FALSE(file_exists(RUN_COMMIT_JOURNAL));
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// The study's files without the launcher's: what a run may change.
Snapshot study_only(Snapshot files)
{
    std::erase_if(files, [](const auto& entry) { return entry.first == "QEVCOM.DAT" || entry.first == "QEVCOM2.DAT"; });
    return files;
}

// Runs the program with the typed lines until it stops, however early: the
// reason of the stop.
std::string run_until_stopped(Session& session, test::ScriptedWindow& window, const Lines& typed)
{
    window = test::ScriptedWindow();
    session.data_directory.reset();
    window.type(typed);
    try {
        run_main_program(session);
    } catch (const ProgramStop& stop) {
        return stop.reason;
    } catch (const FileError& error) {
        return error.what();
    }
    return "did not stop";
}

bool has_hidden_file()
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
        if (entry.path().filename().string().front() == '.') return true;
    }
    return false;
}

// A run stopped at any write or rename of its files, or killed there, and
// the program started again: the study is as the previous run left it or as
// the whole run leaves it, as the run's commit journal decided, in the
// working and in the data directory, and no hidden file is left.
TEST_F(RunOutputsRunTest, ARunStoppedOrKilledAtAnyStepOfItsFilesIsAsItsJournalDecidedAtTheNextStart)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.set_data_directory("data\\ABMPDZZ.ZZZ");
    study.write(directory_.path());
    ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
    // The previous run's files differ from what the next run writes.
    const Snapshot first = test::TemporaryDirectory::snapshot();
    for (const auto& [name, bytes] : first) {
        if (name.find("SET") != std::string::npos || name.ends_with(".DIA") || name.ends_with(".ZST"))
            test::TemporaryDirectory::put(name, bytes + "\r\n");
    }
    const Snapshot files = test::TemporaryDirectory::snapshot();
    const Snapshot before = study_only(files);
    stop_change_at_step(0);
    ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
    const long steps = change_steps_taken();
    const Snapshot after = study_only(test::TemporaryDirectory::snapshot());
    ASSERT_NE(after, before);
    const auto restore = [&files] {
        for (const auto& [name, bytes] : test::TemporaryDirectory::snapshot()) {
            if (!files.contains(name)) std::filesystem::remove(name);
        }
        for (const auto& [name, bytes] : files) test::TemporaryDirectory::put(name, bytes);
    };
    restore();

    test::walk_change_steps(
        steps + 1,
        [&] {
            const std::string reason = run_until_stopped(session_, window_, EXECUTE_FROM_MENU);
            if (reason != "analysis run done") {
                EXPECT_EQ(reason, "stopped at change step " + std::to_string(change_steps_taken()));
            }
        },
        // The next start of the program, ended at once from the main menu.
        [&] { EXPECT_EQ(run({"", "E"}), "main menu: E"); },
        [&](const test::ChangeStepTurn& turn) {
            EXPECT_EQ(study_only(test::TemporaryDirectory::snapshot()), turn.as_after() ? after : before);
            restore();
        });
}

// An output whose name is taken by a directory refuses the run before any
// file is replaced.
TEST_F(RunOutputsRunTest, AnOutputThatIsADirectoryRefusesTheRunBeforeAnyFileIsReplaced)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.write(directory_.path());
    ASSERT_EQ(run(EXECUTE_FROM_MENU), "analysis run done");
    for (const auto& [name, bytes] : test::TemporaryDirectory::snapshot())
        if (name.ends_with(".ZST") || name.ends_with(".DIA")) test::TemporaryDirectory::put(name, bytes + "\r\n");
    std::filesystem::remove("ABSETHZZ.ZZZ");
    std::filesystem::create_directory("ABSETHZZ.ZZZ");
    const Snapshot before = test::TemporaryDirectory::snapshot();
    const std::string reason = run(EXECUTE_FROM_MENU);
    EXPECT_NE(reason.find("ABSETHZZ.ZZZ"), std::string::npos) << reason;
    EXPECT_NE(reason.find("Is a directory"), std::string::npos) << reason;
    EXPECT_EQ(test::TemporaryDirectory::snapshot(), before);
    EXPECT_FALSE(has_hidden_file());
}

}  // namespace
}  // namespace velm
