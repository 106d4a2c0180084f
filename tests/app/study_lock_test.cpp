// One program at a time in a study's directories: a second start while
// another program holds the study changes nothing and names the holder; a
// journal that is not the program's own is named and left as found.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "platform/file_change.h"
#include "platform/stop.h"
#include "platform/study_lock.h"
#include "platform/window.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/small_studies.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Snapshot = std::map<std::string, std::string>;

const DateTime OTHER_PROGRAM_STARTED{2024, 3, 5, 14, 7, 9, 0};
const std::string SECOND_START_REFUSED = "another run holds the study";

// Another program holding the lock of the given directories, as the program
// takes it: a forked child that keeps it until it is killed.
class OtherProgram {
public:
    explicit OtherProgram(const std::vector<std::string>& directories, bool writes_its_line = true)
    {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            StudyLock lock;
            if (lock.take(directories)) _exit(2);
            lock.write_holder(writes_its_line ? lock_holder_line(OTHER_PROGRAM_STARTED) : "");
            const char byte = 'r';
            if (write(ready[1], &byte, 1) != 1) _exit(3);
            for (;;) pause();
        }
        close(ready[1]);
        char byte = 0;
        EXPECT_EQ(read(ready[0], &byte, 1), 1) << "the other program took no lock";
        close(ready[0]);
    }
    ~OtherProgram() { kill(); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    void kill()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

std::string machine_name()
{
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

// The refusal on the screen as the program showed it before its RETURN, its
// rows joined again.
std::string refusal_shown(const test::ScriptedWindow& window)
{
    if (window.reads().empty()) return {};
    std::string text;
    for (int row = 18; row <= 22; ++row) {
        const std::string line = test::snapshot_row(window.reads().back(), row);
        const std::size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        text += line.substr(first, line.find_last_not_of(' ') + 1 - first) + " ";
    }
    return text;
}

class StudyLockTest : public test::SessionTest {
protected:
    void SetUp() override { test::two_map_study(6).write(directory_.path()); }

    // A change in progress of the program that holds the study: a hidden
    // new version, a leftover of a stream, and its commit journal.
    static void plant_change_in_progress()
    {
        TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "the other program's report\r\n");
        TemporaryDirectory::put(".SETF.ZZZ.velm-new", "half a rewrite\r\n");
        TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL),
                                "velmora commit journal 1\nfinish\n.ABTRVLZZ.DIA.velm-run\nABTRVLZZ.DIA\n\nend\n");
    }
};

// A launched analysis run started while another program works on the study
// (its change half done): every file stays byte for byte, the journal, the
// hidden files and the launcher's command file included, and the window
// names the other program.
TEST_F(StudyLockTest, ASecondStartChangesNothingAndNamesTheHolder)
{
    plant_change_in_progress();
    test::write_command_file("AB", 1, 1, 2);
    OtherProgram other({"."});
    const Snapshot before = TemporaryDirectory::snapshot();

    EXPECT_EQ(test::run_program_to_stop(session_, window_, {""}), SECOND_START_REFUSED);
    EXPECT_EQ(TemporaryDirectory::snapshot(), before);
    EXPECT_GE(window_.beeps(), 1);
    const std::string shown = refusal_shown(window_);
    EXPECT_NE(shown.find("ANOTHER RUN OF THE PROGRAM IS WORKING IN THIS DIRECTORY:"), std::string::npos) << shown;
    const std::string holder = "process " + std::to_string(other.pid()) + " on machine " + machine_name() +
                               ", started 2024-03-05 14:07:09.";
    EXPECT_NE(shown.find(holder), std::string::npos) << shown;
}

// A program killed while it held the study blocks no one: the next start
// finishes its change and goes on.
TEST_F(StudyLockTest, AKilledHolderDoesNotBlockTheNextStart)
{
    plant_change_in_progress();
    OtherProgram other({"."});
    other.kill();
    ASSERT_TRUE(fs::exists(STUDY_LOCK_FILE)) << "the killed program left no lock file";

    EXPECT_EQ(test::run_program_to_stop(session_, window_, {"", "E"}), "main menu: E");
    EXPECT_EQ(TemporaryDirectory::get("ABTRVLZZ.DIA"), "the other program's report\r\n");
    for (const auto& [name, bytes] : TemporaryDirectory::snapshot())
        EXPECT_NE(fs::path(name).filename().string().front(), '.') << name << " left behind";
}

// The lock of a data directory counts as the working directory's does: a
// program of another working directory that shares it keeps a second start
// out.  A holder whose lock file names no one is still a holder.
TEST_F(StudyLockTest, ADataDirectoryHeldByAnotherProgramRefusesTheStart)
{
    fs::create_directory("shared");
    TemporaryDirectory::put("ABMPDZZ.ZZZ", "shared/\r\n");
    OtherProgram other({"shared/"}, false);
    const Snapshot before = TemporaryDirectory::snapshot();

    EXPECT_EQ(test::run_program_to_stop(session_, window_, {""}), SECOND_START_REFUSED);
    EXPECT_EQ(TemporaryDirectory::snapshot(), before);
    const std::string shown = refusal_shown(window_);
    EXPECT_NE(shown.find("THIS STUDY'S DATA DIRECTORY:"), std::string::npos) << shown;
    EXPECT_NE(shown.find("In the data directory shared/: its process, machine and start time cannot be read from "
                         "its lock file .velmora.lock."),
              std::string::npos)
        << shown;

    other.kill();
    test::ScriptedWindow window;
    Session session{window, clock_};
    EXPECT_EQ(test::run_program_to_stop(session, window, {"", "E"}), "main menu: E");
    EXPECT_FALSE(fs::exists("shared/.velmora.lock"));
}

// Runs in one process one after another (as the tests run the program)
// each take the lock and leave it free.
TEST_F(StudyLockTest, EachRunReleasesItsLockAtItsEnd)
{
    for (int run = 0; run < 3; ++run) {
        test::ScriptedWindow window;
        Session session{window, clock_};
        EXPECT_EQ(test::run_program_to_stop(session, window, {"", "E"}), "main menu: E");
    }
    EXPECT_FALSE(fs::exists(STUDY_LOCK_FILE));
    StudyLock lock;
    EXPECT_FALSE(lock.take({"."}).has_value());
}

// A commit journal the program cannot prove its own stops the start before
// anything is touched; the window names the journal and the fault.
TEST_F(StudyLockTest, AJournalNotTheProgramsOwnIsNamedAndLeftAsFound)
{
    // The two lines a tester found to rename the control file over a link
    // data base.
    TemporaryDirectory::put(std::string(RUN_COMMIT_JOURNAL), "ABcontzz.zzz\nAB0101ZZ.ZLL\n");
    TemporaryDirectory::put(".ABTRVLZZ.DIA.velm-run", "a leftover\r\n");
    test::write_command_file("AB", 1, 1, 2);
    const Snapshot before = TemporaryDirectory::snapshot();

    EXPECT_EQ(test::run_program_to_stop(session_, window_, {""}), "commit journal not the program's own");
    EXPECT_EQ(TemporaryDirectory::snapshot(), before);
    EXPECT_GE(window_.beeps(), 1);
    const std::string shown = refusal_shown(window_);
    EXPECT_NE(shown.find("AN INTERRUPTED CHANGE CANNOT BE FINISHED OR UNDONE:"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Commit journal '.velmora-run.commit' does not begin with the line \"velmora commit "
                         "journal 1\"; nothing was changed"),
              std::string::npos)
        << shown;
}

// The window of a program that waits at one of its reads until the test
// lets it go on: another program in the middle of its editor visit.
class WaitingWindow final : public Window {
public:
    WaitingWindow(std::vector<std::string> typed, std::size_t wait_at, int ready_fd, int go_fd)
        : inner_(std::move(typed)), wait_at_(wait_at), ready_fd_(ready_fd), go_fd_(go_fd)
    {
    }
    void clear_screen() override { inner_.clear_screen(); }
    void move_cursor(int column, int row) override { inner_.move_cursor(column, row); }
    void write(std::string_view text, LineEnd end) override { inner_.write(text, end); }
    void beep() override { inner_.beep(); }
    std::string read_line() override
    {
        if (reads_++ == wait_at_) {
            char byte = 'w';
            if (::write(ready_fd_, &byte, 1) != 1 || ::read(go_fd_, &byte, 1) != 1) _exit(4);
        }
        return inner_.read_line();
    }

private:
    test::ScriptedWindow inner_;
    std::size_t wait_at_;
    int ready_fd_;
    int go_fd_;
    std::size_t reads_ = 0;
};

// A visit to the editor of the sample study from the main menu that gives
// one pipe of map 2301 a new diameter (ft) and saves it.
std::vector<std::string> pipe_edit(const char* upstream, const char* downstream, const char* diameter)
{
    return {"", "4", "", "SA", "6", upstream, downstream, diameter, "0", "0", "0.014", "0", "E", "EX"};
}

// The line of a link in a link data base.
std::string link_line(const std::string& data_base, const std::string& link_start)
{
    const std::size_t at = data_base.find(link_start);
    if (at == std::string::npos) return {};
    return data_base.substr(at, data_base.find('\n', at) - at);
}

// Two engineers edit pipes of one map at once: the second program is refused
// while the first is in its editor, so that neither save is lost.
TEST(TwoEditorVisits, TheSecondProgramIsRefusedAndNoEditIsLost)
{
    TemporaryDirectory directory;
    for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample"))
        fs::copy_file(entry.path(), entry.path().filename());
    TemporaryDirectory::put("SAINDXZZ.ZST", "index\r\n");
    const std::string original = TemporaryDirectory::get("SA2301ZZ.ZLL");
    const std::string first_link = " 230111.0 230113.0";
    const std::string second_link = " 230108.0 230111.0";
    FixedClock clock{DateTime{2024, 5, 6, 7, 8, 9, 10}};

    // The first engineer is at the editor's menu when the second starts.
    int ready[2];
    int go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        WaitingWindow window(pipe_edit("230111", "230113", "4"), 4, ready[1], go[0]);
        Session session{window, clock};
        try {
            run_main_program(session);
        } catch (const ProgramStop&) {
            _exit(0);
        } catch (...) {
        }
        _exit(1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);

    test::ScriptedWindow refused_window;
    Session refused{refused_window, clock};
    EXPECT_EQ(test::run_program_to_stop(refused, refused_window, {""}), SECOND_START_REFUSED);
    EXPECT_NE(refusal_shown(refused_window).find("process " + std::to_string(first)), std::string::npos)
        << refusal_shown(refused_window);

    // The first engineer saves and leaves; the second starts again.
    ASSERT_EQ(write(go[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
    const std::string first_edit = link_line(TemporaryDirectory::get("SA2301ZZ.ZLL"), first_link);
    ASSERT_NE(first_edit, link_line(original, first_link)) << "the first edit was not saved";

    test::ScriptedWindow second_window;
    Session second{second_window, clock};
    EXPECT_EQ(test::run_program_to_stop(second, second_window, pipe_edit("230108", "230111", "3")),
              "run_network_editor_module: EXIT");
    const std::string both = TemporaryDirectory::get("SA2301ZZ.ZLL");
    EXPECT_EQ(link_line(both, first_link), first_edit) << "the first edit was lost";
    EXPECT_NE(link_line(both, second_link), link_line(original, second_link)) << "the second edit was not saved";
}

}  // namespace
}  // namespace velm
