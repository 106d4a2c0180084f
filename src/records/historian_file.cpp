#include "records/historian_file.h"

#include "platform/text_file.h"
#include "records/study_names.h"

namespace velm {

std::string historian_file_name(std::string_view study_id)
{
    return study_file_name(HISTORIAN_FILE_NAME_FORMAT, study_id);
}

std::vector<HistorianVisit> read_historian_visits(std::string_view name)
{
    std::vector<HistorianVisit> visits;
    HistorianVisit current;
    for (std::string& line : read_text_lines(name)) {
        if (!line.empty() && line.front() == '\f') {
            visits.push_back(std::move(current));
            current = HistorianVisit{};
            continue;
        }
        current.lines.push_back(std::move(line));
    }
    if (!current.lines.empty()) {
        current.closed = false;
        visits.push_back(std::move(current));
    }
    return visits;
}

}  // namespace velm
