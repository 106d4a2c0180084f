// The frame of the link review tests: the review run in-process on the
// review study with the scripted window.
#pragma once

#include <string>
#include <vector>

#include "review/link_review.h"
#include "review/review_study.h"
#include "support/session_test.h"

namespace velm::test {

// Typed lines one after the other.
inline std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A user-recommended element as the element size review stores it: in the
// link's record, and as the element of the link's string records.
struct UserElement {
    float status = 1.0f;  // 1 replacement, 2 parallel
    int type = 1;
    float height = 0.0f;
    float base_width = 0.0f;
    float side_slope = 0.0f;
    float friction_factor = 0.0f;
};

inline void adopt_user_element(StudyBuilder& study, float upstream, float downstream, const UserElement& element)
{
    LinkRecord& link = study.link(upstream, downstream);
    link.user_element_status() = element.status;
    link.user_element_type() = element.type;
    link.user_element_height() = element.height;
    link.user_element_base_width() = element.base_width;
    link.user_element_side_slope() = element.side_slope;
    link.user_element_friction_factor() = element.friction_factor;
    for (const std::vector<TelescopedStringRecord>& string : study.strings()) {
        for (TelescopedStringRecord& record : const_cast<std::vector<TelescopedStringRecord>&>(string)) {
            if (record.upstream_node != upstream || record.downstream_node != downstream) continue;
            record.telescoped_shape = static_cast<float>(element.type);
            record.telescoped_size = element.height;
            record.telescoped_width = element.base_width;
            record.telescoped_side_slope = element.side_slope;
            record.telescoped_friction_factor = element.friction_factor;
        }
    }
}

class LinkReviewTest : public SessionTest {
protected:
    // Runs one review run with the typed lines, every one of which must be used.
    void review(ReviewTarget target, const std::vector<std::string>& typed, int model_type = 3)
    {
        window_.type(typed);
        review_and_adopt_link_values(session_, "AB", target, model_type);
        EXPECT_EQ(window_.lines_left(), 0u) << window_.dump();
    }
    const std::string& screen_at(std::size_t i) const { return window_.reads().at(i); }
    std::string text_at(std::size_t read, int column, int row, std::size_t length) const
    {
        return snapshot_text(screen_at(read), column, row, length);
    }
    // The text stands at (column, row) of the screen at read `read`.
    void expect_text(std::size_t read, int column, int row, std::string_view text) const
    {
        EXPECT_EQ(text_at(read, column, row, text.size()), text) << "at read " << read << ", row " << row;
    }
};

}  // namespace velm::test
