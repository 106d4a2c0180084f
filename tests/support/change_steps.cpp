#include "support/change_steps.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm::test {

namespace {

// One turn: the change stopped or killed at `step`; true when it ran to its
// end before reaching that step.
bool make_change_stopped_at(long step, bool killed, const std::function<void()>& make_change)
{
    if (!killed) {
        stop_change_at_step(step);
        make_change();
        const bool completed = change_steps_taken() < step;
        stop_change_at_step(0);
        return completed;
    }
    const pid_t child = fork();
    if (child == 0) {
        stop_change_at_step(step, ChangeStop::Exit);
        make_change();
        _exit(0);
    }
    int status = 0;
    EXPECT_GE(child, 0) << "fork failed";
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the child ended by a signal";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void walk_change_steps(long most_steps, const std::function<void()>& make_change, const std::function<void()>& restart,
                       const std::function<void(const ChangeStepTurn& turn)>& check,
                       const std::function<long(long step, bool killed)>& next_step)
{
    for (const bool killed : {false, true}) {
        bool completed = false;
        for (long step = 1; !completed; step = next_step ? next_step(step, killed) : step + 1) {
            SCOPED_TRACE((killed ? "killed at step " : "stopped at step ") + std::to_string(step));
            ASSERT_LE(step, most_steps) << "the change does not end";
            completed = make_change_stopped_at(step, killed, make_change);
            restart();
            check({killed, step, completed});
            EXPECT_FALSE(has_hidden_file());
            if (::testing::Test::HasFailure()) return;
        }
    }
}

std::map<std::string, std::string> study_files()
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind("QEVCOM", 0) != 0) files[name] = TemporaryDirectory::get(name);
    }
    return files;
}

void restore_study_files(const std::map<std::string, std::string>& files)
{
    for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry.path());
    for (const auto& [name, bytes] : files) TemporaryDirectory::put(name, bytes);
}

bool has_hidden_file(const std::filesystem::path& directory)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        if (entry.path().filename().string().front() == '.') return true;
    }
    return false;
}

}  // namespace velm::test
