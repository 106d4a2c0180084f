#include "shell/dialogue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "platform/stop.h"

namespace velm {

namespace {

// Whole-number fields hold values a 16-bit integer can carry.
constexpr float WHOLE_NUMBER_LIMIT = 32767.0f;

constexpr int PAUSE_PROMPT_COLUMN = 33;
constexpr int PAUSE_PROMPT_ROW = 24;
constexpr int ALLOWABLE_RANGE_COLUMN = 5;

// The typed answer as the entry judges it: its first 11 characters, padded
// with blanks, letters folded to upper case.
std::string entry_text(std::string typed)
{
    typed.resize(ENTRY_FIELD_WIDTH, ' ');
    for (char& c : typed) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return typed;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The first `count` characters of a bound text, padded with blanks when the
// caller formatted fewer.
std::string bound_piece(std::string_view text, std::size_t count)
{
    std::string piece(text.substr(0, count));
    piece.resize(count, ' ');
    return piece;
}

}  // namespace

StudyAnswer judge_study_answer(std::string_view answer)
{
    const auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const std::size_t end = answer.find_last_not_of(' ');
    if (end == std::string_view::npos) return StudyAnswer::Blank;
    const std::string_view word = answer.substr(0, end + 1);
    if (word == "EXIT" || word == "exit") return StudyAnswer::Exit;
    if (word == "TOP" || word == "top") return StudyAnswer::Top;
    if (word.size() < 2 || !is_letter(word[0]) || !is_letter(word[1])) return StudyAnswer::NotAStudy;
    return StudyAnswer::Study;
}

void clear_screen(Window& window)
{
    window.clear_screen();
}

void move_cursor(Window& window, int column, int row)
{
    window.move_cursor(column, row);
}

void sound_beep(Window& window)
{
    window.beep();
}

void write_screen_records(Window& window, std::string_view layout, const std::vector<FormatValue>& values)
{
    const Format format(layout);
    const std::vector<std::string> records = format.write(values);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const bool last = i + 1 == records.size();
        window.write(records[i], last && format.stays_on_line() ? LineEnd::StayOnLine : LineEnd::NewLine);
    }
}

void write_form(Window& window, int column, int row, std::string_view layout, const std::vector<FormatValue>& values)
{
    move_cursor(window, column, row);
    write_screen_records(window, layout, values);
}

std::vector<std::string> lines_at_blanks(std::string_view message, std::size_t width)
{
    std::vector<std::string> lines;
    width = std::max<std::size_t>(width, 1);
    while (!message.empty() && message.front() == ' ') message.remove_prefix(1);
    while (!message.empty()) {
        std::size_t cut = message.size();
        if (cut > width) {
            cut = message.rfind(' ', width);
            if (cut == std::string_view::npos || cut == 0) cut = width;
        }
        std::string_view line = message.substr(0, cut);
        while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
        lines.emplace_back(line);
        message.remove_prefix(cut);
        while (!message.empty() && message.front() == ' ') message.remove_prefix(1);
    }
    return lines;
}

void wait_for_return(Window& window)
{
    write_at(window, PAUSE_PROMPT_COLUMN, PAUSE_PROMPT_ROW, "  Press RETURN to continue ===>", LineEnd::StayOnLine);
    window.read_line();
}

void wait_for_return_on_refusal(Window& window)
{
    try {
        wait_for_return(window);
    } catch (ProgramStop& stop) {
        stop.refused = true;
        throw;
    }
}

void stop_with_message(Window& window, std::string_view message, std::string reason)
{
    if (!message.empty()) {
        sound_beep(window);
        write_at(window, 1, MESSAGE_ROW, message, LineEnd::StayOnLine);
    }
    wait_for_return_on_refusal(window);
    clear_screen(window);
    stop_program_refused(std::move(reason));
}

void show_refusal(Window& window, int row, std::string_view heading, std::string_view message)
{
    // The message in lines broken at blanks, below the heading and above
    // the pause on row 24: a file's name with its line and reason is read
    // whole.
    constexpr std::size_t SHOWN_WIDTH = 76;
    constexpr int LAST_MESSAGE_ROW = 23;
    const std::vector<std::string> lines = lines_at_blanks(message, SHOWN_WIDTH);
    sound_beep(window);
    write_at(window, 1, row, heading, LineEnd::StayOnLine);
    for (std::size_t k = 0; k < lines.size() && row + 1 + static_cast<int>(k) <= LAST_MESSAGE_ROW; ++k)
        write_at(window, 1, row + 1 + static_cast<int>(k), "   " + lines[k], LineEnd::StayOnLine);
    wait_for_return_on_refusal(window);
}

void show_file_refusal(Window& window, int row, std::string_view heading, const std::exception& error)
{
    show_refusal(window, row, heading, error.what());
}

void stop_on_file_refusal(Window& window, std::string_view heading, const std::exception& error, std::string reason)
{
    show_file_refusal(window, MESSAGE_ROW - 1, heading, error);
    clear_screen(window);
    stop_program_refused(std::move(reason));
}

void stop_on_unwritable_file(Window& window, const std::exception& error, std::string reason)
{
    stop_on_file_refusal(window, " * A FILE CANNOT BE WRITTEN; NOTHING WAS CHANGED:", error, std::move(reason));
}

// The answer is asked again at the same place until it yields a result.  A
// command or an accepted blank leaves an earlier error on screen (the caller
// redraws its page); an accepted number erases it.  The value handed back
// after a command is whatever the last parse left (0.0 after unreadable text,
// the number of an out-of-range answer), or the caller's value when nothing
// was parsed yet: callers never use it as a setting.
NumberEntry read_number_field(Window& window, int column, int row, FieldKind kind, float low, float high, float value,
                              CommandSet commands, bool blank_allowed)
{
    bool input_error_shown = false;
    for (;;) {
        window.move_cursor(column, row);
        const std::string answer = entry_text(window.read_line());

        InputError error = InputError::NotUnderstood;
        switch (answer[0]) {
            case 'E':
            case 'N':
                return {EntryResult::ExitRequested, value};
            case 'T':
                return {EntryResult::TopRequested, value};
            case 'B':
                if (commands == CommandSet::ExitTopBack) return {EntryResult::BackRequested, value};
                error = InputError::NotUnderstood;
                break;
            case 'C':
            case 'M':
            case 'W':
                // Letters of other screens' commands, never an entry's.
                error = InputError::NotUnderstood;
                break;
            default: {
                const ParsedNumber parsed = parse_number_field(answer, ENTRY_FIELD_WIDTH, kind);
                value = parsed.value;
                switch (parsed.status) {
                    case ParseStatus::Empty:
                        if (blank_allowed) return {EntryResult::DefaultAccepted, value};
                        error = InputError::NotUnderstood;
                        break;
                    case ParseStatus::BadCharacters:
                    case ParseStatus::NotWhole:
                        error = InputError::NonNumeric;
                        break;
                    case ParseStatus::Ok:
                        if (low <= value && value <= high) {
                            if (input_error_shown) clear_input_error(window, row, input_error_shown);
                            return {EntryResult::ValueEntered, value};
                        }
                        error = InputError::OutOfRange;
                        break;
                }
                break;
            }
        }
        show_input_error(window, error, row, input_error_shown);
    }
}

// A number is one token: an optional sign first, digits, at most one decimal
// point, and nothing but blanks after it.  The decimals are the ones typed;
// there is no exponent form.
ParsedNumber parse_number_field(std::string_view text, int length, FieldKind kind)
{
    const std::size_t n = length > 0 ? static_cast<std::size_t>(length) : 0;
    std::string field(text.substr(0, n));
    field.resize(n, ' ');

    const std::size_t start = field.find_first_not_of(' ');
    if (start == std::string::npos) return {ParseStatus::Empty, 0.0f};

    bool sign = false;
    bool digit = false;
    bool point = false;
    bool blank = false;
    for (std::size_t i = start; i < n; ++i) {
        const char c = field[i];
        if (blank) {
            if (c != ' ') return {ParseStatus::BadCharacters, 0.0f};
        } else if (is_digit(c)) {
            digit = true;
        } else if (c == '+' || c == '-') {
            if (sign || digit || point) return {ParseStatus::BadCharacters, 0.0f};
            sign = true;
        } else if (c == '.') {
            if (point) return {ParseStatus::BadCharacters, 0.0f};
            point = true;
        } else if (c == ' ') {
            blank = true;
        } else {
            return {ParseStatus::BadCharacters, 0.0f};
        }
    }
    if (!digit) return {ParseStatus::BadCharacters, 0.0f};

    std::size_t end = field.find(' ', start);
    if (end == std::string::npos) end = n;
    std::string_view token(field.data() + start, end - start);
    const bool negative = token.front() == '-';
    if (sign) token.remove_prefix(1);

    float magnitude = 0.0f;
    const auto converted =
        std::from_chars(token.data(), token.data() + token.size(), magnitude, std::chars_format::fixed);
    if (converted.ec != std::errc{} || converted.ptr != token.data() + token.size()) {
        return {ParseStatus::BadCharacters, 0.0f};
    }
    const float number = negative ? -magnitude : magnitude;

    if (kind == FieldKind::Whole &&
        (number < -WHOLE_NUMBER_LIMIT || number > WHOLE_NUMBER_LIMIT || number != std::trunc(number))) {
        return {ParseStatus::NotWhole, 0.0f};
    }
    return {ParseStatus::Ok, number};
}

void show_input_error(Window& window, InputError error, int row, bool& input_error_shown)
{
    sound_beep(window);
    write_at(window, ERROR_MARKER_COLUMN, row, "*ERROR* ", LineEnd::StayOnLine);

    // Each message fills columns 1 to 62 of the message row.
    static constexpr std::string_view OUT_OF_RANGE = "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.            ";
    static constexpr std::string_view NON_NUMERIC = "*****VALUE ENTERED CONTAINS NON-NUMERIC CHARACTERS.           ";
    static constexpr std::string_view NOT_UNDERSTOOD = "*****I DO NOT UNDERSTAND.                                     ";
    static_assert(OUT_OF_RANGE.size() == 62 && NON_NUMERIC.size() == 62 && NOT_UNDERSTOOD.size() == 62);

    std::string_view message = NOT_UNDERSTOOD;
    if (error == InputError::OutOfRange) message = OUT_OF_RANGE;
    if (error == InputError::NonNumeric) message = NON_NUMERIC;
    write_at(window, 1, MESSAGE_ROW, message, LineEnd::StayOnLine);
    // The tail of the message row is always left clean.
    write_at(window, 52, MESSAGE_ROW, std::string(27, ' '), LineEnd::StayOnLine);
    // The rejected answer is erased from the field.
    write_at(window, ENTRY_FIELD_COLUMN, row, std::string(ENTRY_FIELD_WIDTH, ' '), LineEnd::StayOnLine);
    input_error_shown = true;
}

void clear_input_error(Window& window, int row, bool& input_error_shown)
{
    write_at(window, ERROR_MARKER_COLUMN, row, std::string(7, ' '), LineEnd::StayOnLine);
    write_at(window, 1, MESSAGE_ROW, std::string(56, ' '), LineEnd::StayOnLine);
    input_error_shown = false;
}

void show_command_footer(Window& window, CommandSet commands)
{
    write_at(window, 1, RULE_ROW, std::string(79, '_'), LineEnd::StayOnLine);
    write_at(window, 5, 23, "TYPE: EXIT to leave program", LineEnd::StayOnLine);
    // Every command set offers TOP; only ExitTopBack offers BACK.
    write_at(window, 33, 23, "; TOP  to go to top of page        ", LineEnd::StayOnLine);
    if (commands == CommandSet::ExitTopBack) {
        write_at(window, 33, 24, "; BACK to go back one page        ", LineEnd::StayOnLine);
    }
}

// The bound texts are arrays of 2-character pieces: forms show the first
// character, 3 pieces (6 characters) or 5 pieces (10 characters) of them.
void show_allowable_range(Window& window, int form, int row, std::string_view low, std::string_view high)
{
    window.move_cursor(ALLOWABLE_RANGE_COLUMN, row);
    const std::string_view between = ":ALLOWABLE VALUES ARE [";
    const std::string_view to = "] TO [";
    std::string line;
    switch (form) {
        case 1:
            line = std::string(between) + bound_piece(low, 1) + std::string(to) + bound_piece(high, 6) + "]";
            break;
        case 2:
            line = std::string(between) + bound_piece(low, 1) + std::string(to) + bound_piece(high, 10) + "]";
            break;
        case 3:
            line = std::string(between) + bound_piece(low, 6) + std::string(to) + bound_piece(high, 6) + "]";
            break;
        case 4:
            line = std::string(between) + bound_piece(low, 6) + std::string(to) + bound_piece(high, 10) + "]";
            break;
        case 5:
            line = std::string(between) + bound_piece(low, 10) + std::string(to) + bound_piece(high, 10) + "]";
            break;
        case 6:
            line = ":ALLOWABLE VALUES ARE GREATER THAN [" + bound_piece(low, 6) + "]";
            break;
        case 7:
            line = ":ALLOWABLE VALUES ARE LESS THAN [" + bound_piece(low, 6) + "]";
            break;
        default:
            return;
    }
    window.write(line);
}

}  // namespace velm
