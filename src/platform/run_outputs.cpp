#include "platform/run_outputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

void rename_or_throw(const fs::path& from, const fs::path& to)
{
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        throw FileError("Cannot replace file '" + to.string() + "': " + std::strerror(errno));
    }
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

// Renames every new version that is still there over its file.
void replace_from_journal(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    std::set<std::string> directories;
    for (const auto& [new_version, file] : pairs) {
        std::error_code error;
        if (!fs::exists(new_version, error)) continue;  // replaced before the stop
        rename_or_throw(new_version, file);
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

// A new version, once there, stays until the commit or the discard.
bool RunOutputs::exists(const Entry& entry) const
{
    if (!entry.written) entry.written = file_exists(entry.new_version);
    return entry.written;
}

std::string RunOutputs::add(std::string_view name, bool copy_current)
{
    std::string key = file_name_key(name);
    if (const auto found = index_.find(key); found != index_.end()) return entries_[found->second].new_version;
    const fs::path path = resolve_file_name(name);
    if (path.empty() || !path.has_filename()) throw FileError("Cannot write file '" + std::string(name) + "'");
    // A read-only file stops the run before its work, so nothing is replaced.
    check_replaceable(name);
    fs::path new_version = path;
    new_version.replace_filename("." + path.filename().string() + std::string(RUN_OUTPUT_SUFFIX));
    delete_file(new_version.string());
    if (copy_current && file_exists(name)) copy_file_atomically(name, new_version.string());
    index_.emplace(std::move(key), entries_.size());
    entries_.push_back({std::string(name), new_version.string()});
    return new_version.string();
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
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string journal;
    std::set<std::string> directories;
    for (const Entry& entry : entries_) {
        if (!file_exists(entry.new_version)) continue;
        const fs::path new_version = resolve_file_name(entry.new_version);
        directories.insert(new_version.parent_path().string());
        const std::string file = resolve_file_name(entry.file).string();
        pairs.emplace_back(new_version.string(), file);
        journal += new_version.string() + "\n" + file + "\n";
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
    entries_.clear();
    index_.clear();
}

void RunOutputs::discard()
{
    std::vector<Entry> entries;
    entries.swap(entries_);
    index_.clear();
    for (const Entry& entry : entries) delete_file(entry.new_version);
}

void finish_interrupted_commit()
{
    if (!file_exists(RUN_COMMIT_JOURNAL)) return;
    replace_from_journal(read_journal(read_whole_file(RUN_COMMIT_JOURNAL)));
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
