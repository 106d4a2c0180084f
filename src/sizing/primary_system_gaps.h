// The report of gaps in the existing primary system: after the telescoping
// pass has written every string file in its long form, each string is walked
// from upstream to downstream and every link without a primary element (pipe,
// box or channel) that follows a link with one is listed.  At the end of each
// string the link that continues below the string's outlet node is looked at
// too.  Links are compared by their conveyance: the element type and whether
// they carry a street (curb height positive).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "records/hydraulic_strings.h"
#include "records/string_files.h"
#include "shell/run_context.h"

namespace velm {

// The element type (0 to 3) and street flag (0 or 1) of a link.
struct ConveyanceKind {
    float element_type = 0.0f;
    float street_flag = 0.0f;
    bool operator==(const ConveyanceKind&) const = default;
};

// No link: the start of a string, or a continuing link that was not found.
inline constexpr ConveyanceKind NO_CONVEYANCE{-99.0f, -99.0f};

// The conveyance of a line of a long-form string file: the existing element
// type, or the shape its process code names (31 and 37 pipe, 36 box, 52, 53
// and 56 channel).
ConveyanceKind string_link_conveyance(const TelescopedLinkSummary& link);

// The continuing link below a string's outlet: its nodes and conveyance.
struct ContinuingLink {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    ConveyanceKind kind;
};

// What the gap report needs of the study's files: the long-form lines of
// string n, and the link that leaves the outlet node of a string whose last
// link is (upstream, downstream).
struct GapReportSource {
    std::function<std::vector<TelescopedLinkSummary>(int string_number)> string_records;
    std::function<std::optional<ContinuingLink>(float last_upstream, float last_downstream, float outlet_node)>
        continuing_link;
};

// The name of the link data base that holds a string's outlet node: the
// region file for model type 9, the map file otherwise.
std::string outlet_link_data_base_name(const std::string& study_id, int model_type_code, float outlet_node);

// The study's files as the gap report reads them, as the run has left them
// so far: string files by their
// number, and the continuing link from the link data base that holds the
// outlet node (for model type 6 the map file of the region that holds the
// string's last link).  A missing file reads as one without records.  Each
// link data base is read once.
GapReportSource study_gap_report_source(RunContext& run);

// Appends the gap section to the report for the strings 1 to string_count,
// with its title and one progress line a string on the window.
void report_primary_system_gaps(Window& window, TextWriter& report, const std::string& study_id, int string_count,
                                const GapReportSource& source);

}  // namespace velm
