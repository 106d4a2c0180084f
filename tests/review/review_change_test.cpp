// A size or cost-opinion review's changes and the string refresh they cause
// are one change: stopped or killed at any step, and the program started
// again, the link data bases and the string files are all as before or all
// as after; a change that would reach a file that cannot be written is
// refused in the window and changes nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "review/link_review.h"
#include "review/review_study.h"
#include "support/change_steps.h"
#include "support/scripted_window.h"
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

// A change refused on a file it had to read is headed as a read, one
// refused on a file it cannot write as a write; both name the file.  The
// string files are read when a change is adopted and again by the refresh
// at the end of the run.
TEST_F(ReviewChangeTest, ARefusalIsHeadedAsAReadOrAsAWrite)
{
    const std::string read_heading = " * A FILE OF THIS CHANGE CANNOT BE READ; NOTHING WAS CHANGED:";
    const std::string write_heading = " * A FILE OF THIS CHANGE CANNOT BE WRITTEN; NOTHING WAS CHANGED:";
    // A "/" in place of the first digit of the file's first value.
    const auto slash_in = [](const char* name) {
        return [name] {
            std::string bytes = test::TemporaryDirectory::get(name);
            bytes[bytes.find_first_of("0123456789")] = '/';
            test::TemporaryDirectory::put(name, bytes);
        };
    };
    struct Case {
        const char* name;
        std::function<void()> spoil;
        std::vector<std::string> typed;
        std::string heading;
        std::string named;  // the file the refusal names
    };
    const std::vector<Case> cases = {
        {"a read-only string file",
         [] { chmod("AB0001ZZ.ZST", 0444); },
         {"10102", "10103", "2", "", "E"},
         write_heading,
         "AB0001ZZ.ZST"},
        {"a slash in a string file",
         slash_in("AB0001ZZ.ZST"),
         {"10102", "10103", "2", "", "E"},
         read_heading,
         "AB0001ZZ.ZST"},
        {"a slash in the string index",
         slash_in("ABINDXZZ.ZST"),
         {"10102", "10103", "2", "", "E"},
         read_heading,
         "ABINDXZZ.ZST"},
        {"a string file missing at the refresh",
         [] { fs::remove("AB0001ZZ.ZST"); },
         {"10102", "10103", "2", "E", ""},
         read_heading,
         "AB0001ZZ.ZST"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        write_review_study();
        c.spoil();
        const Files before = test::study_files();
        review(c.typed);
        EXPECT_EQ(window_.lines_left(), 0u) << window_.dump();
        EXPECT_EQ(test::study_files(), before);
        // The refusal's screen: the heading at column 1 of row 15, the file
        // named below it.
        std::string refusal;
        for (const std::string& screen : window_.reads())
            if (test::snapshot_text(screen, 1, 15, 18) == " * A FILE OF THIS ") refusal = screen;
        ASSERT_FALSE(refusal.empty()) << window_.dump();
        EXPECT_EQ(test::snapshot_text(refusal, 1, 15, c.heading.size() + 1), c.heading + " ") << refusal;
        EXPECT_NE(test::snapshot_row(refusal, 16).find(c.named), std::string::npos) << refusal;
    }
}

}  // namespace
}  // namespace velm
