// What the subarea attribute editor and the subarea time editor share: the
// subarea being edited, its model file, and the write-out of a change into
// every storm event's model file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "editor/editor_context.h"
#include "records/history_log.h"
#include "records/model_file_copy_back.h"

namespace velm {

struct SubareaSelection {
    float subarea_number = 0.0f;
    std::string file_name;  // the event-1 model file that holds it, without the data directory
};

// The pass of one storm event's file: changes the file in memory, or returns
// false when this event's file stays as it is.
using SubareaPass = std::function<bool(ModelFile& file, int storm_event)>;

// Checks and edits every storm event's model file of the subarea's map,
// appends the history lines, and replaces the files (with `also`, a further
// file of the change) together.  EditRefused, with nothing changed, when a
// file is missing or does not walk.
void write_out_subarea(EditorContext& context, HistorianFile& log, const SubareaSelection& selection,
                       const SubareaPass& pass, const std::vector<std::string>& history,
                       const std::function<void(CopyBackSet&)>& also = {});

// Option 2: the time of concentration (type 6) or the watershed lag (type
// 10) of the selected subarea, whose first fetch has been run.
void edit_subarea_time(EditorContext& context, HistorianFile& log, const SubareaSelection& selection);

}  // namespace velm
