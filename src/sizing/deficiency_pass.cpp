#include "sizing/deficiency_pass.h"

namespace velm {

void analyze_link_file_deficiencies(RunContext& /*run*/, const std::string& /*link_data_base*/)
{
}

}  // namespace velm
