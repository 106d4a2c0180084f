// A size or cost-opinion review's changes and the string refresh they cause
// are one change: stopped or killed at any step, and the program started
// again, the link data bases and the string files are all as before or all
// as after; a change that would reach a file that cannot be written is
// refused in the window and changes nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "review/link_review.h"
#include "review/review_study.h"
#include "support/change_steps.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

// Two links of two maps and two strings: both data bases and both string
// files change.
const std::vector<std::string> TWO_COST_OPINIONS = {"10102", "10103", "2", "10201", "10202", "1", "E", ""};

// The review study with a recommended element on the box, left out of the
// cost opinion, so that adopting it changes the second data base and string.
void write_review_study()
{
    test::StudyBuilder study = test::review_study();
    study.link(10201.0f, 10202.0f).replacement_element_height() = 4.0f;
    auto& string_2 = const_cast<std::vector<TelescopedStringRecord>&>(study.strings()[1]);
    string_2[0].telescoped_shape = -2.0f;  // left out of the cost opinion
    study.write(fs::current_path());
}

class ReviewChangeTest : public test::SessionTest {
protected:
    // A test that fails on its way leaves no stop for the next.
    void TearDown() override { stop_change_at_step(0); }
    // One cost-opinion review run with the typed lines, until it ends, stops
    // or the lines run out.
    // Whether some screen of the run showed the text.
    void review(const std::vector<std::string>& typed)
    {
        window_ = test::ScriptedWindow();
        window_.type(typed);
        try {
            review_and_adopt_link_values(session_, "AB", ReviewTarget::CostOpinionReview, 3);
        } catch (const ProgramStop&) {
        } catch (const test::ScriptExhausted&) {
        }
    }
};

TEST_F(ReviewChangeTest, AReviewStoppedOrKilledAtAnyStepIsAllOldOrAllNewAtTheNextStart)
{
    write_review_study();
    const Files before = test::study_files();
    review(TWO_COST_OPINIONS);
    const Files after = test::study_files();
    for (const char* name : {"AB0101ZZ.ZLL", "AB0102ZZ.ZLL", "AB0001ZZ.ZST", "AB0002ZZ.ZST"})
        ASSERT_NE(after.at(name), before.at(name)) << name;
    test::restore_study_files(before);

    // Past the commit point the next start must finish the change, before it
    // nothing of the change may be left.
    test::walk_change_steps(
        100, [&] { review(TWO_COST_OPINIONS); }, [] { recover_interrupted_changes({"."}); },
        [&](const test::ChangeStepTurn& turn) {
            const Files now = test::study_files();
            if (turn.as_after()) {
                EXPECT_EQ(now, after) << "the change is not all there";
            } else {
                EXPECT_EQ(now, before) << "the change is not all undone";
            }
            test::restore_study_files(before);
        });
}

// A read-only string file refuses the change that would reach it; a
// read-only second data base refuses the second change, and the first goes
// in with its string refresh.  The refusal is in the window, naming the file,
// at once: at the review whose change reaches the file, not at the end of
// the run after every later review was typed, and the run's other changes
// go in.
TEST_F(ReviewChangeTest, AChangeReachingAReadOnlyFileIsRefusedInTheWindow)
{
    struct Case {
        const char* read_only;
        std::vector<std::string> typed;
        std::vector<std::string> same_as;  // the run whose files it leaves
        std::size_t refused_at;            // the read of the refusal's RETURN
    };
    const std::vector<Case> cases = {
        {"AB0001ZZ.ZST", {"10102", "10103", "2", "", "E"}, {"E"}, 3},
        {"AB0001ZZ.ZST",
         {"10102", "10103", "2", "", "10201", "10202", "1", "E", ""},
         {"10201", "10202", "1", "E", ""},
         3},
        {"AB0102ZZ.ZLL",
         {"10102", "10103", "2", "10201", "10202", "1", "", "E", ""},
         {"10102", "10103", "2", "E", ""},
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.read_only);
        Files expected;
        {
            test::TemporaryDirectory directory;
            write_review_study();
            review(c.same_as);
            expected = test::file_contents();
        }
        test::TemporaryDirectory directory;
        write_review_study();
        chmod(c.read_only, 0444);
        review(c.typed);
        EXPECT_EQ(window_.lines_left(), 0u) << window_.dump();
        EXPECT_EQ(test::file_contents(), expected);
        EXPECT_TRUE(window_.has_shown("NOTHING WAS CHANGED")) << window_.dump();
        EXPECT_TRUE(window_.has_shown("'" + std::string(c.read_only) + "'")) << window_.dump();
        ASSERT_GT(window_.reads().size(), c.refused_at) << window_.dump();
        const std::string& refusal = window_.reads()[c.refused_at];
        EXPECT_NE(refusal.find("NOTHING WAS CHANGED"), std::string::npos) << window_.dump();
        EXPECT_NE(refusal.find("'" + std::string(c.read_only) + "'"), std::string::npos) << window_.dump();
        EXPECT_FALSE(test::has_hidden_file());
    }
}

}  // namespace
}  // namespace velm
