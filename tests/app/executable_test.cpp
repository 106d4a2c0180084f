// The real program, started as a user or the launcher starts it, with its
// input piped: how it ends and what it leaves on the terminal.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class ExecutableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "velm-exe-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { fs::remove_all(directory_); }

    void write_file(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(directory_ / name, std::ios::binary);
        out << bytes;
    }
    std::string read_file(const std::string& name) const
    {
        std::ifstream in(directory_ / name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    // Runs the program in the test's directory with the given typed input;
    // returns its exit status.
    int run(const std::string& input) const
    {
        write_file("typed.txt", input);
        const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
        const std::string command = "cd '" + directory_.string() + "' && '" + program +
                                    "' < typed.txt > screen.txt 2> errors.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path directory_;
};

TEST_F(ExecutableTest, EndOfInputEndsTheProgramPlainly)
{
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(read_file("errors.txt"), "");
}

TEST_F(ExecutableTest, UnreadableStudyFileEndsWithItsMessageOnTheTerminal)
{
    // A launched analysis run of study AB, whose model list is cut off in
    // the middle of its first record.
    write_file("QEVCOM.DAT", "AB\r\n1\r\n1\r\n2\r\n");
    write_file("ABTRVLZZ.Z11", std::string("\x04\x00\x00\x00\x00\x00", 6));
    EXPECT_EQ(run(""), 1);
    EXPECT_NE(read_file("errors.txt").find("ABTRVLZZ.Z11"), std::string::npos) << read_file("errors.txt");
    EXPECT_FALSE(fs::exists(directory_ / "QEVCOM2.DAT"));
}

}  // namespace
