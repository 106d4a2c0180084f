// The deficiency pass in the analysis run of the bundled sample study: after
// the run every conveyance link of the four maps holds the capacity of its
// element at its friction slope, the total capacity of each storm event,
// its deficiencies, and, when deficient, a parallel pipe and a recommended
// element that carry what they were sized for.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "records/format.h"
#include "records/link_data_base.h"
#include "shell/control_settings.h"
#include "sizing/element_hydraulics.h"
#include "support/program_run.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

class DeficiencySampleTest : public test::SessionTest {
protected:
    void run_sample()
    {
        for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample"))
            if (entry.is_regular_file()) fs::copy_file(entry.path(), entry.path().filename());
        HglControlTable hgl_controls;
        ASSERT_TRUE(load_control_file_named("SAcontzz.zzz", controls_, hgl_controls));
        test::write_command_file("SA", 1, 1, 2);
        ASSERT_EQ(test::run_program_to_stop(session_, window_, {}), "analysis run done");
        for (const char* map : {"SA2204ZZ.ZLL", "SA2301ZZ.ZLL", "SA2302ZZ.ZLL", "SA2303ZZ.ZLL"})
            for (const LinkRecord& link : read_link_data_base(map, FilePresence::MustExist)) links_.push_back(link);
    }

    // The friction slope the link's element was analysed and sized at: the
    // balanced HGL's (or, under the topographic models, the link's own)
    // slope, times the proportion outside process codes 50 to 56, unless the
    // user gave one; a slope that carries nothing is the minimum.
    float friction_slope(const LinkRecord& link) const
    {
        float slope = uses_balanced_hgl(controls_.friction_slope_model)
                          ? link.balanced_hgl_friction_slope()
                          : std::max(link.link_slope(), controls_.default_min_friction_slope);
        if (link.process_code() < 50 || link.process_code() > 56) slope = slope * controls_.friction_slope_proportion;
        if (link.user_friction_slope() > 0.0f) slope = link.user_friction_slope();
        if (slope <= 0.0f && controls_.friction_slope_model == FrictionSlopeModel::BalancedHglSlope)
            slope = link.balanced_hgl_friction_slope();
        if (slope <= 0.0f) slope = controls_.default_min_friction_slope;
        return slope;
    }

    // The flow each event's deficiency is measured against.
    float sizing_flow_of(const LinkRecord& link, int event, bool street_flow) const
    {
        const bool box_or_channel = link.element_type() == static_cast<int>(ElementType::Box) ||
                                    link.element_type() == static_cast<int>(ElementType::Channel);
        const SizingFlowRate rate = box_or_channel ? controls_.box_channel_flow_rate : controls_.pipe_flow_rate;
        if (street_flow || rate == SizingFlowRate::DownstreamNodePeak) return link.downstream_peak_flow(event);
        return link.upstream_peak_flow(event);
    }

    ControlParameters controls_;
    std::vector<LinkRecord> links_;
};

std::string printed(float value)
{
    return format_fixed(value, 10, 2);
}

TEST_F(DeficiencySampleTest, LinksHoldCapacitiesDeficienciesAndMitigationSizes)
{
    run_sample();
    ASSERT_FALSE(links_.empty());
    constexpr int EVENTS = 2;
    int deficient = 0;
    int sufficient = 0;
    int streets = 0;
    for (const LinkRecord& link : links_) {
        SCOPED_TRACE(link.link_id());
        if (link.process_code() == 21) {
            EXPECT_EQ(link.max_deficiency(), 0.0f);
            continue;
        }
        float slope = friction_slope(link);
        float element = 0.0f;
        switch (static_cast<ElementType>(link.element_type())) {
            case ElementType::Pipe:
                element = compute_pipe_full_capacity(
                    CircularPipe{link.element_height(), link.element_friction_factor()}, slope);
                break;
            case ElementType::Box:
                element = compute_box_capacity(
                    RectangularBox{link.element_base_width(), link.element_height(), link.element_friction_factor()},
                    slope);
                break;
            case ElementType::Channel:
                element =
                    compute_trapezoid_capacity(TrapezoidalChannel{link.element_base_width(), link.element_side_slope(),
                                                                  link.element_friction_factor()},
                                               slope, link.element_height());
                break;
            case ElementType::NoElement:
                break;
        }
        EXPECT_EQ(printed(link.computed_capacity()), printed(element));

        bool street_flow = false;
        for (int i = 1; i <= EVENTS; ++i) {
            if (link.street_capacity(i) > 0.1f) street_flow = true;
            EXPECT_NEAR(link.total_capacity(i), link.computed_capacity() + link.street_capacity(i), 0.011f);
        }
        if (link.street_capacity(EVENTS) > 0.0f) ++streets;
        float largest = 0.0f;
        for (int i = 1; i <= EVENTS; ++i) {
            const float deficiency = std::max(0.0f, sizing_flow_of(link, i, street_flow) - link.total_capacity(i));
            EXPECT_NEAR(link.event_deficiency(i), deficiency, 0.011f) << "event " << i;
            largest = std::max(largest, link.event_deficiency(i));
        }
        EXPECT_EQ(link.max_deficiency(), largest);

        if (link.max_deficiency() <= 0.0f) {
            ++sufficient;
            EXPECT_EQ(link.deficiency_flag(), 0.0f);
            EXPECT_EQ(link.required_element_height(), 0.0f);
            EXPECT_EQ(link.parallel_element_height(), 0.0f);
            continue;
        }
        ++deficient;
        EXPECT_EQ(link.deficiency_flag(), 1.0f);
        // The parallel pipe carries the largest deficiency.
        float pipe_slope = slope;
        EXPECT_GE(
            compute_pipe_full_capacity(
                CircularPipe{link.parallel_element_height(), link.parallel_element_friction_factor()}, pipe_slope),
            link.max_deficiency());
        // The recommended element carries the flow it was sized for.
        const float n = link.required_element_friction_factor();
        float carried = 0.0f;
        if (link.recommended_element_type() == 1.0f) {
            carried = compute_pipe_full_capacity(CircularPipe{link.required_element_height(), n}, pipe_slope);
        } else if (link.recommended_element_type() == 2.0f) {
            carried = compute_box_capacity(
                RectangularBox{link.required_element_base_width(), link.required_element_height(), n}, slope);
        } else {
            ADD_FAILURE() << "recommended element " << link.recommended_element_type();
        }
        EXPECT_GE(carried, 0.99f * link.required_element_flow());
        EXPECT_GT(link.required_element_flow(), 0.0f);
    }
    EXPECT_GT(deficient, 0);
    EXPECT_GT(sufficient, 0);
    EXPECT_GT(streets, 0);
}

}  // namespace
}  // namespace velm
