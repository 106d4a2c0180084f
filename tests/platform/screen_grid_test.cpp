#include "platform/screen_grid.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

TEST(ScreenGrid, PromptLeavesCursorBehindText)
{
    ScreenGrid grid;
    grid.move_cursor(33, 24);
    grid.write("  Press RETURN to continue ===>", LineEnd::StayOnLine);
    EXPECT_EQ(grid.text_at(33, 24, 31), "  Press RETURN to continue ===>");
    EXPECT_EQ(grid.cursor_column(), 64);
    EXPECT_EQ(grid.cursor_row(), 24);
}

TEST(ScreenGrid, RecordOnBottomRowScrollsOnlyWithTheNextText)
{
    ScreenGrid grid;
    grid.move_cursor(1, 23);
    grid.write("first");
    grid.write("second");  // row 24; cursor pending below the screen
    EXPECT_EQ(grid.text_at(1, 24, 6), "second");
    EXPECT_EQ(grid.scrolled_rows(), 0);
    grid.write("third");
    EXPECT_EQ(grid.text_at(1, 22, 5), "first");
    EXPECT_EQ(grid.text_at(1, 23, 6), "second");
    EXPECT_EQ(grid.text_at(1, 24, 5), "third");
    EXPECT_EQ(grid.scrolled_rows(), 1);
}

TEST(ScreenGrid, LongTextWrapsToTheNextRow)
{
    ScreenGrid grid;
    grid.move_cursor(78, 3);
    grid.write("abcde", LineEnd::StayOnLine);
    EXPECT_EQ(grid.text_at(78, 3, 3), "abc");
    EXPECT_EQ(grid.text_at(1, 4, 2), "de");
    EXPECT_EQ(grid.cursor_column(), 3);
}

}  // namespace
}  // namespace velm
