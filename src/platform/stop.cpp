#include "platform/stop.h"

namespace velm {

void stop_program(std::string reason)
{
    throw ProgramStop{std::move(reason)};
}

}  // namespace velm
