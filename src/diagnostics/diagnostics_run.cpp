#include "diagnostics/diagnostics_run.h"

#include <array>

#include "diagnostics/link_checks.h"
#include "diagnostics/node_checks.h"
#include "diagnostics/node_set_checks.h"
#include "diagnostics/report_lines.h"
#include "diagnostics/statistics.h"
#include "diagnostics/subarea_checks.h"
#include "platform/files.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view RUN_STARTED_FORMAT = "(5X,'* GIS DATA BASE POSTPROCESSOR EXECUTED :')";
constexpr std::string_view LINK_FATAL_FORMAT =
    "(/5X,'*** Fatal Error(s) Detected:'/9X,'See file [',A2,'TRVLZZ.DIA] for diagnostics of YOUR',"
    "' LINK DATA BASE'/)";
constexpr std::string_view NODE_FATAL_FORMAT =
    "(/5X,'*** Fatal Error(s) Detected:'/9X,'See file [',A2,'TRVLZZ.DIA] for diagnostics of YOUR',"
    "' NODE DATA BASE'/)";
constexpr std::string_view SUBAREA_FATAL_FORMAT =
    "(/5X,'*** Fatal Error(s) Detected:'/9X,'See file [',A2,'TRVLZZ.DIA] diagnostics of YOUR',"
    "' SUBAREA DATA BASE'/)";

// Exception lists of an earlier run that stopped halfway; removed so that
// they cannot add stale entries to this run's report.
constexpr std::array<std::string_view, 12> STALE_EXCEPTION_LISTS = {
    "temp01.tmp", "temp02.tmp", "temp03.tmp", "temp04.tmp", "temp05.tmp", "temp06.tmp",
    "temp07.tmp", "temp08.tmp", "temp09.tmp", "temp10.tmp", "temp11.tmp", "temp13.tmp"};

constexpr std::size_t STUDY_NAME_LENGTH = 50;

}  // namespace

int run_diagnostics(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                    NetworkNodeSets& node_sets)
{
    Window& window = session.window;
    // The curve-number model runs no cross-check, node sets or statistics.
    const bool network_checks = !is_curve_number_model(model_type_code);

    // The node-set check and the statistics take the study from the first
    // map's name; a study whose list names no map still has its identifier.
    std::string study_name =
        data_files.data_file_count() > 0 ? data_files.data_file_names.front() : data_files.study_id;
    study_name.resize(STUDY_NAME_LENGTH, ' ');
    const std::string study_id = study_id_of(study_name);

    write_screen_records(window, RUN_STARTED_FORMAT);
    for (std::string_view list : STALE_EXCEPTION_LISTS) delete_file(list);

    // Section II opens with the link checks' page break and heading.

    // What the checks read of the GIS node files and the subarea data bases
    // serves the later steps, so that each file is parsed once.
    DiagnosticsInputs inputs;
    const int link_fatal_total = run_link_checks(session, report, data_files, model_type_code, inputs);
    const int node_fatal_total = run_node_checks(session, report, data_files, model_type_code, inputs);
    inputs.forget_gis_nodes();
    int subarea_fatal_total = run_subarea_checks(session, report, data_files, model_type_code, inputs);

    // The cross-check adds its findings to the subarea and link totals.
    int cross_checked_link_total = link_fatal_total;
    if (network_checks) {
        node_sets.clear();
        run_model_cross_check(session, report, data_files, node_sets, subarea_fatal_total, cross_checked_link_total,
                              inputs);
        report.commit();
    }

    int fatal_count = cross_checked_link_total + node_fatal_total + subarea_fatal_total;
    if (fatal_count != 0) write_check_verdict(window, fatal_count);
    clear_screen(window);

    if (network_checks) fatal_count += check_network_node_sets(session, study_name, node_sets);

    if (cross_checked_link_total != 0) write_screen_records(window, LINK_FATAL_FORMAT, {study_id});
    if (node_fatal_total != 0) write_screen_records(window, NODE_FATAL_FORMAT, {study_id});
    if (subarea_fatal_total != 0) write_screen_records(window, SUBAREA_FATAL_FORMAT, {study_id});

    if (network_checks) {
        run_data_base_statistics(session, study_name, model_type_code, data_files, inputs);
    } else {
        report.commit();
    }
    return fatal_count;
}

void run_diagnostics(RunContext& run, TextWriter& report)
{
    run.fatal_count = run_diagnostics(run.session, report, run.data_files, run.settings.model_type_code, run.node_sets);
}

}  // namespace velm
