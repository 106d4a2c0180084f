// The plain stop that ends the program from any routine.
#pragma once

#include <string>

namespace velm {

// The program's exit status: 0 when it ends at the engineer's EXIT, at the
// end of its input at a menu, or after its work; REFUSED_EXIT_STATUS
// whenever it ends on a refusal or an error shown in the window, and for a
// launched run that the launcher expects to answer and that ends without
// its reply, so that a launcher's script can tell a run that did not happen
// from one that did.  The program's entry decides it (app/main_program.h).
inline constexpr int FINISHED_EXIT_STATUS = 0;
inline constexpr int REFUSED_EXIT_STATUS = 1;

// Thrown by stop_program; only the program's entry point catches it, so every
// open file is closed on the way out.  The reason is for tests and logs only:
// the program's own messages are already on the screen.  `refused` is set
// for a stop on a refusal (stop_program_refused) and for any stop while a
// refusal waits for RETURN.
struct ProgramStop {
    std::string reason;
    bool refused = false;
};

[[noreturn]] void stop_program(std::string reason = {});
// The end of the program after a refusal or an error shown in the window.
[[noreturn]] void stop_program_refused(std::string reason);

}  // namespace velm
