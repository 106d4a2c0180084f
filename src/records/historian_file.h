// The study's history log "HISTZZ.DAT": the network model editor appends an
// entry for every change (a rule line, a stamp line with the date in
// characters 13 to 22, a title and the previous and current values), closes
// each visit of the user with a page-break line, and the GIS update appends a
// dated note closed the same way.  The data base management splits the log
// at its page breaks into one piece per visit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr std::string_view HISTORIAN_FILE_NAME_FORMAT = "(A2,'HISTZZ.DAT')";
std::string historian_file_name(std::string_view study_id);

// The characters of a stamp line (line 2 of an entry) that hold the date
// MM/DD/YYYY.
inline constexpr std::size_t HISTORY_DATE_START = 12;  // 0-based: characters 13 to 22
inline constexpr std::size_t HISTORY_DATE_LENGTH = 10;

// The lines of one visit: those after the previous page break and before
// its own.
struct HistorianVisit {
    std::vector<std::string> lines;
    bool closed = true;  // false for the last lines of a log that no page break ends
};

// The visits of a log in file order (the log must exist: FileError
// otherwise).  A line whose first character is a form feed closes a visit;
// the lines after the last page break, when there are any, are a visit of
// their own that is not closed.
std::vector<HistorianVisit> read_historian_visits(std::string_view name);

}  // namespace velm
