#include "app/analysis_run.h"

#include <cmath>
#include <optional>
#include <vector>

#include "app/report_header.h"
#include "diagnostics/diagnostics_run.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "records/model_file.h"
#include "records/model_list.h"
#include "records/study_id.h"
#include "records/study_names.h"
#include "shell/dialogue.h"
#include "sizing/deficiency_pass.h"
#include "sizing/telescoping_pass.h"
#include "strings/balanced_hgl.h"
#include "strings/run_strings.h"
#include "strings/string_finder.h"

namespace velm {

namespace {

constexpr std::string_view MISSING_LIST_FORMAT = "(5('*'),'FILE ',A,' DOES NOT EXIST ',$)";
constexpr std::string_view NOT_A_LIST_FORMAT = "(' * DATA FILE [',A30,'] IS NOT A QUORIN Tarvel FILE')";

constexpr std::string_view METRIC_WARNING_FORMAT =
    "('* Warning: Data File in Metric Units,'/5X,'Post-Processor is not Available !')";
// Without the first model file's header the study's model type is unknown,
// and without a listed model file there is no study to analyse: the run
// ends before the report is touched.
constexpr std::string_view MISSING_MODEL_FILE_FORMAT =
    "('* Warning: Link-Node Model File'/5X,'[',A,']'/"
    "5X,'does not exist: Post-Processor is not Available !')";
constexpr std::string_view NO_MODEL_HEADER_FORMAT =
    "('* Warning: Link-Node Model File'/5X,'[',A,']'/"
    "5X,'holds no model header: Post-Processor is not Available !')";
constexpr std::string_view EMPTY_MODEL_LIST_FORMAT =
    "('* Warning: Link-Node Model List File'/5X,'[',A,']'/"
    "5X,'names no model file: Post-Processor is not Available !')";

constexpr std::string_view DEFICIENCY_HEADING_FORMAT = "(' * DEFICIENCY ANALYSIS *')";
constexpr std::string_view PROCESSING_MAP_FORMAT = "(5X,'PROCESSING DATA FILE....',A)";

// Envelope Manning's n of a county study whose control file leaves it unset.
constexpr float COUNTY_ENVELOPE_MANNING_N = 0.014f;

// The warning on a clear screen, a pause, and the end of the program,
// refused; no reply goes to a launcher.
[[noreturn]] void refuse_study(Window& window, std::string_view layout, const std::vector<FormatValue>& values,
                               const std::string& reason)
{
    clear_screen(window);
    write_form(window, 5, 5, layout, values);
    wait_for_return_on_refusal(window);
    stop_program_refused(reason);
}

// A file of the study that the run cannot read or write, or a record it
// cannot read (`error` names the file, the line where one is known, and
// why): told in the window until RETURN, and the end of the program,
// refused.  The steps' progress lines are gone from the window first, so
// that none stands under or beside the refusal.  The run's files are put in
// place together at its end only, so none of them was changed, and no reply
// goes to a launcher.  What was written all the same is named instead: the
// flag a launched settings run set in the tool-status file before the run,
// and the control file with the outlet HGL controls typed during the run.
[[noreturn]] void refuse_run(Window& window, const std::exception& error, bool toolset_file_written,
                             bool control_file_written = false)
{
    std::string written = "NO FILE WAS CHANGED";
    if (toolset_file_written && control_file_written) {
        written = "THE TOOLSET AND CONTROL FILES WERE WRITTEN";
    } else if (toolset_file_written) {
        written = "THE TOOLSET FILE WAS WRITTEN";
    } else if (control_file_written) {
        written = "THE CONTROL FILE WAS WRITTEN";
    }
    clear_screen(window);
    stop_on_file_refusal(window, " * THE ANALYSIS RUN CANNOT BE MADE; " + written + ":", error,
                         "analysis run: a file cannot be read or written");
}

// The control file as it stands; nothing when it cannot be read.
std::optional<std::string> control_file_bytes(Session& session, const std::string& study_id)
{
    try {
        return read_whole_file_if_exists(session.study_file(control_file_name(study_id)));
    } catch (const FileError&) {
        return std::nullopt;
    }
}

// Value 2 of a model file's header, the study's model type; nothing when
// the file holds fewer than two values or is no record file.
std::optional<float> model_type_value(const std::string& name)
{
    try {
        RecordFile file(name, RecordFile::Open::MustExist);
        const std::optional<float> first = file.read_value();
        const std::optional<float> second = first ? file.read_value() : std::nullopt;
        file.close_keep();
        return second;
    } catch (const FileError&) {
        return std::nullopt;
    }
}

}  // namespace

DataFileTable read_data_file_table(Session& session, const std::string& study_id, ControlParameters& controls,
                                   RunSettings& settings)
{
    const std::string list_name = model_list_file_name(study_id);
    const ModelListFile list = read_model_list_file(session.study_file(list_name));
    if (list.entries.empty()) {
        refuse_study(session.window, EMPTY_MODEL_LIST_FORMAT, {session.study_file(list_name)},
                     "model list names no model file");
    }

    DataFileTable table;
    table.study_id = study_id;
    for (const ModelListEntry& entry : list.entries) {
        if (table.data_file_count() == 0) {
            const std::string model_file = session.study_file(entry.model_file_name());
            if (!file_exists(model_file)) {
                refuse_study(session.window, MISSING_MODEL_FILE_FORMAT, {model_file}, "first model file missing");
            }
            const std::optional<float> type_value = model_type_value(model_file);
            if (!type_value) {
                refuse_study(session.window, NO_MODEL_HEADER_FORMAT, {model_file}, "first model file has no header");
            }
            settings.model_type_code = model_type_code_from_header(finite_model_value(*type_value, model_file, 2));
            if (controls.envelope_manning_n <= 0.0f &&
                is_model_type(settings.model_type_code, HydrologyModelType::LosAngelesCounty) &&
                uses_topographic_slope(controls.friction_slope_model)) {
                controls.envelope_manning_n = COUNTY_ENVELOPE_MANNING_N;
            }
            table.model_file_extension = entry.model_file_extension();
            if (is_metric_model_value(*type_value)) {
                refuse_study(session.window, METRIC_WARNING_FORMAT, {}, "model files in metric units");
            }
        }
        // Entries that begin below "A" are listed but name no map.
        if (entry.names_map()) table.data_file_names.push_back(entry.data_file_stem());
    }
    return table;
}

ModelListCheck check_model_list(Session& session, std::string& study_id, bool launched, bool toolset_file_written)
{
    const std::string name = model_list_file_name(study_id);
    const std::string path = session.study_file(name);
    Window& window = session.window;

    if (!file_exists(path)) {
        study_id = UNKNOWN_STUDY_ID;
        sound_beep(window);
        write_at(window, 1, 21, format_line(MISSING_LIST_FORMAT, {padded_file_name(name)}), LineEnd::StayOnLine);
        write_at(window, 62, 18, "   ", LineEnd::StayOnLine);
        return launched ? ModelListCheck::EndRun : ModelListCheck::BackToStudyPrompt;
    }

    bool is_model_list = false;
    try {
        is_model_list = read_model_list_file(path).is_model_list();
    } catch (const FileError& error) {
        refuse_run(window, error, toolset_file_written);
    }
    if (!is_model_list) {
        // The study is asked again, so that another one can be chosen.
        study_id = UNKNOWN_STUDY_ID;
        sound_beep(window);
        write_at(window, 1, 21, format_line(NOT_A_LIST_FORMAT, {padded_file_name(name)}));
        write_at(window, 50, 18, std::string(31, ' '), LineEnd::StayOnLine);
        wait_for_return_on_refusal(window);
        return launched ? ModelListCheck::EndRun : ModelListCheck::BackToControlMenu;
    }
    return ModelListCheck::Accepted;
}

void run_deficiency_analysis(RunContext& run)
{
    Window& window = run.session.window;
    clear_screen(window);
    write_form(window, 5, 2, DEFICIENCY_HEADING_FORMAT);
    const DownstreamHglIndex hgl_index(run.balanced_hgl_results);
    for (const std::string& stem : run.data_files.data_file_names) {
        const std::string link_data_base = run.study_file(replace_file_extension(stem, "ZLL"));
        if (!run.links.exists(link_data_base)) continue;
        window.write(format_line(PROCESSING_MAP_FORMAT, {padded_file_name(stem)}));
        // A study without its own minimum slope takes the envelope's.
        if (run.controls.default_min_friction_slope <= 0.0f) {
            run.controls.default_min_friction_slope = run.controls.envelope_min_friction_slope;
        }
        analyze_link_file_deficiencies(run, link_data_base, hgl_index);
    }
}

namespace {

// Points the session at the run's outputs and link data bases for as long as
// the run lasts, so that the routines the steps share with other modules
// write the run's new versions and read the run's links; a stop on the way
// takes the pointers back before the run's context is gone.
class RunOutputsInSession {
public:
    RunOutputsInSession(Session& session, RunContext& run) : session_(session)
    {
        session_.run_outputs = &run.outputs;
        session_.link_table = &run.links;
    }
    ~RunOutputsInSession()
    {
        session_.run_outputs = nullptr;
        session_.link_table = nullptr;
    }
    RunOutputsInSession(const RunOutputsInSession&) = delete;
    RunOutputsInSession& operator=(const RunOutputsInSession&) = delete;

private:
    Session& session_;
};

}  // namespace

namespace {

void run_analysis_steps(Session& session, const std::string& study_id, ControlParameters& controls,
                        HglControlTable& hgl_controls, RunSettings& settings)
{
    RunContext run{session, study_id, controls, hgl_controls, settings};
    run.data_files = read_data_file_table(session, study_id, controls, settings);

    // New versions that a killed run left behind are of no use to anyone.
    remove_run_leftovers({".", run.study_file("")});
    const RunOutputsInSession in_session(session, run);

    TextWriter report(run.outputs.new_file(run.study_file(diagnostics_report_file_name(study_id))));
    write_report_header(report, study_id, controls);
    controls.hydraulic_control_model = effective_hydraulic_control_model(controls);

    clear_screen(session.window);
    run_diagnostics(run, report);
    run_string_finder(run);
    if (uses_balanced_hgl(controls.friction_slope_model)) run_balanced_hgl_estimation(run);
    run_deficiency_analysis(run);
    run_telescoping_analysis(run);
    write_run_string_files(run);

    // Every step is done: the link data bases the steps rewrote are written,
    // once each, and the run's files replace the previous run's together.
    run.links.write_files(run.outputs);
    run.outputs.commit();
}

}  // namespace

void run_analysis(Session& session, const std::string& study_id, ControlParameters& controls,
                  HglControlTable& hgl_controls, RunSettings& settings, [[maybe_unused]] LauncherCall& call,
                  bool toolset_file_written)
{
    // Whatever step meets a file it cannot read or write (a directory in
    // place of an output, a read-only directory, a full disk, a file-size
    // limit), the run's new versions are gone by the time it is told.  The
    // outlet HGL controls that the engineer types during the run are saved
    // in the control file at once, so that a later stop never asks for them
    // again: a refusal after that says the control file was written.
    const std::optional<std::string> control_file_before = control_file_bytes(session, study_id);
    const auto control_file_written = [&] { return control_file_bytes(session, study_id) != control_file_before; };
    try {
        run_analysis_steps(session, study_id, controls, hgl_controls, settings);
    } catch (const FileError& error) {
        refuse_run(session.window, error, toolset_file_written, control_file_written());
    } catch (const FormatReadError& error) {
        refuse_run(session.window, error, toolset_file_written, control_file_written());
    }
}

}  // namespace velm
