// The baseline data bases "NODEZZ.BAS", "LINKZZ.BAS" and "SUBAZZ.BAS": the
// scenario's node, link and subarea data bases of every map frozen into three
// study-wide files when the scenario is adopted as the new baseline.  The
// differences module reads them back record by record in step with the map
// data bases.  Maps follow the study's model list of storm event 1, records
// the order of each map's file; each line is one record in the layout in
// which the system writes records of its kind.
#pragma once

#include <string_view>

#include "platform/file_change.h"
#include "shell/session.h"

namespace velm {

inline constexpr std::string_view NODE_BASELINE_NAME_FORMAT = "(A2,'NODEZZ.BAS')";
inline constexpr std::string_view LINK_BASELINE_NAME_FORMAT = "(A2,'LINKZZ.BAS')";
inline constexpr std::string_view SUBAREA_BASELINE_NAME_FORMAT = "(A2,'SUBAZZ.BAS')";

// Writes the three files for the study (the caller has tested its model
// list).  All three are built before any is replaced: a record that cannot
// be read or written ends the run with a FileError naming the file and the
// line, and the earlier baseline files stay as they were.  A map whose data
// base is missing adds no lines (the missing file is not created).  Given a
// change, the three files are its new versions, streamed to the disk, and
// are replaced when the change is committed.
void write_baseline_data_bases(Session& session, std::string_view study_id, FileChange* change = nullptr);

}  // namespace velm
