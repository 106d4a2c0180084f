// The split of the study's history log when a maintenance-mode scenario is
// adopted as the new baseline: one piece per visit of the editor (or GIS
// update), "HISTZZ.001", "HISTZZ.002", ..., their index "HISTZZ.IDX" with the
// date of each piece, and the log deleted so that the next scenario starts a
// log of its own.
#pragma once

#include <string_view>

#include "platform/file_change.h"
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
// The pieces, the index, the removal of the pieces of an earlier split
// beyond the new count and of the log are one change, so a failure or a
// stop on the way leaves the log to split again.  A missing log is
// reported (until RETURN) and ends the program without a reply, leaving
// earlier pieces and index as they are.  Lines after the last page break are kept as a last piece.
//
// Given a change (the adoption whose log it is), the pieces and the index
// are new versions of that change and all are committed together; a split
// that cannot be made commits the change as it stands, before its message,
// which then says that the adoption was written.
// A piece or the index that cannot be written is told in the window, naming
// it, and nothing of the change is written.
[[noreturn]] void split_historian_file(Session& session, int count, std::string_view study_id,
                                       FileChange* change = nullptr);

}  // namespace velm
