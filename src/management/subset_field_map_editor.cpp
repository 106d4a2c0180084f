#include "management/subset_field_map_editor.h"

#include <climits>
#include <string>
#include <string_view>

#include "records/format.h"
#include "records/free_form.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr int ENTRIES_PER_PAGE = 30;
constexpr int ENTRIES_PER_HALF = 15;
constexpr int FIRST_ENTRY_ROW = 6;
constexpr int LEFT_MARKER_COLUMN = 30;
constexpr int RIGHT_MARKER_COLUMN = 66;
constexpr int VALUE_FIELD_OFFSET = 4;  // the value field starts this far left of the marker

constexpr std::string_view FIELD_NUMBER_FORMAT = "(I2)";
constexpr std::string_view GLOBAL_COLUMN_FORMAT = "(I3)";
constexpr std::string_view SUBTITLE =
    "  Enter Global Data Base Field Number to be Mapped into the SUBSET Field Number:";
constexpr std::string_view HEADING_1 = "SUBSET     GLOBAL DATA BASE       SUBSET     GLOBAL DATA BASE";
constexpr std::string_view HEADING_2 = "      FIELD NO.     FIELD NUMBER        FIELD NO.     FIELD NUMBER";
constexpr std::string_view COMMANDS_1 = "     TYPE: A:Insert Above; B:go BACK one Entry; C:Change Entry;";
constexpr std::string_view COMMANDS_2 = "     D:Delete Entry; E:Exit to Main Menu; R:Reinstall Default Field Numbers";

std::string_view kind_title(DataBaseKind kind)
{
    switch (kind) {
        case DataBaseKind::NodeKind:
            return "NODE DATA BASE SUBSET SPECIFICATIONS:";
        case DataBaseKind::SubareaKind:
            return "SUBAREA DATA BASE SUBSET SPECIFICATIONS:";
        case DataBaseKind::LinkKind:
            return "LINK DATA BASE SUBSET SPECIFICATIONS:";
    }
    return {};
}

// The first entry the user may change, which is also the lowest column he
// may map into it: the key columns before it stay as they are.
int first_editable_entry(DataBaseKind kind)
{
    return kind == DataBaseKind::LinkKind ? 3 : 2;
}

std::string number_text(std::string_view layout, int value)
{
    return format_line(layout, {value});
}

void put_text(std::string& line, int column, std::string_view text)
{
    const std::size_t start = static_cast<std::size_t>(column - 1);
    if (line.size() < start + text.size()) line.resize(start + text.size(), ' ');
    line.replace(start, text.size(), text);
}

class FieldMapEditor {
public:
    FieldMapEditor(Window& window, SubsetFieldMap& map, DataBaseKind kind)
        : window_(window),
          map_(map),
          kind_(kind),
          list_(map.fields(kind)),
          first_(first_editable_entry(kind)),
          highest_(record_values(kind))
    {
    }

    void run();

private:
    // Where entry e (1..60) stands on its page.
    static int page_of(int e) { return (e - 1) / ENTRIES_PER_PAGE; }
    static int row_of(int e) { return FIRST_ENTRY_ROW + (e - 1) % ENTRIES_PER_PAGE % ENTRIES_PER_HALF; }
    static int marker_column(int e)
    {
        return (e - 1) % ENTRIES_PER_PAGE < ENTRIES_PER_HALF ? LEFT_MARKER_COLUMN : RIGHT_MARKER_COLUMN;
    }
    static int value_column(int e) { return marker_column(e) - VALUE_FIELD_OFFSET; }
    static int last_entry_of_page(int e) { return (page_of(e) + 1) * ENTRIES_PER_PAGE; }

    int& entry(int e) { return list_[static_cast<std::size_t>(e - 1)]; }

    void draw_page(int page);
    void show_value(int e);
    void redraw_values(int from);
    // Moves to the next entry; false past entry 60.
    bool step_down();
    // Reads the value of the current entry; false when that leaves the editor.
    bool read_value();

    Window& window_;
    SubsetFieldMap& map_;
    DataBaseKind kind_;
    SubsetFieldList& list_;
    int first_;
    int highest_;
    int current_ = 0;
};

void FieldMapEditor::draw_page(int page)
{
    clear_screen(window_);
    write_at(window_, 2, 2, kind_title(kind_));
    window_.write(SUBTITLE);
    write_at(window_, 7, 4, HEADING_1);
    window_.write(HEADING_2);
    const int first_entry = page * ENTRIES_PER_PAGE + 1;
    for (int j = 0; j < ENTRIES_PER_HALF; ++j) {
        const int left = first_entry + j;
        const int right = left + ENTRIES_PER_HALF;
        std::string line;
        put_text(line, 10, number_text(FIELD_NUMBER_FORMAT, left));
        put_text(line, 25, "[" + number_text(GLOBAL_COLUMN_FORMAT, entry(left)) + "]");
        put_text(line, 46, number_text(FIELD_NUMBER_FORMAT, right));
        put_text(line, 61, "[" + number_text(GLOBAL_COLUMN_FORMAT, entry(right)) + "]");
        write_at(window_, 1, FIRST_ENTRY_ROW + j, line);
    }
    write_at(window_, 5, 22, std::string(70, '-'));
    window_.write(COMMANDS_1);
    window_.write(COMMANDS_2, LineEnd::StayOnLine);
}

void FieldMapEditor::show_value(int e)
{
    write_at(window_, value_column(e), row_of(e), number_text(GLOBAL_COLUMN_FORMAT, entry(e)), LineEnd::StayOnLine);
}

// The values of the page from entry `from` to its end (the right half too
// when `from` stands in the left half).
void FieldMapEditor::redraw_values(int from)
{
    for (int e = from; e <= last_entry_of_page(from); ++e) show_value(e);
}

bool FieldMapEditor::step_down()
{
    ++current_;
    if (current_ > MAX_SUBSET_FIELDS) return false;
    if (current_ == ENTRIES_PER_PAGE + 1) draw_page(1);
    return true;
}

bool FieldMapEditor::read_value()
{
    for (;;) {
        move_cursor(window_, value_column(current_), row_of(current_));
        const std::string typed = window_.read_line();
        int value = INT_MIN;
        const bool readable =
            typed.find_first_not_of(" \t") != std::string::npos && read_free_form_line(typed, {&value}).ok();
        if (readable && value >= first_ && value <= highest_) {
            entry(current_) = value;
            show_value(current_);
            return step_down();
        }
        // The empty brackets again, and the typed text cleared.
        write_at(window_, value_column(current_) - 1, row_of(current_), "[   ]     ", LineEnd::StayOnLine);
    }
}

void FieldMapEditor::run()
{
    current_ = first_;
    draw_page(0);
    for (;;) {
        const int marker = marker_column(current_);
        const int row = row_of(current_);
        write_at(window_, marker, row, "<==?    ", LineEnd::StayOnLine);
        move_cursor(window_, marker + 3, row);
        const std::string typed = window_.read_line();
        char command = typed.empty() ? ' ' : typed[0];
        if (command >= 'a' && command <= 'z') command = static_cast<char>(command - 'a' + 'A');

        switch (command) {
            case 'E':
                return;
            case 'R':
                list_ = map_.defaults(kind_);
                current_ = first_;
                draw_page(0);
                continue;
            case ' ':
            case 'A':
            case 'B':
            case 'C':
            case 'D':
                break;
            default:
                continue;  // the marker again, without a message
        }

        write_at(window_, marker, row, "    ", LineEnd::StayOnLine);
        switch (command) {
            case ' ':
                if (!step_down()) return;
                break;
            case 'B':
                if (current_ > first_) {
                    --current_;
                    if (current_ == ENTRIES_PER_PAGE) draw_page(0);
                }
                break;
            case 'C':
                if (!read_value()) return;
                break;
            case 'A':
                write_at(window_, value_column(current_), row, "   ", LineEnd::StayOnLine);
                for (int e = MAX_SUBSET_FIELDS; e > current_; --e) entry(e) = entry(e - 1);
                if (current_ < last_entry_of_page(current_)) redraw_values(current_ + 1);
                if (!read_value()) return;
                break;
            case 'D':
                for (int e = current_; e < MAX_SUBSET_FIELDS; ++e) entry(e) = entry(e + 1);
                entry(MAX_SUBSET_FIELDS) = 0;
                redraw_values(current_);
                break;
            default:
                break;
        }
    }
}

}  // namespace

void edit_subset_field_map(Window& window, SubsetFieldMap& map, DataBaseKind kind)
{
    FieldMapEditor(window, map, kind).run();
}

}  // namespace velm
