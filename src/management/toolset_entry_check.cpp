#include "management/toolset_entry_check.h"

#include "diagnostics/report_lines.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/study_names.h"
#include "shell/launcher.h"

namespace velm {

namespace {

constexpr std::string_view BUTTON_ROW_FORMAT = "(12X,I2,19X,A)";
constexpr std::string_view NOT_AVAILABLE = "No Toolset Edit Process available";

// The buttons of the table after the four fixed rows; 13 and 22 have no
// process of their own.
constexpr int TABLE_BUTTONS[] = {5, 11, 12, 13, 14, 15, 21, 22, 41, 42, 43, 44, 51, 52};

}  // namespace

std::optional<std::vector<int>> read_complete_toolset_flags(Session& session, std::string_view study_id)
{
    const std::string name = session.study_file(study_file_name(TOOLSET_FILE_NAME_FORMAT, study_id));
    if (!file_exists(name)) return std::nullopt;
    const std::vector<std::string> lines = read_text_lines(name);
    if (lines.size() < static_cast<std::size_t>(TOOL_FLAG_COUNT)) return std::nullopt;
    std::vector<int> flags(TOOL_FLAG_COUNT, 0);
    for (int k = 0; k < TOOL_FLAG_COUNT; ++k) {
        const std::string& line = lines[static_cast<std::size_t>(k)];
        if (line.find_first_not_of(" \t") == std::string::npos ||
            !read_free_form_line(line, {&flags[static_cast<std::size_t>(k)]}, name, k + 1).ok()) {
            return std::nullopt;
        }
    }
    return flags;
}

std::vector<std::string> toolset_entry_check_lines(const std::vector<int>& flags)
{
    static const Format row(BUTTON_ROW_FORMAT);
    const std::string separator = format_line(REPORT_SEPARATOR_FORMAT, {});
    std::vector<std::string> lines = {std::string(PAGE_BREAK),
                                      separator,
                                      "",
                                      std::string(20, ' ') + "VELM Toolset Editor Entry Check:",
                                      std::string(20, ' ') + std::string(32, '='),
                                      "",
                                      "     Toolset Button Number       Status",
                                      "     " + std::string(21, '-') + std::string(7, ' ') + std::string(38, '-'),
                                      row.line({1, std::string("see HISTORIAN for Edit History")})};
    for (int button : {2, 3, 4}) lines.push_back(row.line({button, std::string(NOT_AVAILABLE)}));
    for (int button : TABLE_BUTTONS) {
        if (button == 13 || button == 22) {
            lines.push_back(row.line({button, std::string(NOT_AVAILABLE)}));
            continue;
        }
        const int flag = flags.at(static_cast<std::size_t>(button - 1));
        if (flag > 0) lines.push_back(row.line({button, std::string("Toolset Edit Process Entry Detected")}));
        if (flag == 0) lines.push_back(row.line({button, std::string("No Toolset Edit Process Entry Detected")}));
    }
    lines.push_back(separator);
    lines.push_back(std::string(20, ' ') + "END OF DIAGNOSTICS EXCEPTION REPORT");
    lines.push_back(separator);
    return lines;
}

}  // namespace velm
