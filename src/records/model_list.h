// The study's model list file "TRVLZZ.Z11" (one per storm event, ".Z1y"):
// written by the companion hydrology program, it names the link-node model
// file of every map.  A binary record file: record 1 holds one value, the
// MODEL_LIST_MAGIC that marks the file as a model list, and every further
// record one 50-character entry.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr float MODEL_LIST_MAGIC = -111888.0f;
inline constexpr int MODEL_LIST_ENTRY_LENGTH = 50;  // characters of an entry record

// The list file of a study: the study identifier and "TRVLZZ.Z11".
inline constexpr std::string_view MODEL_LIST_FILE_NAME_FORMAT = "(A2,'TRVLZZ.Z11')";
std::string model_list_file_name(std::string_view study_id);

// The list of a storm event (1 to 9): "<study>TRVLZZ.Z1<event>", without
// the data directory.
inline constexpr std::string_view STORM_EVENT_MODEL_LIST_NAME_FORMAT = "(A2,'TRVLZZ.Z1',I1)";
std::string storm_event_model_list_name(std::string_view study_id, int storm_event);

// One entry: characters 1 to 8 the map's data file stem (identifier,
// four-digit map number, "ZZ"), character 9 a period, characters 10 to 12
// the model file extension ("Z1" and the storm event number), then blanks.
struct ModelListEntry {
    std::string text;  // 50 characters, as stored

    std::string data_file_stem() const { return text.substr(0, 8); }
    std::string model_file_extension() const { return text.substr(9, 3); }
    // The model file's name as the entry gives it (trailing blanks dropped).
    std::string model_file_name() const;
    // Only entries whose first character is "A" or later in the character
    // code name a map; the others are listed but are not maps of the study.
    bool names_map() const { return !text.empty() && static_cast<unsigned char>(text[0]) >= 'A'; }
};

// A name padded with blanks (or cut) to an entry of 50 characters.
ModelListEntry make_model_list_entry(std::string_view name);

struct ModelListFile {
    // Record 1 as one value; nothing when the file has no record or its first
    // record is too short to hold a value.
    std::optional<float> first_value;
    std::vector<ModelListEntry> entries;

    bool is_model_list() const { return first_value && *first_value == MODEL_LIST_MAGIC; }
};

// Reads the whole list (it must exist).  Entries are read only when record 1
// holds the magic value.  FileError naming the file and the record for a
// file that is not a record file or an entry shorter than 50 characters.
ModelListFile read_model_list_file(std::string_view name);

// Writes MODEL_LIST_MAGIC and the entries as a whole new file, atomically.
void write_model_list_file(std::string_view name, const std::vector<ModelListEntry>& entries);

}  // namespace velm
