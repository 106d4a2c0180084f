#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "records/link_data_base.h"
#include "review/link_value_reviews.h"
#include "review/review_test_fixture.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::LinkReviewTest;

const std::vector<std::string> PIPE = {"10102", "10103"};
const std::vector<std::string> SEAM = {"10103", "10201"};

using test::operator+;

std::vector<TelescopedStringRecord>& string_records(test::StudyBuilder& study, std::size_t string)
{
    return const_cast<std::vector<TelescopedStringRecord>&>(study.strings()[string]);
}

// Column 100 is read by its magnitude on the screen; the review stores 1.0
// for INCLUDE and 0.0 for EXCLUDE (-0.00 where the value was negative), so a
// negative value, which the analysis reads as "not included", never hides
// the engineer's choice.
TEST_F(LinkReviewTest, CostOpinionStatusCases)
{
    struct Case {
        float stored;
        char shown;
        std::string choice;
        bool changes;
        float written;
        float string_value_29;
    };
    const std::vector<Case> cases = {
        {0.0f, '2', "2", false, 0.0f, 1.0f}, {0.0f, '2', "1", true, 1.0f, 1.0f},  {-1.0f, '1', "2", true, -0.0f, -1.0f},
        {-1.0f, '1', "1", true, 1.0f, 1.0f}, {2.0f, '2', "2", true, 0.0f, -1.0f}, {1.0f, '1', "1", false, 1.0f, 1.0f},
        {1.0f, '1', "2", true, 0.0f, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stored) + " " + c.choice);
        window_ = test::ScriptedWindow();
        test::StudyBuilder study = test::review_study();
        study.link(10102.0f, 10103.0f).cost_opinion_status() = c.stored;
        study.write(fs::current_path());
        review(ReviewTarget::CostOpinionReview,
               PIPE + std::vector<std::string>{c.choice, "E"} + std::vector<std::string>(c.changes ? 1 : 0, ""));
        expect_text(2, 6, 11, std::string("CURRENT Cost Opinion STATUS........................ ===>[") + c.shown + "]");
        study.link(10102.0f, 10103.0f).cost_opinion_status() = c.written;
        string_records(study, 0)[1].telescoped_shape = c.string_value_29;
        test::expect_study_files(study);
        // The sign of an excluded value reaches the file ("-0.00").
        for (const LinkRecord& link : read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist))
            if (link.upstream_node() == 10102.0f && link.downstream_node() == 10103.0f) {
                EXPECT_EQ(std::signbit(link.cost_opinion_status()), std::signbit(c.written));
            }
        fs::remove_all("expected");
    }
}

TEST_F(LinkReviewTest, CostOpinionScreenAndBackAndForthInOneRun)
{
    test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    review(ReviewTarget::CostOpinionReview,
           PIPE + std::vector<std::string>{"2"} + PIPE + std::vector<std::string>{"TOP", "1", "E", ""});
    expect_text(2, 5, 2, "The PROGRAM automatically Includes each Computer-Estimated");
    expect_text(2, 6, 7, "Hydrology Model data file (Step #1 of Sluvex) to make any");
    expect_text(2, 6, 10, "ID LINK [ 10102.0 -  10103.0].");
    expect_text(2, 6, 12, "NEW Cost Opinion STATUS............................ ===>");
    expect_text(2, 6, 14, " 2 = Do NOT include in Cost Opinion and CBI analysis)");
    expect_text(5, 6, 11, "CURRENT Cost Opinion STATUS........................ ===>[2]");
    // One entry, holding the last choice: the string record stays positive.
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, ElementSizeAdoptedAsReplacement)
{
    test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    // A pipe: the side slope is not asked.
    review(ReviewTarget::SizeReview, PIPE + std::vector<std::string>{"", "2", "1", "1", "2.75", "2", "0.012", "E", ""});
    expect_text(2, 5, 2, "YOU have the OPTION to over-ride the COMPUTER-ESTIMATED");
    expect_text(2, 6, 4, "LINK [ 10102.0 -  10103.0].  YOUR USER-RECOMMENDED attributes");
    expect_text(2, 41, 10, "+=====================+===========+");
    expect_text(2, 5, 13, "ID: 1=Pipe; 2=Box; 3=Channel........| [   1  ]   [   1  ] |  [   0  ] |");
    expect_text(2, 5, 14, "Diameter/Height (ft)................| [  2.50]   [  1.50] |  [  0.00] |");
    expect_text(2, 5, 17, "Friction Factor.....................| [0.0130]   [0.0130] |  [ 0.000] |");
    expect_text(2, 5, 18, "Status:1=Replacement;2=Parallel     |        [  1  ]      |  [   0  ] |");
    expect_text(3, 5, 14, " Select YOUR Option NUMBER.......................... ===>");
    expect_text(3, 5, 17, "2= SPECIFY USER-RECOMMENDED attributes for all further analysis");
    expect_text(4, 5, 14, " Select Element STATUS to use....................... ===>");
    expect_text(4, 6, 15, "(Note: 1=Replacement;2=Parallel)");
    expect_text(5, 5, 12, "Enter USER-RECOMMENDED attributes for LINK ID  10102.0 -  10103.0:");
    expect_text(5, 5, 15, "ID: 1=Pipe; 2=Box; 3=Channel.......[   1  ]    [   1  ]|");
    expect_text(5, 5, 20, "Status:1=Replacement;2=Parallel ..........[  1  ]      | [1]");
    expect_text(5, 33, 24, "; BACK to go back one page");
    expect_text(8, 61, 18, "[0]");

    test::adopt_user_element(study, 10102.0f, 10103.0f, {1.0f, 1, 2.75f, 2.0f, 0.0f, 0.012f});
    test::expect_study_files(study);
}

// A parallel element carries the computer's replacement element into the
// string's parallel values 37 to 41; a channel is asked its side slope,
// which the data base keeps up to 99.99.
TEST_F(LinkReviewTest, ElementSizeAdoptedAsParallelChannel)
{
    test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    review(ReviewTarget::SizeReview,
           PIPE + std::vector<std::string>{"", "2", "2", "3", "4", "6", "100", "99.99", "0.03", "E", ""});
    expect_text(9, 1, 21, "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");

    test::adopt_user_element(study, 10102.0f, 10103.0f, {2.0f, 3, 4.0f, 6.0f, 99.99f, 0.03f});
    TelescopedStringRecord& record = string_records(study, 0)[1];
    record.parallel_shape = 1.0f;
    record.parallel_size = 2.5f;
    record.parallel_width = 1.0f;
    record.parallel_side_slope = 0.0f;
    record.parallel_friction_factor = 0.013f;
    test::expect_study_files(study);
}

// BACK returns to the option screen; changing and then removing the user
// element in one run leaves the link as the computer recommends it.
TEST_F(LinkReviewTest, ElementSizeBackChangeAndRemove)
{
    const test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    review(ReviewTarget::SizeReview,
           PIPE + std::vector<std::string>{"", "2", "2", "2", "3", "B", "1"} +          // back, keep
               PIPE + std::vector<std::string>{"", "2", "2", "2", "3", "4", "0.015"} +  // a parallel box
               PIPE + std::vector<std::string>{"", "3", "E", ""});                      // removed again
    expect_text(8, 5, 14, " Select YOUR Option NUMBER.......................... ===>");
    expect_text(8, 5, 17, "2= SPECIFY USER-RECOMMENDED attributes for all further analysis");
    expect_text(21, 5, 6, "ID: 1=Pipe; 2=Box; 3=Channel........| [   1  ]   [   1  ] |  [   2  ] |");
    expect_text(21, 5, 18, "and Use COMPUTER-RECOMMENDED attributes in all further analysis.");
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, ElementSizeWithoutAnyElement)
{
    test::StudyBuilder study = test::review_study();
    study.link(10201.0f, 10202.0f).user_element_type() = 2;  // the user's element only
    study.write(fs::current_path());
    review(ReviewTarget::SizeReview, {"10101", "10102", "", "10201", "10202", "", "1", "E"});
    expect_text(2, 5, 15, "There is NO COMPUTER RECOMMENDED ELEMENT for this Link.");
    expect_text(2, 6, 16, "There is Nothing available to change!");
    expect_text(5, 5, 13, "ID: 1=Pipe; 2=Box; 3=Channel........| [   0  ]   [   1  ] |  [   2  ] |");
    expect_text(6, 5, 17, "3= REMOVE the USER-RECOMMENDED Specification/over-ride,");
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, ElementTypeFirstDesignationOfAPipe)
{
    test::StudyBuilder study = test::review_study();
    study.link(10101.0f, 10102.0f).recommended_element_type() = 1.0f;
    study.write(fs::current_path());
    review(ReviewTarget::ElementTypeReview, {"10101", "10102", "2", "1", "0.013", "E"});
    expect_text(2, 5, 2, "YOU have the OPTION to over-ride the COMPUTER-RECOMMENDED");
    expect_text(2, 6, 3, "values for this particular LINK [ 10101.0 -  10102.0].");
    expect_text(2, 6, 8, "Select YOUR Option NUMBER.......................... ===>");
    expect_text(2, 5, 12, "Enter USER-RECOMMENDED values for LINK ID  10101.0 -  10102.0");
    expect_text(2, 50, 13, "Current    User-Specified");
    // No existing element: the current type shows as a pipe.
    expect_text(2, 5, 15, "Element TYPE: 1=Pipe;2=Box;3=Channel.......[   1  ]");
    expect_text(4, 5, 16, "Enter Manning's Friction Factor..................... ===>");

    LinkRecord& link = study.link(10101.0f, 10102.0f);
    link.designated_element_type() = 1.0f;
    link.designated_friction_hundredths() = 1.3f;
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, ElementTypeChannelDesignationChangedToAPipe)
{
    test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    review(ReviewTarget::ElementTypeReview,
           SEAM +
               std::vector<std::string>{"2", "3", "0.025", "2.5", "2", "12", "2", "TOP",  // fraction refused, then TOP
                                        "2", "3", "0.025", "3", "101", "20", "1.5", "0.5"} +
               SEAM + std::vector<std::string>{"2", "1", "0.012", "E"});
    expect_text(6, 1, 21, "*****VALUE ENTERED CONTAINS NON-NUMERIC CHARACTERS.");
    expect_text(9, 5, 19, "Enter FLOW-DEPTH (feet)............................. ===>");
    expect_text(9, 5, 20, "Enter Channel Side Slope (Horiz./Vertical),Z........ ===>");
    expect_text(10, 5, 2, "YOU have the OPTION to over-ride the COMPUTER-RECOMMENDED");  // TOP: the type screen
    expect_text(15, 1, 21, "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
    expect_text(15, 5, 19, "Enter WIDTH/(FLOW-DEPTH) RATIO...................... ===>");
    expect_text(17, 6, 18, "1 = FLOW-DEPTH, 2 = WIDTH, 3 = Ratio of WIDTH/(FLOW-DEPTH)");
    // The second review shows the stored designation.
    expect_text(20, 5, 5, " Select YOUR Option NUMBER.......................... ===>");
    expect_text(20, 5, 15, "Element TYPE:1=Pipe;2=Box;3=Channel...........[   3  ] =>");
    expect_text(22, 51, 16, "[0.0250]==>");

    LinkRecord& seam = study.link(10103.0f, 10201.0f);
    seam.designated_element_type() = 1.0f;
    seam.designated_friction_hundredths() = 0.012f * 100.0f;
    seam.designated_sizing_dimension() = 3.0f;
    seam.designated_dimension_value() = 20.0f;
    seam.designated_side_slope() = 1.5f;
    seam.designated_freeboard() = 0.5f;
    test::expect_study_files(study);
}

// A designation of no known type is none: the screen offers a first
// designation, and the rewrite of the data base clears it.
TEST_F(LinkReviewTest, ElementTypeUnknownDesignationChangeAndRemoval)
{
    test::StudyBuilder study = test::review_study();
    LinkRecord& initial = study.link(10101.0f, 10102.0f);
    initial.recommended_element_type() = 1.0f;
    initial.designated_element_type() = 5.0f;
    initial.designated_freeboard() = 2.0f;
    LinkRecord& pipe = study.link(10102.0f, 10103.0f);
    pipe.designated_element_type() = 2.0f;
    pipe.designated_friction_hundredths() = 1.5f;
    pipe.designated_sizing_dimension() = 1.0f;
    pipe.designated_dimension_value() = 6.0f;
    study.write(fs::current_path());
    review(ReviewTarget::ElementTypeReview,
           {"10101", "10102", "1", "10102", "10103", "2", "2", "0.015", "1", "11", "10", "10102", "10103", "3", "E"});
    expect_text(2, 6, 8, "Select YOUR Option NUMBER.......................... ===>");
    expect_text(9, 5, 19, "Enter WIDTH (feet)");
    expect_text(9, 51, 19, "[  6.00]==>");
    expect_text(10, 1, 21, "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
    expect_text(13, 5, 8, "3= REMOVE the USER-RECOMMENDED Specification/over-ride,");

    initial.designated_element_type() = 0.0f;
    initial.designated_freeboard() = 0.0f;
    for (int c = 141; c <= 146; ++c) pipe.column(c) = 0.0f;
    test::expect_study_files(study);
}

}  // namespace
}  // namespace velm
