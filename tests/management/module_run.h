// Running one data base management module in a test: the module with the
// launcher's call and the typed lines, to its stop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/stop.h"
#include "shell/launcher.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/study_builder.h"

namespace velm::test {

class ModuleTest : public SessionTest {
protected:
    using Module = std::function<void(Session&, LauncherCall&)>;

    // Runs the module to its stop; every typed line must be used.  Returns
    // the stop's reason.
    std::string run(const Module& module, LauncherCall& call, const std::vector<std::string>& typed)
    {
        return run_to_stop(window_, typed, [&] { module(session_, call); });
    }
    // The same: how the module stopped.
    ProgramEnd run_to_end(const Module& module, LauncherCall& call, const std::vector<std::string>& typed)
    {
        return test::run_to_end(window_, typed, [&] { module(session_, call); });
    }

    static LauncherCall menu_call() { return LauncherCall{}; }
    static LauncherCall launched_call(const std::string& study, int run_count, int sub_option)
    {
        LauncherCall call;
        call.run_count = run_count;
        call.sub_option = sub_option;
        call.line = launcher_line(study);
        return call;
    }

    const std::string& screen_at(std::size_t read) const { return window_.reads().at(read); }
    std::pair<int, int> cursor_at(std::size_t read) const { return window_.read_positions().at(read); }
};

// Study "AB" of two maps: map 101 with two nodes, a subarea and its initial
// link, map 102 with a node and the pipe that joins them.
StudyBuilder two_map_management_study(int storm_events = 1);

}  // namespace velm::test
