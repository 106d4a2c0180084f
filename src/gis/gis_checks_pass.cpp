#include "gis/gis_checks_pass.h"

#include "diagnostics/confluence_table.h"
#include "diagnostics/gis_link_checks.h"
#include "diagnostics/gis_node_subarea_checks.h"
#include "diagnostics/report_lines.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/node_set_files.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view POSTPROCESSOR_FORMAT = "(5X,'* GIS DATA BASE POSTPROCESSOR EXECUTED :')";
constexpr std::string_view LINK_CHECKS_FORMAT = "(/5X,'**** LINK VALIDITY CHECKS ***')";
constexpr std::string_view NODE_CHECKS_FORMAT = "(/5X,'**** NODE VALIDITY CHECKS ***')";
constexpr std::string_view SUBAREA_CHECKS_FORMAT = "(/5X,'**** SUBAREA VALIDITY CHECKS ***')";
constexpr std::string_view FATAL_SUMMARY_FORMAT =
    "(/5X,'*** Fatal Error(s) Detected:'/9X,'See filename ','\"',A,'\"',' for diagnostics of YOUR ',A,"
    "' DATA BASE'/)";

int check_links(Session& session, const GisMapList& maps, bool node_export, int model_type, FileChange& change)
{
    TextWriter report(change.new_file(session.study_file(GIS_LINK_CHECK_REPORT)));
    write_screen_records(session.window, LINK_CHECKS_FORMAT);
    TextWriter table(change.new_file(GIS_CONFLUENCE_TABLE));
    TextWriter downstream_nodes(change.new_file(GIS_DOWNSTREAM_NODE_SET));
    TextWriter upstream_nodes(change.new_file(UPSTREAM_NODE_SET_NAME));
    for (const std::string& line : confluence_table_heading()) table.write_line(line);
    GisNetworkFiles network{table, downstream_nodes, upstream_nodes};
    int total = 0;
    for (const std::string& map : maps.map_codes)
        total += check_gis_link_file(session, report, network, node_export, map, GisStampRequest::Checked, model_type,
                                     &change);
    write_check_verdict(session.window, total);
    // The table ends with the nodes entered from more than five upstream
    // nodes; they stop nothing beyond the fatal findings already counted.
    if (!network.over_connected_nodes.empty())
        for (const std::string& line : confluence_fatal_block(network.over_connected_nodes)) table.write_line(line);
    for (TextWriter* file : {&report, &table, &downstream_nodes, &upstream_nodes}) file->commit();
    return total;
}

int check_nodes(Session& session, const GisMapList& maps, bool link_export, int model_type, FileChange& change)
{
    TextWriter report(change.new_file(session.study_file(GIS_NODE_CHECK_REPORT)));
    write_screen_records(session.window, NODE_CHECKS_FORMAT);
    int total = 0;
    for (const std::string& map : maps.map_codes) {
        const GisCheckResult result =
            check_gis_node_file(session, report, link_export, map, GisStampRequest::Checked, model_type, &change);
        total += result.fatal;
        if (result.already_final) break;
    }
    report.commit();
    write_check_verdict(session.window, total);
    return total;
}

int check_subareas(Session& session, const GisMapList& maps, int model_type, FileChange& change)
{
    TextWriter report(change.new_file(session.study_file(GIS_SUBAREA_CHECK_REPORT)));
    write_screen_records(session.window, SUBAREA_CHECKS_FORMAT);
    int total = 0;
    for (const std::string& map : maps.map_codes) {
        const GisCheckResult result =
            check_gis_subarea_file(session, report, map, model_type, GisStampRequest::Checked, &change);
        total += result.fatal;
        if (result.already_final) break;
    }
    write_check_verdict(session.window, total);
    report.commit();
    return total;
}

}  // namespace

GisCheckTotals postprocess_gis_data_bases(Session& session, const GisExportPresence& present, std::string_view study_id,
                                          int model_type, FileChange* change)
{
    FileChange own;
    FileChange& gis_files = change != nullptr ? *change : own;
    const GisMapList maps = preprocess_gis_data_bases(session, present, model_type, study_id, &gis_files);
    write_screen_records(session.window, POSTPROCESSOR_FORMAT);
    GisCheckTotals totals;
    if (present.links) totals.links = check_links(session, maps, present.nodes, model_type, gis_files);
    if (present.nodes) totals.nodes = check_nodes(session, maps, present.links, model_type, gis_files);
    if (present.subareas) totals.subareas = check_subareas(session, maps, model_type, gis_files);

    const struct {
        int total;
        const char* file;
        const char* kind;
    } summaries[] = {{totals.links, "LINK.DIA", "LINK"},
                     {totals.nodes, "NODE.DIA", "NODE"},
                     {totals.subareas, "SUBAREA.DIA", "SUBAREA"}};
    for (const auto& summary : summaries)
        if (summary.total > 0)
            write_screen_records(session.window, FATAL_SUMMARY_FORMAT,
                                 {std::string(summary.file), std::string(summary.kind)});
    if (totals.sum() > 0) {
        gis_files.commit();
        wait_for_return_on_refusal(session.window);
        stop_program_refused("fatal findings in the GIS files");
    }
    if (change == nullptr) own.commit();
    return totals;
}

}  // namespace velm
