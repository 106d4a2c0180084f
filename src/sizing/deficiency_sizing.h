// Deficiency and mitigation sizing of one link, the step of the deficiency
// pass that follows the capacities.
//
// For every storm event the deficiency is the sizing flow that the element
// and the street together cannot carry (column 83 + i); the largest one
// (column 90, its event in column 91) decides whether the link is deficient.
// A deficient link gets two mitigation elements:
//   - a parallel pipe that carries the largest deficiency alone (columns 98,
//     99), from the standard pipe table for the standard conduits of codes
//     37 and 47;
//   - a recommended element that carries the whole sizing flow (columns 92
//     to 97, its element type in column 110): a pipe, a box (codes 36, 46),
//     a standard conduit (37, 47) or a channel (48, 51, 54, 56), in the shape
//     the user designated for the link (columns 141 to 146) or else in the
//     shape of its process code.
//
// The designation rule D turns the designation into working values: the
// working process code, the box or channel sizing mode and given value, the
// working side slope and the Manning n of the new box or channel.
//   141 = 1  a pipe: working code 31;
//   141 = 2  a box: code 36 (width given, height solved) or, with 143 = 2,
//            code 46 (height given, width solved); with 143 = 3 the ratio
//            width / height of column 144;
//   141 = 3  a channel: code 56 (base width given, flow depth solved) or,
//            with 143 = 2, code 51 (flow depth given, base width solved);
//            with 143 = 3 the ratio; side slope column 145 and freeboard
//            column 146 (written to column 27);
//   n = column 142 / 100.  Without a designation a link whose as-built
//   element is a box is sized as a code-46 box with the n of column 26.
#pragma once

#include "records/link_data_base.h"
#include "shell/control_settings.h"
#include "sizing/element_hydraulics.h"

namespace velm {

// Process codes the deficiency pass and its sizing treat apart.
inline constexpr int STANDARD_CONDUIT_CODE = 37;             // a standard pipe or box from the tables
inline constexpr int STANDARD_CONDUIT_KEPT_COUNT_CODE = 47;  // the same, keeping at least its pipes
inline constexpr int VEE_SECTION_CODE = 92;                  // the code-92 section, sized as a pipe

// The settings the deficiency pass works with, taken from the control
// settings and the run settings.
struct DeficiencySettings {
    FrictionSlopeModel friction_slope_model = FrictionSlopeModel::TopographicSlope;
    float default_min_friction_slope = 0.002f;  // ft/ft, the minimum friction slope of the pass, positive
    PipeCapacityModel pipe_capacity_model = PipeCapacityModel::FullFlowCapacity;
    float friction_slope_proportion = 1.0f;  // share of the slope outside process codes 50 to 56
    SizingFlowRate box_channel_flow_rate = SizingFlowRate::UpstreamNodePeak;
    SizingIncrement sizing_increment = SizingIncrement::NoIncrement;
    SizingFlowRate pipe_flow_rate = SizingFlowRate::DownstreamNodePeak;
    int model_type_code = 0;            // HydrologyModelType of the study
    float envelope_manning_n = 0.013f;  // Manning n of new pipes (0 or below: 0.013, 0.014 for type 6)
    int low_slope_flag_mode = 0;        // 1: slopes below the minimum, adverse ones too, raised
};

// What the deficiency pass hands to the sizing for one record.
struct LinkWorkingValues {
    int process_code = 0;         // starts as column 7; changed by the pass and by rule D
    float side_slope = 0.0f;      // starts as column 25; a designated channel's side slope
    float friction_slope = 0.0f;  // Sf of the record (ft/ft); the pipe solver may repair it
    int storm_event_count = 0;    // events of the file, 0 to 6
    int street_event_count = 0;   // events whose street capacity is above 0.1 cfs
};

// The deficiencies of one link and, when it is deficient and the pipe model
// is 1 or 2, its parallel pipe and recommended element, written into the
// record (columns 27, 84 to 99, 101 and 110).  Columns 92 to 99 must hold
// the reset values of the pass on entry.
void size_link_deficiency(LinkRecord& record, LinkWorkingValues& working, const DeficiencySettings& settings);

// The peak flow an element is sized for, from the upstream and the
// downstream value by the option.
float sizing_flow(SizingFlowRate option, float upstream, float downstream);

}  // namespace velm
