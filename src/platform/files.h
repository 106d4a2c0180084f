// File names and whole-file operations.  Every file name of the system passes
// through resolve_file_name: study files are named as on the original
// platform, with backslashes, drive letters and letters of any case.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

// A file that must exist and does not, or a file that cannot be read or
// written.  The message names the file (and the line where one is known).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Maps a system file name to a path on this machine: trailing blanks are
// dropped, backslashes are directory separators, a drive letter ("D:") is
// dropped, and each part of the name that exists in any letter case is found
// in that case.  A name that does not exist keeps its parts as written.
std::filesystem::path resolve_file_name(std::string_view name);

// Resolves several names as resolve_file_name resolves each, at one moment:
// each directory is looked at once for them all, not once a name.
std::vector<std::filesystem::path> resolve_file_names(const std::vector<std::string>& names);

// The name as resolve_file_name would give it, in lower case, found without
// looking at the disk: two names of the system have the same key exactly
// when they resolve to the same path in some letter case.
std::string file_name_key(std::string_view name);

// A study file is a regular file, or a symbolic link to one.  Whatever else
// stands at a study file's name (a fifo, a character or block device, a
// socket, a directory) is never taken for the file, nor for a missing one:
// a fifo would hold the program in its open or its read for ever, a device
// such as /dev/zero would be read without end, and a directory would be
// reported as a file that does not exist.  The check and the reads below
// refuse it with a FileError naming the file and what stands there:
//   "Cannot read file 'SA2301ZZ.ZLL': it is a fifo (named pipe), not a file"
// A link that leads nowhere is a missing file.

// Whether the file exists; FileError when something other than a file
// stands at its name (see above).
bool file_exists(std::string_view name);

// Whether anything but a directory stands at the name (a link followed),
// whatever it is: for the commit of a change, which removes what stands at
// the names of the files it removes and checks each name itself.
bool non_directory_exists(std::string_view name);

// Deletes the file when it exists.
void delete_file(std::string_view name);

// The whole content of a file as bytes; FileError when it is missing or not
// a file (see above).  A regular file is read up to the size it has when it
// is opened: a file that reports no size (as those of /proc do) reads empty.
std::string read_whole_file(std::string_view name);
// The same, or nothing when the file is missing (as file_exists would say).
std::optional<std::string> read_whole_file_if_exists(std::string_view name);

// A file opened for reading, by a reader that takes it a block at a time:
// its descriptor (the reader closes it) and the bytes it holds, to be read
// no further.
struct OpenedFile {
    int fd = -1;
    std::size_t size = 0;  // bytes
};
// Opens the file as read_whole_file would read it, with the same refusals;
// the open never waits, whatever stands at the name.
OpenedFile open_file_for_reading(std::string_view name);

// Replaces the file with the given content: the content goes to a temporary
// file in the same directory, which is then renamed over the old file, so a
// stop or a failed write leaves the old file or the new one, never half.
// A read-only file is refused (check_replaceable), not replaced.
void replace_file_atomically(std::string_view name, std::string_view contents);

// FileError "Cannot write file 'name': Permission denied" when the file
// exists and is read-only: this user may not write it, or nobody may (no
// write permission bit at all, the way an engineer protects a file).  A new
// file is renamed over the old one, which the directory would allow; the
// file's own protection is what counts.
void check_replaceable(std::string_view name);

// The path resolve_file_name gives a file about to be replaced, after the
// same check, and whether a file is there now.
struct ReplaceableFile {
    std::filesystem::path path;
    bool exists = false;
    bool is_directory = false;  // a directory stands under the path
};
ReplaceableFile find_replaceable_file(std::string_view name);

// A change's new versions (see FileChange) are files that this program alone
// makes, under names it chose beside the files they replace.  Once a name is
// claimed, every write to it goes straight to it (no temporary, no look-up of
// the letter case: the name is exact), and whether the file exists is known
// here, from the writes and deletions, without asking the disk, until the
// name is released.  A file under a claimed name that this program did not
// write (a killed run's leftover) does not count as existing.  A FileError
// of any write, read or deletion under the name names `file`, the study's
// file whose new version it is (the hidden name means nothing to the
// engineer), whoever writes it (a writer given the name by new_file).
void claim_new_version(const std::string& name, std::string_view file = {});
bool new_version_exists(const std::string& name);
// Forgets the name; the file, when written, stays (delete_file it first to
// remove it).
void release_new_version(const std::string& name);
// Notes that a claimed new version was written outside the calls above (a
// streamed one), with its size.
void note_new_version_written(const std::string& name, std::size_t size);

// Creates a file that this program alone writes (a new version, a
// temporary): whatever stands at the name is removed first and the file is
// opened with O_CREAT | O_EXCL | O_NOFOLLOW, so that nothing is ever written
// through a link planted there.  The descriptor, or -1 with errno set.
int create_exclusively(const std::filesystem::path& path, int flags = 0);

// FileError naming the file when a change cannot replace it: it is a
// directory, it is read-only, its directory cannot be written to, or it is
// missing and `must_exist`.
void check_change_target(const std::filesystem::path& path, std::string_view name, bool must_exist);

// Test-only hooks.  The stops, the actions and the write failures below are
// set by tests alone: no typed line, no file, no command-file line and no
// environment variable reaches them, and until a test sets one they are
// inert (a counter is kept and nothing else happens).  They are compiled
// into the program itself, not only into a test build, because the tests
// that prove a change all-or-nothing run the real change code and kill it
// (a forked child ending at a chosen step) exactly where the program users
// run would be killed; a separate test build of this file would prove a
// different program.
//
// The steps of a change (each write of a new version, each kept old file,
// the journal, each rename, the journal's removal) are counted, so that a
// test can stop a change at any one of them: at step `step` (counted from
// the call; 0 never) the program either throws a ProgramStop, as a stop
// would, or, in a forked child standing for a killed program, ends at once
// with CHANGE_STOP_EXIT_STATUS.  Only tests call it.
enum class ChangeStop { Throw, Exit };
inline constexpr int CHANGE_STOP_EXIT_STATUS = 86;
void stop_change_at_step(long step, ChangeStop kind = ChangeStop::Throw);
// The same, with the test's own action at that step (a file made to fail
// there, ...) instead of a stop; the step then goes on.
void act_at_change_step(long step, std::function<void()> action);
// The steps taken since the last stop_change_at_step.
long change_steps_taken();
// One step of a change (see above).
void take_change_step();

// A full disk for a test: after the next `after_writes` low-level writes of
// files (creating a file, writing to it, renaming it into place, appending
// to it) every further one fails with `error` (ENOSPC for a full disk,
// EFBIG for a file-size limit), as the operating system would report it,
// until fail_writes_with(0) turns the failure off.  Reads and deletions
// are not touched.  Only tests call it (see above).
void fail_writes_with(int error, long after_writes = 0);

// The operations that order a replacement on the disk, as a test watches
// them (see watch_disk_operations): the renames of replace_file_atomically
// (and of the copies and rewrites made through it) and the flushes below.
enum class DiskOperation { Rename, FlushFileSystem, FlushDirectory, FlushFile };
// `watcher` is called with the operation and its path (a rename's target):
// just before each rename, after its temporary is written whole, so that a
// test may put something in its way there (the rename is then made and
// fails as it would); just after each flush that was made.  Nothing else
// happens; an empty watcher ends the watch.  Only tests call it (see above).
void watch_disk_operations(std::function<void(DiskOperation operation, const std::filesystem::path& path)> watcher);

// Whether new files are flushed to disk before they replace the old ones; on
// unless a caller turns it off.  Only test fixtures that write throw-away
// studies in bulk turn it off, for as long as they write (DiskFlushesOff).
void set_disk_flushes(bool on);
bool disk_flushes();

class DiskFlushesOff {
public:
    DiskFlushesOff() : was_on_(disk_flushes()) { set_disk_flushes(false); }
    ~DiskFlushesOff() { set_disk_flushes(was_on_); }
    DiskFlushesOff(const DiskFlushesOff&) = delete;
    DiskFlushesOff& operator=(const DiskFlushesOff&) = delete;

private:
    bool was_on_;
};

// Flushes a file's content, or a directory's entries, to disk (best effort:
// a directory that cannot be opened is left alone).
void flush_file(const std::filesystem::path& file);
void flush_directory(const std::filesystem::path& directory);
// Flushes everything written to the file system that holds the directory:
// one call for many new files.
void flush_file_system(const std::filesystem::path& directory);

// Appends to the end of the file (created when missing) and forces the bytes
// to the disk before returning, so that a later stop loses nothing that was
// appended.  The file is never rewritten.
void append_to_file(std::string_view name, std::string_view contents);

// Copies a file whole (atomically at the destination).
void copy_file_atomically(std::string_view from, std::string_view to);

}  // namespace velm
