// Study file names: the two-character study identifier followed by a fixed
// name ("TRVLZZ.Z11", "contzz.zzz"; the letters ZZ stay as written), with the
// study's data directory in front.
#pragma once

#include <string>
#include <vector>
#include <string_view>

namespace velm {

inline constexpr int FILE_NAME_LENGTH = 50;  // characters of a shown name
inline constexpr int NO_DIRECTORY_FILE = -999;

// The run-wide result of the one look-up of the study's data directory file
// "<two characters>MPDZZ.ZZZ" in the working directory.
struct DataDirectoryCache {
    std::string directory;  // the directory prefix, up to its last separator
    // 0 not looked up; NO_DIRECTORY_FILE when the file is missing or its first
    // line names no directory; else the length of the prefix
    int state = 0;
    void reset()
    {
        directory.clear();
        state = 0;
    }
};

// A study file name from its layout and the study identifier: the layout
// puts the identifier in an A2 field in front of the fixed name, as
// "(A2,'TRVLZZ.DIA')" does.  Without the data directory.
std::string study_file_name(std::string_view layout, std::string_view study_id);

// The name with the study's data directory in front of it.
std::string add_data_directory(DataDirectoryCache& cache, std::string_view name);

// The data directories that the studies of the working directory name (one
// for each "<two characters>MPDZZ.ZZZ" there that names one).
std::vector<std::string> study_data_directories();

// The name's stem (before its first period or blank) with a new extension.
std::string replace_file_extension(std::string_view name, std::string_view extension);

// A name as shown on screen or in a file: at most 50 characters.
std::string shown_file_name(std::string_view name);

// The name padded with blanks to 50 characters, as messages show it.
std::string padded_file_name(std::string_view name);

}  // namespace velm
