// What every module of a run shares: the window, the clock and the study's
// data directory look-up, and during an analysis run the set of files the
// run replaces at its end.
#pragma once

#include "platform/clock.h"
#include "platform/run_outputs.h"
#include "platform/text_file.h"
#include "platform/window.h"
#include "records/diagnostics_report.h"
#include "records/link_table.h"
#include "records/study_names.h"

namespace velm {

struct Session {
    Window& window;
    const Clock& clock;
    DataDirectoryCache data_directory{};
    // The analysis run's outputs while a run is in progress (the run's
    // context owns them); none outside a run.
    RunOutputs* run_outputs = nullptr;
    // The analysis run's link data bases while a run is in progress (the
    // run's context owns them): the diagnostics read the maps' links there.
    LinkTable* link_table = nullptr;

    // A study file name with the data directory in front.
    std::string study_file(std::string_view name) { return add_data_directory(data_directory, name); }

    // The names under which a routine that also runs outside the analysis
    // run writes and reads a run's results (see RunOutputs): the run's new
    // versions during a run, the files themselves otherwise.
    std::string output_file(std::string_view name)
    {
        return run_outputs != nullptr ? run_outputs->new_file(name) : std::string(name);
    }
    std::string appended_output_file(std::string_view name)
    {
        return run_outputs != nullptr ? run_outputs->changed_file(name) : std::string(name);
    }
    std::string input_file(std::string_view name) const
    {
        return run_outputs != nullptr ? run_outputs->current_file(name) : std::string(name);
    }

    // The writer that appends to the study's diagnostics report (this run's
    // new version of it during an analysis run); commit() puts the lines in.
    TextWriter report_appender(std::string_view study_id)
    {
        return TextWriter::for_append(appended_output_file(study_file(diagnostics_report_file_name(study_id))));
    }
};

}  // namespace velm
