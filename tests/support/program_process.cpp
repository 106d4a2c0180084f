#include "support/program_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace velm::test {

namespace {

// The typed lines as an unnamed file, to stand at a child's input, so that
// nothing lands in a study.
std::FILE* typed_input(const std::string& typed)
{
    std::FILE* input = std::tmpfile();
    if (input == nullptr) throw std::runtime_error("no temporary file");
    std::fwrite(typed.data(), 1, typed.size(), input);
    std::fflush(input);
    std::rewind(input);
    return input;
}

}  // namespace

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

ProcessEnd run_child_process(const std::string& typed, const std::function<int()>& child)
{
    std::FILE* input = typed_input(typed);
    int screen[2];
    int errors[2];
    if (pipe(screen) != 0) throw std::runtime_error("pipe failed");
    if (pipe(errors) != 0) throw std::runtime_error("pipe failed");
    // Nothing the test buffered is written twice, by the child as well.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(fileno(input), 0);
        dup2(screen[1], 1);
        dup2(errors[1], 2);
        close(screen[0]);
        close(screen[1]);
        close(errors[0]);
        close(errors[1]);
        // The child ends here, whatever `child` does: never back in the
        // test program's own run of its tests.
        int status = 125;
        try {
            status = child();
        } catch (...) {
        }
        _exit(status);
    }
    std::fclose(input);
    close(screen[1]);
    close(errors[1]);
    ProcessEnd end;
    // The error stream is read after the screen: a program that filled the
    // error pipe first would wait; ours writes a line there at the most.
    end.screen = read_to_end(screen[0]);
    end.errors = read_to_end(errors[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    end.peak_memory_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) end.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
    return end;
}

ProcessEnd run_program_process(const std::filesystem::path& directory, const std::string& typed,
                               const std::function<void()>& prepare)
{
    const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
    return run_child_process(typed, [&] {
        if (prepare) prepare();
        if (chdir(directory.c_str()) != 0) return 127;
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}

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

std::optional<bool> run_program_killed_at_call(
    const std::filesystem::path& directory, const std::string& typed, int n,
    const std::function<bool(pid_t program, const __ptrace_syscall_info& call)>& counted)
{
    const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
    std::FILE* input = typed_input(typed);
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const int output = open("/dev/null", O_WRONLY);
        if (chdir(directory.c_str()) != 0 || output < 0) _exit(127);
        dup2(fileno(input), 0);
        dup2(output, 1);
        dup2(output, 2);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::fclose(input);
    int status = 0;
    waitpid(child, &status, 0);                    // stopped at the start of the program
    if (!WIFSTOPPED(status)) return std::nullopt;  // tracing is not allowed here
    ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int calls = 0;
    bool in_call = false;  // stopped between a counted call's entry and its return
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
            in_call = counted(child, info);
            continue;
        }
        if (info.op != PTRACE_SYSCALL_INFO_EXIT || !in_call) continue;
        in_call = false;
        if (++calls < n) continue;
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return true;
    }
}

}  // namespace velm::test
