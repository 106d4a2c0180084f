#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "review/link_value_reviews.h"
#include "review/review_test_fixture.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::LinkReviewTest;

const std::vector<std::string> PIPE = {"10102", "10103"};

using test::operator+;

// Up to three times the computed capacity rounded to a whole cfs, and never
// more than the data base column holds.
TEST_F(LinkReviewTest, CapacityRangeFromTheComputedCapacity)
{
    struct Case {
        float computed;
        std::string range;
        std::string refused;   // just above the range
        std::string accepted;  // the top of the range
    };
    const std::vector<Case> cases = {
        {33.33f, ":ALLOWABLE VALUES ARE [    0.00] and [  100.00]", "100.01", "100"},
        {33.16f, ":ALLOWABLE VALUES ARE [    0.00] and [   99.00]", "99.5", "99"},
        {40000.0f, ":ALLOWABLE VALUES ARE [    0.00] and [99999.00]", "99999.5", "99999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.computed);
        window_ = test::ScriptedWindow();
        test::StudyBuilder study = test::review_study();
        study.link(10102.0f, 10103.0f).computed_capacity() = c.computed;
        study.write(fs::current_path());
        review(ReviewTarget::CapacityReview, PIPE + std::vector<std::string>{"2", c.refused, c.accepted, "E"});
        expect_text(2, 6, 16, c.range);
        expect_text(4, 1, 21, "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
        study.link(10102.0f, 10103.0f).user_capacity() = std::stof(c.accepted);
        test::expect_study_files(study);
        fs::remove_all("expected");
    }
}

TEST_F(LinkReviewTest, CapacityScreens)
{
    test::StudyBuilder study = test::review_study();
    study.link(10102.0f, 10103.0f).user_capacity() = 0.0f;  // an override like any other
    study.write(fs::current_path());
    // Remove the override, then review the link again and keep the computed value.
    review(ReviewTarget::CapacityReview,
           PIPE + std::vector<std::string>{"3"} + PIPE + std::vector<std::string>{"1", "E"});
    expect_text(2, 5, 2, "There already exists a USER-RECOMMENDED value for");
    expect_text(2, 6, 3, "LINK [ 10102.0 -  10103.0].");
    expect_text(2, 6, 5, "Select YOUR Option NUMBER.......................... ===>");
    expect_text(2, 8, 8, "3= REMOVE the USER-RECOMMENDED Specification/over-ride,");
    expect_text(2, 5, 11, " Computer Recommended Capacity (cfs)................ ===>[   33.33]");
    expect_text(2, 6, 13, "CURRENT User-Recommended Capacity (cfs)............ ===>    0.00");
    expect_text(2, 6, 15, "NEW User-Recommended Capacity (cfs)................ ===>");
    EXPECT_EQ(window_.read_positions()[2], std::make_pair(62, 5));

    expect_text(5, 5, 2, "YOU have the OPTION to over-ride the COMPUTER-ESTIMATED");
    expect_text(5, 6, 3, "value for this particular LINK [ 10102.0 -  10103.0].");
    expect_text(5, 6, 6, "specifiation/over-ride.");
    expect_text(5, 8, 11, "2= SPECIFY USER-RECOMMENDED value for all further analysis");
    expect_text(5, 5, 13, " Computer Recommended Capacity (cfs)................ ===>[   33.33]");
    expect_text(5, 6, 15, "User-Recommended Capacity (cfs).................... ===>");
    expect_text(5, 5, 23, "TYPE: EXIT to Main Menu     ; TOP  to go to top of page");
    EXPECT_EQ(window_.read_positions()[5], std::make_pair(62, 8));

    study.link(10102.0f, 10103.0f).user_capacity() = NO_USER_CAPACITY;
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, CapacityTopShowsTheScreenAgainAndExitLeavesTheRun)
{
    const test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    review(ReviewTarget::CapacityReview, PIPE + std::vector<std::string>{"2", "TOP", "2", "EXIT"});
    EXPECT_EQ(window_.read_positions()[3], std::make_pair(62, 15));
    EXPECT_EQ(window_.read_positions()[4], std::make_pair(62, 8)) << "the option is chosen anew";
    EXPECT_EQ(window_.clears(), 3);
    test::expect_study_files(study);
}

// A link without an element is reviewed when it carries a capacity (a
// street alone); without either there is nothing to review.
TEST_F(LinkReviewTest, CapacityOfALinkWithoutElement)
{
    test::StudyBuilder study = test::review_study();
    study.link(10101.0f, 10102.0f).computed_capacity() = 0.0f;
    study.write(fs::current_path());
    review(ReviewTarget::CapacityReview, {"10101", "10102", "", "E"});
    expect_text(2, 5, 15, "There is NO EXISTING SYSTEM ELEMENT defined!");

    study.link(10101.0f, 10102.0f).computed_capacity() = 4.5f;
    study.write(fs::current_path());
    review(ReviewTarget::CapacityReview, {"10101", "10102", "2", "13.5", "E"});
    study.link(10101.0f, 10102.0f).user_capacity() = 13.5f;
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, FrictionSlopeScreensAndRange)
{
    test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    review(ReviewTarget::FrictionSlopeReview,
           PIPE + std::vector<std::string>{"2", "0.05", "0.0400"} + PIPE + std::vector<std::string>{"3", "E"});
    expect_text(2, 5, 13, " Computer Recommended Link Friction Slope........... ===>[  0.0040]");
    expect_text(2, 6, 15, "User-Recommended Link Friction Slope............... ===>");
    expect_text(2, 6, 16, ":ALLOWABLE VALUES ARE [  0.0001] and [  0.0400]");
    expect_text(4, 1, 21, "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
    expect_text(7, 5, 11, " Computer Recommended Link Friction Slope........... ===>[  0.0040]");
    expect_text(7, 6, 13, "CURRENT User-Recommended Link Friction Slope....... ===>  0.0400");
    expect_text(7, 6, 15, "NEW User-Recommended Link Friction Slope........... ===>");
    test::expect_study_files(study);
}

// The screen with an override shows the slope its range derives from
// (column 64, not the balanced HGL's column 63, which the deficiency pass
// leaves behind), and the range never goes beyond what column 65 holds.
TEST_F(LinkReviewTest, FrictionSlopeOverrideScreenShowsTheComputedSlope)
{
    struct Case {
        float balanced;  // column 63
        float computed;  // column 64
        std::string shown;
        std::string range;
        std::string accepted;  // the top of the range
    };
    const std::vector<Case> cases = {
        {0.003f, 0.006f, "[  0.0060]", ":ALLOWABLE VALUES ARE [  0.0001] and [  0.0600]", "0.06"},
        {0.003f, 150.0f, "[150.0000]", ":ALLOWABLE VALUES ARE [  0.0001] and [999.9999]", "999.9999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.computed);
        window_ = test::ScriptedWindow();
        test::StudyBuilder study = test::review_study();
        LinkRecord& pipe = study.link(10102.0f, 10103.0f);
        pipe.column(63) = c.balanced;
        pipe.computed_friction_slope() = c.computed;
        pipe.user_friction_slope() = 0.01f;
        study.write(fs::current_path());
        review(ReviewTarget::FrictionSlopeReview, PIPE + std::vector<std::string>{"2", c.accepted, "E"});
        expect_text(2, 5, 11, " Computer Recommended Link Friction Slope........... ===>" + c.shown);
        expect_text(2, 6, 16, c.range);
        pipe.user_friction_slope() = std::stof(c.accepted);
        test::expect_study_files(study);
        fs::remove_all("expected");
    }
}

// Column 63 stands in for an empty column 64, which reaches the data base
// only with an adopted slope.
TEST_F(LinkReviewTest, FrictionSlopeFromTheBalancedHglColumn)
{
    test::StudyBuilder study = test::review_study();
    LinkRecord& pipe = study.link(10102.0f, 10103.0f);
    pipe.computed_friction_slope() = 0.0f;
    pipe.column(63) = 0.0035f;
    pipe.user_friction_slope() = -0.002f;  // not an override
    study.write(fs::current_path());
    review(ReviewTarget::FrictionSlopeReview, PIPE + std::vector<std::string>{"1", "E"});
    expect_text(2, 5, 13, " Computer Recommended Link Friction Slope........... ===>[  0.0035]");
    test::expect_study_files(study);  // option 1 wrote nothing

    review(ReviewTarget::FrictionSlopeReview, PIPE + std::vector<std::string>{"2", "0.005", "E"});
    pipe.computed_friction_slope() = 0.0035f;
    pipe.user_friction_slope() = 0.005f;
    fs::remove_all("expected");
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, FrictionSlopeMissing)
{
    const test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    review(ReviewTarget::FrictionSlopeReview, {"10201", "10202", "", "E"});
    expect_text(2, 5, 15, "There is NO COMPUTER RECOMMENDED Link Friction Slope.");
    expect_text(2, 6, 16, "There is Nothing to change!");
    test::expect_study_files(study);
}

}  // namespace
}  // namespace velm
