// How a refusal shows the item of a file it refuses.  An item is quoted
// whole when it is short; a longer one (a runaway line without a separator,
// a file that is not what its name says) by its first characters and a
// mark that it was cut, so that one bad item never floods the message, the
// window or the error stream.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velm {

// The characters of an item a refusal shows before it cuts.
inline constexpr std::size_t QUOTED_ITEM_HEAD = 60;

// The item between two `quote` characters; an item longer than
// QUOTED_ITEM_HEAD as its head, "...", the closing quote and how much there
// was: "1234...5678" becomes "<first 60 characters>..." (cut: 512000
// characters in all).
inline std::string quoted_item(std::string_view item, char quote = '"')
{
    if (item.size() <= QUOTED_ITEM_HEAD) return quote + std::string(item) + quote;
    return quote + std::string(item.substr(0, QUOTED_ITEM_HEAD)) + "..." + quote +
           " (cut: " + std::to_string(item.size()) + " characters in all)";
}

}  // namespace velm
