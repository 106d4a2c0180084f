// Running the whole program in a test: to its stop with typed lines, or
// launched through the launcher's command file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shell/session.h"
#include "support/scripted_window.h"

namespace velm::test {

// How a run stopped: the stop's reason ("did not stop" when it returned
// instead) and whether it ended refused (ProgramStop::refused).
struct ProgramEnd {
    std::string reason;
    bool refused = false;
};

// Runs `run` (a module or the main program) to its stop with the typed
// lines, every one of which must be used; returns how it stopped.
ProgramEnd run_to_end(ScriptedWindow& window, const std::vector<std::string>& typed, const std::function<void()>& run);
// The same, the stop's reason only.
std::string run_to_stop(ScriptedWindow& window, const std::vector<std::string>& typed,
                        const std::function<void()>& run);

// Runs the main program to its stop with the typed lines, every one of
// which must be used; returns how it stopped.
ProgramEnd run_program_to_end(Session& session, ScriptedWindow& window, const std::vector<std::string>& typed);
// The same, the stop's reason only.
std::string run_program_to_stop(Session& session, ScriptedWindow& window, const std::vector<std::string>& typed);

// Runs the main program with the typed lines, not all of which need be used
// (a change cut short at some write stops at any of them): the stop's
// reason, "the script ran out" when the program asked for a line past them,
// or "did not stop" when it returned.
std::string run_program_on_lines(Session& session, ScriptedWindow& window, const std::vector<std::string>& typed);

// The launcher's command file "QEVCOM.DAT" in the working directory: the
// study, the launcher's call count, the option and sub-option (written as
// reals, as the launcher does) and seven unused zeros.
void write_command_file(const std::string& study, int count, int option, int sub_option);

}  // namespace velm::test
