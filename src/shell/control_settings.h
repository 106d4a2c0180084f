// The postprocessor control settings of a study: the options and values that
// decide how the analysis run models friction slopes, hydraulic controls,
// element capacities, sizing and telescoping; their defaults; and the study's
// control file "<study>contzz.zzz" that keeps them between runs.
//
// The control file is text:
//   line 1      the nine reals of ControlParameters, CONTROL_REALS_FORMAT;
//   line 2      seven stored integers, each packing two options as
//               tens x 10 + units, and the count of HGL controls,
//               CONTROL_INTEGERS_FORMAT;
//   lines 3...  one trunk-line HGL control a line, HGL_CONTROL_FORMAT.
// It is read free form (line 3 onward by fixed columns) and written by
// save_control_file only: every writer of the file goes through it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "shell/session.h"

namespace velm {

// Capacity of the run-wide tables of the system (trunk-line HGL controls).
inline constexpr int MAX_TABLE_ENTRIES = 5000;

inline constexpr std::string_view CONTROL_FILE_NAME_FORMAT = "(A2,'contzz.zzz')";
inline constexpr std::string_view CONTROL_REALS_FORMAT = "(4(1X,F8.2),3(1X,F8.4),2(1X,F8.2))";
inline constexpr std::string_view CONTROL_INTEGERS_FORMAT = "(7(1X,I2),1X,I4)";
inline constexpr std::string_view HGL_CONTROL_FORMAT = "(1X,F8.1,1X,F8.2)";

// How each link's friction slope is estimated.
enum class FrictionSlopeModel : int {
    TopographicSlope = 1,           // topographic slope, at least the default minimum slope
    BalancedHglSlope = 2,           // balanced HGL estimation results
    TopographicWithUserSlopes = 3,  // as 1, user-specified slopes where available
    BalancedHglWithUserSlopes = 4,  // as 2, user-specified slopes where available
};

// The models that take the friction slope from the balanced HGL estimation,
// and those that take the topographic slope.
inline bool uses_balanced_hgl(FrictionSlopeModel model)
{
    return model == FrictionSlopeModel::BalancedHglSlope || model == FrictionSlopeModel::BalancedHglWithUserSlopes;
}
inline bool uses_topographic_slope(FrictionSlopeModel model)
{
    return model == FrictionSlopeModel::TopographicSlope || model == FrictionSlopeModel::TopographicWithUserSlopes;
}

// How the downstream HGL control of each system trunk line is defined.
enum class HydraulicControlModel : int {
    TopEnvelopeControl = 1,  // top HGL envelope at the outlet node minus hgl_control_offset
    UserDefinedControl = 2,  // the user gives each trunk line's control elevation
};

// Depth at which pipes are sized and existing pipe capacities estimated.
enum class PipeCapacityModel : int {
    FullFlowCapacity = 1,     // full flow capacity (or 0.82 x diameter as normal depth)
    NormalDepthCapacity = 2,  // 0.93 x diameter as normal depth
};

// The peak flow rate an element is sized for.
enum class SizingFlowRate : int {
    UpstreamNodePeak = 1,
    DownstreamNodePeak = 2,
    AveragePeak = 3,  // average of the upstream and downstream node peaks
    MaximumPeak = 4,  // larger of the two
};

// Increment to which computed box and channel dimensions are raised.
enum class SizingIncrement : int {
    NoIncrement = 1,
    QuarterFootIncrement = 2,  // 0.25 ft
    HalfFootIncrement = 3,     // 0.50 ft
    WholeFootIncrement = 4,    // 1.00 ft
};

// Flow-capacity constraint along a string.
enum class CapacityTelescoping : int {
    StringBasis = 1,        // capacity at least the upstream elements' target flow rate
    IndependentSizing = 2,  // "bubble-up" systems allowed
};

// Cross-section area constraint along a string.
enum class AreaTelescoping : int {
    NoAreaReduction = 1,    // area at least the upstream element's
    IndependentSizing = 2,  // reductions allowed
};

// What the telescoping rules do to existing elements.
enum class ExistingElementTelescoping : int {
    ApplyToExisting = 1,
    RetainExisting = 2,
    RetainExistingTelescopeAsReplaced = 3,
    RetainExistingUseMaximum = 4,
};

// Telescoping at pipe/box/channel interfaces.
enum class ElementInterfacing : int {
    NoInterfaceTelescoping = 1,
};

// Which upstream branch of a confluence is the main line.
enum class MainstreamSelection : int {
    LargestPeakFlowBranch = 1,
    LongestBranch = 2,  // handled by the string finder, offered by no screen
};

// The number of an option, as the control file stores it and the screens
// and the report show it.
template <typename Option>
constexpr int option_code(Option option)
{
    return static_cast<int>(option);
}

// The settings, in control-file order.  A default-constructed record holds the
// defaults.  Options read from a file keep whatever number the file holds.
struct ControlParameters {
    // Line 1 of the control file.
    float min_clearance = 1.0f;                   // ft, topography to HGL or soffit, 0 to 10
    float max_clearance = 8.0f;                   // ft, min_clearance + 1 to 500
    float min_velocity = 3.0f;                    // ft/s at peak flow, for the HGL envelopes
    float min_pipe_diameter = 18.0f;              // in, whole numbers 6 to 60
    float envelope_min_friction_slope = 0.0015f;  // -, for the HGL envelopes
    float default_min_friction_slope = 0.002f;    // -, floor of the topographic slope
    float envelope_manning_n = 0.013f;            // -, Manning's n of the HGL envelopes
    float friction_slope_proportion = 0.85f;      // -, share of the slope used for pipe flow
    float hgl_control_offset = 1.0f;              // ft, below the top envelope at an outlet

    // Line 2: (tens, units) of stored integers 1 to 7.
    int low_slope_flag_mode = 0;  // only the control file sets it; read by the deficiency pass
    HydraulicControlModel hydraulic_control_model = HydraulicControlModel::TopEnvelopeControl;
    SizingFlowRate box_channel_flow_rate = SizingFlowRate::UpstreamNodePeak;
    CapacityTelescoping capacity_telescoping = CapacityTelescoping::StringBasis;
    AreaTelescoping box_area_telescoping = AreaTelescoping::IndependentSizing;
    AreaTelescoping pipe_area_telescoping = AreaTelescoping::NoAreaReduction;
    AreaTelescoping channel_area_telescoping = AreaTelescoping::IndependentSizing;
    FrictionSlopeModel friction_slope_model = FrictionSlopeModel::BalancedHglSlope;
    ElementInterfacing element_interfacing = ElementInterfacing::NoInterfaceTelescoping;
    PipeCapacityModel pipe_capacity_model = PipeCapacityModel::FullFlowCapacity;
    SizingFlowRate pipe_flow_rate = SizingFlowRate::DownstreamNodePeak;
    MainstreamSelection mainstream_selection = MainstreamSelection::LargestPeakFlowBranch;
    SizingIncrement sizing_increment = SizingIncrement::NoIncrement;
    ExistingElementTelescoping existing_element_telescoping = ExistingElementTelescoping::ApplyToExisting;

    // Not kept in the file: the capacity source handed to the telescoping
    // pass.  Only the defaults set it.
    int carried_flow_source = 1;
};

// The hydraulic control model in force for the run: the topographic
// friction-slope models (1 and 3) build no HGL envelopes, so their trunk-line
// controls are always the user's.
inline HydraulicControlModel effective_hydraulic_control_model(const ControlParameters& controls)
{
    return uses_topographic_slope(controls.friction_slope_model) ? HydraulicControlModel::UserDefinedControl
                                                                 : controls.hydraulic_control_model;
}

// One user trunk-line HGL control: the downstream hydraulic control of a
// system outlet.
struct HglControl {
    float node_number = 0.0f;  // node number, one decimal
    float elevation = 0.0f;    // ft, HGL control elevation
};

// The trunk-line HGL controls of the study; hgl_control_count is their number.
struct HglControlTable {
    std::vector<HglControl> controls;
    int count() const { return static_cast<int>(controls.size()); }
};

// Run-wide values of the analysis run that are no control setting: the
// study's hydrology model type.  The steps read the settings themselves from
// ControlParameters.
struct RunSettings {
    int model_type_code = 0;  // HydrologyModelType of the study, set by the analysis run
};

// The defaults of every setting, an empty control table and the capacity
// source 1.
void set_control_defaults(ControlParameters& parameters, HglControlTable& controls);

// "<study>contzz.zzz", without the data directory.
std::string control_file_name(std::string_view study_id);

// Loads "<study>contzz.zzz" (with the data directory); false when the file is
// missing, and then nothing is changed.  A value that cannot be read, or a
// file shorter than its count of control lines, throws FileError naming the
// file and the line; so does a directory at the file's name.
bool load_control_file(Session& session, const std::string& study_id, ControlParameters& parameters,
                       HglControlTable& controls);
// The same for a control file given by its full name (a baseline copy).
bool load_control_file_named(std::string_view file_name, ControlParameters& parameters, HglControlTable& controls);

// Writes the whole control file and replaces the old one atomically.  A value
// that its field cannot hold throws FileError and leaves the old file alone:
// the file never holds a run of asterisks.
void save_control_file(Session& session, const std::string& study_id, const ControlParameters& parameters,
                       const HglControlTable& controls);
// The lines save_control_file writes (without line ends).
std::vector<std::string> control_file_lines(std::string_view file_name, const ControlParameters& parameters,
                                            const HglControlTable& controls);

// The seven stored integers of line 2 (tens x 10 + units).
using PackedOptions = std::array<int, 7>;
PackedOptions pack_control_options(const ControlParameters& parameters);
// Splits the stored integers into their options; a tens digit 0 stands for
// the default of stored integers 2 to 7.
void unpack_control_options(const PackedOptions& packed, ControlParameters& parameters);

}  // namespace velm
