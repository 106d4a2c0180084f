// The system telescoping pass, the last step of the analysis run.
#include "sizing/telescoping_pass.h"

#include "diagnostics/diagnostics_run.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/link_table.h"
#include "records/string_files.h"
#include "shell/dialogue.h"
#include "sizing/large_pipe_lists.h"
#include "sizing/link_data_base_update.h"
#include "sizing/primary_system_gaps.h"
#include "sizing/telescoping_link_table.h"
#include "sizing/telescoping_rules.h"
#include "sizing/user_value_reports.h"
#include "strings/run_strings.h"

namespace velm {

namespace {

constexpr std::string_view TELESCOPING_TITLE = "* SYSTEM TELESCOPING ANALYSIS *";
constexpr std::string_view UPDATE_TITLE = "* UPDATE LINK DATA BASE *";
constexpr std::string_view PROCESSING_STRING_FORMAT = "(5X,' PROCESSING STRING NUMBER [',I4.4,']')";

std::string link_data_base_path(RunContext& run, const std::string& stem)
{
    return run.study_file(link_data_base_name(stem));
}

// The records of a map's link data base as the run has left it so far.
const std::vector<LinkRecord>& current_link_records(RunContext& run, const std::string& stem)
{
    return run.links.file(link_data_base_path(run, stem), FilePresence::Optional).records;
}

void show_title(Window& window, std::string_view title)
{
    clear_screen(window);
    move_cursor(window, 5, 5);
    window.write(title);
}

// Every link of every map link data base, in data file order.  A map
// without its link data base adds no link.
TelescopingTables load_tables(RunContext& run, const TelescopingSettings& settings)
{
    TelescopingTables tables;
    // The table is reserved once for every link of the study.
    std::size_t links = 0;
    for (const std::string& stem : run.data_files.data_file_names) links += current_link_records(run, stem).size();
    tables.links.reserve(links);
    for (const std::string& stem : run.data_files.data_file_names) {
        load_telescoping_tables(current_link_records(run, stem), settings, tables);
    }
    return tables;
}

// Walks the strings of the index in its order and rewrites each string
// file in its long form.  Returns the number of index records.
int telescope_strings(RunContext& run, TelescopingTables& tables, const TelescopingSettings& settings)
{
    const StringIndexFile index = run_string_index(run).value_or(StringIndexFile{});
    for (const StringIndexRecord& entry : index.records) {
        write_screen_records(run.session.window, string_number_layout(PROCESSING_STRING_FORMAT, entry.string_number),
                             {entry.string_number});
        const std::vector<StringRecord> lines =
            run_string_records(run, entry.string_number).value_or(std::vector<StringRecord>{});
        store_run_telescoped_string(run, entry.string_number,
                                    fit_long_records(telescope_string(lines, tables, settings)));
    }
    return static_cast<int>(index.records.size());
}

void update_link_data_bases(RunContext& run, const TelescopingTables& tables, const TelescopingSettings& settings,
                            TextWriter& report)
{
    show_title(run.session.window, UPDATE_TITLE);
    UserValueReports reports(report, settings.friction_slope_model);
    for (const std::string& stem : run.data_files.data_file_names) {
        write_screen_records(run.session.window, PROCESSING_LINK_DATA_BASE_FORMAT, {link_data_base_name(stem)});
        const std::string name = link_data_base_path(run, stem);
        LinkTable::File& file = run.links.file(name, FilePresence::Optional);
        if (!file.exists) continue;  // a map without its data base is not given an empty one
        file.records = update_link_data_base(file.records, tables.links, settings.model_type_code, reports);
        run.links.store(file, run.outputs.new_file(name), UPDATED_LINK_COLUMNS);
    }
    reports.finish();
}

// The two lists, each over every link data base as the update left it.
void write_telescoping_lists(RunContext& run, TextWriter& report)
{
    LargePipeList large_pipes;
    for (const std::string& stem : run.data_files.data_file_names) {
        write_screen_records(run.session.window, PROCESSING_LINK_DATA_BASE_FORMAT, {link_data_base_name(stem)});
        for (const LinkRecord& record : current_link_records(run, stem)) large_pipes.add(record);
    }
    for (const std::string& line : large_pipes.finish()) report.write_line(line);

    UpgradedLinkList upgraded;
    for (const std::string& stem : run.data_files.data_file_names) {
        write_screen_records(run.session.window, PROCESSING_LINK_DATA_BASE_FORMAT, {link_data_base_name(stem)});
        for (const LinkRecord& record : current_link_records(run, stem)) upgraded.add(record);
    }
    for (const std::string& line : upgraded.finish()) report.write_line(line);
}

}  // namespace

void mark_string_index_independent_sizing(RunContext& run)
{
    StringIndexFile index = required_run_string_index(run);
    index.header.values[0] = 1.0f;
    store_run_string_index(run, index);
}

void run_telescoping_analysis(RunContext& run)
{
    Window& window = run.session.window;
    const TelescopingSettings settings = telescoping_settings(run.controls, run.settings.model_type_code);
    show_title(window, TELESCOPING_TITLE);
    TelescopingTables tables = load_tables(run, settings);
    const int string_count = telescope_strings(run, tables, settings);

    TextWriter report =
        TextWriter::for_append(run.outputs.changed_file(run.study_file(diagnostics_report_file_name(run.study_id))));
    if (!is_curve_number_model(settings.model_type_code)) {
        report_primary_system_gaps(window, report, run.study_id, string_count, study_gap_report_source(run));
    }
    release_run_telescoped_strings(run);
    update_link_data_bases(run, tables, settings, report);
    write_telescoping_lists(run, report);
    report.commit();

    if (settings.capacity_telescoping == option_code(CapacityTelescoping::IndependentSizing)) {
        mark_string_index_independent_sizing(run);
    }
    window.write("");
}

}  // namespace velm
