// Capacity review: the flow capacity the deficiency analysis computed for
// the link's existing primary element (column 74) and the engineer's
// user-recommended capacity in its place (column 75, NO_USER_CAPACITY when
// there is none; 0.0 is an override like any other value).
#include <cmath>

#include "review/link_value_reviews.h"
#include "review/value_override_review.h"

namespace velm {

ReviewOutcome review_link_capacity(Window& window, LinkRecord& record)
{
    if (record.element_type() == 0 && record.computed_capacity() <= 0.0f) {
        write_at(window, 5, 15, "There is NO EXISTING SYSTEM ELEMENT defined!");
        wait_for_return(window);
        return ReviewOutcome::NothingToReview;
    }
    // Up to three times the computed capacity, rounded to a whole cfs
    // (halves away from zero), and never more than column 75 can hold.
    const float high = std::fmin(std::round(3.0f * record.computed_capacity()), MAX_USER_CAPACITY);
    OverrideReview review{
        " Computer Recommended Capacity (cfs)................ ===>[",
        "User-Recommended Capacity (cfs).................... ===>",
        "CURRENT User-Recommended Capacity (cfs)............ ===>",
        "NEW User-Recommended Capacity (cfs)................ ===>",
        2,
        record.computed_capacity(),
        record.user_capacity() != NO_USER_CAPACITY,
        record.user_capacity(),
        0.0f,
        high,
    };
    const OverrideChoice choice =
        review_value_override(window, review, record.upstream_node(), record.downstream_node());
    if (choice.outcome == ReviewOutcome::Changed)
        record.user_capacity() = choice.remove ? NO_USER_CAPACITY : choice.new_value;
    return choice.outcome;
}

}  // namespace velm
