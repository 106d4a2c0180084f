#include "review/link_review.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "records/string_files.h"
#include "review/review_test_fixture.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::LinkReviewTest;

TEST_F(LinkReviewTest, ExitAtTheLinkPromptTouchesNothing)
{
    const test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    std::size_t read = 0;
    for (ReviewTarget target : {ReviewTarget::SizeReview, ReviewTarget::CostOpinionReview}) {
        review(target, {"EXIT"});
        expect_text(read++, 5, 2, review_caption(target));
    }
    EXPECT_EQ(window_.reads().size(), 2u) << "no string update page";
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, LinkPromptScreen)
{
    test::review_study().write(fs::current_path());
    review(ReviewTarget::CapacityReview, {"TOP", "10102", "T", "9999", "E"});
    expect_text(0, 5, 2, "* REVIEW/ADOPT LINK Specified PRIMARY Element  Flow Capacity  Estimates *");
    expect_text(0, 6, 4, "Enter Upstream NODE NUMBER......................... ===>");
    expect_text(0, 6, 5, ":ALLOWABLE VALUE BETWEEN [10000.0] and [999999.9]");
    expect_text(0, 6, 7, "Enter Downstream NODE NUMBER....................... ===>");
    expect_text(0, 5, 23, "TYPE: EXIT to Main Menu    ");
    EXPECT_EQ(window_.read_positions()[0], std::make_pair(62, 4));
    EXPECT_EQ(window_.read_positions()[2], std::make_pair(62, 7)) << "TOP at the downstream node starts again";
    EXPECT_EQ(window_.read_positions()[3], std::make_pair(62, 4));
    expect_text(4, 1, 21, "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.");
}

TEST_F(LinkReviewTest, MissingLinksAndDataBases)
{
    test::StudyBuilder study = test::review_study();
    study.omit_file("AB0101ZZ.ZLL");
    study.write(fs::current_path());
    review(ReviewTarget::CapacityReview,
           {"10201", "10202.5", "", "10201", "10301", "", "10103", "10201", "1", "10101", "10102", "", "E"});
    // Both nodes in map 102: one search, then the message.
    expect_text(2, 1, 15, " * LINK  10201.0 -  10202.5 DOES NOT EXIST");
    EXPECT_EQ(window_.beeps(), 3);
    expect_text(5, 1, 15, " * DATA FILE [AB0103ZZ.ZLL] DOES NOT EXIST");
    // A link of map 102 is found although map 101's data base is missing;
    // a link of map 101 is not.
    expect_text(8, 6, 3, "value for this particular LINK [");
    expect_text(11, 1, 15, " * DATA FILE [AB0101ZZ.ZLL] DOES NOT EXIST");
    test::expect_study_files(study);
}

// A link kept in the data base of its upstream node's map is found by the
// second search; in a study of model type 9 two maps of one region share
// their data base, which is searched once.
TEST_F(LinkReviewTest, SecondSearchInTheUpstreamMap)
{
    test::StudyBuilder study = test::review_study();
    study.write(fs::current_path());
    // Move the seam link into map 101's data base.
    std::string map_101 = test::TemporaryDirectory::get("AB0101ZZ.ZLL");
    std::string map_102 = test::TemporaryDirectory::get("AB0102ZZ.ZLL");
    const std::size_t seam_end = map_102.find("\r\n") + 2;
    map_101 += map_102.substr(0, seam_end);
    test::TemporaryDirectory::put("AB0101ZZ.ZLL", map_101);
    test::TemporaryDirectory::put("AB0102ZZ.ZLL", map_102.substr(seam_end));

    review(ReviewTarget::CapacityReview, {"10103", "10201", "2", "60", "E"});
    LinkRecord seam = study.link(10103.0f, 10201.0f);
    seam.user_capacity() = 60.0f;
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZLL"),
              map_101.substr(0, map_101.size() - (seam_end)) + link_record_line(seam) + "\r\n");
    EXPECT_EQ(test::TemporaryDirectory::get("AB0102ZZ.ZLL"), map_102.substr(seam_end));
}

// The times a file is opened while `run` runs, as the system tells them to
// a watch on the file.  The watch hears the closes too: two opens in a row
// not yet read from the watch would be told as one.
int opens_of(const std::string& file, const std::function<void()>& run)
{
    const int watch_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(watch_fd, 0) << "no file watch";
    if (watch_fd < 0) return -1;
    EXPECT_GE(inotify_add_watch(watch_fd, file.c_str(), IN_OPEN | IN_CLOSE), 0) << file;
    run();
    int opens = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = read(watch_fd, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if ((event->mask & IN_OPEN) != 0) ++opens;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    close(watch_fd);
    return opens;
}

// In a study of model type 9 the links of both nodes' maps are in the
// region's one data base: each link asked for is searched for in it once,
// and a link that is not there is not searched for again as a link of the
// upstream node's map.
TEST_F(LinkReviewTest, RegionDataBaseIsSearchedOnce)
{
    test::StudyBuilder study = test::review_study(9);
    study.write(fs::current_path());
    ASSERT_TRUE(fs::exists("AB0100ZZ.ZLL"));
    const int opens = opens_of("AB0100ZZ.ZLL", [&] {
        review(ReviewTarget::CapacityReview, {"10102", "10201", "", "10102", "10103", "2", "12.5", "E"}, 9);
    });
    EXPECT_EQ(opens, 2) << "two links asked for: the region's data base searched more than once for one";
    expect_text(2, 1, 15, " * LINK  10102.0 -  10201.0 DOES NOT EXIST");
    study.link(10102.0f, 10103.0f).user_capacity() = 12.5f;
    test::expect_study_files(study);
}

TEST_F(LinkReviewTest, TypeSixStudyFindsTheLinkAmongTheRegionsFiles)
{
    test::StudyBuilder study = test::review_study(6);
    study.write(fs::current_path());
    review(ReviewTarget::CapacityReview, {"10103", "10201", "2", "0", "10102", "10201", "", "E"}, 6);
    expect_text(6, 1, 15, " * LINK  10102.0 -  10201.0 DOES NOT EXIST");
    study.link(10103.0f, 10201.0f).user_capacity() = 0.0f;
    test::expect_study_files(study);
}

// Every record of a rewritten data base loses its working columns 153 to
// 188, and a designation of no known type; all else stays as read.  A
// second link of the same run is read from the rewritten file.
TEST_F(LinkReviewTest, RewriteClearsStaleColumnsOfEveryRecord)
{
    test::StudyBuilder study = test::review_study();
    LinkRecord& initial = study.link(10101.0f, 10102.0f);
    initial.designated_element_type() = 4.0f;
    initial.designated_friction_hundredths() = 1.3f;
    initial.designated_freeboard() = 2.0f;
    initial.column(153) = 7.0f;
    initial.column(188) = 8.0f;
    initial.column(69) = 1.25f;
    initial.column(71) = 2.5f;
    initial.computed_capacity() = 5.0f;  // a street's capacity: the link has no element
    LinkRecord& pipe = study.link(10102.0f, 10103.0f);
    pipe.designated_element_type() = 3.0f;
    pipe.designated_side_slope() = 2.0f;
    pipe.column(170) = 9.0f;
    study.write(fs::current_path());

    review(ReviewTarget::CapacityReview, {"10102", "10103", "2", "40", "10101", "10102", "2", "3", "E"});

    for (int c = 141; c <= 146; ++c) initial.column(c) = 0.0f;
    initial.column(153) = 0.0f;
    initial.column(188) = 0.0f;
    initial.user_capacity() = 3.0f;
    pipe.column(170) = 0.0f;
    pipe.user_capacity() = 40.0f;
    test::expect_study_files(study);
}

// The string files take the adopted values of the links changed in a run;
// the index is read only until every changed link has been met.
TEST_F(LinkReviewTest, StringRefreshStopsOnceEveryChangedLinkIsMet)
{
    test::StudyBuilder study = test::review_study();
    study.omit_file("AB0002ZZ.ZST");  // never read: both links lie in string 1
    study.write(fs::current_path());
    review(ReviewTarget::CostOpinionReview, {"10102", "10103", "2", "10103", "10201", "2", "E", ""});
    expect_text(7, 5, 5, " * UPDATE STRING DATA BASE *");
    expect_text(7, 1, 6, "     Update String File [AB0001ZZ.ZST]");
    EXPECT_EQ(test::snapshot_row(screen_at(7), 7), std::string(80, ' '));

    study.link(10102.0f, 10103.0f).cost_opinion_status() = 0.0f;
    study.link(10103.0f, 10201.0f).cost_opinion_status() = 0.0f;
    auto& string_1 = const_cast<std::vector<TelescopedStringRecord>&>(study.strings()[0]);
    string_1[1].telescoped_shape = -1.0f;
    string_1[2].telescoped_shape = -2.0f;
    test::expect_study_files(study);
}

// Strings numbered above 9999 have five-digit file names: the refresh shows
// the whole name, as it shows the four-digit ones.
TEST_F(LinkReviewTest, StringRefreshShowsFiveDigitStringFileNames)
{
    struct Case {
        int string_number;
        std::string file;
    };
    const Case cases[] = {{1, "AB0001ZZ.ZST"}, {9999, "AB9999ZZ.ZST"}, {15961, "AB15961ZZ.ZST"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        for (const auto& entry : fs::directory_iterator(fs::current_path())) fs::remove_all(entry.path());
        test::StudyBuilder study = test::review_study();
        study.write(fs::current_path());
        // String 1 renumbered: its index record and its file.
        StringIndexFile index = read_string_index_file("ABINDXZZ.ZST");
        index.records.at(0).string_number = c.string_number;
        write_string_index_file("ABINDXZZ.ZST", index);
        if (c.string_number != 1) fs::rename("AB0001ZZ.ZST", c.file);
        const std::size_t first_read = window_.reads().size();
        review(ReviewTarget::CostOpinionReview, {"10102", "10103", "2", "E", ""});
        EXPECT_EQ(test::snapshot_text(window_.reads().at(first_read + 4), 1, 6, 80),
                  "     Update String File [" + c.file + "]" + std::string(80 - 26 - c.file.size(), ' '));
    }
}

// A link that stands twice in one string file counts once: the walk goes on
// to the string of the other changed link.
TEST_F(LinkReviewTest, LinkMatchedTwiceDoesNotEndTheStringWalkEarly)
{
    test::StudyBuilder study = test::review_study();
    auto& string_1 = const_cast<std::vector<TelescopedStringRecord>&>(study.strings()[0]);
    string_1.insert(string_1.begin() + 2, string_1[1]);
    auto& string_2 = const_cast<std::vector<TelescopedStringRecord>&>(study.strings()[1]);
    string_2[0].telescoped_shape = -2.0f;  // left out of the cost opinion
    study.link(10201.0f, 10202.0f).replacement_element_height() = 4.0f;
    study.write(fs::current_path());

    review(ReviewTarget::CostOpinionReview, {"10102", "10103", "2", "10201", "10202", "1", "E", ""});
    expect_text(7, 1, 6, "     Update String File [AB0001ZZ.ZST]");
    expect_text(7, 1, 7, "     Update String File [AB0002ZZ.ZST]");

    study.link(10102.0f, 10103.0f).cost_opinion_status() = 0.0f;
    study.link(10201.0f, 10202.0f).cost_opinion_status() = 1.0f;
    string_1[1].telescoped_shape = -1.0f;
    string_1[2].telescoped_shape = -1.0f;
    string_2[0].telescoped_shape = 2.0f;
    test::expect_study_files(study);
}

// A study kept in a data directory: the data bases and string files are
// read and rewritten there.
TEST_F(LinkReviewTest, StudyInItsDataDirectory)
{
    test::StudyBuilder study = test::review_study();
    study.set_data_directory("DATA\\AB\\STUDY.TXT");
    study.write(fs::current_path());
    ASSERT_TRUE(fs::exists("DATA/AB/AB0101ZZ.ZLL"));
    review(ReviewTarget::CostOpinionReview, {"10102", "10103", "2", "E", ""});
    study.link(10102.0f, 10103.0f).cost_opinion_status() = 0.0f;
    const_cast<std::vector<TelescopedStringRecord>&>(study.strings()[0])[1].telescoped_shape = -1.0f;
    fs::create_directories("expected");
    study.write("expected");
    for (const char* name : {"AB0101ZZ.ZLL", "AB0001ZZ.ZST", "AB0002ZZ.ZST", "AB0102ZZ.ZLL"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(test::TemporaryDirectory::get(fs::path("DATA/AB") / name),
                  test::TemporaryDirectory::get(fs::path("expected/DATA/AB") / name));
    }
    EXPECT_EQ(test::file_contents("DATA/AB").size(), test::file_contents("expected/DATA/AB").size());
}

TEST(ChangedLinkTableTest, OneEntryPerLinkInOrderOfFirstChange)
{
    ChangedLinkTable table;
    table.entry_for(10102.0f, 10103.0f).adopted_values[0] = 2.0f;
    table.entry_for(10103.0f, 10201.0f).adopted_values[0] = 1.0f;
    table.entry_for(10102.0f, 10103.0f).adopted_values[0] = 1.0f;
    ASSERT_EQ(table.entries().size(), 2u);
    EXPECT_EQ(table.entries()[0].upstream_node, 10102.0f);
    EXPECT_EQ(table.entries()[0].adopted_values[0], 1.0f);
    EXPECT_EQ(table.find(10103.0f, 10201.0f), 1);
    EXPECT_EQ(table.find(10103.0f, 10202.0f), -1);
    EXPECT_EQ(table.find(-0.0f, 0.0f), -1);
}

}  // namespace
}  // namespace velm
