// The case-blind look-up of names in a directory behind resolve_file_name.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velm {

// Look-ups of names in directories made at one moment: one resolution of a
// name, or of a set of names resolved together.  Listings are kept in memory
// between moments and kept current from the kernel's notices of every change
// to a directory, by this program or any other; each moment first applies
// the notices waiting, once, so that a change made before it began is seen.
// Within a moment each directory is identified once.  A process forked from
// this one keeps listings and notices of its own.  Where notices cannot
// be had, a name is looked up on the disk and the directory read on a miss.
class DirectoryLookups {
public:
    DirectoryLookups() = default;
    DirectoryLookups(const DirectoryLookups&) = delete;
    DirectoryLookups& operator=(const DirectoryLookups&) = delete;

    // The entry of `directory` named `name`: the name itself when the
    // directory holds it, else the one equal to it in any letter case (among
    // several, the first in byte order, so that the answer does not depend on
    // the order in which the directory lists them); nothing when there is
    // none, or no such directory.
    std::optional<std::string> find(const std::string& directory, std::string_view name);

private:
    bool caught_up_ = false;
    // The directories identified in this moment (stat), by name; nothing for
    // a name that is not a directory.
    std::unordered_map<std::string, std::optional<struct stat>> directories_;
};

}  // namespace velm
