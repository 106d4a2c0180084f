// The lock that keeps a second program out of a study's directories.
#include "platform/study_lock.h"

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

// Every byte of an open lock file, so that a refused start gives a file it
// found at the name (whatever someone kept there) back whole.
std::string whole_of(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// The first line of an open lock file.
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

// The name a new lock file of this process is made under before it is put
// at the lock file's name.
std::string hidden_lock_path(const std::string& path)
{
    return path + "." + std::to_string(static_cast<long>(getpid())) + ".new";
}

// Makes a new lock file at the name whose lock is taken and whose holder's
// line is written before any other start can open it: two starts that
// made and locked a file one after the other in that moment would leave
// it behind, the one refused and the other not its maker.  So it is made
// whole under a hidden name of this process and then linked at the name,
// which fails where anything stands there.  Where the file system has no
// links, it is made at the name itself.  The descriptor, or -1 with
// `error` (EEXIST when something stands at the name).
int make_lock_file(const std::string& path, std::string_view holder_line, int& error)
{
    constexpr int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const std::string made_path = hidden_lock_path(path);
    unlink(made_path.c_str());
    int fd = open(made_path.c_str(), flags, LOCK_FILE_MODE);
    if (fd >= 0) {
        // The umask does not narrow it.
        const bool made = fchmod(fd, LOCK_FILE_MODE) == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                          (holder_line.empty() || write_lock_file(fd, holder_line));
        const bool linked = made && link(made_path.c_str(), path.c_str()) == 0;
        const int link_error = errno;
        unlink(made_path.c_str());
        if (linked) return fd;
        close(fd);
        if (made && link_error == EEXIST) {
            error = EEXIST;
            return -1;
        }
    }
    fd = open(path.c_str(), flags, LOCK_FILE_MODE);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    fchmod(fd, LOCK_FILE_MODE);
    if (!holder_line.empty()) write_lock_file(fd, holder_line);
    return fd;
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

std::optional<LockHolder> StudyLock::take(const std::vector<std::string>& directories, std::string_view holder_line)
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
            int fd = make_lock_file(path, holder_line, make_error);
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
            const auto still_standing = [&] {
                struct stat standing {};
                return lstat(path.c_str(), &standing) == 0 && opened.st_dev == standing.st_dev &&
                       opened.st_ino == standing.st_ino;
            };
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int lock_error = errno;
                if (lock_error != EWOULDBLOCK) {
                    close(fd);
                    return refuse(unusable(given, lock_error));
                }
                LockHolder holder = read_lock_holder_line(first_line_of(fd));
                holder.directory = given;
                const bool replaced = !still_standing();
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
            if (!still_standing()) {
                close(fd);
                if (++races <= LOCK_TRIES) continue;
                return refuse(unknown_holder(given));
            }
            Lock lock{path,
                      fd,
                      made_here,
                      std::nullopt,
                      static_cast<unsigned long long>(opened.st_dev),
                      static_cast<unsigned long long>(opened.st_ino),
                      static_cast<unsigned long long>(directory_info.st_dev),
                      static_cast<unsigned long long>(directory_info.st_ino)};
            if (made_here) {
                taken = true;
            } else {
                taken = take_over(lock, opened, directory_writable(directory), holder_line);
            }
            if (taken) {
                locks_.push_back(std::move(lock));
            } else {
                close(lock.fd);
                if (++races > LOCK_TRIES) return refuse(unknown_holder(given));
            }
        }
    }
    return std::nullopt;
}

bool StudyLock::take_over(Lock& lock, const struct stat& found, bool directory_writable, std::string_view holder_line)
{
    // A file left with a narrower mode (by an older program under a umask of
    // 077, or by hand) is opened to every user again where this user may.
    mode_t mode = found.st_mode & 07777;
    if (mode != LOCK_FILE_MODE && fchmod(lock.fd, LOCK_FILE_MODE) == 0) mode = LOCK_FILE_MODE;
    const bool writable = (fcntl(lock.fd, F_GETFL) & O_ACCMODE) == O_RDWR;
    const bool readable_by_all = (mode & 0444) == 0444;
    if (!(writable && readable_by_all) && directory_writable) {
        switch (replace(lock, holder_line)) {
            case Replacement::Replaced:
                return true;
            case Replacement::Lost:
                return false;
            case Replacement::NotMade:
                break;
        }
    }
    // Kept in place: a refused start gives it back its bytes.
    if (writable && !holder_line.empty()) {
        lock.found_bytes = whole_of(lock.fd);
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
    const std::string made_path = hidden_lock_path(lock.path);
    unlink(made_path.c_str());
    const int fd =
        open(made_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, LOCK_FILE_MODE);
    if (fd < 0) return Replacement::NotMade;
    struct stat made {};
    if (fchmod(fd, LOCK_FILE_MODE) != 0 || fstat(fd, &made) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        !write_lock_file(fd, holder_line) || rename(made_path.c_str(), lock.path.c_str()) != 0) {
        unlink(made_path.c_str());
        close(fd);
        return Replacement::NotMade;
    }
    struct stat standing {};
    if (lstat(lock.path.c_str(), &standing) != 0 || standing.st_dev != made.st_dev || standing.st_ino != made.st_ino) {
        close(fd);
        return Replacement::Lost;
    }
    close(lock.fd);
    lock.fd = fd;
    lock.made_here = true;
    lock.found_bytes.reset();
    lock.device = static_cast<unsigned long long>(made.st_dev);
    lock.inode = static_cast<unsigned long long>(made.st_ino);
    return Replacement::Replaced;
}

void StudyLock::write_holder(std::string_view line)
{
    for (const Lock& lock : locks_) write_lock_file(lock.fd, line);
}

void StudyLock::release()
{
    drop(true);
}

void StudyLock::drop(bool remove_all)
{
    // Each file is removed while its lock is still held, so that a program
    // that opened it meanwhile finds it gone and takes the lock on a new one.
    for (const Lock& lock : locks_) {
        struct stat standing {};
        if ((remove_all || lock.made_here) && lstat(lock.path.c_str(), &standing) == 0 &&
            static_cast<unsigned long long>(standing.st_dev) == lock.device &&
            static_cast<unsigned long long>(standing.st_ino) == lock.inode) {
            unlink(lock.path.c_str());
        } else if (!remove_all && lock.found_bytes) {
            write_lock_file(lock.fd, *lock.found_bytes);
        }
        close(lock.fd);
    }
    locks_.clear();
}

}  // namespace velm
