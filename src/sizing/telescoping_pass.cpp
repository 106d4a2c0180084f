#include "sizing/telescoping_pass.h"

namespace velm {

void run_telescoping_analysis(RunContext& /*run*/)
{
}

}  // namespace velm
