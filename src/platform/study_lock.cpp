// The lock that keeps a second program out of a study's directories.
#include "platform/study_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pwd.h>
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace velm {

namespace {

// The holder's line: "velmora lock: process 4711, machine hydro1, started
// 2024-03-05 14:07:09".
constexpr std::string_view HOLDER_START = "velmora lock: process ";
constexpr std::string_view HOLDER_MACHINE = ", machine ";
constexpr std::string_view HOLDER_STARTED = ", started ";
// More than a holder's line ever takes.
constexpr std::size_t HOLDER_LINE_LENGTH = 512;
// Tries at a lock file that another program removes or replaces as it is
// taken.
constexpr int LOCK_TRIES = 100;
// Every user who may change the directory opens the lock file and takes
// its lock.
constexpr mode_t LOCK_FILE_MODE = 0666;
// How long a refused start looks again at a holder whose line is not
// written yet, or names a process of this machine that has ended: the
// holder writes its line the moment it takes the lock.
constexpr int HOLDER_LOOKS = 200;
constexpr long HOLDER_LOOK_PAUSE_NS = 10'000'000;  // 10 ms

// Where a directory given as a data directory prefix ("D:\STUDY\DATA\") is
// on this machine; the working directory for the empty name.
std::string lock_directory(const std::string& given)
{
    if (given.empty() || given == "." || given == "./") return ".";
    const std::string path = resolve_file_name(given).string();
    return path.empty() ? std::string(".") : path;
}

// Whether this program may make and remove files in the directory.
bool directory_writable(const std::string& directory)
{
    return faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// The first bytes of an open lock file.
std::string start_of(int fd, std::size_t length)
{
    std::string text(length, '\0');
    const ssize_t got = pread(fd, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

// The first line of an open lock file: no further than a holder's line
// goes, whatever the file's size.
std::string first_line_of(int fd)
{
    std::string text = start_of(fd, HOLDER_LINE_LENGTH);
    if (const std::size_t end = text.find('\n'); end != std::string::npos) text.resize(end);
    return text;
}

// Puts the bytes in place of a lock file's content.  The new line goes over
// the old one before the rest is cut, so that a start looking meanwhile
// reads one holder's line or the other.
bool write_lock_file(int fd, std::string_view bytes)
{
    if (!bytes.empty() && pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) return false;
    return ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

// Opens what stands at a lock file's name without following a link and
// without waiting (for a fifo): for writing where this user may, else for
// reading, which is enough to take the lock.
int open_lock_file(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != EACCES && errno != EISDIR && errno != EROFS && errno != ETXTBSY && errno != EPERM) return -1;
    return open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

// Whether an open file was found at the name of a lock file and is one: a
// regular file of one link (no other name of a study's file, say) holding
// a holder's line or nothing.  Only such a file is ever written in place.
bool is_lock_file(int fd)
{
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        info.st_size > static_cast<off_t>(HOLDER_LINE_LENGTH))
        return false;
    // Nothing but the line: a holder's line with text after it is no lock
    // file of this program's.
    const std::string text = start_of(fd, HOLDER_LINE_LENGTH);
    const std::size_t end = text.find('\n');
    if (end != std::string::npos && end + 1 != text.size()) return false;
    return text.empty() || read_lock_holder_line(text).readable;
}

// Whether the file at a name is the open one.
bool stands_at(const std::string& path, int fd)
{
    struct stat opened {};
    struct stat standing {};
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &standing) == 0 && opened.st_dev == standing.st_dev &&
           opened.st_ino == standing.st_ino;
}

// Removes a name only while the open file stands there.
void remove_if_standing(const std::string& path, int fd)
{
    if (stands_at(path, fd)) unlink(path.c_str());
}

// The hidden names a new lock file of this process is made under before it
// is put at the lock file's name: ".velmora.lock.<process>.new", then, when
// that name is taken (by a directory, or another user's leftover of a
// process of the same number), ".velmora.lock.<process>.<n>.new".
std::string hidden_lock_path(const std::string& path, int attempt)
{
    std::string hidden = path + "." + std::to_string(static_cast<long>(getpid()));
    if (attempt > 0) hidden += "." + std::to_string(attempt);
    return hidden + ".new";
}

// Whether a name of a directory is one of those hidden names, of any process.
bool is_hidden_lock_name(std::string_view name)
{
    const std::string start = std::string(STUDY_LOCK_FILE) + ".";
    constexpr std::string_view END = ".new";
    if (name.size() <= start.size() + END.size() || name.substr(0, start.size()) != start ||
        name.substr(name.size() - END.size()) != END)
        return false;
    const std::string_view number = name.substr(start.size(), name.size() - start.size() - END.size());
    bool digit_before = false;
    for (const char c : number) {
        if (c >= '0' && c <= '9') {
            digit_before = true;
        } else if (c == '.' && digit_before) {
            digit_before = false;
        } else {
            return false;
        }
    }
    return digit_before;
}

// Makes an opened new file this program's lock file: locked, open to every
// user whatever the umask, holding the holder's line.  False with errno.
bool make_own(int fd, std::string_view holder_line)
{
    return flock(fd, LOCK_EX | LOCK_NB) == 0 && fchmod(fd, LOCK_FILE_MODE) == 0 &&
           (holder_line.empty() || write_lock_file(fd, holder_line));
}

// Gives an unnamed file of this process (O_TMPFILE) a name, which fails
// where anything stands at it.
int link_unnamed(int fd, const std::string& path)
{
    const std::string own = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, own.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
}

// A new lock file of this program, locked and holding its line: its
// descriptor, and the hidden name it stands at (none while it has no name).
struct MadeLockFile {
    int fd = -1;
    std::string hidden;
    int error = 0;  // why none was made
};

// Opens a new unnamed lock file of this program in the directory, where the
// file system has them: it never stands anywhere until it is given a name,
// so a kill leaves nothing of it.
MadeLockFile make_unnamed_lock_file(const std::string& directory, std::string_view holder_line)
{
    MadeLockFile made;
    made.fd = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, LOCK_FILE_MODE);
    if (made.fd >= 0 && !make_own(made.fd, holder_line)) {
        made.error = errno;
        close(made.fd);
        made.fd = -1;
    } else if (made.fd < 0) {
        made.error = errno;
    }
    return made;
}

// Makes a new lock file of this program under one of its hidden names:
// the unnamed file given a hidden name, or, where the file system has no
// unnamed files (or they cannot be named), a file made at a hidden name
// that is free.  Made whole and locked before any other program sees it
// at the lock file's name; a start that ends meanwhile leaves at most the
// hidden file, locked while its maker lives, which the next start removes.
MadeLockFile make_hidden_lock_file(const std::string& directory, const std::string& path, std::string_view holder_line)
{
    MadeLockFile unnamed = make_unnamed_lock_file(directory, holder_line);
    if (unnamed.fd >= 0) {
        for (int attempt = 0; attempt <= LOCK_TRIES; ++attempt) {
            const std::string hidden = hidden_lock_path(path, attempt);
            if (link_unnamed(unnamed.fd, hidden) == 0) {
                unnamed.hidden = hidden;
                return unnamed;
            }
            if (errno != EEXIST) break;
        }
        close(unnamed.fd);
    }
    MadeLockFile made;
    for (int attempt = 0; attempt <= LOCK_TRIES; ++attempt) {
        made.hidden = hidden_lock_path(path, attempt);
        made.fd =
            open(made.hidden.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, LOCK_FILE_MODE);
        if (made.fd < 0) {
            made.error = errno;
            if (made.error == EEXIST) continue;
            break;
        }
        // Another start may have taken it for a killed start's leftover
        // before its lock was taken, and removed it: another name then.
        const bool own = make_own(made.fd, holder_line);
        made.error = errno;
        if (own && stands_at(made.hidden, made.fd)) return made;
        remove_if_standing(made.hidden, made.fd);
        close(made.fd);
        made.fd = -1;
        if (own || made.error == EWOULDBLOCK) continue;
        break;
    }
    made.hidden.clear();
    return made;
}

// Makes a new lock file at the lock file's name, its lock taken and its
// holder's line written before any other start can open it: two starts
// that made and locked a file one after the other in that moment would
// leave it behind, the one refused and the other not its maker.  So it is
// made whole unnamed, or under a hidden name, and only then linked at the
// name, which fails where anything stands there.  Only where the file
// system has no links is it renamed there (without replacing anything),
// and only where it has neither is it made at the name itself.  The
// descriptor, or -1 with `error` (EEXIST when something stands at the name).
int make_lock_file(const std::string& directory, const std::string& path, std::string_view holder_line, int& error)
{
    MadeLockFile unnamed = make_unnamed_lock_file(directory, holder_line);
    if (unnamed.fd >= 0) {
        if (link_unnamed(unnamed.fd, path) == 0) return unnamed.fd;
        const int link_error = errno;
        close(unnamed.fd);
        if (link_error == EEXIST) {
            error = EEXIST;
            return -1;
        }
    }
    for (int race = 0; race <= LOCK_TRIES; ++race) {
        MadeLockFile made = make_hidden_lock_file(directory, path, holder_line);
        if (made.fd < 0) {
            error = made.error;
            return -1;
        }
        if (link(made.hidden.c_str(), path.c_str()) == 0) {
            remove_if_standing(made.hidden, made.fd);
            return made.fd;
        }
        int link_error = errno;
        if (link_error == EPERM || link_error == EOPNOTSUPP || link_error == ENOSYS) {
            // No links on this file system.
            if (renameat2(AT_FDCWD, made.hidden.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return made.fd;
            link_error = errno;
        }
        remove_if_standing(made.hidden, made.fd);
        close(made.fd);
        // The hidden file removed meanwhile: made again.
        if (link_error == ENOENT) continue;
        if (link_error != EINVAL && link_error != ENOSYS && link_error != EOPNOTSUPP && link_error != EPERM) {
            error = link_error;
            return -1;
        }
        // Neither links nor renames without replacing: made at the name.
        const int fd =
            open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, LOCK_FILE_MODE);
        if (fd < 0) {
            error = errno;
            return -1;
        }
        fchmod(fd, LOCK_FILE_MODE);
        if (!holder_line.empty()) write_lock_file(fd, holder_line);
        return fd;
    }
    error = EEXIST;
    return -1;
}

// Removes what starts killed while they took their lock left under the
// lock file's hidden names: each such file that is no longer locked, its
// maker having ended.  Best effort.
void remove_leftovers(const std::string& directory)
{
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) return;
    std::vector<std::string> leftovers;
    while (const dirent* entry = readdir(listing))
        if (is_hidden_lock_name(entry->d_name)) leftovers.push_back(directory + "/" + entry->d_name);
    closedir(listing);
    for (const std::string& leftover : leftovers) {
        const int fd = open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            remove_if_standing(leftover, fd);
        close(fd);
    }
}

std::string this_machine()
{
    char machine[256] = {};
    if (gethostname(machine, sizeof machine - 1) != 0) machine[0] = '\0';
    return machine;
}

// Whether a holder's line names a process that may be at work: one of this
// machine that still runs, or one of another machine (which cannot be
// asked).
bool names_live_holder(const LockHolder& holder)
{
    if (!holder.readable || holder.process <= 0) return false;
    if (holder.machine != this_machine()) return true;
    return kill(static_cast<pid_t>(holder.process), 0) == 0 || errno == EPERM;
}

// The holder of a lock that cannot be taken, when nothing is known of it.
LockHolder unknown_holder(const std::string& directory)
{
    LockHolder holder;
    holder.directory = directory;
    return holder;
}

// A lock file that cannot be opened or made, for the system's reason.
LockHolder unusable(const std::string& directory, int error)
{
    LockHolder found = unknown_holder(directory);
    found.standing = LockStanding::Unusable;
    found.reason = std::strerror(error);
    return found;
}

// What stands at a lock file's name that is no lock file this program can
// take: `info` as lstat or fstat gave it, `open_error` the open's failure.
LockHolder standing_at(const std::string& directory, const struct stat& info, int open_error)
{
    LockHolder found = unknown_holder(directory);
    if (S_ISLNK(info.st_mode)) {
        found.standing = LockStanding::SymbolicLink;
    } else if (S_ISDIR(info.st_mode)) {
        found.standing = LockStanding::Directory;
    } else if (S_ISFIFO(info.st_mode)) {
        found.standing = LockStanding::Fifo;
    } else if (S_ISSOCK(info.st_mode)) {
        found.standing = LockStanding::Socket;
    } else if (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode)) {
        found.standing = LockStanding::Device;
    } else if (open_error == EACCES) {
        found.standing = LockStanding::UnreadableLockFile;
        found.owned_by_another_user = info.st_uid != geteuid();
        found.mode = static_cast<unsigned>(info.st_mode & 07777);
        std::vector<char> buffer(16384);
        struct passwd entry {};
        struct passwd* owner = nullptr;
        if (getpwuid_r(info.st_uid, &entry, buffer.data(), buffer.size(), &owner) == 0 && owner != nullptr)
            found.owner = owner->pw_name;
        else
            found.owner = "uid " + std::to_string(static_cast<unsigned long>(info.st_uid));
    } else {
        return unusable(directory, open_error);
    }
    return found;
}

void pause_before_next_look()
{
    const timespec pause{0, HOLDER_LOOK_PAUSE_NS};
    nanosleep(&pause, nullptr);
}

}  // namespace

std::string lock_holder_line(const DateTime& started)
{
    char machine[256] = {};
    if (gethostname(machine, sizeof machine - 1) != 0) machine[0] = '\0';
    char time[32];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d", started.year, started.month, started.day,
                  started.hour, started.minute, started.second);
    std::string line(HOLDER_START);
    line += std::to_string(static_cast<long>(getpid()));
    if (machine[0] != '\0') line += std::string(HOLDER_MACHINE) + machine;
    line += std::string(HOLDER_STARTED) + time + "\n";
    return line;
}

LockHolder read_lock_holder_line(std::string_view line)
{
    LockHolder holder;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (line.substr(0, HOLDER_START.size()) != HOLDER_START) return holder;
    line.remove_prefix(HOLDER_START.size());
    std::size_t digits = 0;
    while (digits < line.size() && digits < 10 && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits == 0) return holder;
    holder.process = std::strtol(std::string(line.substr(0, digits)).c_str(), nullptr, 10);
    line.remove_prefix(digits);
    holder.readable = true;
    const std::size_t started_at = line.find(HOLDER_STARTED);
    if (line.substr(0, HOLDER_MACHINE.size()) == HOLDER_MACHINE)
        holder.machine = std::string(line.substr(HOLDER_MACHINE.size(), started_at == std::string_view::npos
                                                                            ? std::string_view::npos
                                                                            : started_at - HOLDER_MACHINE.size()));
    if (started_at != std::string_view::npos)
        holder.started = std::string(line.substr(started_at + HOLDER_STARTED.size()));
    return holder;
}

std::optional<LockHolder> StudyLock::take(const std::vector<std::string>& directories, std::string_view holder_line,
                                          bool more_to_take)
{
    for (const std::string& given : directories) {
        const std::string directory = lock_directory(given);
        struct stat directory_info {};
        if (stat(directory.c_str(), &directory_info) != 0 || !S_ISDIR(directory_info.st_mode)) continue;
        bool taken_already = false;
        for (const Lock& lock : locks_)
            taken_already = taken_already || (lock.directory_device == directory_info.st_dev &&
                                              lock.directory_inode == directory_info.st_ino);
        if (taken_already) continue;

        const std::string path = directory + "/" + std::string(STUDY_LOCK_FILE);
        // Whatever stops the lock here: every lock taken is released first.
        const auto refuse = [&](LockHolder found) -> std::optional<LockHolder> {
            drop(false);
            return found;
        };
        int races = 0;  // the file at the name removed or replaced meanwhile
        int looks = 0;  // looks at a holder whose line names no live process
        for (bool taken = false; !taken;) {
            bool made_here = true;
            int make_error = 0;
            int fd = make_lock_file(directory, path, holder_line, make_error);
            int open_error = 0;
            if (fd < 0) {
                made_here = false;
                fd = open_lock_file(path);
                if (fd < 0) open_error = errno;
            }
            if (fd < 0) {
                struct stat standing {};
                if (lstat(path.c_str(), &standing) != 0) {
                    // Removed between the two opens: try again.
                    if (make_error == EEXIST && ++races <= LOCK_TRIES) continue;
                    // Nothing stands and nothing can be made: a directory
                    // this program cannot change.
                    if (make_error == EACCES || make_error == EROFS || make_error == EPERM ||
                        !directory_writable(directory))
                        break;
                    return refuse(unusable(given, make_error == EEXIST ? open_error : make_error));
                }
                if (open_error == ENOENT && ++races <= LOCK_TRIES) continue;
                // Something stands that cannot be opened: it may hide a
                // program at work, unless this program can change nothing
                // here either.
                if (!directory_writable(directory)) break;
                return refuse(standing_at(given, standing, open_error));
            }
            struct stat opened {};
            if (fstat(fd, &opened) != 0) {
                const int error = errno;
                close(fd);
                return refuse(unusable(given, error));
            }
            if (!S_ISREG(opened.st_mode)) {
                close(fd);
                if (!directory_writable(directory)) break;
                return refuse(standing_at(given, opened, 0));
            }
            // The holder before may have removed or replaced the file as it
            // ended or took it over: the lock counts only on the file that
            // stands at the name.
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int lock_error = errno;
                if (lock_error != EWOULDBLOCK) {
                    close(fd);
                    return refuse(unusable(given, lock_error));
                }
                LockHolder holder = read_lock_holder_line(first_line_of(fd));
                holder.directory = given;
                const bool replaced = !stands_at(path, fd);
                close(fd);
                if (replaced && ++races <= LOCK_TRIES) continue;
                if (!names_live_holder(holder)) {
                    if (++looks <= HOLDER_LOOKS) {
                        pause_before_next_look();
                        continue;
                    }
                    holder = unknown_holder(given);
                }
                return refuse(holder);
            }
            if (!stands_at(path, fd)) {
                close(fd);
                if (++races <= LOCK_TRIES) continue;
                return refuse(unknown_holder(given));
            }
            // A file found at the name (left by a program that ended or was
            // killed, or put there by anyone) is only locked here, and not
            // changed: it is taken over once every directory's lock is
            // taken, so that a start refused at a later one leaves it as it
            // was.
            locks_.push_back(Lock{
                directory, path, fd, made_here, made_here, std::nullopt, static_cast<unsigned long long>(opened.st_dev),
                static_cast<unsigned long long>(opened.st_ino), static_cast<unsigned long long>(directory_info.st_dev),
                static_cast<unsigned long long>(directory_info.st_ino)});
            taken = true;
        }
    }
    if (more_to_take) return std::nullopt;
    for (Lock& lock : locks_) {
        if (lock.settled) continue;
        if (!take_over(lock, holder_line)) {
            // Something else was put at the name as it was taken over.
            LockHolder holder = unknown_holder(lock.directory);
            drop(false);
            return holder;
        }
    }
    for (const Lock& lock : locks_)
        if (directory_writable(lock.directory)) remove_leftovers(lock.directory);
    return std::nullopt;
}

bool StudyLock::take_over(Lock& lock, std::string_view holder_line)
{
    lock.settled = true;
    // A file found at the name is never written, cut or given another mode
    // where it may be anything (a second link of a study's data base, a
    // control file kept read-only): a lock file of this program's own is put
    // in its place.
    if (directory_writable(lock.directory)) {
        switch (replace(lock, holder_line)) {
            case Replacement::Replaced:
                return true;
            case Replacement::Lost:
                return false;
            case Replacement::NotMade:
                break;
        }
    }
    // Kept in place, where this directory cannot be changed (or the file,
    // another user's in a shared directory, cannot be replaced): written only
    // when it is a lock file, and given back its line should the start be
    // refused.
    const bool writable = (fcntl(lock.fd, F_GETFL) & O_ACCMODE) == O_RDWR;
    if (writable && !holder_line.empty() && is_lock_file(lock.fd)) {
        lock.found_bytes = start_of(lock.fd, HOLDER_LINE_LENGTH);
        write_lock_file(lock.fd, holder_line);
    }
    return true;
}

StudyLock::Replacement StudyLock::replace(Lock& lock, std::string_view holder_line)
{
    // The new file is made whole under a hidden name of this process, its
    // lock taken and its line written, and then renamed over the old one,
    // whose lock is held all the while: a start that opened the old file
    // finds it no longer at the name and looks again.
    const MadeLockFile made_file = make_hidden_lock_file(lock.directory, lock.path, holder_line);
    if (made_file.fd < 0) return Replacement::NotMade;
    struct stat made {};
    if (fstat(made_file.fd, &made) != 0 || rename(made_file.hidden.c_str(), lock.path.c_str()) != 0) {
        remove_if_standing(made_file.hidden, made_file.fd);
        close(made_file.fd);
        return Replacement::NotMade;
    }
    struct stat standing {};
    if (lstat(lock.path.c_str(), &standing) != 0 || standing.st_dev != made.st_dev || standing.st_ino != made.st_ino) {
        close(made_file.fd);
        return Replacement::Lost;
    }
    close(lock.fd);
    lock.fd = made_file.fd;
    lock.made_here = true;
    lock.found_bytes.reset();
    lock.device = static_cast<unsigned long long>(made.st_dev);
    lock.inode = static_cast<unsigned long long>(made.st_ino);
    return Replacement::Replaced;
}

void StudyLock::write_holder(std::string_view line)
{
    for (const Lock& lock : locks_)
        if (lock.made_here || lock.found_bytes) write_lock_file(lock.fd, line);
}

void StudyLock::release()
{
    drop(true);
}

void StudyLock::drop(bool remove_all)
{
    // Each file is removed while its lock is still held, so that a program
    // that opened it meanwhile finds it gone and takes the lock on a new one.
    // A found file is removed only where it is a lock file this program
    // wrote its line into; one refused is given back its line.
    for (const Lock& lock : locks_) {
        struct stat standing {};
        bool removed = false;
        if ((lock.made_here || (remove_all && lock.found_bytes)) && lstat(lock.path.c_str(), &standing) == 0 &&
            static_cast<unsigned long long>(standing.st_dev) == lock.device &&
            static_cast<unsigned long long>(standing.st_ino) == lock.inode)
            removed = unlink(lock.path.c_str()) == 0;
        if (!removed && !remove_all && lock.found_bytes) write_lock_file(lock.fd, *lock.found_bytes);
        close(lock.fd);
    }
    locks_.clear();
}

}  // namespace velm
