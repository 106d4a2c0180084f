// Step 4 of the analysis run: the balanced HGL estimation, run only under the
// balanced-HGL friction-slope models (2 and 4).
//
// For every string that a chain of strings joins to a downstream hydraulic
// control, level by level from the outlets upstream, the estimation builds a
// top HGL envelope (ground less the minimum clearance) and a bottom one
// (ground less the maximum clearance), each falling at least at the link's
// minimum gradient, the friction slope at which the link's peak flow moves at
// the minimum velocity through a full pipe of the envelope's Manning's n.  It
// then fits straight HGL segments from the control at the outlet upward,
// each as long as it stays between the envelopes and ending on the top
// envelope, and takes the slope of each segment as the friction slope of its
// links.  The HGL at every node is handed on as the control of the strings
// that discharge there.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "records/string_files.h"
#include "shell/run_context.h"

namespace velm {

// An entry of the control work list that names no string's outlet.
inline constexpr float CONTROL_NODE_NOT_FOUND = -999.0f;

// One link of a string profile; link j joins node j + 1 (upstream) to node j
// (downstream), node 1 being the string's outlet.
struct ProfileLink {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    float length = 0.0f;     // ft
    float peak_flow = 0.0f;  // cfs
};

// The profile of a string from its outlet up: ground[0] is node 1.
struct StringProfile {
    std::vector<float> ground;       // ft, nodes 1 to N
    std::vector<ProfileLink> links;  // links 1 to N - 1
};

// The profile of a string file's records.  The leading records of zero
// length or zero peak flow are left out (as many records as the file holds
// such records are skipped from its head).  Nothing when no record remains,
// or when a record taken has a zero peak flow or a zero length (the string is
// not fitted).  A negative peak flow takes the flow of the record before it,
// or for the first record the next one that is not negative (nothing when
// there is none).
std::optional<StringProfile> string_profile(const std::vector<StringRecord>& records);

// Why the control at the outlet was moved onto an envelope.
enum class ControlReset { AboveTopEnvelope, BelowBottomEnvelope };
struct ControlWarning {
    ControlReset reset;
    float control = 0.0f;  // ft, before the reset
};

// The fit of one string: envelopes, control, slopes and HGLs, nodes and
// links indexed as in StringProfile.
struct FittedHgl {
    std::vector<float> minimum_gradient;  // per link
    std::vector<float> top_envelope;      // ft, per node
    std::vector<float> bottom_envelope;   // ft, per node
    float control = 0.0f;                 // ft, HGL at the outlet after any reset
    std::vector<ControlWarning> warnings;
    std::vector<float> friction_slope;  // per link
    std::vector<float> hgl;             // ft, per node
};

// The envelopes and the fitted HGL of a profile for the control HGL at its
// outlet, with the run's envelope settings.
FittedHgl fit_balanced_hgl(const StringProfile& profile, float control, const ControlParameters& settings);

// The section III warning lines of a reset control of string `s`.
std::vector<std::string> control_warning_lines(int s, const StringProfile& profile, const FittedHgl& fit,
                                               const ControlWarning& warning);

// Estimates a balanced HGL for every string connected to a downstream
// control, fills run.balanced_hgl_results (afresh) for the deficiency pass,
// writes report section III and the fitted friction slopes into the link
// data bases.  Begins with the outlet controls and levels; sets
// run.string_count from the index; leaves the control table empty.
void run_balanced_hgl_estimation(RunContext& run);

}  // namespace velm
