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
        const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
        const std::string directory = directory_.path().string();
        const pid_t child = fork();
        if (child < 0) throw std::runtime_error("fork failed");
        if (child == 0) {
            const int input = open("/dev/null", O_RDONLY);
            const int output = open("/dev/null", O_WRONLY);
            if (chdir(directory.c_str()) != 0 || input < 0 || output < 0) _exit(127);
            dup2(input, 0);
            dup2(output, 1);
            dup2(output, 2);
            ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);  // stopped at the start of the program
        if (!WIFSTOPPED(status)) return std::nullopt;  // tracing is not allowed here
        ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
        int deletions = 0;
        bool in_deletion = false;  // stopped between a deletion's entry and its return
        int pending_signal = 0;
        for (;;) {
            ptrace(PTRACE_SYSCALL, child, nullptr, pending_signal);
            pending_signal = 0;
            waitpid(child, &status, 0);
            if (WIFEXITED(status) || WIFSIGNALED(status)) return false;
            if (!WIFSTOPPED(status)) continue;
            if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
                pending_signal = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
                continue;
            }
            __ptrace_syscall_info info{};
            if (ptrace(PTRACE_GET_SYSCALL_INFO, child, sizeof info, &info) <= 0) continue;
            if (info.op == PTRACE_SYSCALL_INFO_ENTRY) {
                const auto call = static_cast<long>(info.entry.nr);
                in_deletion = call == SYS_unlink || call == SYS_unlinkat;
                continue;
            }
            if (info.op != PTRACE_SYSCALL_INFO_EXIT || !in_deletion) continue;
            in_deletion = false;
            if (++deletions < deletion) continue;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return true;
        }
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
