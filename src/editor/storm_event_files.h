// The model files of one map, one per storm event, as an edit changes them:
// every file is read and walked before anything is changed, each edited in
// memory, and all are replaced together with the data base the edit changes
// beside them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_context.h"
#include "records/model_file_copy_back.h"

namespace velm {

inline constexpr int MAX_STORM_EVENT_FILES = 9;  // the event is one digit of the extension

struct StormEventModelFile {
    int storm_event = 0;
    std::string name;  // without the data directory: "AB0101ZZ.Z12"
    LoadedModelFile loaded;
};

// The name of a storm event's model file from a name of the map's files:
// its first 9 characters ("AB0101ZZ."), "Z1" and the event digit.
std::string storm_event_file_name(std::string_view map_file_name, int storm_event);

// The map's model files: storm event 1, which must exist, then 2, 3, ...
// while the next one exists.  EditRefused when event 1 is missing (" * DATA
// FILE [..] DOES NOT EXIST"), when a file is missing although the study has
// that storm event (its model list or a later event's file of the map
// exists), or when a file does not walk.
std::vector<StormEventModelFile> load_storm_event_model_files(EditorContext& context, std::string_view map_file_name);

// A walker refusal of one file as the editors show it.
EditRefused model_file_refusal(std::string_view name, const std::exception& error);

// Puts an edit's files and its history entry in place together; a file the
// edit cannot replace (read-only, a directory) refuses the edit, naming the
// file, with every file as it was.
void commit_edit(CopyBackSet& changes);

// "* UPDATE LINK-NODE DATA FILE --> name *" at column 5 of the row.
void show_model_file_update(Window& window, int row, std::string_view name);

}  // namespace velm
