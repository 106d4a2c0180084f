// The 80 x 24 character grid behind the windows that keep their own screen
// (the plain window and the scripted window of the tests): cursor, writing
// with wrap and scroll, and the pending cursor below the bottom row.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/window.h"

namespace velm {

class ScreenGrid {
public:
    ScreenGrid();

    void clear();
    void move_cursor(int column, int row);
    void write(std::string_view text, LineEnd end = LineEnd::NewLine);
    // Echo of a typed answer: written at the cursor, then a new line.
    void echo_typed(std::string_view typed);

    // The text of a row (1 to 24), 80 characters with trailing blanks.
    const std::string& row(int row) const;
    // The characters at (column, row), `length` of them, within the row.
    std::string text_at(int column, int row, int length) const;
    // The whole screen, one line a row, trailing blanks dropped.
    std::string dump() const;

    int cursor_column() const { return column_; }
    int cursor_row() const { return row_; }
    // Number of rows scrolled off the top since the start.
    int scrolled_rows() const { return scrolled_; }

private:
    void new_line();
    void scroll_up();
    void put(char c);

    std::array<std::string, SCREEN_ROWS> rows_;
    int column_ = 1;
    int row_ = 1;  // SCREEN_ROWS + 1: pending below the bottom row
    int scrolled_ = 0;
};

}  // namespace velm
