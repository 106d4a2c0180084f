// The outlet HGL controls: system outlets from sets E and F, the dialogue of
// their elevations as an engineer types them, and the processing levels.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/stop.h"
#include "records/format.h"
#include "strings/outlet_hgl_controls.h"
#include "support/scripted_window.h"

namespace velm {
namespace {

using test::ScriptedWindow;

TEST(SystemOutlets, SetENodesThatAreNoSeamEachOnce)
{
    struct Case {
        const char* name;
        std::vector<float> set_e, set_f, outlets;
    } cases[] = {
        {"seams dropped", {10.5f, 20.0f, 30.0f}, {20.0f, 99.0f}, {10.5f, 30.0f}},
        {"a node of several groups yields one control", {30.0f, 10.0f, 30.0f, 10.0f}, {}, {30.0f, 10.0f}},
        {"no outlet", {20.0f}, {20.0f}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(system_outlets(c.set_e, c.set_f), c.outlets) << c.name;
}

// The prompt's answer field and the rows of the dialogue.
constexpr int ANSWER_ROW = 8;

class OutletDialogueTest : public ::testing::Test {
protected:
    const std::vector<float> outlets_{101.0f, 202.5f, 303.0f};
    ScriptedWindow window_;

    std::vector<float> ask(const std::vector<std::string>& typed)
    {
        window_.type(typed);
        return ask_outlet_hgl_controls(window_, outlets_);
    }
    // The screen at the n-th read (0-based), row r.
    std::string row_at_read(std::size_t n, int r) const
    {
        std::string screen = window_.reads().at(n);
        std::size_t start = 0;
        for (int k = 1; k < r; ++k) start = screen.find('\n', start) + 1;
        return screen.substr(start, screen.find('\n', start) - start);
    }
};

TEST_F(OutletDialogueTest, EachOutletAskedInTurnWithTheAcceptedList)
{
    EXPECT_EQ(ask({"95.5", "-9999.9", "9999.9"}), (std::vector<float>{95.5f, -9999.9f, 9999.9f}));
    ASSERT_EQ(window_.reads().size(), 3u);
    EXPECT_EQ(row_at_read(0, 3), "    YOU also need to define HYDRAULIC CONTROLS for the");
    EXPECT_EQ(row_at_read(0, 6), "     There are [  3] system outlets identified.");
    EXPECT_EQ(row_at_read(0, 7), "    System [  1] of [  3]");
    EXPECT_EQ(row_at_read(0, ANSWER_ROW), "     Enter the HGL Control Elevation for NODE [   101.0]. ==>");
    EXPECT_EQ(row_at_read(0, 9), "     :ALLOWABLE VALUES BETWEEN [-9999.9] AND [9999.9]");
    EXPECT_EQ(row_at_read(0, 23).substr(4, 27), "TYPE: EXIT to leave program");
    EXPECT_EQ(window_.read_positions().at(0), (std::pair<int, int>{62, ANSWER_ROW}));
    // The third outlet is asked under the list of the first two.
    EXPECT_EQ(row_at_read(2, 7), "    System [  3] of [  3]");
    EXPECT_EQ(row_at_read(2, 11), "        Node No.      HGL");
    EXPECT_EQ(row_at_read(2, 12), "           101.0      95.50");
    // The list's F7.2 holds no -9999.90: the screen shows asterisks, the
    // value itself is kept.
    EXPECT_EQ(row_at_read(2, 13), "           202.5    *******");
    EXPECT_EQ(row_at_read(2, 24).substr(34), "BACK to go back one entry");
}

TEST_F(OutletDialogueTest, BackTakesTheLastEntryBackAndTopStartsOver)
{
    // 1 = 10, 2 = 20, BACK (outlet 2 again, entry 2 gone from the list),
    // 2 = 21, TOP (outlet 1 again), then 1, 2, 3.
    EXPECT_EQ(ask({"10", "20", "back", "21", "top", "1", "2", "3"}), (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(row_at_read(3, 7), "    System [  2] of [  3]");
    EXPECT_EQ(row_at_read(3, 12), "           101.0      10.00");
    EXPECT_EQ(row_at_read(3, 13), "");
    EXPECT_EQ(row_at_read(4, 13), "           202.5      21.00");
    EXPECT_EQ(row_at_read(5, 7), "    System [  1] of [  3]");
    EXPECT_EQ(row_at_read(5, 12), "");
}

TEST_F(OutletDialogueTest, BackAtTheFirstOutletStartsThePageOver)
{
    EXPECT_EQ(ask({"10", "back", "back", "4", "5", "6"}), (std::vector<float>{4.0f, 5.0f, 6.0f}));
    EXPECT_EQ(row_at_read(2, 7), "    System [  1] of [  3]");
    EXPECT_EQ(row_at_read(2, 12), "");
    EXPECT_EQ(row_at_read(3, 7), "    System [  1] of [  3]");
}

TEST_F(OutletDialogueTest, ExitClearsTheScreenAndEndsTheProgram)
{
    window_.type(std::vector<std::string>{"10", "exit"});
    EXPECT_THROW(ask_outlet_hgl_controls(window_, outlets_), ProgramStop);
    EXPECT_EQ(window_.row(7).find_first_not_of(' '), std::string::npos);
}

TEST_F(OutletDialogueTest, OutOfRangeAndBlankAnswersAreAskedAgain)
{
    EXPECT_EQ(ask({"10000", "", "abc", "7", "8", "9"}), (std::vector<float>{7.0f, 8.0f, 9.0f}));
    EXPECT_EQ(window_.reads().size(), 6u);
}

// Twelve outlets 1.0 to 12.0 answered j + 0.5: the list holds five entries
// a column, a second column from the sixth entry on, and beyond ten entries
// only the last ten; BACK from the seventh outlet takes the second column
// down to one entry again.
TEST(OutletDialogue, ListShowsTwoColumnsOfTheLastTenEntries)
{
    std::vector<float> outlets;
    std::vector<std::string> typed;
    for (int j = 1; j <= 12; ++j) {
        outlets.push_back(static_cast<float>(j));
        typed.push_back(std::to_string(j) + ".5");
    }
    // Outlet 7 is answered, taken back and answered again.
    typed.insert(typed.begin() + 7, {"back", "7.5"});
    ScriptedWindow window;
    window.type(typed);
    const std::vector<float> elevations = ask_outlet_hgl_controls(window, outlets);
    ASSERT_EQ(elevations.size(), 12u);
    EXPECT_EQ(elevations[6], 7.5f);
    const auto row = [&](std::size_t read, int r) { return test::snapshot_row(window.reads().at(read), r); };
    const std::string pad8(8, ' ');
    // Asking outlet 8 (read 7): entries 1 to 5, then 6 and 7 in the second column.
    EXPECT_EQ(row(7, 11).substr(0, 51), pad8 + "Node No.      HGL" + std::string(9, ' ') + "Node No.      HGL");
    EXPECT_EQ(row(7, 12).substr(0, 53), pad8 + "     1.0       1.50" + std::string(7, ' ') + "     6.0       6.50");
    EXPECT_EQ(row(7, 13).substr(0, 53), pad8 + "     2.0       2.50" + std::string(7, ' ') + "     7.0       7.50");
    // BACK (read 8 asks outlet 7 again): entry 7 is gone, 6 stays.
    EXPECT_EQ(row(8, 7).substr(0, 25), "    System [  7] of [ 12]");
    EXPECT_EQ(row(8, 12).substr(0, 53), pad8 + "     1.0       1.50" + std::string(7, ' ') + "     6.0       6.50");
    EXPECT_EQ(row(8, 13).substr(27), std::string(row(8, 13).size() - 27, ' '));
    // Asking outlet 12 (read 13): entries 2 to 6 and 7 to 11.
    EXPECT_EQ(row(13, 12).substr(0, 53), pad8 + "     2.0       2.50" + std::string(7, ' ') + "     7.0       7.50");
    EXPECT_EQ(row(13, 16).substr(0, 53), pad8 + "     6.0       6.50" + std::string(7, ' ') + "    11.0      11.50");
}

TEST(OutletDialogue, CountsBeyondNineHundredNinetyNineShowFourDigits)
{
    for (const int count : {999, 1000}) {
        SCOPED_TRACE(count);
        std::vector<float> outlets;
        std::vector<std::string> typed;
        for (int k = 1; k <= count; ++k) {
            outlets.push_back(static_cast<float>(k));
            typed.push_back("1");
        }
        ScriptedWindow window;
        window.type(typed);
        EXPECT_EQ(ask_outlet_hgl_controls(window, outlets).size(), static_cast<std::size_t>(count));
        const std::string& last = window.reads().back();
        if (count == 999) {
            EXPECT_EQ(test::snapshot_row(last, 6).substr(0, 47), "     There are [999] system outlets identified.");
            EXPECT_EQ(test::snapshot_row(last, 7).substr(0, 25), "    System [999] of [999]");
        } else {
            EXPECT_EQ(test::snapshot_row(last, 6).substr(0, 48), "     There are [1000] system outlets identified.");
            EXPECT_EQ(test::snapshot_row(last, 7).substr(0, 27), "    System [1000] of [1000]");
        }
        EXPECT_EQ(test::snapshot_row(last, 8).substr(0, 61), "     Enter the HGL Control Elevation for NODE [" +
                                                                 format_fixed(static_cast<float>(count), 8, 1) +
                                                                 "]. ==>");
    }
}

TEST(OutletDialogue, NoOutletShowsTheCountAndAsksNothing)
{
    ScriptedWindow window;
    EXPECT_TRUE(ask_outlet_hgl_controls(window, {}).empty());
    EXPECT_EQ(window.text_at(1, 6, 47), "     There are [  0] system outlets identified.");
}

// Levels: strings 1 and 2 end at control 50 (level 0, systems 1 and 2);
// string 3 ends at confluence 30 on string 1 (level 1, system 1); string 4
// ends at confluence 20 on string 3 (level 2); string 5 ends at node 77, no
// control and no confluence; string 6 ends at confluence 40 on no reached
// string.
TEST(ProcessingLevels, PassedOnFromTheControlsThroughConfluences)
{
    StringIndexFile index;
    const float outlets[] = {50, 50, 30, 20, 77, 40};
    for (int s = 1; s <= 6; ++s) index.records.push_back({s, 0.0f, outlets[s - 1], 0, 0, 0, 0, 0});
    HglControlTable controls;
    controls.controls = {{50.0f, 95.0f}, {60.0f, 88.0f}, {50.0f, 96.5f}};
    const std::map<int, std::vector<StringRecord>> files{
        {1, {{10, 30, 1, 1, 0, 0}, {30, 50, 1, 1, 0, 0}}},
        {2, {{11, 50, 1, 1, 0, 0}}},
        {3, {{12, 20, 1, 1, 0, 0}, {20, 30, 1, 1, 0, 0}}},
        {4, {{13, 20, 1, 1, 0, 0}}},
    };
    std::vector<int> read;
    assign_processing_levels(index, controls, {30.0f, 20.0f, 40.0f}, [&](int s) {
        read.push_back(s);
        return files.at(s);
    });
    EXPECT_EQ(read, (std::vector<int>{1, 2, 3, 4}));
    struct Expected {
        float level, system, control;
    } expected[] = {{0, 1, 96.5f}, {0, 2, 96.5f}, {1, 1, 0}, {2, 1, 0}, {-99, 0, 0}, {-99, 0, 0}};
    for (std::size_t k = 0; k < 6; ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_EQ(index.records[k].processing_level, expected[k].level);
        EXPECT_EQ(index.records[k].outlet_system_number, expected[k].system);
        EXPECT_EQ(index.records[k].outlet_hgl_control, expected[k].control);
    }
}

TEST(ProcessingLevels, FirstStringToReachAConfluenceGivesItsSystem)
{
    // Strings 1 and 2 are level 0 (systems 1, 2); both pass through 30,
    // where string 3 ends: string 1, first in the list, gives system 1.
    StringIndexFile index;
    index.records = {{1, 0, 70, 0, 0, 0, 0, 0}, {2, 0, 80, 0, 0, 0, 0, 0}, {3, 0, 30, 0, 0, 0, 0, 0}};
    HglControlTable controls;
    controls.controls = {{80.0f, 1.0f}, {70.0f, 2.0f}};
    assign_processing_levels(index, controls, {30.0f}, [](int s) {
        return std::vector<StringRecord>{{1, 30, 1, 1, 0, 0}, {30, s == 1 ? 70.0f : 80.0f, 1, 1, 0, 0}};
    });
    EXPECT_EQ(index.records[2].processing_level, 1.0f);
    EXPECT_EQ(index.records[2].outlet_system_number, 1.0f);
    EXPECT_EQ(index.records[0].outlet_hgl_control, 2.0f);
}

}  // namespace
}  // namespace velm
