// The statistics step of the diagnostics run: every map of the model list
// extracted in list order, then sections II.D and II.E appended to the
// study's report.
#include "diagnostics/statistics.h"

#include "diagnostics/diagnostics_run.h"
#include "diagnostics/statistics_extraction.h"
#include "diagnostics/statistics_report.h"
#include "platform/text_file.h"
#include "records/model_list.h"
#include "records/study_id.h"
#include "shell/dialogue.h"

namespace velm {
namespace {

constexpr std::string_view PREPARING_STATISTICS_TEXT = "** PREPARING DATA BASE STATISTICS FOR DIAGNOSTICS REPORT **";
constexpr std::string_view PROCESSING_DATA_FILE_TEXT = " PROCESSING DATA FILE....";
constexpr int PROGRESS_COLUMN = 5;
constexpr int PREPARING_ROW = 5;
constexpr int PROCESSING_ROW = 10;

}  // namespace

void run_data_base_statistics(Session& session, const std::string& study_name, int model_type_code,
                              const DataFileTable& data_files)
{
    run_data_base_statistics(session, study_name, model_type_code, data_files, DiagnosticsInputs{});
}

void run_data_base_statistics(Session& session, const std::string& study_name, int model_type_code,
                              const DataFileTable& /*data_files*/, const DiagnosticsInputs& inputs)
{
    const std::string study_id = study_id_of(study_name);
    const ModelListFile list = read_model_list_file(session.study_file(model_list_file_name(study_id)));

    StatisticsWorkingFiles tables;
    StormEventSettings events;
    InitialLinkTable initial_links;
    bool first_map = true;

    clear_screen(session.window);
    for (const ModelListEntry& entry : list.entries) {
        if (study_id_of(entry.text) != study_id) continue;
        if (first_map) {
            events = read_storm_event_settings(session, entry);
            first_map = false;
        }
        write_at(session.window, PROGRESS_COLUMN, PREPARING_ROW, PREPARING_STATISTICS_TEXT);
        write_at(session.window, PROGRESS_COLUMN, PROCESSING_ROW, std::string(PROCESSING_DATA_FILE_TEXT) + entry.text);

        const std::string stem = entry.data_file_stem();
        extract_link_statistics(session, stem, model_type_code, initial_links, tables.links);
        extract_subarea_statistics(session, stem, events.subarea_node_rule, initial_links, tables.subareas, &inputs);
        extract_result_statistics(session, stem, tables.results);
        extract_node_statistics(session, stem, tables.nodes);
    }

    TextWriter report = session.report_appender(study_id);
    write_statistics_report(report, model_type_code, study_id, events.return_frequencies, std::move(tables));
    report.commit();
}

}  // namespace velm
