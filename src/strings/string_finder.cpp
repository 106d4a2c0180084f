#include "strings/string_finder.h"

namespace velm {

void run_string_finder(RunContext& /*run*/)
{
}

}  // namespace velm
