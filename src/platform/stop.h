// The plain stop that ends the program from any routine.
#pragma once

#include <string>

namespace velm {

// Thrown by stop_program; only the program's entry point catches it, so every
// open file is closed on the way out.  The reason is for tests and logs only:
// the program's own messages are already on the screen.
struct ProgramStop {
    std::string reason;
};

[[noreturn]] void stop_program(std::string reason = {});

}  // namespace velm
