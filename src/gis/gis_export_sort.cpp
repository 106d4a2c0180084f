#include "gis/gis_export_sort.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>

#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/hydrology_model_type.h"
#include "records/number_keys.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view PREPROCESSOR_FORMAT = "(5X,'* GIS DATA BASE PREPROCESSOR EXECUTED :')";
constexpr std::string_view SORTING_SUBAREAS_FORMAT = "(/5X,'**** SORTING SUBAREA DATA BASE ****')";
constexpr std::string_view SORTING_NODES_FORMAT = "(/5X,'**** SORTING NODAL DATA BASE ****')";
constexpr std::string_view SORTING_LINKS_FORMAT = "(/5X,'**** SORTING LINK DATA BASE ****')";
constexpr std::string_view PROCESSING_REGION_FORMAT = "(8X,'* PROCESSING REGION #',I2.2)";
constexpr std::string_view PROCESSING_MAP_FORMAT = "(8X,'* PROCESSING REGION #',I2.2,' SUBREGION/MAP #',I2.2)";
constexpr std::string_view EXTEND_NODES_FORMAT = "(2X,'Extend Nodal Data Base')";
constexpr std::string_view EXTENDED_NODE_FILE_FORMAT = "(A50)";
constexpr std::string_view UNWRITABLE_RECORD_FORMAT =
    "(/5X,'* RECORD on line ',I6,' of [',A,']'/7X,'cannot be written into a GIS file:')";
constexpr std::string_view UNWRITABLE_REASON_FORMAT = "(7X,A)";
constexpr std::size_t UNWRITABLE_REASON_WIDTH = 72;  // from column 8, up to column 79
constexpr std::string_view NO_GIS_FILE_CHANGED_FORMAT = "(5X,'* NO GIS FILE has been changed.')";

constexpr float MAP_KEY_DIVISOR = 100.0f;
constexpr float REGION_KEY_DIVISOR = 10000.0f;
constexpr int LARGEST_MAP_KEY = 9999;
constexpr int LARGEST_REGION_KEY = 99;

// Subarea values 6 and 7 above this are tenfold and are scaled back.
constexpr float TENFOLD_PARAMETER_LIMIT = 10.0f;
constexpr float TENFOLD_SCALE = 0.1f;
// Model type 6 codes a cell's land use with 100 and its third value.
constexpr float TYPE6_LAND_USE_OFFSET = 100.0f;
constexpr float MIN_LAND_USE_AREA = 0.005f;  // acres: a smaller cell is empty

// The key of a number: its map, or its region in region mode; nothing for a
// number that names no GIS file.
std::optional<int> sort_key(float number, bool regions)
{
    const float quotient = number / (regions ? REGION_KEY_DIVISOR : MAP_KEY_DIVISOR);
    if (!(quotient > -1.0f && quotient < 1.0e6f)) return std::nullopt;
    const int key = static_cast<int>(quotient);
    if (key > (regions ? LARGEST_REGION_KEY : LARGEST_MAP_KEY)) return std::nullopt;
    return key;
}

std::string gis_file_of_key(std::string_view study_id, int key, bool regions, GisFileKind kind)
{
    return format_line(regions ? GIS_REGION_FILE_NAME_FORMAT : GIS_MAP_FILE_NAME_FORMAT,
                       {std::string(study_id), key, gis_file_extension(kind)});
}

std::string map_code_of(const std::string& file_name)
{
    return file_name.substr(0, 6);
}

// The next record of an export.  A record the reading cannot make out is
// passed over by the sort, but a slash in it is a broken record, as in a data
// base: the export holds every value of its records, and a slash would end
// the read and leave the record's later values at 0 in the GIS file.  It is a
// FileError naming the export, the line and the value.
template <class R>
FreeFormResult read_export_record(FreeFormReader& reader, R& record)
{
    FreeFormResult result = reader.read_refusing_slashes(record.read_targets());
    if (result.slash) throw FileError(result.message);
    return result;
}

// A record the sort cannot write: its export, line and the reason.
struct UnwritableRecord {
    std::string export_name;
    int line = 0;
    std::string reason;
};

// The GIS files being built: their lines by name (without the data
// directory), in the order first written.
class GisFileSet {
public:
    std::vector<std::string>& lines_of(const std::string& name, bool start_new)
    {
        auto found = files_.find(name);
        if (found == files_.end()) {
            order_.push_back(name);
            found = files_.emplace(name, std::vector<std::string>{}).first;
        } else if (start_new) {
            found->second.clear();
        }
        return found->second;
    }
    bool holds(const std::string& name) const { return files_.contains(name); }
    const std::vector<std::string>& order() const { return order_; }
    const std::vector<std::string>& lines(const std::string& name) const { return files_.at(name); }

private:
    std::map<std::string, std::vector<std::string>> files_;
    std::vector<std::string> order_;
};

class ExportSort {
public:
    ExportSort(Session& session, int model_type, std::string_view study_id)
        : session_(session),
          model_type_(model_type),
          regions_(keeps_gis_files_by_region(model_type)),
          study_id_(study_id)
    {
    }

    // One export: every readable record converted and written to the file
    // of its key.  `convert` gives the record's number and GIS line.
    // The export is read a block at a time: a county's node export holds
    // hundreds of megabytes of long records, of which the sort keeps only
    // the short GIS lines.
    template <class R, class Convert>
    void sort(const std::string& export_name, GisFileKind kind, Convert convert)
    {
        TextReader lines = TextReader::open_streamed(name_as_on_disk(session_.study_file(export_name)));
        FreeFormReader reader(lines);
        std::optional<int> open_key;
        std::vector<int> met;
        int record_number = 0;
        while (true) {
            R record;
            const FreeFormResult result = read_export_record(reader, record);
            if (result.status == FreeFormStatus::EndOfFile) break;
            if (!result.ok()) continue;  // an unreadable record is passed over
            record.fit_text();
            ++record_number;
            const auto [number, line] = convert(record, export_name, lines.line_number());
            const std::optional<int> key = sort_key(number, regions_);
            if (!key) {
                refuse({export_name, lines.line_number(),
                        "its number " + shortest_float_text(number) + " names no map of the study"});
            }
            if (!open_key || *open_key != *key) {
                const bool first_meeting = std::find(met.begin(), met.end(), *key) == met.end();
                if (first_meeting) met.push_back(*key);
                open_key = *key;
                const std::string name = gis_file_of_key(study_id_, *key, regions_, kind);
                current_ = &files_.lines_of(name, first_meeting);
                if (first_meeting) note_map(name);
                show_processing(*key);
            }
            current_->push_back(line);
        }
        current_ = nullptr;
    }

    // Extend Nodal Data Base: for each link that enters its map from
    // another, the upstream node's record of the node export goes to the
    // node file of the link's map.  The first record of the node in the
    // export is the one taken.
    void extend_node_files(const std::string& node_export, const std::vector<std::pair<float, float>>& spanning)
    {
        write_screen_records(session_.window, EXTEND_NODES_FORMAT);
        // Only the nodes that the spanning links start at are kept.
        std::unordered_map<std::uint32_t, std::optional<GisNodeRecord>> nodes;
        for (const auto& [upstream, downstream] : spanning)
            if (!std::isnan(upstream)) nodes.emplace(number_key(upstream), std::nullopt);
        for_each_readable<NodeRecord>(node_export, [&nodes](const NodeRecord& node) {
            if (std::isnan(node.node_number())) return;
            const auto wanted = nodes.find(number_key(node.node_number()));
            if (wanted != nodes.end() && !wanted->second) wanted->second = gis_node_record_from_export(node);
        });
        for (const auto& [upstream, downstream] : spanning) {
            if (std::isnan(upstream)) continue;
            const auto found = nodes.find(number_key(upstream));
            if (!found->second) continue;
            const std::string name =
                gis_file_of_key(study_id_, *sort_key(downstream, regions_), regions_, GisFileKind::Node);
            write_screen_records(session_.window, EXTENDED_NODE_FILE_FORMAT, {name});
            if (!files_.holds(name)) {
                // A node file the node export did not write this time: the
                // node goes behind its old records (or starts it).
                std::vector<std::string>& lines = files_.lines_of(name, true);
                const std::string path = session_.study_file(name);
                if (file_exists(path)) lines = read_text_lines(path);
            }
            files_.lines_of(name, false).push_back(line_of(*found->second, node_export, 0));
        }
    }

    // Every GIS file built, as new versions of the change.
    void write_files(FileChange& change)
    {
        for (const std::string& name : files_.order()) {
            const std::string path = session_.study_file(name);
            TextWriter file(change.new_file(path));
            for (const std::string& line : files_.lines(name)) file.write_line(line);
            file.commit();
        }
    }

    GisMapList map_list() const { return map_list_; }
    bool regions() const { return regions_; }
    int model_type() const { return model_type_; }

    template <class R>
    std::string line_of(const R& record, const std::string& export_name, int line)
    {
        try {
            return record_line(record);
        } catch (const RecordWriteError& error) {
            refuse({export_name, line, error.what()});
        }
    }

private:
    // Every readable record of an export, in file order, one at a time.
    template <class R, class Take>
    void for_each_readable(const std::string& export_name, Take take)
    {
        TextReader lines = TextReader::open_streamed(name_as_on_disk(session_.study_file(export_name)));
        FreeFormReader reader(lines);
        while (true) {
            R record;
            const FreeFormResult result = read_export_record(reader, record);
            if (result.status == FreeFormStatus::EndOfFile) break;
            if (result.ok()) take(record);
        }
    }

    void note_map(const std::string& file_name)
    {
        const std::string code = map_code_of(file_name);
        if (std::find(map_list_.map_codes.begin(), map_list_.map_codes.end(), code) == map_list_.map_codes.end())
            map_list_.map_codes.push_back(code);
    }

    void show_processing(int key)
    {
        if (regions_) {
            write_screen_records(session_.window, PROCESSING_REGION_FORMAT, {key});
        } else {
            write_screen_records(session_.window, PROCESSING_MAP_FORMAT, {key / 100, key % 100});
        }
    }

    [[noreturn]] void refuse(const UnwritableRecord& record)
    {
        write_screen_records(session_.window, UNWRITABLE_RECORD_FORMAT,
                             {record.line, name_as_on_disk(session_.study_file(record.export_name))});
        for (const std::string& line : lines_at_blanks(record.reason, UNWRITABLE_REASON_WIDTH))
            write_screen_records(session_.window, UNWRITABLE_REASON_FORMAT, {line});
        write_screen_records(session_.window, NO_GIS_FILE_CHANGED_FORMAT);
        wait_for_return_on_refusal(session_.window);
        stop_program_refused("GIS export record cannot be written: " + record.reason);
    }

    Session& session_;
    int model_type_;
    bool regions_;
    std::string study_id_;
    GisFileSet files_;
    std::vector<std::string>* current_ = nullptr;
    GisMapList map_list_;
};

}  // namespace

std::string name_as_on_disk(std::string_view name)
{
    const std::size_t slash = name.find_last_of("\\/");
    const std::string directory(slash == std::string_view::npos ? std::string_view{} : name.substr(0, slash + 1));
    return directory + resolve_file_name(name).filename().string();
}

std::string subarea_export_name(std::string_view study_id)
{
    return format_line(SUBAREA_EXPORT_NAME_FORMAT, {std::string(study_id)});
}
std::string node_export_name(std::string_view study_id)
{
    return format_line(NODE_EXPORT_NAME_FORMAT, {std::string(study_id)});
}
std::string link_export_name(std::string_view study_id)
{
    return format_line(LINK_EXPORT_NAME_FORMAT, {std::string(study_id)});
}

GisSubareaRecord gis_subarea_record_from_export(const SubareaRecord& subarea, int model_type)
{
    GisSubareaRecord record;
    record.subarea_number() = subarea.subarea_number();
    const int rainfall_column = uses_packed_land_use(model_type)                                 ? 94
                                : is_model_type(model_type, HydrologyModelType::DwellingDensity) ? 93
                                                                                                 : 3;
    const std::array<int, 6> parameter_columns{rainfall_column, 5, 6, 8, 9, 11};
    for (int i = 1; i <= 6; ++i) {
        float value = subarea.column(parameter_columns[static_cast<std::size_t>(i - 1)]);
        if (value < 0.0f) value = 0.0f;
        record.subarea_parameter(i) = value;
    }
    for (int i = 5; i <= 6; ++i)
        if (record.subarea_parameter(i) > TENFOLD_PARAMETER_LIMIT)
            record.subarea_parameter(i) = record.subarea_parameter(i) * TENFOLD_SCALE;
    for (int i = 1; i <= S_GRAPH_VALUES; ++i) record.s_graph_value(i) = std::max(subarea.s_graph_value(i), 0.0f);
    for (int k = 1; k <= LAND_USE_CELLS; ++k) {
        float land_use = subarea.cell_land_use(k);
        float soil = subarea.cell_soil(k);
        const float area = subarea.cell_area(k);
        if (uses_packed_land_use(model_type)) {
            if (area <= MIN_LAND_USE_AREA) {
                land_use = 0.0f;
                soil = 0.0f;
            } else {
                land_use = land_use + TYPE6_LAND_USE_OFFSET + subarea.cell_third_value(k);
            }
        }
        record.cell_land_use(k) = land_use;
        record.cell_soil(k) = soil;
        record.cell_area(k) = area;
    }
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

GisNodeRecord gis_node_record_from_export(const NodeRecord& node)
{
    GisNodeRecord record;
    record.node_number() = node.node_number();
    record.node_elevation() = node.node_elevation();
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

GisLinkRecord gis_link_record_from_export(const LinkRecord& link)
{
    GisLinkRecord record;
    record.upstream_node() = link.upstream_node();
    record.downstream_node() = link.downstream_node();
    record.link_length() = link.link_length() < 0.0f ? 0.0f : link.link_length();
    const bool street = link.gutter_hike() > 0.0f || link.curb_height() > 0.0f;
    if (street) {
        record.curb_height() = link.curb_height();
        record.street_half_width() = link.street_half_width();
        record.gutter_lip() = link.gutter_lip();
        record.gutter_width() = link.gutter_width();
        record.gutter_hike() = link.gutter_hike();
        record.crown_to_gradebreak_distance() = link.crown_to_gradebreak_distance();
        record.center_lane_crossfall() = link.center_lane_crossfall();
        record.outside_lane_crossfall() = link.outside_lane_crossfall();
        record.parkway_crossfall() = link.parkway_crossfall();
        record.street_side_count() = link.street_side_count();
        record.element_type() = link.element_type();
    }
    // A link without a friction factor of its own gets none, never the one
    // of the link before it in the export.
    record.street_friction_factor() = link.street_friction_factor() > 0.0f ? link.street_friction_factor() : 0.0f;
    if (link.element_height() > 0.0f) {
        record.element_height() = link.element_height();
        record.element_base_width() = link.element_base_width();
        record.element_side_slope() = link.element_side_slope();
        record.element_friction_factor() = link.element_friction_factor();
    }
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

GisMapList preprocess_gis_data_bases(Session& session, const GisExportPresence& present, int model_type,
                                     std::string_view study_id, FileChange* change)
{
    clear_screen(session.window);
    write_screen_records(session.window, PREPROCESSOR_FORMAT);
    ExportSort sort(session, model_type, study_id);

    if (present.subareas) {
        write_screen_records(session.window, SORTING_SUBAREAS_FORMAT);
        sort.sort<SubareaRecord>(subarea_export_name(study_id), GisFileKind::Subarea,
                                 [&](const SubareaRecord& subarea, const std::string& name, int line) {
                                     return std::pair{
                                         subarea.subarea_number(),
                                         sort.line_of(gis_subarea_record_from_export(subarea, model_type), name, line)};
                                 });
    }
    if (present.nodes) {
        write_screen_records(session.window, SORTING_NODES_FORMAT);
        sort.sort<NodeRecord>(
            node_export_name(study_id), GisFileKind::Node,
            [&](const NodeRecord& node, const std::string& name, int line) {
                return std::pair{node.node_number(), sort.line_of(gis_node_record_from_export(node), name, line)};
            });
    }
    std::vector<std::pair<float, float>> spanning;  // links whose two nodes lie in different files
    if (present.links) {
        write_screen_records(session.window, SORTING_LINKS_FORMAT);
        sort.sort<LinkRecord>(
            link_export_name(study_id), GisFileKind::Link,
            [&](const LinkRecord& link, const std::string& name, int line) {
                const std::optional<int> up = sort_key(link.upstream_node(), sort.regions());
                const std::optional<int> down = sort_key(link.downstream_node(), sort.regions());
                if (!up || !down || *up != *down) spanning.emplace_back(link.upstream_node(), link.downstream_node());
                return std::pair{link.downstream_node(), sort.line_of(gis_link_record_from_export(link), name, line)};
            });
    }
    if (!spanning.empty() && present.nodes) sort.extend_node_files(node_export_name(study_id), spanning);
    if (change != nullptr) {
        sort.write_files(*change);
    } else {
        FileChange own;
        sort.write_files(own);
        own.commit();
    }
    return sort.map_list();
}

}  // namespace velm
