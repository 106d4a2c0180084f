// The settings section of the diagnostics exception report: the groups of
// postprocessor settings in which the baseline's control file "contz1.zzz"
// and the scenario's "contzz.zzz" differ, the baseline's setting and then
// the scenario's, in the words of section I of the diagnostics report.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr std::string_view BASELINE_CONTROL_FILE_NAME_FORMAT = "(A2,'contz1.zzz')";

// Records 1 and 2 of a control file as stored.
struct StoredSettings {
    std::array<float, 9> reals{};  // min_clearance ... hgl_control_offset
    std::array<int, 8> packed{};   // tens x 10 + units; value 8 the HGL control count
};

// Nothing when the file is missing or does not hold its two records (a
// real that is no finite number holds no setting).
std::optional<StoredSettings> read_stored_settings(std::string_view file_name);

// The lines of the section.
std::vector<std::string> settings_change_lines(const StoredSettings& baseline, const StoredSettings& scenario);

}  // namespace velm
