#include "shell/control_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

// Each test works in a fresh temporary directory, which is the working
// directory of the study files while it runs.
class ControlFileTest : public test::SessionTest {
protected:
    // A control file that the load refuses, naming the file and the given
    // part of the message, with the settings and controls left as they were.
    void expect_load_refused(const std::string& content, const std::string& message_part);
    // The same for whatever `make_file` puts at the control file's name.
    void expect_load_refused(const std::function<void()>& make_file, const std::string& message_part);
};

// Settings that differ from the defaults in every packed pair.
ControlParameters edited_settings()
{
    ControlParameters p;
    p.min_clearance = 2.5f;
    p.max_clearance = 12.25f;
    p.min_velocity = 4.0f;
    p.min_pipe_diameter = 24.0f;
    p.envelope_min_friction_slope = 0.0025f;
    p.default_min_friction_slope = 0.0035f;
    p.envelope_manning_n = 0.015f;
    p.friction_slope_proportion = 0.855f;
    p.hgl_control_offset = 2.0f;
    p.low_slope_flag_mode = 1;
    p.hydraulic_control_model = HydraulicControlModel::UserDefinedControl;
    p.box_channel_flow_rate = SizingFlowRate::MaximumPeak;
    p.capacity_telescoping = CapacityTelescoping::IndependentSizing;
    p.pipe_area_telescoping = AreaTelescoping::IndependentSizing;
    p.friction_slope_model = FrictionSlopeModel::BalancedHglWithUserSlopes;
    p.pipe_capacity_model = PipeCapacityModel::NormalDepthCapacity;
    p.pipe_flow_rate = SizingFlowRate::AveragePeak;
    p.sizing_increment = SizingIncrement::QuarterFootIncrement;
    p.existing_element_telescoping = ExistingElementTelescoping::RetainExistingTelescopeAsReplaced;
    return p;
}

void ControlFileTest::expect_load_refused(const std::string& content, const std::string& message_part)
{
    expect_load_refused([&content, this] { directory_.put("ABcontzz.zzz", content); }, message_part);
}

void ControlFileTest::expect_load_refused(const std::function<void()>& make_file, const std::string& message_part)
{
    make_file();
    ControlParameters p = edited_settings();
    HglControlTable table{{{5.0f, 6.0f}}};
    try {
        load_control_file(session_, "AB", p, table);
        ADD_FAILURE() << "loaded";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ABcontzz.zzz"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find(message_part), std::string::npos) << error.what();
    }
    EXPECT_EQ(p.min_clearance, 2.5f);
    EXPECT_EQ(p.low_slope_flag_mode, 1);
    EXPECT_EQ(p.envelope_manning_n, 0.015f);
    EXPECT_EQ(table.count(), 1);
}

TEST_F(ControlFileTest, DefaultsAreSetEverywhereAndSaveAsTheKnownFile)
{
    ControlParameters p = edited_settings();
    p.carried_flow_source = 0;
    p.min_clearance = 99.0f;
    p.low_slope_flag_mode = 1;
    HglControlTable table{{{1.0f, 2.0f}}};

    set_control_defaults(p, table);

    EXPECT_EQ(p.carried_flow_source, 1);
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(p.min_clearance, 1.0f);
    EXPECT_EQ(p.max_clearance, 8.0f);
    EXPECT_EQ(p.hgl_control_offset, 1.0f);
    EXPECT_EQ(p.min_velocity, 3.0f);
    EXPECT_EQ(p.envelope_min_friction_slope, 0.0015f);
    EXPECT_EQ(p.envelope_manning_n, 0.013f);
    EXPECT_EQ(p.low_slope_flag_mode, 0);

    save_control_file(session_, "AB", p, table);
    EXPECT_EQ(directory_.get("ABcontzz.zzz"),
              "     1.00     8.00     3.00    18.00   0.0015   0.0020   0.0130     0.85     1.00\r\n"
              "  1 11 21 22 11 21 11    0\r\n");
}

TEST_F(ControlFileTest, SaveWritesTheLayoutByteForByte)
{
    const HglControlTable table{{{1234.5f, 102.35f}, {-12.0f, -9999.9f}}};
    save_control_file(session_, "AB", edited_settings(), table);
    EXPECT_EQ(directory_.get("ABcontzz.zzz"),
              "     2.50    12.25     4.00    24.00   0.0025   0.0035   0.0150     0.86     2.00\r\n"
              " 12 42 22 24 12 31 23    2\r\n"
              "   1234.5   102.35\r\n"
              "    -12.0 -9999.90\r\n");
}

TEST_F(ControlFileTest, SaveLoadSaveIsByteIdentical)
{
    const HglControlTable table{{{501.2f, 1288.75f}, {77.0f, 0.0f}, {1.5f, -3.25f}}};
    save_control_file(session_, "AB", edited_settings(), table);
    const std::string first = directory_.get("ABcontzz.zzz");

    ControlParameters loaded;
    HglControlTable loaded_table;
    ASSERT_TRUE(load_control_file(session_, "AB", loaded, loaded_table));
    EXPECT_EQ(loaded.friction_slope_proportion, 0.86f);  // kept with two decimals
    EXPECT_EQ(loaded.low_slope_flag_mode, 1);
    EXPECT_EQ(loaded.hydraulic_control_model, HydraulicControlModel::UserDefinedControl);
    EXPECT_EQ(loaded.existing_element_telescoping, ExistingElementTelescoping::RetainExistingTelescopeAsReplaced);
    ASSERT_EQ(loaded_table.count(), 3);
    EXPECT_EQ(loaded_table.controls[2].node_number, 1.5f);
    EXPECT_EQ(loaded_table.controls[2].elevation, -3.25f);

    save_control_file(session_, "AB", loaded, loaded_table);
    EXPECT_EQ(directory_.get("ABcontzz.zzz"), first);
}

TEST_F(ControlFileTest, GfortranReadsAndRewritesTheSavedFileIdentically)
{
    const HglControlTable table{{{1234.5f, 102.35f}, {98765.4f, -0.07f}}};
    save_control_file(session_, "AB", edited_settings(), table);
    const std::string command = std::string(VELM_FORTRAN_HELPER_DIR) + "/control_file_echo ABcontzz.zzz echoed.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::string ours = directory_.get("ABcontzz.zzz");
    std::erase(ours, '\r');
    EXPECT_EQ(directory_.get("echoed.txt"), ours);
}

// The options that each stored integer of line 2 gives on loading.
struct PackedCase {
    int slot;            // stored integer 1 to 7
    std::string stored;  // as the file holds it
    int tens;
    int units;
};

std::pair<int, int> options_of_slot(const ControlParameters& p, int slot)
{
    auto c = [](auto option) { return static_cast<int>(option); };
    switch (slot) {
        case 1:
            return {p.low_slope_flag_mode, c(p.hydraulic_control_model)};
        case 2:
            return {c(p.box_channel_flow_rate), c(p.capacity_telescoping)};
        case 3:
            return {c(p.box_area_telescoping), c(p.pipe_area_telescoping)};
        case 4:
            return {c(p.channel_area_telescoping), c(p.friction_slope_model)};
        case 5:
            return {c(p.element_interfacing), c(p.pipe_capacity_model)};
        case 6:
            return {c(p.pipe_flow_rate), c(p.mainstream_selection)};
        default:
            return {c(p.sizing_increment), c(p.existing_element_telescoping)};
    }
}

TEST_F(ControlFileTest, PackedOptionsUnpackWithTheirTensDefaults)
{
    const std::vector<PackedCase> cases = {
        {1, "1", 0, 1}, {1, "11", 1, 1}, {1, "2", 0, 2},  {1, "32", 3, 2}, {2, "2", 1, 2},  {2, "41", 4, 1},
        {3, "1", 2, 1}, {3, "21", 2, 1}, {3, "12", 1, 2}, {4, "3", 2, 3},  {4, "14", 1, 4}, {5, "2", 1, 2},
        {6, "1", 2, 1}, {6, "31", 3, 1}, {7, "4", 1, 4},  {7, "43", 4, 3},
    };
    for (const PackedCase& c : cases) {
        SCOPED_TRACE("stored integer " + std::to_string(c.slot) + " = " + c.stored);
        std::vector<std::string> integers = {"1", "11", "21", "22", "11", "21", "11"};
        integers[static_cast<std::size_t>(c.slot - 1)] = c.stored;
        std::string line2;
        for (const auto& value : integers) line2 += " " + value;
        directory_.put("ABcontzz.zzz", "1 8 3 18 .0015 .002 .013 .85 1\r\n" + line2 + " 0\r\n");

        ControlParameters p;
        HglControlTable table;
        ASSERT_TRUE(load_control_file(session_, "AB", p, table));
        EXPECT_EQ(options_of_slot(p, c.slot), std::make_pair(c.tens, c.units));
        for (int other = 1; other <= 7; ++other) {
            if (other != c.slot) {
                EXPECT_EQ(options_of_slot(p, other), options_of_slot(ControlParameters{}, other))
                    << "stored integer " << other;
            }
        }
    }
}

TEST_F(ControlFileTest, ReadsGoOnOverLinesAndControlLinesByColumns)
{
    directory_.put("ABcontzz.zzz",
                   "2.0 9.0 4.0 24.0 0.003\r\n"
                   "0.004 0.02 0.95 1.5\r\n"
                   " 12 42 22 24 11 31 23 2\r\n"
                   "   12345     1234\r\n"  // no decimal points: placed by the layout
                   "   -401.5   -12.50\r\n"
                   "   999.9      1.00\r\n");  // beyond the count: not read
    ControlParameters p;
    HglControlTable table;
    ASSERT_TRUE(load_control_file(session_, "AB", p, table));
    EXPECT_EQ(p.min_clearance, 2.0f);
    EXPECT_EQ(p.envelope_min_friction_slope, 0.003f);
    EXPECT_EQ(p.default_min_friction_slope, 0.004f);
    EXPECT_EQ(p.hgl_control_offset, 1.5f);
    EXPECT_EQ(p.box_channel_flow_rate, SizingFlowRate::MaximumPeak);
    ASSERT_EQ(table.count(), 2);
    EXPECT_EQ(table.controls[0].node_number, 1234.5f);
    EXPECT_EQ(table.controls[0].elevation, 12.34f);
    EXPECT_EQ(table.controls[1].node_number, -401.5f);
    EXPECT_EQ(table.controls[1].elevation, -12.5f);

    directory_.put("ABcontzz.zzz",
                   "1 8 3 18 .0015 .002 .013 .85 1\r\n 1 11 21 22 11 21 11 0\r\n"
                   "   1234.5   102.35\r\n");
    ASSERT_TRUE(load_control_file(session_, "AB", p, table));
    EXPECT_EQ(table.count(), 0);  // a count of 0 reads no control line
}

// A hand-edited control file may end a read with a slash: the settings after
// it keep the values held in memory (a data base, by contrast, refuses one).
TEST_F(ControlFileTest, ASlashEndsAReadAndKeepsTheSettingsAfterIt)
{
    directory_.put("ABcontzz.zzz",
                   "2.0 9.0 4.0 / the rest as they are\r\n"
                   " 12 42 / \r\n"
                   "   1234.5   102.35\r\n");  // the count of control lines kept too
    ControlParameters p = edited_settings();
    HglControlTable table{{{5.0f, 6.0f}}};
    ASSERT_TRUE(load_control_file(session_, "AB", p, table));
    EXPECT_EQ(p.min_clearance, 2.0f);
    EXPECT_EQ(p.min_velocity, 4.0f);
    EXPECT_EQ(p.min_pipe_diameter, 24.0f);
    EXPECT_EQ(p.envelope_manning_n, 0.015f);
    EXPECT_EQ(p.friction_slope_proportion, 0.855f);
    EXPECT_EQ(p.sizing_increment, SizingIncrement::QuarterFootIncrement);
    ASSERT_EQ(table.count(), 1);
    EXPECT_EQ(table.controls[0].node_number, 1234.5f);
}

TEST_F(ControlFileTest, MissingFileChangesNothingAndCreatesNoFile)
{
    ControlParameters p = edited_settings();
    HglControlTable table{{{5.0f, 6.0f}}};
    EXPECT_FALSE(load_control_file(session_, "AB", p, table));
    EXPECT_EQ(p.min_clearance, 2.5f);
    EXPECT_EQ(p.friction_slope_model, FrictionSlopeModel::BalancedHglWithUserSlopes);
    EXPECT_EQ(table.count(), 1);
    EXPECT_FALSE(fs::exists("ABcontzz.zzz"));
}

// A directory at the control file's name is no missing file, which would
// open the settings screens for a new study: it is refused, named, whatever
// the case of its name.
TEST_F(ControlFileTest, ADirectoryAtTheFileNameIsRefused)
{
    for (const char* name : {"ABcontzz.zzz", "ABCONTZZ.ZZZ"}) {
        SCOPED_TRACE(name);
        expect_load_refused([name] { fs::create_directory(name); },
                            "Cannot read file 'ABcontzz.zzz': it is a directory, not a file");
        EXPECT_TRUE(fs::is_directory(name)) << "left as it was";
        fs::remove(name);
    }
}

TEST_F(ControlFileTest, UnreadableFilesNameTheFileAndLeaveTheSettings)
{
    struct BadFile {
        std::string what;
        std::string content;
        std::string message_part;
    };
    const std::vector<BadFile> cases = {
        {"empty", "", "ABcontzz.zzz"},
        {"letters among the reals", "1 8 x3 18 .0015 .002 .013 .85 1\r\n 1 11 21 22 11 21 11 0\r\n", "ABcontzz.zzz"},
        {"no option line", "1 8 3 18 .0015 .002 .013 .85 1\r\n", "ABcontzz.zzz"},
        {"fraction among the integers", "1 8 3 18 .0015 .002 .013 .85 1\r\n 1 11 21 22 11 21 1.5 0\r\n",
         "ABcontzz.zzz"},
        {"fewer control lines than counted",
         "1 8 3 18 .0015 .002 .013 .85 1\r\n 1 11 21 22 11 21 11 3\r\n   1234.5   102.35\r\n", "line 3"},
        {"letters in a control line",
         "1 8 3 18 .0015 .002 .013 .85 1\r\n 1 11 21 22 11 21 11 1\r\n   12x4.5   102.35\r\n", "line 3"},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.what);
        expect_load_refused(c.content, c.message_part);
    }
}

// A NaN or an infinity is no setting, wherever it stands in the file: the
// load refuses it with the file, the line and the value, as a data base
// refuses a bad value, and leaves the settings as they were.
TEST_F(ControlFileTest, NotANumberOrInfinityIsRefusedAtEveryValue)
{
    const std::vector<std::string> defaults = {"1", "8", "3", "18", ".0015", ".002", ".013", ".85", "1"};
    const std::string options = " 1 11 21 22 11 21 11 0\r\n";
    struct Spoiled {
        std::string what;
        std::string content;
        std::string message_part;
    };
    std::vector<Spoiled> cases;
    for (const std::string& bad :
         std::vector<std::string>{"NaN", "nan", "Inf", "-Infinity", "1e39", "-1.0E+40", "2*NaN"}) {
        for (std::size_t k = 0; k < defaults.size(); ++k) {
            std::string line;
            for (std::size_t j = 0; j < defaults.size(); ++j) {
                if (j != k) {
                    line += " " + defaults[j];
                } else {
                    line += " " + bad;
                    if (bad.starts_with("2*")) ++j;  // the repeat stands for two values
                }
            }
            cases.push_back({bad + " as value " + std::to_string(k + 1), line + "\r\n" + options,
                             "line 1, value " + std::to_string(k + 1) + ": not a number"});
        }
    }
    cases.push_back(
        {"reals over two lines", "1 8 3 18 .0015\r\n.002 inf .85 1\r\n" + options, "line 2, value 7: not a number"});
    cases.push_back({"HGL control elevation",
                     "1 8 3 18 .0015 .002 .013 .85 1\r\n 1 11 21 22 11 21 11 2\r\n   1234.5   102.35\r\n"
                     "   1240.5      NaN\r\n",
                     "line 4, value 2: not a number"});
    cases.push_back({"HGL control node",
                     "1 8 3 18 .0015 .002 .013 .85 1\r\n 1 11 21 22 11 21 11 1\r\n     -Inf   102.35\r\n",
                     "line 3, value 1: not a number"});
    for (const Spoiled& c : cases) {
        SCOPED_TRACE(c.what);
        expect_load_refused(c.content, "\"ABcontzz.zzz\", " + c.message_part);
    }
}

// The save never writes a NaN or an infinity, which its own load would
// refuse: the old file stays.
TEST_F(ControlFileTest, SaveRefusesValuesThatAreNoNumbers)
{
    struct Spoiled {
        std::string what;
        void (*spoil)(ControlParameters&, HglControlTable&);
    };
    const std::vector<Spoiled> cases = {
        {"NaN clearance", [](ControlParameters& p, HglControlTable&) { p.min_clearance = std::nanf(""); }},
        {"infinite Manning's n",
         [](ControlParameters& p, HglControlTable&) { p.envelope_manning_n = std::numeric_limits<float>::infinity(); }},
        {"NaN control elevation",
         [](ControlParameters&, HglControlTable& t) {
             t.controls.push_back({1.0f, 2.0f});
             t.controls.push_back({3.0f, std::nanf("")});
         }},
    };
    save_control_file(session_, "AB", ControlParameters{}, HglControlTable{});
    const std::string before = directory_.get("ABcontzz.zzz");
    for (const Spoiled& c : cases) {
        SCOPED_TRACE(c.what);
        ControlParameters p;
        HglControlTable table;
        c.spoil(p, table);
        EXPECT_THROW(save_control_file(session_, "AB", p, table), FileError);
        EXPECT_EQ(directory_.get("ABcontzz.zzz"), before);
    }
}

TEST_F(ControlFileTest, SaveRefusesValuesTheirFieldsCannotHold)
{
    struct Overflow {
        std::string what;
        void (*spoil)(ControlParameters&, HglControlTable&);
    };
    const std::vector<Overflow> cases = {
        {"clearance beyond F8.2", [](ControlParameters& p, HglControlTable&) { p.max_clearance = 123456.0f; }},
        {"slope beyond F8.4", [](ControlParameters& p, HglControlTable&) { p.envelope_manning_n = 1000.0f; }},
        {"packed pair beyond I2", [](ControlParameters& p, HglControlTable&) { p.low_slope_flag_mode = 10; }},
        {"negative packed pair beyond I2",
         [](ControlParameters& p, HglControlTable&) { p.box_channel_flow_rate = static_cast<SizingFlowRate>(-2); }},
        {"node number beyond F8.1",
         [](ControlParameters&, HglControlTable& t) {
             t.controls.push_back({12345678.0f, 1.0f});
         }},
        {"elevation beyond F8.2",
         [](ControlParameters&, HglControlTable& t) {
             t.controls.push_back({1.0f, -12345.0f});
         }},
        {"count beyond I4",
         [](ControlParameters&, HglControlTable& t) {
             t.controls.assign(10000, {1.0f, 1.0f});
         }},
    };
    save_control_file(session_, "AB", ControlParameters{}, HglControlTable{});
    const std::string before = directory_.get("ABcontzz.zzz");
    for (const Overflow& c : cases) {
        SCOPED_TRACE(c.what);
        ControlParameters p;
        HglControlTable table;
        c.spoil(p, table);
        try {
            save_control_file(session_, "AB", p, table);
            ADD_FAILURE() << "saved";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("ABcontzz.zzz"), std::string::npos);
        }
        EXPECT_EQ(directory_.get("ABcontzz.zzz"), before);
    }
}

TEST_F(ControlFileTest, FileLivesInTheStudyDataDirectory)
{
    fs::create_directory("data");
    directory_.put("ABMPDZZ.ZZZ", "data/STUDY.TXT\r\n");
    save_control_file(session_, "AB", edited_settings(), HglControlTable{});
    EXPECT_TRUE(fs::exists("data/ABcontzz.zzz"));
    EXPECT_FALSE(fs::exists("ABcontzz.zzz"));

    ControlParameters p;
    HglControlTable table;
    ASSERT_TRUE(load_control_file(session_, "AB", p, table));
    EXPECT_EQ(p.max_clearance, 12.25f);
}

}  // namespace
}  // namespace velm
