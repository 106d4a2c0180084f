// The reviews of the five targets of a link.  Each takes the link's record
// as read from its data base, shows its screens, and changes the record in
// hand only when the engineer adopts a change (outcome Changed); the frame
// (link_review.h) then rewrites the data base.
//
//   capacity            column 74 computed, 75 the user's override (-1.0 none)
//   element size        columns 98-105 and 110 the computer's replacement and
//                       parallel elements; 62, 112-115 and 123 the user's element
//   friction slope      column 64 computed (63 when 64 holds none), 65 the override
//   cost-opinion status column 100: 1.0 included, 0.0 not included
//   element type        columns 141-146 the designated element of the sizing
#pragma once

#include "records/link_data_base.h"
#include "review/link_review.h"

namespace velm {

ReviewOutcome review_link_capacity(Window& window, LinkRecord& record);
ReviewOutcome review_element_size(Window& window, LinkRecord& record, ChangedLinkTable& changed_links);
ReviewOutcome review_friction_slope(Window& window, LinkRecord& record);
ReviewOutcome review_cost_opinion_status(Window& window, LinkRecord& record, ChangedLinkTable& changed_links);
ReviewOutcome review_element_type(Window& window, LinkRecord& record);

// The largest user capacity column 75 holds (cfs) and the largest side slope
// of a user element column 114 holds: an entry range never goes beyond what
// the data base can store.
inline constexpr float MAX_USER_CAPACITY = 99999.0f;
inline constexpr float MAX_USER_SIDE_SLOPE = 99.99f;

}  // namespace velm
