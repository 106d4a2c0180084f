// The search for a link across the link data bases of a region.  In a study
// of model type 6 every map keeps its own link data base and a link lives in
// the file of its downstream node's map; a caller that holds the link's node
// pair and the name of some link data base of the region asks which of the
// region's 100 map files holds it.  The gap report, the link element editor
// and the link review use it, for model type 6 only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include "records/study_names.h"

namespace velm {

inline constexpr int SEARCH_NOT_FOUND = 999;
inline constexpr int FILES_PER_REGION = 100;

// A candidate name: the study identifier and region digits (characters 1-4
// of the given name), the two map digits 00 to 99, and "ZZ.ZLL" (characters
// 7-12 of the given name).
inline constexpr std::string_view REGION_CANDIDATE_NAME_FORMAT = "(A4,I2.2,A6)";

struct LinkSearchResult {
    int status = 0;         // 0 found, SEARCH_NOT_FOUND when no file of the region holds the link
    std::string file_name;  // found: the name of the file that holds the link, blank-padded to
                            // 50 characters, without the data directory; else the given name
    bool found() const { return status == 0; }
    // The file name without its trailing blanks.
    std::string name() const;
};

// What the link data bases of the regions searched so far hold, so that the
// many searches of a run read each file once.  A region's files are read at
// its first search; the index then stands for the run, since every rewriter
// of a link data base keeps its records and their node pairs.  A caller that
// creates or deletes link data bases calls forget().
class LinkTable;

class LinkSearchIndex {
public:
    explicit LinkSearchIndex(DataDirectoryCache& directory) : directory_(directory) {}
    // During an analysis run: the files the run's link table read are taken
    // from it instead of being read again.
    LinkSearchIndex(DataDirectoryCache& directory, const LinkTable& table) : directory_(directory), table_(&table) {}

    void forget() { regions_.clear(); }

private:
    friend LinkSearchResult find_link_in_data_bases(float upstream, float downstream, std::string_view file_name,
                                                    LinkSearchIndex& index);

    struct Region {
        // The first map (00-99) whose file holds the node pair, files in
        // order and records in file order.
        std::unordered_map<std::uint64_t, int> first_map;
        // The first record of the region's files that cannot be read, which
        // every search that gets past the files before it meets.
        std::string unreadable;
    };

    const Region& region(const std::string& prefix, const std::string& suffix);

    DataDirectoryCache& directory_;
    const LinkTable* table_ = nullptr;
    std::map<std::string, Region> regions_;
};

// Which file of the region holds the link from `upstream` to `downstream`
// (both matched exactly; the first match wins, files 00 to 99 in order).
// `file_name` is a link data base name of the region ("AB1205ZZ.ZLL"),
// without the data directory.  Missing files of the region are skipped; a
// record that cannot be read is a FileError naming the file and the line.
LinkSearchResult find_link_in_data_bases(float upstream, float downstream, std::string_view file_name,
                                         LinkSearchIndex& index);

}  // namespace velm
