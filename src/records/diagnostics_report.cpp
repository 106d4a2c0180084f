#include "records/diagnostics_report.h"

#include "records/study_id.h"
#include "records/study_names.h"

namespace velm {

std::string diagnostics_report_file_name(std::string_view study_id)
{
    return study_file_name(DIAGNOSTICS_REPORT_FILE_NAME_FORMAT, study_id_of(study_id));
}

bool has_report_signature(const std::vector<std::string>& lines)
{
    if (lines.size() < static_cast<std::size_t>(REPORT_SIGNATURE_LINE)) return false;
    const std::string& line = lines[REPORT_SIGNATURE_LINE - 1];
    return line.size() >= REPORT_SIGNATURE_COLUMN - 1 + REPORT_SIGNATURE.size() &&
           std::string_view(line).substr(REPORT_SIGNATURE_COLUMN - 1, REPORT_SIGNATURE.size()) == REPORT_SIGNATURE;
}

void write_report_lines(TextWriter& report, std::string_view layout, const std::vector<FormatValue>& values)
{
    for (const std::string& record : Format(layout).write(values)) report.write_line(record);
}

}  // namespace velm
