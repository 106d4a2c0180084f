#include "diagnostics/report_lines.h"

#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view PROCESSING_FILE_FORMAT = "(5X,'   * PROCESSING FILE ',A12)";
constexpr std::string_view NO_FATAL_ERRORS_FORMAT = "(7X,'** NO Fatal Errors Detected')";
constexpr std::string_view FATAL_ERRORS_FORMAT = "(7X,'** Fatal Error(s) detected: See Below.')";

}  // namespace

void write_report_separator(TextWriter& report)
{
    static const Format separator(REPORT_SEPARATOR_FORMAT);
    report.write_line(separator.line({}));
}

void write_counted_node_list(TextWriter& report, std::string_view caption, const std::vector<float>& nodes)
{
    write_report_lines(report, caption, {static_cast<int>(nodes.size())});
    if (!nodes.empty())
        write_report_lines(report, NODE_LIST_FORMAT, std::vector<FormatValue>(nodes.begin(), nodes.end()));
}

void write_processing_file(Window& window, std::string_view file_name)
{
    write_screen_records(window, PROCESSING_FILE_FORMAT, {std::string(file_name)});
}

void write_check_verdict(Window& window, int fatal_total)
{
    write_screen_records(window, fatal_total == 0 ? NO_FATAL_ERRORS_FORMAT : FATAL_ERRORS_FORMAT);
}

}  // namespace velm
