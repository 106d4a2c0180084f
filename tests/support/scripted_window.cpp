#include "support/scripted_window.h"

#include <sstream>

namespace velm::test {

ScriptedWindow::ScriptedWindow(std::vector<std::string> typed_lines) : typed_(typed_lines.begin(), typed_lines.end()) {}

void ScriptedWindow::type(const std::vector<std::string>& lines)
{
    for (const auto& line : lines) typed_.push_back(line);
}

void ScriptedWindow::clear_screen()
{
    ++clears_;
    grid_.clear();
    transcript_ += "<clear>\n";
}

void ScriptedWindow::move_cursor(int column, int row)
{
    grid_.move_cursor(column, row);
}

void ScriptedWindow::write(std::string_view text, LineEnd end)
{
    grid_.write(text, end);
    transcript_ += text;
    if (end == LineEnd::NewLine) transcript_ += '\n';
}

std::string ScriptedWindow::read_line()
{
    screens_at_reads_.push_back(grid_.dump());
    read_positions_.emplace_back(grid_.cursor_column(), grid_.cursor_row());
    if (typed_.empty()) {
        throw ScriptExhausted("the scripted window has no more typed lines; the screen was:\n" + grid_.dump());
    }
    std::string line = std::move(typed_.front());
    typed_.pop_front();
    if (line.size() > static_cast<std::size_t>(MAX_TYPED_LINE)) line.resize(MAX_TYPED_LINE);
    grid_.echo_typed(line);
    transcript_ += line;
    transcript_ += '\n';
    return line;
}

std::string snapshot_row(const std::string& dump, int row)
{
    std::istringstream lines(dump);
    std::string line;
    for (int r = 1; r <= row; ++r) {
        if (!std::getline(lines, line)) line.clear();
    }
    line.resize(SCREEN_COLUMNS, ' ');
    return line;
}

std::string snapshot_text(const std::string& dump, int column, int row, std::size_t length)
{
    return snapshot_row(dump, row).substr(static_cast<std::size_t>(column - 1), length);
}

std::string snapshot_rows_joined(const std::string& dump, int first, int last)
{
    std::string text;
    for (int row = first; row <= last; ++row) {
        const std::string line = snapshot_row(dump, row);
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos) continue;
        text += line.substr(start, line.find_last_not_of(' ') + 1 - start) + " ";
    }
    return text;
}

}  // namespace velm::test
