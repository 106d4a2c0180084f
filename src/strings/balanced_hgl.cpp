#include "strings/balanced_hgl.h"

namespace velm {

void run_balanced_hgl_estimation(RunContext& /*run*/)
{
}

}  // namespace velm
