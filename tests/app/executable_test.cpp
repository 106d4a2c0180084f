// The real program, started as a user or the launcher starts it, with its
// input piped: how it ends and what it leaves on the terminal.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

    velm::test::TemporaryDirectory directory_;
};

TEST_F(ExecutableTest, EndOfInputEndsTheProgramPlainly)
{
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(directory_.get("errors.txt"), "");
}

TEST_F(ExecutableTest, UnreadableStudyFileEndsWithItsMessageOnTheTerminal)
{
    // A launched analysis run of study AB, whose model list is cut off in
    // the middle of its first record.
    directory_.put("QEVCOM.DAT", "AB\r\n1\r\n1\r\n2\r\n");
    directory_.put("ABTRVLZZ.Z11", std::string("\x04\x00\x00\x00\x00\x00", 6));
    EXPECT_EQ(run(""), 1);
    EXPECT_NE(directory_.get("errors.txt").find("ABTRVLZZ.Z11"), std::string::npos) << directory_.get("errors.txt");
    EXPECT_FALSE(fs::exists(directory_.path() / "QEVCOM2.DAT"));
}

}  // namespace
