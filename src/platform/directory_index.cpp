#include "platform/directory_index.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

namespace velm {
namespace {

std::string ascii_lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// Every name of a directory under its lower-case form.
using Listing = std::unordered_map<std::string, std::set<std::string>>;

void add_name(Listing& listing, std::string_view name)
{
    listing[ascii_lower(name)].emplace(name);
}

void remove_name(Listing& listing, std::string_view name)
{
    const auto it = listing.find(ascii_lower(name));
    if (it == listing.end()) return;
    it->second.erase(std::string(name));
    if (it->second.empty()) listing.erase(it);
}

std::optional<Listing> read_listing(const std::string& directory)
{
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return std::nullopt;
    Listing listing;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") add_name(listing, name);
    }
    closedir(dir);
    return listing;
}

std::optional<std::string> answer(const Listing& listing, std::string_view name)
{
    const auto it = listing.find(ascii_lower(name));
    if (it == listing.end()) return std::nullopt;
    if (const auto exact = it->second.find(std::string(name)); exact != it->second.end()) return *exact;
    return *it->second.begin();
}

std::string entry_path(const std::string& directory, std::string_view name)
{
    std::string path = directory;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

// A study touches a handful of directories; past this many they are read on
// every look-up rather than holding more of the user's notice watches.
constexpr std::size_t MAX_WATCHED_DIRECTORIES = 64;

constexpr std::uint32_t WATCHED_CHANGES =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR;

class DirectoryIndex {
public:
    DirectoryIndex() : owner_(getpid()), notices_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~DirectoryIndex()
    {
        if (notices_ >= 0) close(notices_);
    }
    DirectoryIndex(const DirectoryIndex&) = delete;
    DirectoryIndex& operator=(const DirectoryIndex&) = delete;

    // Brings the kept listings up to date with every change noticed so far,
    // in the process that asks.
    void apply_notices()
    {
        if (getpid() != owner_) start_anew();
        if (notices_ < 0) return;
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t got = read(notices_, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno == EINTR) continue;
                return;  // nothing more waiting
            }
            for (ssize_t offset = 0; offset < got;) {
                const auto* notice = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
                apply(*notice);
            }
        }
    }

    // The look-up in a directory identified by `info`, with the notices
    // applied: from the kept listing when there is one; otherwise the name
    // as written when it is there, else from a listing read now (and kept
    // from then on when the directory can be watched).
    std::optional<std::string> find(const std::string& directory, const struct stat& info, std::string_view name)
    {
        const Key key{info.st_dev, info.st_ino};
        if (const auto it = listings_.find(key); it != listings_.end()) return answer(it->second, name);
        struct stat entry {};
        if (lstat(entry_path(directory, name).c_str(), &entry) == 0) return std::string(name);
        if (notices_ < 0 || watched_.size() >= MAX_WATCHED_DIRECTORIES) return fresh_answer(directory, name);

        // The watch comes first: a change made while the directory is read
        // is then noticed too, and applying it again is harmless.
        const int watch = inotify_add_watch(notices_, directory.c_str(), WATCHED_CHANGES);
        if (watch < 0) return fresh_answer(directory, name);
        watched_[watch] = key;
        auto listing = read_listing(directory);
        if (!listing) return std::nullopt;
        return answer(listings_[key] = std::move(*listing), name);
    }

private:
    using Key = std::pair<dev_t, ino_t>;

    // A process forked from the index's maker is another program, and shares
    // the maker's queue of notices through the descriptor it inherits: a
    // notice it read would be gone from the maker's queue, and a listing the
    // maker keeps would go on answering for a directory changed, or removed
    // and made again under the same inode.  The child leaves the queue to the
    // maker (closing its own copy of the descriptor only), drops the listings
    // it cannot keep current, and keeps its own from then on.
    void start_anew()
    {
        if (notices_ >= 0) close(notices_);
        listings_.clear();
        watched_.clear();
        owner_ = getpid();
        notices_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    }

    static std::optional<std::string> fresh_answer(const std::string& directory, std::string_view name)
    {
        const auto listing = read_listing(directory);
        if (!listing) return std::nullopt;
        return answer(*listing, name);
    }

    void apply(const inotify_event& notice)
    {
        if (notice.mask & IN_Q_OVERFLOW) {
            listings_.clear();  // changes were lost: read again when asked
            return;
        }
        const auto watch = watched_.find(notice.wd);
        if (watch == watched_.end()) return;
        if (notice.mask & (IN_IGNORED | IN_DELETE_SELF)) {
            listings_.erase(watch->second);
            if (notice.mask & IN_IGNORED) watched_.erase(watch);
            return;
        }
        const auto listing = listings_.find(watch->second);
        if (listing == listings_.end() || notice.len == 0) return;
        const std::string_view name(notice.name);
        if (notice.mask & (IN_CREATE | IN_MOVED_TO)) add_name(listing->second, name);
        if (notice.mask & (IN_DELETE | IN_MOVED_FROM)) remove_name(listing->second, name);
    }

    pid_t owner_;  // the process whose notices and listings these are
    int notices_;
    std::map<Key, Listing> listings_;
    std::unordered_map<int, Key> watched_;
};

DirectoryIndex& the_index()
{
    static DirectoryIndex index;
    return index;
}

}  // namespace

std::optional<std::string> DirectoryLookups::find(const std::string& directory, std::string_view name)
{
    DirectoryIndex& index = the_index();
    if (!caught_up_) {
        index.apply_notices();
        caught_up_ = true;
    }
    auto [it, added] = directories_.try_emplace(directory);
    if (added) {
        struct stat info {};
        if (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) it->second = info;
    }
    if (!it->second) return std::nullopt;
    return index.find(directory, *it->second, name);
}

}  // namespace velm
