#include "support/program_run.h"

#include <gtest/gtest.h>

#include "app/main_program.h"
#include "platform/stop.h"
#include "support/temporary_directory.h"

namespace velm::test {

std::string run_to_stop(ScriptedWindow& window, const std::vector<std::string>& typed, const std::function<void()>& run)
{
    window.type(typed);
    std::string reason = "did not stop";
    try {
        run();
    } catch (const ProgramStop& stop) {
        reason = stop.reason;
    }
    EXPECT_EQ(window.lines_left(), 0u) << "typed lines left over; screen:\n" << window.dump();
    return reason;
}

std::string run_program_to_stop(Session& session, ScriptedWindow& window, const std::vector<std::string>& typed)
{
    return run_to_stop(window, typed, [&session] { run_main_program(session); });
}

void write_command_file(const std::string& study, int count, int option, int sub_option)
{
    TemporaryDirectory::put("QEVCOM.DAT", study + "\r\n" + std::to_string(count) + "\r\n" + std::to_string(option) +
                                              ".\r\n" + std::to_string(sub_option) +
                                              ".\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

}  // namespace velm::test
