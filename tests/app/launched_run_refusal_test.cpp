// The real program, launched for an analysis run it cannot make: a string
// file's name taken by a directory, a study directory it may not write to,
// or a file-size limit (ulimit -f).  Each is refused in the window, naming
// the study's file and the system's reason; nothing goes to the error
// stream, the program is not killed, no reply is written and the study is
// left byte for byte as it was.
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

#include "platform/stop.h"
#include "support/small_studies.h"
#include "support/temporary_directory.h"

namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, std::string>;

// How the program ended and what it showed.
struct Ending {
    bool killed_by_signal = false;
    int status = -1;
    std::string screen;  // the plain window's output
    std::string errors;  // the error stream
};

// Everything a pipe carries until its end.
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

// The study "AB" in the directory "study" of the test's directory, where the
// program runs; the typed input stands outside it.
class LaunchedRunRefusalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(study_);
        velm::test::two_map_study(6).write(study_);
        // A first run leaves every output, the string files among them.
        launch();
        ASSERT_EQ(run().status, 0);
        ASSERT_TRUE(fs::exists(study_ / "QEVCOM2.DAT"));
        fs::remove(study_ / "QEVCOM2.DAT");
    }
    void TearDown() override { fs::permissions(study_, fs::perms::owner_all); }

    // The launcher's command file: option 1, sub-option 2 (execute) of "AB",
    // in toolset mode.
    void launch() const { directory_.put(study_ / "QEVCOM.DAT", "AB\r\n1\r\n1.\r\n2.\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"); }

    // The program started in the study's directory with RETURN typed a few
    // times, its window and error stream piped back; `limit` (bytes), when
    // given, is the largest file it may write, with the signal of that limit
    // left at its default, as a shell's "ulimit -f" leaves it.
    Ending run(rlim_t limit = RLIM_INFINITY) const
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
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit size{limit, limit};
            setrlimit(RLIMIT_FSIZE, &size);
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
        if (WIFEXITED(status)) ending.status = WEXITSTATUS(status);
        return ending;
    }

    // Every file and directory of the study with its bytes, but the
    // launcher's command file, which a launched run deletes first.
    Snapshot study_snapshot() const
    {
        Snapshot files;
        for (const auto& entry : fs::recursive_directory_iterator(study_)) {
            const std::string name = fs::relative(entry.path(), study_).string();
            if (name == "QEVCOM.DAT") continue;
            files[name] = entry.is_directory() ? "(directory)" : velm::test::TemporaryDirectory::get(entry.path());
        }
        return files;
    }

    // The name the window shows quoted just before the reason.
    static std::string named_file(const std::string& screen, const std::string& reason)
    {
        const std::size_t at = screen.find("': " + reason);
        if (at == std::string::npos) return {};
        const std::size_t start = screen.rfind('\'', at - 1);
        return start == std::string::npos ? std::string() : screen.substr(start + 1, at - start - 1);
    }

    velm::test::TemporaryDirectory directory_;
    fs::path study_ = directory_.path() / "study";
};

TEST_F(LaunchedRunRefusalTest, ARunThatCannotWriteItsFilesIsRefusedInTheWindow)
{
    // A string file of the first run, whose name a directory takes.
    std::string string_file;
    for (const auto& entry : fs::directory_iterator(study_)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".ZST") && name.find("INDX") == std::string::npos) string_file = name;
    }
    ASSERT_FALSE(string_file.empty());
    const std::string string_bytes = velm::test::TemporaryDirectory::get(study_ / string_file);

    struct Case {
        const char* name;
        std::function<void()> spoil;
        std::function<void()> put_back;
        rlim_t limit;
        std::string reason;  // the system's reason the window shows
        std::string file;    // the file it names; empty: any file of the study
    };
    const Case cases[] = {
        {"a directory in place of a string file",
         [&] {
             fs::remove(study_ / string_file);
             fs::create_directory(study_ / string_file);
         },
         [&] {
             fs::remove(study_ / string_file);
             velm::test::TemporaryDirectory::put(study_ / string_file, string_bytes);
         },
         RLIM_INFINITY, "Is a directory", string_file},
        {"a study directory that cannot be written",
         [&] { fs::permissions(study_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec); },
         [&] { fs::permissions(study_, fs::perms::owner_all); }, RLIM_INFINITY, "Permission denied", ""},
        {"a file-size limit", [] {}, [] {}, 2048, "File too large", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        launch();
        c.spoil();
        const Snapshot before = study_snapshot();
        const Ending ending = run(c.limit);
        const Snapshot after = study_snapshot();
        c.put_back();

        EXPECT_FALSE(ending.killed_by_signal);
        EXPECT_EQ(ending.status, velm::REFUSED_EXIT_STATUS) << "a refused run ends as refused";
        EXPECT_EQ(ending.errors, "");
        const std::string named = named_file(ending.screen, c.reason);
        ASSERT_FALSE(named.empty()) << ending.screen;
        if (!c.file.empty()) {
            EXPECT_EQ(named, c.file);
        }
        // A study file (or, where this user may not delete it, the command
        // file), never a hidden name of the run.
        EXPECT_TRUE(named.starts_with("AB") || named == "QEVCOM.DAT") << named;
        EXPECT_EQ(named.find(".velm"), std::string::npos) << named;
        EXPECT_FALSE(fs::exists(study_ / "QEVCOM2.DAT")) << "a refused run writes no reply";
        EXPECT_TRUE(after == before) << "the study changed";
        fs::remove(study_ / "QEVCOM.DAT");
    }
}

}  // namespace
