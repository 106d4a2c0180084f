#include "shell/title_pages.h"

#include <string>
#include <string_view>
#include <vector>

namespace velm {

namespace {

constexpr int PAGE_TOP_ROW = 5;

// A title line inside the frame: its row and first column.
struct TitleLine {
    int row;
    int column;
    std::string_view text;
};

// A line below the frame, centred on the 80-column screen.
struct CentredLine {
    int row;
    std::string_view text;
};

struct TitlePage {
    int frame_rows;  // rows of the frame, from row 5
    std::vector<TitleLine> titles;
    std::vector<CentredLine> lines_below;
    int pointer_row;  // first of the four rows of the pointer to the prompt
};

// The frame leans one column left per row: on row 5 + i its "//" marks stand
// at columns 14 - i and 69 - i.
int left_mark_column(int row)
{
    return 14 - (row - PAGE_TOP_ROW);
}
int right_mark_column(int row)
{
    return 69 - (row - PAGE_TOP_ROW);
}

void put_text(std::string& line, int column, std::string_view text)
{
    const std::size_t start = static_cast<std::size_t>(column - 1);
    if (line.size() < start + text.size()) line.resize(start + text.size(), ' ');
    line.replace(start, text.size(), text);
}

// The first column of a text centred between the frame marks of its row.
int centred_in_frame(int row, std::string_view text)
{
    const int inside_first = left_mark_column(row) + 2;
    const int inside_width = right_mark_column(row) - inside_first;
    return inside_first + (inside_width - static_cast<int>(text.size())) / 2;
}

int centred_on_screen(std::string_view text)
{
    return 1 + (SCREEN_COLUMNS - static_cast<int>(text.size())) / 2;
}

// Clears the window, writes the page from column 1 of row 5 down to the
// prompt and reads one line, whatever it holds.
void show_title_page(Window& window, const TitlePage& page)
{
    const int last_row = page.pointer_row + 3;
    std::vector<std::string> rows(static_cast<std::size_t>(last_row - PAGE_TOP_ROW + 1));
    auto row_text = [&](int row) -> std::string& { return rows[static_cast<std::size_t>(row - PAGE_TOP_ROW)]; };

    for (int row = PAGE_TOP_ROW; row < PAGE_TOP_ROW + page.frame_rows; ++row) {
        put_text(row_text(row), left_mark_column(row), "//");
        put_text(row_text(row), right_mark_column(row), "//");
    }
    for (const TitleLine& title : page.titles) put_text(row_text(title.row), title.column, title.text);
    for (const CentredLine& line : page.lines_below) {
        put_text(row_text(line.row), centred_on_screen(line.text), line.text);
    }
    put_text(row_text(page.pointer_row), 35, "........");
    put_text(row_text(page.pointer_row + 1), 38, ".");
    put_text(row_text(page.pointer_row + 2), 38, ".");
    put_text(row_text(page.pointer_row + 3), 38, ".......> Press RETURN to continue");

    window.clear_screen();
    window.move_cursor(1, PAGE_TOP_ROW);
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) window.write(rows[i]);
    window.write(rows.back(), LineEnd::StayOnLine);
    window.read_line();
}

}  // namespace

// The start page of the program, shown again before every main menu.
void show_program_library_banner(Window& window)
{
    constexpr std::string_view family = "Velmora (VELM):";
    show_title_page(window,
                    {5,
                     {{7, centred_in_frame(7, family), family}, {8, 30, "Program Library"}},
                     {{12, "Velmora Engineering Software"}, {13, "Release date: 2026-12-10"}, {14, "Version 1.0"}},
                     16});
}

void show_postprocessor_banner(Window& window)
{
    show_title_page(window, {5, {{7, 34, "DATA BASE"}, {8, 30, "PRE/POSTPROCESSOR"}}, {}, 16});
}

// The product-family line "VELMORA:" stands centred between the marks of
// row 8, like the family line of the start page.
void show_user_interface_module_banner(Window& window)
{
    constexpr std::string_view family = "VELMORA:";
    show_title_page(
        window, {6, {{8, centred_in_frame(8, family), family}, {9, 24, "DATA BASE USER-INTERFACE MODULE"}}, {}, 17});
}

// The editor module's page: the family line 7 blanks and the module line 6
// blanks inside the left mark of their rows.
void show_editor_module_banner(Window& window)
{
    show_title_page(window, {6,
                             {{8, left_mark_column(8) + 2 + 7, "VELMORA:"},
                              {9, left_mark_column(9) + 2 + 6, "COUPLED DATA BASE and NETWORK MODEL EDITOR"}},
                             {},
                             17});
}

void show_subset_module_banner(Window& window)
{
    show_title_page(
        window,
        {5, {{7, 27, "DATA BASE MANAGEMENT:"}, {8, 30, "GLOBAL DATA BASE"}, {9, 29, "SUBSET DEVELOPMENT"}}, {}, 16});
}

void show_differences_module_banner(Window& window)
{
    show_title_page(
        window,
        {5,
         {{7, 27, "DATA BASE MANAGEMENT:"}, {8, 30, "GLOBAL DATA BASE"}, {9, 22, "DIFFERENCES SUBSET DEVELOPMENT"}},
         {},
         16});
}

void show_scenario_module_banner(Window& window)
{
    show_title_page(window, {6, {{8, 20, "VELMORA:"}, {9, 22, "ADOPT/REJECT/ABANDON SCENARIO MODULE"}}, {}, 17});
}

}  // namespace velm
