#include "platform/screen_grid.h"

#include <algorithm>

namespace velm {

ScreenGrid::ScreenGrid()
{
    clear();
}

void ScreenGrid::clear()
{
    for (auto& r : rows_) r.assign(SCREEN_COLUMNS, ' ');
    column_ = 1;
    row_ = 1;
}

void ScreenGrid::move_cursor(int column, int row)
{
    column_ = std::clamp(column, 1, SCREEN_COLUMNS);
    row_ = std::clamp(row, 1, SCREEN_ROWS);
}

void ScreenGrid::scroll_up()
{
    std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
    rows_.back().assign(SCREEN_COLUMNS, ' ');
    ++scrolled_;
}

void ScreenGrid::new_line()
{
    column_ = 1;
    ++row_;  // may become pending below the bottom row
}

void ScreenGrid::put(char c)
{
    if (column_ > SCREEN_COLUMNS) new_line();
    if (row_ > SCREEN_ROWS) {
        scroll_up();
        row_ = SCREEN_ROWS;
    }
    rows_[row_ - 1][column_ - 1] = c;
    ++column_;
}

void ScreenGrid::write(std::string_view text, LineEnd end)
{
    for (char c : text) {
        if (c == '\n') {
            new_line();
            continue;
        }
        // Control characters other than the line end show as blanks.
        put(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
    }
    if (end == LineEnd::NewLine) {
        if (row_ > SCREEN_ROWS) {  // an empty record on the pending row scrolls
            scroll_up();
            row_ = SCREEN_ROWS;
        }
        new_line();
    }
}

void ScreenGrid::echo_typed(std::string_view typed)
{
    write(typed, LineEnd::NewLine);
}

const std::string& ScreenGrid::row(int row) const
{
    return rows_.at(static_cast<std::size_t>(row - 1));
}

std::string ScreenGrid::text_at(int column, int row, int length) const
{
    const std::string& r = this->row(row);
    if (column < 1 || column > SCREEN_COLUMNS || length <= 0) return {};
    return r.substr(static_cast<std::size_t>(column - 1), static_cast<std::size_t>(length));
}

std::string ScreenGrid::dump() const
{
    std::string out;
    for (int r = 1; r <= SCREEN_ROWS; ++r) {
        std::string line = row(r);
        line.erase(line.find_last_not_of(' ') + 1);
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace velm
