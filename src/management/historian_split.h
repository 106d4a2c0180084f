// The split of the study's history log when a maintenance-mode scenario is
// adopted as the new baseline: one piece per visit of the editor (or GIS
// update), "HISTZZ.001", "HISTZZ.002", ..., their index "HISTZZ.IDX" with the
// date of each piece, and the log deleted so that the next scenario starts a
// log of its own.
#pragma once

#include <string_view>

#include "shell/session.h"

namespace velm {

inline constexpr std::string_view HISTORIAN_PIECE_NAME_FORMAT = "(A2,'HISTZZ.',I3.3)";
inline constexpr std::string_view HISTORIAN_INDEX_NAME_FORMAT = "(A2,'HISTZZ.IDX')";
inline constexpr std::string_view HISTORIAN_INDEX_COUNT_FORMAT = "(I4)";
inline constexpr std::string_view HISTORIAN_INDEX_LINE_FORMAT = "(A12,20X,A10)";
inline constexpr int MAX_HISTORIAN_PIECES = 999;
inline constexpr std::size_t HISTORIAN_PIECE_LINE_LENGTH = 90;  // shorter lines are padded

// Splits the log, writes the index, waits for RETURN, replies to the
// launcher when the run was launched (count above 0) and ends the program.
// The pieces and the index are written before the pieces of an earlier
// split beyond the new count are removed and before the log is deleted, so
// a failure on the way leaves the log to split again.  A missing log is
// reported (until RETURN) and ends the program without a reply, leaving
// earlier pieces and index as they are.  Lines after the last page break are kept as a last piece.
[[noreturn]] void split_historian_file(Session& session, int count, std::string_view study_id);

}  // namespace velm
