// The run's hydraulic strings as the steps share them (see
// records/hydraulic_strings.h).  Once the string finder of the run has
// resolved them, every step takes them from the run context; a step run on
// a study without the finder before it takes them from the study's string
// index and string files, as they stand.
#pragma once

#include <optional>
#include <vector>

#include "records/string_files.h"
#include "shell/run_context.h"

namespace velm {

// The string index as the run has left it so far; nothing when the finder
// has not run and the study has no index.
std::optional<StringIndexFile> run_string_index(RunContext& run);
// The same index for a step that cannot go on without it: a missing one ends
// the run with FileError naming it.
StringIndexFile required_run_string_index(RunContext& run);
// The new index: written for the run's commit, and kept for the later steps.
void store_run_string_index(RunContext& run, const StringIndexFile& index);

// String n in its finder form; nothing when it has no file.
std::optional<std::vector<StringRecord>> run_string_records(RunContext& run, int string_number);

// String n's file in its long form, written once for the run's commit (a
// record that cannot be written is refused as the writer refuses it); what
// the gap report needs of its lines, as they read back, is kept.
void store_run_telescoped_string(RunContext& run, int string_number, const std::vector<TelescopedStringRecord>& records);
// What the gap report needs of string n in its long form as written;
// nothing when it has no file.
std::optional<std::vector<TelescopedLinkSummary>> run_telescoped_string_links(RunContext& run, int string_number);
// Lets go of the long forms kept for the gap report.
void release_run_telescoped_strings(RunContext& run);

// Writes, in the finder form, the file of every string of the run that no
// step has written in its long form: after the last step, before the commit.
void write_run_string_files(RunContext& run);

}  // namespace velm
