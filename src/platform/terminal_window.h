// The windows of a real run: the ncurses terminal window when standard input
// is a terminal, a plain line-by-line window otherwise.
#pragma once

#include <iosfwd>
#include <memory>

#include "platform/window.h"

namespace velm {

// Chooses the terminal window when standard input and output are terminals,
// else the plain window.
std::unique_ptr<Window> make_console_window();

// The ncurses window: positions hold, an Enter on the bottom row does not
// scroll.  Ends curses mode when destroyed.  Only one may exist at a time;
// when the terminal cannot be set up for curses, the plain window serves.
std::unique_ptr<Window> make_terminal_window();

// The plain window for piped input: it keeps the 80 x 24 grid like the
// terminal window and, before each read, prints the rows that changed since
// the previous read, so that a transcript shows what the user would see.
std::unique_ptr<Window> make_plain_window();
// The same over given streams (standard input and output above).
std::unique_ptr<Window> make_plain_window(std::istream& in, std::ostream& out);

}  // namespace velm
