// The main program: start-up, the launcher's command file, the title page,
// the main menu, and option 1, the postprocessor control (control menu,
// study prompt, settings screens and the analysis run).
#pragma once

#include "shell/session.h"

namespace velm {

// Runs the program to its end; every road ends by stop_program
// (ProgramStop): E at the main menu, EXIT at the control menu or the study
// prompt, the end of the analysis run, the end of every module.
[[noreturn]] void run_main_program(Session& session);

}  // namespace velm
