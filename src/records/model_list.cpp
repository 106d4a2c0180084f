// The model list file: read and written whole.
#include "records/model_list.h"

#include "platform/files.h"
#include "platform/record_file.h"
#include "records/format.h"
#include "records/study_names.h"

namespace velm {

std::string model_list_file_name(std::string_view study_id)
{
    return study_file_name(MODEL_LIST_FILE_NAME_FORMAT, study_id);
}

std::string storm_event_model_list_name(std::string_view study_id, int storm_event)
{
    return format_line(STORM_EVENT_MODEL_LIST_NAME_FORMAT, {std::string(study_id), storm_event});
}

std::string ModelListEntry::model_file_name() const
{
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

ModelListEntry make_model_list_entry(std::string_view name)
{
    std::string text(name.substr(0, MODEL_LIST_ENTRY_LENGTH));
    text.resize(MODEL_LIST_ENTRY_LENGTH, ' ');
    return ModelListEntry{text};
}

ModelListFile read_model_list_file(std::string_view name)
{
    const std::vector<RecordBytes> records = decode_records(read_whole_file(name), name);
    ModelListFile list;
    if (records.empty() || records[0].size() < sizeof(float)) return list;
    list.first_value = payload_float(records[0], 0);
    if (!list.is_model_list()) return list;
    for (std::size_t k = 1; k < records.size(); ++k) {
        const RecordBytes& record = records[k];
        if (record.size() < static_cast<std::size_t>(MODEL_LIST_ENTRY_LENGTH)) {
            throw FileError(std::string(name) + ": record " + std::to_string(k + 1) + " holds " +
                            std::to_string(record.size()) + " bytes, not a 50-character model list entry");
        }
        // An entry is the record's first 50 characters.
        list.entries.push_back(
            ModelListEntry{std::string(reinterpret_cast<const char*>(record.data()), MODEL_LIST_ENTRY_LENGTH)});
    }
    return list;
}

void write_model_list_file(std::string_view name, const std::vector<ModelListEntry>& entries)
{
    std::vector<RecordBytes> records;
    records.reserve(entries.size() + 1);
    records.push_back(float_payload(MODEL_LIST_MAGIC));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (entries[k].text.size() != static_cast<std::size_t>(MODEL_LIST_ENTRY_LENGTH)) {
            throw FileError(std::string(name) + ": record " + std::to_string(k + 2) + ": the entry holds " +
                            std::to_string(entries[k].text.size()) + " characters, not 50");
        }
        records.push_back(text_payload(entries[k].text));
    }
    replace_file_atomically(name, encode_records(records));
}

}  // namespace velm
