#include "gis/gis_record_lookups.h"

#include <algorithm>
#include <cmath>

#include "platform/files.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "records/number_keys.h"

namespace velm {

namespace {

// GIS subarea values handed back as the subarea parameter, by model type.
std::optional<int> parameter_value(int model_type)
{
    switch (static_cast<HydrologyModelType>(model_type)) {
        case HydrologyModelType::LosAngelesCounty:
            return 2;
        case HydrologyModelType::LosAngelesCity:
            return 4;
        case HydrologyModelType::CurveNumberStorage:
            return 7;
        default:
            return std::nullopt;
    }
}

// The first record of each key in file order; NaN keys match nothing.
template <class Key, class Records, class KeyOf>
std::unordered_map<Key, std::size_t> first_of_each(const Records& records, KeyOf key_of)
{
    std::unordered_map<Key, std::size_t> index;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (const std::optional<Key> key = key_of(records[i])) index.emplace(*key, i);
    return index;
}

std::optional<std::uint32_t> key_of_number(float number)
{
    if (std::isnan(number)) return std::nullopt;
    return number_key(number);
}

std::optional<std::uint64_t> key_of_pair(float upstream, float downstream)
{
    if (std::isnan(upstream) || std::isnan(downstream)) return std::nullopt;
    return node_pair_key(upstream, downstream);
}

// A node number as the data bases write it (one decimal), without the
// blanks in front.
std::string shown_node(float node)
{
    const std::string text = format_fixed(node, 8, 1);
    return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

}  // namespace

std::shared_ptr<const IndexedGisSubareaFile> index_gis_subareas(std::vector<GisSubareaRecord> records)
{
    auto file = std::make_shared<IndexedGisSubareaFile>();
    file->first_of_key = first_of_each<std::uint32_t>(
        records, [](const GisSubareaRecord& r) { return key_of_number(r.subarea_number()); });
    file->records = std::move(records);
    return file;
}

std::shared_ptr<const IndexedGisLinkFile> index_gis_links(std::vector<GisLinkRecord> records)
{
    auto file = std::make_shared<IndexedGisLinkFile>();
    file->first_of_key = first_of_each<std::uint64_t>(
        records, [](const GisLinkRecord& r) { return key_of_pair(r.upstream_node(), r.downstream_node()); });
    file->records = std::move(records);
    return file;
}

std::shared_ptr<const IndexedGisNodeFile> index_gis_nodes(std::vector<GisNodeRecord> records)
{
    auto file = std::make_shared<IndexedGisNodeFile>();
    file->first_of_key =
        first_of_each<std::uint32_t>(records, [](const GisNodeRecord& r) { return key_of_number(r.node_number()); });
    file->records = std::move(records);
    return file;
}

std::shared_ptr<const IndexedGisSubareaFile> GisFileCache::subareas(const std::string& name)
{
    auto& file = subareas_[name];
    if (!file) file = index_gis_subareas(read_gis_subarea_file(name, FilePresence::Optional));
    return file;
}

std::shared_ptr<const IndexedGisLinkFile> GisFileCache::links(const std::string& name)
{
    auto& file = links_[name];
    if (!file) file = index_gis_links(read_gis_link_file(name, FilePresence::Optional));
    return file;
}

std::shared_ptr<const IndexedGisNodeFile> GisFileCache::nodes(const std::string& name)
{
    auto& file = nodes_[name];
    if (!file) file = index_gis_nodes(read_gis_node_file(name, FilePresence::Optional));
    return file;
}

GisLookups::GisLookups() : GisLookups(std::vector<GisSubareaRecord>{}, {}, {}) {}

GisLookups::GisLookups(std::vector<GisSubareaRecord> subareas, std::vector<GisLinkRecord> links,
                       std::vector<GisNodeRecord> nodes)
    : GisLookups(index_gis_subareas(std::move(subareas)), index_gis_links(std::move(links)),
                 index_gis_nodes(std::move(nodes)))
{
}

GisLookups::GisLookups(std::shared_ptr<const IndexedGisSubareaFile> subareas,
                       std::shared_ptr<const IndexedGisLinkFile> links, std::shared_ptr<const IndexedGisNodeFile> nodes)
    : subareas_(std::move(subareas)), links_(std::move(links)), nodes_(std::move(nodes))
{
}

GisLookups GisLookups::read(std::optional<std::string> subarea_file, std::optional<std::string> link_file,
                            std::optional<std::string> node_file)
{
    GisFileCache cache;
    return read(cache, subarea_file, link_file, node_file);
}

GisLookups GisLookups::read(GisFileCache& cache, const std::optional<std::string>& subarea_file,
                            const std::optional<std::string>& link_file, const std::optional<std::string>& node_file)
{
    // A file the option does not select holds no record.
    return GisLookups(subarea_file ? cache.subareas(*subarea_file) : index_gis_subareas({}),
                      link_file ? cache.links(*link_file) : index_gis_links({}),
                      node_file ? cache.nodes(*node_file) : index_gis_nodes({}));
}

std::optional<GisSubareaFound> GisLookups::find_subarea(float subarea_number, int model_type, LandUseTable& table) const
{
    const std::optional<std::uint32_t> key = key_of_number(subarea_number);
    if (!key) return std::nullopt;
    const GisSubareaRecord* const found = subareas_->find(*key);
    if (found == nullptr) return std::nullopt;
    const GisSubareaRecord& record = *found;

    GisSubareaFound result;
    for (int k = 1; k <= 6; ++k) {
        if (!(record.cell_area(k) > MIN_LAND_USE_AREA)) continue;
        ++result.cells_taken;
        table.cell(result.cells_taken) = {record.cell_land_use(k), record.cell_soil(k), record.cell_area(k)};
    }
    for (int i = 1; i <= 6; ++i) result.values[static_cast<std::size_t>(i - 1)] = record.subarea_parameter(i);
    if (const std::optional<int> value = parameter_value(model_type)) {
        result.parameter = record.column(*value);
        result.has_parameter = true;
    }
    result.packed_subarea = static_cast<float>(result.cells_taken) + record.subarea_number() / SUBAREA_NUMBER_SCALE;
    return result;
}

const GisLinkRecord* GisLookups::find_link(float upstream_node, float downstream_node) const
{
    const std::optional<std::uint64_t> key = key_of_pair(upstream_node, downstream_node);
    if (!key) return nullptr;
    return links_->find(*key);
}

std::optional<float> GisLookups::find_node_elevation(float node) const
{
    const std::optional<std::uint32_t> key = key_of_number(node);
    if (!key) return std::nullopt;
    const GisNodeRecord* const found = nodes_->find(*key);
    if (found == nullptr) return std::nullopt;
    return found->node_elevation();
}

void GisLookups::add_channel_freeboards(std::string link_data_base, const std::vector<LinkRecord>& links)
{
    link_data_base_ = std::move(link_data_base);
    for (const LinkRecord& link : links)
        if (const std::optional<std::uint64_t> key = key_of_pair(link.upstream_node(), link.downstream_node()))
            freeboards_.emplace(*key, link.channel_freeboard());
}

float GisLookups::channel_freeboard(float upstream_node, float downstream_node) const
{
    if (const std::optional<std::uint64_t> key = key_of_pair(upstream_node, downstream_node)) {
        const auto found = freeboards_.find(*key);
        if (found != freeboards_.end()) return found->second;
    }
    // Written without the freeboard, the channel would lose it without a
    // word, in every storm event's model file.
    const std::string channel =
        "the open channel from node " + shown_node(upstream_node) + " to node " + shown_node(downstream_node);
    if (link_data_base_.empty())
        throw FileError("No link data base was read for " + channel +
                        ": it keeps the channel's freeboard, which the GIS files do not carry");
    throw FileError("Link data base '" + link_data_base_ + "' holds no record of " + channel +
                    ": it keeps the channel's freeboard, which the GIS files do not carry");
}

}  // namespace velm
