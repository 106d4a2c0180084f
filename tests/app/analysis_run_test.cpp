#include "app/analysis_run.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/report_header.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/model_list.h"
#include "support/program_run.h"
#include "support/record_edits.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"
#include "support/small_studies.h"
#include "support/study_builder.h"

namespace velm {
namespace {

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string blanks(int n)
{
    return std::string(static_cast<std::size_t>(n), ' ');
}

// Row r (1 to 24) of a screen as the scripted window dumps it (trailing
// blanks dropped).
std::string row_of(const std::string& dump, int r)
{
    std::istringstream rows(dump);
    std::string row;
    for (int k = 1; k <= r; ++k) std::getline(rows, row);
    return row;
}

// ---------------------------------------------------------------------------
// Title box and section I

const Lines TITLE_BOX = {
    "",
    blanks(20) + "*-----------------------*",
    blanks(20) + "* POST-PROCESSOR REPORT *",
    blanks(20) + "*   FOR STUDY ID [AB]   *",
    blanks(20) + "*-----------------------*",
    "",
    blanks(5) + "I. USER-SELECTED POSTPROCESSOR OPTIONS AND SETTINGS:",
    "",
    blanks(4) + "*FRICTION-SLOPE MODEL to be used for estimating the normal depth",
    blanks(5) + "(or pressure flow) friction-slope, Sf, for each link:",
    blanks(5) + "(Note: Selected Sf model will be used as a parameter to model",
    blanks(5) + "existing system elements and also for sizing new system elements.)",
};

// The texts of section I under the default settings, block by block; each
// case of the table below replaces the blocks its settings change.
struct SectionOne {
    Lines slope_model = {
        "",
        blanks(5) + "Use BALANCED HGL Estimation Module results as the approximation of",
        blanks(5) + "the friction-slope. Model Settings are:",
    };
    Lines slope_settings = {
        "",
        blanks(7) + "Minimum Allowable Flow Velocity for Peak flow rate(fps) =  3.00",
        blanks(7) + "Minimum Allowable Friction-Slope, Sf, = 0.0015",
        blanks(7) + "Manning's Friction Factor used to estimate HGL Envelopes = 0.0130",
        blanks(7) + "(Note: Above values will be used to Define TOP and BOTTOM HGL",
        blanks(7) + "Envelopes for each STRING)",
        blanks(7) + "Minimum Allowable Clearance(feet) Between topography and",
        blanks(7) + "HGL or Soffit =  1.00",
        blanks(7) + "Maximum Allowable Clearance(feet) Between topography and",
        blanks(7) + "HGL or Soffit =   8.00",
    };
    Lines hydraulic_control = {
        "",
        blanks(4) + "*HYDRAULIC CONTROL MODEL to be used for each string:",
        blanks(5) + "Use TOP HGL ENVELOPE, at downstream node of string, minus an offset,",
        blanks(5) + "to define downstream Hydraulic Control for each system Trunk Line.",
        "",
        blanks(7) + "OFFSET (feet) to define downstream Hydraulic Control for each",
        blanks(5) + "string =   1.00",
    };
    Lines main_line = {
        "",
        blanks(4) + "*At a confluence, several upstream branches merge into one outlet.",
        blanks(5) + "In order to choose which branch is the MAIN-LINE:",
        blanks(5) + "Select BRANCH that has the LARGEST PEAK FLOW RATE",
    };
    Lines capacity_model = {
        "",
        blanks(4) + "*MODEL for sizing new system elements and for estimating existing",
        blanks(5) + "system element flow capacities (e.g., for each link):",
        blanks(5) + "Size all elements as pipes, flowing at full flow capacity",
        blanks(5) + "(or 0.82*Diameter as normal depth)",
    };
    Lines capacity_telescoping = {
        "",
        blanks(4) + "*System element(i.e., pipe, box, channel) FLOW CAPACITY sizing",
        blanks(5) + "constraints:",
        blanks(5) + "On a STRING BASIS, size each link element to have a flow capacity",
        blanks(5) + "(or normal depth flow rate) greater than or equal to upstream",
        blanks(5) + "elements' target flow rate (i.e., the estimated target deficiency",
        blanks(5) + "mitigation).",
    };
    Lines area_telescoping = {
        "",
        blanks(4) + "*System element SIZE constraints (Note: this Telescoping module only",
        blanks(5) + "analyzes Links on a STRING BASIS. At a confluence, or Junction of",
        blanks(5) + "Branch lines, only the MAIN LINE is considered in this Telescoping",
        blanks(5) + "analysis):",
        blanks(5) + "Size each pipe link element to have a pipe cross-section area greater",
        blanks(5) + "than or equal to the upstream element's pipe cross-section area.",
        blanks(5) + "(e.g., do NOT allow reduction in cross-section area)",
    };
    Lines existing_elements = {
        "",
        blanks(4) + "*OPTION regarding telescoping EXISTING ELEMENTs:",
        blanks(5) + "Apply above telescoping rules to EXISTING SYSTEMs",
    };
    Lines pipe_diameter = {
        "",
        blanks(4) + "*MINIMUM ALLOWABLE Pipe DIAMETER(inches) = 18.",
        blanks(5) + "The PROGRAM estimates pipe sizes using Manning's equation,",
        blanks(5) + "with the friction slope set equal to the Value estimated by",
        blanks(5) + "YOUR selected Friction Slope Modeling Option.  The PROGRAM",
        blanks(5) + "next upsizes to a CONSTRUCTABLE pipe size.  The USER-",
        blanks(5) + "specified proportion (0.850) of the Estimated Friction Slope",
        blanks(5) + "to be used for the pipeflow friction slope.",
    };
    Lines pipe_flow_rate = {
        "",
        blanks(4) + "*Total Flow Pickup Pipe sizing used Link Downstream Node Peak Flow Rate.",
    };
    Lines box_channel_flow_rate = {
        blanks(4) + "*Box or Channel sizing used Link Upstream Node Peak Flow Rate.",
    };

    Lines lines() const
    {
        return TITLE_BOX + slope_model + slope_settings + hydraulic_control + main_line + capacity_model +
               capacity_telescoping + area_telescoping + existing_elements + pipe_diameter + pipe_flow_rate +
               box_channel_flow_rate;
    }
};

const Lines TOPOGRAPHIC_DEFAULT_SLOPE = {"", blanks(5) + "DEFAULT Minimum Friction-Slope, Sf, = 0.0020"};
const Lines USER_DEFINED_CONTROL = {
    "",
    blanks(4) + "*User defines Downstream HGL CONTROL for each system",
    blanks(5) + "Trunk Line.",
};
const Lines EXISTING_HEADING = {"", blanks(4) + "*OPTION regarding telescoping EXISTING ELEMENTs:"};
const Lines RETAIN_EXISTING = {blanks(5) + "Do NOT Apply above telescoping rules to EXISTING SYSTEMs"};
const Lines TELESCOPE_AS_REPLACED = {
    blanks(5) + "Except that new system elements located",
    blanks(5) + "downstream of retained Existing System elements will be",
    blanks(5) + "telescoped as though the Existing System elements had been",
    blanks(5) + "telescoped (i.e., this models an anticipated future",
    blanks(5) + "telescoped system when all RETAINED existing system elements",
    blanks(11) + "are eventually replaced).",
};
const Lines USE_MAXIMUM = {
    blanks(5) + "EXCEPT, use the maximum of the Existing",
    blanks(5) + "System or Future (New) System, in Telescoping Downstream",
    blanks(5) + "Elements (i.e., this OPTION may be consistent with both",
    blanks(5) + "Future and Retained Existing System Elements).",
};
const Lines AVERAGE_PEAKS = {blanks(5) + "Link Upstream and Downstream Node Peak Flow Rates."};

template <typename Option>
Option option(int value)
{
    return static_cast<Option>(value);
}

TEST(ReportHeader, DefaultSettings)
{
    EXPECT_EQ(report_header_lines("AB", ControlParameters{}), SectionOne{}.lines());
}

TEST(ReportHeader, EachSettingWritesItsOwnTexts)
{
    struct Case {
        const char* name;
        void (*set)(ControlParameters&);
        void (*expect)(SectionOne&);
    };
    const std::vector<Case> cases = {
        {"topographic slope: the default minimum slope, and the user's controls whatever the control model",
         [](ControlParameters& c) { c.friction_slope_model = FrictionSlopeModel::TopographicSlope; },
         [](SectionOne& s) {
             s.slope_model = {"", blanks(5) +
                                      "Use topographic slope, constrained by a DEFAULT MINIMUM slope. "
                                      "Model Settings are:"};
             s.slope_settings = TOPOGRAPHIC_DEFAULT_SLOPE;
             s.hydraulic_control = USER_DEFINED_CONTROL;
         }},
        {"topographic slope with user slopes",
         [](ControlParameters& c) {
             c.friction_slope_model = FrictionSlopeModel::TopographicWithUserSlopes;
             c.default_min_friction_slope = 0.00125f;
         },
         [](SectionOne& s) {
             s.slope_model = {"", blanks(5) + "Use topographic slope, constrained by a DEFAULT MINIMUM slope,",
                              blanks(5) + "EXCEPT use user-specified slopes whenever available. Model Settings are:"};
             s.slope_settings = {"", blanks(5) + "DEFAULT Minimum Friction-Slope, Sf, = 0.0012"};
             s.hydraulic_control = USER_DEFINED_CONTROL;
         }},
        {"internal HGL with user slopes keeps the envelope settings",
         [](ControlParameters& c) {
             c.friction_slope_model = FrictionSlopeModel::BalancedHglWithUserSlopes;
             c.min_velocity = 2.5f;
             c.envelope_manning_n = 0.014f;
             c.min_clearance = 0.5f;
             c.max_clearance = 12.25f;
         },
         [](SectionOne& s) {
             s.slope_model = {"", blanks(5) + "Use internal HGL Estimation Module results as the approximation of",
                              blanks(5) +
                                  "the friction-slope, EXCEPT use user-specified slopes whenever "
                                  "available. Model Settings are:"};
             s.slope_settings[1] = blanks(7) + "Minimum Allowable Flow Velocity for Peak flow rate(fps) =  2.50";
             s.slope_settings[3] = blanks(7) + "Manning's Friction Factor used to estimate HGL Envelopes = 0.0140";
             s.slope_settings[7] = blanks(7) + "HGL or Soffit =  0.50";
             s.slope_settings[9] = blanks(7) + "HGL or Soffit =  12.25";
         }},
        {"friction-slope model outside its set",
         [](ControlParameters& c) { c.friction_slope_model = option<FrictionSlopeModel>(5); },
         [](SectionOne& s) {
             s.slope_model = {};
             s.slope_settings = {};
         }},
        {"user-defined controls with the balanced HGL",
         [](ControlParameters& c) { c.hydraulic_control_model = HydraulicControlModel::UserDefinedControl; },
         [](SectionOne& s) { s.hydraulic_control = USER_DEFINED_CONTROL; }},
        {"control offset", [](ControlParameters& c) { c.hgl_control_offset = 2.75f; },
         [](SectionOne& s) { s.hydraulic_control.back() = blanks(5) + "string =   2.75"; }},
        {"longest branch as the main line",
         [](ControlParameters& c) { c.mainstream_selection = MainstreamSelection::LongestBranch; },
         [](SectionOne& s) { s.main_line.pop_back(); }},
        {"pipes at 0.93 of the diameter",
         [](ControlParameters& c) { c.pipe_capacity_model = PipeCapacityModel::NormalDepthCapacity; },
         [](SectionOne& s) {
             s.capacity_model.resize(3);
             s.capacity_model.push_back(blanks(5) +
                                        "Size all elements as pipes, flowing at 0.93*Diameter as "
                                        "normal depth");
         }},
        {"capacity model outside its set",
         [](ControlParameters& c) { c.pipe_capacity_model = option<PipeCapacityModel>(0); },
         [](SectionOne& s) { s.capacity_model.resize(3); }},
        {"bubble-up systems",
         [](ControlParameters& c) { c.capacity_telescoping = CapacityTelescoping::IndependentSizing; },
         [](SectionOne& s) {
             s.capacity_telescoping.resize(3);
             s.capacity_telescoping.push_back(blanks(5) +
                                              "Size each link element independent of the upstream "
                                              "element");
             s.capacity_telescoping.push_back(blanks(5) + "(e.g., ALLOW \"bubble-up\" systems)");
         }},
        {"pipe areas may shrink",
         [](ControlParameters& c) { c.pipe_area_telescoping = AreaTelescoping::IndependentSizing; },
         [](SectionOne& s) {
             s.area_telescoping.resize(5);
             s.area_telescoping.push_back(blanks(5) +
                                          "Size each link element independent of the upstream "
                                          "element.");
             s.area_telescoping.push_back(blanks(5) + "(e.g., allow reduction in cross-section area)");
         }},
        {"existing elements retained",
         [](ControlParameters& c) { c.existing_element_telescoping = ExistingElementTelescoping::RetainExisting; },
         [](SectionOne& s) { s.existing_elements = EXISTING_HEADING + RETAIN_EXISTING; }},
        {"existing elements retained, new ones telescoped as if replaced",
         [](ControlParameters& c) {
             c.existing_element_telescoping = ExistingElementTelescoping::RetainExistingTelescopeAsReplaced;
         },
         [](SectionOne& s) { s.existing_elements = EXISTING_HEADING + RETAIN_EXISTING + TELESCOPE_AS_REPLACED; }},
        {"existing elements retained, the larger system telescoped",
         [](ControlParameters& c) {
             c.existing_element_telescoping = ExistingElementTelescoping::RetainExistingUseMaximum;
         },
         [](SectionOne& s) {
             s.existing_elements = EXISTING_HEADING + RETAIN_EXISTING + TELESCOPE_AS_REPLACED + USE_MAXIMUM;
         }},
        {"existing-element option above its set",
         [](ControlParameters& c) { c.existing_element_telescoping = option<ExistingElementTelescoping>(5); },
         [](SectionOne& s) { s.existing_elements = EXISTING_HEADING + RETAIN_EXISTING + TELESCOPE_AS_REPLACED; }},
        {"existing-element option below its set",
         [](ControlParameters& c) { c.existing_element_telescoping = option<ExistingElementTelescoping>(0); },
         [](SectionOne& s) { s.existing_elements = EXISTING_HEADING; }},
        {"minimum diameter and pipe-flow proportion",
         [](ControlParameters& c) {
             c.min_pipe_diameter = 60.0f;
             c.friction_slope_proportion = 0.0065f;
         },
         [](SectionOne& s) {
             s.pipe_diameter[1] = blanks(4) + "*MINIMUM ALLOWABLE Pipe DIAMETER(inches) = 60.";
             s.pipe_diameter[6] = blanks(5) + "specified proportion (0.007) of the Estimated Friction Slope";
         }},
        {"pipes sized for the upstream peak, boxes and channels for the downstream peak",
         [](ControlParameters& c) {
             c.pipe_flow_rate = SizingFlowRate::UpstreamNodePeak;
             c.box_channel_flow_rate = SizingFlowRate::DownstreamNodePeak;
         },
         [](SectionOne& s) {
             s.pipe_flow_rate[1] = blanks(4) +
                                   "*Total Flow Pickup Pipe sizing used Link Upstream Node Peak Flow "
                                   "Rate.";
             s.box_channel_flow_rate = {blanks(4) + "*Box or Channel sizing used Link Downstream Node Peak Flow Rate."};
         }},
        {"both sized for the average peak",
         [](ControlParameters& c) {
             c.pipe_flow_rate = SizingFlowRate::AveragePeak;
             c.box_channel_flow_rate = SizingFlowRate::AveragePeak;
         },
         [](SectionOne& s) {
             s.pipe_flow_rate = Lines{"", blanks(4) + "*Total Flow Pickup Pipe sizing used Average of"} + AVERAGE_PEAKS;
             s.box_channel_flow_rate = Lines{blanks(4) + "*Box or Channel sizing used Average of"} + AVERAGE_PEAKS;
         }},
        {"both sized for the larger peak",
         [](ControlParameters& c) {
             c.pipe_flow_rate = SizingFlowRate::MaximumPeak;
             c.box_channel_flow_rate = SizingFlowRate::MaximumPeak;
         },
         [](SectionOne& s) {
             s.pipe_flow_rate = Lines{"", blanks(4) + "*Total Flow Pickup Pipe sizing used Maximum of"} + AVERAGE_PEAKS;
             s.box_channel_flow_rate = Lines{blanks(4) + "*Box or Channel sizing used Maximum of"} + AVERAGE_PEAKS;
         }},
        {"sizing flow rates outside their set",
         [](ControlParameters& c) {
             c.pipe_flow_rate = option<SizingFlowRate>(0);
             c.box_channel_flow_rate = option<SizingFlowRate>(5);
         },
         [](SectionOne& s) {
             s.pipe_flow_rate = {};
             s.box_channel_flow_rate = {};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ControlParameters controls;
        c.set(controls);
        SectionOne expected;
        c.expect(expected);
        EXPECT_EQ(report_header_lines("AB", controls), expected.lines());
    }
}

TEST(ReportHeader, TitleBoxNamesTheStudyAndNoLineCanBeTakenForADelimiter)
{
    const Lines lines = report_header_lines("XY", ControlParameters{});
    EXPECT_EQ(lines.at(3), blanks(20) + "*   FOR STUDY ID [XY]   *");
    // The comparison of two reports takes line 2 as their signature and
    // counts lines that begin with a rule as section delimiters.
    EXPECT_EQ(lines.at(1).substr(20, 25), "*-----------------------*");
    for (const std::string& line : lines) EXPECT_NE(line.substr(0, 10), " *--------") << line;
}

// ---------------------------------------------------------------------------
// The data file table and the study's model type

class DataFileTableTest : public test::SessionTest {
protected:
    // A model file whose header begins with these values.
    static void write_model_header(const std::string& name, const std::vector<float>& values)
    {
        RecordFile file(name, RecordFile::Open::New);
        for (float value : values) file.write_value(value);
        file.close_keep();
    }
    static void write_list(const std::vector<std::string>& entries)
    {
        std::vector<ModelListEntry> list;
        for (const std::string& entry : entries) list.push_back(make_model_list_entry(entry));
        write_model_list_file("ABTRVLZZ.Z11", list);
    }

    DataFileTable read_table() { return read_data_file_table(session_, "AB", controls_, settings_); }
    // The reason of the stop of a refused study.
    std::string refusal()
    {
        window_.type("");
        try {
            read_table();
        } catch (const ProgramStop& stop) {
            EXPECT_EQ(window_.lines_left(), 0u);
            return stop.reason;
        }
        return "not refused";
    }

    ControlParameters controls_{};
    RunSettings settings_{};
};

TEST_F(DataFileTableTest, MapsInListOrderWithTheFirstMapsTypeAndExtension)
{
    write_model_header("AB0101ZZ.Z12", {1.0f, 9.0f, 3.0f});
    write_list({"AB0101ZZ.Z12", "AB0102ZZ.Z11", "AB0205ZZ.Z11"});
    const DataFileTable table = read_table();
    EXPECT_EQ(table.data_file_names, (Lines{"AB0101ZZ", "AB0102ZZ", "AB0205ZZ"}));
    EXPECT_EQ(table.model_file_extension, "Z12");
    EXPECT_EQ(table.study_id, "AB");
    EXPECT_EQ(settings_.model_type_code, 9) << "later model files are not opened";
}

TEST_F(DataFileTableTest, EntriesBeforeTheFirstMapAreOpenedAndTestedButNotTaken)
{
    // "1..." sorts before "A": no map; its model file is still opened.
    write_model_header("1B0101ZZ.Z11", {1.0f, 9.0f});
    write_model_header("AB0101ZZ.Z12", {1.0f, 6.7f});
    write_list({"1B0101ZZ.Z11", "AB0101ZZ.Z12", "#comment", "AB0102ZZ.Z11"});
    const DataFileTable table = read_table();
    EXPECT_EQ(table.data_file_names, (Lines{"AB0101ZZ", "AB0102ZZ"}));
    EXPECT_EQ(table.model_file_extension, "Z12");
    EXPECT_EQ(settings_.model_type_code, 6);

    write_model_header("1B0101ZZ.Z11", {1.0f, -9.0f});
    EXPECT_EQ(refusal(), "model files in metric units") << "a skipped entry's model file is tested too";
}

TEST_F(DataFileTableTest, ListBeyondFourHundredMapsKeepsEveryMap)
{
    write_model_header("AB0100ZZ.Z11", {1.0f, 6.0f});
    std::vector<std::string> entries;
    for (int map = 100; map < 550; ++map) entries.push_back("AB0" + std::to_string(map) + "ZZ.Z11");
    write_list(entries);
    const DataFileTable table = read_table();
    ASSERT_EQ(table.data_file_count(), 450);
    EXPECT_EQ(table.data_file_names.back(), "AB0549ZZ");
}

TEST_F(DataFileTableTest, CountyStudyWithoutEnvelopeManningNTakesTheCountyValue)
{
    struct Case {
        float manning_n;
        float model_type_value;
        FrictionSlopeModel slope_model;
        float expected;
    };
    const std::vector<Case> cases = {
        {0.0f, 6.0f, FrictionSlopeModel::TopographicWithUserSlopes, 0.014f},
        {0.0f, -6.0f, FrictionSlopeModel::TopographicSlope, 0.014f},  // metric, refused below
        {-0.01f, 6.2f, FrictionSlopeModel::TopographicSlope, 0.014f},
        {0.0f, 9.0f, FrictionSlopeModel::TopographicWithUserSlopes, 0.0f},
        {0.0f, 6.0f, FrictionSlopeModel::BalancedHglSlope, 0.0f},
        {0.0f, 6.0f, FrictionSlopeModel::BalancedHglWithUserSlopes, 0.0f},
        {0.013f, 6.0f, FrictionSlopeModel::TopographicSlope, 0.013f},
    };
    write_list({"AB0101ZZ.Z11"});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.manning_n << " type " << c.model_type_value << " model "
                                        << static_cast<int>(c.slope_model));
        write_model_header("AB0101ZZ.Z11", {1.0f, c.model_type_value});
        controls_.envelope_manning_n = c.manning_n;
        controls_.friction_slope_model = c.slope_model;
        if (c.model_type_value > 0.0f) {
            read_table();
        } else {
            EXPECT_EQ(refusal(), "model files in metric units");
        }
        EXPECT_EQ(controls_.envelope_manning_n, c.expected);
        EXPECT_EQ(controls_.envelope_manning_n, c.expected);
    }
}

TEST_F(DataFileTableTest, StudiesTheRunCannotAnalyseAreRefusedOnAClearScreen)
{
    struct Case {
        const char* name;
        std::vector<std::string> entries;
        std::vector<float> header;  // of AB0101ZZ.Z11; none: the file is missing
        bool model_file = true;
        std::string reason;
        Lines screen;  // rows 5 on
    };
    const std::vector<Case> cases = {
        {"metric units",
         {"AB0101ZZ.Z11"},
         {1.0f, 0.0f},
         true,
         "model files in metric units",
         {"    * Warning: Data File in Metric Units,", "     Post-Processor is not Available !"}},
        {"first model file missing",
         {"AB0101ZZ.Z11"},
         {},
         false,
         "first model file missing",
         {"    * Warning: Link-Node Model File", "     [AB0101ZZ.Z11]",
          "     does not exist: Post-Processor is not Available !"}},
        {"first model file with one value",
         {"AB0101ZZ.Z11"},
         {1.0f},
         true,
         "first model file has no header",
         {"    * Warning: Link-Node Model File", "     [AB0101ZZ.Z11]",
          "     holds no model header: Post-Processor is not Available !"}},
        {"list without an entry",
         {},
         {1.0f, 6.0f},
         true,
         "model list names no model file",
         {"    * Warning: Link-Node Model List File", "     [ABTRVLZZ.Z11]",
          "     names no model file: Post-Processor is not Available !"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        std::filesystem::remove("AB0101ZZ.Z11");
        if (c.model_file) write_model_header("AB0101ZZ.Z11", c.header);
        write_list(c.entries);
        EXPECT_EQ(refusal(), c.reason);
        const std::string& screen = window_.reads().at(0);
        for (std::size_t k = 0; k < c.screen.size(); ++k)
            EXPECT_EQ(row_of(screen, 5 + static_cast<int>(k)), c.screen[k]);
        EXPECT_EQ(row_of(screen, 24), blanks(32) + "  Press RETURN to continue ===>");
    }
}

TEST_F(DataFileTableTest, DeficiencyStepTakesTheMapsWithALinkDataBase)
{
    struct Case {
        const char* name;
        std::vector<std::string> link_data_bases;  // of the maps AB0101ZZ, AB0102ZZ, AB0201ZZ
        float default_min_slope;
        Lines processed;
        float expected_min_slope;
    };
    const std::string processing = "     PROCESSING DATA FILE....";
    const std::vector<Case> cases = {
        {"a map without its data base is passed over",
         {"AB0101ZZ.ZLL", "AB0201ZZ.ZLL"},
         0.0f,
         {processing + "AB0101ZZ" + blanks(42), processing + "AB0201ZZ" + blanks(42)},
         0.0015f},
        {"a set minimum slope is kept", {"AB0102ZZ.ZLL"}, 0.004f, {processing + "AB0102ZZ" + blanks(42)}, 0.004f},
        {"no map analysed leaves the slope unset", {}, -1.0f, {}, -1.0f},
    };
    DataFileTable table;
    table.data_file_names = {"AB0101ZZ", "AB0102ZZ", "AB0201ZZ"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        for (const std::string& stem : table.data_file_names) std::filesystem::remove(stem + ".ZLL");
        for (const std::string& name : c.link_data_bases) test::TemporaryDirectory::put(name, "");
        controls_.default_min_friction_slope = c.default_min_slope;
        controls_.envelope_min_friction_slope = 0.0015f;

        HglControlTable hgl_controls;
        RunContext run{session_, "AB", controls_, hgl_controls, settings_};
        run.data_files = table;
        run_deficiency_analysis(run);
        EXPECT_EQ(window_.clears(), 1);
        EXPECT_EQ(window_.row(2), blanks(4) + " * DEFICIENCY ANALYSIS *" + blanks(52));
        for (std::size_t k = 0; k < 3; ++k) {
            const std::string expected = k < c.processed.size() ? c.processed[k] + " " : blanks(80);
            EXPECT_EQ(window_.row(3 + static_cast<int>(k)), expected) << k;
        }
        EXPECT_EQ(controls_.default_min_friction_slope, c.expected_min_slope);
    }
}

// ---------------------------------------------------------------------------
// Option 1 executed on a study

using test::StudyBuilder;
using test::two_map_study;

// Replaces value 2 of a model file's header (the study's model type; zero
// or below marks metric data).
void set_model_type_value(const std::string& name, float value)
{
    std::vector<RecordBytes> records = decode_records(read_whole_file(name), name);
    records.at(1) = float_payload(value);
    replace_file_atomically(name, encode_records(records));
}

// Delimiters 21 to 30 of a report: the cross-check headings, then the
// statistics heading.
const Lines NETWORK_DELIMITERS =
    test::CROSS_CHECK_HEADINGS + Lines{"    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS"};

// Typed lines of an interactive run from the start to the end of an
// executed analysis: title pages, main menu, control menu, study, pause.
const Lines EXECUTE_FROM_MENU = {"", "1", "", "", "2", "AB", ""};

class AnalysisRunTest : public test::SessionTest {
protected:
    std::string run(const Lines& typed) { return test::run_program_to_stop(session_, window_, typed); }
    // A command file asking for option 1, sub-option 2 (execute) of the study.
    static void launch_execute(int count) { test::write_command_file("AB", count, 1, 2); }
};

TEST_F(AnalysisRunTest, ExecutedStudyGetsItsReport)
{
    ControlParameters topographic;
    topographic.friction_slope_model = FrictionSlopeModel::TopographicSlope;
    topographic.default_min_friction_slope = 0.0035f;

    struct Case {
        const char* name;
        bool launched;
        float model_type_value;
        ControlParameters controls;
        std::string data_directory;  // where the study files and the report are
        std::size_t delimiters;
    };
    const std::vector<Case> cases = {
        {"from the menu", false, 6.0f, ControlParameters{}, "", 30},
        {"launched", true, 6.0f, ControlParameters{}, "", 30},
        {"settings from the control file", false, 6.0f, topographic, "", 30},
        {"study files in a data directory", true, 6.0f, ControlParameters{}, "data/", 30},
        {"curve-number study: no cross-check, node sets or statistics", false, 10.0f, ControlParameters{}, "", 20},
        {"curve-number study, launched", true, 10.0f, ControlParameters{}, "", 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        StudyBuilder study = two_map_study(static_cast<int>(c.model_type_value));
        study.set_controls(c.controls);
        if (!c.data_directory.empty()) study.set_data_directory("data\\ABMPDZZ.ZZZ");
        study.write(directory.path());
        if (c.launched) launch_execute(1);
        test::TemporaryDirectory::put(c.data_directory + "ABTRVLZZ.DIA", "an earlier report\r\n");

        EXPECT_EQ(run(c.launched ? Lines{} : EXECUTE_FROM_MENU), "analysis run done");

        const Lines report = read_text_lines(c.data_directory + "ABTRVLZZ.DIA");
        const Lines header = report_header_lines("AB", c.controls);
        ASSERT_GE(report.size(), header.size() + 4);
        EXPECT_EQ(Lines(report.begin(), report.begin() + static_cast<long>(header.size())), header);
        const Lines section_two = {"\f", "", blanks(24) + "II. DIAGNOSTICS REPORT", ""};
        EXPECT_EQ(Lines(report.begin() + static_cast<long>(header.size()),
                        report.begin() + static_cast<long>(header.size() + 4)),
                  section_two);
        const std::vector<test::ReportDelimiter> delimiters = test::report_delimiters(report);
        ASSERT_EQ(delimiters.size(), c.delimiters);
        for (std::size_t k = 0; k < 20; ++k) EXPECT_EQ(delimiters[k].line, test::REPORT_RULE) << k + 1;
        Lines network_delimiters;
        for (std::size_t k = 20; k < delimiters.size(); ++k) network_delimiters.push_back(delimiters[k].line);
        EXPECT_EQ(network_delimiters, c.delimiters == 30 ? NETWORK_DELIMITERS : Lines{});
        EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), c.launched ? "99\r\n" : "");
        EXPECT_EQ(window_.dump(), std::string(24, '\n')) << "the run ends on a clear screen";
    }
}

TEST_F(AnalysisRunTest, RefusedStudyKeepsItsEarlierReportAndGetsNoReply)
{
    struct Case {
        const char* name;
        void (*spoil)(StudyBuilder&);
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"metric units", [](StudyBuilder&) { set_model_type_value("AB0101ZZ.Z11", -6.0f); },
         "model files in metric units"},
        {"first model file missing", [](StudyBuilder&) { std::filesystem::remove("AB0101ZZ.Z11"); },
         "first model file missing"},
        {"model list without an entry", [](StudyBuilder&) { write_model_list_file("ABTRVLZZ.Z11", {}); },
         "model list names no model file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        StudyBuilder study = two_map_study();
        study.write(directory.path());
        c.spoil(study);
        launch_execute(1);
        test::TemporaryDirectory::put("ABTRVLZZ.DIA", "an earlier report\r\n");

        EXPECT_EQ(run({""}), c.reason) << "the warning waits for RETURN";
        EXPECT_EQ(read_whole_file("ABTRVLZZ.DIA"), "an earlier report\r\n");
        EXPECT_FALSE(file_exists("QEVCOM2.DAT"));
    }
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// A model list whose entries all begin below "A" names no map: the run
// still goes through every step on the study the user named, and starts
// the study's network files afresh for the node-set check that reads them.
TEST_F(AnalysisRunTest, ListNamingNoMapRunsOnTheStudyItself)
{
    for (const bool launched : {false, true}) {
        SCOPED_TRACE(launched ? "launched" : "from the menu");
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        two_map_study().write(directory.path());
        std::filesystem::copy_file("AB0101ZZ.Z11", "0B0101ZZ.Z11");
        write_model_list_file("ABTRVLZZ.Z11", {make_model_list_entry("0B0101ZZ.Z11")});
        // Network files of an earlier run, which must not survive this one.
        test::TemporaryDirectory::put("ABSETCZZ.ZZZ", "an earlier confluence table\r\n");
        test::TemporaryDirectory::put("ABSETEZZ.ZZZ", "           1\r\n 10203.0\r\n");
        test::TemporaryDirectory::put("SETF.ZZZ", "           1\r\n 10101.0\r\n");
        if (launched) launch_execute(1);

        EXPECT_EQ(run(launched ? Lines{} : EXECUTE_FROM_MENU), "analysis run done");

        EXPECT_EQ(read_text_lines("ABSETCZZ.ZZZ"), (Lines{"          * C O N F L U E N C E    L I N K A G E S *",
                                                          "   D/S                        UPSTREAM NODES",
                                                          "  NODE       (1)       (2)       (3)       (4)       (5)"}));
        EXPECT_EQ(read_whole_file("ABSETEZZ.ZZZ"), "");
        EXPECT_EQ(read_whole_file("SETF.ZZZ"), "");
        const Lines report = read_text_lines("ABTRVLZZ.DIA");
        EXPECT_EQ(report.at(3), blanks(20) + "*   FOR STUDY ID [AB]   *");
        EXPECT_EQ(test::report_delimiters(report).size(), 30u);
        EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), launched ? "99\r\n" : "");
    }
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

using test::set_record_value;

// A NaN or an infinity in any storm event's model file or in a map's
// results file is no data: the run stops naming the file and the record,
// and the study keeps its earlier report.
TEST_F(AnalysisRunTest, NotANumberInALaterStormEventOrAResultsFileStopsTheRun)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        std::string file;
        std::size_t record;
        std::size_t position;
        float value;
        std::string message;
    };
    // A results group is records 1 to 61: the element record is record 2,
    // the hydrology record record 4.
    const std::vector<Case> cases = {
        {"model type of storm event 1", "AB0101ZZ.Z11", 2, 1, nan,
         "AB0101ZZ.Z11: record 2: the value nan is not a number within the range of a real"},
        {"return frequency of storm event 2", "AB0101ZZ.Z12", 12, 1, nan,
         "AB0101ZZ.Z12: record 12: the value nan is not a number within the range of a real"},
        {"subarea rule of storm event 2", "AB0101ZZ.Z12", 4, 1, infinity,
         "AB0101ZZ.Z12: record 4: the value inf is not a number within the range of a real"},
        {"return frequency of storm event 3", "AB0101ZZ.Z13", 12, 1, -infinity,
         "AB0101ZZ.Z13: record 12: the value -inf is not a number within the range of a real"},
        {"header value of storm event 2 the run does not use", "AB0101ZZ.Z12", 7, 1, nan,
         "AB0101ZZ.Z12: record 7: the value nan"},
        {"upstream node of a result", "AB0101ZZ.ZZZ", 2, 1, nan,
         "AB0101ZZ.ZZZ', record 2: value 1 of the element record is NaN, not a number within the range of a real"},
        {"travel time of a result", "AB0102ZZ.ZZZ", 4, 17, infinity,
         "AB0102ZZ.ZZZ', record 4: value 17 of the hydrology record is Infinity, not a number within the range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        StudyBuilder study("AB", 6, 3);
        study.add_node(10101.0f, 150.0f, {10.0f, 12.0f, 14.0f});
        study.add_node(10102.0f, 140.0f, {10.0f, 12.0f, 14.0f});
        study.add_node(10203.0f, 130.0f, {14.0f, 16.0f, 18.0f});
        study.add_initial_link(10101.0f, 10102.0f, 500.0f);
        study.add_link(10102.0f, 10203.0f, 600.0f, test::Element::pipe(2.0f));
        study.add_subarea(10101.0f, 4.0f);
        study.write(directory.path());
        {
            // The study as written runs to its end.
            test::TemporaryDirectory unspoiled;
            study.write(unspoiled.path());
            launch_execute(1);
            ASSERT_EQ(run({}), "analysis run done");
        }
        window_ = test::ScriptedWindow();
        set_record_value(c.file, c.record, c.position, c.value);
        launch_execute(1);
        test::TemporaryDirectory::put("ABTRVLZZ.DIA", "an earlier report\r\n");

        // Refused in the window, naming the file, until RETURN.
        EXPECT_EQ(run({""}), "analysis run: a file cannot be read or written");
        std::string shown;  // the message's lines joined again at their blanks
        for (int row = 21; row <= 23; ++row) {
            std::string line = test::snapshot_row(window_.reads().back(), row).substr(3);
            line.erase(line.find_last_not_of(' ') + 1);
            if (!line.empty()) shown += (shown.empty() ? "" : " ") + line;
        }
        EXPECT_NE(shown.find(c.message), std::string::npos) << window_.reads().back();
        EXPECT_EQ(read_whole_file("ABTRVLZZ.DIA"), "an earlier report\r\n");
        EXPECT_FALSE(file_exists("QEVCOM2.DAT"));
    }
}

// Wherever the disk fills up in a run, the refusal stands on a cleared
// window: no progress line of the steps beside it, under it or after it,
// and the pause prompt alone on its row.  A run with room enough finishes.
TEST_F(AnalysisRunTest, AFullDiskIsRefusedOnAClearedWindowAfterTheProgressLinesStop)
{
    const std::string heading = " * THE ANALYSIS RUN CANNOT BE MADE; NO FILE WAS CHANGED:";
    const std::string pause_row = blanks(32) + "  Press RETURN to continue ===>" + blanks(17);
    two_map_study(6).write(directory_.path());
    // The disk has room again however the test ends.
    struct DiskRoom {
        ~DiskRoom() { fail_writes_with(0); }
    } room;
    bool refused_after_string_progress = false;
    for (long writes = 0;; ++writes) {
        SCOPED_TRACE("the disk full after " + std::to_string(writes) + " writes");
        ASSERT_LT(writes, 1000) << "the run never ends";
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        launch_execute(1);
        fail_writes_with(ENOSPC, writes);
        const test::ProgramEnd end = test::run_program_to_end(session_, window_, {""});
        fail_writes_with(0);
        if (end.reason == "launcher reply cannot be written") {
            // The last write: the run is in place, only its reply is not.
            EXPECT_TRUE(end.refused);
            EXPECT_TRUE(window_.has_shown("'QEVCOM2.DAT': No space left on device")) << window_.dump();
            EXPECT_FALSE(file_exists("QEVCOM2.DAT"));
            break;
        }
        ASSERT_EQ(end.reason, "analysis run: a file cannot be read or written") << window_.dump();
        EXPECT_TRUE(end.refused);
        const std::string& refusal = window_.reads().back();
        for (int row = 1; row <= 19; ++row)
            EXPECT_EQ(test::snapshot_row(refusal, row), blanks(80)) << "row " << row << "\n" << refusal;
        EXPECT_EQ(test::snapshot_text(refusal, 1, 20, heading.size()), heading) << refusal;
        EXPECT_EQ(test::snapshot_row(refusal, 24), pause_row) << refusal;
        EXPECT_EQ(refusal.find("PROCESSING"), std::string::npos) << refusal;
        const std::string& transcript = window_.transcript();
        const std::size_t shown = transcript.rfind(heading);
        ASSERT_NE(shown, std::string::npos);
        EXPECT_EQ(transcript.find("PROCESSING", shown), std::string::npos) << "a progress line after the refusal";
        if (transcript.rfind("PROCESSING STRING NUMBER", shown) != std::string::npos)
            refused_after_string_progress = true;
        if (HasFailure()) return;
    }
    EXPECT_TRUE(refused_after_string_progress) << "no full disk met the string walk";
}

}  // namespace
}  // namespace velm
