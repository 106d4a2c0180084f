// Cost-opinion status review: whether the computer-estimated element of a
// link enters the cost opinion and the cost-to-benefit (CBI) analysis.
// Column 100 holds 1.0 when it does and 0.0 when it does not; the screen
// shows the status as 1 (include) or 2 (do not include).  A negative value
// is read as "not included" by the deficiency pass and the string records,
// so the review stores 1.0 for include; an exclude is 0.0, carrying the
// negative sign of a value that held one ("-0.00"), which stays "not
// included" either way.
#include <cmath>

#include "review/link_value_reviews.h"

namespace velm {

namespace {

constexpr int STATUS_ROW = 12;

}  // namespace

ReviewOutcome review_cost_opinion_status(Window& window, LinkRecord& record, ChangedLinkTable& changed_links)
{
    if (record.replacement_element_height() <= 0.0f) {
        write_at(window, 5, 15, "There is no Computer-Estimated Element for this LINK!");
        wait_for_return(window);
        return ReviewOutcome::NothingToReview;
    }
    for (;;) {
        clear_screen(window);
        int current = static_cast<int>(std::fabs(record.cost_opinion_status()));
        if (current == 0) current = 2;
        write_at(window, 5, 2, "The PROGRAM automatically Includes each Computer-Estimated");
        write_at(window, 6, 3, "LINK element in the COST OPINION and COST-TO-BENEFIT (CBI)");
        write_at(window, 6, 4, "Analysis. YOU have the OPTION to REMOVE a Computer-Estimated");
        write_at(window, 6, 5, "LINK element from inclusion in the COST OPINION and CBI Analysis.");
        write_at(window, 6, 6, "(For USER-SPECIFIED LINK elements, YOU need to return to the");
        write_at(window, 6, 7, "Hydrology Model data file (Step #1 of Sluvex) to make any");
        write_at(window, 6, 8, "changes in the LINK Cost Opinion STATUS).");
        write_form(window, 6, 10, "('ID LINK [',F8.1,' - ',F8.1,'].')",
                   {record.upstream_node(), record.downstream_node()});
        write_form(window, 6, 11, "('CURRENT Cost Opinion STATUS........................ ===>[',I1,']')", {current});
        write_at(window, 6, STATUS_ROW, "NEW Cost Opinion STATUS............................ ===>",
                 LineEnd::StayOnLine);
        write_at(window, 6, 13, "(1 = INCLUDE in Cost Opinion and CBI analysis;");
        write_at(window, 6, 14, " 2 = Do NOT include in Cost Opinion and CBI analysis)");
        show_review_footer(window, CommandSet::ExitTop);

        const NumberEntry status = read_number_field(window, ENTRY_FIELD_COLUMN, STATUS_ROW, FieldKind::Whole, 1.0f,
                                                     2.0f, 0.0f, CommandSet::ExitTop, false);
        if (status.result == EntryResult::ExitRequested) return ReviewOutcome::LeaveReview;
        if (status.result == EntryResult::TopRequested) continue;

        const float stored = status.value == 1.0f ? 1.0f : std::copysign(0.0f, record.cost_opinion_status());
        if (record.cost_opinion_status() == stored) return ReviewOutcome::Retained;
        changed_links.entry_for(record.upstream_node(), record.downstream_node()).adopted_values[0] = status.value;
        record.cost_opinion_status() = stored;
        return ReviewOutcome::Changed;
    }
}

}  // namespace velm
