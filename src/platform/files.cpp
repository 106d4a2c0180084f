// File names of the original platform mapped onto this machine, and the
// whole-file operations that every reader and writer of the system uses.
#include "platform/files.h"

#include "platform/directory_index.h"
#include "platform/stop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <algorithm>

namespace velm {
namespace {

// The name as the system wrote it, for messages: trailing blanks dropped.
std::string written_name(std::string_view name)
{
    const auto end = name.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1));
}

// The name a message gives a file: a change's new version is named by the
// study's file it is the new version of (see claim_new_version).
std::string shown_name(std::string_view name);

[[noreturn]] void throw_file_error(std::string_view action, std::string_view name, int error)
{
    throw FileError(std::string(action) + " file '" + shown_name(name) + "': " + std::strerror(error));
}

// What stands at a name, by its mode (a link followed), as a message says
// it; nothing for a regular file.
const char* not_a_file(mode_t mode)
{
    if (S_ISREG(mode)) return nullptr;
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a fifo (named pipe)";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    return "no regular file";
}

// FileError for what stands at a file's name and is no file (see files.h).
[[noreturn]] void throw_not_a_file(std::string_view action, std::string_view name, mode_t mode)
{
    throw FileError(std::string(action) + " file '" + shown_name(name) + "': it is " + not_a_file(mode) +
                    ", not a file");
}

// The write failure a test set (see fail_writes_with): writes left before
// it, and its error number (0: none).
long writes_before_failure = 0;
int write_failure = 0;

// The error number a test's write failure gives this write, 0 when the
// write is to be made.
int injected_write_failure()
{
    if (write_failure == 0) return 0;
    if (writes_before_failure > 0) {
        --writes_before_failure;
        return 0;
    }
    return write_failure;
}

// Writes everything; the error number of a failed write, 0 when all went.
int write_all(int fd, std::string_view contents)
{
    if (const int error = injected_write_failure(); error != 0) return error;
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

// The stop that tests of a change set (see stop_change_at_step).
long change_steps = 0;
long change_stop_step = 0;
ChangeStop change_stop_kind = ChangeStop::Throw;
std::function<void()> change_step_action;

// The watcher a test set (see watch_disk_operations).
std::function<void(DiskOperation, const std::filesystem::path&)> disk_watcher;

void tell_watcher(DiskOperation operation, const std::filesystem::path& path)
{
    if (disk_watcher) disk_watcher(operation, path);
}

}  // namespace

int create_exclusively(const std::filesystem::path& path, int flags)
{
    // The new file is this program's own, never written through another
    // name: it is created only where nothing stands.  Whatever stands at the
    // name (a killed change's leftover, a link planted there) goes first;
    // the name is asked for once, by the creation itself, so that the common
    // case of a free name costs no removal.
    if (const int error = injected_write_failure(); error != 0) {
        errno = error;
        return -1;
    }
    const int open_flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | flags;
    const int fd = open(path.c_str(), open_flags, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    return open(path.c_str(), open_flags, 0666);
}

void take_change_step()
{
    ++change_steps;
    if (change_stop_step == 0 || change_steps != change_stop_step) return;
    if (change_step_action) {
        change_step_action();
        return;
    }
    if (change_stop_kind == ChangeStop::Exit) _exit(CHANGE_STOP_EXIT_STATUS);
    throw ProgramStop{"stopped at change step " + std::to_string(change_steps)};
}

void stop_change_at_step(long step, ChangeStop kind)
{
    change_steps = 0;
    change_stop_step = step;
    change_stop_kind = kind;
    change_step_action = nullptr;
}

void act_at_change_step(long step, std::function<void()> action)
{
    stop_change_at_step(step);
    change_step_action = std::move(action);
}

long change_steps_taken()
{
    return change_steps;
}

void fail_writes_with(int error, long after_writes)
{
    write_failure = error;
    writes_before_failure = after_writes;
}

void watch_disk_operations(std::function<void(DiskOperation, const std::filesystem::path&)> watcher)
{
    disk_watcher = std::move(watcher);
}

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

namespace {

// Joins the parts of a local name into a path, each part as `find_part`
// gives it (nothing: the part is missing, and it and every later part stay
// as written).  "." and ".." are kept as written; empty parts are dropped.
template <class FindPart>
std::string join_parts(const std::string& text, FindPart find_part)
{
    std::string resolved;
    if (!text.empty() && text.front() == '/') resolved = "/";
    bool missing = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view component = std::string_view(text).substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;

        std::string part(component);
        if (!missing && component != "." && component != "..") {
            if (auto found = find_part(resolved, component)) {
                part = std::move(*found);
            } else {
                missing = true;
            }
        }
        resolved += part;
        if (end < text.size()) resolved += '/';
    }
    return resolved;
}

// The local name as a path, every part as written.
std::string path_as_written(const std::string& text)
{
    return join_parts(text,
                      [](const std::string&, std::string_view part) { return std::optional<std::string>(part); });
}

// Each part found in its directory in the letter case the directory holds.
std::string look_up_parts(const std::string& text, DirectoryLookups& lookups)
{
    return join_parts(text, [&](const std::string& resolved, std::string_view part) {
        return lookups.find(resolved.empty() ? std::string(".") : resolved, part);
    });
}

// A name resolved, with what stands under the path.
struct Resolution {
    std::filesystem::path path;
    bool found = false;  // stat of the path succeeded: `info` holds it
    struct stat info {};
};

// The parts looked up on the disk, after the name as written was not found
// there (`as_written`): a name in another letter case, or a new file.
Resolution look_up(const std::string& text, const std::string& as_written, bool stat_result)
{
    DirectoryLookups lookups;
    Resolution resolution;
    std::string path = look_up_parts(text, lookups);
    if (stat_result && path != as_written) resolution.found = stat(path.c_str(), &resolution.info) == 0;
    resolution.path = std::move(path);
    return resolution;
}

// The resolution of a name: the name as written whenever it is there (one
// look at the disk for the common case), its parts looked up otherwise.
Resolution resolve(std::string_view name)
{
    const std::string text = local_name(name);
    const std::string as_written = path_as_written(text);
    if (as_written.empty()) return {};
    Resolution resolution;
    if (stat(as_written.c_str(), &resolution.info) == 0) {
        resolution.path = as_written;
        resolution.found = true;
        return resolution;
    }
    return look_up(text, as_written, true);
}

// The claimed names of a change's new versions (see claim_new_version).
struct NewVersion {
    std::string file;  // the study's file, as its change names it
    int claims = 0;
    bool written = false;
    std::size_t size = 0;  // of the file, once written
};
std::unordered_map<std::string, NewVersion> claimed_new_versions;

NewVersion* claimed(std::string_view name)
{
    if (claimed_new_versions.empty()) return nullptr;
    const auto it = claimed_new_versions.find(std::string(name));
    return it == claimed_new_versions.end() ? nullptr : &it->second;
}

std::string shown_name(std::string_view name)
{
    if (const NewVersion* version = claimed(name); version != nullptr && !version->file.empty())
        return written_name(version->file);
    return written_name(name);
}

}  // namespace

std::filesystem::path resolve_file_name(std::string_view name)
{
    if (claimed(name) != nullptr) return std::filesystem::path(name);
    return resolve(name).path;
}

std::vector<std::filesystem::path> resolve_file_names(const std::vector<std::string>& names)
{
    DirectoryLookups lookups;
    std::vector<std::filesystem::path> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) paths.emplace_back(look_up_parts(local_name(name), lookups));
    return paths;
}

void claim_new_version(const std::string& name, std::string_view file)
{
    NewVersion& version = claimed_new_versions[name];
    ++version.claims;
    if (version.file.empty()) version.file = std::string(file);
}

bool new_version_exists(const std::string& name)
{
    const NewVersion* version = claimed(name);
    return version != nullptr && version->written;
}

void release_new_version(const std::string& name)
{
    const auto it = claimed_new_versions.find(name);
    if (it != claimed_new_versions.end() && --it->second.claims <= 0) claimed_new_versions.erase(it);
}

void note_new_version_written(const std::string& name, std::size_t size)
{
    if (NewVersion* version = claimed(name)) {
        version->written = true;
        version->size = size;
    }
}

bool file_exists(std::string_view name)
{
    if (const NewVersion* version = claimed(name)) return version->written;
    const Resolution file = resolve(name);
    if (!file.found) return false;
    if (!S_ISREG(file.info.st_mode)) throw_not_a_file("Cannot read", name, file.info.st_mode);
    return true;
}

bool non_directory_exists(std::string_view name)
{
    if (const NewVersion* version = claimed(name)) return version->written;
    const Resolution file = resolve(name);
    return file.found && !S_ISDIR(file.info.st_mode);
}

void delete_file(std::string_view name)
{
    if (NewVersion* version = claimed(name)) {
        if (!version->written) return;
        if (unlink(std::string(name).c_str()) != 0 && errno != ENOENT) throw_file_error("Cannot delete", name, errno);
        version->written = false;
        return;
    }
    // The name as written is tried first; the look-up only when it is not
    // there.
    const std::string text = local_name(name);
    const std::string as_written = path_as_written(text);
    if (as_written.empty()) return;
    if (unlink(as_written.c_str()) == 0) return;
    const int not_there = errno;
    if (not_there != ENOENT && not_there != ENOTDIR) throw_file_error("Cannot delete", name, not_there);
    const Resolution file = look_up(text, as_written, false);
    if (file.path == as_written) {
        if (not_there == ENOENT) return;  // already gone
        throw_file_error("Cannot delete", name, not_there);
    }
    if (unlink(file.path.c_str()) != 0 && errno != ENOENT) throw_file_error("Cannot delete", name, errno);
}

namespace {

// Opens what stands at a path for reading, never waiting on it (a fifo with
// no writer would hold a plain open for ever) and taking no terminal for
// the program's own, and keeps it only when it is a regular file: FileError
// naming the file otherwise, also when the open fails on a thing that no
// file would be (a socket, a fifo this user may not read).  -1 with the
// error number when nothing can be opened; the size of the file as opened.
int open_regular_file(const std::string& path, std::string_view name, int& error, std::size_t& size)
{
    struct stat info {};
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        if (error != ENOENT && error != ENOTDIR && stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
            throw_not_a_file("Cannot read", name, info.st_mode);
        return -1;
    }
    if (fstat(fd, &info) != 0) {
        error = errno;
        close(fd);
        throw_file_error("Cannot read", name, error);
    }
    if (!S_ISREG(info.st_mode)) {
        close(fd);
        throw_not_a_file("Cannot read", name, info.st_mode);
    }
    error = 0;
    size = static_cast<std::size_t>(info.st_size);
    return fd;
}

// Opens a file for reading: the name as written first, the look-up only when
// it is not there.  -1 with the error number when it cannot be opened.  The
// size to read is the file's as it was opened; that of a new version this
// program wrote is known without asking.
int open_for_reading(std::string_view name, int& error, std::size_t& size)
{
    error = 0;
    size = 0;
    std::string path;
    std::optional<std::size_t> known_size;
    if (const NewVersion* version = claimed(name)) {
        if (!version->written) {
            error = ENOENT;
            return -1;
        }
        known_size = version->size;
        path = std::string(name);
    } else {
        const std::string text = local_name(name);
        path = path_as_written(text);
        if (path.empty()) {
            error = ENOENT;
            return -1;
        }
        const int fd = open_regular_file(path, name, error, size);
        if (fd >= 0 || (error != ENOENT && error != ENOTDIR)) return fd;
        const int not_there = error;
        std::string found = look_up(text, path, false).path;
        if (found == path) {
            error = not_there;
            return -1;
        }
        path = std::move(found);
    }
    const int fd = open_regular_file(path, name, error, size);
    if (fd >= 0 && known_size) size = *known_size;
    return fd;
}

// The file behind an open descriptor (closed here), up to `size` bytes: no
// read more to meet the end, and none beyond it.  FileError for a failed
// read.
std::string read_open_file(int fd, std::string_view name, std::size_t size)
{
    std::string contents;
    contents.reserve(size);
    char buffer[65536];
    while (contents.size() < size) {
        const std::size_t want = std::min(sizeof buffer, size - contents.size());
        const ssize_t got = ::read(fd, buffer, want);
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

// The content of a file; nothing when it is missing and need not exist.
std::optional<std::string> read_file(std::string_view name, bool must_exist)
{
    int error = 0;
    std::size_t size = 0;
    const int fd = open_for_reading(name, error, size);
    if (fd < 0) {
        // A file that is there but cannot be opened is an error; a name that
        // cannot be looked at is a missing file, as for file_exists.
        if (!must_exist && (error == ENOENT || error == ENOTDIR || !file_exists(name))) return std::nullopt;
        throw_file_error("Cannot open", name, error);
    }
    return read_open_file(fd, name, size);
}

}  // namespace

std::string read_whole_file(std::string_view name)
{
    return *read_file(name, true);
}

std::optional<std::string> read_whole_file_if_exists(std::string_view name)
{
    return read_file(name, false);
}

OpenedFile open_file_for_reading(std::string_view name)
{
    int error = 0;
    std::size_t size = 0;
    const int fd = open_for_reading(name, error, size);
    if (fd < 0) throw_file_error("Cannot open", name, error);
    return {fd, size};
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
// A change's new version (see FileChange) replaces nothing yet: it is flushed
// to disk with the change's other new versions when the change commits them.
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

// Forgets a replacement that will not be installed: its temporary goes.
void drop_replacement(const PendingReplacement& pending)
{
    unlink(pending.temporary.c_str());
    if (NewVersion* version = claimed(pending.temporary.string())) version->written = false;
}

// A claimed new version is this program's own file under an exact name:
// nothing to look up.
Resolution claimed_resolution(std::string_view name)
{
    Resolution file;
    file.path = std::string(name);
    return file;
}

PendingReplacement write_replacement(std::string_view name, std::string_view contents)
{
    // A claimed new version is this program's own file under an exact name:
    // nothing to look up, nothing to protect.
    NewVersion* const version = claimed(name);
    const Resolution file = version != nullptr ? claimed_resolution(name) : resolve(name);
    const std::filesystem::path& path = file.path;
    if (path.empty() || !path.has_filename()) throw_file_error("Cannot write", name, EINVAL);
    // A change's new version is itself a scratch copy that only the change's
    // commit puts in place: it is written where it stands, without a
    // temporary of its own (each file created and deleted costs the file
    // system more than the writing).
    const bool in_place = version != nullptr || is_run_new_version(path);
    std::filesystem::path temporary = path;
    if (!in_place) temporary.replace_filename("." + path.filename().string() + ".velm-new");

    const bool had_old = file.found;
    if (had_old && S_ISDIR(file.info.st_mode)) throw_file_error("Cannot write", name, EISDIR);
    if (had_old && is_read_only(path, file.info)) throw_file_error("Cannot write", name, EACCES);

    // A new version this program has written already is written over, not
    // emptied first: the file system takes a file emptied and written again
    // for a rewrite and starts writing it to the disk at once, which the
    // commit's one flush for all makes needless.
    const bool rewrite = version != nullptr && version->written;
    if (version != nullptr) take_change_step();
    const int fd = rewrite ? open(temporary.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC) : create_exclusively(temporary);
    if (fd < 0) throw_file_error("Cannot write", name, errno);
    PendingReplacement pending{std::string(name), path, std::move(temporary)};
    // The new file keeps the permissions of the one it replaces (a file
    // rewritten where it stands keeps its own).
    if (had_old && !in_place) fchmod(fd, file.info.st_mode & 07777);
    int error = write_all(fd, contents);
    if (error == 0 && rewrite && contents.size() < version->size && ftruncate(fd, static_cast<off_t>(contents.size())) != 0)
        error = errno;
    if (error != 0) {
        close(fd);
        drop_replacement(pending);
        throw_file_error("Cannot write", name, error);
    }
    // The new content reaches the disk before it replaces the old, and the
    // directory after, so that a power loss leaves one of the two whole.
    if (disk_flushes_on && !in_place && fsync(fd) != 0) {
        const int error = errno;
        close(fd);
        drop_replacement(pending);
        throw_file_error("Cannot write", name, error);
    }
    if (close(fd) != 0) {
        const int error = errno;
        drop_replacement(pending);
        throw_file_error("Cannot write", name, error);
    }
    if (version != nullptr) {
        version->written = true;
        version->size = contents.size();
    }
    return pending;
}

void install_replacement(const PendingReplacement& pending)
{
    if (pending.temporary == pending.path) return;  // written in place
    tell_watcher(DiskOperation::Rename, pending.path);
    const int injected = injected_write_failure();
    if (injected != 0 || rename(pending.temporary.c_str(), pending.path.c_str()) != 0) {
        const int error = injected != 0 ? injected : errno;
        unlink(pending.temporary.c_str());
        throw_file_error("Cannot write", pending.name, error);
    }
    flush_directory(pending.path.parent_path());
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
    tell_watcher(DiskOperation::FlushDirectory, directory);
}

void flush_file_system(const std::filesystem::path& directory)
{
    if (!disk_flushes_on) return;
    const std::filesystem::path name = directory.empty() ? std::filesystem::path(".") : directory;
    const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    syncfs(fd);
    close(fd);
    tell_watcher(DiskOperation::FlushFileSystem, directory);
}

void flush_file(const std::filesystem::path& file)
{
    if (!disk_flushes_on) return;
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
    tell_watcher(DiskOperation::FlushFile, file);
}

namespace {

// The directory last found writable, as stat described it then.  A commit
// checks each of its files, thousands of them in a few directories: the
// same directory, unchanged since (the same identity, owner, permissions
// and change time: a change of its permissions or ownership changes the
// change time), is writable still without asking the kernel again.
std::optional<struct stat> last_writable_directory;

bool is_known_writable(const struct stat& directory)
{
    if (!last_writable_directory) return false;
    const struct stat& known = *last_writable_directory;
    return known.st_dev == directory.st_dev && known.st_ino == directory.st_ino &&
           known.st_mode == directory.st_mode && known.st_uid == directory.st_uid &&
           known.st_gid == directory.st_gid && known.st_ctim.tv_sec == directory.st_ctim.tv_sec &&
           known.st_ctim.tv_nsec == directory.st_ctim.tv_nsec;
}

}  // namespace

void check_change_target(const std::filesystem::path& path, std::string_view name, bool must_exist)
{
    if (path.empty() || !path.has_filename()) throw_file_error("Cannot write", name, EINVAL);
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) throw_file_error("Cannot replace", name, EISDIR);
        if (is_read_only(path, info)) throw_file_error("Cannot write", name, EACCES);
    } else if (errno != ENOENT) {
        throw_file_error("Cannot write", name, errno);
    } else if (must_exist) {
        throw_file_error("Cannot open", name, ENOENT);
    }
    // The new version is made and renamed in the file's directory.
    const std::filesystem::path directory = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    struct stat directory_info {};
    if (stat(directory.c_str(), &directory_info) != 0) throw_file_error("Cannot write", name, errno);
    if (!S_ISDIR(directory_info.st_mode)) throw_file_error("Cannot write", name, ENOTDIR);
    if (is_known_writable(directory_info)) return;
    if (is_read_only(directory, directory_info)) throw_file_error("Cannot write", name, EACCES);
    last_writable_directory = directory_info;
}

void check_replaceable(std::string_view name)
{
    find_replaceable_file(name);
}

ReplaceableFile find_replaceable_file(std::string_view name)
{
    if (const NewVersion* version = claimed(name)) return {std::filesystem::path(name), version->written};
    const Resolution file = resolve(name);
    const bool is_directory = file.found && S_ISDIR(file.info.st_mode);
    const bool exists = file.found && !is_directory;
    if (exists && is_read_only(file.path, file.info)) throw_file_error("Cannot write", name, EACCES);
    return {file.path, exists, is_directory};
}

void replace_file_atomically(std::string_view name, std::string_view contents)
{
    install_replacement(write_replacement(name, contents));
}

void append_to_file(std::string_view name, std::string_view contents)
{
    NewVersion* const version = claimed(name);
    const Resolution file = version != nullptr ? claimed_resolution(name) : resolve(name);
    const std::filesystem::path& path = file.path;
    if (path.empty() || !path.has_filename()) throw_file_error("Cannot append to", name, EINVAL);
    if (file.found && !S_ISDIR(file.info.st_mode) && is_read_only(path, file.info))
        throw_file_error("Cannot append to", name, EACCES);
    // A claimed name not written yet starts empty (whatever a killed run
    // left there is not this run's).
    const bool fresh = version != nullptr && !version->written;
    if (version != nullptr) take_change_step();
    if (!fresh) {
        if (const int error = injected_write_failure(); error != 0) throw_file_error("Cannot append to", name, error);
    }
    // The open never waits (a fifo with no reader would hold it for ever),
    // and only a regular file is appended to.
    const int fd = fresh ? create_exclusively(path, O_APPEND)
                         : open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                                   (version != nullptr ? O_NOFOLLOW : 0),
                                0666);
    if (fd < 0) {
        const int error = errno;
        struct stat standing {};
        if (error != EISDIR && stat(path.c_str(), &standing) == 0 && !S_ISREG(standing.st_mode))
            throw_not_a_file("Cannot append to", name, standing.st_mode);
        throw_file_error("Cannot append to", name, error);
    }
    if (struct stat opened {}; fstat(fd, &opened) == 0 && !S_ISREG(opened.st_mode)) {
        close(fd);
        throw_not_a_file("Cannot append to", name, opened.st_mode);
    }
    if (version != nullptr) {
        version->size = fresh ? contents.size() : version->size + contents.size();
        version->written = true;
    }
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
