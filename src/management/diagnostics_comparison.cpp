#include "management/diagnostics_comparison.h"

namespace velm {

void compare_diagnostics_files([[maybe_unused]] Session& session, [[maybe_unused]] std::string_view study_id) {}

}  // namespace velm
