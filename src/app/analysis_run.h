// The study checks of main-menu option 1 and the analysis run that
// "2 = Execute POSTPROCESSOR" starts.
#pragma once

#include <string>

#include "records/data_file_table.h"
#include "shell/control_settings.h"
#include "shell/launcher.h"
#include "shell/run_context.h"
#include "shell/session.h"

namespace velm {

// Where option 1 goes after the model list check.
enum class ModelListCheck {
    Accepted,           // the list exists and begins with -111888.0
    BackToStudyPrompt,  // interactive: no list file; the study is blank again
    BackToControlMenu,  // interactive: the file is no model list; the study is blank again
    EndRun,             // launched: a refusal ends the run (no reply)
};

// The model list check at the study step of option 1, for the study the
// answer names (`study_id`, two characters).  A refusal shows its message
// on the window and sets `study_id` back to blanks, so that the study is
// asked again.
// `launched` says whether the program was started by the launcher, whose
// runs end on a refusal.  Accepted leaves what the run needs of the list.
// `toolset_file_written` says that this program run has set its flag in the
// tool-status file, which a refusal then names as written.
ModelListCheck check_model_list(Session& session, std::string& study_id, bool launched,
                                bool toolset_file_written = false);

// The study's map data files from its model list, in list order, with the
// study's model type (in `settings`) and model file extension taken from the
// header of the first listed model file; every entry up to the first that
// names a map is opened and tested alike.  The envelope Manning's n of a
// county study (type 6) under a topographic slope model is 0.014 when the
// settings leave it at zero or below.  Refuses, with a warning, a pause and
// the end of the program, a list that names no model file, a first model
// file that is missing or holds fewer than two values, and metric data.
DataFileTable read_data_file_table(Session& session, const std::string& study_id, ControlParameters& controls,
                                   RunSettings& settings);

// The deficiency step of the run: for each map of the table, in order, whose
// link data base exists, the window line and the deficiency pass of that
// data base; a map without one is passed over without a word.  An unset
// default minimum friction slope (zero or below) takes the envelope's
// minimum slope from the first map analysed on.
void run_deficiency_analysis(RunContext& run);

// The analysis run for the accepted study with the loaded settings: the
// data file table, the report header and section I, and the chain of steps
// (diagnostics, string finder, balanced HGL, deficiency pass, telescoping).
// A study in metric units, a first model file that is missing or holds no
// header, and a model list that names no model file end the program after
// a warning and a pause, before the report is touched.  When the steps are
// done it returns, and the main program answers the launcher or waits for
// RETURN and ends the program.  The run changes the settings it is given as
// the run goes: the envelope Manning's n of a county study without one, the
// hydraulic control model of the topographic slope models, the default
// minimum friction slope when it is unset.  A refusal names the
// tool-status file as written when `toolset_file_written` (as the model
// list check does).
void run_analysis(Session& session, const std::string& study_id, ControlParameters& controls,
                  HglControlTable& hgl_controls, RunSettings& settings, LauncherCall& call,
                  bool toolset_file_written = false);

}  // namespace velm
