// The legend pages at the front of each differences file of a full report:
// the introduction page (node file only) and the list of the selected
// columns of the kind with a description of each.  The descriptions come
// from the column-label files "kelnodez.lab", "kelsubaz.lab" and
// "kellinkz.lab" supplied with the system, in the working directory; a
// column without a label line, or a missing label file (or one of its two
// header lines alone), takes the fallback description.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "management/subset_field_map.h"

namespace velm {

inline constexpr std::string_view DIFFERENCES_TITLE_FORMAT =
    "(20X,'Master Plan of Drainage DIFFERENCES Report for MPD ID = [',A2,']')";
inline constexpr std::string_view DIFFERENCES_LEGEND_LINE_FORMAT = "(7X,I3,10X,I3,7X,A100)";
// A label line: the global column number in columns 1-4, the description
// in columns 7-106.
inline constexpr std::string_view COLUMN_LABEL_FORMAT = "(I4,2X,A100)";

std::string column_label_file_name(DataBaseKind kind);

// The description of a selected column: the first label line that names
// it, else the fallback.  The label lines are read in file order up to the
// one that names the column; an unreadable one on the way ends the run
// (FileError naming the file and the line).
std::string column_description(DataBaseKind kind, int column, const std::vector<std::string>& label_lines);

// The legend pages of the kind's differences file.
std::vector<std::string> differences_legend(DataBaseKind kind, const SubsetFieldList& list, std::string_view study_id);

}  // namespace velm
