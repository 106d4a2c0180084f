#include "app/main_program.h"

#include "platform/stop.h"
#include "shell/title_pages.h"

namespace velm {

void run_main_program(Session& session)
{
    session.data_directory.reset();
    show_program_library_banner(session.window);
    stop_program("main menu not yet reachable");
}

}  // namespace velm
