// The GIS record look-ups of the GIS pass: a subarea by its number, a link
// by its pair of node numbers, a node by its number, in the GIS files of the
// model file's map (or region).  Keys match by exact equality of their
// single-precision values and the first record in file order is the one
// used.  Each GIS file is read and indexed once per update (GisFileCache):
// a region's files serve every model file of the region's maps, of every
// storm event, and a look-up costs the same whatever the size of the file.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/model_edit_buffer.h"

namespace velm {

inline constexpr float GIS_NOT_FOUND = -9999.0f;           // the key of a subarea look-up that found nothing
inline constexpr float MIN_LAND_USE_AREA = 0.005f;         // acres: a GIS cell is taken only above this
inline constexpr float SUBAREA_NUMBER_SCALE = 1000000.0f;  // of the subarea number in packed_subarea

// What a subarea look-up hands back when it finds the subarea.
struct GisSubareaFound {
    float packed_subarea = 0.0f;    // the number of cells taken + the subarea number / 1000000
    int cells_taken = 0;            // cells 1..cells_taken of the table were refilled
    std::array<float, 6> values{};  // GIS subarea values 2 to 7
    float parameter = 0.0f;         // by model type; see find_subarea
    bool has_parameter = false;     // false: the caller's parameter stays
};

// The records of one GIS file and, for each key, the first record in file
// order that holds it (a NaN key matches nothing).
template <class Record, class Key>
struct IndexedGisFile {
    std::vector<Record> records;
    std::unordered_map<Key, std::size_t> first_of_key;

    const Record* find(Key key) const
    {
        const auto found = first_of_key.find(key);
        return found == first_of_key.end() ? nullptr : &records[found->second];
    }
};
using IndexedGisSubareaFile = IndexedGisFile<GisSubareaRecord, std::uint32_t>;
using IndexedGisLinkFile = IndexedGisFile<GisLinkRecord, std::uint64_t>;
using IndexedGisNodeFile = IndexedGisFile<GisNodeRecord, std::uint32_t>;

std::shared_ptr<const IndexedGisSubareaFile> index_gis_subareas(std::vector<GisSubareaRecord> records);
std::shared_ptr<const IndexedGisLinkFile> index_gis_links(std::vector<GisLinkRecord> records);
std::shared_ptr<const IndexedGisNodeFile> index_gis_nodes(std::vector<GisNodeRecord> records);

// The GIS files of an update, each read and indexed the first time a model
// file asks for it and kept for the rest of the update: the pass only reads
// them, and a region's files are asked for by every model file of the
// region.  A missing file reads as one without records.
class GisFileCache {
public:
    std::shared_ptr<const IndexedGisSubareaFile> subareas(const std::string& name);
    std::shared_ptr<const IndexedGisLinkFile> links(const std::string& name);
    std::shared_ptr<const IndexedGisNodeFile> nodes(const std::string& name);

private:
    std::map<std::string, std::shared_ptr<const IndexedGisSubareaFile>> subareas_;
    std::map<std::string, std::shared_ptr<const IndexedGisLinkFile>> links_;
    std::map<std::string, std::shared_ptr<const IndexedGisNodeFile>> nodes_;
};

class GisLookups {
public:
    GisLookups();
    GisLookups(std::vector<GisSubareaRecord> subareas, std::vector<GisLinkRecord> links,
               std::vector<GisNodeRecord> nodes);
    GisLookups(std::shared_ptr<const IndexedGisSubareaFile> subareas, std::shared_ptr<const IndexedGisLinkFile> links,
               std::shared_ptr<const IndexedGisNodeFile> nodes);

    // The GIS files of a model file, those not named read as empty; a
    // missing file reads as one without records.
    static GisLookups read(std::optional<std::string> subarea_file, std::optional<std::string> link_file,
                           std::optional<std::string> node_file);
    // The same, with the files taken from the update's cache.
    static GisLookups read(GisFileCache& cache, const std::optional<std::string>& subarea_file,
                           const std::optional<std::string>& link_file, const std::optional<std::string>& node_file);

    // A subarea: the cells of its record with more than MIN_LAND_USE_AREA
    // acres, in order, replace cells 1, 2, ... of the table (the land-use
    // table of the edit buffer, holding the group's cells; the others keep
    // what they held); the parameter is GIS value 2 for model type 6, 4 for
    // type 9, 7 for type 10, none for the other types.
    std::optional<GisSubareaFound> find_subarea(float subarea_number, int model_type, LandUseTable& table) const;
    const GisLinkRecord* find_link(float upstream_node, float downstream_node) const;
    // The node's elevation (ft).
    std::optional<float> find_node_elevation(float node) const;

    // The channel freeboards of the model file's link data base (its name as
    // the refusals show it, and its records), indexed once by node pair.  A
    // GIS link record holds a channel's depth alone, while a model file holds
    // the depth with the freeboard on top; the freeboard is not GIS data and
    // stays as the study keeps it.
    void add_channel_freeboards(std::string link_data_base, const std::vector<LinkRecord>& links);
    // The freeboard (ft) of the link's first record in the link data base.
    // A channel the data base holds no record of (or whose data base was
    // never given) has no known freeboard: its depth cannot be written, and
    // the update is refused (FileError naming the data base and the
    // channel's upstream and downstream nodes).
    float channel_freeboard(float upstream_node, float downstream_node) const;

private:
    std::shared_ptr<const IndexedGisSubareaFile> subareas_;
    std::shared_ptr<const IndexedGisLinkFile> links_;
    std::shared_ptr<const IndexedGisNodeFile> nodes_;
    std::string link_data_base_;  // empty: no link data base was given
    std::unordered_map<std::uint64_t, float> freeboards_;
};

}  // namespace velm
