#include "records/link_search.h"

#include <cmath>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/link_data_base.h"
#include "records/link_table.h"
#include "records/number_keys.h"

namespace velm {

namespace {

std::optional<std::uint64_t> link_key(float upstream, float downstream)
{
    if (std::isnan(upstream) || std::isnan(downstream)) return std::nullopt;  // equals nothing
    return node_pair_key(upstream, downstream);
}

// Characters first..last (1-based) of a name, blank-padded as a 50-character name is.
std::string characters(std::string_view name, std::size_t first, std::size_t last)
{
    std::string padded(name);
    padded.resize(std::max<std::size_t>(padded.size(), last), ' ');
    return padded.substr(first - 1, last - first + 1);
}

std::string trimmed(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string candidate_name(const std::string& prefix, int map_digits, const std::string& suffix)
{
    return format_line(REGION_CANDIDATE_NAME_FORMAT, {prefix, map_digits, suffix});
}

}  // namespace

std::string LinkSearchResult::name() const
{
    return trimmed(file_name);
}

const LinkSearchIndex::Region& LinkSearchIndex::region(const std::string& prefix, const std::string& suffix)
{
    const std::string key = add_data_directory(directory_, trimmed(candidate_name(prefix, 0, suffix)));
    if (const auto known = regions_.find(key); known != regions_.end()) return known->second;

    Region region;
    for (int k = 0; k < FILES_PER_REGION; ++k) {
        const std::string name = add_data_directory(directory_, trimmed(candidate_name(prefix, k, suffix)));
        if (const std::vector<LinkRecord>* held = table_ != nullptr ? table_->records_as_read(name) : nullptr) {
            for (const LinkRecord& record : *held) {
                if (const auto link = link_key(record.upstream_node(), record.downstream_node()))
                    region.first_map.try_emplace(*link, k);
            }
            continue;
        }
        if (!file_exists(name)) continue;
        TextReader lines(name);
        FreeFormReader reader(lines);
        try {
            while (const std::optional<LinkRecord> record = read_link_record(reader)) {
                if (const auto link = link_key(record->upstream_node(), record->downstream_node()))
                    region.first_map.try_emplace(*link, k);
            }
        } catch (const FileError& error) {
            // The search reads no file after this one: a link not found
            // before this record is not found at all.
            region.unreadable = error.what();
            break;
        }
    }
    return regions_.emplace(key, std::move(region)).first->second;
}

LinkSearchResult find_link_in_data_bases(float upstream, float downstream, std::string_view file_name,
                                         LinkSearchIndex& index)
{
    const std::string prefix = characters(file_name, 1, 4);
    const std::string suffix = characters(file_name, 7, 12);
    const LinkSearchIndex::Region& region = index.region(prefix, suffix);

    if (const auto link = link_key(upstream, downstream)) {
        if (const auto hit = region.first_map.find(*link); hit != region.first_map.end()) {
            std::string found = candidate_name(prefix, hit->second, suffix);
            found.resize(FILE_NAME_LENGTH, ' ');
            return {0, found};
        }
    }
    if (!region.unreadable.empty()) throw FileError(region.unreadable);
    return {SEARCH_NOT_FOUND, std::string(file_name)};
}

}  // namespace velm
