// Friction slope review: the friction slope (Sf) the analysis computed for
// the link (column 64; the balanced HGL estimation's value of column 63
// stands in when column 64 holds none) and the engineer's user-recommended
// slope in its place (column 65; a value above 0 is an override).
#include "review/link_value_reviews.h"
#include "review/value_override_review.h"

namespace velm {

namespace {

// Column 63: the friction slope the balanced HGL estimation stores beside
// its own column.
constexpr int BALANCED_HGL_FRICTION_SLOPE_COLUMN = 63;
constexpr float LOWEST_USER_FRICTION_SLOPE = 0.0001f;

}  // namespace

ReviewOutcome review_friction_slope(Window& window, LinkRecord& record)
{
    const float balanced = record.column(BALANCED_HGL_FRICTION_SLOPE_COLUMN);
    if (balanced > 0.0f && record.computed_friction_slope() <= 0.0f) record.computed_friction_slope() = balanced;
    if (record.computed_friction_slope() <= 0.0f) {
        write_at(window, 5, 15, "There is NO COMPUTER RECOMMENDED Link Friction Slope.");
        write_at(window, 6, 16, "There is Nothing to change!");
        wait_for_return(window);
        return ReviewOutcome::NothingToReview;
    }
    // Both screens show the slope the allowable range derives from.
    OverrideReview review{
        " Computer Recommended Link Friction Slope........... ===>[",
        "User-Recommended Link Friction Slope............... ===>",
        "CURRENT User-Recommended Link Friction Slope....... ===>",
        "NEW User-Recommended Link Friction Slope........... ===>",
        4,
        record.computed_friction_slope(),
        record.user_friction_slope() > 0.0f,
        record.user_friction_slope(),
        LOWEST_USER_FRICTION_SLOPE,
        // Never more than column 65 can hold.
        clamp_to_field(10.0f * record.computed_friction_slope(), LinkRecord::field(65)),
    };
    const OverrideChoice choice =
        review_value_override(window, review, record.upstream_node(), record.downstream_node());
    if (choice.outcome == ReviewOutcome::Changed)
        record.user_friction_slope() = choice.remove ? 0.0f : choice.new_value;
    return choice.outcome;
}

}  // namespace velm
