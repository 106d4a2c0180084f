// The scenario adopt, reject and abandon module (main-menu option 6).
#pragma once

#include "shell/launcher.h"
#include "shell/session.h"

namespace velm {

// Called by the main program with the launcher's run count, sub-option and
// line (count 0, sub-option 0 and a blank line when chosen from the main
// menu).  A launched module (count above 0) takes its study from the
// launcher line; otherwise it asks for the study itself.  It never returns:
// it ends the program when it is done, when left with EXIT, and on its
// fatal conditions.
[[noreturn]] void run_scenario_adopt_reject_module(Session& session, LauncherCall& call);

}  // namespace velm
