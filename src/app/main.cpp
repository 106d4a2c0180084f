// The program's entry point: the console window and the system clock, and
// the main program run in them to its end (run_program, app/main_program.h),
// whose exit status the program returns: 0 for a finished run,
// REFUSED_EXIT_STATUS for one that ended on a refusal or an error, or
// without the reply a launcher was owed (platform/stop.h).
#include <csignal>
#include <iostream>

#include "app/main_program.h"
#include "platform/clock.h"
#include "platform/terminal_window.h"

int main()
{
    using namespace velm;
    // A file-size limit makes a write fail with EFBIG instead of ending the
    // program by the signal: the write's refusal names the file and leaves
    // the study as it was, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    // A launcher that starts the program with its screen piped and stops
    // reading it would end the run by the broken pipe's signal at the next
    // screen written, in the middle of its work; the screen's text is lost
    // instead, and the run does its work and replies.
    std::signal(SIGPIPE, SIG_IGN);
    const SystemClock clock;
    return run_program([] { return make_console_window(); }, clock, std::cerr);
}
