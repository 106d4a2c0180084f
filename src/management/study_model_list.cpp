#include "management/study_model_list.h"

#include "platform/files.h"
#include "records/format.h"

namespace velm {

namespace {

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool names_study_map(const ModelListEntry& entry, std::string_view study_id)
{
    if (!entry.names_map() || entry.text.size() < 2 || study_id.size() < 2) return false;
    return upper(entry.text[0]) == upper(study_id[0]) && upper(entry.text[1]) == upper(study_id[1]);
}

StudyModelList read_study_model_list(Session& session, std::string_view study_id, int storm_event)
{
    StudyModelList list;
    list.name = session.study_file(storm_event_model_list_name(study_id, storm_event));
    if (!file_exists(list.name)) return list;
    const ModelListFile file = read_model_list_file(list.name);
    list.status = file.is_model_list() ? StudyModelList::Status::Read : StudyModelList::Status::NotAModelList;
    for (const ModelListEntry& entry : file.entries) {
        if (!names_study_map(entry, study_id)) continue;
        list.entries.push_back(entry);
        list.data_file_stems.push_back(entry.data_file_stem());
    }
    return list;
}

}  // namespace velm
