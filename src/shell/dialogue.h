// The screen dialogue every module talks through: clearing the window,
// placing the cursor, pausing for RETURN, beeping, and numeric entry with
// its allowable range, error messages and the command letters EXIT, TOP and
// BACK.  Callers never read numbers from the keyboard themselves.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window.h"
#include "records/format.h"

namespace velm {

// Rows and columns every settings and editor screen reserves.
inline constexpr int ENTRY_FIELD_COLUMN = 62;  // 11 characters from here
inline constexpr int ENTRY_FIELD_WIDTH = 11;
inline constexpr int ERROR_MARKER_COLUMN = 73;  // "*ERROR* "
inline constexpr int MESSAGE_ROW = 21;
inline constexpr int RULE_ROW = 22;

enum class EntryResult {
    ValueEntered = 0,
    ExitRequested = 1,    // first letter E or N
    TopRequested = 2,     // T
    BackRequested = 3,    // B, where the entry offers it
    DefaultAccepted = 5,  // an empty answer where the caller allows one
};

// Which command letters an entry accepts and the footer lists.
enum class CommandSet {
    ExitTop = 2,
    ExitTopBack = 3,
};

enum class FieldKind {
    Real = 0,
    Whole = 1,  // a whole number within -32767 to 32767
};

// A typed answer to a study prompt: "EXIT" or "TOP" (upper or lower case,
// blanks after them) are commands, an answer of blanks is none, and a study
// is named by two letters (A to Z or a to z; further characters are
// ignored).
enum class StudyAnswer { Study, Exit, Top, Blank, NotAStudy };

StudyAnswer judge_study_answer(std::string_view answer);

void clear_screen(Window& window);
void move_cursor(Window& window, int column, int row);
void sound_beep(Window& window);
// Writes the records of a layout from the cursor; each further record
// starts at column 1 of the next row, and a layout ending in "$" leaves the
// cursor behind its last record.
void write_screen_records(Window& window, std::string_view layout, const std::vector<FormatValue>& values = {});
// The same from (column, row).
void write_form(Window& window, int column, int row, std::string_view layout,
                const std::vector<FormatValue>& values = {});

// A message of the system's own (a file's name, a reason) as lines of at
// most `width` characters, broken at blanks; a word longer than the width is
// cut.  Written line by line from a fixed column, such a message never runs
// past column 80 into the start of the next row.
std::vector<std::string> lines_at_blanks(std::string_view message, std::size_t width);

// "  Press RETURN to continue ===>" at column 33 of row 24; reads one line.
void wait_for_return(Window& window);
// The same pause below a refusal: an end of the input there ends the
// program as refused (see ProgramStop), never as a finished run.
void wait_for_return_on_refusal(Window& window);

// A refusal that ends the module: a beep and the message at column 1 of the
// message row (nothing for an empty message), kept until RETURN; then the
// screen is cleared and the program stops, refused, with `reason`.
[[noreturn]] void stop_with_message(Window& window, std::string_view message, std::string reason);

// A refusal: a beep, the `heading` at `row` and the message below it in
// lines broken at blanks (down to row 23), until RETURN.
void show_refusal(Window& window, int row, std::string_view heading, std::string_view message);

// A change that a file it would reach cannot take (`error` names the file
// and why, by the study's name of it, never a hidden new version's): the
// refusal above with the error's message.  The caller has changed nothing.
void show_file_refusal(Window& window, int row, std::string_view heading, const std::exception& error);

// The same above the message row and on it, then the program stops, refused,
// with `reason`: the refusal that ends a module or a run.  A launched run that
// ends here writes no reply.
[[noreturn]] void stop_on_file_refusal(Window& window, std::string_view heading, const std::exception& error,
                                       std::string reason);
// stop_on_file_refusal with the heading of a file that cannot be written.
[[noreturn]] void stop_on_unwritable_file(Window& window, const std::exception& error, std::string reason);

struct NumberEntry {
    EntryResult result = EntryResult::ValueEntered;
    // The accepted number for ValueEntered; 0.0 after an accepted blank (the
    // caller keeps its own default).  After a command it is no setting: the
    // value given in, or what the last parse of the same entry left (0.0 for
    // unreadable text, the number of an answer out of range).
    float value = 0.0f;
};

// Asks at (column, row) until the answer is a number within low..high (both
// inclusive), a command, or an allowed empty answer.
NumberEntry read_number_field(Window& window, int column, int row, FieldKind kind, float low, float high, float value,
                              CommandSet commands, bool blank_allowed);

// Status of parse_number_field.
enum class ParseStatus {
    Ok = 0,
    BadCharacters = 1,  // a character out of place
    NotWhole = 2,       // a whole-number field given a fraction or a value beyond 32767
    Empty = 3,          // nothing typed
};

struct ParsedNumber {
    ParseStatus status = ParseStatus::Ok;
    float value = 0.0f;
};

// Converts the typed text (its first `length` characters, padded with
// blanks) into a number: fixed-point decimals only, no exponent.
ParsedNumber parse_number_field(std::string_view text, int length, FieldKind kind);

// Messages of a refused entry.
enum class InputError {
    OutOfRange = 1,
    NonNumeric = 2,
    NotUnderstood = 3,
};

// Beep, "*ERROR* " at column 73 of the row, the message on row 21, and the
// typed answer erased; sets the flag.
void show_input_error(Window& window, InputError error, int row, bool& input_error_shown);
// Erases the marker and the message row; clears the flag.
void clear_input_error(Window& window, int row, bool& input_error_shown);

// Rule line and command hints on rows 22 to 24.
void show_command_footer(Window& window, CommandSet commands);

// The allowable-values line at column 5 of the row.  The bound texts are as
// the caller formatted them; the form (1 to 7) picks how many characters of
// each are shown and the wording.
void show_allowable_range(Window& window, int form, int row, std::string_view low, std::string_view high);

}  // namespace velm
