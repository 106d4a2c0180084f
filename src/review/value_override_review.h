// The screens shared by the capacity and the friction slope reviews: a value
// the analysis computed for a link, which the engineer may override with a
// user-recommended value, change that override, or remove it.
#pragma once

#include <string_view>

#include "review/link_review.h"

namespace velm {

struct OverrideReview {
    // The captions, each ending in " ===>" at column 61 (the computed one
    // with "[" behind it).
    std::string_view computed_caption;
    std::string_view user_caption;     // screen without an override
    std::string_view current_caption;  // screen with an override
    std::string_view new_caption;      // screen with an override
    int decimals = 2;                  // of the shown values and bounds (F8.d)
    float computed = 0.0f;             // the analysis's value, shown
    bool has_override = false;
    float user_value = 0.0f;  // the override, shown when there is one
    float low = 0.0f;         // allowable range of a new override, inclusive
    float high = 0.0f;
};

struct OverrideChoice {
    ReviewOutcome outcome = ReviewOutcome::Retained;
    bool remove = false;     // Changed: remove the override (option 3)
    float new_value = 0.0f;  // Changed and not remove: the new override
};

// Shows the screen with or without an override for the link and reads the
// option and, for option 2, the new value.  Writes nothing to the record.
OverrideChoice review_value_override(Window& window, const OverrideReview& review, float upstream_node,
                                     float downstream_node);

}  // namespace velm
