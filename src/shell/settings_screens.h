// The settings screens: the dialogue through which the user defines or edits
// the postprocessor control settings of a study, one screen after the other
// in an order set by the chosen friction-slope model.  Every entry offers
// EXIT, TOP and BACK and keeps the shown value on an empty answer; answers
// are stored in the caller's records as soon as they are accepted.
#pragma once

#include <string>

#include "shell/control_settings.h"
#include "shell/session.h"

namespace velm {

// Answered: the last screen has been answered; the caller saves the control
// file.  Left: EXIT anywhere, or BACK from the first screen; nothing is to be
// saved (the answers given so far stay in memory).
enum class SettingsOutcome { Answered, Left };

// Runs the screens on the caller's settings.
SettingsOutcome run_settings_screens(Session& session, const std::string& study_id, ControlParameters& parameters,
                                     HglControlTable& controls);

}  // namespace velm
