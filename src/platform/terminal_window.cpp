// Placeholder until the terminal windows are built.
#include "platform/terminal_window.h"

#include <iostream>

#include "platform/stop.h"

namespace velm {
namespace {
class LineWindow final : public Window {
public:
    void clear_screen() override {}
    void move_cursor(int, int) override {}
    void write(std::string_view text, LineEnd end) override
    {
        std::cout << text;
        if (end == LineEnd::NewLine) std::cout << '\n';
        std::cout.flush();
    }
    std::string read_line() override
    {
        std::string line;
        if (!std::getline(std::cin, line)) stop_program("end of input");
        return line;
    }
    void beep() override {}
};
}  // namespace

std::unique_ptr<Window> make_console_window() { return std::make_unique<LineWindow>(); }
std::unique_ptr<Window> make_terminal_window() { return std::make_unique<LineWindow>(); }
std::unique_ptr<Window> make_plain_window() { return std::make_unique<LineWindow>(); }
}  // namespace velm
