// One program at a time in a study's directories.
//
// Two programs working on one study at once lose each other's work: a
// second start's recovery would remove the first program's hidden new
// versions or finish its commit under it, and two editors on one map save
// over each other.  So the program takes, before its recovery and before it
// reads any study file, an exclusive lock in every directory it may change:
// the lock file ".velmora.lock" in the working directory and in each data
// directory.  The operating system holds the lock for the open file (flock)
// and releases it when the program ends, however it ends: a lock left by a
// killed program never blocks the next start.  The holder writes into the
// file one line naming itself (process, machine, start time), which a start
// that is refused shows to the engineer.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace velm {

inline constexpr std::string_view STUDY_LOCK_FILE = ".velmora.lock";

// What the lock file of a directory held by another program says about its
// holder.  `readable` is false when the file could not be read or holds no
// holder's line; the other members are then empty.
struct LockHolder {
    std::string directory;  // the directory whose lock was refused, as given
    bool readable = false;
    long process = 0;      // process id
    std::string machine;   // host name, empty when not known
    std::string started;   // "YYYY-MM-DD HH:MM:SS", empty when not known
};

// The holder's line of this program: its process id, machine and the start
// time given.
std::string lock_holder_line(const DateTime& started);

// What a lock file's line says (see LockHolder); `readable` false for text
// that is no holder's line.
LockHolder read_lock_holder_line(std::string_view line);

class StudyLock {
public:
    StudyLock() = default;
    ~StudyLock() { release(); }
    StudyLock(const StudyLock&) = delete;
    StudyLock& operator=(const StudyLock&) = delete;

    // Takes the lock of each directory (the empty name and "." are the
    // working directory), in the order given, without waiting; a directory
    // already held by this lock, or the same directory under another name,
    // is taken once.  A directory that is missing, or where no lock file can
    // be made or opened (a read-only directory that this program cannot
    // change either), is passed over.  When one is held by another program,
    // every lock this call and earlier calls took is released (a lock file
    // made here removed, one found here left as it was) and its holder is
    // returned; nothing is written then.
    std::optional<LockHolder> take(const std::vector<std::string>& directories);

    // Writes the holder's line into every lock file held, in place of what a
    // killed program left there.  Best effort: a line that cannot be written
    // only leaves a refused start without its holder's name.
    void write_holder(std::string_view line);

    // Removes each lock file and releases its lock; done by the destructor.
    void release();

    bool held() const { return !locks_.empty(); }

private:
    struct Lock {
        std::string path;
        int fd = -1;
        bool made_here = false;  // the file did not exist before it was taken
        unsigned long long device = 0;
        unsigned long long inode = 0;
        unsigned long long directory_device = 0;
        unsigned long long directory_inode = 0;
    };
    // Drops every lock; the lock files are removed when `remove_all` or when
    // made here.
    void drop(bool remove_all);
    std::vector<Lock> locks_;
};

}  // namespace velm
