#include "gis/gis_update_module.h"

#include "platform/stop.h"
#include "shell/dialogue.h"

namespace velm {

// Until the module's screens are built, choosing it ends the program as
// leaving the module with EXIT at its first prompt does: the window is
// cleared and no reply is written.
void run_gis_update_module(Session& session, [[maybe_unused]] LauncherCall& call)
{
    clear_screen(session.window);
    stop_program("run_gis_update_module: not built yet");
}

}  // namespace velm
