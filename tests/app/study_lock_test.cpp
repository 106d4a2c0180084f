// One program at a time in a study's directories: a second start while
// another program holds the study changes nothing and names the holder;
// whatever else stands at the lock file's name, of this user or another, is
// refused in the window or soundly taken over, never passed over where the
// directory can be written, never waited on; a journal that is not the
// program's own is named and left as found.
//
// Every child a test forks is killed and reaped when the test ends or
// fails, has an alarm that ends it should the test itself hang, and never
// holds the write end of a pipe it reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/main_program.h"
#include "platform/file_change.h"
#include "platform/stop.h"
#include "platform/study_lock.h"
#include "platform/window.h"
#include "support/program_process.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/small_studies.h"

namespace {

// A test's action, asked just before each flock of this test program, with
// the flock's file, until it answers that it acted; none (as ever but in
// the test that sets it) leaves flock the C library's own.
std::function<bool(int fd)> before_flock;

// A test's failure of fchmod, asked before each fchmod of this test
// program with its file: an error number to fail it with, or 0; none (as
// ever but in the test that sets it) leaves fchmod the C library's own.
std::function<int(int fd)> fchmod_failure;

// A test's action, asked just before each link, linkat and rename of this
// test program with the step's name ("link", "linkat", "rename"); none (as
// ever but in the test that sets it) leaves them the C library's own.
std::function<void(const char* step)> before_naming;

// Whether this test program's linkat of an open file (through /proc/self/fd)
// fails as it fails where /proc is not mounted, so that the lock's
// unnamed file cannot be given a name.
bool unnamed_files_cannot_be_named = false;

}  // namespace

extern "C" int link(const char* from, const char* to) noexcept
{
    if (before_naming) before_naming("link");
    return static_cast<int>(syscall(SYS_linkat, AT_FDCWD, from, AT_FDCWD, to, 0));
}

extern "C" int linkat(int from_directory, const char* from, int to_directory, const char* to, int flags) noexcept
{
    if (before_naming) before_naming("linkat");
    if (unnamed_files_cannot_be_named && std::strncmp(from, "/proc/self/fd/", 14) == 0) {
        errno = ENOENT;
        return -1;
    }
    return static_cast<int>(syscall(SYS_linkat, from_directory, from, to_directory, to, flags));
}

extern "C" int rename(const char* from, const char* to) noexcept
{
    if (before_naming) before_naming("rename");
    return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

// The fchmod of this test program: fails as the test says, as it fails for
// a user on another user's file.  This test program's definition stands in
// for the C library's; the program itself is not touched.
extern "C" int fchmod(int fd, mode_t mode) noexcept
{
    if (fchmod_failure) {
        if (const int error = fchmod_failure(fd); error != 0) {
            errno = error;
            return -1;
        }
    }
    return static_cast<int>(syscall(SYS_fchmod, fd, mode));
}

// The flock of the lock as this test program calls it: the test's action,
// when one is set, goes just before it, at the one moment between a lock
// file's open and its lock when another program may remove or replace the
// file at its name.  This test program's definition stands in for the C
// library's; the program itself is not touched.
extern "C" int flock(int fd, int operation) noexcept
{
    if (before_flock && before_flock(fd)) before_flock = nullptr;
    return static_cast<int>(syscall(SYS_flock, fd, operation));
}

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Snapshot = std::map<std::string, std::string>;

const DateTime OTHER_PROGRAM_STARTED{2024, 3, 5, 14, 7, 9, 0};
const std::string SECOND_START_REFUSED = "another run holds the study";
const std::string LOCK_FILE_REFUSED = "the lock file cannot be used";
// A child of a test ends by its alarm after this long, whatever happens.
constexpr unsigned CHILD_SECONDS = 60;

// Forks a child of a test that runs `body` and ends there: by the body's own
// _exit, at its alarm, or with status 125 when the body returns or throws,
// so that a child never goes back into the test program's own run of its
// tests.  The child's process id (below 0 when the fork failed).
pid_t fork_child(const std::function<void()>& body)
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    alarm(CHILD_SECONDS);
    try {
        body();
    } catch (...) {
    }
    _exit(125);
}

// A forked child of a test: killed and reaped when the test ends, fails or
// returns early, so that no child is left blocking.
class Child {
public:
    explicit Child(pid_t pid = -1) : pid_(pid) {}
    ~Child() { kill(); }
    Child(Child&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
    Child& operator=(Child&& other) noexcept
    {
        kill();
        pid_ = std::exchange(other.pid_, -1);
        return *this;
    }

    void kill()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Waits for its end (its alarm bounds the wait); the wait status.
    int wait()
    {
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) != pid_) status = -1;
        pid_ = -1;
        return status;
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

// A pipe whose ends a child does not keep across its program's start; each
// end is closed when the pipe goes, or when given up by `take`.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe()
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    ~Pipe()
    {
        close_read();
        close_write();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void close_read()
    {
        if (read >= 0) close(read);
        read = -1;
    }
    void close_write()
    {
        if (write >= 0) close(write);
        write = -1;
    }
};

// Waits for one byte on the read end of a pipe: false at its end (the
// writer ended without it).
bool byte_arrives(int fd)
{
    char byte = 0;
    for (;;) {
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 1) return true;
        if (got == 0 || errno != EINTR) return false;
    }
}

// Another program holding the lock of the given directories, as the program
// takes it: a forked child that keeps it until it is killed.
class OtherProgram {
public:
    explicit OtherProgram(const std::vector<std::string>& directories, bool writes_its_line = true)
    {
        Pipe ready;
        const pid_t pid = fork_child([&] {
            ready.close_read();
            StudyLock lock;
            if (lock.take(directories, writes_its_line ? lock_holder_line(OTHER_PROGRAM_STARTED) : "")) _exit(2);
            const char byte = 'r';
            if (::write(ready.write, &byte, 1) != 1) _exit(3);
            for (;;) pause();
        });
        child_ = Child(pid);
        ready.close_write();
        EXPECT_TRUE(byte_arrives(ready.read)) << "the other program took no lock";
    }

    void kill() { child_.kill(); }
    pid_t pid() const { return child_.pid(); }

private:
    Child child_;
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
    return window.reads().empty() ? std::string() : test::snapshot_rows_joined(window.reads().back(), 18, 22);
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
    const std::string holder =
        "process " + std::to_string(other.pid()) + " on machine " + machine_name() + ", started 2024-03-05 14:07:09.";
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
    // The working directory's lock file, left by a killed run, is taken
    // over before the data directory is met: the refusal gives it back
    // byte for byte.
    TemporaryDirectory::put(std::string(STUDY_LOCK_FILE),
                            "velmora lock: process 4711, machine hydro1, started 2024-01-02 03:04:05\n");
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
    EXPECT_FALSE(fs::exists(STUDY_LOCK_FILE));
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
    Pipe ready;
    Pipe go;
    const pid_t pid = fork_child([&] {
        ready.close_read();
        go.close_write();
        WaitingWindow window(pipe_edit("230111", "230113", "4"), 4, ready.write, go.read);
        Session session{window, clock};
        try {
            run_main_program(session);
        } catch (const ProgramStop&) {
            _exit(0);
        } catch (...) {
        }
        _exit(1);
    });
    ASSERT_GE(pid, 0);
    Child first(pid);
    ready.close_write();
    go.close_read();
    ASSERT_TRUE(byte_arrives(ready.read)) << "the first engineer never reached the editor";

    test::ScriptedWindow refused_window;
    Session refused{refused_window, clock};
    EXPECT_EQ(test::run_program_to_stop(refused, refused_window, {""}), SECOND_START_REFUSED);
    EXPECT_NE(refusal_shown(refused_window).find("process " + std::to_string(first.pid())), std::string::npos)
        << refusal_shown(refused_window);

    // The first engineer saves and leaves; the second starts again.
    const char byte = 'g';
    ASSERT_EQ(write(go.write, &byte, 1), 1);
    const int status = first.wait();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
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

// What can stand at a lock file's name besides a lock file, made in the
// working directory by the user the calling child is.
enum class Standing { LinkToFile, DanglingLink, Directory, Fifo, FifoNoOneWrites, Socket };

bool make_standing(Standing standing)
{
    const char* name = ".velmora.lock";
    switch (standing) {
        case Standing::LinkToFile: {
            const int fd = open("linked.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (fd < 0 || ::write(fd, "a file\n", 7) != 7) return false;
            close(fd);
            return symlink("linked.txt", name) == 0;
        }
        case Standing::DanglingLink:
            return symlink("missing.txt", name) == 0;
        case Standing::Directory:
            return mkdir(name, 0777) == 0;
        case Standing::Fifo:
            // Readable by every user: opened for reading only, it would wait
            // for a writer.
            return mkfifo(name, 0644) == 0 && chmod(name, 0644) == 0;
        case Standing::FifoNoOneWrites:
            // Not even its owner (but root) may open it for writing: it is
            // opened for reading only, which would wait for a writer.
            return mkfifo(name, 0444) == 0 && chmod(name, 0444) == 0;
        case Standing::Socket: {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strcpy(address.sun_path, name);
            const bool made = fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
            if (fd >= 0) close(fd);
            return made;
        }
    }
    return false;
}

// The lock file's name taken, in a data directory, by what is no lock file:
// the start is refused, naming the directory and what stands there, and
// changes nothing.
TEST_F(StudyLockTest, WhatIsNoLockFileInADataDirectoryRefusesTheStart)
{
    const struct {
        Standing standing;
        const char* shown;
    } cases[] = {
        {Standing::LinkToFile,
         "In the data directory shared/: .velmora.lock is a symbolic link, not a lock file of "
         "the program. Nothing was changed; remove it and start again."},
        {Standing::DanglingLink, "In the data directory shared/: .velmora.lock is a symbolic link, not a lock file"},
        {Standing::Directory, "In the data directory shared/: .velmora.lock is a directory, not a lock file"},
        {Standing::Fifo, "In the data directory shared/: .velmora.lock is a fifo (named pipe), not a lock file"},
        {Standing::Socket, "In the data directory shared/: .velmora.lock is a socket, not a lock file"},
    };
    TemporaryDirectory::put("ABMPDZZ.ZZZ", "shared/\r\n");
    test::write_command_file("AB", 1, 1, 2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        fs::remove_all("shared");
        fs::create_directory("shared");
        fs::current_path("shared");
        ASSERT_TRUE(make_standing(c.standing));
        fs::current_path("..");
        const Snapshot before = TemporaryDirectory::snapshot();

        test::ScriptedWindow window;
        Session session{window, clock_};
        EXPECT_EQ(test::run_program_to_stop(session, window, {""}), LOCK_FILE_REFUSED);
        EXPECT_EQ(TemporaryDirectory::snapshot(), before);
        EXPECT_TRUE(fs::exists(fs::symlink_status("shared/.velmora.lock")));
        EXPECT_FALSE(fs::exists(".velmora.lock")) << "the working directory's lock was left";
        const std::string shown = refusal_shown(window);
        EXPECT_NE(shown.find("NO LOCK CAN BE TAKEN IN THIS STUDY'S DATA DIRECTORY:"), std::string::npos) << shown;
        EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    }
}

// ----------------------------------------------------------------------
// The users these tests run as.

// The users the programs of these tests run as.  Run as root, they run as
// two ordinary users, the owner of what stands at the lock file's name and
// another user: root may open every file and write every directory, so its
// starts would not meet what an engineer's start meets.  Run as an ordinary
// user, that user is the owner, and another user is had only where this
// test may become one.
uid_t owner_user()
{
    return geteuid() == 0 ? 65534 : geteuid();
}
uid_t another_user()
{
    return owner_user() == 65533 ? 65534 : 65533;
}

// In a forked child: goes on as the user, with no other groups (a child
// that is that user already stays as it is).  True only when the child then
// runs as that user.
bool become(uid_t user)
{
    if (geteuid() != user || getuid() != user) {
        if (setgroups(0, nullptr) != 0 || setgid(user) != 0 || setuid(user) != 0) return false;
    }
    return geteuid() == user && getuid() == user;
}

// Whether this test may start children as the user: the present user
// always, another only where a child really becomes it.
bool can_run_as(uid_t user)
{
    if (geteuid() == user && getuid() == user) return true;
    const pid_t pid = fork_child([&] { _exit(become(user) ? 0 : 1); });
    if (pid < 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string user_name(uid_t user)
{
    const passwd* entry = getpwuid(user);
    return entry != nullptr ? std::string(entry->pw_name) : "uid " + std::to_string(user);
}

// What a forked child tells that runs `body` as the user ("not become the
// user" where it cannot become it); the test fails unless the child ends
// having told it.
std::string told_by_child_as(uid_t user, const std::function<std::string()>& body)
{
    Pipe answer;
    const pid_t pid = fork_child([&] {
        answer.close_read();
        const std::string told = become(user) ? body() : "not become the user";
        _exit(::write(answer.write, told.data(), told.size()) == static_cast<ssize_t>(told.size()) ? 0 : 3);
    });
    if (pid < 0) {
        ADD_FAILURE() << "no child forked";
        return {};
    }
    Child child(pid);
    answer.close_write();
    std::string told;
    char byte = 0;
    while (::read(answer.read, &byte, 1) == 1) told += byte;
    EXPECT_EQ(child.wait(), 0);
    return told;
}

// ----------------------------------------------------------------------
// The lock taken in this test's process, at the moments a start can meet.

const std::string KILLED_RUN_LINE = "velmora lock: process 4711, machine hydro1, started 2024-01-02 03:04:05\n";

// Sets the umask for a test and gives the old one back at its end.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(umask(mask)) {}
    ~Umask() { umask(old_); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t old_;
};

unsigned mode_of(const fs::path& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? static_cast<unsigned>(info.st_mode & 07777) : 01000000u;
}

// The lock file is open to every user who may change the directory,
// whatever the umask (here 077): made so, and a killed run's file of a
// narrower mode made so when its lock is taken.
TEST(TakingTheLock, TheLockFileIsOpenToEveryUserWhateverTheUmask)
{
    const Umask mask(077);
    const struct {
        const char* name;
        mode_t found;  // the mode of a killed run's lock file found at the name; 0 for none
    } cases[] = {
        {"nothing at the name", 0}, {"a killed run's of mode 0600", 0600}, {"a killed run's of mode 0644", 0644}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        if (c.found != 0) {
            TemporaryDirectory::put(std::string(STUDY_LOCK_FILE), KILLED_RUN_LINE);
            ASSERT_EQ(chmod(STUDY_LOCK_FILE.data(), c.found), 0);
        }
        StudyLock lock;
        const std::string line = lock_holder_line(OTHER_PROGRAM_STARTED);
        ASSERT_FALSE(lock.take({"."}, line).has_value());
        EXPECT_EQ(mode_of(STUDY_LOCK_FILE), 0666u);
        EXPECT_EQ(TemporaryDirectory::get(STUDY_LOCK_FILE), line);
    }
}

// Whether an open file is the one standing at the lock file's name.
bool stands_at_lock_name(int fd)
{
    struct stat opened {};
    struct stat standing {};
    return fstat(fd, &opened) == 0 && lstat(STUDY_LOCK_FILE.data(), &standing) == 0 &&
           opened.st_dev == standing.st_dev && opened.st_ino == standing.st_ino;
}

// The lock counts only on the file that stands at the lock file's name: a
// file that another program removed or replaced there once this start
// opened or made it, before its lock counts (the holder before, ending or
// taking a killed run's file over), is let go, and the lock taken on the
// file at the name, which then holds this start's line and keeps a second
// start out.
TEST(TakingTheLock, ALockIsTakenOnlyOnTheFileStandingAtItsName)
{
    const struct {
        const char* name;
        bool found;     // a killed run's lock file stands at the name before
        bool replaced;  // the file opened is replaced at its name, else removed
    } cases[] = {
        {"the lock file made here, removed", false, false},
        {"the lock file made here, replaced", false, true},
        {"a killed run's lock file, removed", true, false},
        {"a killed run's lock file, replaced", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        if (c.found) TemporaryDirectory::put(std::string(STUDY_LOCK_FILE), KILLED_RUN_LINE);
        const bool replaced = c.replaced;
        bool acted = false;
        before_flock = [replaced, &acted](int fd) {
            if (!stands_at_lock_name(fd)) return false;
            acted = true;
            if (replaced) {
                TemporaryDirectory::put(".another", "another program's lock file\n");
                fs::rename(".another", STUDY_LOCK_FILE);
            } else {
                fs::remove(STUDY_LOCK_FILE);
            }
            return true;
        };
        StudyLock lock;
        const std::string line = lock_holder_line(OTHER_PROGRAM_STARTED);
        const auto refused = lock.take({"."}, line);
        before_flock = nullptr;
        ASSERT_TRUE(acted) << "no flock of the file at the lock file's name";
        ASSERT_FALSE(refused.has_value());
        EXPECT_EQ(TemporaryDirectory::get(STUDY_LOCK_FILE), line);
        StudyLock second;
        const auto holder = second.take({"."});
        ASSERT_TRUE(holder.has_value()) << "the lock of the file at the name is free";
        EXPECT_EQ(holder->process, static_cast<long>(getpid()));
    }
}

// A start that meets a lock file another start has just made, before its
// maker's lock counts, never takes it from its maker: were it to take the
// lock and then be refused at a data directory, it would give the file
// back as it found it and leave it behind, while its maker, refused by it,
// would never remove it.  Here the second start comes, in this process, at
// the first one's lock of the file it made; the second is refused later at
// a data directory held by another program.  Once both have let go,
// nothing stands at the name.
TEST(TakingTheLock, ALockFileMadeByOneStartIsNeverLeftBehindByAnother)
{
    TemporaryDirectory directory;
    fs::create_directory("shared");
    OtherProgram other({"shared"});
    StudyLock first;
    StudyLock second;
    bool acting = false;
    bool acted = false;
    before_flock = [&](int fd) {
        if (acting || !stands_at_lock_name(fd)) return false;
        acting = true;
        second.take({"."}, lock_holder_line(OTHER_PROGRAM_STARTED));
        acted = true;
        return true;
    };
    first.take({"."}, lock_holder_line(OTHER_PROGRAM_STARTED));
    before_flock = nullptr;
    ASSERT_TRUE(acted) << "no flock of the file at the lock file's name";
    const auto refused = second.take({"shared"});
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->process, static_cast<long>(other.pid()));
    first.release();
    second.release();
    EXPECT_FALSE(fs::exists(fs::symlink_status(STUDY_LOCK_FILE))) << "the lock file was left behind";
    EXPECT_EQ(TemporaryDirectory::entries(), std::vector<std::string>{"shared"});
}

// A killed run's lock file that this user may neither write nor open to
// every user (another user's, of mode 0444, whose mode this user cannot
// change: here the test makes its mode unchangeable for its owner too) is
// replaced by a lock file of the program's own, renamed over it: the start
// takes the lock, its lock file open to every user and naming it.
TEST(TakingTheLock, AKilledRunsLockFileThisUserCannotWriteIsReplaced)
{
    const uid_t user = owner_user();
    if (!can_run_as(user)) GTEST_SKIP() << "this test cannot start a child as the user " << user;
    TemporaryDirectory directory;
    fs::permissions(directory.path(), fs::perms::all);
    const std::string told = told_by_child_as(user, [] {
        TemporaryDirectory::put(std::string(STUDY_LOCK_FILE), KILLED_RUN_LINE);
        struct stat found {};
        if (chmod(STUDY_LOCK_FILE.data(), 0444) != 0 || lstat(STUDY_LOCK_FILE.data(), &found) != 0)
            return std::string("no lock file of mode 0444 made");
        fchmod_failure = [found](int fd) {
            struct stat info {};
            return fstat(fd, &info) == 0 && info.st_dev == found.st_dev && info.st_ino == found.st_ino ? EPERM : 0;
        };
        StudyLock lock;
        const std::string line = lock_holder_line(OTHER_PROGRAM_STARTED);
        if (const auto refused = lock.take({"."}, line))
            return "refused, naming " + (refused->readable ? std::to_string(refused->process) : std::string("no one"));
        struct stat standing {};
        if (lstat(STUDY_LOCK_FILE.data(), &standing) != 0) return std::string("no lock file");
        char mode[16];
        std::snprintf(mode, sizeof mode, "mode %04o", static_cast<unsigned>(standing.st_mode & 07777));
        std::string told = mode;
        if (standing.st_ino == found.st_ino) told += ", the killed run's file";
        if (TemporaryDirectory::get(STUDY_LOCK_FILE) != line) told += ", not naming it";
        return told;
    });
    EXPECT_EQ(told, "mode 0666");
}

// A holder writes its line the moment it takes the lock, but a start that
// meets the lock in that moment finds no line yet: it looks again, and its
// refusal names the holder.  Here the holder writes its line only once the
// start has tried the lock of the holder's file a second time, so that the
// start's first look finds no line whatever the machine's speed, and only a
// start that looks again names the holder.
TEST(TakingTheLock, AHolderThatWritesItsLineLateIsNamed)
{
    TemporaryDirectory directory;
    Pipe ready;
    Pipe go;
    const pid_t pid = fork_child([&] {
        ready.close_read();
        go.close_write();
        StudyLock lock;
        if (lock.take({"."})) _exit(2);
        char byte = 'r';
        if (::write(ready.write, &byte, 1) != 1) _exit(3);
        if (::read(go.read, &byte, 1) != 1) _exit(4);
        lock.write_holder(lock_holder_line(OTHER_PROGRAM_STARTED));
        for (;;) pause();
    });
    ASSERT_GE(pid, 0);
    Child holder(pid);
    ready.close_write();
    go.close_read();
    ASSERT_TRUE(byte_arrives(ready.read)) << "the holder took no lock";
    ASSERT_EQ(TemporaryDirectory::get(STUDY_LOCK_FILE), "");

    int tries = 0;  // of the lock of the holder's file
    bool met = false;
    before_flock = [&](int fd) {
        if (!stands_at_lock_name(fd) || ++tries < 2) return false;
        const char byte = 'g';
        met = ::write(go.write, &byte, 1) == 1;
        return true;
    };
    StudyLock lock;
    const auto found = lock.take({"."}, lock_holder_line(OTHER_PROGRAM_STARTED));
    before_flock = nullptr;
    ASSERT_TRUE(met) << "the start did not look again at the holder's file";
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->readable);
    EXPECT_EQ(found->process, static_cast<long>(pid));
    EXPECT_EQ(found->started, "2024-03-05 14:07:09");
}

// A holder's line naming a live process of this machine that this user may
// not signal (another user's: the system's first process) names a program
// at work, not a dead one: the refusal names it.
TEST(TakingTheLock, AHolderOfAnotherUserIsNamed)
{
    const uid_t user = owner_user();
    if (!can_run_as(user)) GTEST_SKIP() << "this test cannot start a child as the user " << user;
    struct stat first_process {};
    if (stat("/proc/1", &first_process) != 0 || first_process.st_uid == user)
        GTEST_SKIP() << "no live process of another user is known";
    TemporaryDirectory directory;
    fs::permissions(directory.path(), fs::perms::all);
    const int fd = open(STUDY_LOCK_FILE.data(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    ASSERT_GE(fd, 0);
    const std::string line = "velmora lock: process 1, machine " + machine_name() + ", started 2024-03-05 14:07:09\n";
    ASSERT_EQ(fchmod(fd, 0666), 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));

    const std::string told = told_by_child_as(user, [&directory] {
        StudyLock lock;
        const auto found = lock.take({directory.path().string()});
        return !found            ? std::string("the lock taken")
               : found->readable ? std::to_string(found->process)
                                 : std::string("no one");
    });
    EXPECT_EQ(told, "1") << "the refusal named " << told;
    close(fd);
}

// A take refused at a later directory leaves the file it found at an
// earlier one (a killed run's lock file, or whatever file stood there) with
// the bytes it found there, every one of them.
TEST(TakingTheLock, ARefusedTakeGivesEachLockFileItFoundItsBytesBack)
{
    std::string long_text;
    while (long_text.size() < 6000) long_text += "a note that someone kept under the lock file's name\n";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"a killed run's line", KILLED_RUN_LINE},
        {"a line without its end", "velmora lock: process 4711"},
        {"an empty file", ""},
        {"a long text", long_text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        fs::create_directory("shared");
        OtherProgram other({"shared"});
        TemporaryDirectory::put(std::string(STUDY_LOCK_FILE), c.bytes);
        ASSERT_EQ(chmod(STUDY_LOCK_FILE.data(), 0666), 0);

        StudyLock lock;
        const auto found = lock.take({".", "shared"}, lock_holder_line(OTHER_PROGRAM_STARTED));
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->directory, "shared");
        EXPECT_EQ(found->process, static_cast<long>(other.pid()));
        EXPECT_FALSE(lock.held());
        EXPECT_TRUE(TemporaryDirectory::get(STUDY_LOCK_FILE) == c.bytes)
            << "found " << c.bytes.size() << " bytes, left " << TemporaryDirectory::get(STUDY_LOCK_FILE).size() << ":\n"
            << TemporaryDirectory::get(STUDY_LOCK_FILE).substr(0, 200);
    }
}

// What stands at a name: its file, mode, links and bytes, to tell whether a
// start changed it.
std::string file_described(const fs::path& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return "nothing";
    return "inode " + std::to_string(info.st_ino) + " mode " + std::to_string(info.st_mode & 07777) + " links " +
           std::to_string(info.st_nlink) + " size " + std::to_string(info.st_size) +
           (S_ISREG(info.st_mode) && info.st_size < (1 << 20) ? " bytes " + TemporaryDirectory::get(path) : "");
}

// The names of the directory that belong to the lock: its file and the
// hidden names its files are made under.
std::vector<std::string> lock_names(const fs::path& directory = ".")
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(std::string(STUDY_LOCK_FILE), 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file found at the lock file's name that the lock is free on may be
// anything: a second link of a study's data base, of a control file kept
// read-only, a killed run's lock file of mode 0644, a huge file.  The start
// takes the lock by putting a lock file of its own in its place, never
// writing, cutting or opening to every user the file found; a start refused
// at a later directory leaves the file at the name as it was.
TEST(TakingTheLock, AFileFoundAtTheLockFilesNameIsNeverWrittenCutOrGivenAnotherMode)
{
    std::string data_base;
    while (data_base.size() < 20000) data_base += "  123502.0  130101.0    1   48.0  0.013  an element of the link\r\n";
    const struct {
        const char* name;
        const char* file;  // a study file linked at the lock file's name, or none
        std::string bytes;
        mode_t mode;
        off_t size;  // the file's size, past its bytes (a hole)
    } cases[] = {
        {"a second link of a link data base", "SA2301ZZ.ZLL", data_base, 0644, 0},
        {"a second link of a read-only control file", "SAcontzz.zzz", "SA\r\n1\r\n2\r\n", 0444, 0},
        {"a killed run's lock file of mode 0644", nullptr, KILLED_RUN_LINE, 0644, 0},
        {"a killed run's lock file of 1 GiB", nullptr, KILLED_RUN_LINE, 0666, off_t{1} << 30},
    };
    for (const auto& c : cases) {
        for (const bool refused : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (refused ? ", the start refused later" : ", the start taking it"));
            TemporaryDirectory directory;
            const fs::path found = c.file != nullptr ? fs::path(c.file) : fs::path(STUDY_LOCK_FILE);
            TemporaryDirectory::put(found, c.bytes);
            if (c.size > 0) {
                ASSERT_EQ(truncate(found.c_str(), c.size), 0);
            }
            ASSERT_EQ(chmod(found.c_str(), c.mode), 0);
            if (c.file != nullptr) {
                ASSERT_EQ(::link(c.file, STUDY_LOCK_FILE.data()), 0);
            }
            const std::string found_before = file_described(found);
            const std::string lock_before = file_described(STUDY_LOCK_FILE);
            fs::create_directory("shared");
            std::unique_ptr<OtherProgram> other;
            if (refused) other = std::make_unique<OtherProgram>(std::vector<std::string>{"shared"});

            StudyLock lock;
            const std::string line = lock_holder_line(OTHER_PROGRAM_STARTED);
            const auto holder = lock.take({"."}, line, true);
            ASSERT_FALSE(holder.has_value());
            const auto later = lock.take({"shared"}, line);
            if (refused) {
                ASSERT_TRUE(later.has_value());
                EXPECT_FALSE(lock.held());
                EXPECT_EQ(file_described(STUDY_LOCK_FILE), lock_before) << "the file at the lock's name changed";
            } else {
                ASSERT_FALSE(later.has_value());
                EXPECT_EQ(mode_of(STUDY_LOCK_FILE), 0666u);
                EXPECT_EQ(TemporaryDirectory::get(STUDY_LOCK_FILE), line);
                lock.release();
                EXPECT_EQ(lock_names(), std::vector<std::string>{});
            }
            if (c.file != nullptr) {
                struct stat info {};
                ASSERT_EQ(lstat(c.file, &info), 0);
                EXPECT_EQ(static_cast<unsigned>(info.st_mode & 07777), static_cast<unsigned>(c.mode));
                EXPECT_TRUE(TemporaryDirectory::get(c.file) == c.bytes) << c.file << " changed";
            }
        }
    }
}

// Where the directory cannot be changed, a file found at the lock file's
// name is locked where it stands, and written only when it is a lock file:
// one link, holding a holder's line or nothing.  (Run as an ordinary user,
// for whom a directory can be read-only.)
TEST(TakingTheLock, AFileFoundInADirectoryThatCannotBeChangedIsWrittenOnlyWhenItIsALockFile)
{
    const uid_t user = owner_user();
    if (!can_run_as(user)) GTEST_SKIP() << "this test cannot start a child as the user " << user;
    const struct {
        const char* name;
        const char* linked;  // the study file linked at the lock file's name, or none
        std::string bytes;
        bool written;
    } cases[] = {
        {"a killed run's lock file", nullptr, KILLED_RUN_LINE, true},
        {"an empty lock file", nullptr, "", true},
        {"a second link of a link data base", "SA2301ZZ.ZLL", "  123502.0  130101.0    1   48.0\r\n", false},
        {"a second link of a killed run's lock file", "kept.lock", KILLED_RUN_LINE, false},
        {"a note kept under the lock's name", nullptr, "a note that someone kept here\n", false},
        {"a holder's line with a note after it", nullptr, KILLED_RUN_LINE + "a note that someone kept here\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory top;
        fs::permissions(top.path(), fs::perms::all);
        const std::string told = told_by_child_as(user, [&c] {
            fs::create_directory("study");
            const fs::path found = fs::path("study") / (c.linked != nullptr ? c.linked : ".velmora.lock");
            TemporaryDirectory::put(found, c.bytes);
            chmod(found.c_str(), 0666);
            if (c.linked != nullptr && ::link(found.c_str(), "study/.velmora.lock") != 0)
                return std::string("no link made");
            if (chmod("study", 0555) != 0) return std::string("the directory not made read-only");
            const std::string line = lock_holder_line(OTHER_PROGRAM_STARTED);
            StudyLock lock;
            if (lock.take({"study"}, line)) return std::string("refused");
            std::string told = TemporaryDirectory::get("study/.velmora.lock") == line ? "written" : "not written";
            if (TemporaryDirectory::get(found) != (c.linked != nullptr || !c.written ? c.bytes : line))
                told += ", the found file changed";
            if (mode_of(found) != 0666) told += ", its mode changed";
            // Held: a second start is refused.
            StudyLock second;
            if (!second.take({"study"})) told += ", the lock not held";
            lock.release();
            chmod("study", 0755);
            return told;
        });
        EXPECT_EQ(told, c.written ? "written" : "not written");
    }
}

// Where the lock's hidden names are taken (by directories, or another
// user's leftovers of a process of the same number) and the file system
// gives an unnamed file no name, the start makes its lock file under
// another hidden name: never at the lock file's name itself, where another
// start could take it before it is locked.
TEST(TakingTheLock, WithItsHiddenNamesTakenNoStartMakesItsLockFileAtTheLockFilesName)
{
    for (const bool found : {false, true}) {
        SCOPED_TRACE(found ? "a killed run's lock file at the name" : "nothing at the name");
        TemporaryDirectory directory;
        const std::string own = std::string(STUDY_LOCK_FILE) + "." + std::to_string(getpid());
        for (const std::string& taken : {own + ".new", own + ".1.new", own + ".2.new"}) fs::create_directory(taken);
        if (found) TemporaryDirectory::put(std::string(STUDY_LOCK_FILE), KILLED_RUN_LINE);
        const std::string line = lock_holder_line(OTHER_PROGRAM_STARTED);
        struct stat found_info {};
        if (found) {
            ASSERT_EQ(lstat(STUDY_LOCK_FILE.data(), &found_info), 0);
        }
        unnamed_files_cannot_be_named = true;
        // Every lock file of the start's own is locked, and holds its line,
        // before it stands at the lock file's name: at each of its locks,
        // links and renames, any other file than the one found there stands
        // locked (probed through an open file of its own) and named.
        std::vector<std::string> seen;
        const auto look = [&] {
            struct stat standing {};
            if (lstat(STUDY_LOCK_FILE.data(), &standing) != 0 || (found && standing.st_ino == found_info.st_ino))
                return;
            const int probe = open(STUDY_LOCK_FILE.data(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (probe < 0) return;
            if (syscall(SYS_flock, probe, LOCK_EX | LOCK_NB) == 0) seen.push_back("a lock file at the name unlocked");
            close(probe);
            if (TemporaryDirectory::get(STUDY_LOCK_FILE) != line)
                seen.push_back("a lock file at the name without its line");
        };
        before_flock = [&](int) {
            look();
            return false;
        };
        before_naming = [&](const char*) { look(); };
        StudyLock lock;
        const auto refused = lock.take({"."}, line);
        before_flock = nullptr;
        before_naming = nullptr;
        unnamed_files_cannot_be_named = false;
        ASSERT_FALSE(refused.has_value());
        EXPECT_EQ(seen, std::vector<std::string>{});
        EXPECT_EQ(TemporaryDirectory::get(STUDY_LOCK_FILE), line);
        lock.release();
        EXPECT_EQ(lock_names(), (std::vector<std::string>{own + ".1.new", own + ".2.new", own + ".new"}));
    }
}

// A start killed while it takes its lock, at any of its locks, links and
// renames (its lock file made unnamed, or under a hidden name where unnamed
// files cannot be named; with nothing at the name, or a killed run's lock
// file to take over): after the next start has taken and released the
// lock, no lock file of any name is left.
TEST(TakingTheLock, NothingAStartKilledWhileItTakesItsLockMakesOutlivesTheNextStart)
{
    for (const bool unnamed : {true, false}) {
        for (const bool found : {false, true}) {
            SCOPED_TRACE(std::string(unnamed ? "made unnamed" : "made under a hidden name") +
                         (found ? ", a killed run's lock file at the name" : ", nothing at the name"));
            int steps = 0;
            for (int kill_at = 1;; ++kill_at) {
                SCOPED_TRACE("killed at step " + std::to_string(kill_at));
                TemporaryDirectory directory;
                if (found) TemporaryDirectory::put(std::string(STUDY_LOCK_FILE), KILLED_RUN_LINE);
                const pid_t pid = fork_child([&] {
                    int step = 0;
                    unnamed_files_cannot_be_named = !unnamed;
                    const auto step_reached = [&] {
                        if (++step == kill_at) raise(SIGKILL);
                    };
                    before_flock = [&](int) {
                        step_reached();
                        return false;
                    };
                    before_naming = [&](const char*) { step_reached(); };
                    StudyLock lock;
                    if (lock.take({"."}, lock_holder_line(OTHER_PROGRAM_STARTED))) _exit(2);
                    _exit(0);
                });
                ASSERT_GE(pid, 0);
                Child child(pid);
                const int status = child.wait();
                const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
                ASSERT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "status " << status;

                StudyLock next;
                ASSERT_FALSE(next.take({"."}, lock_holder_line(OTHER_PROGRAM_STARTED)).has_value());
                next.release();
                EXPECT_EQ(lock_names(), std::vector<std::string>{});
                if (!killed) break;
                steps = kill_at;
                ASSERT_LT(kill_at, 50) << "the take never ends";
            }
            EXPECT_GE(steps, 2);
        }
    }
}

// What a start killed while it made its lock file left under the lock's
// hidden names is removed by the next start that takes the lock there, once
// its maker has ended (its lock is then free); a hidden file still locked
// (a start at work making its lock file), or what only resembles one, stays.
TEST(TakingTheLock, TheNextStartRemovesOnlyTheHiddenFilesOfEndedStarts)
{
    TemporaryDirectory directory;
    const std::string left = std::string(STUDY_LOCK_FILE) + ".4711.new";
    const std::string left_again = std::string(STUDY_LOCK_FILE) + ".4711.3.new";
    const std::string at_work = std::string(STUDY_LOCK_FILE) + ".4712.new";
    const std::string a_directory = std::string(STUDY_LOCK_FILE) + ".4713.new";
    const std::string a_note = std::string(STUDY_LOCK_FILE) + ".notes.new";
    TemporaryDirectory::put(left, KILLED_RUN_LINE);
    TemporaryDirectory::put(left_again, "");
    TemporaryDirectory::put(at_work, KILLED_RUN_LINE);
    fs::create_directory(a_directory);
    TemporaryDirectory::put(a_note, "kept\n");
    const int held = open(at_work.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    // Held by another open file, as another process holds it.
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

    StudyLock lock;
    ASSERT_FALSE(lock.take({"."}, lock_holder_line(OTHER_PROGRAM_STARTED)).has_value());
    lock.release();
    close(held);
    EXPECT_EQ(lock_names(), (std::vector<std::string>{at_work, a_directory, a_note}));
}

// ----------------------------------------------------------------------
// The real program, started by users.

// The lines of a window's output trimmed and joined by blanks, so that a
// message broken over rows reads whole.
std::string joined_lines(const std::string& output)
{
    std::string text;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos) text += line.substr(first, line.find_last_not_of(' ') + 1 - first) + " ";
        start = end + 1;
    }
    return text;
}

const std::string PROGRAM_WORKS = "Program Library";
const std::string HELD_HEADING = "ANOTHER RUN OF THE PROGRAM IS WORKING IN THIS DIRECTORY:";
const std::string HELD_DATA_HEADING = "ANOTHER RUN OF THE PROGRAM IS WORKING IN THIS STUDY'S DATA DIRECTORY:";
const std::string NO_LOCK_HEADING = "NO LOCK CAN BE TAKEN IN THIS DIRECTORY:";

// The real program started in a directory as a user, with a umask of 077
// (which must not narrow its lock file): its input a pipe the test holds, so
// that it waits at its first read, its window read back.  Given a `starter`
// pipe, it starts only when the test closes that pipe's write end, so that
// many start at one moment.  Killed when the test ends.
class StartedProgram {
public:
    StartedProgram(const fs::path& directory, uid_t user, Pipe* starter = nullptr)
    {
        const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
        // A program that ended before its RETURN is typed fails the test,
        // not the test program.
        signal(SIGPIPE, SIG_IGN);
        const pid_t pid = fork_child([&] {
            signal(SIGPIPE, SIG_DFL);
            if (starter != nullptr) {
                starter->close_write();
                byte_arrives(starter->read);
            }
            umask(077);
            if (dup2(input_.read, 0) < 0 || dup2(window_.write, 1) < 0 || dup2(window_.write, 2) < 0) _exit(125);
            if (!become(user) || chdir(directory.c_str()) != 0) _exit(126);
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        });
        child_ = Child(pid);
        input_.close_read();
        window_.close_write();
    }

    pid_t pid() const { return child_.pid(); }

    // Reads the window until it shows one of the texts (the program then
    // waits for its input) or the program ends; the text found, or nothing.
    std::string wait_for(const std::vector<std::string>& texts)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(CHILD_SECONDS);
        for (;;) {
            for (const std::string& text : texts)
                if (output_.find(text) != std::string::npos) return text;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || window_.read < 0) return {};
            pollfd ready{window_.read, POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
            if (!read_some()) window_.close_read();
        }
    }

    // Types RETURN (past a refusal, or the title page) and ends its input;
    // its exit status once it has ended, -1 when it did not end by itself.
    int end()
    {
        if (::write(input_.write, "\n", 1) != 1) return -2;
        input_.close_write();
        while (window_.read >= 0)
            if (!read_some()) window_.close_read();
        const int status = child_.wait();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string shown() const { return joined_lines(output_); }

private:
    bool read_some()
    {
        char buffer[4096];
        const ssize_t got = ::read(window_.read, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) return true;
        if (got <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    Pipe input_;
    Pipe window_;
    Child child_;
    std::string output_;
};

// What stands at a name, to tell whether a refused start changed it.
std::string described(const fs::path& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return "nothing";
    std::string text = std::to_string(info.st_ino) + " mode " + std::to_string(info.st_mode) + " owner " +
                       std::to_string(info.st_uid) + " size " + std::to_string(info.st_size);
    if (S_ISREG(info.st_mode)) text += " bytes " + TemporaryDirectory::get(path);
    if (S_ISLNK(info.st_mode)) text += " to " + fs::read_symlink(path).string();
    return text;
}

// The names in a directory, hidden ones included.
std::vector<std::string> names_in(const fs::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// What the owner leaves at the lock file's name.
enum class Thing {
    Nothing,                // the program makes its own lock file
    LiveLock0600,           // a program of the owner (umask 077) at work: its lock file of mode 0600
    LiveLock000,            // the same, its lock file's mode set to 000
    KilledRunLock0600,      // the lock file of mode 0600 of a program of the owner that was killed
    KilledRunLockReadOnly,  // the same of mode 0444, which no user may write
    LinkToFile,
    DanglingLink,
    Directory,
    Fifo,
    FifoNoOneWrites,
    Socket,
};

// What the start of the program does.
enum class Outcome {
    Works,    // takes the lock (or passes the directory over) and works
    Held,     // refused, naming the owner's program at work
    Refused,  // refused, naming what stands at the lock file's name
};

// The owner's child that makes the thing in `directory`; a program at work
// keeps running, holding its lock, until the test kills it, and a killed run
// kills itself once its lock file stands.
Child make_thing(const fs::path& directory, Thing thing)
{
    Pipe ready;
    const pid_t pid = fork_child([&] {
        ready.close_read();
        umask(077);
        if (!become(owner_user()) || chdir(directory.c_str()) != 0) _exit(2);
        const char byte = 'r';
        if (thing == Thing::Nothing) _exit(::write(ready.write, &byte, 1) == 1 ? 0 : 7);
        const bool a_lock = thing == Thing::LiveLock0600 || thing == Thing::LiveLock000 ||
                            thing == Thing::KilledRunLock0600 || thing == Thing::KilledRunLockReadOnly;
        if (a_lock) {
            const int fd = open(".velmora.lock", O_RDWR | O_CREAT | O_EXCL, 0666);
            const std::string line = lock_holder_line(OTHER_PROGRAM_STARTED);
            if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0 ||
                ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                _exit(3);
            if (thing == Thing::LiveLock000 && fchmod(fd, 0) != 0) _exit(4);
            if (thing == Thing::KilledRunLockReadOnly && fchmod(fd, 0444) != 0) _exit(4);
            if (::write(ready.write, &byte, 1) != 1) _exit(5);
            if (thing == Thing::KilledRunLock0600 || thing == Thing::KilledRunLockReadOnly) raise(SIGKILL);
            for (;;) pause();
        }
        static const std::map<Thing, Standing> standings = {{Thing::LinkToFile, Standing::LinkToFile},
                                                            {Thing::DanglingLink, Standing::DanglingLink},
                                                            {Thing::Directory, Standing::Directory},
                                                            {Thing::Fifo, Standing::Fifo},
                                                            {Thing::FifoNoOneWrites, Standing::FifoNoOneWrites},
                                                            {Thing::Socket, Standing::Socket}};
        if (!make_standing(standings.at(thing))) _exit(6);
        _exit(::write(ready.write, &byte, 1) == 1 ? 0 : 7);
    });
    Child owner(pid);
    ready.close_write();
    EXPECT_TRUE(byte_arrives(ready.read)) << "the owner could not make what stands at the lock file's name";
    return owner;
}

// One table of what stands at ".velmora.lock": each thing, met by its owner
// (`by_owner`) or by another user, in a directory they may write and in one
// they may not.  A start is refused in the window (naming what stands there,
// or the owner's program at work), changing nothing and ending with a
// non-zero status; or it takes the lock soundly (a lock file every user can
// open that names it, held against a second start) and works.  Never beside
// a program at work where the directory can be written, never waiting on
// what it opened.
void check_every_start(bool by_owner)
{
    const uid_t owner_id = owner_user();
    const uid_t other_id = another_user();
    const uid_t starter = by_owner ? owner_id : other_id;
    // The second start, at a program that works, is of the other user where
    // this test may start one, else of the same user.
    const uid_t second_starter = by_owner ? (can_run_as(other_id) ? other_id : owner_id) : owner_id;
    const std::string owner = user_name(owner_id);
    const std::string no_lock_file =
        ", not a lock file of the program. Nothing was changed; remove it and start again.";
    const std::string unreadable_0600 = ".velmora.lock is another user's lock file (owner " + owner +
                                        ", mode 0600) that this user cannot read, so another run of the program may "
                                        "be working here. Nothing was changed; ask its owner";
    const struct {
        const char* name;
        Thing thing;
        bool live;  // the owner's program is at work throughout
        Outcome writable_owner, writable_other, read_only_owner, read_only_other;
        std::string shown_to_owner, shown_to_other;  // the refusal's words
    } cases[] = {
        {"nothing", Thing::Nothing, false, Outcome::Works, Outcome::Works, Outcome::Works, Outcome::Works, "", ""},
        {"a lock of mode 0600 held", Thing::LiveLock0600, true, Outcome::Held, Outcome::Refused, Outcome::Held,
         Outcome::Works, "", unreadable_0600},
        {"a lock of mode 000 held", Thing::LiveLock000, true, Outcome::Refused, Outcome::Refused, Outcome::Works,
         Outcome::Works,
         ".velmora.lock is a lock file that this user cannot read (mode 0000), so another run of the program may be "
         "working here. Nothing was changed; start again once that run has ended",
         ".velmora.lock is another user's lock file (owner " + owner + ", mode 0000) that this user cannot read"},
        {"a lock of mode 0600 of a killed run", Thing::KilledRunLock0600, false, Outcome::Works, Outcome::Refused,
         Outcome::Works, Outcome::Works, "", unreadable_0600},
        {"a read-only lock of a killed run", Thing::KilledRunLockReadOnly, false, Outcome::Works, Outcome::Works,
         Outcome::Works, Outcome::Works, "", ""},
        {"a symbolic link to a file", Thing::LinkToFile, false, Outcome::Refused, Outcome::Refused, Outcome::Works,
         Outcome::Works, ".velmora.lock is a symbolic link" + no_lock_file,
         ".velmora.lock is a symbolic link" + no_lock_file},
        {"a dangling symbolic link", Thing::DanglingLink, false, Outcome::Refused, Outcome::Refused, Outcome::Works,
         Outcome::Works, ".velmora.lock is a symbolic link" + no_lock_file,
         ".velmora.lock is a symbolic link" + no_lock_file},
        {"a directory", Thing::Directory, false, Outcome::Refused, Outcome::Refused, Outcome::Works, Outcome::Works,
         ".velmora.lock is a directory" + no_lock_file, ".velmora.lock is a directory" + no_lock_file},
        {"a fifo", Thing::Fifo, false, Outcome::Refused, Outcome::Refused, Outcome::Works, Outcome::Works,
         ".velmora.lock is a fifo (named pipe)" + no_lock_file, ".velmora.lock is a fifo (named pipe)" + no_lock_file},
        {"a fifo no one may write", Thing::FifoNoOneWrites, false, Outcome::Refused, Outcome::Refused, Outcome::Works,
         Outcome::Works, ".velmora.lock is a fifo (named pipe)" + no_lock_file,
         ".velmora.lock is a fifo (named pipe)" + no_lock_file},
        {"a socket", Thing::Socket, false, Outcome::Refused, Outcome::Refused, Outcome::Works, Outcome::Works,
         ".velmora.lock is a socket" + no_lock_file, ".velmora.lock is a socket" + no_lock_file},
    };

    TemporaryDirectory top;
    fs::permissions(top.path(), fs::perms::all);
    int made = 0;
    for (const auto& c : cases) {
        for (const bool writable : {true, false}) {
            const Outcome expected = writable ? (by_owner ? c.writable_owner : c.writable_other)
                                              : (by_owner ? c.read_only_owner : c.read_only_other);
            SCOPED_TRACE(std::string(c.name) + (by_owner ? ", met by its owner" : ", met by another user") +
                         (writable ? ", the directory writable" : ", the directory read-only"));
            const fs::path directory = top.path() / ("study" + std::to_string(++made));
            fs::create_directory(directory);
            fs::permissions(directory, fs::perms::all);
            Child owners_program = make_thing(directory, c.thing);
            if (!c.live) {
                // Killed, or ended once it made the thing.
                const int status = owners_program.wait();
                EXPECT_TRUE(WIFSIGNALED(status) ? WTERMSIG(status) == SIGKILL : WEXITSTATUS(status) == 0);
            }
            if (::testing::Test::HasFailure()) return;
            if (!writable) {
                using fs::perms;
                fs::permissions(directory,
                                perms::owner_read | perms::owner_exec | perms::group_read | perms::group_exec |
                                    perms::others_read | perms::others_exec,
                                fs::perm_options::replace);
            }
            const fs::path lock_file = directory / ".velmora.lock";
            const std::string standing_before = described(lock_file);
            const std::vector<std::string> names_before = names_in(directory);

            StartedProgram start(directory, starter);
            const std::string seen = start.wait_for({PROGRAM_WORKS, HELD_HEADING, NO_LOCK_HEADING});
            const std::string shown = start.shown();
            switch (expected) {
                case Outcome::Works:
                    EXPECT_EQ(seen, PROGRAM_WORKS) << shown;
                    if (writable) {
                        // A sound lock: a file every user can open, naming
                        // the program at work, and a second start refused
                        // naming it.
                        struct stat info {};
                        ASSERT_EQ(lstat(lock_file.c_str(), &info), 0);
                        EXPECT_TRUE(S_ISREG(info.st_mode));
                        EXPECT_EQ(info.st_mode & 07777, 0666u);
                        EXPECT_EQ(read_lock_holder_line(TemporaryDirectory::get(lock_file)).process,
                                  static_cast<long>(start.pid()));
                        StartedProgram second(directory, second_starter);
                        EXPECT_EQ(second.wait_for({PROGRAM_WORKS, HELD_HEADING, NO_LOCK_HEADING}), HELD_HEADING)
                            << second.shown();
                        EXPECT_NE(second.shown().find("process " + std::to_string(start.pid()) + " "),
                                  std::string::npos)
                            << second.shown();
                        EXPECT_EQ(second.end(), REFUSED_EXIT_STATUS);
                    }
                    EXPECT_EQ(start.end(), 0) << start.shown();
                    if (writable) {
                        EXPECT_EQ(described(lock_file), "nothing") << "the lock file was left";
                        std::vector<std::string> names_after = names_before;
                        std::erase(names_after, ".velmora.lock");
                        EXPECT_EQ(names_in(directory), names_after);
                    }
                    break;
                case Outcome::Held:
                    EXPECT_EQ(seen, HELD_HEADING) << shown;
                    EXPECT_NE(shown.find("process " + std::to_string(owners_program.pid()) + " "), std::string::npos)
                        << shown;
                    EXPECT_EQ(start.end(), REFUSED_EXIT_STATUS) << start.shown();
                    break;
                case Outcome::Refused:
                    EXPECT_EQ(seen, NO_LOCK_HEADING) << shown;
                    EXPECT_NE(shown.find(by_owner ? c.shown_to_owner : c.shown_to_other), std::string::npos) << shown;
                    EXPECT_EQ(start.end(), REFUSED_EXIT_STATUS) << start.shown();
                    break;
            }
            if (expected != Outcome::Works) {
                EXPECT_EQ(described(lock_file), standing_before);
                EXPECT_EQ(names_in(directory), names_before);
            }
            owners_program.kill();
            fs::permissions(directory, fs::perms::all);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

// The table met by the owner of what stands there: run by any user (as
// root, its programs run as an ordinary user).
TEST(WhatStandsAtTheLockFile, EveryStartOfItsOwnerIsRefusedClearlyOrTakesTheLockSoundly)
{
    if (!can_run_as(owner_user()))
        GTEST_SKIP() << "run as root, this test cannot start children as the ordinary user " << owner_user();
    check_every_start(true);
}

// The table met by another user: only where this test may start children
// as two users (as root).
TEST(WhatStandsAtTheLockFile, EveryStartOfAnotherUserIsRefusedClearlyOrTakesTheLockSoundly)
{
    if (!can_run_as(owner_user()) || !can_run_as(another_user()))
        GTEST_SKIP() << "this test cannot start children as the user " << another_user()
                     << " beside the lock file's owner " << owner_user();
    check_every_start(false);
}

// The real program started on the bundled sample study with a file at
// ".velmora.lock" that its lock is free on: a second link of the link data
// base, of the control file made read-only, or a killed run's lock file of
// 1 GiB.  The program starts and ends at its first screen within seconds,
// in a few megabytes; the linked files keep every byte and their mode, and
// nothing of the lock is left.
TEST(TheSamplesLock, AFileFoundAtTheLockFilesNameIsTakenOverWithoutBeingTouched)
{
    const struct {
        const char* name;
        const char* linked;  // the sample's file linked at the lock file's name, or none
        mode_t mode;
    } cases[] = {
        {"a second link of the link data base", "SA2301ZZ.ZLL", 0644},
        {"a second link of the control file, made read-only", "SAcontzz.zzz", 0444},
        {"a killed run's lock file of 1 GiB", nullptr, 0666},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        const fs::path study = directory.path() / "study";
        fs::copy(fs::path(VELM_SOURCE_DIR) / "examples" / "sample", study, fs::copy_options::recursive);
        const fs::path lock_file = study / STUDY_LOCK_FILE;
        std::string bytes;
        if (c.linked != nullptr) {
            ASSERT_EQ(chmod((study / c.linked).c_str(), c.mode), 0);
            ASSERT_EQ(::link((study / c.linked).c_str(), lock_file.c_str()), 0);
            bytes = TemporaryDirectory::get(study / c.linked);
        } else {
            TemporaryDirectory::put(lock_file, KILLED_RUN_LINE);
            ASSERT_EQ(truncate(lock_file.c_str(), off_t{1} << 30), 0);
        }

        const test::ProcessEnd ending = test::run_program_process(study, "", [] {
#if !defined(__SANITIZE_ADDRESS__)
            // (The address sanitizer's shadow alone takes terabytes of
            // address space: there the time and the peak memory bound it.)
            const rlim_t space = rlim_t{512} << 20;
            const rlimit limit{space, space};
            setrlimit(RLIMIT_AS, &limit);
#endif
            signal(SIGALRM, SIG_DFL);
            alarm(20);  // kept across the exec
        });

        EXPECT_FALSE(ending.killed_by_signal()) << "ended by signal " << ending.signal << '\n' << ending.screen;
        EXPECT_EQ(ending.status, 0) << ending.screen;
        EXPECT_NE(ending.screen.find(PROGRAM_WORKS), std::string::npos) << ending.screen;
#if !defined(__SANITIZE_ADDRESS__)
        EXPECT_LT(ending.peak_memory_kb, 100 * 1024);
#endif
        if (c.linked != nullptr) {
            EXPECT_EQ(mode_of(study / c.linked), static_cast<unsigned>(c.mode));
            EXPECT_TRUE(TemporaryDirectory::get(study / c.linked) == bytes) << c.linked << " changed";
        }
        EXPECT_EQ(lock_names(study), std::vector<std::string>{});
    }
}

// The names of the files that differ between two snapshots: added,
// removed or changed.
std::vector<std::string> files_changed(const Snapshot& before, const Snapshot& after)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : before) {
        const auto found = after.find(name);
        if (found == after.end()) {
            names.push_back(name + " removed");
        } else if (found->second != bytes) {
            names.push_back(name + " changed");
        }
    }
    for (const auto& [name, bytes] : after)
        if (!before.contains(name)) names.push_back(name + " added");
    return names;
}

// Twenty programs started at once, round after round, on a study whose
// files stand in a data directory: in one round every program starts in
// the study's working directory; in the next, half start in a second
// working directory that names the same data directory, so that two
// programs, each holding its working directory, contend for the data
// directory.  One works; every other is refused, naming a program that
// held the lock it met (in a round of one working directory, the one that
// works), ends with a non-zero status and changes nothing: while the one
// works, the study's files are as before but for its lock files, which
// name it; once every program has ended, they are as before.
TEST(ProgramsStartedAtOnce, OneWorksAndEveryRefusedOneChangesNothing)
{
    TemporaryDirectory top;
    test::StudyBuilder study = test::two_map_study(6);
    study.set_data_directory("../data/");
    for (const char* working : {"one", "two"}) {
        fs::create_directory(working);
        study.write(working);
    }
    ASSERT_FALSE(TemporaryDirectory::entries("data").empty()) << "the study's files are not in its data directory";
    const Snapshot before = TemporaryDirectory::snapshot();

    constexpr int STARTS = 20;
    constexpr int ROUNDS = 6;
    for (int round = 1; round <= ROUNDS; ++round) {
        const bool two_working_directories = round % 2 == 0;
        SCOPED_TRACE("round " + std::to_string(round) +
                     (two_working_directories ? ", two working directories" : ", one working directory"));
        std::vector<std::unique_ptr<StartedProgram>> starts;
        std::vector<std::string> started_in;
        Pipe starter;
        for (int k = 0; k < STARTS; ++k) {
            started_in.push_back(two_working_directories && k % 2 == 1 ? "two" : "one");
            starts.push_back(std::make_unique<StartedProgram>(top.path() / started_in.back(), geteuid(), &starter));
        }
        starter.close_write();

        std::vector<std::size_t> working;
        for (std::size_t k = 0; k < starts.size(); ++k) {
            const std::string seen = starts[k]->wait_for({PROGRAM_WORKS, HELD_HEADING, HELD_DATA_HEADING});
            ASSERT_FALSE(seen.empty()) << starts[k]->shown();
            if (!two_working_directories) {
                EXPECT_NE(seen, HELD_DATA_HEADING) << starts[k]->shown();
            }
            if (seen == PROGRAM_WORKS) working.push_back(k);
        }
        ASSERT_EQ(working.size(), 1u);
        const std::size_t works = working[0];
        for (std::size_t k = 0; k < starts.size(); ++k) {
            if (k == works) continue;
            const std::string shown = starts[k]->shown();
            if (two_working_directories) {
                const bool names_a_start = std::any_of(starts.begin(), starts.end(), [&](const auto& start) {
                    return shown.find("process " + std::to_string(start->pid()) + " ") != std::string::npos;
                });
                EXPECT_TRUE(names_a_start) << shown;
            } else {
                EXPECT_NE(shown.find("process " + std::to_string(starts[works]->pid()) + " "), std::string::npos)
                    << shown;
            }
        }

        // The study while the one works: its lock files, naming it, and
        // nothing else changed.
        Snapshot during = TemporaryDirectory::snapshot();
        for (const std::string& lock_file : {started_in[works] + "/.velmora.lock", std::string("data/.velmora.lock")}) {
            const auto found = during.find(lock_file);
            if (found == during.end()) {
                ADD_FAILURE() << lock_file << " is missing while the program works";
                continue;
            }
            EXPECT_EQ(read_lock_holder_line(found->second).process, static_cast<long>(starts[works]->pid()))
                << lock_file << ": " << found->second;
            during.erase(found);
        }
        EXPECT_EQ(files_changed(before, during), std::vector<std::string>{});

        for (std::size_t k = 0; k < starts.size(); ++k)
            EXPECT_EQ(starts[k]->end(), k == works ? 0 : REFUSED_EXIT_STATUS) << starts[k]->shown();
        EXPECT_EQ(files_changed(before, TemporaryDirectory::snapshot()), std::vector<std::string>{});
        if (::testing::Test::HasFailure()) return;
    }
}

}  // namespace
}  // namespace velm
