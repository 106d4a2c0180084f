// Element size review: the deficiency-mitigation element the analysis
// recommends for a link, as a replacement of the existing element (columns
// 102 to 105, type in 110) and as a parallel pipe beside it (98, 99), and
// the engineer's user-recommended element (type 123, sizes 112 to 115,
// status 62: 1 replacement, 2 parallel).  Every change is entered in the
// run's table of changed links, whose values the string records take at the
// end of the run.
#include <cmath>
#include <string>

#include "review/link_value_reviews.h"

namespace velm {

namespace {

constexpr int OPTION_ROW = 14;
constexpr int TYPE_ROW = 15;
constexpr int HEIGHT_ROW = 16;
constexpr int WIDTH_ROW = 17;
constexpr int SIDE_SLOPE_ROW = 18;
constexpr int FRICTION_ROW = 19;

constexpr std::string_view TABLE_RULE = "+=====================+===========+";

int recommended_type(const LinkRecord& record)
{
    return static_cast<int>(record.recommended_element_type());
}

// The attribute table, rows `first` to `first` + 11.
void show_attribute_table(Window& window, const LinkRecord& record, int first)
{
    const int r = first;
    write_at(window, 5, r, "The COMPUTER-ESTIMATED deficiency-mitigation");
    write_at(window, 6, r + 1, "Primary element attributes are as follows:");
    write_at(window, 41, r + 2, TABLE_RULE);
    write_at(window, 41, r + 3, "|COMPUTER-RECOMMENDED |   USER-   |");
    write_at(window, 8, r + 4, "Element Characteristics          |Replacement Parallel |RECOMMENDED|");
    write_form(window, 5, r + 5,
               "('ID: 1=Pipe; 2=Box; 3=Channel........| [',2X,I2,2X,']   [   1  ] |  [',2X,I2,2X,'] |')",
               {recommended_type(record), record.user_element_type()});
    write_form(window, 5, r + 6, "('Diameter/Height (ft)................| [',F6.2,']   [',F6.2,'] |  [',F6.2,'] |')",
               {record.replacement_element_height(), record.parallel_element_height(), record.user_element_height()});
    write_form(window, 5, r + 7, "('Base Width (ft)/ # of Pipes.........| [',F6.2,']   [   .00] |  [',F6.2,'] |')",
               {record.replacement_element_base_width(), record.user_element_base_width()});
    write_form(window, 5, r + 8, "('Side Slope (Horizontal/Vertical)....| [',F6.2,']   [   .00] |  [',F6.2,'] |')",
               {record.replacement_element_side_slope(), record.user_element_side_slope()});
    write_form(window, 5, r + 9, "('Friction Factor.....................| [',F6.4,']   [',F6.4,'] |  [',F6.3,'] |')",
               {record.replacement_element_friction_factor(), record.parallel_element_friction_factor(),
                record.user_element_friction_factor()});
    write_form(window, 5, r + 10, "('Status:1=Replacement;2=Parallel     |        [  1  ]      |  [',2X,I2,2X,'] |')",
               {static_cast<int>(record.user_element_status())});
    write_at(window, 41, r + 11, TABLE_RULE);
}

void show_information_screen(Window& window, const LinkRecord& record)
{
    clear_screen(window);
    write_at(window, 5, 2, "YOU have the OPTION to over-ride the COMPUTER-ESTIMATED");
    write_at(window, 6, 3, "deficiency-mitigation primary element attributes for");
    write_form(window, 6, 4, "('LINK [',F8.1,' - ',F8.1,'].  YOUR USER-RECOMMENDED attributes')",
               {record.upstream_node(), record.downstream_node()});
    write_at(window, 6, 5, "will be RETAINED for all further analysis, until YOU");
    write_at(window, 6, 6, "Remove YOUR USER-RECOMMENDED specification/over-ride.");
    show_attribute_table(window, record, 8);
    wait_for_return(window);
}

void show_option_screen(Window& window, const LinkRecord& record)
{
    clear_screen(window);
    show_attribute_table(window, record, 1);
    write_at(window, 5, OPTION_ROW, " Select YOUR Option NUMBER.......................... ===>", LineEnd::StayOnLine);
    if (record.user_element_type() == 0) {
        write_at(window, 5, 15, "1= Retain use of the COMPUTER-RECOMMENDED attributes");
        write_at(window, 5, 16, "for further analysis");
        write_at(window, 5, 17, "2= SPECIFY USER-RECOMMENDED attributes for all further analysis");
    } else {
        write_at(window, 5, 15, "1= Retain use of the current USER-RECOMMENDED attributes.");
        write_at(window, 5, 16, "2= Change the current USER-RECOMMENDED attributes.");
        write_at(window, 5, 17, "3= REMOVE the USER-RECOMMENDED Specification/over-ride,");
        write_at(window, 5, 18, "and Use COMPUTER-RECOMMENDED attributes in all further analysis.");
    }
    show_review_footer(window, CommandSet::ExitTop);
}

void show_entry_screen(Window& window, const LinkRecord& record, int status)
{
    clear_screen(window);
    write_form(window, 5, 12, "('Enter USER-RECOMMENDED attributes for LINK ID ',F8.1,' - ',F8.1,':')",
               {record.upstream_node(), record.downstream_node()});
    if (record.user_element_type() == 0) {
        write_at(window, 39, 13, "COMPUTER-RECOMMENDED | USER-");
        write_at(window, 8, 14, "Element Characteristics        Replacement  Parallel| RECOMMENED");
        write_form(window, 5, 15, "('ID: 1=Pipe; 2=Box; 3=Channel.......[',2X,I2,2X,']    [   1  ]|')",
                   {recommended_type(record)});
        write_form(window, 5, 16, "('Diameter/Height (ft)...............[',F6.2,']    [',F6.2,']|')",
                   {record.replacement_element_height(), record.parallel_element_height()});
        write_form(window, 5, 17, "('Base Width (ft)/ # of Pipes........[',F6.2,']    [   .00]|')",
                   {record.replacement_element_base_width()});
        write_form(window, 5, 18, "('Side Slope (Horizontal/Vertical)...[',F6.2,']    [   .00]|')",
                   {record.replacement_element_side_slope()});
        write_form(window, 5, 19, "('Friction Factor....................[',F6.4,']    [',F6.4,']|')",
                   {record.replacement_element_friction_factor(), record.parallel_element_friction_factor()});
        write_form(window, 5, 20, "('Status:1=Replacement;2=Parallel ..........[  1  ]      | [',I1,']')", {status});
    } else {
        write_at(window, 41, 13, "Computer     User-Recommended");
        write_at(window, 39, 14, "Recommended  Current    Changed");
        write_form(window, 5, 15, "('Element ID:1=Pipe;2=Box;3=Channel.[',2X,I2,2X,']    [',2X,I2,2X,'] =>')",
                   {recommended_type(record), record.user_element_type()});
        write_form(window, 5, 16, "('Element Diameter/Height (ft)......[',F6.2,']    [',F6.2,'] =>')",
                   {record.replacement_element_height(), record.user_element_height()});
        write_form(window, 5, 17, "('Element Base Width(ft)/# of Pipes.[',F6.2,']    [',F6.2,'] =>')",
                   {record.replacement_element_base_width(), record.user_element_base_width()});
        write_form(window, 5, 18, "('Element Side Slope (Horiz./Vert.).[',F6.2,']    [',F6.2,'] =>')",
                   {record.replacement_element_side_slope(), record.user_element_side_slope()});
        write_form(window, 5, 19, "('Element Friction Factor...........[',F6.4,']    [',F6.4,'] =>')",
                   {record.replacement_element_friction_factor(), record.user_element_friction_factor()});
        write_form(window, 5, 20, "('Element Status:1=Replacement;2=Parallel...........[',I1,']')", {status});
    }
    show_review_footer(window, CommandSet::ExitTopBack);
}

enum class EntryStep { Done, Leave, Top, Back };

EntryStep step_of(EntryResult result)
{
    switch (result) {
        case EntryResult::ExitRequested:
            return EntryStep::Leave;
        case EntryResult::TopRequested:
            return EntryStep::Top;
        case EntryResult::BackRequested:
            return EntryStep::Back;
        default:
            return EntryStep::Done;
    }
}

// Reads the user element's attributes into the record in hand; the type
// is stored last, once every attribute is in.
EntryStep read_user_element(Window& window, LinkRecord& record)
{
    const auto field = [&](int row, FieldKind kind, float low, float high, float& target) {
        const NumberEntry entry =
            read_number_field(window, ENTRY_FIELD_COLUMN, row, kind, low, high, 0.0f, CommandSet::ExitTopBack, false);
        const EntryStep step = step_of(entry.result);
        if (step == EntryStep::Done) target = entry.value;
        return step;
    };
    float type = 0.0f;
    EntryStep step = field(TYPE_ROW, FieldKind::Whole, 1.0f, 3.0f, type);
    if (step == EntryStep::Done) step = field(HEIGHT_ROW, FieldKind::Real, 0.1f, 999.0f, record.user_element_height());
    if (step == EntryStep::Done)
        step = field(WIDTH_ROW, FieldKind::Real, 0.0f, 999.0f, record.user_element_base_width());
    if (step == EntryStep::Done) {
        if (static_cast<int>(type) == static_cast<int>(ElementType::Channel)) {
            step = field(SIDE_SLOPE_ROW, FieldKind::Real, 0.0f, MAX_USER_SIDE_SLOPE, record.user_element_side_slope());
        } else {
            write_at(window, 61, SIDE_SLOPE_ROW, "[0]", LineEnd::StayOnLine);
            record.user_element_side_slope() = 0.0f;
        }
    }
    if (step == EntryStep::Done)
        step = field(FRICTION_ROW, FieldKind::Real, 0.001f, 0.999f, record.user_element_friction_factor());
    if (step == EntryStep::Done) record.user_element_type() = static_cast<int>(type);
    return step;
}

}  // namespace

ReviewOutcome review_element_size(Window& window, LinkRecord& record, ChangedLinkTable& changed_links)
{
    if (recommended_type(record) == 0 && record.user_element_type() == 0) {
        write_at(window, 5, 15, "There is NO COMPUTER RECOMMENDED ELEMENT for this Link.");
        write_at(window, 6, 16, "There is Nothing available to change!");
        wait_for_return(window);
        return ReviewOutcome::NothingToReview;
    }
    show_information_screen(window, record);

    int option = 0;
    bool option_chosen = false;
    while (!option_chosen) {
        show_option_screen(window, record);
        const float last_option = record.user_element_type() == 0 ? 2.0f : 3.0f;
        const NumberEntry choice = read_number_field(window, ENTRY_FIELD_COLUMN, OPTION_ROW, FieldKind::Whole, 1.0f,
                                                     last_option, 0.0f, CommandSet::ExitTop, false);
        if (choice.result == EntryResult::ExitRequested) return ReviewOutcome::LeaveReview;
        if (choice.result == EntryResult::TopRequested) continue;
        option = static_cast<int>(choice.value);
        if (option == 1) return ReviewOutcome::Retained;
        if (option == 3) break;

        for (int row = 14; row <= 19; ++row) write_at(window, 5, row, std::string(75, ' '), LineEnd::StayOnLine);
        write_at(window, 5, OPTION_ROW, " Select Element STATUS to use....................... ===>",
                 LineEnd::StayOnLine);
        write_at(window, 6, 15, "(Note: 1=Replacement;2=Parallel)");
        const NumberEntry status = read_number_field(window, ENTRY_FIELD_COLUMN, OPTION_ROW, FieldKind::Whole, 1.0f,
                                                     2.0f, 0.0f, CommandSet::ExitTop, false);
        if (status.result == EntryResult::ExitRequested) return ReviewOutcome::LeaveReview;
        if (status.result == EntryResult::TopRequested) continue;
        record.user_element_status() = status.value;

        for (;;) {
            show_entry_screen(window, record, static_cast<int>(status.value));
            const EntryStep step = read_user_element(window, record);
            if (step == EntryStep::Leave) return ReviewOutcome::LeaveReview;
            if (step == EntryStep::Top) continue;
            if (step == EntryStep::Done) option_chosen = true;
            break;  // Done, or BACK to the option screen
        }
    }

    ChangedLinkEntry& entry = changed_links.entry_for(record.upstream_node(), record.downstream_node());
    const std::array<float, 5> replacement{static_cast<float>(recommended_type(record)),
                                           record.replacement_element_height(), record.replacement_element_base_width(),
                                           record.replacement_element_side_slope(),
                                           record.replacement_element_friction_factor()};
    if (option == 3) {
        record.user_element_height() = 0.0f;
        record.user_element_base_width() = 0.0f;
        record.user_element_side_slope() = 0.0f;
        record.user_element_friction_factor() = 0.0f;
        record.user_element_status() = 0.0f;
        record.user_element_type() = 0;
        entry.adopted_values = replacement;
        entry.parallel_values = {};
    } else {
        entry.adopted_values = {static_cast<float>(record.user_element_type()), record.user_element_height(),
                                record.user_element_base_width(), record.user_element_side_slope(),
                                record.user_element_friction_factor()};
        const bool parallel =
            static_cast<int>(record.user_element_status()) == static_cast<int>(ElementStatus::Parallel);
        entry.parallel_values = parallel ? replacement : std::array<float, 5>{};
    }
    show_update_link_data_base(window);
    return ReviewOutcome::Changed;
}

}  // namespace velm
