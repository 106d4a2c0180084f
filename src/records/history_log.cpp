// The study's history log.
#include "records/history_log.h"

#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/study_names.h"

namespace velm {

std::string history_log_name(std::string_view study_id)
{
    return study_file_name(HISTORY_LOG_NAME_FORMAT, study_id);
}

std::vector<std::string> history_entry_frame(const DateTime& moment, std::string_view rule_format)
{
    return {format_line(rule_format, {}),
            format_line(HISTORY_STAMP_FORMAT, {moment.month, moment.day, moment.year, moment.hour, moment.minute})};
}

std::vector<std::string> gis_update_note(const DateTime& moment)
{
    std::vector<std::string> lines = history_entry_frame(moment);
    const std::vector<std::string> note = Format(GIS_UPDATE_NOTE_FORMAT).write({std::string(PAGE_BREAK)});
    lines.insert(lines.end(), note.begin(), note.end());
    return lines;
}

void HistorianFile::append(const std::vector<std::string>& lines)
{
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    append_to_file(name_, bytes);
    open_ = true;
}

void append_history_page_break(std::string_view name)
{
    if (!file_exists(name)) return;
    FileChange change;
    change.reach(name);
    change.append(name, std::string(PAGE_BREAK) + "\r\n");
    change.commit();
}

std::vector<HistoryVisit> read_history_visits(std::string_view name)
{
    std::vector<HistoryVisit> visits;
    HistoryVisit current;
    for (std::string& line : read_text_lines(name)) {
        if (!line.empty() && line.front() == '\f') {
            visits.push_back(std::move(current));
            current = HistoryVisit{};
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
