// The study identifier: two characters typed at a study prompt or taken from
// the launcher's command file, the first two characters of every study file
// name.  Two blanks stand for a study not yet known.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "records/data_file_table.h"

namespace velm {

inline constexpr std::size_t STUDY_ID_LENGTH = 2;
inline constexpr std::string_view UNKNOWN_STUDY_ID = "  ";

class StudyId {
public:
    StudyId() = default;  // not known yet
    // The first two characters of an answer, a command-file line or a file
    // name, padded with blanks when it is shorter.
    explicit StudyId(std::string_view text) : text_(text.substr(0, std::min(text.size(), STUDY_ID_LENGTH)))
    {
        text_.resize(STUDY_ID_LENGTH, ' ');
    }

    bool unknown() const { return text_ == UNKNOWN_STUDY_ID; }
    // The two characters, which every study file name begins with.
    const std::string& file_prefix() const { return text_; }
    const std::string& text() const { return text_; }
    operator const std::string&() const { return text_; }
    bool operator==(const StudyId&) const = default;

private:
    std::string text_ = std::string(UNKNOWN_STUDY_ID);
};

// The two characters of a name (an answer, a map's file stem), padded.
inline std::string study_id_of(std::string_view name)
{
    return StudyId(name).text();
}

inline bool is_unknown_study_id(std::string_view study_id)
{
    return StudyId(study_id).unknown();
}

// The study a run's checks and node-set files are named after: that of the
// first map data file of the table, or the table's own identifier when the
// model list names no map.
inline StudyId study_of_data_files(const DataFileTable& data_files)
{
    return StudyId(data_files.data_file_count() > 0 ? std::string_view(data_files.data_file_names.front())
                                                    : std::string_view(data_files.study_id));
}

}  // namespace velm
