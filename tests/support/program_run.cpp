#include "support/program_run.h"

#include <gtest/gtest.h>

#include "app/main_program.h"
#include "platform/stop.h"
#include "support/temporary_directory.h"

namespace velm::test {

ProgramEnd run_to_end(ScriptedWindow& window, const std::vector<std::string>& typed, const std::function<void()>& run)
{
    window.type(typed);
    ProgramEnd end{"did not stop", false};
    try {
        run();
    } catch (const ProgramStop& stop) {
        end = {stop.reason, stop.refused};
    }
    EXPECT_EQ(window.lines_left(), 0u) << "typed lines left over; screen:\n" << window.dump();
    return end;
}

std::string run_to_stop(ScriptedWindow& window, const std::vector<std::string>& typed, const std::function<void()>& run)
{
    return run_to_end(window, typed, run).reason;
}

ProgramEnd run_program_to_end(Session& session, ScriptedWindow& window, const std::vector<std::string>& typed)
{
    return run_to_end(window, typed, [&session] { run_main_program(session); });
}

std::string run_program_to_stop(Session& session, ScriptedWindow& window, const std::vector<std::string>& typed)
{
    return run_program_to_end(session, window, typed).reason;
}

std::string run_program_on_lines(Session& session, ScriptedWindow& window, const std::vector<std::string>& typed)
{
    window.type(typed);
    try {
        run_main_program(session);
    } catch (const ProgramStop& stop) {
        return stop.reason;
    } catch (const ScriptExhausted&) {
        return "the script ran out";
    }
    return "did not stop";
}

void write_command_file(const std::string& study, int count, int option, int sub_option)
{
    TemporaryDirectory::put("QEVCOM.DAT", study + "\r\n" + std::to_string(count) + "\r\n" + std::to_string(option) +
                                              ".\r\n" + std::to_string(sub_option) +
                                              ".\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

}  // namespace velm::test
