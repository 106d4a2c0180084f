// The one 80-column text window the program talks through.
#pragma once

#include <string>
#include <string_view>

namespace velm {

inline constexpr int SCREEN_COLUMNS = 80;
inline constexpr int SCREEN_ROWS = 24;
inline constexpr int MAX_TYPED_LINE = 128;  // characters of one typed answer

// How a written text leaves the cursor: on a new line (an ordinary record) or
// behind the text, so that the answer is typed there (a prompt; the "$" of the
// screen layouts).
enum class LineEnd { NewLine, StayOnLine };

// Rows and columns count from 1 at the top left.  A text that runs past
// column 80 goes on at column 1 of the next row; a text that lands below
// row 24 scrolls the screen up one row.  A record written on row 24 leaves
// the cursor pending below the screen without scrolling by itself: only the
// next text scrolls.
class Window {
public:
    virtual ~Window() = default;

    // Clears the whole window, turns the cursor on and puts it at (1, 1).
    virtual void clear_screen() = 0;
    // Column first, then row, as the screen layouts give them.
    virtual void move_cursor(int column, int row) = 0;
    // Writes the text at the cursor.
    virtual void write(std::string_view text, LineEnd end = LineEnd::NewLine) = 0;
    // Reads one typed line (at most MAX_TYPED_LINE characters; the rest is
    // dropped), echoed at the cursor; the cursor then goes to column 1 of the
    // next row.  End of input on the keyboard ends the program (stop_program).
    virtual std::string read_line() = 0;
    // A short beep (660 Hz for 60 ms where the terminal can).
    virtual void beep() = 0;
};

// Writes a record at a position: move_cursor then write.
inline void write_at(Window& window, int column, int row, std::string_view text, LineEnd end = LineEnd::NewLine)
{
    window.move_cursor(column, row);
    window.write(text, end);
}

}  // namespace velm
