// The override screens of the capacity and friction slope reviews.
#include "review/value_override_review.h"

#include <string>

namespace velm {

namespace {

constexpr int VALUE_ROW = 15;

constexpr std::string_view OPTION_PROMPT = "Select YOUR Option NUMBER.......................... ===>";

std::string bounded(std::string_view caption, float value, int decimals)
{
    return std::string(caption) + format_fixed(value, 8, decimals) + "]";
}

void show_range_line(Window& window, const OverrideReview& review)
{
    write_at(window, 6, 16,
             ":ALLOWABLE VALUES ARE [" + format_fixed(review.low, 8, review.decimals) + "] and [" +
                 format_fixed(review.high, 8, review.decimals) + "]");
}

// Draws the screen; returns the row of its option field.
int show_override_screen(Window& window, const OverrideReview& review, float upstream_node, float downstream_node)
{
    clear_screen(window);
    const std::string nodes = format_fixed(upstream_node, 8, 1) + " - " + format_fixed(downstream_node, 8, 1) + "].";
    int option_row = 0;
    if (!review.has_override) {
        write_at(window, 5, 2, "YOU have the OPTION to over-ride the COMPUTER-ESTIMATED");
        write_at(window, 6, 3, "value for this particular LINK [" + nodes);
        write_at(window, 6, 4, "YOUR USER-RECOMMENDED input will be RETAINED for all");
        write_at(window, 6, 5, "further analysis, until YOU Remove YOUR USER-RECOMMENDED");
        write_at(window, 6, 6, "specifiation/over-ride.");
        option_row = 8;
        write_at(window, 6, option_row, OPTION_PROMPT, LineEnd::StayOnLine);
        write_at(window, 8, 9, "1= Retain use of the COMPUTER-RECOMMENDED value");
        write_at(window, 11, 10, "for further analysis");
        write_at(window, 8, 11, "2= SPECIFY USER-RECOMMENDED value for all further analysis");
        write_at(window, 5, 13, bounded(review.computed_caption, review.computed, review.decimals));
        write_at(window, 6, VALUE_ROW, review.user_caption, LineEnd::StayOnLine);
    } else {
        write_at(window, 5, 2, "There already exists a USER-RECOMMENDED value for");
        write_at(window, 6, 3, "LINK [" + nodes);
        option_row = 5;
        write_at(window, 6, option_row, OPTION_PROMPT, LineEnd::StayOnLine);
        write_at(window, 8, 6, "1= Retain use of the current USER-RECOMMENDED value.");
        write_at(window, 8, 7, "2= Change the current USER-RECOMMENDED value.");
        write_at(window, 8, 8, "3= REMOVE the USER-RECOMMENDED Specification/over-ride,");
        write_at(window, 11, 9, "and Use COMPUTER-RECOMMENDED value in all further analysis.");
        write_at(window, 5, 11, bounded(review.computed_caption, review.computed, review.decimals));
        write_at(window, 6, 13,
                 std::string(review.current_caption) + format_fixed(review.user_value, 8, review.decimals));
        write_at(window, 6, VALUE_ROW, review.new_caption, LineEnd::StayOnLine);
    }
    show_range_line(window, review);
    show_review_footer(window, CommandSet::ExitTop);
    return option_row;
}

}  // namespace

OverrideChoice review_value_override(Window& window, const OverrideReview& review, float upstream_node,
                                     float downstream_node)
{
    for (;;) {
        const int option_row = show_override_screen(window, review, upstream_node, downstream_node);
        const float last_option = review.has_override ? 3.0f : 2.0f;
        const NumberEntry option = read_number_field(window, ENTRY_FIELD_COLUMN, option_row, FieldKind::Whole, 1.0f,
                                                     last_option, 0.0f, CommandSet::ExitTop, false);
        if (option.result == EntryResult::ExitRequested) return {ReviewOutcome::LeaveReview};
        if (option.result == EntryResult::TopRequested) continue;
        OverrideChoice choice{ReviewOutcome::Changed};
        if (option.value == 1.0f) return {ReviewOutcome::Retained};
        if (option.value == 3.0f) {
            choice.remove = true;
        } else {
            const NumberEntry value = read_number_field(window, ENTRY_FIELD_COLUMN, VALUE_ROW, FieldKind::Real,
                                                        review.low, review.high, 0.0f, CommandSet::ExitTop, false);
            if (value.result == EntryResult::ExitRequested) return {ReviewOutcome::LeaveReview};
            if (value.result == EntryResult::TopRequested) continue;
            choice.new_value = value.value;
        }
        show_update_link_data_base(window);
        return choice;
    }
}

}  // namespace velm
