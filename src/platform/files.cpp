// File names of the original platform mapped onto this machine, and the
// whole-file operations that every reader and writer of the system uses.
#include "platform/files.h"

#include "platform/directory_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace velm {
namespace {

// The name as the system wrote it, for messages: trailing blanks dropped.
std::string written_name(std::string_view name)
{
    const auto end = name.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1));
}

bool entry_exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

[[noreturn]] void throw_file_error(std::string_view action, std::string_view name, int error)
{
    throw FileError(std::string(action) + " file '" + written_name(name) + "': " + std::strerror(error));
}

// Writes everything; the error number of a failed write, 0 when all went.
int write_all(int fd, std::string_view contents)
{
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return 0;
}

bool disk_flushes_on = true;

}  // namespace

namespace {

// The name as this machine writes it: trailing blanks and a drive letter
// dropped, backslashes turned into directory separators.
std::string local_name(std::string_view name)
{
    std::string text = written_name(name);
    if (text.size() >= 2 && text[1] == ':' &&
        ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'))) {
        text.erase(0, 2);
    }
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}

}  // namespace

std::string file_name_key(std::string_view name)
{
    // The parts resolve_file_name would join, each in lower case: the
    // resolution only chooses the letter case of each part.
    const std::string text = local_name(name);
    std::string key;
    if (!text.empty() && text.front() == '/') key = "/";
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        for (std::size_t k = start; k < end; ++k) {
            const char c = text[k];
            key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (end > start && end < text.size()) key += '/';
        start = end + 1;
    }
    return key;
}

std::filesystem::path resolve_file_name(std::string_view name)
{
    const std::string text = local_name(name);

    std::string resolved;
    if (!text.empty() && text.front() == '/') resolved = "/";
    bool missing = false;  // once a part is missing, the rest stay as written
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view component = std::string_view(text).substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;

        std::string part(component);
        if (!missing && component != "." && component != "..") {
            const std::string candidate = resolved + part;
            if (!entry_exists(candidate)) {
                if (auto found = find_in_any_case(resolved.empty() ? std::string(".") : resolved, component)) {
                    part = std::move(*found);
                } else {
                    missing = true;
                }
            }
        }
        resolved += part;
        if (end < text.size()) resolved += '/';
    }
    return std::filesystem::path(resolved);
}

bool file_exists(std::string_view name)
{
    const std::filesystem::path path = resolve_file_name(name);
    if (path.empty()) return false;
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void delete_file(std::string_view name)
{
    const std::filesystem::path path = resolve_file_name(name);
    if (path.empty()) return;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) throw_file_error("Cannot delete", name, errno);
}

std::string read_whole_file(std::string_view name)
{
    const std::filesystem::path path = resolve_file_name(name);
    const int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw_file_error("Cannot open", name, path.empty() ? ENOENT : errno);

    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        throw_file_error("Cannot open", name, EISDIR);
    }
    std::string contents;
    if (info.st_size > 0) contents.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            throw_file_error("Cannot read", name, error);
        }
        contents.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return contents;
}

namespace {

// A replacement written beside its file, not yet renamed over it.
struct PendingReplacement {
    std::string name;  // as the system wrote it, for messages
    std::filesystem::path path;
    std::filesystem::path temporary;
};

// Writes the new content to a temporary file in the same directory; FileError
// (with no temporary left behind) when that fails.
// A run's new version (see RunOutputs) replaces nothing yet: it is flushed
// to disk with the run's other new versions when the run commits them.
bool is_run_new_version(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    constexpr std::string_view suffix = ".velm-run";
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool is_read_only(const std::filesystem::path& path, const struct stat& info)
{
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0;
}

PendingReplacement write_replacement(std::string_view name, std::string_view contents)
{
    const std::filesystem::path path = resolve_file_name(name);
    if (path.empty() || !path.has_filename()) throw_file_error("Cannot write", name, EINVAL);
    // A run's new version is itself a scratch copy that only the run's
    // commit puts in place: it is written where it stands, without a
    // temporary of its own (each file created and deleted costs the file
    // system more than the writing).
    std::filesystem::path temporary = path;
    if (!is_run_new_version(path)) temporary.replace_filename("." + path.filename().string() + ".velm-new");

    // The new file keeps the permissions of the one it replaces.
    struct stat old_info {};
    const bool had_old = stat(path.c_str(), &old_info) == 0;
    if (had_old && S_ISDIR(old_info.st_mode)) throw_file_error("Cannot write", name, EISDIR);
    if (had_old && is_read_only(path, old_info)) throw_file_error("Cannot write", name, EACCES);

    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw_file_error("Cannot write", name, errno);
    if (had_old) fchmod(fd, old_info.st_mode & 07777);
    if (const int error = write_all(fd, contents); error != 0) {
        close(fd);
        unlink(temporary.c_str());
        throw_file_error("Cannot write", name, error);
    }
    // The new content reaches the disk before it replaces the old, and the
    // directory after, so that a power loss leaves one of the two whole.
    if (disk_flushes_on && !is_run_new_version(path) && fsync(fd) != 0) {
        const int error = errno;
        close(fd);
        unlink(temporary.c_str());
        throw_file_error("Cannot write", name, error);
    }
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        throw_file_error("Cannot write", name, error);
    }
    return {std::string(name), path, temporary};
}

void install_replacement(const PendingReplacement& pending)
{
    if (rename(pending.temporary.c_str(), pending.path.c_str()) != 0) {
        const int error = errno;
        unlink(pending.temporary.c_str());
        throw_file_error("Cannot write", pending.name, error);
    }
    if (!is_run_new_version(pending.path)) flush_directory(pending.path.parent_path());
}

}  // namespace

void set_disk_flushes(bool on)
{
    disk_flushes_on = on;
}

bool disk_flushes()
{
    return disk_flushes_on;
}

void flush_directory(const std::filesystem::path& directory)
{
    if (!disk_flushes_on) return;
    const std::filesystem::path name = directory.empty() ? std::filesystem::path(".") : directory;
    const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

void flush_file_system(const std::filesystem::path& directory)
{
    if (!disk_flushes_on) return;
    const std::filesystem::path name = directory.empty() ? std::filesystem::path(".") : directory;
    const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    syncfs(fd);
    close(fd);
}

void flush_file(const std::filesystem::path& file)
{
    if (!disk_flushes_on) return;
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

void check_replaceable(std::string_view name)
{
    const std::filesystem::path path = resolve_file_name(name);
    struct stat info {};
    if (!path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && is_read_only(path, info))
        throw_file_error("Cannot write", name, EACCES);
}

void replace_file_atomically(std::string_view name, std::string_view contents)
{
    install_replacement(write_replacement(name, contents));
}

void replace_files_together(const std::vector<FileReplacement>& files, const std::function<void()>& before_install)
{
    std::vector<PendingReplacement> pending;
    pending.reserve(files.size());
    try {
        for (const FileReplacement& file : files) pending.push_back(write_replacement(file.name, file.contents));
        if (before_install) before_install();
    } catch (...) {
        for (const PendingReplacement& written : pending) unlink(written.temporary.c_str());
        throw;
    }
    for (const PendingReplacement& written : pending) install_replacement(written);
}

void append_to_file(std::string_view name, std::string_view contents)
{
    const std::filesystem::path path = resolve_file_name(name);
    if (path.empty() || !path.has_filename()) throw_file_error("Cannot append to", name, EINVAL);
    if (struct stat info{}; stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && is_read_only(path, info))
        throw_file_error("Cannot append to", name, EACCES);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) throw_file_error("Cannot append to", name, errno);
    if (const int error = write_all(fd, contents); error != 0) {
        close(fd);
        throw_file_error("Cannot append to", name, error);
    }
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        const int error = errno;
        close(fd);
        throw_file_error("Cannot append to", name, error);
    }
    if (close(fd) != 0) throw_file_error("Cannot append to", name, errno);
}

void copy_file_atomically(std::string_view from, std::string_view to)
{
    replace_file_atomically(to, read_whole_file(from));
}

}  // namespace velm
