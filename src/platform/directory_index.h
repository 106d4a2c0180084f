// The case-blind look-up of names in a directory behind resolve_file_name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velm {

// The entry of `directory` whose name equals `name` in any letter case;
// among several, the first in byte order, so that the answer does not depend
// on the order in which the directory lists them.  Listings are kept in
// memory and kept current from the kernel's notices of every change to the
// directory, by this program or any other; where notices cannot be had,
// the directory is read on every look-up.
std::optional<std::string> find_in_any_case(const std::string& directory, std::string_view name);

}  // namespace velm
