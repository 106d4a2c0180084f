// The real program, launched for the analysis run of the bundled sample
// study (SA) with something other than a file at one of the study's names: a
// fifo, a link to /dev/zero, a directory.  The run is refused in the window,
// naming the file and what stands there, within seconds and in bounded
// memory (a fifo is never waited on, a device never read without end); it
// ends with REFUSED_EXIT_STATUS, writes no reply and changes nothing in the
// study.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/stop.h"
#include "support/temporary_directory.h"

namespace {

namespace fs = std::filesystem;
using velm::test::TemporaryDirectory;

// Seconds the program may take to refuse the run, and bytes of address
// space it may use: a run that waits on a fifo or reads a device without end
// is stopped by either.
constexpr unsigned REFUSAL_SECONDS = 20;
constexpr rlim_t PROGRAM_ADDRESS_SPACE = rlim_t{512} << 20;

// How the program ended and what it showed.
struct Ending {
    bool killed_by_signal = false;
    int signal = 0;
    int status = -1;
    std::string screen;  // the plain window's output
    std::string errors;  // the error stream
};

std::string read_to_end(int fd)
{
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0;) {
        if (got < 0) continue;  // interrupted
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

// The window's text with each message's lines joined: a refusal's message
// is broken at blanks over indented rows.
std::string joined_rows(const std::string& screen)
{
    std::string text;
    for (std::size_t k = 0; k < screen.size(); ++k) {
        if (screen[k] == '\r') continue;
        if (screen[k] != '\n') {
            text += screen[k];
            continue;
        }
        std::size_t next = k + 1;
        while (next < screen.size() && screen[next] == ' ') ++next;
        text += ' ';
        k = next - 1;
    }
    return text;
}

// The names whose entries differ between two snapshots.
std::vector<std::string> changed_names(const std::map<std::string, std::string>& before,
                                       const std::map<std::string, std::string>& after)
{
    std::vector<std::string> names;
    for (const auto& [name, bytes] : before) {
        const auto it = after.find(name);
        if (it == after.end() || it->second != bytes) names.push_back(name);
    }
    for (const auto& [name, bytes] : after)
        if (!before.contains(name)) names.push_back(name);
    return names;
}

// The sample study copied to "study" in the test's directory, where the
// program runs, launched for its analysis run as tools/run-sample launches
// it; the typed input stands outside it.
class StudyFileKindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy(fs::path(VELM_SOURCE_DIR) / "examples" / "sample", study_, fs::copy_options::recursive);
        TemporaryDirectory::put(study_ / "QEVCOM.DAT", "SA\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    }

    // The program started in the study's directory with RETURN typed a few
    // times, under the alarm and the address-space limit above.
    Ending run() const
    {
        directory_.put("typed.txt", "\n\n\n\n");
        const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
        int screen[2];
        int errors[2];
        if (pipe(screen) != 0 || pipe(errors) != 0) throw std::runtime_error("pipe failed");
        const pid_t child = fork();
        if (child < 0) throw std::runtime_error("fork failed");
        if (child == 0) {
            const int input = open("typed.txt", O_RDONLY);
            if (input < 0 || chdir(study_.c_str()) != 0) _exit(127);
            dup2(input, 0);
            dup2(screen[1], 1);
            dup2(errors[1], 2);
            close(screen[0]);
            close(errors[0]);
            const rlimit space{PROGRAM_ADDRESS_SPACE, PROGRAM_ADDRESS_SPACE};
            setrlimit(RLIMIT_AS, &space);
            std::signal(SIGALRM, SIG_DFL);
            alarm(REFUSAL_SECONDS);  // kept across the exec
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(screen[1]);
        close(errors[1]);
        Ending ending;
        ending.screen = read_to_end(screen[0]);
        ending.errors = read_to_end(errors[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ending.killed_by_signal = WIFSIGNALED(status);
        if (ending.killed_by_signal) ending.signal = WTERMSIG(status);
        if (WIFEXITED(status)) ending.status = WEXITSTATUS(status);
        return ending;
    }

    // Every name in the study with the bytes of each regular file (a name
    // where no file stands is listed without bytes, and never read), but the
    // launcher's command file, which the launched run takes first.
    std::map<std::string, std::string> study_snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(study_)) {
            const std::string name = fs::relative(entry.path(), study_).string();
            if (name == "QEVCOM.DAT") continue;
            files[name] = entry.is_regular_file() ? TemporaryDirectory::get(entry.path()) : "(no file)";
        }
        return files;
    }

    TemporaryDirectory directory_;
    fs::path study_ = directory_.path() / "study";
};

// What stands at a name of the study in place of its file.
enum class Thing { Fifo, LinkToDevZero, Directory };

TEST_F(StudyFileKindTest, ALaunchedRunIsRefusedNamingWhatStandsAtAStudyFilesName)
{
    // The sample's own files make a run that ends, within the same time
    // and memory; the cases start from the sample afresh.
    {
        const Ending ending = run();
        ASSERT_EQ(ending.status, 0) << ending.screen;
        ASSERT_TRUE(fs::exists(study_ / "QEVCOM2.DAT"));
        fs::remove_all(study_);
        SetUp();
    }

    struct Case {
        const char* what;
        const char* file;  // as the sample holds it
        Thing thing;
        const char* kind;  // as the refusal names it
    };
    const Case cases[] = {
        {"a fifo at a link data base", "SA2301ZZ.ZLL", Thing::Fifo, "a fifo (named pipe)"},
        {"a link to /dev/zero at a link data base", "SA2301ZZ.ZLL", Thing::LinkToDevZero, "a character device"},
        {"a directory at a link data base", "SA2301ZZ.ZLL", Thing::Directory, "a directory"},
        {"a fifo at the model list", "SATRVLZZ.Z11", Thing::Fifo, "a fifo (named pipe)"},
        {"a fifo at the control file", "SAcontzz.zzz", Thing::Fifo, "a fifo (named pipe)"},
        {"a fifo at a model file", "SA2301ZZ.Z11", Thing::Fifo, "a fifo (named pipe)"},
        {"a link to /dev/zero at a node data base", "SA2302ZZ.ZNN", Thing::LinkToDevZero, "a character device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = study_ / c.file;
        ASSERT_TRUE(fs::is_regular_file(file));
        const std::string bytes = TemporaryDirectory::get(file);
        fs::remove(file);
        switch (c.thing) {
            case Thing::Fifo:
                ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
                break;
            case Thing::LinkToDevZero:
                fs::create_symlink("/dev/zero", file);
                break;
            case Thing::Directory:
                fs::create_directory(file);
                break;
        }
        const auto before = study_snapshot();

        const Ending ending = run();

        EXPECT_FALSE(ending.killed_by_signal) << "ended by signal " << ending.signal << " (" << REFUSAL_SECONDS
                                              << " s or " << (PROGRAM_ADDRESS_SPACE >> 20) << " MB reached)\n"
                                              << ending.screen;
        EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS) << ending.screen;
        const std::string reason = std::string("Cannot read file '") + c.file + "': it is " + c.kind + ", not a file";
        EXPECT_NE(joined_rows(ending.screen).find(reason), std::string::npos) << reason << '\n' << ending.screen;
        EXPECT_EQ(joined_rows(ending.screen).find("DOES NOT EXIST"), std::string::npos) << ending.screen;
        EXPECT_EQ(ending.errors, "");
        EXPECT_FALSE(fs::exists(study_ / "QEVCOM2.DAT"));
        EXPECT_EQ(changed_names(before, study_snapshot()), std::vector<std::string>{});

        fs::remove(file);
        TemporaryDirectory::put(file, bytes);
        TemporaryDirectory::put(study_ / "QEVCOM.DAT", "SA\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    }
}

// The launcher's own files: a fifo at the command file, or at an earlier
// reply's name beside a command file, refuses the start before anything is
// changed: the command file and what stands at its names stay for the
// engineer to clear, and no reply is written.
TEST_F(StudyFileKindTest, AFifoAtALauncherFilesNameRefusesTheStart)
{
    for (const char* name : {"QEVCOM.DAT", "QEVCOM2.DAT"}) {
        SCOPED_TRACE(name);
        const fs::path fifo = study_ / name;
        fs::remove(fifo);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        std::map<std::string, std::string> before = study_snapshot();
        if (fs::exists(study_ / "QEVCOM.DAT") && fs::is_regular_file(study_ / "QEVCOM.DAT"))
            before["QEVCOM.DAT"] = TemporaryDirectory::get(study_ / "QEVCOM.DAT");

        const Ending ending = run();

        EXPECT_FALSE(ending.killed_by_signal) << ending.screen;
        EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS) << ending.screen;
        const std::string text = joined_rows(ending.screen);
        EXPECT_NE(text.find("THE LAUNCHED RUN CANNOT START"), std::string::npos) << ending.screen;
        const std::string reason = std::string("Cannot read file '") + name + "': it is a fifo (named pipe), not a file";
        EXPECT_NE(text.find(reason), std::string::npos) << reason << '\n' << ending.screen;
        EXPECT_EQ(ending.errors, "");
        std::map<std::string, std::string> after = study_snapshot();
        if (fs::exists(study_ / "QEVCOM.DAT") && fs::is_regular_file(study_ / "QEVCOM.DAT"))
            after["QEVCOM.DAT"] = TemporaryDirectory::get(study_ / "QEVCOM.DAT");
        EXPECT_EQ(changed_names(before, after), std::vector<std::string>{});
        EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);

        fs::remove(fifo);
        TemporaryDirectory::put(study_ / "QEVCOM.DAT", "SA\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    }
}

}  // namespace
