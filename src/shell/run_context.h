// The analysis run's context: everything that lives for the whole run and is
// handed from step to step (diagnostics, string finder, balanced HGL,
// deficiency pass, telescoping).  Each step takes the context, reads what the
// earlier steps left in it and leaves its own results in it.
#pragma once

#include <string>

#include "platform/run_outputs.h"
#include "platform/text_file.h"
#include "records/balanced_hgl_results.h"
#include "records/data_file_table.h"
#include "records/diagnostics_report.h"
#include "records/hydraulic_strings.h"
#include "records/link_table.h"
#include "records/network_node_sets.h"
#include "shell/control_settings.h"
#include "shell/session.h"

namespace velm {

struct RunContext {
    Session& session;               // the window, the clock, the data directory
    std::string study_id;           // the study's two characters
    ControlParameters& controls;    // the settings as loaded; the run adjusts a few (see run_analysis)
    HglControlTable& hgl_controls;  // the user's trunk-line HGL controls; the outlet-control step fills them
    RunSettings& settings;          // the study's model type

    DataFileTable data_files{};                     // the study's maps, from the model list file
    NetworkNodeSets node_sets{};                    // headwater, confluence and seam nodes of the cross-check
    int fatal_count = 0;                            // fatal findings of the diagnostics (reported, never a stop)
    int string_count = 0;                           // hydraulic strings found by the string finder
    HydraulicStrings strings{};                     // the strings and their index, from the string finder on
    BalancedHglResultTable balanced_hgl_results{};  // filled by the balanced HGL estimation
    // The files the run writes (report, node-set files, string files and
    // index, link data bases): every step writes and reads them through this
    // set, which puts them in place together when the last step is done.
    RunOutputs outputs{};
    // The maps' link data bases, each parsed once, as the run has left them
    // so far: the steps read and update them here, and the run writes the
    // rewritten ones with its other outputs at its end.
    LinkTable links{&outputs};

    // The study file name with the data directory in front.
    std::string study_file(std::string_view name) { return session.study_file(name); }

    // The writer that appends to this run's new version of the diagnostics
    // report; commit() puts the lines in (the report is replaced at the end
    // of the run with every other file of it).
    TextWriter report_appender()
    {
        return TextWriter::for_append(outputs.changed_file(study_file(diagnostics_report_file_name(study_id))));
    }
};

}  // namespace velm
