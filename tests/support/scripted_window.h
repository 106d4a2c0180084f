// The window of the module tests: an 80 x 24 grid, typed lines taken from a
// script, and a snapshot of the screen at every read.  When the script runs
// out the run ends with ScriptExhausted, which shows the screen, so a test
// never hangs on a prompt it did not expect.
#pragma once

#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/screen_grid.h"
#include "platform/window.h"

namespace velm::test {

class ScriptExhausted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ScriptedWindow final : public Window {
public:
    explicit ScriptedWindow(std::vector<std::string> typed_lines = {});

    void clear_screen() override;
    void move_cursor(int column, int row) override;
    void write(std::string_view text, LineEnd end = LineEnd::NewLine) override;
    std::string read_line() override;
    void beep() override { ++beeps_; }

    // More lines to type.
    void type(std::string line) { typed_.push_back(std::move(line)); }
    void type(const std::vector<std::string>& lines);

    const ScreenGrid& screen() const { return grid_; }
    std::string text_at(int column, int row, int length) const { return grid_.text_at(column, row, length); }
    const std::string& row(int r) const { return grid_.row(r); }
    std::string dump() const { return grid_.dump(); }

    // The screen as it stood at each read, before the typed line was echoed;
    // reads()[i] belongs to the i-th typed line.
    const std::vector<std::string>& reads() const { return screens_at_reads_; }
    // The cursor (column, row) at each read.
    const std::vector<std::pair<int, int>>& read_positions() const { return read_positions_; }
    int beeps() const { return beeps_; }
    int clears() const { return clears_; }
    std::size_t lines_left() const { return typed_.size(); }
    // Whether the text stood on the screen at some read or stands there now
    // (a message that waited for RETURN, or the last screen).
    bool has_shown(std::string_view text) const
    {
        if (dump().find(text) != std::string::npos) return true;
        for (const std::string& screen : screens_at_reads_)
            if (screen.find(text) != std::string::npos) return true;
        return false;
    }
    // Everything written, in order, for checks of progress lists that scroll.
    const std::string& transcript() const { return transcript_; }

private:
    ScreenGrid grid_;
    std::deque<std::string> typed_;
    std::vector<std::string> screens_at_reads_;
    std::vector<std::pair<int, int>> read_positions_;
    std::string transcript_;
    int beeps_ = 0;
    int clears_ = 0;
};

// A row (1 to 24) of a screen snapshot (dump() or one of reads()), padded
// to 80 columns.
std::string snapshot_row(const std::string& dump, int row);
// `length` characters of a snapshot's row from a column (1 to 80).
std::string snapshot_text(const std::string& dump, int column, int row, std::size_t length);
// The texts of a snapshot's rows `first` to `last`, each without its
// leading and trailing blanks, joined by one blank (blank rows left out):
// a message the window broke into lines, read whole again.
std::string snapshot_rows_joined(const std::string& dump, int first, int last);

}  // namespace velm::test
