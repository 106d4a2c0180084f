// The program as a process of its own, the way a user or the launcher
// starts it: its typed input from a file, its window and its error stream
// read back through pipes, its end read from its wait status.
#pragma once

#include <sys/ptrace.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace velm::test {

// How a process ended and what it showed.
struct ProcessEnd {
    int status = -1;          // the exit status; -1 for an end by a signal
    int signal = 0;           // the signal that ended it, 0 for an exit
    std::string screen;       // the plain window's output (the standard output)
    std::string errors;       // the error stream
    long peak_memory_kb = 0;  // the most memory it held at once (its peak resident set)

    bool killed_by_signal() const { return signal != 0; }
};

// Everything a pipe carries until its end; the descriptor is closed.
std::string read_to_end(int fd);

// A forked child with `typed` on its standard input (an unnamed file, so
// that nothing lands in a study) and its standard output and error stream
// piped back; `child` runs in it and gives its exit status (or does not
// return, replacing the process; 125 when it throws).
ProcessEnd run_child_process(const std::string& typed, const std::function<int()>& child);

// The program itself (the build's velmora) started in `directory` with
// `typed` on its input.  `prepare`, when given, runs in the child first,
// before it enters the directory: the limits, alarms and mounts a test sets
// for the program alone.
ProcessEnd run_program_process(const std::filesystem::path& directory, const std::string& typed,
                               const std::function<void()>& prepare = {});

// The program started in `directory` with `typed` on its input and its
// window and error stream thrown away, traced, and killed (SIGKILL) the
// moment the n-th of the system calls that `counted` picks (asked at each
// call's entry, with the program's process), counted from 1, returns: its
// files then stand as those calls left them.  False when the program ended
// by itself before (its status is not told: under the leak sanitizer a
// traced program ends with 1, as the sanitizer cannot trace it itself);
// nothing when this machine does not let a test trace the program.
std::optional<bool> run_program_killed_at_call(
    const std::filesystem::path& directory, const std::string& typed, int n,
    const std::function<bool(pid_t program, const __ptrace_syscall_info& call)>& counted);

// The window's text with each message's lines joined: a refusal's message
// is broken at blanks over indented rows.
std::string joined_rows(const std::string& screen);

}  // namespace velm::test
