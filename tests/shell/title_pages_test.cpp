#include "shell/title_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scripted_window.h"

namespace velm {
namespace {

using test::ScriptedWindow;

struct Text {
    int row;
    int column;
    std::string text;
};

struct PageCase {
    const char* name;
    void (*show)(Window&);
    int last_frame_row;
    std::vector<Text> titles;
    int pointer_row;
};

void put(std::vector<std::string>& screen, int column, int row, const std::string& text)
{
    screen[static_cast<std::size_t>(row - 1)].replace(static_cast<std::size_t>(column - 1), text.size(), text);
}

// The whole page as it should stand when the line is read: a frame of "//"
// marks leaning one column left per row from columns 14 and 69 on row 5, the
// titles, and the dotted pointer to the prompt.
std::vector<std::string> expected_page(const PageCase& page)
{
    std::vector<std::string> screen(SCREEN_ROWS, std::string(SCREEN_COLUMNS, ' '));
    for (int row = 5; row <= page.last_frame_row; ++row) {
        put(screen, 14 - (row - 5), row, "//");
        put(screen, 69 - (row - 5), row, "//");
    }
    for (const Text& title : page.titles) put(screen, title.column, title.row, title.text);
    put(screen, 35, page.pointer_row, "........");
    put(screen, 38, page.pointer_row + 1, ".");
    put(screen, 38, page.pointer_row + 2, ".");
    put(screen, 38, page.pointer_row + 3, ".......> Press RETURN to continue");
    return screen;
}

TEST(TitlePages, FramesTitlesAndPromptStandInPlace)
{
    const PageCase pages[] = {
        {"program library",
         show_program_library_banner,
         9,
         {{7, 33, "Velmora (VELM):"},
          {8, 30, "Program Library"},
          {12, 27, "Velmora Engineering Software"},
          {13, 29, "Release date: 2026-12-10"},
          {14, 35, "Version 1.0"}},
         16},
        {"postprocessor", show_postprocessor_banner, 9, {{7, 34, "DATA BASE"}, {8, 30, "PRE/POSTPROCESSOR"}}, 16},
        {"user interface",
         show_user_interface_module_banner,
         10,
         {{8, 35, "VELMORA:"}, {9, 24, "DATA BASE USER-INTERFACE MODULE"}},
         17},
    };
    for (const PageCase& page : pages) {
        SCOPED_TRACE(page.name);
        ScriptedWindow window({"whatever is typed", "next answer"});
        window.write("text of the screen before");
        page.show(window);

        EXPECT_EQ(window.clears(), 1);
        ASSERT_EQ(window.reads().size(), 1u);
        EXPECT_EQ(window.lines_left(), 1u);
        // The cursor waits behind " Press RETURN to continue".
        EXPECT_EQ(window.read_positions()[0], std::make_pair(71, page.pointer_row + 3));

        const std::vector<std::string> expected = expected_page(page);
        const std::string& shown = window.reads()[0];
        std::size_t start = 0;
        for (int row = 1; row <= SCREEN_ROWS; ++row) {
            const std::size_t end = shown.find('\n', start);
            std::string line = shown.substr(start, end == std::string::npos ? std::string::npos : end - start);
            line.resize(SCREEN_COLUMNS, ' ');
            EXPECT_EQ(line, expected[static_cast<std::size_t>(row - 1)]) << "row " << row;
            start = end == std::string::npos ? shown.size() : end + 1;
        }
    }
}

// The product-family line of each page that carries one stands centred
// between the two marks of its row.
TEST(TitlePages, ProductFamilyLinesAreCentredInTheFrame)
{
    struct FamilyCase {
        const char* name;
        void (*show)(Window&);
        int row;
        std::string text;
    };
    const FamilyCase cases[] = {
        {"program library", show_program_library_banner, 7, "Velmora (VELM):"},
        {"user interface", show_user_interface_module_banner, 8, "VELMORA:"},
    };
    for (const FamilyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedWindow window({""});
        c.show(window);
        const std::string& row = window.row(c.row);
        const std::size_t left_mark_end = row.find("//") + 2;
        const std::size_t right_mark = row.find("//", left_mark_end);
        const std::size_t text_start = row.find(c.text);
        ASSERT_NE(text_start, std::string::npos);
        const std::size_t text_end = text_start + c.text.size();
        const std::size_t before = text_start - left_mark_end;
        const std::size_t after = right_mark - text_end;
        EXPECT_LE(before > after ? before - after : after - before, 1u)
            << "blanks before " << before << ", after " << after;
    }
}

}  // namespace
}  // namespace velm
