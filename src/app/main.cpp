// The program's entry point: builds the console window and the clock, runs
// the main program and ends plainly on its stop.  Every module refuses a
// file it cannot read or write in the window itself; an error that no
// module caught is shown in the window as well, until RETURN, before the
// window closes; a change that can be neither finished nor undone now
// (UnfinishedCommit) is shown so, and ends the program before any other
// change.  The exit status is 0 for a finished run and
// REFUSED_EXIT_STATUS for one that ended on a refusal or an error
// (platform/stop.h).  Only when the window itself cannot show an error does
// its message go to the error stream.
#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "app/main_program.h"
#include "platform/clock.h"
#include "platform/file_change.h"
#include "platform/stop.h"
#include "platform/terminal_window.h"
#include "shell/dialogue.h"

namespace {

// A change left unfinished: its message on a clear screen, in the rows the
// refusals of a start use.
constexpr int UNFINISHED_CHANGE_ROW = 18;

// The error in the window; false when the window could not show it.
bool show_in_window(velm::Window& window, const std::exception& error)
{
    using namespace velm;
    try {
        if (dynamic_cast<const UnfinishedCommit*>(&error) != nullptr) {
            clear_screen(window);
            show_file_refusal(window, UNFINISHED_CHANGE_ROW,
                              " * A CHANGE IS LEFT UNFINISHED; THE PROGRAM ENDS:", error);
        } else {
            show_file_refusal(window, MESSAGE_ROW - 1, " * THE PROGRAM CANNOT GO ON:", error);
        }
        clear_screen(window);
    } catch (const ProgramStop&) {
        // The input ended at the pause: the message was on the screen.
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace

int main()
{
    using namespace velm;
    // A file-size limit makes a write fail with EFBIG instead of ending the
    // program by the signal: the write's refusal names the file and leaves
    // the study as it was, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    SystemClock clock;
    int status = FINISHED_EXIT_STATUS;
    bool failed = false;
    bool shown = false;
    std::string failure;
    try {
        auto window = make_console_window();
        Session session{*window, clock};
        try {
            run_main_program(session);
        } catch (const ProgramStop& stop) {
            status = stop.exit_status();
        } catch (const std::exception& error) {
            failed = true;
            failure = error.what();
            shown = show_in_window(*window, error);
        }
    } catch (const ProgramStop& stop) {
        status = stop.exit_status();
    } catch (const std::exception& error) {
        // No window to show it in: the message lands on the terminal once
        // whatever was built of the window is gone.
        if (!failed) failure = error.what();
        failed = true;
    }
    if (failed && !shown) std::cerr << "velmora: " << failure << '\n';
    return failed ? REFUSED_EXIT_STATUS : status;
}
