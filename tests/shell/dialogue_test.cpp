#include "shell/dialogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/stop.h"
#include "support/scripted_window.h"

namespace velm {
namespace {

using test::ScriptedWindow;

constexpr int FIELD_ROW = 10;

const std::string OUT_OF_RANGE = "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.";
const std::string NON_NUMERIC = "*****VALUE ENTERED CONTAINS NON-NUMERIC CHARACTERS.";
const std::string NOT_UNDERSTOOD = "*****I DO NOT UNDERSTAND.";

std::string padded(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

struct EntryCase {
    std::vector<std::string> typed;
    FieldKind kind;
    float low;
    float high;
    CommandSet commands;
    bool blank_allowed;
    EntryResult result;
    float value;
    // The message shown after each rejected line (every line but the last).
    std::vector<std::string> messages;
};

// Every typed answer is read at column 62 of the field's row; each rejected
// one beeps, puts the marker at column 73, its message on row 21 and erases
// the answer from the field before the next read.
TEST(ReadNumberField, TypedAnswersGiveTheirResults)
{
    constexpr auto Real = FieldKind::Real;
    constexpr auto Whole = FieldKind::Whole;
    constexpr auto Two = CommandSet::ExitTop;
    constexpr auto Three = CommandSet::ExitTopBack;
    constexpr float caller_value = 7.0f;
    const EntryCase cases[] = {
        // Commands: first letter, either case.
        {{"exit"}, Real, -1000, 1000, Three, false, EntryResult::ExitRequested, caller_value, {}},
        {{"e"}, Real, -1000, 1000, Two, false, EntryResult::ExitRequested, caller_value, {}},
        {{"No"}, Real, -1000, 1000, Two, false, EntryResult::ExitRequested, caller_value, {}},
        {{"n"}, Real, -1000, 1000, Two, false, EntryResult::ExitRequested, caller_value, {}},
        {{"top"}, Real, -1000, 1000, Two, false, EntryResult::TopRequested, caller_value, {}},
        {{"back"}, Real, -1000, 1000, Three, false, EntryResult::BackRequested, caller_value, {}},
        // BACK where it is not offered, and letters that are never commands.
        {{"b", "T"}, Real, -1000, 1000, Two, false, EntryResult::TopRequested, caller_value, {NOT_UNDERSTOOD}},
        {{"c5", "M", "w", "e"},
         Real,
         -1000,
         1000,
         Three,
         false,
         EntryResult::ExitRequested,
         caller_value,
         {NOT_UNDERSTOOD, NOT_UNDERSTOOD, NOT_UNDERSTOOD}},
        // Text that is not a number; the value after the command is what the
        // last parse left.
        {{"x5", "1E3", "e"},
         Real,
         -1000,
         1000,
         Two,
         false,
         EntryResult::ExitRequested,
         0.0f,
         {NON_NUMERIC, NON_NUMERIC}},
        {{"12 3", "1 2", "+-5", "5-", "1.2.3", ".", "-", " 1+", "t"},
         Real,
         -1000,
         1000,
         Two,
         false,
         EntryResult::TopRequested,
         0.0f,
         {NON_NUMERIC, NON_NUMERIC, NON_NUMERIC, NON_NUMERIC, NON_NUMERIC, NON_NUMERIC, NON_NUMERIC, NON_NUMERIC}},
        // Numbers in their typed forms.
        {{"   12"}, Real, -1000, 1000, Two, false, EntryResult::ValueEntered, 12.0f, {}},
        {{"-.5"}, Real, -1000, 1000, Two, false, EntryResult::ValueEntered, -0.5f, {}},
        {{"7."}, Real, -1000, 1000, Two, false, EntryResult::ValueEntered, 7.0f, {}},
        {{"+3"}, Real, -1000, 1000, Two, false, EntryResult::ValueEntered, 3.0f, {}},
        {{"0.855"}, Real, -1000, 1000, Two, false, EntryResult::ValueEntered, 0.855f, {}},
        // Whole-number fields.
        {{"2.5", "40000", "2.0"},
         Whole,
         0,
         50000,
         Two,
         false,
         EntryResult::ValueEntered,
         2.0f,
         {NON_NUMERIC, NON_NUMERIC}},
        {{"-32768", "-32767"}, Whole, -40000, 40000, Two, false, EntryResult::ValueEntered, -32767.0f, {NON_NUMERIC}},
        // Inclusive range.
        {{"4"}, Real, 1, 4, Two, false, EntryResult::ValueEntered, 4.0f, {}},
        {{"4.5", "1"}, Real, 1, 4, Two, false, EntryResult::ValueEntered, 1.0f, {OUT_OF_RANGE}},
        {{"0.99", "E"}, Real, 1, 4, Two, false, EntryResult::ExitRequested, 0.99f, {OUT_OF_RANGE}},
        // Empty answers.
        {{"", "e"}, Real, 1, 4, Two, false, EntryResult::ExitRequested, 0.0f, {NOT_UNDERSTOOD}},
        {{""}, Real, 1, 4, Two, true, EntryResult::DefaultAccepted, 0.0f, {}},
        {{"     "}, Real, 1, 4, Three, true, EntryResult::DefaultAccepted, 0.0f, {}},
        // Only the first 11 characters count.
        {{"3          junk"}, Real, 1, 4, Two, false, EntryResult::ValueEntered, 3.0f, {}},
        {{"123456789012", "e"},
         Real,
         -1000,
         1000,
         Two,
         false,
         EntryResult::ExitRequested,
         12345678901.0f,
         {OUT_OF_RANGE}},
    };

    for (const EntryCase& c : cases) {
        SCOPED_TRACE("typed: " + c.typed.front() + (c.typed.size() > 1 ? " ..." : ""));
        ScriptedWindow window(c.typed);
        const NumberEntry entry = read_number_field(window, ENTRY_FIELD_COLUMN, FIELD_ROW, c.kind, c.low, c.high,
                                                    caller_value, c.commands, c.blank_allowed);
        EXPECT_EQ(entry.result, c.result);
        EXPECT_EQ(entry.value, c.value);
        EXPECT_EQ(window.lines_left(), 0u);
        ASSERT_EQ(window.reads().size(), c.messages.size() + 1);
        EXPECT_EQ(window.beeps(), static_cast<int>(c.messages.size()));
        for (const auto& position : window.read_positions()) {
            EXPECT_EQ(position, std::make_pair(ENTRY_FIELD_COLUMN, FIELD_ROW));
        }
        for (std::size_t i = 0; i < c.messages.size(); ++i) {
            const std::string& screen = window.reads()[i + 1];
            EXPECT_EQ(test::snapshot_row(screen, MESSAGE_ROW), padded(c.messages[i], SCREEN_COLUMNS));
            EXPECT_EQ(test::snapshot_row(screen, FIELD_ROW).substr(61), std::string(11, ' ') + "*ERROR* ");
        }
    }
}

TEST(ReadNumberField, ErrorMarkerMessageAndErasureStandAtTheirColumns)
{
    ScriptedWindow window({"abc", "2"});
    write_at(window, 1, MESSAGE_ROW, std::string(80, 'X'), LineEnd::StayOnLine);
    write_at(window, 5, FIELD_ROW, "MINIMUM CLEARANCE (FT)", LineEnd::StayOnLine);

    const NumberEntry entry = read_number_field(window, ENTRY_FIELD_COLUMN, FIELD_ROW, FieldKind::Real, 0, 10, 1.0f,
                                                CommandSet::ExitTopBack, false);
    EXPECT_EQ(entry.result, EntryResult::ValueEntered);
    EXPECT_EQ(entry.value, 2.0f);

    // At the second read: the answer erased, the marker at 73-80, the message
    // over columns 1-62 and the row clean up to column 78.
    const std::string& asked_again = window.reads()[1];
    EXPECT_EQ(test::snapshot_row(asked_again, FIELD_ROW),
              padded("    MINIMUM CLEARANCE (FT)", 61) + std::string(11, ' ') + "*ERROR* ");
    EXPECT_EQ(test::snapshot_row(asked_again, MESSAGE_ROW), padded(NON_NUMERIC, 78) + "XX");

    // The accepted answer erases the marker and columns 1-56 of the message
    // row; the answer itself stays in the field.
    EXPECT_EQ(window.row(FIELD_ROW), padded(padded("    MINIMUM CLEARANCE (FT)", 61) + "2", 80));
    EXPECT_EQ(window.row(MESSAGE_ROW), std::string(78, ' ') + "XX");
}

// A command or an accepted blank returns at once: the caller redraws the
// page, so the marker and message of an earlier error are left standing.
TEST(ReadNumberField, CommandOrAcceptedBlankLeavesAnEarlierError)
{
    for (const char* last : {"t", "back", ""}) {
        SCOPED_TRACE(last);
        ScriptedWindow window({"99", last});
        read_number_field(window, ENTRY_FIELD_COLUMN, FIELD_ROW, FieldKind::Whole, 1, 5, 3.0f, CommandSet::ExitTopBack,
                          true);
        EXPECT_EQ(window.text_at(ERROR_MARKER_COLUMN, FIELD_ROW, 8), "*ERROR* ");
        EXPECT_EQ(window.text_at(1, MESSAGE_ROW, 50), OUT_OF_RANGE);
    }
}

TEST(ParseNumberField, StatusAndValueOfTypedText)
{
    struct Case {
        const char* text;
        FieldKind kind;
        ParseStatus status;
        float value;
    };
    const Case cases[] = {
        {"", FieldKind::Real, ParseStatus::Empty, 0.0f},
        {"           ", FieldKind::Real, ParseStatus::Empty, 0.0f},
        {"  -12.25   ", FieldKind::Real, ParseStatus::Ok, -12.25f},
        {"0.1", FieldKind::Real, ParseStatus::Ok, 0.1f},
        {"1.5E2", FieldKind::Real, ParseStatus::BadCharacters, 0.0f},
        {"+.", FieldKind::Real, ParseStatus::BadCharacters, 0.0f},
        {"3.-", FieldKind::Real, ParseStatus::BadCharacters, 0.0f},
        {"1,5", FieldKind::Real, ParseStatus::BadCharacters, 0.0f},
        {"2.0", FieldKind::Whole, ParseStatus::Ok, 2.0f},
        {"32767", FieldKind::Whole, ParseStatus::Ok, 32767.0f},
        {"32768", FieldKind::Whole, ParseStatus::NotWhole, 0.0f},
        {"2.5", FieldKind::Whole, ParseStatus::NotWhole, 0.0f},
        {"2.5x", FieldKind::Whole, ParseStatus::BadCharacters, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedNumber parsed = parse_number_field(c.text, ENTRY_FIELD_WIDTH, c.kind);
        EXPECT_EQ(parsed.status, c.status);
        EXPECT_EQ(parsed.value, c.value);
    }
}

TEST(LinesAtBlanks, BreaksAtTheLastBlankThatFitsAndCutsAWordLongerThanALine)
{
    struct Case {
        std::string message;
        std::size_t width;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"", 10, {}},
        {"   ", 10, {}},
        {"fits whole", 10, {"fits whole"}},
        {"one two three", 7, {"one two", "three"}},
        {"one  two   three", 8, {"one  two", "three"}},
        {"  leading blanks go", 8, {"leading", "blanks", "go"}},
        {"abcdefghijkl xy", 5, {"abcde", "fghij", "kl xy"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(lines_at_blanks(c.message, c.width), c.lines);
    }
}

TEST(WaitForReturn, PromptsAtColumn33OfRow24AndReadsOneLine)
{
    ScriptedWindow window({"anything", "left over"});
    wait_for_return(window);
    EXPECT_EQ(window.text_at(33, 24, 31), "  Press RETURN to continue ===>");
    ASSERT_EQ(window.read_positions().size(), 1u);
    EXPECT_EQ(window.read_positions()[0], std::make_pair(64, 24));
    EXPECT_EQ(window.lines_left(), 1u);
}

TEST(StopWithMessage, MessageOnRow21UntilReturnThenAClearScreenAndTheStop)
{
    for (const std::string message : {"*****FILE [AB] DOES NOT EXIST", ""}) {
        ScriptedWindow window({""});
        std::string reason;
        try {
            stop_with_message(window, message, "refused");
        } catch (const ProgramStop& stop) {
            reason = stop.reason;
        }
        EXPECT_EQ(reason, "refused");
        ASSERT_EQ(window.reads().size(), 1u);
        EXPECT_EQ(window.read_positions()[0], std::make_pair(64, 24));
        const std::string& screen = window.reads()[0];
        EXPECT_EQ(test::snapshot_text(screen, 1, 21, message.size() + 1), message + " ") << screen;
        EXPECT_NE(screen.find("  Press RETURN to continue ===>"), std::string::npos);
        EXPECT_EQ(window.row(21).find_first_not_of(' '), std::string::npos) << "the screen is cleared at the stop";
    }
}

TEST(ShowCommandFooter, RuleAndHintsOfEachCommandSet)
{
    for (const CommandSet commands : {CommandSet::ExitTop, CommandSet::ExitTopBack}) {
        SCOPED_TRACE(static_cast<int>(commands));
        ScriptedWindow window;
        show_command_footer(window, commands);
        EXPECT_EQ(window.row(22), std::string(79, '_') + " ");
        EXPECT_EQ(window.row(23), padded("    TYPE: EXIT to leave program ; TOP  to go to top of page", 80));
        EXPECT_EQ(window.text_at(16, 23, 16), "to leave program");
        const std::string back = commands == CommandSet::ExitTopBack ? "; BACK to go back one page" : "";
        EXPECT_EQ(window.row(24), padded(std::string(32, ' ') + back, 80));
    }
}

TEST(ShowAllowableRange, FormsShowTheirPiecesOfTheBoundTexts)
{
    const std::string low = "-1.0000000";  // 10 characters: 5 pieces
    const std::string high = "99999.9000";
    struct Case {
        int form;
        std::string line;  // from column 5
    };
    const Case cases[] = {
        {1, ":ALLOWABLE VALUES ARE [-] TO [99999.]"},
        {2, ":ALLOWABLE VALUES ARE [-] TO [99999.9000]"},
        {3, ":ALLOWABLE VALUES ARE [-1.000] TO [99999.]"},
        {4, ":ALLOWABLE VALUES ARE [-1.000] TO [99999.9000]"},
        {5, ":ALLOWABLE VALUES ARE [-1.0000000] TO [99999.9000]"},
        {6, ":ALLOWABLE VALUES ARE GREATER THAN [-1.000]"},
        {7, ":ALLOWABLE VALUES ARE LESS THAN [-1.000]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        ScriptedWindow window;
        show_allowable_range(window, c.form, 12, low, high);
        EXPECT_EQ(window.row(12), padded("    " + c.line, 80));
    }

    // Form 3 puts the high text in columns 40-45, where screens align it.
    ScriptedWindow window;
    show_allowable_range(window, 3, 12, "  0.00", "  5.00");
    EXPECT_EQ(window.text_at(40, 12, 6), "  5.00");

    // Short bound texts are padded with blanks.
    show_allowable_range(window, 4, 13, "1", "9");
    EXPECT_EQ(window.row(13), padded("    :ALLOWABLE VALUES ARE [1     ] TO [9         ]", 80));
}

TEST(ShowAllowableRange, UnknownFormOnlyPlacesTheCursor)
{
    for (const int form : {0, 8}) {
        ScriptedWindow window({"x"});
        show_allowable_range(window, form, 12, "1.0", "2.0");
        window.read_line();
        EXPECT_EQ(window.read_positions()[0], std::make_pair(5, 12));
        EXPECT_EQ(window.row(12), padded("    x", 80));  // only the echo of the typed line
    }
}

TEST(JudgeStudyAnswer, CommandsBlanksAndTwoLetterStudies)
{
    const struct {
        std::string_view answer;
        StudyAnswer expected;
    } cases[] = {
        {"EXIT", StudyAnswer::Exit},   {"exit   ", StudyAnswer::Exit},
        {"Exit", StudyAnswer::Study},  {"TOP ", StudyAnswer::Top},
        {"top", StudyAnswer::Top},     {" TOP", StudyAnswer::NotAStudy},
        {"", StudyAnswer::Blank},      {"     ", StudyAnswer::Blank},
        {"AB", StudyAnswer::Study},    {"sa and more", StudyAnswer::Study},
        {"A", StudyAnswer::NotAStudy}, {"A1", StudyAnswer::NotAStudy},
        {"EXITS", StudyAnswer::Study}, {"\tAB", StudyAnswer::NotAStudy},
    };
    for (const auto& c : cases) EXPECT_EQ(judge_study_answer(c.answer), c.expected) << "[" << c.answer << "]";
}

}  // namespace
}  // namespace velm
