// The plain window of runs whose input is not a terminal: the screen is kept
// as an 80 x 24 grid and shown as lines of text, so that a transcript of a
// piped run reads like the screens the user would have seen.
#include <algorithm>
#include <array>
#include <iostream>
#include <istream>
#include <optional>
#include <ostream>

#include "platform/screen_grid.h"
#include "platform/stop.h"
#include "platform/terminal_window.h"

namespace velm {
namespace {

std::string_view trimmed(std::string_view row)
{
    const auto end = row.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : row.substr(0, end + 1);
}

class PlainWindow final : public Window {
public:
    PlainWindow(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
    // The last screen of a run is shown too, though no read follows it.
    ~PlainWindow() override { show_changes(); }

    void clear_screen() override
    {
        grid_.clear();
        shown_.fill(std::nullopt);  // the whole new screen is shown at the next read
    }

    void move_cursor(int column, int row) override { grid_.move_cursor(column, row); }

    void write(std::string_view text, LineEnd end) override
    {
        change_grid([&] { grid_.write(text, end); });
    }

    std::string read_line() override
    {
        show_changes();
        std::string line;
        if (!std::getline(in_, line)) stop_program("end of input");
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > static_cast<std::size_t>(MAX_TYPED_LINE)) line.resize(MAX_TYPED_LINE);
        change_grid([&] { grid_.echo_typed(line); });
        return line;
    }

    void beep() override {}

private:
    // Applies a change to the grid.  Rows that scroll off the top before they
    // were shown are printed as they leave, so a progress list that grows
    // downward appears whole in the transcript.
    template <class Change>
    void change_grid(Change change)
    {
        const int scrolled_before = grid_.scrolled_rows();
        std::array<std::string, SCREEN_ROWS>& before = before_;
        for (int r = 1; r <= SCREEN_ROWS; ++r) before[static_cast<std::size_t>(r - 1)] = grid_.row(r);
        change();
        const int scrolled = grid_.scrolled_rows() - scrolled_before;
        if (scrolled <= 0) return;
        for (int r = 1; r <= std::min(scrolled, SCREEN_ROWS); ++r) {
            const auto i = static_cast<std::size_t>(r - 1);
            if (shown_[i] != before[i]) out_ << trimmed(before[i]) << '\n';
        }
        // What was shown moves up with the screen; the new bottom rows are unseen.
        for (int r = 1; r <= SCREEN_ROWS; ++r) {
            const int from = r + scrolled;
            shown_[static_cast<std::size_t>(r - 1)] =
                from <= SCREEN_ROWS ? std::move(shown_[static_cast<std::size_t>(from - 1)]) : std::nullopt;
        }
    }

    // Prints the rows that differ from what was last shown, down to the last
    // row holding text or the cursor.
    void show_changes()
    {
        int last = std::min(grid_.cursor_row(), SCREEN_ROWS);
        for (int r = SCREEN_ROWS; r > last; --r) {
            if (!trimmed(grid_.row(r)).empty()) {
                last = r;
                break;
            }
        }
        for (int r = 1; r <= SCREEN_ROWS; ++r) {
            auto& shown = shown_[static_cast<std::size_t>(r - 1)];
            if (r <= last && shown != grid_.row(r)) out_ << trimmed(grid_.row(r)) << '\n';
            shown = grid_.row(r);
        }
        out_.flush();
    }

    std::istream& in_;
    std::ostream& out_;
    ScreenGrid grid_;
    // The rows as last printed; nothing for a row not shown since a clear.
    std::array<std::optional<std::string>, SCREEN_ROWS> shown_{};
    // The rows as they stood before a change, kept between changes so that
    // their room is taken once.
    std::array<std::string, SCREEN_ROWS> before_{};
};

}  // namespace

std::unique_ptr<Window> make_plain_window(std::istream& in, std::ostream& out)
{
    return std::make_unique<PlainWindow>(in, out);
}

std::unique_ptr<Window> make_plain_window()
{
    return make_plain_window(std::cin, std::cout);
}

}  // namespace velm
