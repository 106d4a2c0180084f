// The program's entry point: builds the console window and the clock, runs
// the main program and ends plainly on its stop.
#include "app/main_program.h"
#include "platform/clock.h"
#include "platform/stop.h"
#include "platform/terminal_window.h"

int main()
{
    using namespace velm;
    SystemClock clock;
    try {
        auto window = make_console_window();
        Session session{*window, clock};
        run_main_program(session);
    } catch (const ProgramStop&) {
    }
    return 0;
}
