// Messages every editor of the module shows the same way.
#include "editor/editor_context.h"

#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view MISSING_DATA_FILE_FORMAT = "(' * DATA FILE [',A12,'] DOES NOT EXIST')";
constexpr std::string_view MISSING_LINK_FORMAT = "(' * LINK ',F8.1,' - ',F8.1,' DOES NOT EXIST')";
constexpr std::size_t MESSAGE_WIDTH = 78;
constexpr std::size_t CLEARED_ROW_WIDTH = 79;

}  // namespace

void show_missing_data_file(Window& window, std::string_view name)
{
    sound_beep(window);
    write_form(window, 1, EDITOR_MESSAGE_ROW, MISSING_DATA_FILE_FORMAT, {std::string(name)});
    wait_for_return(window);
}

void show_missing_link(Window& window, float upstream, float downstream)
{
    sound_beep(window);
    write_form(window, 1, EDITOR_MESSAGE_ROW, MISSING_LINK_FORMAT, {upstream, downstream});
    wait_for_return(window);
}

void show_edit_refused(Window& window, const EditRefused& refusal)
{
    // The refusal's rows are cleared first: a table row of the editor's
    // screen left beside or below it would read as part of it.
    for (int row = EDITOR_MESSAGE_ROW; row <= MESSAGE_ROW; ++row)
        write_at(window, 1, row, std::string(CLEARED_ROW_WIDTH, ' '), LineEnd::StayOnLine);
    sound_beep(window);
    int row = EDITOR_MESSAGE_ROW;
    for (const std::string& line : refusal.lines()) {
        if (row > MESSAGE_ROW) break;
        move_cursor(window, 1, row++);
        window.write(line.substr(0, MESSAGE_WIDTH + 1));
    }
    wait_for_return(window);
}

EditRefused refusal_from_message(std::string_view first_line, std::string_view message)
{
    std::vector<std::string> lines{std::string(first_line)};
    for (const std::string& line : lines_at_blanks(message, MESSAGE_WIDTH - 3)) lines.push_back("   " + line);
    return EditRefused(std::move(lines));
}

}  // namespace velm
