// The study's map data files, as the analysis run reads them from the model
// list file: up to 400 stems of 8 characters (study identifier, four-digit
// map number, "ZZ"), in list order, and the model file extension of the first
// map taken into the table.
#pragma once

#include <string>
#include <vector>

namespace velm {

inline constexpr int MAX_DATA_FILES = 400;
inline constexpr int DATA_FILE_STEM_LENGTH = 8;

struct DataFileTable {
    std::vector<std::string> data_file_names;  // stems such as "AB0101ZZ", at most MAX_DATA_FILES
    std::string model_file_extension;          // "Z1" and the storm event digit
    std::string study_id = {};                 // the study's two characters, also when no map is listed

    int data_file_count() const { return static_cast<int>(data_file_names.size()); }
    bool full() const { return data_file_count() >= MAX_DATA_FILES; }
};

}  // namespace velm
