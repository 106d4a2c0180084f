// The main program: start-up, the launcher's command file, the title page and
// the main menu.
#pragma once

#include "shell/session.h"

namespace velm {

// Runs the program to its end; it ends by stop_program (ProgramStop).
void run_main_program(Session& session);

}  // namespace velm
