// What the editors of the network model editor module share for one use of
// the module: the session, the study, its model type, the edit buffer and
// the street-section edit that the model-file passes read, and the screen
// messages every editor shows the same way.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "records/model_edit_buffer.h"
#include "shell/session.h"

namespace velm {

struct EditorContext {
    Session& session;
    std::string study_id;  // 2 characters
    int model_type = 0;    // HydrologyModelType of the study
    ModelEditBuffer buffer{};
    StreetSectionEdit street{};

    Window& window() { return session.window; }
};

// An edit that cannot be carried out as asked: a file it needs is missing or
// does not walk, a street table is full, a value does not fit its field.
// The message lines are shown on row 15 and nothing has been changed.
class EditRefused : public std::runtime_error {
public:
    explicit EditRefused(std::vector<std::string> lines)
        : std::runtime_error(lines.empty() ? std::string() : lines.front()), lines_(std::move(lines))
    {
    }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Where the editors show their refusals.
inline constexpr int EDITOR_MESSAGE_ROW = 15;
// Footer words of the editors: EXIT leads back to the module menu, or on to
// the next link.
inline constexpr std::string_view TO_MAIN_MENU = "to Main Menu    ";
inline constexpr std::string_view NEXT_LINK_HINT = "Next to go to Next Link; Top";
inline constexpr std::string_view NODE_RANGE_LOW_TEXT = "10000.0";
inline constexpr float LOWEST_NODE_NUMBER = 10000.0f;
inline constexpr float HIGHEST_NODE_NUMBER = 999999.9f;

// " * DATA FILE [name] DOES NOT EXIST" (name in 12 characters) at column 1 of
// row 15 with a beep; waits for RETURN.
void show_missing_data_file(Window& window, std::string_view name);
// The refusal's lines from column 1 of row 15 (each cut to 79 characters)
// on rows 15 to 21 cleared first, with a beep; waits for RETURN.
void show_edit_refused(Window& window, const EditRefused& refusal);
// " * LINK up - down DOES NOT EXIST" at column 1 of row 15 with a beep; waits.
void show_missing_link(Window& window, float upstream, float downstream);

// A FileError's message as refusal lines, wrapped at 78 characters.
EditRefused refusal_from_message(std::string_view first_line, std::string_view message);

}  // namespace velm
