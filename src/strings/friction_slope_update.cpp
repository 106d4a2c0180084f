// The friction-slope update of the link data bases and its minimum-slope
// list in report section III.
#include "strings/friction_slope_update.h"

#include <cstdint>
#include <unordered_map>

#include "diagnostics/report_lines.h"
#include "platform/files.h"
#include "records/format.h"
#include "records/number_keys.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view UPDATE_HEADING_FORMAT = "('* UPDATE DATA BASE WITH BALANCED HGL FRICTION SLOPES',' *')";
constexpr std::string_view PROCESSING_DATA_BASE_FORMAT = "(5X,'* PROCESSING DATA BASE FILE: ',A12)";
constexpr std::string_view MINIMUM_SLOPE_HEADING_FORMAT =
    "(/4X,'The following links are assigned a FRICTION SLOPE',' of',F7.4,','/4X,'(or are within 0.001 of the "
    "User-Specified minimum'/4X,'friction slope of',F7.4,'):'/17X,'Link ID'/12X,'Upstream  Downstream'/14X,'Node  "
    "     Node')";
constexpr std::string_view MINIMUM_SLOPE_LINK_FORMAT = "(11X,F8.1,4X,F8.1)";

// Links within this of the minimum slope are listed with it.
constexpr float MINIMUM_SLOPE_MARGIN = 0.001f;
// The columns that carry the balanced HGL friction slope.
constexpr int SLOPE_COLUMNS[] = {55, 63, 64, 68, 69};
// The columns the update changes: the slope and the link's HGLs (139, 140).
constexpr int UPDATED_COLUMNS[] = {55, 63, 64, 68, 69, 139, 140};

}  // namespace

float balanced_hgl_friction_slope(const BalancedHglResult& result, const LinkRecord& link,
                                  float envelope_min_friction_slope)
{
    float slope = result.friction_slope;
    if (slope == 0.0f) slope = link.link_slope();
    if (slope < envelope_min_friction_slope) slope = envelope_min_friction_slope;
    return slope;
}

bool apply_balanced_hgl_result(LinkRecord& link, const BalancedHglResult* result, bool any_results,
                               float envelope_min_friction_slope)
{
    if (!any_results) return false;
    link.link_upstream_hgl() = 0.0f;
    link.link_downstream_hgl() = 0.0f;
    if (!result) return false;
    const float slope = balanced_hgl_friction_slope(*result, link, envelope_min_friction_slope);
    for (const int column : SLOPE_COLUMNS) link.column(column) = slope;
    link.link_upstream_hgl() = result->upstream_hgl;
    link.link_downstream_hgl() = result->downstream_hgl;
    return slope <= envelope_min_friction_slope + MINIMUM_SLOPE_MARGIN;
}

void update_link_friction_slopes(RunContext& run, TextWriter& report)
{
    Window& window = run.session.window;
    clear_screen(window);
    write_form(window, 5, 5, UPDATE_HEADING_FORMAT);
    const float minimum = run.controls.envelope_min_friction_slope;
    write_report_lines(report, MINIMUM_SLOPE_HEADING_FORMAT, {minimum, minimum});

    // The first result of each node pair.
    const std::vector<BalancedHglResult>& results = run.balanced_hgl_results.results;
    std::unordered_map<std::uint64_t, std::size_t> first_result;
    for (std::size_t k = 0; k < results.size(); ++k) {
        first_result.try_emplace(node_pair_key(results[k].upstream_node, results[k].downstream_node), k);
    }

    for (const std::string& stem : run.data_files.data_file_names) {
        const std::string name = link_data_base_name(stem);
        window.write(format_line(PROCESSING_DATA_BASE_FORMAT, {name}));
        const std::string path = run.study_file(name);
        LinkTable::File& links = run.links.file(path, FilePresence::Optional);
        if (!links.exists) continue;  // a map without its data base is not given an empty one
        for (LinkRecord& link : links.records) {
            const auto found = first_result.find(node_pair_key(link.upstream_node(), link.downstream_node()));
            const BalancedHglResult* result = found == first_result.end() ? nullptr : &results[found->second];
            if (apply_balanced_hgl_result(link, result, !results.empty(), minimum)) {
                write_report_lines(report, MINIMUM_SLOPE_LINK_FORMAT, {link.upstream_node(), link.downstream_node()});
            }
        }
        run.links.store(links, run.outputs.new_file(path), UPDATED_COLUMNS);
    }
}

}  // namespace velm
