// The balanced HGL fit of single strings, worked by hand: envelopes at the
// minimum gradient, controls moved onto an envelope, segments refitted where
// they leave the envelopes, and the profile a string file gives.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "records/format.h"
#include "strings/balanced_hgl.h"

namespace velm {
namespace {

// Nodes 101 (outlet), 102, ... up the string; equal link lengths.
StringProfile profile(const std::vector<float>& ground, float length, float flow)
{
    StringProfile p;
    p.ground = ground;
    for (std::size_t j = 0; j + 1 < ground.size(); ++j) {
        const float down = 101.0f + static_cast<float>(j);
        p.links.push_back({down + 1.0f, down, length, flow});
    }
    return p;
}

std::vector<std::string> printed(const std::vector<float>& values, int decimals)
{
    std::vector<std::string> out;
    for (const float v : values) out.push_back(format_fixed(v, 8, decimals));
    return out;
}

using Texts = std::vector<std::string>;

struct FitCase {
    const char* name;
    std::vector<float> ground;  // ft, outlet first
    float flow;                 // cfs, every link; 100-ft links
    float control;              // ft
    Texts top, bottom;          // F8.2
    Texts slopes;               // F8.4
    Texts hgl;                  // F8.2
    std::vector<ControlReset> resets;
};

// A case shows as its name in test listings, not as its bytes.
void PrintTo(const FitCase& c, std::ostream* os)
{
    *os << c.name;
}

class BalancedHglFitTest : public ::testing::TestWithParam<FitCase> {};

// Default envelope settings: clearances 1 and 8 ft, 3 ft/s, minimum slope
// 0.0015, n 0.013.  A 10 cfs flow needs Sf = 0.00144, so the minimum slope
// holds; a 0.1 cfs flow needs Sf = 0.0311.
TEST_P(BalancedHglFitTest, FitsSegmentsBetweenTheEnvelopes)
{
    const FitCase& c = GetParam();
    const FittedHgl fit = fit_balanced_hgl(profile(c.ground, 100.0f, c.flow), c.control, ControlParameters{});
    EXPECT_EQ(printed(fit.top_envelope, 2), c.top);
    EXPECT_EQ(printed(fit.bottom_envelope, 2), c.bottom);
    EXPECT_EQ(printed(fit.friction_slope, 4), c.slopes);
    EXPECT_EQ(printed(fit.hgl, 2), c.hgl);
    std::vector<ControlReset> resets;
    for (const ControlWarning& w : fit.warnings) resets.push_back(w.reset);
    EXPECT_EQ(resets, c.resets);
}

INSTANTIATE_TEST_SUITE_P(Profiles, BalancedHglFitTest,
                         ::testing::Values(
                             // Flat ground: the top envelope falls 0.15 ft a link below 99.00, the
                             // bottom rises 0.15 ft a link above 92.00.  One straight segment from
                             // 98.00 to the top envelope at the top node: (99 - 98) / 300.
                             FitCase{"FlatProfileOneSegment",
                                     {100, 100, 100, 100},
                                     10.0f,
                                     98.0f,
                                     {"   98.55", "   98.70", "   98.85", "   99.00"},
                                     {"   92.00", "   92.15", "   92.30", "   92.45"},
                                     {"  0.0033", "  0.0033", "  0.0033"},
                                     {"   98.00", "   98.33", "   98.67", "   99.00"},
                                     {}},
                             // The control 99.00 lies above the top envelope at the outlet
                             // (98.55): reset onto it, the HGL runs along the top envelope.
                             FitCase{"FlatProfileOnTheTopEnvelope",
                                     {100, 100, 100, 100},
                                     10.0f,
                                     99.0f,
                                     {"   98.55", "   98.70", "   98.85", "   99.00"},
                                     {"   92.00", "   92.15", "   92.30", "   92.45"},
                                     {"  0.0015", "  0.0015", "  0.0015"},
                                     {"   98.55", "   98.70", "   98.85", "   99.00"},
                                     {ControlReset::AboveTopEnvelope}},
                             // The line from 98.00 to 119.00 passes node 2 at 108.50, above its
                             // top envelope 99.00: refitted to node 2 (slope 0.01), then from the
                             // top envelope there to the top (slope 0.2).
                             FitCase{"FirstSegmentFailsAndIsRefitted",
                                     {100, 100, 120},
                                     10.0f,
                                     98.0f,
                                     {"   98.85", "   99.00", "  119.00"},
                                     {"   92.00", "   92.15", "  112.00"},
                                     {"  0.0100", "  0.2000"},
                                     {"   98.00", "   99.00", "  119.00"},
                                     {}},
                             // A control below the bottom envelope: reset to 92.00; the line to
                             // 119.00 crosses node 2 (105.50), so (99 - 92) / 100, then 0.2.
                             FitCase{"ControlBelowTheBottomEnvelope",
                                     {100, 100, 120},
                                     10.0f,
                                     80.0f,
                                     {"   98.85", "   99.00", "  119.00"},
                                     {"   92.00", "   92.15", "  112.00"},
                                     {"  0.0700", "  0.2000"},
                                     {"   92.00", "   99.00", "  119.00"},
                                     {ControlReset::BelowBottomEnvelope}},
                             // A small flow needs a steep gradient (0.0311): the bottom envelope
                             // would cross the top one everywhere and sits 0.1 ft below it.
                             FitCase{"BottomEnvelopeCrossingTheTopSitsBelowIt",
                                     {100, 100, 100, 100},
                                     0.1f,
                                     98.0f,
                                     {"   89.66", "   92.77", "   95.89", "   99.00"},
                                     {"   89.56", "   92.67", "   95.79", "   98.90"},
                                     {"  0.0311", "  0.0311", "  0.0311"},
                                     {"   89.66", "   92.77", "   95.89", "   99.00"},
                                     {ControlReset::AboveTopEnvelope}},
                             // One link: no inner node, slope (top(2) - H) / length.
                             FitCase{"OneLinkString",
                                     {100, 110},
                                     10.0f,
                                     98.0f,
                                     {"   99.00", "  109.00"},
                                     {"   92.00", "  102.00"},
                                     {"  0.1100"},
                                     {"   98.00", "  109.00"},
                                     {}}),
                         [](const ::testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

TEST(BalancedHgl, ControlOnTheEnvelopeIsNoWarning)
{
    const StringProfile p = profile({100, 100, 120}, 100.0f, 10.0f);
    const FittedHgl first = fit_balanced_hgl(p, 98.0f, ControlParameters{});
    EXPECT_TRUE(fit_balanced_hgl(p, first.top_envelope[0], ControlParameters{}).warnings.empty());
    EXPECT_TRUE(fit_balanced_hgl(p, first.bottom_envelope[0], ControlParameters{}).warnings.empty());
}

TEST(BalancedHgl, WarningLinesOfAControlAboveTheTopEnvelope)
{
    const StringProfile p = profile({100, 100, 100, 100}, 100.0f, 10.0f);
    const FittedHgl fit = fit_balanced_hgl(p, 99.0f, ControlParameters{});
    ASSERT_EQ(fit.warnings.size(), 1u);
    EXPECT_EQ(control_warning_lines(7, p, fit, fit.warnings[0]),
              (Texts{"    *WARNING : The HGL CONTROL for STRING #   7",
                     "     (UPSTREAM NODE =    104.0; DOWNSTREAM NODE =    101.0) is ABOVE",
                     "     the modeled TOP HGL Envelope at the String's most Downstream Node.",
                     "     Estimated HGL Control:   99.00; TOP HGL Envelope:   98.55",
                     "     Bottom HGL Envelope:   92.00 *HGL Control RESET to TOP HGL Envelope"}));
    const FittedHgl low = fit_balanced_hgl(p, 80.0f, ControlParameters{});
    ASSERT_EQ(low.warnings.size(), 1u);
    EXPECT_EQ(control_warning_lines(7, p, low, low.warnings[0]),
              (Texts{"    *WARNING : The HGL CONTROL for STRING #   7",
                     "     (UPSTREAM NODE =    104.0; DOWNSTREAM NODE =    101.0) is BELOW",
                     "     the modeled BOTTOM HGL Envelope at the String's most Downstream Node.",
                     "     Estimated HGL Control:   80.00; TOP HGL Envelope:   98.55",
                     "     Bottom HGL Envelope:   92.00 *HGL Control RESET to Bottom HGL Envelope"}));
}

StringRecord record(float up, float down, float length, float flow, float up_ground, float down_ground)
{
    return StringRecord{up, down, length, flow, up_ground, down_ground};
}

TEST(StringProfileOfAFile, LeadingRecordsWithoutFlowOrLengthAreLeftOut)
{
    // Two leading records without flow or length; the rest reversed into
    // links from the outlet up, the ground from the downstream elevations
    // and, at the top, the first record's upstream elevation.
    const std::optional<StringProfile> p = string_profile({
        record(1, 2, 50, 0.0f, 130, 125),
        record(2, 3, 0.0f, 4, 125, 120),
        record(3, 4, 100, 5, 120, 115),
        record(4, 5, 200, 9, 115, 110),
    });
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ground, (std::vector<float>{110, 115, 120}));
    ASSERT_EQ(p->links.size(), 2u);
    EXPECT_EQ(p->links[0].upstream_node, 4.0f);
    EXPECT_EQ(p->links[0].peak_flow, 9.0f);
    EXPECT_EQ(p->links[1].upstream_node, 3.0f);
    EXPECT_EQ(p->links[1].length, 100.0f);
}

TEST(StringProfileOfAFile, FlowsAndLengthsThatCannotBeFitted)
{
    struct Case {
        const char* name;
        std::vector<StringRecord> records;
        std::optional<std::vector<float>> flows;  // outlet link first; nothing: not fitted
    } cases[] = {
        {"empty file", {}, std::nullopt},
        {"only zero flows", {record(1, 2, 10, 0, 1, 1)}, std::nullopt},
        // One zero-flow record below the head: the first record is skipped
        // instead and the zero flow is read, so the string is not fitted.
        {"zero flow beyond the head",
         {record(1, 2, 10, 3, 1, 1), record(2, 3, 10, 0, 1, 1), record(3, 4, 10, 5, 1, 1)},
         std::nullopt},
        {"negative flow takes the previous record's",
         {record(1, 2, 10, 3, 1, 1), record(2, 3, 10, -1, 1, 1)},
         std::vector<float>{3, 3}},
        {"negative first flow takes the next one",
         {record(1, 2, 10, -2, 1, 1), record(2, 3, 10, -1, 1, 1), record(3, 4, 10, 6, 1, 1)},
         std::vector<float>{6, 6, 6}},
        {"only negative flows", {record(1, 2, 10, -2, 1, 1)}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<StringProfile> p = string_profile(c.records);
        ASSERT_EQ(p.has_value(), c.flows.has_value());
        if (!p) continue;
        std::vector<float> flows;
        for (const ProfileLink& link : p->links) flows.push_back(link.peak_flow);
        EXPECT_EQ(flows, *c.flows);
    }
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// The segment fit as its rules read, summing the lengths afresh for every
// trial: the reference for the fit's running sums on random profiles.
std::vector<float> slopes_by_fresh_sums(const std::vector<float>& top, const std::vector<float>& bottom,
                                        const std::vector<ProfileLink>& links, float control)
{
    const std::size_t n = top.size();
    std::vector<float> slopes(links.size(), 0.0f);
    std::size_t p = 0;
    std::size_t u = n - 1;
    float h = control;
    for (;;) {
        float sum = 0.0f;
        for (std::size_t j = p; j < u; ++j) sum += links[j].length;
        const float s = (top[u] - h) / sum;
        bool passes = true;
        for (std::size_t i = p + 1; i < u; ++i) {
            float d = 0.0f;
            for (std::size_t j = p; j < i; ++j) d += links[j].length;
            if (h + s * d > top[i] || h + s * d < bottom[i]) {
                passes = false;
                break;
            }
        }
        if (!passes) {
            --u;
            continue;
        }
        for (std::size_t j = p; j < u; ++j) slopes[j] = s;
        if (u == n - 1) return slopes;
        p = u;
        u = n - 1;
        h = top[p];
    }
}

TEST(BalancedHgl, SegmentsMatchFreshSumsOnRandomProfiles)
{
    std::mt19937 random(1210);
    std::uniform_real_distribution<float> ground_step(-3.0f, 6.0f);
    std::uniform_real_distribution<float> length(12.5f, 480.0f);
    std::uniform_real_distribution<float> flow(0.05f, 400.0f);
    for (int trial = 0; trial < 500; ++trial) {
        const std::size_t nodes = 2 + random() % 40;
        std::vector<float> ground{100.0f};
        for (std::size_t k = 1; k < nodes; ++k) ground.push_back(ground.back() + ground_step(random));
        StringProfile p;
        p.ground = ground;
        for (std::size_t j = 0; j + 1 < nodes; ++j) p.links.push_back({0.0f, 0.0f, length(random), flow(random)});
        const float control = 90.0f + static_cast<float>(random() % 15);
        const FittedHgl fit = fit_balanced_hgl(p, control, ControlParameters{});
        EXPECT_EQ(fit.friction_slope, slopes_by_fresh_sums(fit.top_envelope, fit.bottom_envelope, p.links, fit.control))
            << "profile " << trial;
        // Every segment ends on the top envelope, the last at the top node.
        EXPECT_EQ(fit.hgl.size(), nodes);
        EXPECT_NEAR(fit.hgl.back(), fit.top_envelope.back(), 0.01f) << "profile " << trial;
    }
}

}  // namespace
}  // namespace velm
