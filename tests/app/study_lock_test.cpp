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
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
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
const std::string LOCK_FILE_REFUSED = "the lock file cannot be used";
// A child of a test ends by its alarm after this long, whatever happens.
constexpr unsigned CHILD_SECONDS = 60;

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
        const pid_t pid = fork();
        if (pid == 0) {
            alarm(CHILD_SECONDS);
            ready.close_read();
            StudyLock lock;
            if (lock.take(directories, writes_its_line ? lock_holder_line(OTHER_PROGRAM_STARTED) : "")) _exit(2);
            const char byte = 'r';
            if (::write(ready.write, &byte, 1) != 1) _exit(3);
            for (;;) pause();
        }
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
    Pipe ready;
    Pipe go;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(CHILD_SECONDS);
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
    }
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
enum class Standing { LinkToFile, DanglingLink, Directory, Fifo, Socket };

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
// The real program, started by other users.

// Two users who are not root: the owner of what stands at the lock file's
// name, and another user.
constexpr uid_t OWNER = 65534;
constexpr uid_t ANOTHER_USER = 65533;

// In a forked child: becomes the user, with no other groups.
bool become(uid_t user)
{
    if (user == geteuid()) return true;
    return setgroups(0, nullptr) == 0 && setgid(user) == 0 && setuid(user) == 0;
}

// Whether this test may start children as other users.
bool can_become_other_users()
{
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(CHILD_SECONDS);
        _exit(become(OWNER) ? 0 : 1);
    }
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
        const pid_t pid = fork();
        if (pid == 0) {
            alarm(CHILD_SECONDS);
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
        }
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
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(CHILD_SECONDS);
        ready.close_read();
        umask(077);
        if (!become(OWNER) || chdir(directory.c_str()) != 0) _exit(2);
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
                                                            {Thing::Socket, Standing::Socket}};
        if (!make_standing(standings.at(thing))) _exit(6);
        _exit(::write(ready.write, &byte, 1) == 1 ? 0 : 7);
    }
    Child owner(pid);
    ready.close_write();
    EXPECT_TRUE(byte_arrives(ready.read)) << "the owner could not make what stands at the lock file's name";
    return owner;
}

// One table of what stands at ".velmora.lock": each thing, met by its owner
// and by another user, in a directory they may write and in one they may
// not.  A start is refused in the window (naming what stands there, or the
// owner's program at work), changing nothing and ending with a non-zero
// status; or it takes the lock soundly (a lock file every user can open that
// names it) and works.  Never beside a program at work where the directory
// can be written, never waiting on what it opened.
TEST(WhatStandsAtTheLockFile, EveryStartIsRefusedClearlyOrTakesTheLockSoundly)
{
    if (!can_become_other_users()) GTEST_SKIP() << "this test cannot start children as other users";
    const std::string owner = user_name(OWNER);
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
        {"a socket", Thing::Socket, false, Outcome::Refused, Outcome::Refused, Outcome::Works, Outcome::Works,
         ".velmora.lock is a socket" + no_lock_file, ".velmora.lock is a socket" + no_lock_file},
    };

    TemporaryDirectory top;
    fs::permissions(top.path(), fs::perms::all);
    int made = 0;
    for (const auto& c : cases) {
        for (const bool writable : {true, false}) {
            for (const bool by_owner : {true, false}) {
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

                StartedProgram start(directory, by_owner ? OWNER : ANOTHER_USER);
                const std::string seen = start.wait_for({PROGRAM_WORKS, HELD_HEADING, NO_LOCK_HEADING});
                const std::string shown = start.shown();
                switch (expected) {
                    case Outcome::Works:
                        EXPECT_EQ(seen, PROGRAM_WORKS) << shown;
                        if (writable) {
                            // A sound lock: a file every user can open, naming
                            // the program at work, and a second start of the
                            // other user refused naming it.
                            struct stat info {};
                            ASSERT_EQ(lstat(lock_file.c_str(), &info), 0);
                            EXPECT_TRUE(S_ISREG(info.st_mode));
                            EXPECT_EQ(info.st_mode & 07777, 0666u);
                            EXPECT_EQ(read_lock_holder_line(TemporaryDirectory::get(lock_file)).process,
                                      static_cast<long>(start.pid()));
                            StartedProgram second(directory, by_owner ? ANOTHER_USER : OWNER);
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
                        EXPECT_NE(shown.find("process " + std::to_string(owners_program.pid()) + " "),
                                  std::string::npos)
                            << shown;
                        EXPECT_EQ(start.end(), REFUSED_EXIT_STATUS) << start.shown();
                        break;
                    case Outcome::Refused:
                        EXPECT_EQ(seen, NO_LOCK_HEADING) << shown;
                        EXPECT_NE(shown.find(by_owner ? c.shown_to_owner : c.shown_to_other), std::string::npos)
                            << shown;
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
}

// Twenty programs started at once on one study, whose files name a data
// directory, and again: one works; every other is refused, naming that
// program's process, and ends with a non-zero status.
TEST(ProgramsStartedAtOnce, OneWorksAndEveryRefusalNamesIt)
{
    TemporaryDirectory directory;
    test::two_map_study(6).write(directory.path());
    fs::create_directory("data");
    TemporaryDirectory::put("ABMPDZZ.ZZZ", "data/\r\n");
    constexpr int STARTS = 20;
    constexpr int ROUNDS = 5;
    for (int round = 1; round <= ROUNDS; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::unique_ptr<StartedProgram>> starts;
        Pipe starter;
        for (int k = 0; k < STARTS; ++k)
            starts.push_back(std::make_unique<StartedProgram>(directory.path(), geteuid(), &starter));
        starter.close_write();

        std::vector<std::size_t> working;
        for (std::size_t k = 0; k < starts.size(); ++k) {
            const std::string seen = starts[k]->wait_for({PROGRAM_WORKS, HELD_HEADING, NO_LOCK_HEADING});
            ASSERT_TRUE(seen == PROGRAM_WORKS || seen == HELD_HEADING) << starts[k]->shown();
            if (seen == PROGRAM_WORKS) working.push_back(k);
        }
        ASSERT_EQ(working.size(), 1u);
        const std::string holder = "process " + std::to_string(starts[working[0]]->pid()) + " ";
        for (std::size_t k = 0; k < starts.size(); ++k) {
            if (k == working[0]) continue;
            EXPECT_NE(starts[k]->shown().find(holder), std::string::npos) << starts[k]->shown();
        }
        for (std::size_t k = 0; k < starts.size(); ++k)
            EXPECT_EQ(starts[k]->end(), k == working[0] ? 0 : REFUSED_EXIT_STATUS) << starts[k]->shown();
        if (::testing::Test::HasFailure()) return;
    }
}

}  // namespace
}  // namespace velm
