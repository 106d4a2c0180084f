#include <gtest/gtest.h>

#include <sstream>

#include "platform/stop.h"
#include "platform/terminal_window.h"

namespace velm {
namespace {

constexpr std::string_view PAUSE_PROMPT = "  Press RETURN to continue ===>";

std::string blank_lines(int count)
{
    return std::string(static_cast<std::size_t>(count), '\n');
}

// Takes what the window printed so far.
std::string take(std::ostringstream& out)
{
    std::string text = out.str();
    out.str("");
    return text;
}

TEST(PlainWindow, ShowsTheWholeScreenAfterAClearThenOnlyChangedRows)
{
    std::istringstream in("abc\r\n\n");
    std::ostringstream out;
    auto window = make_plain_window(in, out);
    window->clear_screen();
    write_at(*window, 1, 1, "POSTPROCESSOR");
    write_at(*window, 33, 24, PAUSE_PROMPT, LineEnd::StayOnLine);
    EXPECT_EQ(window->read_line(), "abc");
    EXPECT_EQ(take(out), "POSTPROCESSOR\n" + blank_lines(22) + std::string(32, ' ') + std::string(PAUSE_PROMPT) + "\n");

    write_at(*window, 5, 3, "second");
    write_at(*window, 1, 1, "POSTPROCESSOR");  // unchanged
    EXPECT_EQ(window->read_line(), "");
    EXPECT_EQ(take(out), "    second\n" + std::string(32, ' ') + std::string(PAUSE_PROMPT) + "abc\n");

    EXPECT_THROW(window->read_line(), ProgramStop);  // end of input
}

TEST(PlainWindow, RowsThatScrollAwayAppearOnceInOrder)
{
    std::istringstream in("\n");
    std::ostringstream out;
    auto window = make_plain_window(in, out);
    window->clear_screen();
    std::string expected;
    for (int i = 1; i <= 30; ++i) {
        window->write(" map " + std::to_string(i));
        expected += " map " + std::to_string(i) + "\n";
    }
    window->write("Next ===>", LineEnd::StayOnLine);
    expected += "Next ===>\n";
    window->read_line();
    EXPECT_EQ(take(out), expected);
}

TEST(PlainWindow, TypedLineIsCutAndTheLastScreenShownAtTheEnd)
{
    std::istringstream in(std::string(200, 'x') + "\n");
    std::ostringstream out;
    {
        auto window = make_plain_window(in, out);
        EXPECT_EQ(window->read_line(), std::string(MAX_TYPED_LINE, 'x'));
        take(out);
        write_at(*window, 1, 20, "RUN COMPLETE");
    }
    // The echoed answer, wrapped as on the screen, then the last text.
    EXPECT_EQ(take(out), std::string(80, 'x') + "\n" + std::string(48, 'x') + "\nRUN COMPLETE\n");
}

}  // namespace
}  // namespace velm
