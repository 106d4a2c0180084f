// The model files of one map, one per storm event.
#include "editor/storm_event_files.h"

#include <optional>

#include "platform/files.h"
#include "records/format.h"
#include "records/model_list.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view MODEL_FILE_UPDATE_FORMAT = "('* UPDATE LINK-NODE DATA FILE --> ',A12,' *')";
constexpr std::string_view MISSING_DATA_FILE_FORMAT = "(' * DATA FILE [',A12,'] DOES NOT EXIST')";
constexpr std::string_view MISSING_STORM_EVENT_FORMAT =
    "('   BUT [',A,'] EXISTS: STORM EVENT ',I1,' IS MISSING; NOTHING WAS CHANGED')";

// The storm event after the map's last file in sequence still belongs to the
// study when the study's model list of that event, or a later event's file of
// the map, exists.  An edit of the files before the gap would leave the
// events disagreeing; the evidence found, or nothing.
std::optional<std::string> later_storm_event_evidence(EditorContext& context, std::string_view map_file_name,
                                                      int missing_event)
{
    for (int event = missing_event; event <= MAX_STORM_EVENT_FILES; ++event) {
        const std::string list_name = storm_event_model_list_name(context.study_id, event);
        if (file_exists(context.session.study_file(list_name))) return list_name;
        const std::string name = storm_event_file_name(map_file_name, event);
        if (event > missing_event && file_exists(context.session.study_file(name))) return name;
    }
    return std::nullopt;
}

}  // namespace

std::string storm_event_file_name(std::string_view map_file_name, int storm_event)
{
    std::string name(map_file_name.substr(0, 9));
    name.resize(9, ' ');
    return name + "Z1" + std::to_string(storm_event);
}

EditRefused model_file_refusal(std::string_view name, const std::exception& error)
{
    return refusal_from_message(" * MODEL FILE [" + std::string(name) + "] CANNOT BE CHANGED; NOTHING WAS CHANGED:",
                                error.what());
}

std::vector<StormEventModelFile> load_storm_event_model_files(EditorContext& context, std::string_view map_file_name)
{
    std::vector<StormEventModelFile> files;
    for (int event = 1; event <= MAX_STORM_EVENT_FILES; ++event) {
        const std::string name = storm_event_file_name(map_file_name, event);
        const std::string path = context.session.study_file(name);
        if (!file_exists(path)) {
            if (event == 1) throw EditRefused({format_line(MISSING_DATA_FILE_FORMAT, {name})});
            if (const auto evidence = later_storm_event_evidence(context, map_file_name, event)) {
                throw EditRefused({format_line(MISSING_DATA_FILE_FORMAT, {name}),
                                   format_line(MISSING_STORM_EVENT_FORMAT, {*evidence, event})});
            }
            break;
        }
        try {
            files.push_back({event, name, load_model_file(path)});
        } catch (const FileError& error) {
            throw model_file_refusal(name, error);
        }
    }
    return files;
}

void commit_edit(CopyBackSet& changes)
{
    try {
        changes.commit();
    } catch (const FileError& error) {
        throw refusal_from_message(" * A FILE OF THIS CHANGE CANNOT BE WRITTEN; NOTHING WAS CHANGED:", error.what());
    }
}

void show_model_file_update(Window& window, int row, std::string_view name)
{
    write_form(window, 5, row, MODEL_FILE_UPDATE_FORMAT, {std::string(name)});
}

}  // namespace velm
