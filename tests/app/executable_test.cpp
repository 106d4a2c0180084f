// The real program, started as a user or the launcher starts it, with its
// input piped: how it ends and what it leaves on the terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/stop.h"
#include "support/program_process.h"
#include "support/temporary_directory.h"

namespace {

namespace fs = std::filesystem;

// Each test has a fresh directory of its own, where the program runs.
class ExecutableTest : public ::testing::Test {
protected:
    // Runs the program in the test's directory with the given typed input;
    // returns its exit status.
    int run(const std::string& input) const
    {
        directory_.put("typed.txt", input);
        const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
        const std::string command =
            "cd '" + directory_.path().string() + "' && '" + program + "' < typed.txt > screen.txt 2> errors.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Starts the program in the test's directory with no input, as the
    // launcher starts it, and kills it (SIGKILL) the moment its n-th file
    // deletion, counted from 1, returns: the files then stand as its first n
    // deletions left them.  False when the program ended by itself before
    // its n-th deletion; nothing when this machine does not let a test trace
    // the program.
    std::optional<bool> run_killed_at_deletion(int deletion) const
    {
        return velm::test::run_program_killed_at_call(directory_.path(), "", deletion,
                                                      [](pid_t, const __ptrace_syscall_info& call) {
                                                          const auto number = static_cast<long>(call.entry.nr);
                                                          return number == SYS_unlink || number == SYS_unlinkat;
                                                      });
    }

    velm::test::TemporaryDirectory directory_;
};

TEST_F(ExecutableTest, EndOfInputEndsTheProgramPlainly)
{
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(directory_.get("errors.txt"), "");
}

TEST_F(ExecutableTest, UnreadableStudyFileIsRefusedInTheWindowWithoutReply)
{
    // A launched analysis run of study AB, whose model list is cut off in
    // the middle of its first record.
    directory_.put("QEVCOM.DAT", "AB\r\n1\r\n1\r\n2\r\n");
    directory_.put("ABTRVLZZ.Z11", std::string("\x04\x00\x00\x00\x00\x00", 6));
    EXPECT_EQ(run("\n"), velm::REFUSED_EXIT_STATUS);
    EXPECT_NE(directory_.get("screen.txt").find("ABTRVLZZ.Z11"), std::string::npos) << directory_.get("screen.txt");
    EXPECT_EQ(directory_.get("errors.txt"), "");
    EXPECT_FALSE(fs::exists(directory_.path() / "QEVCOM2.DAT"));
}

// The launcher takes a reply file beside no command file for a run that has
// finished.  A launched run killed at any of its deletions, the hand-shake's
// included, must never leave an earlier run's reply without its command file.
TEST_F(ExecutableTest, ALaunchedRunKilledAtAnyDeletionLeavesNoOldReplyBesideNoCommandFile)
{
    bool command_file_gone = false;
    for (int deletion = 1;; ++deletion) {
        SCOPED_TRACE("killed after deletion " + std::to_string(deletion));
        for (const std::string& name : velm::test::TemporaryDirectory::entries(directory_.path()))
            fs::remove_all(directory_.path() / name);
        // A launched analysis run of study AB, which has no files: the run
        // stops early and never replies itself.
        directory_.put("QEVCOM.DAT", "AB\r\n1\r\n1\r\n1\r\n");
        directory_.put("QEVCOM2.DAT", "99\r\n");  // the reply of an earlier run
        const std::optional<bool> killed = run_killed_at_deletion(deletion);
        if (!killed) GTEST_SKIP() << "this machine does not let a test trace the program";
        if (!*killed) break;
        const bool command_file = fs::exists(directory_.path() / "QEVCOM.DAT");
        const bool reply = fs::exists(directory_.path() / "QEVCOM2.DAT");
        EXPECT_FALSE(reply && !command_file) << "an old reply stands beside no command file";
        command_file_gone = command_file_gone || !command_file;
        ASSERT_LT(deletion, 1000) << "the run does not end";
    }
    EXPECT_TRUE(command_file_gone) << "no kill fell after the command file was deleted";
}

}  // namespace
