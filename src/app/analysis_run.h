// The study checks of main-menu option 1 and the analysis run that
// "2 = Execute POSTPROCESSOR" starts.
#pragma once

#include <string>

#include "shell/control_settings.h"
#include "shell/launcher.h"
#include "shell/session.h"

namespace velm {

// Where option 1 goes after the model list check.
enum class ModelListCheck {
    Accepted,           // the list exists and begins with -111888.0
    BackToStudyPrompt,  // interactive: no list file; the study is blank again
    BackToControlMenu,  // interactive: the file is no model list
    EndRun,             // launched: a refusal ends the run (no reply)
};

// The model list check at the study step of option 1, for the study the
// answer names (`study_id`, two characters).  A refusal shows its message
// on the window; a missing list file also sets `study_id` back to blanks.
// `launched` says whether the program was started by the launcher, whose
// runs end on a refusal.  Accepted leaves what the run needs of the list.
ModelListCheck check_model_list(Session& session, std::string& study_id, bool launched);

// The analysis run for the accepted study with the loaded settings: the
// data file table, the report header and section I, and the chain of steps
// (diagnostics, string finder, balanced HGL, deficiency pass, telescoping).
// A study in metric units ends the program after its warning.  When the
// steps are done it returns, and the main program answers the launcher or
// waits for RETURN and ends the program.
void run_analysis(Session& session, const std::string& study_id, ControlParameters& controls,
                  HglControlTable& hgl_controls, RunSettings& settings, LauncherCall& call);

}  // namespace velm
