// The link review and adoption module (main-menu option 2): review of a
// link's computer-recommended values and their adoption or override in the
// link data base and the string files, and the editor of a node's
// user-recommended peak flow rates.
#pragma once

#include "shell/launcher.h"
#include "shell/session.h"

namespace velm {

// The module's menu: options 1 to 5 are the review targets (ReviewTarget),
// option 6 the node peak-flow editor.
inline constexpr int NODE_PEAK_FLOW_OPTION = 6;

// Called by the main program with the launcher's run count, sub-option and
// line (count 0, sub-option 0 and a blank line when chosen from the main
// menu).  A launched module (count above 0) takes its study from the
// launcher line and runs the option its sub-option names (1 to 6; 0 asks on
// the menu), then replies to the launcher; otherwise it asks for the study
// once and returns to its menu after every review until EXIT.  It never
// returns: it ends the program when it is done, when left with EXIT, and on
// its fatal conditions.
[[noreturn]] void run_user_interface_module(Session& session, LauncherCall& call);

}  // namespace velm
