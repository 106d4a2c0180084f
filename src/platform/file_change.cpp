// A change to several files at once, with its commit journal.
#include "platform/file_change.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "platform/files.h"

namespace velm {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view ATOMIC_REWRITE_SUFFIX = ".velm-new";
constexpr std::string_view JOURNAL_FINISH = "finish";
constexpr std::string_view JOURNAL_UNDO = "undo";
// Pieces of a stream are gathered up to this size before they are written.
constexpr std::size_t STREAM_BUFFER_SIZE = 1 << 16;

bool ends_with(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

[[noreturn]] void throw_error(std::string_view action, std::string_view name, int error)
{
    throw FileError(std::string(action) + " file '" + std::string(name) + "': " + std::strerror(error));
}

// The hidden name beside a file: ".<name><suffix>".
std::string hidden_beside(const fs::path& path, std::string_view suffix)
{
    fs::path hidden = path;
    hidden.replace_filename("." + path.filename().string() + std::string(suffix));
    return hidden.string();
}

std::string directory_of(const std::string& path)
{
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

bool is_there(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// One file of a commit.
struct JournalEntry {
    std::string new_version;
    std::string file;
    std::string old_version;  // empty: the file did not exist
    // The kept old version stands as a second name of a fifo, a socket or a
    // device, not of a file: a commit of an earlier release kept whatever
    // stood at the file's name.  It holds nothing of the study, so it is
    // never put back: the entry is undone as a new file's, and the name
    // goes with the other kept old versions.  A commit of this release
    // keeps no old version of a non-file (see keep_old_version).
    bool old_version_is_no_file = false;
};

struct Journal {
    bool undo = false;
    std::vector<JournalEntry> entries;
};

// The journal's layout: its marked first line, "finish" or "undo", three
// lines for each file (new version, file, kept old version) and a closing
// line.  A journal without both marks is no journal of this program's, or
// one cut short: it is never acted on.
constexpr std::string_view JOURNAL_FIRST_LINE = "velmora commit journal 1";
constexpr std::string_view JOURNAL_LAST_LINE = "end";

std::string journal_text(const Journal& journal)
{
    std::string text(JOURNAL_FIRST_LINE);
    text += "\n";
    text += journal.undo ? JOURNAL_UNDO : JOURNAL_FINISH;
    text += "\n";
    for (const JournalEntry& entry : journal.entries)
        text += entry.new_version + "\n" + entry.file + "\n" + entry.old_version + "\n";
    text += JOURNAL_LAST_LINE;
    text += "\n";
    return text;
}

[[noreturn]] void refuse_journal(std::string_view fault)
{
    throw UntrustedJournal("Commit journal '" + std::string(RUN_COMMIT_JOURNAL) + "' " + std::string(fault) +
                           "; nothing was changed");
}

// A name of the journal as a message may show it: control characters and
// bytes beyond ASCII as "?", a long name cut.
std::string shown_journal_name(std::string_view name)
{
    constexpr std::size_t SHOWN = 40;
    std::string shown;
    for (const char c : name.substr(0, SHOWN)) shown += (c < ' ' || c > '~') ? '?' : c;
    if (name.size() > SHOWN) shown += "...";
    return "'" + shown + "'";
}

// The directory parts a journal's names may have: "" (and "./") for the
// working directory, and each data directory as the program finds it, with
// its separator at the end.
std::vector<std::string> study_directory_prefixes(const std::vector<std::string>& directories)
{
    std::vector<std::string> prefixes = {"", "./"};
    for (const std::string& given : directories) {
        if (given.empty() || given == "." || given == "./") continue;
        std::string prefix = resolve_file_name(given).string();
        if (prefix.empty()) continue;
        if (prefix.back() != '/') prefix += '/';
        prefixes.push_back(std::move(prefix));
    }
    return prefixes;
}

// Whether the name is a plain file name: no directory, no "." or "..", not
// hidden (no study file is), no control character.
bool is_plain_name(std::string_view name)
{
    if (name.empty() || name.front() == '.') return false;
    for (const char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < ' ' || c == '\x7f') return false;
    }
    return true;
}

// Whether `hidden` is the hidden version with the suffix that the change
// makes beside `file`: the same directory, ".<name><suffix>", letter for
// letter (the commit writes both names from the file's name as the disk has
// it).
bool is_hidden_version_of(std::string_view hidden, std::string_view file, std::string_view suffix)
{
    const std::size_t cut = file.rfind('/') == std::string_view::npos ? 0 : file.rfind('/') + 1;
    const std::string_view directory = file.substr(0, cut);
    const std::string_view name = file.substr(cut);
    if (hidden.size() != directory.size() + 1 + name.size() + suffix.size()) return false;
    return hidden.substr(0, directory.size()) == directory && hidden[directory.size()] == '.' &&
           hidden.substr(directory.size() + 1, name.size()) == name &&
           hidden.substr(hidden.size() - suffix.size()) == suffix;
}

// The journal read from its bytes, or UntrustedJournal naming what is wrong
// with it: the recovery renames and removes only files of the study's
// directories (`directories`) and their hidden versions.
Journal read_journal(const std::string& bytes, const std::vector<std::string>& directories)
{
    if (bytes.empty() || bytes.back() != '\n') refuse_journal("does not end with its closing line");
    std::vector<std::string_view> lines;
    const std::string_view text(bytes);
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.front() != JOURNAL_FIRST_LINE)
        refuse_journal("does not begin with the line \"" + std::string(JOURNAL_FIRST_LINE) + "\"");
    if (lines.back() != JOURNAL_LAST_LINE)
        refuse_journal("does not end with its closing line \"" + std::string(JOURNAL_LAST_LINE) + "\"");
    if (lines.size() < 3 || (lines[1] != JOURNAL_FINISH && lines[1] != JOURNAL_UNDO))
        refuse_journal("says neither \"finish\" nor \"undo\" on its second line");
    const std::size_t first_entry = 2;
    const std::size_t entry_lines = lines.size() - first_entry - 1;
    if (entry_lines == 0 || entry_lines % 3 != 0) refuse_journal("holds no whole entries for its files");

    const std::vector<std::string> prefixes = study_directory_prefixes(directories);
    Journal journal;
    journal.undo = lines[1] == JOURNAL_UNDO;
    for (std::size_t k = first_entry; k + 1 < lines.size(); k += 3) {
        const std::string_view new_version = lines[k];
        const std::string_view file = lines[k + 1];
        const std::string_view old_version = lines[k + 2];
        const std::string line = "line " + std::to_string(k + 2) + " ";
        const std::size_t cut = file.rfind('/') == std::string_view::npos ? 0 : file.rfind('/') + 1;
        const bool in_study = std::find(prefixes.begin(), prefixes.end(), file.substr(0, cut)) != prefixes.end();
        if (!in_study || !is_plain_name(file.substr(cut)))
            refuse_journal(line + "names " + shown_journal_name(file) + ", which is no file of the study");
        if (!new_version.empty() && !is_hidden_version_of(new_version, file, RUN_OUTPUT_SUFFIX))
            refuse_journal("line " + std::to_string(k + 1) + " names " + shown_journal_name(new_version) +
                           ", which is no new version of " + shown_journal_name(file));
        if (!old_version.empty() && !is_hidden_version_of(old_version, file, OLD_VERSION_SUFFIX))
            refuse_journal("line " + std::to_string(k + 3) + " names " + shown_journal_name(old_version) +
                           ", which is no kept old version of " + shown_journal_name(file));
        if (new_version.empty() && old_version.empty())
            refuse_journal(line + "removes " + shown_journal_name(file) + " without keeping its old version");
        journal.entries.push_back({std::string(new_version), std::string(file), std::string(old_version)});
    }
    return journal;
}

// The journal's bytes, read only from a regular file standing at its name
// (never through a link); nothing when there is no journal.
std::optional<std::string> read_journal_file()
{
    const std::string name(RUN_COMMIT_JOURNAL);
    const int fd = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) return std::nullopt;
        if (error == ELOOP) refuse_journal("is a symbolic link, not the program's own file");
        refuse_journal(std::string("cannot be read: ") + std::strerror(error));
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        refuse_journal("is not a regular file");
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            close(fd);
            refuse_journal(std::string("cannot be read: ") + std::strerror(error));
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return bytes;
}

// The ASCII letters of a name in lower case.
std::string lower_case(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The key by which two names of a commit are the same file: its directory
// as the disk finds it (links followed, "." and ".." gone), and its name in
// lower case, so that two names that differ only in letter case, or that
// reach one directory by two roads, count as one file.  A change names
// thousands of files in a few directories: each directory is found on the
// disk once, in `directories`.
std::string same_file_key(const std::string& file, std::unordered_map<std::string, fs::path>& directories)
{
    const fs::path path(file);
    const fs::path directory = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    auto [known, added] = directories.try_emplace(directory.string());
    if (added) {
        std::error_code error;
        known->second = fs::weakly_canonical(directory, error);
        if (error) known->second = directory.lexically_normal();
    }
    return (known->second / lower_case(path.filename().string())).string();
}

// The names standing in the journal's directories, each directory read once
// however many of its names are looked up.
class StandingNames {
public:
    // The name standing beside `path` that differs from its name in letter
    // case alone; empty when there is none.
    std::string other_case_of(const std::string& path)
    {
        const fs::path given(path);
        const std::string directory = given.parent_path().empty() ? std::string(".") : given.parent_path().string();
        auto found = directories_.find(directory);
        if (found == directories_.end()) {
            std::map<std::string, std::string> names;
            std::error_code error;
            for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
                const std::string name = it->path().filename().string();
                names.emplace(lower_case(name), name);
            }
            found = directories_.emplace(directory, std::move(names)).first;
        }
        const auto name = found->second.find(lower_case(given.filename().string()));
        if (name == found->second.end()) return {};
        return (given.parent_path() / name->second).string();
    }

private:
    std::map<std::string, std::map<std::string, std::string>> directories_;
};

// The lines of the journal's entry `k` (counted from 0): its new version,
// its file and its kept old version.
std::string line_of(std::size_t k, std::size_t field)
{
    return "line " + std::to_string(3 + 3 * k + field) + " ";
}

// Whether something stands at a name of the journal, seen without following
// a link (into `info`).  UntrustedJournal when the name stands only in
// another letter case (a copy that renamed the study's files, a journal
// edited by hand): the commit wrote every name as the disk had it.
bool stands(const std::string& name, const std::string& line, StandingNames& names, struct stat& info)
{
    if (lstat(name.c_str(), &info) == 0) return true;
    const int error = errno;
    if (error != ENOENT)
        refuse_journal(line + "names " + shown_journal_name(name) +
                       ", which cannot be looked at: " + std::strerror(error));
    if (const std::string other = names.other_case_of(name); !other.empty())
        refuse_journal(line + "names " + shown_journal_name(name) + ", which stands only in another letter case, as " +
                       shown_journal_name(other));
    return false;
}

// Whether a new version or a kept old version stands; UntrustedJournal when
// what stands there is not a regular file, as every version the program
// writes is (a link, a fifo or a directory would end up standing at the
// study file's name).  `no_file`, given for a kept old version only, lets a
// fifo, a socket or a device stand there, and is set when one does: an
// earlier release kept one as the old version of a non-file at the file's
// name, and such an old version is never put back.
bool version_stands(const std::string& name, const std::string& line, StandingNames& names, bool* no_file = nullptr)
{
    struct stat info {};
    if (!stands(name, line, names, info)) return false;
    if (S_ISREG(info.st_mode)) return true;
    if (no_file != nullptr && !S_ISLNK(info.st_mode) && !S_ISDIR(info.st_mode)) {
        *no_file = true;
        return true;
    }
    const char* kind = S_ISLNK(info.st_mode)    ? "a symbolic link"
                       : S_ISDIR(info.st_mode)  ? "a directory"
                       : S_ISFIFO(info.st_mode) ? "a fifo"
                       : S_ISSOCK(info.st_mode) ? "a socket"
                                                : "a device";
    refuse_journal(line + "names " + shown_journal_name(name) + ", which is " + kind +
                   ", not a file the program wrote");
}

// The journal checked against the disk, before the recovery changes
// anything: UntrustedJournal unless a commit of the program, or an undo of
// one, interrupted, could have left each file and its versions as they
// stand.  A commit keeps every old file until the journal is gone, and an
// undo puts each one back by a rename, so that
//   - on "finish", a file with an old file has its kept old version there,
//     or is replaced already (its new version gone, the file there; a file
//     removed is gone); a new version that is gone left the file in its
//     place;
//   - on "undo", a file with an old file has its kept old version there, or
//     stands (its old file is back).
void check_journal_on_disk(Journal& journal)
{
    std::map<std::string, std::size_t> named;
    std::unordered_map<std::string, fs::path> directories;
    for (std::size_t k = 0; k < journal.entries.size(); ++k) {
        const std::string& file = journal.entries[k].file;
        const auto [first, added] = named.emplace(same_file_key(file, directories), k);
        if (!added)
            refuse_journal(line_of(k, 1) + "names " + shown_journal_name(file) + ", the file that " +
                           line_of(first->second, 1) + "names already");
    }
    StandingNames names;
    for (std::size_t k = 0; k < journal.entries.size(); ++k) {
        JournalEntry& entry = journal.entries[k];
        const bool new_version = !entry.new_version.empty() && version_stands(entry.new_version, line_of(k, 0), names);
        const bool old_version = !entry.old_version.empty() &&
                                 version_stands(entry.old_version, line_of(k, 2), names, &entry.old_version_is_no_file);
        struct stat info {};
        const bool file = stands(entry.file, line_of(k, 1), names, info);
        const std::string missing = line_of(k, 2) + "names " + shown_journal_name(entry.old_version) +
                                    ", the kept old version of " + shown_journal_name(entry.file) +
                                    ", which is missing";
        if (!journal.undo) {
            if (!entry.new_version.empty() && !new_version && !file)
                refuse_journal(line_of(k, 1) + "names " + shown_journal_name(entry.file) +
                               ", which stands neither as the file nor as its new version");
            const bool replaced = entry.new_version.empty() ? !file : !new_version;
            if (!entry.old_version.empty() && !old_version && !replaced)
                refuse_journal(missing + " while the file is not replaced yet");
        } else if (!entry.old_version.empty() && !old_version && !file) {
            refuse_journal(missing + ", and so is the file");
        }
    }
}

// The failures a test sets for the calls of a commit (fail_commit_calls).
std::function<int(CommitCall, const std::string&)> commit_call_failure;

// A rename of a commit: 0, or the error number of its failure.
int rename_in_commit(CommitCall call, const std::string& from, const std::string& to)
{
    if (commit_call_failure) {
        if (const int error = commit_call_failure(call, to); error != 0) return error;
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// A removal of a commit: 0 (also when the file is gone already), or the
// error number of its failure.
int remove_in_commit(CommitCall call, const std::string& name)
{
    if (commit_call_failure) {
        if (const int error = commit_call_failure(call, name); error != 0) return error;
    }
    return unlink(name.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

// UnfinishedCommit when a commit journal stands: an earlier change is left
// unfinished, and its new and kept old versions are the next start's.
void refuse_over_standing_journal()
{
    if (is_there(std::string(RUN_COMMIT_JOURNAL)))
        throw UnfinishedCommit(
            "The change cannot be made: an earlier change stands unfinished in the study, and the "
            "next start of the program finishes or undoes it. Nothing was changed.");
}

// The system's reason in a FileError's message ("...: <reason>").
std::string reason_of(const FileError& error)
{
    const std::string message = error.what();
    const std::size_t at = message.rfind("': ");
    return at == std::string::npos ? message : message.substr(at + 3);
}

// Writes the journal whole (a stop leaves the one before or this one).  A
// failure names `first_file`, the change's first file, not the journal: the
// journal is the program's own business.
void write_journal(const Journal& journal, std::string_view first_file)
{
    take_change_step();
    try {
        replace_file_atomically(RUN_COMMIT_JOURNAL, journal_text(journal));
    } catch (const FileError& error) {
        std::string message = error.what();
        const std::string journal_name = "'" + std::string(RUN_COMMIT_JOURNAL) + "'";
        if (const std::size_t at = message.find(journal_name); at != std::string::npos)
            message.replace(at, journal_name.size(), "'" + std::string(first_file) + "'");
        throw FileError(message);
    }
}

void flush_directories_of(const std::vector<JournalEntry>& entries)
{
    std::set<std::string> directories;
    for (const JournalEntry& entry : entries) directories.insert(directory_of(entry.file));
    for (const std::string& directory : directories) flush_directory(directory);
}

// Ends a commit once every file is as it should be: the journal goes, and
// then the old files kept for it.  The error number when the journal cannot
// be removed (it stays, and every old file with it), 0 when it went.
int close_journal(const Journal& journal)
{
    flush_directories_of(journal.entries);
    take_change_step();
    if (const int error = remove_in_commit(CommitCall::RemoveJournal, std::string(RUN_COMMIT_JOURNAL)); error != 0)
        return error;
    flush_directory(".");
    for (const JournalEntry& entry : journal.entries) {
        if (!entry.old_version.empty()) unlink(entry.old_version.c_str());
    }
    return 0;
}

// Renames every new version over its file, and removes the files removed.
// When the commit is resumed at a start of the program, a new version that
// is gone was renamed before the stop.  The error number of the first call
// that fails, with its entry in `failed`; 0 when all went.
int rename_new_versions(const Journal& journal, bool resumed, std::size_t& failed)
{
    for (std::size_t k = 0; k < journal.entries.size(); ++k) {
        const JournalEntry& entry = journal.entries[k];
        take_change_step();
        // A removal; its old file is kept, to be put back by an undo.
        const int error = entry.new_version.empty()
                              ? remove_in_commit(CommitCall::Remove, entry.file)
                              : rename_in_commit(CommitCall::Rename, entry.new_version, entry.file);
        if (error == 0) continue;
        if (resumed && error == ENOENT && !is_there(entry.new_version)) continue;
        failed = k;
        return error;
    }
    return 0;
}

// How an undo ended: every old file back and the journal gone, or what
// stays for the next start.
struct Undo {
    enum class End {
        Done,
        JournalNotRewritten,  // nothing undone: the journal on disk still says "finish"
        NotAllBack,           // the journal says "undo"; `file` is not back
        JournalNotRemoved,    // every old file is back; the journal says "undo"
    };
    End end = End::Done;
    std::string file;
    std::string reason;
};

// Puts every old file back and removes every new one: the state before the
// commit.  The journal says "undo" first, so that a stop on the way is
// undone further at the next start, never finished instead.  A file whose
// old version could not be put back (something else stands in its place
// now, its directory cannot be written) keeps the journal, and the old
// version with it, for the next start.
Undo undo_commit(Journal journal)
{
    journal.undo = true;
    try {
        write_journal(journal, journal.entries.front().file);
    } catch (const FileError& error) {
        return {Undo::End::JournalNotRewritten, {}, reason_of(error)};
    }
    Undo undo;
    for (const JournalEntry& entry : journal.entries) {
        int error = 0;
        if (entry.old_version.empty() || entry.old_version_is_no_file) {
            // The file was new (or no file stood at its name): the new
            // version renamed in goes.  A removal of a non-file leaves what
            // stands.
            if (!entry.new_version.empty() && !is_there(entry.new_version))
                error = remove_in_commit(CommitCall::RemoveNew, entry.file);
        } else if (is_there(entry.old_version)) {
            take_change_step();
            error = rename_in_commit(CommitCall::PutBack, entry.old_version, entry.file);
        }
        if (error != 0 && undo.end == Undo::End::Done) undo = {Undo::End::NotAllBack, entry.file, std::strerror(error)};
        if (!entry.new_version.empty()) unlink(entry.new_version.c_str());
    }
    if (undo.end != Undo::End::Done) return undo;
    if (const int error = close_journal(journal); error != 0)
        return {Undo::End::JournalNotRemoved, {}, std::strerror(error)};
    return {};
}

// The old file kept under a hidden hard link (a copy where the file system
// has no links); empty when there is no old file.  The new version takes
// the old file's permissions, which the engineer may have set.  A file
// behind a symbolic link is kept as a copy of its bytes: a kept old version
// is always a regular file of the program's own (a link to nothing keeps
// nothing).  A fifo, a socket or a device at the name (or a link to one)
// is no old file either: it holds nothing of the study, and a second name
// of it kept for the commit would be no file the next start could take for
// the program's own; the new version replaces it as it would a new file's
// name, and the journal claims no old version for it.
std::string keep_old_version(const std::string& path, std::string_view name, const std::string& new_version)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return {};
    // The new version takes the old file's permissions (a removal has none).
    struct stat target {};
    const bool found = stat(path.c_str(), &target) == 0;
    const bool linked = S_ISLNK(info.st_mode);
    if (!found || !S_ISREG(target.st_mode)) return {};
    if (!new_version.empty() && found) chmod(new_version.c_str(), target.st_mode & 07777);
    const std::string old_version = hidden_beside(path, OLD_VERSION_SUFFIX);
    take_change_step();
    if (unlink(old_version.c_str()) != 0 && errno != ENOENT) throw_error("Cannot write", name, errno);
    if (!linked) {
        if (link(path.c_str(), old_version.c_str()) == 0) return old_version;
        if (errno != EPERM && errno != ENOTSUP && errno != EMLINK && errno != EOPNOTSUPP)
            throw_error("Cannot write", name, errno);
    }
    const std::string bytes = read_whole_file(path);
    const int fd = create_exclusively(old_version);
    if (fd < 0) throw_error("Cannot write", name, errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            const int error = errno;
            close(fd);
            throw_error("Cannot write", name, error);
        }
        done += static_cast<std::size_t>(written);
    }
    close(fd);
    return old_version;
}

// Removes the fifos, sockets and devices (or links to them) standing at
// names the change removes, once every file of the change is in place: none
// holds anything of the study, so none is kept for an undo, and none goes
// with a change that is refused or undone.  A stop before leaves the
// non-file standing beside the finished change, where a later reading
// refuses it as it would now.  What stands there by now as a file or a
// directory is not the commit's to remove.  (No step of the change: the
// change is whole before.)
void remove_non_files(const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        struct stat info {};
        if (lstat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) unlink(name.c_str());
    }
}

}  // namespace

NewVersionStream::NewVersionStream(std::string file, std::string new_version)
    : file_(std::move(file)), new_version_(std::move(new_version))
{
    // A version written before is no longer this change's until the stream
    // is finished.
    delete_file(new_version_);
    take_change_step();
    fd_ = create_exclusively(new_version_);
    if (fd_ < 0) throw_error("Cannot write", file_, errno);
}

NewVersionStream::NewVersionStream(NewVersionStream&& other) noexcept
    : file_(std::move(other.file_)),
      new_version_(std::move(other.new_version_)),
      fd_(other.fd_),
      size_(other.size_),
      buffer_(std::move(other.buffer_))
{
    other.fd_ = -1;
}

NewVersionStream::~NewVersionStream()
{
    if (fd_ < 0) return;
    close(fd_);
    unlink(new_version_.c_str());
}

void NewVersionStream::flush_buffer()
{
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t written = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) throw_error("Cannot write", file_, errno);
        done += static_cast<std::size_t>(written);
    }
    size_ += buffer_.size();
    buffer_.clear();
}

void NewVersionStream::write(std::string_view bytes)
{
    if (fd_ < 0) throw_error("Cannot write", file_, EBADF);
    buffer_ += bytes;
    if (buffer_.size() >= STREAM_BUFFER_SIZE) {
        take_change_step();
        flush_buffer();
    }
}

void NewVersionStream::finish()
{
    if (fd_ < 0) return;
    take_change_step();
    flush_buffer();
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw_error("Cannot write", file_, errno);
    note_new_version_written(new_version_, size_);
}

namespace {

// A failure to write a new version is told with the file's own name: the
// hidden name means nothing to the engineer.
template <class Write>
void naming_the_file(std::string_view name, const std::string& new_version, Write write)
{
    try {
        write();
    } catch (const FileError& error) {
        std::string message = error.what();
        if (const std::size_t at = message.find(new_version); at != std::string::npos)
            message.replace(at, new_version.size(), name);
        throw FileError(message);
    }
}

}  // namespace

FileChange::~FileChange()
{
    try {
        if (committing_) {
            forget();  // the next start finishes it
        } else {
            discard();
        }
    } catch (...) {
        // Removing a new version can only fail when it is already gone.
    }
}

const FileChange::Entry* FileChange::find(std::string_view name) const
{
    const auto found = index_.find(file_name_key(name));
    return found == index_.end() ? nullptr : &entries_[found->second];
}

// This program makes the new versions: whether one exists is known without
// asking the disk (see claim_new_version).
bool FileChange::exists(const Entry& entry) const
{
    return new_version_exists(entry.new_version);
}

void FileChange::check_directory_of(const std::string& path, std::string_view name)
{
    const std::string directory = directory_of(path);
    if (std::find(writable_directories_.begin(), writable_directories_.end(), directory) != writable_directories_.end())
        return;
    check_change_target(path, name, false);
    writable_directories_.push_back(directory);
}

void FileChange::reach(std::string_view name, bool must_exist)
{
    if (const Entry* entry = find(name); entry != nullptr && exists(*entry)) return;  // written already
    check_change_target(resolve_file_name(name), name, must_exist);
}

std::string FileChange::add(std::string_view name, bool copy_current)
{
    std::string key = file_name_key(name);
    if (const auto found = index_.find(key); found != index_.end()) return entries_[found->second].new_version;
    // While a journal stands, the new versions it names are the next
    // start's: a change that would write over them is not begun.
    if (entries_.empty()) refuse_over_standing_journal();
    // A file that cannot be replaced stops the change before its work, so
    // nothing is replaced.
    const ReplaceableFile file = find_replaceable_file(name);
    const fs::path& path = file.path;
    if (path.empty() || !path.has_filename()) throw FileError("Cannot write file '" + std::string(name) + "'");
    if (file.is_directory) throw_error("Cannot replace", name, EISDIR);
    check_directory_of(path.string(), name);
    std::string new_name = hidden_beside(path, RUN_OUTPUT_SUFFIX);
    claim_new_version(new_name, name);
    index_.emplace(std::move(key), entries_.size());
    entries_.push_back({std::string(name), new_name});
    if (copy_current && file.exists) {
        naming_the_file(name, new_name, [&] { replace_file_atomically(new_name, read_whole_file(path.string())); });
    }
    return new_name;
}

std::string FileChange::new_file(std::string_view name)
{
    return add(name, false);
}

std::string FileChange::changed_file(std::string_view name)
{
    return add(name, true);
}

void FileChange::write(std::string_view name, std::string_view contents)
{
    const std::string new_version = new_file(name);
    naming_the_file(name, new_version, [&] { replace_file_atomically(new_version, contents); });
}

void FileChange::append(std::string_view name, std::string_view bytes)
{
    const std::string new_version = changed_file(name);
    naming_the_file(name, new_version, [&] { append_to_file(new_version, bytes); });
}

NewVersionStream FileChange::stream(std::string_view name)
{
    return NewVersionStream(std::string(name), new_file(name));
}

void FileChange::remove(std::string_view name)
{
    const std::string key = file_name_key(name);
    for (const std::string& listed : removals_)
        if (file_name_key(listed) == key) return;
    removals_.emplace_back(name);
}

std::string FileChange::current_file(std::string_view name) const
{
    const Entry* entry = find(name);
    return entry != nullptr && exists(*entry) ? entry->new_version : std::string(name);
}

bool FileChange::has_new_version(std::string_view name) const
{
    const Entry* entry = find(name);
    return entry != nullptr && exists(*entry);
}

void FileChange::commit()
{
    std::vector<const Entry*> written;
    std::vector<std::string> files;
    for (const Entry& entry : entries_) {
        if (!exists(entry)) continue;
        written.push_back(&entry);
        files.push_back(entry.file);
    }
    // The files removed that are there.
    std::vector<std::string> removed;
    for (const std::string& name : removals_)
        if (non_directory_exists(name)) removed.push_back(name);
    if (written.empty() && removed.empty()) {
        forget();
        return;
    }
    // A journal that stands belongs to a change the next start finishes or
    // undoes: no commit is made over it, and its kept old files are never
    // taken for leftovers.
    refuse_over_standing_journal();
    files.insert(files.end(), removed.begin(), removed.end());
    // The files are found as they are now (a user may have renamed one in
    // the meantime), all at one moment, and each is checked again: a file
    // that cannot be replaced refuses the change before anything is.
    const std::vector<fs::path> paths = resolve_file_names(files);
    for (std::size_t k = 0; k < files.size(); ++k) check_change_target(paths[k], files[k], false);

    // One entry a file, however often it is named: a file both written and
    // removed, or named by two roads, is removed when any of its names
    // removes it (its last step), else written once.  The new versions left
    // out go at the end.
    struct Target {
        std::string new_version;
        std::string path;
        std::string name;
    };
    std::vector<Target> targets;
    std::vector<std::string> left_out;
    std::unordered_map<std::string, std::size_t> target_of;
    std::unordered_map<std::string, fs::path> found_directories;
    for (std::size_t k = 0; k < files.size(); ++k) {
        std::string new_version = k < written.size() ? written[k]->new_version : std::string();
        const auto [found, added] =
            target_of.emplace(same_file_key(paths[k].string(), found_directories), targets.size());
        if (added) {
            targets.push_back({std::move(new_version), paths[k].string(), files[k]});
            continue;
        }
        std::string& kept = targets[found->second].new_version;
        if (new_version.empty()) kept.swap(new_version);
        if (!new_version.empty() && new_version != kept) left_out.push_back(std::move(new_version));
    }

    Journal journal;
    std::set<std::string> directories;
    // The fifos, sockets and devices at names the change removes.
    std::vector<std::string> non_files;
    try {
        // Each new version under the name the journal gives it, the file's
        // name letter for letter: a file found again in another letter case
        // than when its new version was made has its new version renamed.
        for (Target& target : targets) {
            if (target.new_version.empty()) continue;
            const std::string exact = hidden_beside(target.path, RUN_OUTPUT_SUFFIX);
            if (target.new_version == exact) continue;
            if (std::rename(target.new_version.c_str(), exact.c_str()) != 0)
                throw_error("Cannot write", target.name, errno);
            target.new_version = exact;
        }
        for (const Target& target : targets) {
            directories.insert(directory_of(target.path));
            std::string old_version = keep_old_version(target.path, target.name, target.new_version);
            // A file to remove that is gone by now needs no entry, and
            // neither does a non-file there, which keeps no old version.
            if (target.new_version.empty() && old_version.empty()) {
                if (is_there(target.path)) non_files.push_back(target.path);
                continue;
            }
            journal.entries.push_back({target.new_version, target.path, std::move(old_version)});
        }
        // The new versions and the kept old files were written without
        // waiting for the disk; they reach it together here, before any of
        // them replaces a file.
        for (const std::string& directory : directories) flush_file_system(directory);
        // Once the journal is on disk the replacement is decided: a stop
        // from here on is finished by the next start of the program.
        if (journal.entries.empty()) {
            forget();
            remove_non_files(non_files);
            return;
        }
        write_journal(journal, files.front());
    } catch (const FileError&) {
        // Nothing is replaced: the old files need no keeping.
        for (const JournalEntry& entry : journal.entries) {
            if (!entry.old_version.empty()) unlink(entry.old_version.c_str());
        }
        throw;
    }
    committing_ = true;
    std::size_t failed = 0;
    if (const int error = rename_new_versions(journal, false, failed); error != 0) {
        // Every file as it was, the journal gone: the change is refused.
        // When the undo cannot be made whole now, the journal stays, and
        // the program ends: the next start finishes or undoes the change,
        // as the journal on disk says.
        const Undo undo = undo_commit(journal);
        forget();
        const std::string refusal =
            "Cannot replace file '" + journal.entries[failed].file + "': " + std::strerror(error) + ".";
        if (undo.end == Undo::End::JournalNotRewritten)
            throw UnfinishedCommit(refusal +
                                   " The change is half made and cannot be undone now; the next start of "
                                   "the program finishes the change.");
        if (undo.end != Undo::End::Done)
            throw UnfinishedCommit(refusal +
                                   " The change cannot be undone whole now; the next start of the program "
                                   "puts every old file back.");
        committing_ = false;
        for (const std::string& name : left_out) unlink(name.c_str());
        throw FileError(refusal.substr(0, refusal.size() - 1));
    }
    if (const int error = close_journal(journal); error != 0) {
        forget();
        throw UnfinishedCommit(std::string("The change is made, every file of it in place, but its last step "
                                           "cannot be taken: ") +
                               std::strerror(error) + ". The next start of the program finishes the change.");
    }
    remove_non_files(non_files);
    committing_ = false;
    for (const std::string& name : left_out) unlink(name.c_str());
    forget();
}

void FileChange::discard()
{
    std::vector<Entry> entries;
    entries.swap(entries_);
    index_.clear();
    removals_.clear();
    // Every name is released even when a removal fails: a name left claimed
    // would count a later change's file under it as written.
    std::exception_ptr failure;
    for (const Entry& entry : entries) {
        try {
            delete_file(entry.new_version);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
        release_new_version(entry.new_version);
    }
    if (failure) std::rethrow_exception(failure);
}

void FileChange::forget()
{
    for (const Entry& entry : entries_) release_new_version(entry.new_version);
    entries_.clear();
    index_.clear();
    removals_.clear();
}

void finish_interrupted_commit(const std::vector<std::string>& directories)
{
    const std::optional<std::string> text = read_journal_file();
    if (!text) return;
    Journal journal = read_journal(*text, directories);
    check_journal_on_disk(journal);
    const std::string journal_name = "its commit journal '" + std::string(RUN_COMMIT_JOURNAL) + "'";
    std::string not_finished;
    if (!journal.undo) {
        std::size_t failed = 0;
        const int error = rename_new_versions(journal, true, failed);
        if (error == 0) {
            if (const int closing = close_journal(journal); closing != 0)
                throw FileError("An interrupted change is finished, but " + journal_name +
                                " cannot be removed: " + std::strerror(closing) + "; the next start removes it");
            return;
        }
        not_finished = "Cannot replace file '" + journal.entries[failed].file + "': " + std::strerror(error);
    }
    const Undo undo = undo_commit(journal);
    switch (undo.end) {
        case Undo::End::Done:
            return;
        case Undo::End::JournalNotRewritten:
            if (not_finished.empty())
                throw FileError("An interrupted change cannot be undone: " + journal_name +
                                " cannot be written: " + undo.reason + "; nothing was changed");
            throw FileError("An interrupted change can be neither finished (" + not_finished + ") nor undone (" +
                            journal_name + " cannot be written: " + undo.reason + "); the next start tries again");
        case Undo::End::NotAllBack:
            // The old version stays in its hidden file, named in the
            // journal, until what stands in its place is moved away.
            throw FileError("An interrupted change cannot be undone whole: file '" + undo.file +
                            "' cannot be put back as it was (" + undo.reason +
                            "); its old file is kept, and the next start tries again");
        case Undo::End::JournalNotRemoved:
            throw FileError("An interrupted change is undone, but " + journal_name +
                            " cannot be removed: " + undo.reason + "; the next start removes it");
    }
}

void remove_run_leftovers(const std::vector<std::string>& directories)
{
    // Never while anything stands at the journal's name: the new and old
    // versions of a commit finish or undo it, and a journal that is not the
    // program's own is left as found, with everything it names.
    struct stat journal {};
    if (lstat(std::string(RUN_COMMIT_JOURNAL).c_str(), &journal) == 0) return;
    std::set<std::string> seen;
    for (const std::string& given : directories) {
        const fs::path directory = given.empty() ? fs::path(".") : resolve_file_name(given);
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(directory, error);
        if (error || !seen.insert(canonical.string()).second) continue;
        for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.size() < 2 || name.front() != '.') continue;
            if (ends_with(name, RUN_OUTPUT_SUFFIX) || ends_with(name, ATOMIC_REWRITE_SUFFIX) ||
                ends_with(name, OLD_VERSION_SUFFIX)) {
                std::error_code ignored;
                fs::remove(it->path(), ignored);
            }
        }
    }
}

void fail_commit_calls(std::function<int(CommitCall call, const std::string& file)> failure)
{
    commit_call_failure = std::move(failure);
}

void recover_interrupted_changes(const std::vector<std::string>& directories)
{
    finish_interrupted_commit(directories);
    remove_run_leftovers(directories);
}

}  // namespace velm
