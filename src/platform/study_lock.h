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
// killed program never blocks the next start.  The holder writes into each
// file, the moment it takes its lock, one line naming itself (process,
// machine, start time), which a start that is refused shows to the engineer.
//
// The lock file is made with mode 0666 whatever the umask, so that every
// user who may change the directory can open it and take the lock.  It is
// made whole (locked, holding its line) before it is put at its name, and a
// file found there is never written, cut or given another mode when it may
// be anything but a lock file: it is taken over by putting a lock file of
// the program's own in its place.  What stands at the name but cannot be
// opened (another user's lock file of mode 0600), or is no regular file (a
// symbolic link, a directory, a fifo, a socket), may hide a program at
// work: where the directory can be written the start is refused.  Only a
// directory this program cannot write is passed over, as it can change
// nothing there.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace velm {

inline constexpr std::string_view STUDY_LOCK_FILE = ".velmora.lock";

// What keeps the lock of a directory from being taken.
enum class LockStanding {
    HeldByAnotherRun,    // a lock file whose lock another program holds
    UnreadableLockFile,  // a regular file this user cannot open (mode 0600 of another user, mode 000)
    SymbolicLink,
    Directory,
    Fifo,
    Socket,
    Device,    // a block or character device
    Unusable,  // no lock file can be opened or made, for the system's `reason`
};

// Why the lock of a directory was refused: what stands at its lock file's
// name and, for a lock held by another program, what its lock file says
// about the holder.  `readable` is false when the holder's line could not be
// read or names a process of this machine that has ended; the holder's
// members are then empty.
struct LockHolder {
    std::string directory;  // the directory whose lock was refused, as given
    LockStanding standing = LockStanding::HeldByAnotherRun;
    bool readable = false;
    long process = 0;     // process id
    std::string machine;  // host name, empty when not known
    std::string started;  // "YYYY-MM-DD HH:MM:SS", empty when not known
    // An unreadable lock file's owner and permission bits.
    bool owned_by_another_user = false;
    std::string owner;   // user name, or "uid N" when it has none
    unsigned mode = 0;   // permission bits, e.g. 0600
    std::string reason;  // the system's reason for an unusable lock file
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
    // working directory), in the order given, without waiting, each lock
    // file of its own holding the holder's line `holder_line` (none when
    // empty) from the moment it stands at its name; a directory already held by this lock,
    // or the same directory under another name, is taken once.  A directory
    // that is missing, or one this program cannot write (where it changes
    // nothing), is passed over when its lock file cannot be made or opened
    // or is no regular file.  When one is held by another program, or
    // something else stands at its lock file's name in a directory that can
    // be written, every lock this call and earlier calls took is released (a
    // lock file made here removed, one found here left as it was) and what
    // stands there is returned.  Another program's lock whose line is
    // not written yet, or names a process of this machine that has ended, is
    // looked at again for a few seconds, so that a refusal names a live
    // holder when there is one.
    //
    // A file found at a lock file's name whose lock is free (left by a
    // program that ended) is locked where it stands, and once every
    // directory is taken, replaced by a lock file of this program's own
    // (where the directory cannot be changed, kept, and its line written
    // only when it is a lock file); with `more_to_take`, that waits for a
    // later call, so that a take refused at a directory it learns of only
    // then leaves every file it found as it was.  Finally, what starts
    // killed while they took their lock left under its hidden names is
    // removed.
    std::optional<LockHolder> take(const std::vector<std::string>& directories, std::string_view holder_line = {},
                                   bool more_to_take = false);

    // Writes the holder's line into every lock file of this program's own
    // held (or lock file it wrote its line into).  Best effort: a line that cannot be written
    // only leaves a refused start without its holder's name.
    void write_holder(std::string_view line);

    // Removes each lock file and releases its lock; done by the destructor.
    void release();

    bool held() const { return !locks_.empty(); }

private:
    struct Lock {
        std::string directory;
        std::string path;
        int fd = -1;
        bool made_here = false;  // the file at the name is this program's: made new, or put over the one found
        bool settled = false;    // made here, or a found file taken over
        std::optional<std::string> found_bytes;  // a found lock file's line before this one's was written
        unsigned long long device = 0;
        unsigned long long inode = 0;
        unsigned long long directory_device = 0;
        unsigned long long directory_inode = 0;
    };
    enum class Replacement { Replaced, NotMade, Lost };
    // Keeps the lock of a file found at the name (left by a program that
    // ended or was killed): replaces it by a file of this program's own, or,
    // where that cannot be, keeps it and writes the holder's line into it
    // when it is a lock file.  False when something else was put at the name
    // meanwhile.
    bool take_over(Lock& lock, std::string_view holder_line);
    // Puts a new lock file of this program, locked and holding its line, in
    // place of the held one; on Replaced, `lock` is the new file's.
    Replacement replace(Lock& lock, std::string_view holder_line);
    // Drops every lock; the lock files are removed when `remove_all` or when
    // made here, else given back the bytes they were found with.
    void drop(bool remove_all);
    std::vector<Lock> locks_;
};

}  // namespace velm
