// What every module of a run shares: the window, the clock and the study's
// data directory look-up.
#pragma once

#include "platform/clock.h"
#include "platform/window.h"
#include "records/study_names.h"

namespace velm {

struct Session {
    Window& window;
    const Clock& clock;
    DataDirectoryCache data_directory{};

    // A study file name with the data directory in front.
    std::string study_file(std::string_view name) { return add_data_directory(data_directory, name); }
};

}  // namespace velm
