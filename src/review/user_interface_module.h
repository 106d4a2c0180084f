// The link review and adoption module (main-menu option 2): review of a
// link's computer-recommended values and their adoption or override in the
// link data base and the string files.
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
[[noreturn]] void run_user_interface_module(Session& session, LauncherCall& call);

}  // namespace velm
