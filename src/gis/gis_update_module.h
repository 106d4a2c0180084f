// The GIS-to-data base update module (main-menu option 7): brings the
// study's binary link-node model files up to date with its GIS exports.  It
// asks for the study (unless launched), sorts the exports that exist into
// per-map GIS files and checks them (a fatal finding ends the program before
// any model file is touched), then passes over every model file named in
// every storm event's model list: each is updated from the GIS files its own
// GIS update option selects, and its previous content is kept in its "OO"
// copy ("AB1234OO.Z13" for "AB1234ZZ.Z13").  One dated note goes to the
// history log; the tool-status file is created when missing.  The GIS files,
// the check reports, the model files with their "OO" copies and the note are
// one change: every file the pass reaches is checked before anything is
// written, and a file it cannot write is told in the window, naming it, with
// no file changed.  So is a file it cannot trust: an export with a record
// broken by a slash, a GIS file with a record that cannot be read, and a
// map's link data base, which keeps the freeboards of the map's open
// channels, when it cannot be read, is missing where the map has channels, or
// holds no record of a channel whose depth the GIS link file sets (the
// refusal names the data base and the channel's nodes).
// A refusal ends the program as refused (platform/stop.h).
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
[[noreturn]] void run_gis_update_module(Session& session, LauncherCall& call);

// The module's title page; waits for one typed line.
void show_gis_update_module_banner(Window& window);

}  // namespace velm
