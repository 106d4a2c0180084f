#include "platform/stop.h"

namespace velm {

void stop_program(std::string reason)
{
    throw ProgramStop{std::move(reason)};
}

void stop_program_refused(std::string reason)
{
    throw ProgramStop{std::move(reason), true};
}

}  // namespace velm
