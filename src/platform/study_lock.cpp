// The lock that keeps a second program out of a study's directories.
#include "platform/study_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

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
// Tries at a lock file that another program removes as it is taken.
constexpr int LOCK_TRIES = 100;

// Where a directory given as a data directory prefix ("D:\STUDY\DATA\") is
// on this machine; the working directory for the empty name.
std::string lock_directory(const std::string& given)
{
    if (given.empty() || given == "." || given == "./") return ".";
    const std::string path = resolve_file_name(given).string();
    return path.empty() ? std::string(".") : path;
}

// The first line of an open lock file.
std::string first_line_of(int fd)
{
    char buffer[HOLDER_LINE_LENGTH];
    const ssize_t got = pread(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return {};
    std::string text(buffer, static_cast<std::size_t>(got));
    if (const std::size_t end = text.find('\n'); end != std::string::npos) text.resize(end);
    return text;
}

// The holder of a lock that cannot be taken, when nothing is known of it.
LockHolder unknown_holder(const std::string& directory)
{
    LockHolder holder;
    holder.directory = directory;
    return holder;
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
    if (started_at != std::string_view::npos) holder.started = std::string(line.substr(started_at + HOLDER_STARTED.size()));
    return holder;
}

std::optional<LockHolder> StudyLock::take(const std::vector<std::string>& directories)
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
        for (int attempt = 0;; ++attempt) {
            bool made_here = true;
            int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST) {
                made_here = false;
                fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            }
            if (fd < 0) {
                // No lock file can be made where nothing can be written.
                if (errno == EACCES || errno == EROFS || errno == EPERM) break;
                // Removed between the two opens: try again.
                if (errno == ENOENT && attempt < LOCK_TRIES) continue;
                // Something else stands at the name (a link, a file that
                // cannot be opened): the lock cannot be proved free.
                drop(false);
                return unknown_holder(given);
            }
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                LockHolder holder = read_lock_holder_line(first_line_of(fd));
                holder.directory = given;
                close(fd);
                drop(false);
                return holder;
            }
            // The holder before may have removed the file as it ended: the
            // lock counts only on the file that stands at the name.
            struct stat opened {};
            struct stat standing {};
            if (fstat(fd, &opened) == 0 && lstat(path.c_str(), &standing) == 0 && opened.st_dev == standing.st_dev &&
                opened.st_ino == standing.st_ino) {
                locks_.push_back({path, fd, made_here, static_cast<unsigned long long>(opened.st_dev),
                                  static_cast<unsigned long long>(opened.st_ino),
                                  static_cast<unsigned long long>(directory_info.st_dev),
                                  static_cast<unsigned long long>(directory_info.st_ino)});
                break;
            }
            close(fd);
            if (attempt >= LOCK_TRIES) {
                drop(false);
                return unknown_holder(given);
            }
        }
    }
    return std::nullopt;
}

void StudyLock::write_holder(std::string_view line)
{
    for (const Lock& lock : locks_) {
        if (ftruncate(lock.fd, 0) != 0) continue;
        [[maybe_unused]] const ssize_t written = pwrite(lock.fd, line.data(), line.size(), 0);
    }
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
        }
        close(lock.fd);
    }
    locks_.clear();
}

}  // namespace velm
