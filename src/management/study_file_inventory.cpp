#include "management/study_file_inventory.h"

#include <array>

#include "management/study_model_list.h"
#include "management/subset_field_map.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/diagnostics_report.h"
#include "records/node_set_files.h"
#include "records/string_files.h"
#include "records/study_names.h"
#include "shell/launcher.h"

namespace velm {

namespace {

// The per-map files listed after each map of storm event 1: its GIS node,
// link and subarea files and its node, link and subarea data bases.
constexpr std::array<std::string_view, 6> MAP_FILE_EXTENSIONS{"ZZN", "ZZL", "ZZS", "ZNN", "ZLL", "ZSS"};
constexpr std::size_t MAP_FILE_PREFIX_LENGTH = 9;  // study, map number, "ZZ."

// The study-wide files listed when they exist: the node-set files, the
// control file, three cost files, the subset specification, the string
// index and the diagnostics report.
// The control file is listed by its name in upper case.
constexpr std::array<std::string_view, 10> STUDY_FILE_NAME_FORMATS{
    HEADWATER_SET_NAME_FORMAT,     DOWNSTREAM_NODE_SET_NAME_FORMAT,
    CONFLUENCE_TABLE_NAME_FORMAT,  "(A2,'CONTZZ.ZZZ')",
    "(A2,'CBIZZZ.DAT')",           "(A2,'COSTEZZ.DAT')",
    "(A2,'PLMZZZ.DAT')",           SUBSET_SPECIFICATION_NAME_FORMAT,
    STRING_INDEX_FILE_NAME_FORMAT, DIAGNOSTICS_REPORT_FILE_NAME_FORMAT};

constexpr std::string_view MODEL_FILE_PATTERN_FORMAT = "(A2,'????ZZ.Z1*')";

std::string in_quotes(std::string_view path)
{
    return "\"" + std::string(path) + "\"";
}

std::string with_extension_mark(std::string_view name, char mark)
{
    std::string result(name);
    const std::size_t period = result.find_last_of('.');
    if (period == std::string::npos || period == 0) return result + mark;
    result[period - 1] = mark;
    return result;
}

std::string trimmed(std::string_view text)
{
    const std::size_t end = text.find_last_not_of(" \t");
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

}  // namespace

std::string baseline_copy_name(std::string_view name)
{
    return with_extension_mark(name, '1');
}

std::optional<std::vector<std::string>> build_study_file_inventory(Session& session, std::string_view study_id)
{
    std::vector<std::string> inventory;
    for (int event = 1; event <= MAX_INVENTORY_STORM_EVENTS; ++event) {
        const StudyModelList list = read_study_model_list(session, study_id, event);
        if (list.status == StudyModelList::Status::Missing) {
            if (event == 1) return std::nullopt;
            break;
        }
        inventory.push_back(storm_event_model_list_name(study_id, event));
        for (const ModelListEntry& entry : list.entries) {
            inventory.push_back(entry.model_file_name());
            if (event != 1) continue;
            const std::string prefix = entry.text.substr(0, MAP_FILE_PREFIX_LENGTH);
            for (std::string_view extension : MAP_FILE_EXTENSIONS) inventory.push_back(prefix + std::string(extension));
        }
    }
    for (std::string_view layout : STUDY_FILE_NAME_FORMATS) {
        const std::string name = study_file_name(layout, study_id);
        if (file_exists(session.study_file(name))) inventory.push_back(name);
    }
    return inventory;
}

std::vector<std::string> read_study_file_inventory(std::string_view name)
{
    std::vector<std::string> inventory;
    for (const std::string& line : read_text_lines(name)) {
        std::string listed = trimmed(line);
        // The inventory lists study files by their bare names: a line that
        // names a directory or a drive names no file of the study, and no
        // operation copies or deletes it.
        if (listed.empty() || listed.find_first_of("/\\:") != std::string::npos) continue;
        inventory.push_back(std::move(listed));
    }
    return inventory;
}

std::vector<std::string> adoption_copy_batch(Session& session, std::string_view study_id,
                                             const std::vector<std::string>& inventory)
{
    std::vector<std::string> lines;
    for (const std::string& name : inventory) {
        const std::string path = session.study_file(name);
        lines.push_back("COPY/Y " + in_quotes(path) + " " + in_quotes(session.study_file(baseline_copy_name(name))));
        lines.push_back("IF NOT ERRORLEVEL 1 DEL " + in_quotes(path));
    }
    lines.push_back("DEL " + in_quotes(session.study_file(study_file_name(TOOLSET_FILE_NAME_FORMAT, study_id))));
    return lines;
}

std::vector<std::string> restore_copy_batch(Session& session, const std::vector<std::string>& inventory)
{
    std::vector<std::string> lines;
    for (const std::string& name : inventory) {
        const std::string working = in_quotes(session.study_file(name));
        lines.push_back("IF NOT EXIST " + working + " COPY/Y " +
                        in_quotes(session.study_file(baseline_copy_name(name))) + " " + working);
    }
    return lines;
}

std::string model_file_delete_line(Session& session, std::string_view study_id)
{
    return "del " + in_quotes(session.study_file(study_file_name(MODEL_FILE_PATTERN_FORMAT, study_id)));
}

}  // namespace velm
