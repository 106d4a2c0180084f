// The frame of a test of one step of the analysis run: the session frame,
// default settings and the run's context over them for study "AB".  A test
// sets the settings it needs before it runs the step.
#pragma once

#include "shell/control_settings.h"
#include "shell/run_context.h"
#include "support/session_test.h"

namespace velm::test {

class RunStepTest : public SessionTest {
protected:
    ControlParameters controls_;
    HglControlTable hgl_controls_;
    RunSettings settings_;
    RunContext run_{session_, "AB", controls_, hgl_controls_, settings_};

    // The end of the run: the link data bases the steps rewrote are written
    // and the run's files put in place together.
    void commit_run()
    {
        run_.links.write_files(run_.outputs);
        run_.outputs.commit();
    }
};

}  // namespace velm::test
