#include "support/change_steps.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_change.h"
#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm::test {

namespace {

namespace fs = std::filesystem;

// How a forked child's change ended, besides at its end (0) and at its stop
// (CHANGE_STOP_EXIT_STATUS).
constexpr int CHILD_CHECK_FAILED = 87;
constexpr int CHILD_CHANGE_THREW = 88;

// Ends a stop set for a turn however the turn ends.
struct StopReset {
    ~StopReset() { stop_change_at_step(0); }
};

// The forked child: the change killed at `step`.  Whatever happens, the
// child ends here with its status, never back in the test program's run
// (which would run the rest of the suite a second time, in the child).
[[noreturn]] void run_killed_child(long step, const std::function<void()>& make_change)
{
    int status = 0;
    try {
        stop_change_at_step(step, ChangeStop::Exit);
        make_change();
        if (::testing::Test::HasFailure()) status = CHILD_CHECK_FAILED;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the change threw: %s\n", error.what());
        status = CHILD_CHANGE_THREW;
    } catch (...) {
        std::fprintf(stderr, "the change threw something that is not an exception\n");
        status = CHILD_CHANGE_THREW;
    }
    std::fflush(nullptr);
    _exit(status);
}

// One turn: the change stopped or killed at `step`; true when it ran to its
// end before reaching that step.
bool make_change_stopped_at(long step, bool killed, const std::function<void()>& make_change)
{
    if (!killed) {
        const StopReset reset;
        stop_change_at_step(step);
        make_change();
        return change_steps_taken() < step;
    }
    // What the test program has written so far goes out once, not again from
    // the child's copy of the buffers.
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) run_killed_child(step, make_change);
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return false;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        ADD_FAILURE() << "the child of step " << step << " was lost";
        return false;
    }
    if (!WIFEXITED(status)) {
        ADD_FAILURE() << "the change killed at step " << step << " ended by signal " << WTERMSIG(status);
        return false;
    }
    switch (WEXITSTATUS(status)) {
    case 0:
        return true;
    case CHANGE_STOP_EXIT_STATUS:
        return false;
    case CHILD_CHECK_FAILED:
        ADD_FAILURE() << "a check failed in the change killed at step " << step << " (see above)";
        return false;
    case CHILD_CHANGE_THREW:
        ADD_FAILURE() << "the change killed at step " << step << " threw (see above)";
        return false;
    default:
        ADD_FAILURE() << "the change killed at step " << step << " ended with status " << WEXITSTATUS(status);
        return false;
    }
}

std::optional<std::string> bytes_if_there(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(path, error))) return std::nullopt;
    return TemporaryDirectory::get(path);
}

// The path by which two names of the same file compare equal.
std::string same_file_key(const fs::path& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    const fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal().string() : canonical.string();
}

bool is_hidden(const std::string& name)
{
    return !name.empty() && name.front() == '.';
}

// The visible files of the working directory and of its directories (a
// study's data directory), by the name that compares, but the launcher's
// command and reply files.
std::map<std::string, std::string> visible_files()
{
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator("."); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (is_hidden(name)) {
            it.disable_recursion_pending();
        } else if (it->is_regular_file() && name.rfind("QEVCOM", 0) != 0) {
            files[same_file_key(it->path())] = TemporaryDirectory::get(it->path());
        }
    }
    return files;
}

// What the next start must make of a change cut short: its files as the
// commit journal decides (each with its bytes, or nothing when it must be
// gone), every other visible file as it is now.
struct RecoveryExpected {
    bool journal = false;
    bool finish = false;
    std::map<std::string, std::optional<std::string>> journal_files;
    std::map<std::string, std::string> other_files;
};

RecoveryExpected expected_recovery()
{
    RecoveryExpected expected;
    const std::optional<std::string> text = bytes_if_there(std::string(RUN_COMMIT_JOURNAL));
    if (text) {
        expected.journal = true;
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text->size()) {
            std::size_t end = text->find('\n', start);
            if (end == std::string::npos) end = text->size();
            lines.push_back(text->substr(start, end - start));
            start = end + 1;
        }
        // The journal as the program writes it: its layout's first line,
        // what the commit was doing ("finish" or "undo"), for each file its
        // new version, the file and its kept old version, and "end".
        const bool well_formed = lines.size() >= 6 && lines.front() == "velmora commit journal 1" &&
                                 (lines[1] == "finish" || lines[1] == "undo") && lines.back() == "end" &&
                                 (lines.size() - 3) % 3 == 0;
        if (!well_formed) {
            ADD_FAILURE() << "a commit journal not of the program's layout:\n" << *text;
            return expected;
        }
        expected.finish = lines[1] == "finish";
        for (auto entry = lines.begin() + 2; lines.end() - entry > 3; entry += 3) {
            const std::string& new_version = entry[0];
            const std::string& file = entry[1];
            const std::string& old_version = entry[2];
            std::optional<std::string> bytes;
            if (expected.finish) {
                // A new version that is gone was renamed over its file
                // already; an empty one stands for the file's removal.
                if (!new_version.empty()) bytes = bytes_if_there(new_version) ? bytes_if_there(new_version) : bytes_if_there(file);
            } else if (!old_version.empty()) {
                // An old file that is gone was put back already; a file
                // without one was new, and goes.
                bytes = bytes_if_there(old_version) ? bytes_if_there(old_version) : bytes_if_there(file);
            }
            expected.journal_files[same_file_key(file)] = bytes;
        }
    }
    for (const auto& [name, bytes] : visible_files())
        if (expected.journal_files.count(name) == 0) expected.other_files[name] = bytes;
    return expected;
}

void expect_recovered(const RecoveryExpected& expected)
{
    const std::map<std::string, std::string> now = visible_files();
    const char* const what = !expected.journal ? "without a commit journal, the next start changed a file"
                             : expected.finish ? "the next start did not finish the commit its journal decided"
                                               : "the next start did not undo the commit its journal undoes";
    for (const auto& [file, bytes] : expected.journal_files) {
        const auto found = now.find(file);
        if (!bytes) {
            EXPECT_TRUE(found == now.end()) << what << ": " << file << " is there";
        } else if (found == now.end()) {
            ADD_FAILURE() << what << ": " << file << " is missing";
        } else {
            // Binary files: compared whole, shown by name only.
            EXPECT_TRUE(found->second == *bytes) << what << ": " << file;
        }
    }
    for (const auto& [file, bytes] : now) {
        if (expected.journal_files.count(file) != 0) continue;
        const auto was = expected.other_files.find(file);
        EXPECT_TRUE(was != expected.other_files.end() && was->second == bytes) << what << ": " << file;
    }
    for (const auto& [file, bytes] : expected.other_files)
        EXPECT_TRUE(now.count(file) != 0) << what << ": " << file << " is gone";
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
            if (::testing::Test::HasFailure()) return;
            const RecoveryExpected expected = expected_recovery();
            restart();
            expect_recovered(expected);
            check({killed, step, completed, expected.journal && expected.finish});
            EXPECT_FALSE(has_hidden_file());
            if (::testing::Test::HasFailure()) return;
        }
    }
}

bool is_study_lock(const std::string& name)
{
    return is_hidden(name) && name.find("lock") != std::string::npos;
}

std::map<std::string, std::string> study_files()
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name.rfind("QEVCOM", 0) != 0 && !is_study_lock(name))
            files[name] = TemporaryDirectory::get(name);
    }
    return files;
}

void restore_study_files(const std::map<std::string, std::string>& files)
{
    for (const auto& entry : fs::directory_iterator(".")) {
        if (!is_study_lock(entry.path().filename().string())) fs::remove_all(entry.path());
    }
    for (const auto& [name, bytes] : files) TemporaryDirectory::put(name, bytes);
}

bool has_hidden_file(const fs::path& directory)
{
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (is_hidden(name) && !is_study_lock(name)) return true;
    }
    return false;
}

}  // namespace velm::test
