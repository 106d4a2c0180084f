// The main program: start-up, the launcher's command file, the title page,
// the main menu, and option 1, the postprocessor control (control menu,
// study prompt, settings screens and the analysis run).
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>

#include "platform/clock.h"
#include "platform/window.h"
#include "shell/session.h"

namespace velm {

// Runs the program to its end; every road ends by stop_program
// (ProgramStop): E at the main menu, EXIT at the control menu or the study
// prompt, the end of the analysis run, the end of every module.
[[noreturn]] void run_main_program(Session& session);

// The whole program as its entry point runs it: the main program in the
// window that `make_window` builds, to its end.  Returns the exit status
// (platform/stop.h): REFUSED_EXIT_STATUS for an end on a refusal, for an
// error that no module caught (shown in the window until RETURN, or written
// to `errors` once the window is gone when the window cannot show it, or
// could not be built), and for a launched run that owed the launcher its
// reply and wrote none; FINISHED_EXIT_STATUS for every other end.
int run_program(const std::function<std::unique_ptr<Window>()>& make_window, const Clock& clock, std::ostream& errors);

}  // namespace velm
