// A change to several files at once: all of them or none.
//
// A change (an analysis run, an editor's save, a review's change with its
// string refresh, ...) writes each file's new version beside it, as a hidden
// file in the same directory; later steps of the same change read those new
// versions.  Only commit() puts them in place; a change that stops for any
// reason (a ProgramStop, a FileError, a kill) leaves each file as it was:
//   - the destructor of an uncommitted change removes its new versions;
//   - a kill before the commit leaves hidden new versions, which the next
//     start removes (recover_interrupted_changes);
//   - a kill during the commit leaves a commit journal, from which the next
//     start finishes the replacement, or, when a file can no longer be
//     replaced, puts every old file back: the files are replaced whole or
//     not at all, never some of them.
// The recovery takes a journal for its own only when it can prove it: a
// regular file at the journal's name (never read through a link), with its
// marked first line and its closing line, naming only plain files of the
// working directory and the study's data directories, each once, and their
// hidden versions letter for letter as the change makes them; on the disk,
// every hidden version that stands is a regular file (never a link), no name
// stands only in another letter case, and each file stands as an
// interrupted commit leaves it (its kept old version there, or the file
// already replaced).  Any other journal is named to the engineer and left
// as found, with every hidden file beside it.  (A kept old version that is
// a second name of a fifo, a socket or a device, as an earlier release kept
// one for such a thing at a file's name, is taken as the program's own too,
// and never put back: it holds nothing of the study.)
// A kept old version is always a regular file.  A fifo, a socket or a
// device at the name of a file a change writes keeps none: the new file
// replaces it, and the journal claims no old version for it, so that an
// undo removes the new file and leaves the study's files as before.  One at
// a name a change removes is removed too, with no old version kept, once
// every file of the change is in place.
// A commit that can neither finish nor undo (its directory turned read-only
// in the middle of the renames) leaves its journal for the next start and
// ends the program (UnfinishedCommit): no other change is made over it.
// The program is alone in the study's directories while it changes them:
// the lock file ".velmora.lock" in each directory (see study_lock.h) is
// taken before the recovery and held to the program's end, so that no
// other program's change in progress is ever taken for a killed one.
//
// Use:
//     FileChange change;
//     change.reach(name);                       // every file, before any write
//     change.write(name, contents);             // a new version, whole
//     TextWriter out(change.new_file(name));    // the same through a writer
//     NewVersionStream big = change.stream(name);   // written as it goes
//     change.append(log, entry);                // an append (the history log)
//     TextReader in(change.current_file(name)); // what the change sees
//     change.commit();
// `name` is always the file's own name (with the data directory where it has
// one), never the name new_file returned.  A file that cannot be replaced
// (read-only, a directory, in a directory that cannot be written) is refused
// with a FileError naming it: at reach() or the first write, and again at
// the commit before the first rename.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/files.h"

namespace velm {

// The suffix of a change's hidden new versions: ".<name>.velm-run".
inline constexpr std::string_view RUN_OUTPUT_SUFFIX = ".velm-run";
// The suffix under which a commit keeps each old file (a hard link to it)
// until the commit is finished: ".<name>.velm-old".
inline constexpr std::string_view OLD_VERSION_SUFFIX = ".velm-old";
// The commit journal in the working directory: its first line "velmora
// commit journal 1", what a commit in progress is doing ("finish" or
// "undo"), then for each file its new version (an empty line when the file
// is removed), the file and its kept old version (an empty line when the
// file is new), and the closing line "end".
inline constexpr std::string_view RUN_COMMIT_JOURNAL = ".velmora-run.commit";

// A new version written piece by piece, for outputs too big to hold whole:
// each piece goes to the disk as it comes.  finish() closes it; a stream
// dropped unfinished leaves its new version unwritten (the change discards
// it).
class NewVersionStream {
public:
    NewVersionStream(NewVersionStream&& other) noexcept;
    NewVersionStream& operator=(NewVersionStream&&) = delete;
    NewVersionStream(const NewVersionStream&) = delete;
    ~NewVersionStream();

    void write(std::string_view bytes);
    // A line of a text file: the text and its CR LF.
    void write_line(std::string_view line)
    {
        write(line);
        write("\r\n");
    }
    void finish();

private:
    friend class FileChange;
    NewVersionStream(std::string file, std::string new_version);
    void flush_buffer();
    std::string file_;
    std::string new_version_;
    int fd_ = -1;
    std::size_t size_ = 0;
    std::string buffer_;
};

class FileChange {
public:
    FileChange() = default;
    ~FileChange();  // an uncommitted change is discarded
    FileChange(const FileChange&) = delete;
    FileChange& operator=(const FileChange&) = delete;

    // Checks, before anything is written, a file the change will replace:
    // FileError naming it when it cannot be (see above), or when it must
    // exist and is missing.
    void reach(std::string_view name, bool must_exist = false);

    // The name to write this change's new version of `name` to, from
    // scratch.  Asking again for the same file (in any letter case) gives the
    // same name and keeps what was written.
    std::string new_file(std::string_view name);
    // The same for a file the change appends to or updates: on the first
    // call the new version starts as a copy of the file's current content
    // (empty when the file is missing).
    std::string changed_file(std::string_view name);
    // The new version from given contents.
    void write(std::string_view name, std::string_view contents);
    // The given bytes added at the end of the change's version of the file.
    void append(std::string_view name, std::string_view bytes);
    // The new version written as it goes.
    NewVersionStream stream(std::string_view name);
    // The file removed by the commit, with the replacements (nothing for a
    // file that is not there then).  A fifo, a socket or a device at the
    // name goes once every file of the change is in place.
    void remove(std::string_view name);

    // The name to read `name` from: this change's new version when it has
    // one, the file itself otherwise.
    std::string current_file(std::string_view name) const;
    bool has_new_version(std::string_view name) const;

    // Puts every new version in place of its file: every target is checked
    // again, each old file is kept under a hidden link, the new versions are
    // flushed to disk, the journal is written, the versions are renamed over
    // their files, the directories are flushed and the journal removed.  A
    // new version that was asked for and never written leaves its file as
    // it was.  A rename that fails puts every old file back and throws a
    // FileError naming the file.  UnfinishedCommit when the commit can be
    // neither finished nor undone now (the journal stays for the next
    // start), and when a journal stands already: nothing is committed over
    // another change's journal.
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
    void check_directory_of(const std::string& path, std::string_view name);
    // Releases every new version's name and empties the set.
    void forget();

    // In the order asked for, and by the file's key (file_name_key): a run
    // asks for thousands of files, and for each several times.
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
    // The files the commit removes, as given.
    std::vector<std::string> removals_;
    // Directories found writable already (a run's files share a few).
    std::vector<std::string> writable_directories_;
    // The journal is written: what is left of the commit belongs to the
    // next start, not to the destructor.
    bool committing_ = false;
};

// A commit journal that the recovery cannot prove its own (see above); the
// message names the journal and what is wrong with it.  Nothing was changed.
class UntrustedJournal : public FileError {
public:
    using FileError::FileError;
};

// A commit that can be neither finished nor undone now: a rename failed and
// the old files cannot all be put back (or the journal cannot be rewritten
// to say so), or the journal of a commit whose files are all replaced cannot
// be removed, or another change's journal stands.  The message names the
// study's file and the system's reason, and what the next start of the
// program will do; never a hidden name.  No module catches it (it is no
// FileError): the program ends, and makes no other change over the journal.
class UnfinishedCommit : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// At the start of the program, before any module reads the study, with the
// study's lock held (StudyLock, over the same directories): finishes
// (or undoes) a commit that a kill interrupted, from the commit journal in
// the working directory, and removes the hidden new versions and kept old
// files that stopped changes left in the given directories (the working
// directory "." and the data directories' prefixes).  UntrustedJournal, with
// nothing changed, for a journal that is not the program's own.
void recover_interrupted_changes(const std::vector<std::string>& directories);

// The two halves of the above.  FileError naming the file and the reason
// when the journal, the program's own, can be neither finished nor undone
// now (it stays for the next start).
void finish_interrupted_commit(const std::vector<std::string>& directories);
void remove_run_leftovers(const std::vector<std::string>& directories);

// Test-only hook (see the test hooks of files.h; inert until a test sets
// it): `failure` is asked before each call of a commit, an undo or the
// recovery that renames or removes a file, with the call and the file, and
// answers 0 to let the call be made or an error number to fail it with, as
// the operating system would (EACCES for a directory turned read-only).
// An empty function turns it off.
enum class CommitCall {
    Rename,         // a new version renamed over its file
    Remove,         // a file the commit removes
    PutBack,        // an old file renamed back by an undo
    RemoveNew,      // a file that was new, removed by an undo
    RemoveJournal,  // the journal removed at the commit's end
};
void fail_commit_calls(std::function<int(CommitCall call, const std::string& file)> failure);

}  // namespace velm
