// The files an analysis run writes, replaced together at the run's end.
//
// A run writes its report, node-set files, string files, string index and
// data bases as new versions beside the files they replace (hidden files in
// the same directory).  Later steps of the same run read those new versions.
// Only when the last step has finished does commit() put every new version
// in place; a run that stops for any reason (a ProgramStop, a FileError, a
// kill) leaves each file exactly as the previous run left it:
//   - the destructor of an uncommitted set removes its new versions;
//   - a kill before the commit leaves hidden new versions, which the next
//     run removes (remove_run_leftovers);
//   - a kill during the commit leaves a commit journal, from which the next
//     start of the program finishes the replacement (finish_interrupted_commit),
//     so the set is replaced whole or not at all.
//
// Use, in a step:
//     TextWriter out(run.outputs.new_file(name));           // written whole
//     TextWriter log = TextWriter::for_append(run.outputs.changed_file(name));
//     TextReader in(run.outputs.current_file(name));        // what the run sees
// `name` is always the file's own name (with the data directory where it has
// one), never the name new_file returned.  Files that are not results of the
// run are not written through this set: the settings and the outlet controls
// the user types are saved to the control file at once, so that a later stop
// never asks for them again; scratch files are deleted as before.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velm {

// The suffix of a run's hidden new versions: ".<name>.velm-run".
inline constexpr std::string_view RUN_OUTPUT_SUFFIX = ".velm-run";
// The commit journal in the working directory: the pairs of new version and
// file that a commit in progress is replacing.
inline constexpr std::string_view RUN_COMMIT_JOURNAL = ".velmora-run.commit";

class RunOutputs {
public:
    RunOutputs() = default;
    ~RunOutputs();  // an uncommitted set is discarded
    RunOutputs(const RunOutputs&) = delete;
    RunOutputs& operator=(const RunOutputs&) = delete;

    // The name to write this run's new version of `name` to, from scratch.
    // Asking again for the same file (in any letter case) gives the same
    // name and keeps what was written.
    std::string new_file(std::string_view name);
    // The same for a file the run appends to or updates: on the first call
    // the new version starts as a copy of the file's current content (empty
    // when the file is missing).
    std::string changed_file(std::string_view name);
    // The name to read `name` from: this run's new version when the run has
    // one, the file itself otherwise.
    std::string current_file(std::string_view name) const;
    bool has_new_version(std::string_view name) const;

    // Puts every new version in place of its file: each is flushed to disk,
    // the commit journal is written, the versions are renamed over their
    // files, the directories are flushed and the journal removed.  A new
    // version that a step never created (asked for, then not written) leaves
    // its file as it was.
    void commit();
    // Removes every new version; the files stay as they were.
    void discard();

private:
    struct Entry {
        std::string file;         // the file's name as first given
        std::string new_version;  // the hidden new version beside it, claimed
    };
    const Entry* find(std::string_view name) const;
    bool exists(const Entry& entry) const;
    std::string add(std::string_view name, bool copy_current);
    // Releases every new version's name and empties the set.
    void forget();

    // In the order asked for, and by the file's key (file_name_key): a run
    // asks for thousands of files, and for each several times.
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

// At the start of the program: finishes a commit that a kill interrupted,
// from the commit journal in the working directory, and removes the journal.
void finish_interrupted_commit();

// At the start of a run: removes the hidden new versions that a killed run
// left in the given directories (run outputs and the atomic rewrites'
// ".velm-new" copies alike).
void remove_run_leftovers(const std::vector<std::string>& directories);

}  // namespace velm
