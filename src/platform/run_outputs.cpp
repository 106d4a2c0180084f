#include "platform/run_outputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>

#include "platform/files.h"

namespace velm {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view ATOMIC_REWRITE_SUFFIX = ".velm-new";

bool ends_with(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The journal: one new version and its file a line each, in pairs.
std::vector<std::pair<std::string, std::string>> read_journal(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t k = 0; k + 1 < lines.size(); k += 2) pairs.emplace_back(lines[k], lines[k + 1]);
    return pairs;
}

// Renames every new version that is still there over its file (one that is
// gone was renamed before a stop), then flushes the files' directories.
void replace_from_journal(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    std::set<std::string> directories;
    for (const auto& [new_version, file] : pairs) {
        if (std::rename(new_version.c_str(), file.c_str()) != 0) {
            if (errno == ENOENT) continue;  // replaced before the stop
            throw FileError("Cannot replace file '" + file + "': " + std::strerror(errno));
        }
        directories.insert(fs::path(file).parent_path().string());
    }
    for (const std::string& directory : directories) flush_directory(directory);
}

}  // namespace

RunOutputs::~RunOutputs()
{
    try {
        discard();
    } catch (...) {
        // Removing a new version can only fail when it is already gone.
    }
}

const RunOutputs::Entry* RunOutputs::find(std::string_view name) const
{
    const auto found = index_.find(file_name_key(name));
    return found == index_.end() ? nullptr : &entries_[found->second];
}

// This program makes the new versions: whether one exists is known without
// asking the disk (see claim_new_version).
bool RunOutputs::exists(const Entry& entry) const
{
    return new_version_exists(entry.new_version);
}

std::string RunOutputs::add(std::string_view name, bool copy_current)
{
    std::string key = file_name_key(name);
    if (const auto found = index_.find(key); found != index_.end()) return entries_[found->second].new_version;
    // A read-only file stops the run before its work, so nothing is replaced.
    const ReplaceableFile file = find_replaceable_file(name);
    const fs::path& path = file.path;
    if (path.empty() || !path.has_filename()) throw FileError("Cannot write file '" + std::string(name) + "'");
    fs::path new_version = path;
    new_version.replace_filename("." + path.filename().string() + std::string(RUN_OUTPUT_SUFFIX));
    std::string new_name = new_version.string();
    claim_new_version(new_name);
    index_.emplace(std::move(key), entries_.size());
    entries_.push_back({std::string(name), new_name});
    if (copy_current && file.exists) replace_file_atomically(new_name, read_whole_file(path.string()));
    return new_name;
}

std::string RunOutputs::new_file(std::string_view name)
{
    return add(name, false);
}

std::string RunOutputs::changed_file(std::string_view name)
{
    return add(name, true);
}

std::string RunOutputs::current_file(std::string_view name) const
{
    const Entry* entry = find(name);
    return entry != nullptr && exists(*entry) ? entry->new_version : std::string(name);
}

bool RunOutputs::has_new_version(std::string_view name) const
{
    const Entry* entry = find(name);
    return entry != nullptr && exists(*entry);
}

void RunOutputs::commit()
{
    std::vector<const Entry*> written;
    std::vector<std::string> files;
    for (const Entry& entry : entries_) {
        if (!exists(entry)) continue;
        written.push_back(&entry);
        files.push_back(entry.file);
    }
    // The files are found as they are now (a user may have renamed one in
    // the meantime), all at one moment.
    const std::vector<fs::path> paths = resolve_file_names(files);
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string journal;
    std::set<std::string> directories;
    for (std::size_t k = 0; k < written.size(); ++k) {
        const std::string& new_version = written[k]->new_version;
        directories.insert(fs::path(new_version).parent_path().string());
        journal += new_version + "\n" + paths[k].string() + "\n";
        pairs.emplace_back(new_version, paths[k].string());
    }
    // The new versions were written without waiting for the disk; they reach
    // it together here, before any of them replaces its file.
    for (const std::string& directory : directories) flush_file_system(directory);
    if (!pairs.empty()) {
        // Once the journal is on disk the replacement is decided: a stop from
        // here on is finished by the next start of the program.
        replace_file_atomically(RUN_COMMIT_JOURNAL, journal);
        replace_from_journal(pairs);
        delete_file(RUN_COMMIT_JOURNAL);
        flush_directory(".");
    }
    forget();
}

void RunOutputs::discard()
{
    std::vector<Entry> entries;
    entries.swap(entries_);
    index_.clear();
    // Every name is released even when a removal fails: a name left claimed
    // would count a later run's file under it as written.
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

void RunOutputs::forget()
{
    for (const Entry& entry : entries_) release_new_version(entry.new_version);
    entries_.clear();
    index_.clear();
}

void finish_interrupted_commit()
{
    const std::optional<std::string> journal = read_whole_file_if_exists(RUN_COMMIT_JOURNAL);
    if (!journal) return;
    replace_from_journal(read_journal(*journal));
    delete_file(RUN_COMMIT_JOURNAL);
    flush_directory(".");
}

void remove_run_leftovers(const std::vector<std::string>& directories)
{
    std::set<std::string> seen;
    for (const std::string& given : directories) {
        const fs::path directory = given.empty() ? fs::path(".") : resolve_file_name(given);
        std::error_code error;
        const fs::path canonical = fs::weakly_canonical(directory, error);
        if (error || !seen.insert(canonical.string()).second) continue;
        for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.size() < 2 || name.front() != '.') continue;
            if (ends_with(name, RUN_OUTPUT_SUFFIX) || ends_with(name, ATOMIC_REWRITE_SUFFIX)) {
                std::error_code ignored;
                fs::remove(it->path(), ignored);
            }
        }
    }
}

}  // namespace velm
