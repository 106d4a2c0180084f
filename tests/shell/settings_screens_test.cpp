#include "shell/settings_screens.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/session_test.h"

namespace velm {
namespace {

const std::string RANGE_MESSAGE = "*****VALUE ENTERED IS NOT WITHIN ACCEPTABLE RANGE.";
const std::string NON_NUMERIC_MESSAGE = "*****VALUE ENTERED CONTAINS NON-NUMERIC CHARACTERS.";

const std::string FRICTION = "FRICTION SLOPE ESTIMATION";
const std::string MINIMUM = "MINIMUM FRICTION SLOPE";
const std::string ENVELOPE = "HGL ENVELOPE SETTINGS";
const std::string CLEARANCE = "TOPOGRAPHY-HGL CLEARANCE";
const std::string HYDRAULIC = "HYDRAULIC CONTROL SETTING";
const std::string TRUNK = "TRUNK LINE HYDRAULIC CONTROLS";
const std::string MAINSTREAM = "SELECTING THE MAINSTREAM BRANCH AT A CONFLUENCE";
const std::string CAPACITY = "PIPE CAPACITY ESTIMATION SETTINGS";
const std::string BUBBLE = "PIPE \"Bubble-out\" SETTINGS";
const std::string TELESCOPING_1 = "TELESCOPING SETTINGS (Page 1)";
const std::string TELESCOPING_2 = "TELESCOPING SETTINGS (Page 2)";
const std::string PIPEFLOW = "PIPEFLOW HYDRAULICS SETTINGS";
const std::string PICKUP = "\"TOTAL FLOW PICKUP\" PIPE SIZING SETTINGS";
const std::string CONSTRUCTIBLE = "ELEMENT \"CONSTRUCTIBLE\" SIZING SETTINGS";
const std::string BOX_CHANNEL = "BOX/CHANNEL SIZING SETTINGS (Page 1)";
const std::string BOX = "BOX Element TELESCOPING SETTINGS";
const std::string CHANNEL = "CHANNEL Element TELESCOPING SETTINGS";
const std::string INTERFACING = "ELEMENT INTERFACING";

class SettingsScreensTest : public test::SessionTest {
protected:
    SettingsOutcome run(const std::vector<std::string>& typed)
    {
        window_.type(typed);
        return run_settings_screens(session_, "AB", parameters_, table_);
    }

    // The 80 characters of a row as the screen stood at the i-th read.
    std::string row_at(std::size_t read, int row) const { return test::snapshot_row(window_.reads().at(read), row); }
    std::string text_at(std::size_t read, int column, int row, int length) const
    {
        return test::snapshot_text(window_.reads().at(read), column, row, static_cast<std::size_t>(length));
    }
    // The screen's title: its first text, up to the colon.
    std::string title_at(std::size_t read) const
    {
        for (int row = 1; row <= 24; ++row) {
            const std::string line = row_at(read, row);
            const std::size_t start = line.find_first_not_of(' ');
            if (start != std::string::npos) {
                return line.substr(start, line.find(':', start) - start);
            }
        }
        return {};
    }
    std::vector<std::string> titles() const
    {
        std::vector<std::string> result;
        for (std::size_t i = 0; i < window_.reads().size(); ++i) result.push_back(title_at(i));
        return result;
    }
    std::pair<int, int> position_at(std::size_t read) const { return window_.read_positions().at(read); }

    ControlParameters parameters_;
    HglControlTable table_;
};

std::vector<std::string> enters(int count)
{
    return std::vector<std::string>(static_cast<std::size_t>(count), "");
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(SettingsScreensTest, EveryScreenShowsItsValueInTheEntryFieldBehindItsPrompt)
{
    struct Read {
        std::string title;
        int title_row;
        int entry_row;
        std::string shown;  // the current value from column 62
    };
    const std::vector<Read> expected = {
        {FRICTION, 1, 19, "2"},     {ENVELOPE, 2, 5, " 3.00"},
        {ENVELOPE, 2, 8, "0.0015"}, {ENVELOPE, 2, 12, "0.0130"},
        {CLEARANCE, 3, 6, " 1.00"}, {CLEARANCE, 3, 10, "  8.00"},
        {HYDRAULIC, 1, 6, "1"},     {HYDRAULIC, 1, 18, "  1.00"},
        {MAINSTREAM, 3, 7, "1"},    {CAPACITY, 1, 17, "1"},
        {BUBBLE, 1, 3, "1"},        {TELESCOPING_1, 1, 3, "1"},
        {TELESCOPING_2, 1, 2, "1"}, {PIPEFLOW, 1, 2, "18."},
        {PIPEFLOW, 1, 16, "0.850"}, {PICKUP, 1, 16, "2"},
        {CONSTRUCTIBLE, 1, 6, "1"}, {BOX_CHANNEL, 1, 16, "1"},
        {BOX, 1, 3, "2"},           {CHANNEL, 1, 3, "2"},
        {INTERFACING, 1, 4, "1"},
    };
    EXPECT_EQ(run(enters(static_cast<int>(expected.size()))), SettingsOutcome::Answered);
    ASSERT_EQ(window_.reads().size(), expected.size());
    EXPECT_EQ(window_.lines_left(), 0u);

    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Read& e = expected[i];
        SCOPED_TRACE(e.title + ", row " + std::to_string(e.entry_row));
        EXPECT_EQ(text_at(i, 5, e.title_row, static_cast<int>(e.title.size()) + 1), e.title + ":");
        EXPECT_EQ(position_at(i), std::make_pair(62, e.entry_row));
        EXPECT_EQ(text_at(i, 59, e.entry_row, 3), "==>");
        EXPECT_EQ(text_at(i, 62, e.entry_row, static_cast<int>(e.shown.size()) + 1), e.shown + " ");
        const std::string note = "* Note: Press Enter Key to ACCEPT default values. *";
        if (e.title == TELESCOPING_2) {
            EXPECT_NE(text_at(i, 5, 20, 51), note);  // the page needs the row
        } else {
            EXPECT_EQ(text_at(i, 5, 20, 51), note);
        }
        EXPECT_EQ(text_at(i, 1, 22, 79), std::string(79, '_'));
        EXPECT_EQ(text_at(i, 35, 24, 24), "BACK to go back one page");
    }

    // Empty answers kept every value.
    const ControlParameters defaults;
    EXPECT_EQ(pack_control_options(parameters_), pack_control_options(defaults));
    EXPECT_EQ(parameters_.min_velocity, defaults.min_velocity);
    EXPECT_EQ(parameters_.friction_slope_proportion, defaults.friction_slope_proportion);
    EXPECT_EQ(parameters_.hgl_control_offset, defaults.hgl_control_offset);
}

TEST_F(SettingsScreensTest, OrderAndBackFollowTheFrictionSlopeModel)
{
    struct Road {
        std::string what;
        FrictionSlopeModel model;  // held before the screens
        HydraulicControlModel control;
        int controls;  // trunk-line controls in the table
        std::vector<std::string> typed;
        std::vector<std::string> titles;  // of the screens at the reads
        SettingsOutcome outcome;
    };
    const std::vector<Road> roads = {
        {"model 1 chosen: no envelope, clearance or control screens",
         FrictionSlopeModel::BalancedHglSlope,
         HydraulicControlModel::TopEnvelopeControl,
         3,
         std::vector<std::string>{"1"} + enters(14),
         {FRICTION, MINIMUM, MAINSTREAM, CAPACITY, BUBBLE, TELESCOPING_1, TELESCOPING_2, PIPEFLOW, PIPEFLOW, PICKUP,
          CONSTRUCTIBLE, BOX_CHANNEL, BOX, CHANNEL, INTERFACING},
         SettingsOutcome::Answered},
        {"back from the mainstream screen under model 3",
         FrictionSlopeModel::TopographicWithUserSlopes,
         HydraulicControlModel::TopEnvelopeControl,
         0,
         {"", "", "B", "", "E"},
         {FRICTION, MINIMUM, MAINSTREAM, MINIMUM, MAINSTREAM},
         SettingsOutcome::Left},
        {"back from the mainstream screen under model 4 skips the trunk lines",
         FrictionSlopeModel::BalancedHglWithUserSlopes,
         HydraulicControlModel::UserDefinedControl,
         2,
         enters(9) + std::vector<std::string>{"B", "E"},
         {FRICTION, ENVELOPE, ENVELOPE, ENVELOPE, CLEARANCE, CLEARANCE, HYDRAULIC, TRUNK, TRUNK, MAINSTREAM, HYDRAULIC},
         SettingsOutcome::Left},
        {"user controls without any control: no trunk-line screen",
         FrictionSlopeModel::BalancedHglSlope,
         HydraulicControlModel::TopEnvelopeControl,
         0,
         enters(6) + std::vector<std::string>{"2", "E"},
         {FRICTION, ENVELOPE, ENVELOPE, ENVELOPE, CLEARANCE, CLEARANCE, HYDRAULIC, MAINSTREAM},
         SettingsOutcome::Left},
        {"back from a second entry goes to the previous screen",
         FrictionSlopeModel::BalancedHglSlope,
         HydraulicControlModel::TopEnvelopeControl,
         0,
         {"", "", "B", "E"},
         {FRICTION, ENVELOPE, ENVELOPE, FRICTION},
         SettingsOutcome::Left},
        {"back from the offset goes to the clearances",
         FrictionSlopeModel::BalancedHglSlope,
         HydraulicControlModel::TopEnvelopeControl,
         0,
         enters(7) + std::vector<std::string>{"b", "e"},
         {FRICTION, ENVELOPE, ENVELOPE, ENVELOPE, CLEARANCE, CLEARANCE, HYDRAULIC, HYDRAULIC, CLEARANCE},
         SettingsOutcome::Left},
        {"back walks the common screens in reverse",
         FrictionSlopeModel::TopographicSlope,
         HydraulicControlModel::TopEnvelopeControl,
         0,
         enters(14) + std::vector<std::string>{"B", "B", "B", "B", "B", "B", "B", "B", "B", "B", "B", "B", "B", "B"},
         {FRICTION,      MINIMUM,       MAINSTREAM, CAPACITY,      BUBBLE,        TELESCOPING_1, TELESCOPING_2,
          PIPEFLOW,      PIPEFLOW,      PICKUP,     CONSTRUCTIBLE, BOX_CHANNEL,   BOX,           CHANNEL,
          INTERFACING,   CHANNEL,       BOX,        BOX_CHANNEL,   CONSTRUCTIBLE, PICKUP,        PIPEFLOW,
          TELESCOPING_2, TELESCOPING_1, BUBBLE,     CAPACITY,      MAINSTREAM,    MINIMUM,       FRICTION},
         SettingsOutcome::Left},
        {"back from the first screen leaves",
         FrictionSlopeModel::BalancedHglSlope,
         HydraulicControlModel::TopEnvelopeControl,
         0,
         {"B"},
         {FRICTION},
         SettingsOutcome::Left},
        {"exit from the last screen leaves",
         FrictionSlopeModel::TopographicSlope,
         HydraulicControlModel::TopEnvelopeControl,
         0,
         enters(14) + std::vector<std::string>{"NO"},
         {FRICTION, MINIMUM, MAINSTREAM, CAPACITY, BUBBLE, TELESCOPING_1, TELESCOPING_2, PIPEFLOW, PIPEFLOW, PICKUP,
          CONSTRUCTIBLE, BOX_CHANNEL, BOX, CHANNEL, INTERFACING},
         SettingsOutcome::Left},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.what);
        test::ScriptedWindow window(road.typed);
        Session session{window, clock_};
        ControlParameters p;
        p.friction_slope_model = road.model;
        p.hydraulic_control_model = road.control;
        HglControlTable table;
        for (int k = 1; k <= road.controls; ++k) table.controls.push_back({100.0f + float(k), 0.0f});
        EXPECT_EQ(run_settings_screens(session, "AB", p, table), road.outcome);
        EXPECT_EQ(window.lines_left(), 0u);
        std::vector<std::string> seen;
        for (const std::string& screen : window.reads()) {
            std::istringstream rows(screen);
            std::string line;
            while (std::getline(rows, line) && line.find_first_not_of(' ') == std::string::npos) {}
            const std::size_t start = line.find_first_not_of(' ');
            seen.push_back(line.substr(start, line.find(':', start) - start));
        }
        EXPECT_EQ(seen, road.titles);
    }
}

TEST_F(SettingsScreensTest, TopRedrawsWithStoredAnswersAndBackKeepsThem)
{
    // Velocity 5 stored, TOP at the slope entry: the page again, velocity asked again.
    // Then BACK to the first screen, forward again, and Enter keeps 5.
    EXPECT_EQ(run({"", "5", "T", "", "B", "", "", "E"}), SettingsOutcome::Left);
    ASSERT_EQ(window_.reads().size(), 8u);
    EXPECT_EQ(position_at(3), std::make_pair(62, 5));
    EXPECT_EQ(text_at(3, 62, 5, 5), " 5.00");
    EXPECT_EQ(title_at(5), FRICTION);
    EXPECT_EQ(text_at(6, 62, 5, 5), " 5.00");
    // Answers stay in memory after EXIT.
    EXPECT_EQ(parameters_.min_velocity, 5.0f);
}

TEST_F(SettingsScreensTest, ExitKeepsAcceptedAnswersInMemory)
{
    EXPECT_EQ(run({"4", "", "", "", "0.5", "9", "E"}), SettingsOutcome::Left);
    EXPECT_EQ(parameters_.friction_slope_model, FrictionSlopeModel::BalancedHglWithUserSlopes);
    EXPECT_EQ(parameters_.min_clearance, 0.5f);
    EXPECT_EQ(parameters_.max_clearance, 9.0f);
}

TEST_F(SettingsScreensTest, MaximumClearanceRangeFollowsTheMinimum)
{
    // Minimum 9.5: the range is redrawn as 10.50 to 500.00; the kept 8.00 is
    // refused like a typed value and asked again; 10.5 is taken.
    EXPECT_EQ(run(enters(4) + std::vector<std::string>{"9.5", "", "10.4", "10.5", "E"}), SettingsOutcome::Left);
    ASSERT_EQ(window_.reads().size(), 9u);
    EXPECT_EQ(text_at(4, 28, 11, 20), "[  2.00] TO [500.00]");  // as drawn
    EXPECT_EQ(text_at(5, 28, 11, 20), "[ 10.50] TO [500.00]");  // after the minimum

    for (std::size_t read : {6u, 7u}) {
        SCOPED_TRACE(read);
        EXPECT_EQ(position_at(read), std::make_pair(62, 10));
        EXPECT_EQ(text_at(read, 73, 10, 8), "*ERROR* ");
        EXPECT_EQ(text_at(read, 1, 21, static_cast<int>(RANGE_MESSAGE.size())), RANGE_MESSAGE);
        EXPECT_EQ(text_at(read, 62, 10, 11), std::string(11, ' '));
    }
    EXPECT_EQ(window_.beeps(), 2);
    EXPECT_EQ(title_at(8), HYDRAULIC);
    EXPECT_EQ(parameters_.min_clearance, 9.5f);
    EXPECT_EQ(parameters_.max_clearance, 10.5f);
}

TEST_F(SettingsScreensTest, KeptMaximumWithinTheNewRangeIsTaken)
{
    EXPECT_EQ(run(enters(4) + std::vector<std::string>{"7", "", "E"}), SettingsOutcome::Left);
    EXPECT_EQ(window_.beeps(), 0);
    EXPECT_EQ(parameters_.max_clearance, 8.0f);
    EXPECT_EQ(title_at(6), HYDRAULIC);
}

TEST_F(SettingsScreensTest, OffsetIsAskedOnlyForTheEnvelopeControlWithinTheClearances)
{
    parameters_.min_clearance = 2.0f;
    parameters_.max_clearance = 5.0f;
    EXPECT_EQ(run(enters(6) + std::vector<std::string>{"1", "3", "2.99", "E"}), SettingsOutcome::Left);
    ASSERT_EQ(window_.reads().size(), 10u);
    EXPECT_EQ(text_at(6, 5, 17, 5), "     ");  // no offset text before the model is answered
    EXPECT_EQ(position_at(7), std::make_pair(62, 18));
    EXPECT_EQ(text_at(7, 6, 19, 41), ":ALLOWABLE VALUES ARE [ 0.01] TO [  2.99]");
    EXPECT_EQ(text_at(8, 1, 21, static_cast<int>(RANGE_MESSAGE.size())), RANGE_MESSAGE);
    EXPECT_EQ(title_at(9), MAINSTREAM);
    EXPECT_EQ(parameters_.hgl_control_offset, 2.99f);
}

TEST_F(SettingsScreensTest, KeptOffsetBeyondTheNewClearancesIsRefused)
{
    // Clearances 9.5 and 10.5 leave offsets up to 0.99: Enter does not keep
    // the shown 1.00; 0.5 is taken.
    EXPECT_EQ(run(enters(4) + std::vector<std::string>{"9.5", "10.5", "", "", "0.5", "E"}), SettingsOutcome::Left);
    ASSERT_EQ(window_.reads().size(), 10u);
    EXPECT_EQ(text_at(7, 6, 19, 41), ":ALLOWABLE VALUES ARE [ 0.01] TO [  0.99]");
    EXPECT_EQ(position_at(8), std::make_pair(62, 18));
    EXPECT_EQ(text_at(8, 73, 18, 8), "*ERROR* ");
    EXPECT_EQ(text_at(8, 1, 21, static_cast<int>(RANGE_MESSAGE.size())), RANGE_MESSAGE);
    EXPECT_EQ(window_.beeps(), 1);
    EXPECT_EQ(title_at(9), MAINSTREAM);
    EXPECT_EQ(text_at(9, 1, 21, static_cast<int>(RANGE_MESSAGE.size())), std::string(RANGE_MESSAGE.size(), ' '));
    EXPECT_EQ(parameters_.hgl_control_offset, 0.5f);
}

// Entries of the topographic order with good and bad answers.  Reads of that
// order: 0 model, 1 minimum slope, 2 mainstream, 3 pipe capacity, 4 bubble-out,
// 5 telescoping 1, 6 telescoping 2, 7 diameter, 8 proportion, 9 total flow
// pickup, 10 sizing increment, 11 box/channel flow rate, 12 box, 13 channel,
// 14 interfacing.
TEST_F(SettingsScreensTest, EntriesStoreTheirValuesAndRefuseOthers)
{
    struct Answers {
        std::string what;
        std::size_t entry;
        std::vector<std::string> typed;  // the last one is accepted
        std::string first_message;       // on row 21 after the first answer, when refused
        std::function<bool(const ControlParameters&)> stored;
    };
    using P = ControlParameters;
    const std::vector<Answers> cases = {
        {"total flow pickup 2.7 stores 2",
         9,
         {"2.7"},
         "",
         [](const P& p) { return p.pipe_flow_rate == SizingFlowRate::DownstreamNodePeak; }},
        {"total flow pickup 4.0 stores 4",
         9,
         {"4.0"},
         "",
         [](const P& p) { return p.pipe_flow_rate == SizingFlowRate::MaximumPeak; }},
        {"total flow pickup 4.1 is out of range",
         9,
         {"4.1", "3"},
         RANGE_MESSAGE,
         [](const P& p) { return p.pipe_flow_rate == SizingFlowRate::AveragePeak; }},
        {"box/channel flow rate 3.9 stores 3",
         11,
         {"3.9"},
         "",
         [](const P& p) { return p.box_channel_flow_rate == SizingFlowRate::AveragePeak; }},
        {"proportions the file would keep as 0.00 are refused",
         8,
         {"0.004", "0.005", "0.0051"},
         RANGE_MESSAGE,
         [](const P& p) { return p.friction_slope_proportion == 0.0051f; }},
        {"proportion .95", 8, {".95"}, "", [](const P& p) { return p.friction_slope_proportion == 0.95f; }},
        {"diameter must be whole",
         7,
         {"12.5", "6"},
         NON_NUMERIC_MESSAGE,
         [](const P& p) { return p.min_pipe_diameter == 6.0f; }},
        {"diameter above 60", 7, {"61", "60"}, RANGE_MESSAGE, [](const P& p) { return p.min_pipe_diameter == 60.0f; }},
        {"existing elements option 5 does not exist",
         6,
         {"5", "4"},
         RANGE_MESSAGE,
         [](const P& p) {
             return p.existing_element_telescoping == ExistingElementTelescoping::RetainExistingUseMaximum;
         }},
        {"only the largest-peak mainstream is offered",
         2,
         {"2", ""},
         RANGE_MESSAGE,
         [](const P& p) { return p.mainstream_selection == MainstreamSelection::LargestPeakFlowBranch; }},
        {"minimum slope below its range",
         1,
         {"0.0002", "0.01"},
         RANGE_MESSAGE,
         [](const P& p) { return p.default_min_friction_slope == 0.01f; }},
        {"sizing increment",
         10,
         {"3"},
         "",
         [](const P& p) { return p.sizing_increment == SizingIncrement::HalfFootIncrement; }},
        {"pipe capacity model",
         3,
         {"2"},
         "",
         [](const P& p) { return p.pipe_capacity_model == PipeCapacityModel::NormalDepthCapacity; }},
        {"box telescoping only 2",
         12,
         {"1", "2"},
         RANGE_MESSAGE,
         [](const P& p) { return p.box_area_telescoping == AreaTelescoping::IndependentSizing; }},
    };
    constexpr std::size_t ENTRIES = 15;
    for (const Answers& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> typed;
        for (std::size_t entry = 0; entry < ENTRIES; ++entry) {
            if (entry == c.entry) {
                typed.insert(typed.end(), c.typed.begin(), c.typed.end());
            } else {
                typed.push_back(entry == 0 ? "1" : "");
            }
        }
        test::ScriptedWindow window(typed);
        Session session{window, clock_};
        ControlParameters p;
        HglControlTable table;
        EXPECT_EQ(run_settings_screens(session, "AB", p, table), SettingsOutcome::Answered);
        EXPECT_EQ(window.lines_left(), 0u);
        EXPECT_EQ(window.beeps(), static_cast<int>(c.typed.size()) - 1);
        EXPECT_TRUE(c.stored(p));
        if (!c.first_message.empty()) {
            EXPECT_EQ(test::snapshot_text(window.reads().at(c.entry + 1), 1, 21, c.first_message.size()),
                      c.first_message);
        }
    }
}

TEST_F(SettingsScreensTest, ProportionTheFileCannotKeepIsNotKeptEither)
{
    // A proportion of 0.00 from an older file: Enter does not keep it, twice.
    parameters_.friction_slope_model = FrictionSlopeModel::TopographicSlope;
    parameters_.friction_slope_proportion = 0.0f;
    EXPECT_EQ(run(enters(9) + std::vector<std::string>{"", ".9"} + enters(6)), SettingsOutcome::Answered);
    const std::size_t proportion = 8;
    EXPECT_EQ(text_at(proportion, 6, 17, 38), ":ALLOWABLE VALUES ARE [.006] TO [1.00]");
    EXPECT_EQ(position_at(proportion + 1), std::make_pair(62, 16));
    EXPECT_EQ(text_at(proportion + 1, 73, 16, 8), "*ERROR* ");
    EXPECT_EQ(text_at(proportion + 1, 1, 21, static_cast<int>(RANGE_MESSAGE.size())), RANGE_MESSAGE);
    EXPECT_EQ(position_at(proportion + 2), std::make_pair(62, 16));
    EXPECT_EQ(window_.beeps(), 2);
    EXPECT_EQ(parameters_.friction_slope_proportion, 0.9f);
}

TEST_F(SettingsScreensTest, SingleOptionScreensForceTheirSetting)
{
    parameters_.friction_slope_model = FrictionSlopeModel::TopographicSlope;
    parameters_.box_area_telescoping = AreaTelescoping::NoAreaReduction;
    parameters_.channel_area_telescoping = AreaTelescoping::NoAreaReduction;
    parameters_.element_interfacing = static_cast<ElementInterfacing>(3);
    EXPECT_EQ(run(enters(15)), SettingsOutcome::Answered);
    EXPECT_EQ(text_at(12, 62, 3, 2), "2 ");
    EXPECT_EQ(text_at(13, 62, 3, 2), "2 ");
    EXPECT_EQ(text_at(14, 62, 4, 2), "1 ");
    EXPECT_EQ(parameters_.box_area_telescoping, AreaTelescoping::IndependentSizing);
    EXPECT_EQ(parameters_.channel_area_telescoping, AreaTelescoping::IndependentSizing);
    EXPECT_EQ(parameters_.element_interfacing, ElementInterfacing::NoInterfaceTelescoping);
}

class TrunkLineControlsTest : public SettingsScreensTest {
protected:
    void SetUp() override
    {
        parameters_.hydraulic_control_model = HydraulicControlModel::UserDefinedControl;
        for (int k = 1; k <= 12; ++k) table_.controls.push_back({100.0f + float(k), 10.0f * float(k)});
    }
    // Screens before the review: model, three envelope values, two clearances,
    // the control model (2: no offset).
    static constexpr int BEFORE = 7;
};

TEST_F(TrunkLineControlsTest, EachElevationIsReviewedInTurn)
{
    // 0 keeps, -0.5 is stored, empty keeps, 1234.5 is stored.
    EXPECT_EQ(run(enters(BEFORE) + std::vector<std::string>{"0", "-0.5", "", "1234.5"} + enters(8) +
                  std::vector<std::string>{"E"}),
              SettingsOutcome::Left);
    const std::size_t first = BEFORE;
    EXPECT_EQ(title_at(first), TRUNK);
    EXPECT_EQ(text_at(first, 6, 6, 42), "There are [ 12] system outlets identified.");
    EXPECT_EQ(text_at(first, 5, 7, 22), " System [  1] of [ 12]");
    EXPECT_EQ(text_at(first, 6, 8, 64), "Enter the HGL Control Elevation for NODE [   101.0]. ==>   10.00");
    EXPECT_EQ(text_at(first, 6, 9, 48), ":ALLOWABLE VALUES BETWEEN [-9999.9] AND [9999.9]");
    EXPECT_EQ(text_at(first, 5, 20, 51), "* Note: Press Enter Key to ACCEPT default values. *");
    EXPECT_EQ(text_at(first, 35, 24, 25), "BACK to go back one page ");
    EXPECT_EQ(position_at(first), std::make_pair(62, 8));

    EXPECT_EQ(text_at(first + 1, 35, 24, 25), "BACK to go back one entry");
    EXPECT_EQ(text_at(first + 1, 9, 11, 17), "Node No.      HGL");
    EXPECT_EQ(text_at(first + 1, 9, 12, 19), "   101.0      10.00");
    EXPECT_EQ(text_at(first + 1, 5, 7, 22), " System [  2] of [ 12]");

    // After the eleventh answer the list shows controls 2 to 11.
    const std::size_t twelfth = first + 11;
    EXPECT_EQ(text_at(twelfth, 5, 7, 22), " System [ 12] of [ 12]");
    EXPECT_EQ(text_at(twelfth, 9, 12, 19), "   102.0      -0.50");
    EXPECT_EQ(text_at(twelfth, 9, 16, 19), "   106.0      60.00");
    EXPECT_EQ(text_at(twelfth, 35, 11, 17), "Node No.      HGL");
    EXPECT_EQ(text_at(twelfth, 35, 12, 19), "   107.0      70.00");
    EXPECT_EQ(text_at(twelfth, 35, 16, 19), "   111.0     110.00");
    EXPECT_EQ(title_at(twelfth + 1), MAINSTREAM);

    EXPECT_EQ(table_.controls[0].elevation, 10.0f);
    EXPECT_EQ(table_.controls[1].elevation, -0.5f);
    EXPECT_EQ(table_.controls[2].elevation, 30.0f);
    EXPECT_EQ(table_.controls[3].elevation, 1234.5f);
    EXPECT_EQ(table_.controls[11].elevation, 120.0f);
}

TEST_F(TrunkLineControlsTest, BackWithdrawsOneEntryAndTopStartsOver)
{
    // Seven answers (k = 8), then BACK twice (k = 6), TOP, BACK at the first
    // entry: the hydraulic control screen.
    EXPECT_EQ(
        run(enters(BEFORE) + std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "B", "B", "T", "B", "E"}),
        SettingsOutcome::Left);
    const std::size_t first = BEFORE;
    // k = 8: controls 1 to 5 on the left, 6 and 7 on the right.
    EXPECT_EQ(text_at(first + 7, 35, 13, 19), "   107.0       7.00");
    // BACK: k = 7, its row (the second of the right column) erased.
    EXPECT_EQ(text_at(first + 8, 5, 7, 22), " System [  7] of [ 12]");
    EXPECT_EQ(text_at(first + 8, 35, 13, 19), std::string(19, ' '));
    EXPECT_EQ(text_at(first + 8, 35, 12, 19), "   106.0       6.00");
    // BACK: k = 6, the first row of the right column erased, the left redrawn.
    EXPECT_EQ(text_at(first + 9, 35, 12, 19), std::string(19, ' '));
    EXPECT_EQ(text_at(first + 9, 9, 12, 19), "   101.0       1.00");
    // TOP: the page from the start.
    EXPECT_EQ(text_at(first + 10, 5, 7, 22), " System [  1] of [ 12]");
    EXPECT_EQ(text_at(first + 10, 9, 12, 19), std::string(19, ' '));
    EXPECT_EQ(title_at(first + 11), HYDRAULIC);
    // The withdrawn answers stay stored.
    EXPECT_EQ(table_.controls[6].elevation, 7.0f);
}

}  // namespace
}  // namespace velm
