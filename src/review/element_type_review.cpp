// Element type designation review: the type of master-plan element the
// sizing is to produce for a link (pipe, box or channel), with its Manning
// friction factor and, for a box or a channel, the dimension the sizing
// solves for and the value that fixes the other one; for a channel also the
// side slope and the freeboard.  The designation lives in columns 141 to 146
// (the friction factor times 100); a type of 0, or above 3, is none.
#include <array>
#include <string>

#include "review/link_value_reviews.h"

namespace velm {

namespace {

constexpr int TYPE_ROW = 15;
constexpr int FRICTION_ROW = 16;
constexpr int DIMENSION_ROW = 17;
constexpr int SIZING_VALUE_ROW = 19;
constexpr int SIDE_SLOPE_ROW = 20;
constexpr int FREEBOARD_ROW = 21;

constexpr int DESIGNATION_FIRST_COLUMN = 141;

// The six values the review works on, in the order of columns 141 to 146.
struct Designation {
    float type = 0.0f;
    float friction_factor = 0.0f;  // Manning n (column 142 holds it times 100)
    float sizing_dimension = 0.0f;
    float sizing_value = 0.0f;
    float side_slope = 0.0f;
    float freeboard = 0.0f;
};

bool has_designation(const LinkRecord& record)
{
    const int type = static_cast<int>(record.designated_element_type());
    return type >= 1 && type <= 3;
}

Designation designation_of(const LinkRecord& record)
{
    if (!has_designation(record)) return {};
    return {record.designated_element_type(),     record.designated_friction_hundredths() / 100.0f,
            record.designated_sizing_dimension(), record.designated_dimension_value(),
            record.designated_side_slope(),       record.designated_freeboard()};
}

void store(LinkRecord& record, const Designation& d)
{
    record.designated_element_type() = d.type;
    record.designated_friction_hundredths() = d.friction_factor * 100.0f;
    record.designated_sizing_dimension() = d.sizing_dimension;
    record.designated_dimension_value() = d.sizing_value;
    record.designated_side_slope() = d.side_slope;
    record.designated_freeboard() = d.freeboard;
}

// Draws the type screen; returns the row of its option field.
int show_type_screen(Window& window, const LinkRecord& record, bool designated, const Designation& working)
{
    clear_screen(window);
    const std::vector<FormatValue> nodes{record.upstream_node(), record.downstream_node()};
    int option_row = 0;
    if (!designated) {
        write_at(window, 5, 2, "YOU have the OPTION to over-ride the COMPUTER-RECOMMENDED");
        write_form(window, 6, 3, "('values for this particular LINK [',F8.1,' - ',F8.1,'].')", nodes);
        write_at(window, 6, 4, "YOUR USER-RECOMMENDED input will be RETAINED for all");
        write_at(window, 6, 5, "further analysis, until YOU Remove YOUR USER-RECOMMENDED");
        write_at(window, 6, 6, "specification/over-ride.");
        option_row = 8;
        write_at(window, 6, option_row, "Select YOUR Option NUMBER.......................... ===>",
                 LineEnd::StayOnLine);
        write_at(window, 8, 9, "1= Retain use of the COMPUTER-RECOMMENDED values");
        write_at(window, 11, 10, "for further analysis");
        write_at(window, 8, 11, "2= SPECIFY USER-RECOMMENDED values for all further analysis");
        write_form(window, 5, 12, "('Enter USER-RECOMMENDED values for LINK ID ',F8.1,' - ',F8.1)", nodes);
        write_at(window, 50, 13, "Current    User-Specified");
        write_at(window, 48, 14, "Properties     Properties");
        const int current = record.element_type() == 0 ? 1 : record.element_type();
        write_form(window, 5, TYPE_ROW, "('Element TYPE: 1=Pipe;2=Box;3=Channel.......[',2X,I2,2X,']')", {current});
    } else {
        option_row = 5;
        write_at(window, 5, option_row, " Select YOUR Option NUMBER.......................... ===>",
                 LineEnd::StayOnLine);
        write_at(window, 5, 6, "1= Retain use of the current USER-RECOMMENDED attributes.");
        write_at(window, 5, 7, "2= Change the current USER-RECOMMENDED attributes.");
        write_at(window, 5, 8, "3= REMOVE the USER-RECOMMENDED Specification/over-ride,");
        write_at(window, 5, 9, "and Use COMPUTER-RECOMMENDED attributes in all further analysis.");
        write_form(window, 5, 12, "('Enter USER-RECOMMENDED values for LINK ID ',F8.1,' - ',F8.1)", nodes);
        write_at(window, 41, 13, "           Current    New");
        write_at(window, 39, 14, "           Properties  Properties");
        write_form(window, 5, TYPE_ROW, "('Element TYPE:1=Pipe;2=Box;3=Channel...........[',2X,I2,2X,'] =>')",
                   {static_cast<int>(working.type)});
    }
    show_review_footer(window, CommandSet::ExitTop);
    return option_row;
}

// The shown value of a designation beside a prompt: "[value]".
void show_current(Window& window, int column, int row, std::string_view layout, float value)
{
    write_form(window, column, row, layout, {value});
}

std::string_view sizing_value_prompt(int type, int dimension)
{
    const bool channel = type == static_cast<int>(ElementType::Channel);
    switch (dimension) {
        case 1:
            return "Enter WIDTH (feet).................................. ===>";
        case 2:
            return channel ? "Enter FLOW-DEPTH (feet)............................. ===>"
                           : "Enter HEIGHT (feet)................................. ===>";
        default:
            return channel ? "Enter WIDTH/(FLOW-DEPTH) RATIO...................... ===>"
                           : "Enter WIDTH/HEIGHT RATIO............................ ===>";
    }
}

enum class EntryStep { Done, Leave, Top };

// Reads the designation into `working`, field by field.
EntryStep read_designation(Window& window, bool designated, Designation& working)
{
    const auto field = [&](int row, FieldKind kind, float low, float high, float& target) {
        const NumberEntry entry =
            read_number_field(window, ENTRY_FIELD_COLUMN, row, kind, low, high, 0.0f, CommandSet::ExitTop, false);
        if (entry.result == EntryResult::ExitRequested) return EntryStep::Leave;
        if (entry.result == EntryResult::TopRequested) return EntryStep::Top;
        target = entry.value;
        return EntryStep::Done;
    };
    EntryStep step = field(TYPE_ROW, FieldKind::Whole, 1.0f, 3.0f, working.type);
    if (step != EntryStep::Done) return step;

    write_at(window, 5, FRICTION_ROW, "Enter Manning's Friction Factor..................... ===>", LineEnd::StayOnLine);
    if (designated) show_current(window, 51, FRICTION_ROW, "('[',F6.4,']')", working.friction_factor);
    step = field(FRICTION_ROW, FieldKind::Real, 0.005f, 0.99f, working.friction_factor);
    const int type = static_cast<int>(working.type);
    if (step != EntryStep::Done || type == static_cast<int>(ElementType::Pipe)) return step;

    const bool channel = type == static_cast<int>(ElementType::Channel);
    write_at(window, 5, DIMENSION_ROW, "Select Sizing Dimension VARIABLE.................... ===>",
             LineEnd::StayOnLine);
    write_at(window, 6, DIMENSION_ROW + 1,
             channel ? "1 = FLOW-DEPTH, 2 = WIDTH, 3 = Ratio of WIDTH/(FLOW-DEPTH)"
                     : "1 = HEIGHT, 2 = WIDTH, 3 = Ratio of WIDTH/HEIGHT");
    if (designated) show_current(window, 51, DIMENSION_ROW, "('[',F6.2,']')", working.sizing_dimension);
    // The dimension is one of three codes: a fraction is refused.
    step = field(DIMENSION_ROW, FieldKind::Whole, 1.0f, 3.0f, working.sizing_dimension);
    if (step != EntryStep::Done) return step;

    write_at(window, 5, SIZING_VALUE_ROW, sizing_value_prompt(type, static_cast<int>(working.sizing_dimension)),
             LineEnd::StayOnLine);
    if (designated) show_current(window, 51, SIZING_VALUE_ROW, "('[',F6.2,']')", working.sizing_value);
    step = channel ? field(SIZING_VALUE_ROW, FieldKind::Real, 0.1f, 100.0f, working.sizing_value)
                   : field(SIZING_VALUE_ROW, FieldKind::Real, 1.0f, 10.0f, working.sizing_value);
    if (step != EntryStep::Done || !channel) return step;

    write_at(window, 5, SIDE_SLOPE_ROW, "Enter Channel Side Slope (Horiz./Vertical),Z........ ===>",
             LineEnd::StayOnLine);
    if (designated) show_current(window, 50, SIDE_SLOPE_ROW, "('.[',F6.2,']')", working.side_slope);
    step = field(SIDE_SLOPE_ROW, FieldKind::Real, 0.0f, 10.0f, working.side_slope);
    if (step != EntryStep::Done) return step;

    write_at(window, 5, FREEBOARD_ROW, "Enter FREEBOARD (feet).............................. ===>",
             LineEnd::StayOnLine);
    if (designated) show_current(window, 51, FREEBOARD_ROW, "('[',F6.2,']')", working.freeboard);
    return field(FREEBOARD_ROW, FieldKind::Real, 0.0f, 10.0f, working.freeboard);
}

}  // namespace

ReviewOutcome review_element_type(Window& window, LinkRecord& record)
{
    if (static_cast<int>(record.recommended_element_type()) == 0) {
        write_at(window, 5, 15, "There is NO COMPUTER RECOMMENDED ELEMENT for this Link.");
        write_at(window, 6, 16, "There is Nothing available to change!");
        wait_for_return(window);
        return ReviewOutcome::NothingToReview;
    }
    const bool designated = has_designation(record);
    for (;;) {
        Designation working = designation_of(record);
        const int option_row = show_type_screen(window, record, designated, working);
        const NumberEntry option = read_number_field(window, ENTRY_FIELD_COLUMN, option_row, FieldKind::Whole, 1.0f,
                                                     designated ? 3.0f : 2.0f, 0.0f, CommandSet::ExitTop, false);
        if (option.result == EntryResult::ExitRequested) return ReviewOutcome::LeaveReview;
        if (option.result == EntryResult::TopRequested) continue;
        if (option.value == 1.0f) return ReviewOutcome::Retained;
        if (option.value == 2.0f) {
            const EntryStep step = read_designation(window, designated, working);
            if (step == EntryStep::Leave) return ReviewOutcome::LeaveReview;
            if (step == EntryStep::Top) continue;
        } else {
            working = {};
        }
        show_update_link_data_base(window);
        store(record, working);
        return ReviewOutcome::Changed;
    }
}

}  // namespace velm
