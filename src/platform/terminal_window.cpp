// The terminal window of interactive runs, drawn with ncurses.  The screen is
// kept as an 80 x 24 grid, the same model as the plain window's, and the rows
// that changed are painted after every change; the typed line is read key by
// key and echoed here, so an Enter on the bottom row never scrolls.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "platform/screen_grid.h"
#include "platform/stop.h"
#include "platform/terminal_window.h"

#include <ncurses.h>

namespace velm {
namespace {

constexpr int CTRL_D = 4;
constexpr int CTRL_H = 8;
constexpr int DEL = 127;
constexpr int ESCAPE_DELAY_MS = 25;  // an Escape key alone is not held for a second

class TerminalWindow final : public Window {
public:
    explicit TerminalWindow(SCREEN* screen) : screen_(screen)
    {
        set_term(screen_);
        cbreak();
        noecho();
        nonl();
        intrflush(stdscr, FALSE);
        keypad(stdscr, TRUE);
        scrollok(stdscr, FALSE);
        idlok(stdscr, TRUE);  // a screen that scrolls up is redrawn by scrolling the terminal
        set_escdelay(ESCAPE_DELAY_MS);
        curs_set(1);
        drawn_.fill(std::string(SCREEN_COLUMNS, ' '));
        paint(grid_);
    }

    ~TerminalWindow() override
    {
        endwin();
        delscreen(screen_);
    }

    TerminalWindow(const TerminalWindow&) = delete;
    TerminalWindow& operator=(const TerminalWindow&) = delete;

    void clear_screen() override
    {
        grid_.clear();
        curs_set(1);
        paint(grid_);
    }

    // The cursor is shown where it stands at the next write or read.
    void move_cursor(int column, int row) override { grid_.move_cursor(column, row); }

    void write(std::string_view text, LineEnd end) override
    {
        grid_.write(text, end);
        paint(grid_);
    }

    std::string read_line() override
    {
        std::string typed;
        for (;;) {
            // The answer is shown as the grid would show it, wrapping and
            // scrolling alike, without touching the grid before Enter.
            ScreenGrid view = grid_;
            view.write(typed, LineEnd::StayOnLine);
            paint(view);

            errno = 0;
            const int key = getch();
            if (key == ERR) {
                if (errno == EINTR) continue;
                stop_program("end of input");
            }
            if (key == '\r' || key == '\n' || key == KEY_ENTER) break;
            if (key == KEY_RESIZE) {
                repaint_all();
            } else if (key == KEY_BACKSPACE || key == DEL || key == CTRL_H) {
                if (!typed.empty()) typed.pop_back();
            } else if (key == CTRL_D) {
                if (typed.empty()) stop_program("end of input");
            } else if (key >= ' ' && key < DEL) {
                if (typed.size() < static_cast<std::size_t>(MAX_TYPED_LINE)) {
                    typed += static_cast<char>(key);
                } else {
                    ::beep();
                }
            }
        }
        grid_.echo_typed(typed);
        paint(grid_);
        return typed;
    }

    void beep() override
    {
        ::beep();
        refresh();
    }

private:
    // Paints the rows of the grid that differ from what is drawn, places the
    // cursor and brings the terminal up to date.  A terminal smaller than
    // 80 x 24 shows the top left part.
    void paint(const ScreenGrid& grid)
    {
        const int rows = std::min(SCREEN_ROWS, LINES);
        const int columns = std::min(SCREEN_COLUMNS, COLS);
        for (int r = 1; r <= rows; ++r) {
            auto& drawn = drawn_[static_cast<std::size_t>(r - 1)];
            if (drawn == grid.row(r)) continue;
            // The bottom right cell cannot take the cursor behind it: curses
            // reports that, but the character is drawn.
            mvaddnstr(r - 1, 0, grid.row(r).c_str(), columns);
            drawn = grid.row(r);
        }
        place_cursor(grid);
        refresh();
    }

    void place_cursor(const ScreenGrid& grid)
    {
        // A cursor pending below the bottom row shows at the start of it.
        const bool pending = grid.cursor_row() > SCREEN_ROWS;
        const int row = std::min({pending ? SCREEN_ROWS : grid.cursor_row(), LINES});
        const int column = std::min({pending ? 1 : grid.cursor_column(), SCREEN_COLUMNS, COLS});
        move(row - 1, column - 1);
    }

    void repaint_all()
    {
        clear();
        drawn_.fill(std::string());  // differs from every row
        paint(grid_);
    }

    SCREEN* screen_;
    ScreenGrid grid_;
    std::array<std::string, SCREEN_ROWS> drawn_;
};

}  // namespace

std::unique_ptr<Window> make_terminal_window()
{
    // newterm, unlike initscr, reports a terminal it cannot drive instead of
    // ending the program.
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) return make_plain_window();
    return std::make_unique<TerminalWindow>(screen);
}

std::unique_ptr<Window> make_console_window()
{
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) return make_terminal_window();
    return make_plain_window();
}

}  // namespace velm
