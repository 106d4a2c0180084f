// The study file inventory "INVTZZ.ZZZ" and the batch files of the scenario
// module.  The inventory lists the study's files that make up a baseline:
// every storm event's model list with its map model files (and, for storm
// event 1, each map's GIS files and data bases), then the study-wide files
// that exist.  "MPDCOPY.BAT" copies each listed file to its baseline copy
// and clears the working file, or, when a maintenance operation starts,
// copies the baseline copies back; "delmpd.bat" deletes every map's model
// files.  The system writes the batch files and never runs them: they are
// run outside it, on the platform whose command syntax they use.  Every path
// in them stands in quotes, a delete runs only when its copy succeeded, and
// a copy back never overwrites a working file that exists.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/session.h"

namespace velm {

inline constexpr std::string_view STUDY_FILE_INVENTORY_NAME_FORMAT = "(A2,'INVTZZ.ZZZ')";
inline constexpr std::string_view BASELINE_COPY_BATCH_NAME = "MPDCOPY.BAT";
inline constexpr std::string_view MODEL_FILE_DELETE_BATCH_NAME = "delmpd.bat";
inline constexpr int MAX_INVENTORY_STORM_EVENTS = 9;

// The baseline copy of a study file name: the character in front of the
// extension ("Z" of "ZZ.") becomes "1" ("ABTRVLZZ.DIA" -> "ABTRVLZ1.DIA",
// "ABCOSTEZZ.DAT" -> "ABCOSTEZ1.DAT").
std::string baseline_copy_name(std::string_view name);

// The inventory lines of the study (file names without directory), or
// nothing when the model list of storm event 1 does not exist.
std::optional<std::vector<std::string>> build_study_file_inventory(Session& session, std::string_view study_id);

// The inventory as written (blank lines, and lines that name a directory
// or a drive, passed over).
std::vector<std::string> read_study_file_inventory(std::string_view name);

// The lines of "MPDCOPY.BAT" when a scenario is adopted: for each listed
// file a copy to its baseline copy and, when that copy succeeded, the
// delete of the working file; last the delete of the study's tool-status file.
std::vector<std::string> adoption_copy_batch(Session& session, std::string_view study_id,
                                             const std::vector<std::string>& inventory);
// The lines of "MPDCOPY.BAT" when a maintenance operation starts: each
// baseline copy copied back to its working name where that file is missing.
std::vector<std::string> restore_copy_batch(Session& session, const std::vector<std::string>& inventory);
// The one line of "delmpd.bat": the delete of every map's model file of
// every storm event.
std::string model_file_delete_line(Session& session, std::string_view study_id);

}  // namespace velm
