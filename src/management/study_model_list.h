// The maps of a study as the data base management modules take them from the
// study's model list of a storm event: the entries that name a map of this
// study.  A list may name a model file of another study (a list copied from
// a neighbouring study); such entries are passed over, so that no module
// copies, lists or deletes another study's files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/model_list.h"
#include "shell/session.h"

namespace velm {

// True when the entry names a map file of the study: its first character is
// "A" or later, and its first two characters are the study identifier in
// either letter case (file names are matched without regard to case).
bool names_study_map(const ModelListEntry& entry, std::string_view study_id);

struct StudyModelList {
    enum class Status { Missing, NotAModelList, Read };
    Status status = Status::Missing;
    std::string name;                          // with the data directory
    std::vector<ModelListEntry> entries;       // the study's map entries, in list order
    std::vector<std::string> data_file_stems;  // their first 8 characters
};

StudyModelList read_study_model_list(Session& session, std::string_view study_id, int storm_event = 1);

}  // namespace velm
