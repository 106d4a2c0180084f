// The frame of a module test: a fresh working directory for the study's
// files, the scripted window, a fixed clock and the session over them.
#pragma once

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "shell/session.h"
#include "support/scripted_window.h"
#include "support/temporary_directory.h"

namespace velm::test {

class SessionTest : public ::testing::Test {
protected:
    TemporaryDirectory directory_;
    ScriptedWindow window_;
    FixedClock clock_{DateTime{2024, 5, 6, 7, 8, 9, 10}};
    Session session_{window_, clock_};
};

}  // namespace velm::test
