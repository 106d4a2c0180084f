#include "management/baseline_data_bases.h"

#include <string>

#include "management/study_model_list.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/study_names.h"
#include "records/subarea_data_base.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

// Copies every record of a map data base, in file order, as one line each.
template <class Record>
void copy_records(const std::string& data_base, NewVersionStream& baseline)
{
    TextReader lines = TextReader::open_optional(data_base);
    FreeFormReader reader(lines);
    while (std::optional<Record> record = read_record<Record>(reader)) {
        baseline.write_line(record_line(*record, data_base, lines.line_number()));
    }
}

}  // namespace

void write_baseline_data_bases(Session& session, std::string_view study_id, FileChange* change)
{
    write_at(session.window, 5, 5, "..Creating BASELINE Data Base files");
    FileChange own;
    FileChange& files = change != nullptr ? *change : own;
    // Map by map: only one map's data bases are in memory at a time, and the
    // three files grow on the disk until all are complete.
    NewVersionStream nodes(files.stream(session.study_file(study_file_name(NODE_BASELINE_NAME_FORMAT, study_id))));
    NewVersionStream links(files.stream(session.study_file(study_file_name(LINK_BASELINE_NAME_FORMAT, study_id))));
    NewVersionStream subareas(files.stream(session.study_file(study_file_name(SUBAREA_BASELINE_NAME_FORMAT, study_id))));

    const StudyModelList list = read_study_model_list(session, study_id);
    for (const std::string& stem : list.data_file_stems) {
        copy_records<NodeRecord>(session.study_file(node_data_base_name(stem)), nodes);
        copy_records<LinkRecord>(session.study_file(link_data_base_name(stem)), links);
        copy_records<SubareaRecord>(session.study_file(subarea_data_base_name(stem)), subareas);
    }
    for (NewVersionStream* file : {&nodes, &links, &subareas}) file->finish();
    if (change == nullptr) own.commit();
}

}  // namespace velm
