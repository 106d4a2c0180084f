// The program's entry point: builds the console window and the clock, runs
// the main program and ends plainly on its stop.  A file that must exist and
// does not, or one that cannot be read or written, ends the run with its
// message, shown once the window has closed and handed the terminal back.
#include <exception>
#include <iostream>
#include <string>

#include "app/main_program.h"
#include "platform/clock.h"
#include "platform/stop.h"
#include "platform/terminal_window.h"

int main()
{
    using namespace velm;
    SystemClock clock;
    bool failed = false;
    std::string failure;
    try {
        auto window = make_console_window();
        Session session{*window, clock};
        run_main_program(session);
    } catch (const ProgramStop&) {
    } catch (const std::exception& error) {
        // The window is gone by now (it lived inside the try block), so the
        // message lands on the terminal the user sees.
        failed = true;
        failure = error.what();
    }
    if (failed) {
        std::cerr << "velmora: " << failure << '\n';
        return 1;
    }
    return 0;
}
