// The last section of the diagnostics exception report: for a fixed set of
// toolset buttons, whether a launched run recorded an edit process in the
// study's tool-status file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/session.h"

namespace velm {

// All 100 flags of the study's tool-status file; nothing when the file is
// missing or holds fewer than 100 readable flags.
std::optional<std::vector<int>> read_complete_toolset_flags(Session& session, std::string_view study_id);

// The section's lines, from its page break to the report's closing line.
std::vector<std::string> toolset_entry_check_lines(const std::vector<int>& flags);

}  // namespace velm
