#include "support/study_builder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "records/study_names.h"

namespace velm::test {

namespace {

// Header values the builder sets in every model file (positions 1-based).
constexpr int HEADER_MODEL_TYPE = 2;
constexpr int HEADER_SUBAREA_NODE_RULE =
    4;  // tenths digit 2: a subarea is numbered by its initial link's upstream node
constexpr int HEADER_EXTENSION_SWITCH = 7;
constexpr int HEADER_GIS_UPDATE_OPTION = 9;  // last digit 9: subareas, links and nodes
constexpr int HEADER_RETURN_FREQUENCY = 12;
constexpr float SUBAREA_NODE_RULE_VALUE = 1.2f;
constexpr float GIS_UPDATE_ALL = 9.0f;

constexpr float INCHES_PER_FOOT = 12.0f;
constexpr float ACRES_PER_SQUARE_MILE_VALUE = 640.0f;
constexpr int CURVE_NUMBER_TYPE = 10;
constexpr float MIN_LAND_USE_AREA = 0.005f;  // acres: a smaller cell is not in use
constexpr float SUBAREA_NUMBER_SCALE = 1000000.0f;
constexpr int LOS_ANGELES_COUNTY_TYPE = 6;
constexpr int TYPE6_RAINFALL_COLUMN = 94;            // the subarea's rainfall, the GIS subarea file's parameter
constexpr float TYPE6_LENGTH_LIMIT = 9999.0f;        // ft: a longer flow path is packed as 9000
constexpr float TYPE6_LONG_LENGTH = 9000.0f;         // ft
constexpr float TYPE6_DEFAULT_PARAMETER = 3.0f;      // the tenths digit of a subarea without rainfall
constexpr float PACKED_LENGTH_SCALE = 100.0f;        // code 22: 100 x length + a tenths digit
constexpr float ELEVATION_IN_SOIL_SCALE = 10000.0f;  // code 22: the upstream elevation / 10000 in cell 1's soil

// Process codes the builder gives its links.
constexpr int INITIAL_SUBAREA_CODE = 21;
constexpr int TC_INITIAL_SUBAREA_CODE = 22;  // type 6: the group opens with the time of concentration
constexpr int SIZED_CONDUIT_CODE = 31;
constexpr int PIPE_CODE = 41;
constexpr int PIPE_UNDER_STREET_CODE = 43;
constexpr int BOX_CODE = 46;
constexpr int CHANNEL_CODE = 51;
constexpr int STREET_CODE = 61;
constexpr float CONFLUENCE_CODE = 1.0f;
constexpr float SUBAREA_ADDITION_CODE = 81.0f;
constexpr float SEAM_OUT_CODE = 151.0f;
constexpr float SEAM_IN_CODE = 152.0f;

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

float round_half_away(double value)
{
    return static_cast<float>(value < 0 ? -std::floor(-value + 0.5) : std::floor(value + 0.5));
}

bool is_initial_code(int code)
{
    return code == 21 || code == 22;
}

// The compact header layout belongs to model types 7 and 8.
bool compact_header(int model_type)
{
    return model_type == 7 || model_type == 8;
}

// The directory the data directory file's first line names: everything up
// to its last separator, as the system reads it.
std::string directory_prefix(std::string_view first_line)
{
    const std::string_view text = first_line.substr(0, 50);
    const std::size_t last = text.find_last_of("\\/");
    if (last == std::string_view::npos) return {};
    std::string prefix(text.substr(0, last + 1));
    std::replace(prefix.begin(), prefix.end(), '\\', '/');
    return prefix;
}

std::string storm_event_extension(int storm_event)
{
    return "Z1" + std::to_string(storm_event);
}

std::string data_file_stem(std::string_view study_id, int map_number)
{
    return link_data_base_name(study_id, map_number).substr(0, DATA_FILE_STEM_LENGTH);
}

// The nine values of a street section in the model file header's table.
std::array<float, STREET_SECTION_VALUES> street_row(const StreetSection& street)
{
    return {street.half_width,
            street.crown_to_gradebreak,
            street.center_lane_crossfall,
            static_cast<float>(static_cast<double>(street.parkway_crossfall) * 1000.0 +
                               static_cast<double>(street.outside_lane_crossfall)),
            street.curb_height,
            street.gutter_width,
            street.gutter_lip,
            street.gutter_hike,
            street.friction};
}

StreetSection street_of(const LinkRecord& link)
{
    StreetSection street;
    street.curb_height = link.curb_height();
    street.half_width = link.street_half_width();
    street.gutter_lip = link.gutter_lip();
    street.gutter_width = link.gutter_width();
    street.gutter_hike = link.gutter_hike();
    street.crown_to_gradebreak = link.crown_to_gradebreak_distance();
    street.center_lane_crossfall = link.center_lane_crossfall();
    street.outside_lane_crossfall = link.outside_lane_crossfall();
    street.parkway_crossfall = link.parkway_crossfall();
    street.sides = link.street_side_count();
    street.friction = link.street_friction_factor();
    return street;
}

bool has_street(const LinkRecord& link)
{
    return link.curb_height() > 0.0f;
}

}  // namespace

// ------------------------------------------------------------------ elements

Element Element::pipe(float diameter, float friction, float pipes)
{
    return {ElementType::Pipe, diameter, pipes, 0.0f, friction, 0.0f};
}

Element Element::box(float height, float width, float friction)
{
    return {ElementType::Box, height, width, 0.0f, friction, 0.0f};
}

Element Element::channel(float depth, float base_width, float side_slope, float friction, float freeboard)
{
    return {ElementType::Channel, depth, base_width, side_slope, friction, freeboard};
}

// ------------------------------------------------------------------ description

StudyBuilder::StudyBuilder(std::string study_id, int model_type, int storm_events)
    : study_id_(std::move(study_id)), model_type_(model_type), storm_events_(storm_events)
{
    if (study_id_.size() != 2) throw std::invalid_argument("a study identifier has two characters");
    if (storm_events_ < 1 || storm_events_ > STORM_EVENTS)
        throw std::invalid_argument("a study has 1 to 6 storm events");
    if (model_type_ < 1 || model_type_ > 10)
        throw std::invalid_argument("the study builder writes model types 1 to 10 only");
}

NodeRecord& StudyBuilder::add_node(float number, float elevation, std::vector<float> peak_flows)
{
    if (static_cast<int>(peak_flows.size()) > storm_events_)
        throw std::logic_error("more peak flows than storm events");
    if (!node_index_.emplace(number, nodes_.size()).second) throw std::logic_error("node added twice");
    NodeRecord& record = nodes_.emplace_back();
    record.node_number() = number;
    record.node_elevation() = elevation;
    for (std::size_t event = 0; event < peak_flows.size(); ++event)
        record.peak_flow_rate(static_cast<int>(event) + 1) = peak_flows[event];
    return record;
}

namespace {

// The columns every link takes from its nodes: elevations, slope and the
// peak flows at both ends; the capacity used is the computed one.
LinkRecord link_between(const NodeRecord& upstream, const NodeRecord& downstream, float length, int process_code,
                        int storm_events)
{
    LinkRecord link;
    link.upstream_node() = upstream.node_number();
    link.downstream_node() = downstream.node_number();
    link.upstream_elevation() = upstream.node_elevation();
    link.downstream_elevation() = downstream.node_elevation();
    link.process_code() = process_code;
    link.link_length() = length;
    link.link_slope() = (link.upstream_elevation() - link.downstream_elevation()) / length;
    for (int event = 1; event <= storm_events; ++event) {
        link.upstream_peak_flow(event) = upstream.peak_flow_rate(event);
        link.downstream_peak_flow(event) = downstream.peak_flow_rate(event);
    }
    link.user_capacity() = NO_USER_CAPACITY;
    return link;
}

}  // namespace

LinkRecord& StudyBuilder::add_initial_link(float headwater_node, float downstream_node, float flow_path_length)
{
    LinkRecord link = link_between(node(headwater_node), node(downstream_node), flow_path_length, INITIAL_SUBAREA_CODE,
                                   storm_events_);
    link_index_.emplace(std::pair{headwater_node, downstream_node}, links_.size());
    return links_.emplace_back(std::move(link));
}

LinkRecord& StudyBuilder::add_link(float upstream_node, float downstream_node, float length, const Element& element,
                                   const std::optional<StreetSection>& street)
{
    int code = SIZED_CONDUIT_CODE;
    switch (element.type) {
        case ElementType::NoElement:
            code = street ? STREET_CODE : SIZED_CONDUIT_CODE;
            break;
        case ElementType::Pipe:
            code = street ? PIPE_UNDER_STREET_CODE : PIPE_CODE;
            break;
        case ElementType::Box:
            code = BOX_CODE;
            break;
        case ElementType::Channel:
            code = CHANNEL_CODE;
            break;
    }
    if (street && element.type != ElementType::NoElement && element.type != ElementType::Pipe)
        throw std::logic_error("a street runs over a pipe or alone");
    LinkRecord link = link_between(node(upstream_node), node(downstream_node), length, code, storm_events_);
    link.element_type() = static_cast<int>(element.type);
    link.element_height() = element.height;
    link.element_base_width() = element.base_width;
    link.element_side_slope() = element.side_slope;
    link.element_friction_factor() = element.friction;
    link.channel_freeboard() = element.freeboard;
    if (street) {
        link.curb_height() = street->curb_height;
        link.street_half_width() = street->half_width;
        link.gutter_lip() = street->gutter_lip;
        link.gutter_width() = street->gutter_width;
        link.gutter_hike() = street->gutter_hike;
        link.crown_to_gradebreak_distance() = street->crown_to_gradebreak;
        link.center_lane_crossfall() = street->center_lane_crossfall;
        link.outside_lane_crossfall() = street->outside_lane_crossfall;
        link.parkway_crossfall() = street->parkway_crossfall;
        link.street_side_count() = street->sides;
        link.street_friction_factor() = street->friction;
    }
    link_index_.emplace(std::pair{upstream_node, downstream_node}, links_.size());
    return links_.emplace_back(std::move(link));
}

std::array<float, 70> StorageRouting::block() const
{
    std::array<float, 70> values{};
    values[1] = static_cast<float>(initial_condition_option);
    values[2] = initial_value;
    values[3] = static_cast<float>(sets.size());
    for (std::size_t k = 0; k < sets.size() && k < 20; ++k) {
        values[4 + k] = sets[k][0];
        values[24 + k] = sets[k][1];
        values[44 + k] = sets[k][2];
    }
    values[64] = static_cast<float>(outflow_option);
    return values;
}

LinkRecord& StudyBuilder::add_storage_element(float upstream_node, float downstream_node, float length,
                                              const StorageRouting& routing)
{
    LinkRecord& link = add_link(upstream_node, downstream_node, length, Element::none());
    link.process_code() = STREET_CODE;
    storage_routing_[{upstream_node, downstream_node}] = routing;
    return link;
}

void StudyBuilder::set_curve_number_values(float subarea, const CurveNumberValues& values)
{
    curve_numbers_[subarea] = values;
}

SubareaRecord& StudyBuilder::add_subarea(float number, float area, SubareaEntry entry, float land_use, float soil)
{
    if (!subarea_index_.emplace(number, subareas_.size()).second) throw std::logic_error("subarea added twice");
    SubareaRecord& record = subareas_.emplace_back();
    record.subarea_number() = number;
    record.cell_land_use(1) = land_use;
    record.cell_soil(1) = soil;
    record.cell_area(1) = area;
    switch (model_type_) {  // a rainfall value inside the range the subarea checks accept
        case 5:
            record.column(3) = 12.0f;
            break;
        case 6:  // column 94 is the rainfall the GIS subarea file carries
            record.column(3) = 3.0f;
            record.column(94) = 3.0f;
            break;
        case 9:
            record.column(6) = 2.0f;
            break;
        default:
            break;
    }
    subarea_entries_.push_back(entry);
    return record;
}

NodeRecord& StudyBuilder::node(float number)
{
    const auto found = node_index_.find(number);
    if (found == node_index_.end()) throw std::out_of_range("no node " + std::to_string(number));
    return nodes_[found->second];
}

LinkRecord& StudyBuilder::link(float upstream_node, float downstream_node)
{
    const auto found = link_index_.find({upstream_node, downstream_node});
    if (found == link_index_.end())
        throw std::out_of_range("no link " + std::to_string(upstream_node) + " - " + std::to_string(downstream_node));
    return links_[found->second];
}

SubareaRecord& StudyBuilder::subarea(float number)
{
    const auto found = subarea_index_.find(number);
    if (found == subarea_index_.end()) throw std::out_of_range("no subarea " + std::to_string(number));
    return subareas_[found->second];
}

void StudyBuilder::set_header_value(int position, float value)
{
    const int length = compact_header(model_type_) ? COMPACT_HEADER_VALUES : FULL_HEADER_VALUES;
    if (position < 1 || position > length) throw std::out_of_range("header position outside the layout");
    header_values_.emplace_back(position, value);
}

void StudyBuilder::set_storm_return_frequency(int storm_event, float years)
{
    if (storm_event < 1 || storm_event > STORM_EVENTS) throw std::out_of_range("storm event 1 to 6");
    return_frequencies_[static_cast<std::size_t>(storm_event - 1)] = years;
}

void StudyBuilder::set_seam_text(float node, std::string text)
{
    seam_texts_.emplace_back(node, std::move(text));
}

void StudyBuilder::set_controls(const ControlParameters& parameters, const HglControlTable& controls)
{
    controls_ = parameters;
    hgl_controls_ = controls;
    write_control_file_ = true;
}

void StudyBuilder::set_data_directory(std::string first_line)
{
    data_directory_line_ = std::move(first_line);
}

void StudyBuilder::omit_file(std::string_view name)
{
    omitted_.push_back(upper(name));
}

// ------------------------------------------------------------------ plan

namespace {

// Whether the link's group carries a subarea that the cross-check of the
// data bases against the model files reads: storage and street groups
// (codes 61 to 63) carry none in model types 6 and 9, code 9 none in type 6.
bool carries_subarea(const LinkRecord& link, int model_type)
{
    const auto layout = group_layout(static_cast<float>(link.process_code()), model_type, 1);
    if (!layout || layout->packed_subarea_position == 0) return false;
    const int family = layout->family_code;
    if (family >= 61 && family <= 63 && (model_type == 6 || model_type == 9)) return false;
    return !(family == 9 && model_type == 6);
}

// The number that names the GIS file of a node or subarea number: its
// region for model types 6 and 9, else its map.
int gis_file_key(float number, int model_type)
{
    if (model_type == 6 || model_type == 9) return static_cast<int>(number / static_cast<float>(REGION_NUMBER_DIVISOR));
    return map_number_of(number);
}

}  // namespace

// Where every record goes, worked out once: the maps and the records of
// each map's data bases, how each subarea enters the network, the links
// into and out of each node, and the records of each GIS file.
struct StudyBuilder::Plan {
    struct SubareaPlan {
        SubareaEntry entry = SubareaEntry::AtNode;
        std::optional<std::size_t> carrier_link;  // the link whose group carries it; none for a code-81 group
        int map_number = 0;                       // the map whose data base and model file hold it
    };
    std::vector<SubareaPlan> subareas;                   // beside subareas_
    std::map<std::size_t, std::size_t> carried;          // link -> the subarea its group carries
    std::map<float, std::vector<std::size_t>> added_at;  // node -> subareas entering there by code 81

    std::vector<int> maps;  // ascending
    std::map<int, std::vector<std::size_t>> links_of_map, nodes_of_map, subareas_of_map;
    std::map<float, std::vector<std::size_t>> incoming;  // links by downstream node, in the order added
    std::map<float, std::size_t> outgoing;               // the first link leaving each node

    struct GisMembers {
        std::vector<std::size_t> nodes, links, foreign_upstream_links, subareas;
    };
    std::map<std::string, GisMembers> gis;  // by file stem
};

// A fixture that asks for an entry its network cannot give is a mistake of
// the test: std::logic_error at once, naming the subarea.
StudyBuilder::Plan StudyBuilder::plan() const
{
    Plan plan;
    std::map<float, std::size_t> initial_from;   // headwater node -> its initial link
    std::map<float, std::size_t> first_carrier;  // node -> first link ending there that carries a subarea
    for (std::size_t i = 0; i < links_.size(); ++i) {
        const LinkRecord& l = links_[i];
        plan.incoming[l.downstream_node()].push_back(i);
        plan.outgoing.emplace(l.upstream_node(), i);
        plan.links_of_map[file_map_of(l.downstream_node())].push_back(i);
        if (is_initial_code(l.process_code()))
            initial_from.emplace(l.upstream_node(), i);
        else if (carries_subarea(l, model_type_))
            first_carrier.emplace(l.downstream_node(), i);
    }

    std::set<std::size_t> carriers;
    for (std::size_t s = 0; s < subareas_.size(); ++s) {
        const float number = subareas_[s].subarea_number();
        const std::string name = "subarea " + std::to_string(number);
        Plan::SubareaPlan sub;
        sub.entry = subarea_entries_[s];
        sub.map_number = file_map_of(number);
        const auto initial = initial_from.find(number);
        if (sub.entry == SubareaEntry::Automatic)
            sub.entry = initial != initial_from.end() ? SubareaEntry::Initial : SubareaEntry::AtNode;
        if (sub.entry == SubareaEntry::Initial) {
            if (initial == initial_from.end()) throw std::logic_error("no initial link starts at " + name);
            sub.carrier_link = initial->second;
        } else if (sub.entry == SubareaEntry::AlongLink) {
            const auto along = first_carrier.find(number);
            if (along == first_carrier.end()) throw std::logic_error("no link with a subarea part ends at " + name);
            sub.carrier_link = along->second;
        } else {
            plan.added_at[number].push_back(s);
        }
        if (sub.carrier_link) {
            if (!carriers.insert(*sub.carrier_link).second)
                throw std::logic_error("a second subarea on the link of " + name);
            plan.carried.emplace(*sub.carrier_link, s);
            sub.map_number = file_map_of(links_[*sub.carrier_link].downstream_node());
        }
        plan.subareas_of_map[sub.map_number].push_back(s);
        plan.subareas.push_back(sub);
    }
    for (std::size_t n = 0; n < nodes_.size(); ++n)
        plan.nodes_of_map[file_map_of(nodes_[n].node_number())].push_back(n);

    std::set<int> maps;
    for (const auto& [map, members] : plan.links_of_map) maps.insert(map);
    for (const auto& [map, members] : plan.nodes_of_map) maps.insert(map);
    for (const auto& [map, members] : plan.subareas_of_map) maps.insert(map);
    plan.maps.assign(maps.begin(), maps.end());

    std::map<int, std::string> stems;  // GIS file key -> stem, each named once
    auto stem_of = [&](float number) -> const std::string& {
        const int key = gis_file_key(number, model_type_);
        auto found = stems.find(key);
        if (found == stems.end()) {
            const std::string name = gis_file_name(study_id_, number, model_type_, GisFileKind::Node);
            found = stems.emplace(key, name.substr(0, name.find('.'))).first;
        }
        return found->second;
    };
    for (std::size_t n = 0; n < nodes_.size(); ++n) plan.gis[stem_of(nodes_[n].node_number())].nodes.push_back(n);
    for (std::size_t i = 0; i < links_.size(); ++i) {
        const std::string& file = stem_of(links_[i].downstream_node());
        plan.gis[file].links.push_back(i);
        if (stem_of(links_[i].upstream_node()) != file) plan.gis[file].foreign_upstream_links.push_back(i);
    }
    for (std::size_t s = 0; s < subareas_.size(); ++s)
        plan.gis[stem_of(subareas_[s].subarea_number())].subareas.push_back(s);
    return plan;
}

std::vector<int> StudyBuilder::map_numbers() const
{
    return plan().maps;
}

int StudyBuilder::file_map_of(float number) const
{
    const int map = map_number_of(number);
    return model_type_ == 9 ? region_map_number(map) : map;
}

// ------------------------------------------------------------------ model files

namespace {

// A land-use cell as the GIS subarea record holds it (and the GIS update
// writes it into the model file): in model type 6 the land use carries 100
// and the cell's third value, and a cell of 0.005 acres or less is empty.
struct GisCell {
    float land_use = 0.0f;
    float soil = 0.0f;
    float area = 0.0f;
};

GisCell gis_cell(const SubareaRecord& subarea, int k, int model_type)
{
    GisCell cell{subarea.cell_land_use(k), subarea.cell_soil(k), subarea.cell_area(k)};
    if (model_type == 6) {
        if (cell.area <= MIN_LAND_USE_AREA) {
            cell.land_use = 0.0f;
            cell.soil = 0.0f;
        } else {
            cell.land_use = cell.land_use + 100.0f + subarea.cell_third_value(k);
        }
    }
    return cell;
}

// Writes a subarea part at the 1-based data position of packed_subarea:
// the cells in use first, and packed_subarea with their count, computed in
// single precision as the GIS update packs it.
void write_subarea_part(std::vector<float>& values, int position, const SubareaRecord& subarea, int model_type)
{
    int taken = 0;
    for (int k = 1; k <= LAND_USE_CELLS; ++k) {
        const GisCell cell = gis_cell(subarea, k, model_type);
        if (!(cell.area > MIN_LAND_USE_AREA)) continue;
        const std::size_t at =
            static_cast<std::size_t>(position + 3 * taken);  // 0-based: the cell after packed_subarea
        values.at(at) = cell.land_use;
        values.at(at + 1) = cell.soil;
        values.at(at + 2) = cell.area;
        ++taken;
    }
    values.at(static_cast<std::size_t>(position - 1)) =
        static_cast<float>(taken) + subarea.subarea_number() / SUBAREA_NUMBER_SCALE;
}

// Value 3 of a type-6 initial subarea group: 100 times the flow-path length
// (ft, a longer one than 9999 ft as 9000) rounded to a whole number, plus a
// tenths digit, the subarea's rainfall parameter (3 for none), computed in
// single precision as the GIS update packs it.
float packed_type6_length(float length, const SubareaRecord* subarea)
{
    const float kept = length > TYPE6_LENGTH_LIMIT ? TYPE6_LONG_LENGTH : length;
    float parameter = subarea ? std::max(subarea->column(TYPE6_RAINFALL_COLUMN), 0.0f) : 0.0f;
    if (parameter == 0.0f) parameter = TYPE6_DEFAULT_PARAMETER;
    return std::round(PACKED_LENGTH_SCALE * kept) + parameter / 10.0f;
}

// What a walk over one map's network meets, in model file order.
struct WalkVisitor {
    std::function<void(std::size_t link)> link;
    std::function<void(float node, int stream, int streams)> confluence;
    std::function<void(float node)> seam_in;
    std::function<void(float node, std::optional<std::size_t> leaving_link)> outlet;  // none at the study outlet
    std::function<void(float node)> subareas_at;
};

}  // namespace

ModelFile StudyBuilder::model_file(int map_number, int storm_event) const
{
    return build_model_file(plan(), map_number, storm_event);
}

// The groups of a map follow its network from each outlet (in the order of
// the first link that reaches it) up every entering stream, depth first:
// a stream is complete before the confluence group that joins it, and the
// subareas added at a node follow the last stream into it.
ModelFile StudyBuilder::build_model_file(const Plan& plan, int map_number, int storm_event) const
{
    if (storm_event < 1 || storm_event > storm_events_) throw std::out_of_range("no such storm event in the study");
    ModelFile file;
    const bool compact = compact_header(model_type_);
    const int extension_switch = compact ? 2 : 1;
    file.header.values.assign(compact ? COMPACT_HEADER_VALUES : FULL_HEADER_VALUES, 0.0f);
    file.header.set_value(1, 1.0f);
    file.header.set_value(HEADER_MODEL_TYPE, static_cast<float>(model_type_));
    file.header.set_value(HEADER_SUBAREA_NODE_RULE, SUBAREA_NODE_RULE_VALUE);
    file.header.set_value(HEADER_EXTENSION_SWITCH, static_cast<float>(extension_switch));
    file.header.set_value(HEADER_GIS_UPDATE_OPTION, GIS_UPDATE_ALL);
    file.header.set_value(HEADER_RETURN_FREQUENCY, return_frequencies_[static_cast<std::size_t>(storm_event - 1)]);

    static const std::vector<std::size_t> none;
    const auto map_links = plan.links_of_map.find(map_number);
    const std::vector<std::size_t>& links = map_links == plan.links_of_map.end() ? none : map_links->second;

    // The street sections of the map's links, each once, in link order.
    std::vector<StreetSection> streets;
    for (std::size_t i : links) {
        if (!has_street(links_[i])) continue;
        const StreetSection street = street_of(links_[i]);
        if (std::find(streets.begin(), streets.end(), street) == streets.end()) streets.push_back(street);
    }
    if (static_cast<int>(streets.size()) > MAX_STREET_SECTIONS)
        throw std::logic_error("more than 50 street sections in a map");
    file.header.set_street_section_count(static_cast<int>(streets.size()));
    for (std::size_t k = 0; k < streets.size(); ++k)
        file.header.set_street_section(static_cast<int>(k) + 1, street_row(streets[k]));
    for (const auto& [position, value] : header_values_) file.header.set_value(position, value);

    // Type 10 lays out the groups it reads up to the next marker as the
    // general layout does.
    auto layout_of = [&](float code) {
        std::optional<GroupLayout> layout = group_layout(code, model_type_, extension_switch);
        if (model_type_ == CURVE_NUMBER_TYPE && layout && layout->data_count == SCANNED_TO_MARKER)
            layout = group_layout(code, 3, extension_switch);
        return layout;
    };
    auto link_group = [&](std::size_t index) {
        const LinkRecord& l = links_[index];
        // The initial subareas of the Los Angeles County hydrology are code-22
        // groups: the time of concentration, the downstream elevation and the
        // packed flow-path length, as the GIS update writes them.
        const bool tc_initial = model_type_ == LOS_ANGELES_COUNTY_TYPE && is_initial_code(l.process_code());
        const float code =
            tc_initial ? static_cast<float>(TC_INITIAL_SUBAREA_CODE) : static_cast<float>(l.process_code());
        ModelGroup group{l.upstream_node(), l.downstream_node(), code, {}, {}};
        const std::optional<GroupLayout> layout = layout_of(group.code_value);
        if (!layout || layout->data_count < 0)
            throw std::logic_error("a link of a process code the builder cannot lay out");
        std::vector<float>& v = group.values;
        v.assign(static_cast<std::size_t>(layout->data_count), 0.0f);
        auto set = [&v](int position, float value) { v.at(static_cast<std::size_t>(position - 1)) = value; };
        const int family = layout->family_code;
        // Reaches, initial subareas and street groups open with the two node
        // elevations and the length.
        if (layout->element_count > 0 || is_initial_code(family) || (family >= 61 && family <= 63) || family == 9) {
            set(1, l.upstream_elevation());
            set(2, l.downstream_elevation());
            set(3, l.link_length());
        }
        if (layout->element_count >= 4) set(4, l.element_friction_factor());
        if (layout->element_count == 6) {
            switch (family) {
                case 36:
                case 46:  // boxes: base width, then height (ft)
                    set(5, l.element_base_width());
                    set(6, l.element_height());
                    break;
                case 34:
                case 37:
                case 47:  // height, then base width (ft)
                    set(5, l.element_height());
                    set(6, l.element_base_width());
                    break;
                default:  // pipes: diameter (in), number of pipes
                    set(5, l.element_height() * INCHES_PER_FOOT);
                    set(6, l.element_base_width());
                    break;
            }
        } else if (layout->element_count == 7) {  // open channels: the depth holds the freeboard
            set(5, l.element_base_width());
            set(6, l.element_side_slope());
            set(7, l.element_height() + l.channel_freeboard());
        }
        if (layout->street_position > 0 && has_street(l)) {
            const StreetSection street = street_of(l);
            const int at = layout->street_position;
            if (family == 61) {
                set(at, round_half_away(static_cast<double>(street.curb_height) * INCHES_PER_FOOT));
                set(at + 1, street.half_width);
                set(at + 2, street.crown_to_gradebreak);
                set(at + 3, street.center_lane_crossfall);
                set(at + 4, street_row(street)[3]);
                set(at + 5, static_cast<float>(street.sides));
            } else {
                const auto found = std::find(streets.begin(), streets.end(), street);
                set(at, static_cast<float>(found - streets.begin() + 1));
                if (family == 62 || family == 63) set(at + 1, static_cast<float>(street.sides));
            }
        }
        const auto subarea = plan.carried.find(index);
        if (layout->packed_subarea_position > 0 && subarea != plan.carried.end())
            write_subarea_part(v, layout->packed_subarea_position, subareas_[subarea->second], model_type_);
        if (tc_initial) {
            const SubareaRecord* carried = subarea != plan.carried.end() ? &subareas_[subarea->second] : nullptr;
            set(1, carried ? carried->time_of_concentration(storm_event) : 0.0f);  // minutes
            set(3, packed_type6_length(l.link_length(), carried));
            // Cell 1's soil carries the upstream node's elevation / 10000.
            const auto up = node_index_.find(l.upstream_node());
            const float elevation =
                up != node_index_.end() ? nodes_[up->second].node_elevation() : l.upstream_elevation();
            float& soil = v.at(static_cast<std::size_t>(layout->packed_subarea_position + 1));
            soil = soil + elevation / ELEVATION_IN_SOIL_SCALE;
        }
        if (model_type_ == CURVE_NUMBER_TYPE && family == INITIAL_SUBAREA_CODE && subarea != plan.carried.end()) {
            const SubareaRecord& record = subareas_[subarea->second];
            const auto found = curve_numbers_.find(record.subarea_number());
            const CurveNumberValues values = found == curve_numbers_.end() ? CurveNumberValues{} : found->second;
            float acres = 0.0f;
            for (int k = 1; k <= LAND_USE_CELLS; ++k) {
                const GisCell cell = gis_cell(record, k, model_type_);
                acres += cell.area;
                set(2 + 3 * k, cell.land_use);
                set(3 + 3 * k, cell.soil);
                set(4 + 3 * k, cell.area / ACRES_PER_SQUARE_MILE_VALUE);
            }
            set(1, acres / ACRES_PER_SQUARE_MILE_VALUE);  // square miles
            set(26, values.watershed_lag);
            set(28, values.initial_abstraction);
            set(29, values.curve_number);
            set(30, values.impervious_fraction);
            set(33, record.subarea_number());
        }
        const auto routing = storage_routing_.find({l.upstream_node(), l.downstream_node()});
        if (model_type_ == CURVE_NUMBER_TYPE && family == STREET_CODE && routing != storage_routing_.end()) {
            const std::array<float, 70> block = routing->second.block();
            for (int k = 1; k <= 70; ++k) set(7 + k, block[static_cast<std::size_t>(k - 1)]);
        }
        return group;
    };

    // Seam groups name the model file of the map on the other side.
    auto seam_group = [&](float code, float node, int other_map) {
        std::string text = model_file_name(data_file_stem(study_id_, other_map), storm_event_extension(storm_event));
        for (const auto& [seam_node, seam_text] : seam_texts_)
            if (seam_node == node) text = seam_text;
        text.resize(MODEL_TEXT_LENGTH, ' ');
        return ModelGroup{node, node, code, {static_cast<float>(other_map)}, text};
    };

    std::set<std::size_t> added;
    auto add_subarea = [&](std::size_t s) {
        if (plan.subareas[s].map_number != map_number || !added.insert(s).second) return;
        const GroupLayout layout = *layout_of(SUBAREA_ADDITION_CODE);
        const float number = subareas_[s].subarea_number();
        ModelGroup group{number, number, SUBAREA_ADDITION_CODE, {}, {}};
        group.values.assign(static_cast<std::size_t>(layout.data_count), 0.0f);
        write_subarea_part(group.values, layout.packed_subarea_position, subareas_[s], model_type_);
        file.groups.push_back(std::move(group));
    };

    WalkVisitor visit;
    visit.link = [&](std::size_t index) { file.groups.push_back(link_group(index)); };
    visit.confluence = [&](float node, int stream, int streams) {
        file.groups.push_back(
            {node, node, CONFLUENCE_CODE, {static_cast<float>(stream), static_cast<float>(streams)}, {}});
    };
    visit.seam_in = [&](float node) { file.groups.push_back(seam_group(SEAM_IN_CODE, node, file_map_of(node))); };
    visit.outlet = [&](float node, std::optional<std::size_t> leaving) {
        if (leaving)
            file.groups.push_back(seam_group(SEAM_OUT_CODE, node, file_map_of(links_[*leaving].downstream_node())));
    };
    visit.subareas_at = [&](float node) {
        const auto at = plan.added_at.find(node);
        if (at != plan.added_at.end())
            for (std::size_t s : at->second) add_subarea(s);
    };

    std::set<std::size_t> done;
    std::function<void(float)> walk_up = [&](float node) {
        const auto in = plan.incoming.find(node);
        if (in == plan.incoming.end()) {
            // a stream starts here: at a headwater, or at a seam from the map upstream
        } else if (file_map_of(node) != map_number) {
            visit.seam_in(node);
        } else {
            const int streams = static_cast<int>(in->second.size());
            for (int stream = 1; stream <= streams; ++stream) {
                const std::size_t i = in->second[static_cast<std::size_t>(stream - 1)];
                if (!done.insert(i).second) continue;
                walk_up(links_[i].upstream_node());
                visit.link(i);
                if (streams > 1) visit.confluence(node, stream, streams);
            }
        }
        visit.subareas_at(node);
    };
    for (std::size_t i : links) {
        const float outlet = links_[i].downstream_node();
        const auto out = plan.outgoing.find(outlet);
        const bool continues_in_map =
            out != plan.outgoing.end() && file_map_of(links_[out->second].downstream_node()) == map_number;
        if (continues_in_map || done.count(i)) continue;
        walk_up(outlet);
        visit.outlet(outlet, out == plan.outgoing.end() ? std::nullopt : std::optional<std::size_t>(out->second));
    }
    for (std::size_t i : links)  // links on a loop reach no outlet
        if (done.insert(i).second) visit.link(i);
    const auto subareas = plan.subareas_of_map.find(map_number);  // added at a node no stream of the map reaches
    if (subareas != plan.subareas_of_map.end())
        for (std::size_t s : subareas->second)
            if (plan.subareas[s].entry == SubareaEntry::AtNode) add_subarea(s);

    for (const ModelFileEdit& edit : model_file_edits_) edit(map_number, storm_event, file);
    return file;
}

ModelGroup* find_group(ModelFile& file, float upstream_node, float downstream_node, std::optional<int> process_code)
{
    for (ModelGroup& group : file.groups)
        if (group.upstream_node == upstream_node && group.downstream_node == downstream_node &&
            (!process_code || group.process_code() == *process_code))
            return &group;
    return nullptr;
}

// ------------------------------------------------------------------ GIS files

namespace {

GisNodeRecord gis_node(float number, float elevation)
{
    GisNodeRecord record;
    record.node_number() = number;
    record.node_elevation() = elevation;
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

// The GIS link record as the export sort writes it: no street values (and
// no element type) without a curb or gutter hike, no element values without
// an element height, a negative length as 0.
GisLinkRecord gis_link(const LinkRecord& link)
{
    GisLinkRecord record;
    record.upstream_node() = link.upstream_node();
    record.downstream_node() = link.downstream_node();
    record.link_length() = std::max(link.link_length(), 0.0f);
    if (link.curb_height() > 0.0f || link.gutter_hike() > 0.0f) {
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
    record.street_friction_factor() = std::max(link.street_friction_factor(), 0.0f);
    if (link.element_height() > 0.0f) {
        record.element_height() = link.element_height();
        record.element_base_width() = link.element_base_width();
        record.element_side_slope() = link.element_side_slope();
        record.element_friction_factor() = link.element_friction_factor();
    }
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

// Values 2 to 12 come from the subarea columns of the model type, 0.0 for a
// negative column; columns 9 and 11 above 10 are scaled by 0.1.
GisSubareaRecord gis_subarea(const SubareaRecord& subarea, int model_type)
{
    GisSubareaRecord record;
    record.subarea_number() = subarea.subarea_number();
    const int first_parameter_column = model_type == 5 ? 93 : model_type == 6 ? 94 : 3;
    const std::array<int, 6> parameter_columns{first_parameter_column, 5, 6, 8, 9, 11};
    for (int i = 1; i <= 6; ++i) {
        float value = std::max(subarea.column(parameter_columns[static_cast<std::size_t>(i - 1)]), 0.0f);
        if (i >= 5 && value > 10.0f) value = value * 0.1f;
        record.subarea_parameter(i) = value;
    }
    for (int i = 1; i <= S_GRAPH_VALUES; ++i) record.s_graph_value(i) = std::max(subarea.s_graph_value(i), 0.0f);
    for (int k = 1; k <= LAND_USE_CELLS; ++k) {
        const GisCell cell = gis_cell(subarea, k, model_type);
        record.cell_land_use(k) = cell.land_use;
        record.cell_soil(k) = cell.soil;
        record.cell_area(k) = cell.area;
    }
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

}  // namespace

std::vector<std::string> StudyBuilder::gis_file_stems() const
{
    std::vector<std::string> stems;
    for (const auto& [stem, members] : plan().gis) stems.push_back(stem);
    return stems;
}

GisFiles StudyBuilder::gis_files(std::string_view file_stem) const
{
    return build_gis_files(plan(), std::string(file_stem));
}

// The nodes of the map or region, then the upstream node of each of its
// links that lies in another file; links by their downstream node,
// subareas by their number; all in the order they were added.
GisFiles StudyBuilder::build_gis_files(const Plan& plan, const std::string& file_stem) const
{
    GisFiles files;
    const auto members = plan.gis.find(file_stem);
    if (members != plan.gis.end()) {
        for (std::size_t n : members->second.nodes)
            files.nodes.push_back(gis_node(nodes_[n].node_number(), nodes_[n].node_elevation()));
        for (std::size_t i : members->second.foreign_upstream_links)
            files.nodes.push_back(gis_node(links_[i].upstream_node(), links_[i].upstream_elevation()));
        for (std::size_t i : members->second.links) files.links.push_back(gis_link(links_[i]));
        for (std::size_t s : members->second.subareas) files.subareas.push_back(gis_subarea(subareas_[s], model_type_));
    }
    for (const GisFilesEdit& edit : gis_file_edits_) edit(file_stem, files);
    return files;
}

// ------------------------------------------------------------------ model lists

std::vector<ModelListEntry> StudyBuilder::model_list_entries(int storm_event) const
{
    return build_model_list(plan(), storm_event);
}

std::vector<ModelListEntry> StudyBuilder::build_model_list(const Plan& plan, int storm_event) const
{
    std::vector<ModelListEntry> entries;
    for (int map : plan.maps)
        entries.push_back(
            make_model_list_entry(model_file_name(data_file_stem(study_id_, map), storm_event_extension(storm_event))));
    for (const ModelListEdit& edit : model_list_edits_) edit(storm_event, entries);
    return entries;
}

// ------------------------------------------------------------------ model results

void StudyBuilder::set_model_results(int map_number, std::vector<ModelResultsGroup> groups)
{
    model_results_[map_number] = std::move(groups);
}

std::vector<ModelResultsGroup> StudyBuilder::model_results(int map_number) const
{
    return build_model_results(plan(), map_number);
}

std::vector<ModelResultsGroup> StudyBuilder::build_model_results(const Plan& plan, int map_number) const
{
    if (const auto set = model_results_.find(map_number); set != model_results_.end()) return set->second;

    // Time of concentration at a node: the latest arrival over its incoming
    // links, worked out upstream first without recursion.
    std::map<float, float> tc_at;
    auto tc_of = [&](float node) {
        std::vector<float> pending{node};
        while (!pending.empty()) {
            const float current = pending.back();
            if (tc_at.count(current)) {
                pending.pop_back();
                continue;
            }
            float tc = 0.0f;
            bool ready = true;
            if (const auto in = plan.incoming.find(current); in != plan.incoming.end()) {
                for (std::size_t i : in->second) {
                    const LinkRecord& l = links_[i];
                    float arrival = 0.0f;
                    if (is_initial_code(l.process_code())) {
                        if (const auto carried = plan.carried.find(i); carried != plan.carried.end())
                            arrival = subareas_[carried->second].time_of_concentration(1);
                    } else if (const auto up = tc_at.find(l.upstream_node()); up != tc_at.end()) {
                        arrival = up->second + l.link_travel_time(1);
                    } else {
                        if (pending.size() > links_.size() + 1) throw std::logic_error("the links make a loop");
                        pending.push_back(l.upstream_node());
                        ready = false;
                        continue;
                    }
                    tc = std::max(tc, arrival);
                }
            }
            if (!ready) continue;
            tc_at[current] = tc;
            pending.pop_back();
        }
        return tc_at[node];
    };

    std::vector<ModelResultsGroup> groups;
    const auto links = plan.links_of_map.find(map_number);
    if (links == plan.links_of_map.end()) return groups;
    for (std::size_t i : links->second) {
        const LinkRecord& l = links_[i];
        ModelResultsGroup group;
        group.upstream_node = l.upstream_node();
        group.downstream_node = l.downstream_node();
        group.process_code = l.process_code();
        group.downstream_time_of_concentration = tc_of(l.downstream_node());
        if (const auto carried = plan.carried.find(i); carried != plan.carried.end())
            group.subarea_added_area = subareas_[carried->second].area();
        if (const auto nodes = plan.nodes_of_map.find(file_map_of(l.downstream_node()));
            nodes != plan.nodes_of_map.end())
            for (std::size_t n : nodes->second)
                if (nodes_[n].node_number() == l.downstream_node())
                    group.total_tributary_area = nodes_[n].total_tributary_area();
        group.travel_time = l.link_travel_time(1);
        groups.push_back(group);
    }
    return groups;
}

// ------------------------------------------------------------------ files

std::vector<TelescopedStringRecord>& StudyBuilder::add_string(const std::vector<std::pair<float, float>>& links)
{
    std::vector<TelescopedStringRecord>& records = strings_.emplace_back();
    for (const auto& [upstream, downstream] : links) {
        const LinkRecord& link = this->link(upstream, downstream);
        TelescopedStringRecord record;
        record.upstream_node = upstream;
        record.downstream_node = downstream;
        record.upstream_elevation = link.upstream_elevation();
        record.downstream_elevation = link.downstream_elevation();
        record.process_code = static_cast<float>(link.process_code());
        record.link_length = link.link_length();
        record.link_slope = link.link_slope();
        record.element_type = static_cast<float>(link.element_type());
        record.element_height = link.element_height();
        record.element_base_width = link.element_base_width();
        record.element_side_slope = link.element_side_slope();
        record.channel_freeboard = link.channel_freeboard();
        record.element_friction_factor = link.element_friction_factor();
        record.telescoped_shape = link.recommended_element_type();
        record.telescoped_size = link.replacement_element_height();
        record.telescoped_width = link.replacement_element_base_width();
        record.telescoped_side_slope = link.replacement_element_side_slope();
        record.telescoped_friction_factor = link.replacement_element_friction_factor();
        record.link_capacity =
            link.user_capacity() == NO_USER_CAPACITY ? link.computed_capacity() : link.user_capacity();
        records.push_back(record);
    }
    return records;
}

std::vector<StudyBuilder::OutputFile> StudyBuilder::output_files(const Plan& plan) const
{
    std::vector<OutputFile> files;
    const std::string list_name = model_list_file_name(study_id_);
    for (int event = 1; event <= storm_events_; ++event)
        files.push_back({replace_file_extension(list_name, storm_event_extension(event)),
                         [this, &plan, event](const std::string& path) {
                             write_model_list_file(path, build_model_list(plan, event));
                         }});
    if (write_control_file_)
        files.push_back({control_file_name(study_id_), [this](const std::string& path) {
                             write_text_lines(path, control_file_lines(path, controls_, hgl_controls_));
                         }});

    auto records_of = [](const auto& all, const std::map<int, std::vector<std::size_t>>& by_map, int map) {
        std::vector<typename std::decay_t<decltype(all)>::value_type> records;
        const auto members = by_map.find(map);
        if (members != by_map.end())
            for (std::size_t i : members->second) records.push_back(all[i]);
        return records;
    };
    std::set<int> link_files;  // model type 9 keeps one link data base per region
    for (int map : plan.maps) {
        const int link_file_map = model_type_ == 9 ? region_map_number(map) : map;
        if (link_files.insert(link_file_map).second)
            files.push_back({link_data_base_name(study_id_, link_file_map),
                             [this, &plan, records_of, link_file_map](const std::string& path) {
                                 std::vector<LinkRecord> records;
                                 for (int m : plan.maps)
                                     if ((model_type_ == 9 ? region_map_number(m) : m) == link_file_map)
                                         for (LinkRecord& l : records_of(links_, plan.links_of_map, m))
                                             records.push_back(std::move(l));
                                 write_link_data_base(path, records);
                             }});
        files.push_back({node_data_base_name(study_id_, map), [this, &plan, records_of, map](const std::string& path) {
                             write_node_data_base(path, records_of(nodes_, plan.nodes_of_map, map));
                         }});
        files.push_back(
            {subarea_data_base_name(study_id_, map), [this, &plan, records_of, map](const std::string& path) {
                 write_subarea_data_base(path, records_of(subareas_, plan.subareas_of_map, map));
             }});
        for (int event = 1; event <= storm_events_; ++event)
            files.push_back({model_file_name(data_file_stem(study_id_, map), storm_event_extension(event)),
                             [this, &plan, map, event](const std::string& path) {
                                 write_model_file(path, build_model_file(plan, map, event));
                             }});
        files.push_back(
            {model_results_file_name(data_file_stem(study_id_, map)), [this, &plan, map](const std::string& path) {
                 write_model_results_file(path, build_model_results(plan, map));
             }});
    }
    for (std::size_t k = 0; k < strings_.size(); ++k)
        files.push_back({string_file_name(study_id_, static_cast<int>(k) + 1),
                         [this, k](const std::string& path) { write_telescoped_string_file(path, strings_[k]); }});
    if (!strings_.empty())
        files.push_back({string_index_file_name(study_id_), [this](const std::string& path) {
                             StringIndexFile index;
                             for (std::size_t k = 0; k < strings_.size(); ++k) {
                                 StringIndexRecord record;
                                 record.string_number = static_cast<int>(k) + 1;
                                 if (!strings_[k].empty()) {
                                     record.upstream_node = strings_[k].front().upstream_node;
                                     record.outlet_node = strings_[k].back().downstream_node;
                                 }
                                 index.records.push_back(record);
                             }
                             write_string_index_file(path, index);
                         }});
    for (const auto& [stem, members] : plan.gis) {
        files.push_back({stem + ".ZZN", [this, &plan, stem](const std::string& path) {
                             write_gis_node_file(path, build_gis_files(plan, stem).nodes);
                         }});
        files.push_back({stem + ".ZZL", [this, &plan, stem](const std::string& path) {
                             write_gis_link_file(path, build_gis_files(plan, stem).links);
                         }});
        files.push_back({stem + ".ZZS", [this, &plan, stem](const std::string& path) {
                             write_gis_subarea_file(path, build_gis_files(plan, stem).subareas);
                         }});
    }
    return files;
}

std::vector<StudyBuilder::OutputFile> StudyBuilder::export_files() const
{
    auto all = [](const auto& records) { return std::vector(records.begin(), records.end()); };
    return {
        {study_id_ + "SUBSZZ.ASC",
         [this, all](const std::string& path) { write_subarea_data_base(path, all(subareas_)); }},
        {study_id_ + "NODEZZ.ASC", [this, all](const std::string& path) { write_node_data_base(path, all(nodes_)); }},
        {study_id_ + "LINKZZ.ASC", [this, all](const std::string& path) { write_link_data_base(path, all(links_)); }},
    };
}

std::vector<std::string> StudyBuilder::gis_export_names() const
{
    std::vector<std::string> names;
    for (const OutputFile& file : export_files()) names.push_back(file.name);
    return names;
}

void StudyBuilder::write_gis_exports(const std::filesystem::path& directory) const
{
    const std::filesystem::path data_directory = data_directory_in(directory);
    for (const OutputFile& file : export_files())
        if (!omitted(file.name)) file.write((data_directory / file.name).string());
}

bool StudyBuilder::omitted(std::string_view name) const
{
    return std::find(omitted_.begin(), omitted_.end(), upper(name)) != omitted_.end();
}

std::string StudyBuilder::data_directory_file_name() const
{
    return study_id_ + "MPDZZ.ZZZ";
}

std::vector<std::string> StudyBuilder::file_names() const
{
    std::vector<std::string> names;
    if (data_directory_line_ && !omitted(data_directory_file_name())) names.push_back(data_directory_file_name());
    const Plan study_plan = plan();
    for (const OutputFile& file : output_files(study_plan))
        if (!omitted(file.name)) names.push_back(file.name);
    if (write_gis_exports_)
        for (const OutputFile& file : export_files())
            if (!omitted(file.name)) names.push_back(file.name);
    return names;
}

void StudyBuilder::write(const std::filesystem::path& directory) const
{
    // A throw-away study: nothing is gained by waiting for the disk.
    const DiskFlushesOff no_flushes;
    std::filesystem::path data_directory = directory;
    if (data_directory_line_) {
        if (!omitted(data_directory_file_name()))
            write_text_lines((directory / data_directory_file_name()).string(), {*data_directory_line_});
        data_directory /= directory_prefix(*data_directory_line_);
        std::filesystem::create_directories(data_directory);
    }
    const Plan study_plan = plan();
    for (const OutputFile& file : output_files(study_plan))
        if (!omitted(file.name)) file.write((data_directory / file.name).string());
    if (write_gis_exports_) write_gis_exports(directory);
}

std::filesystem::path StudyBuilder::data_directory_in(const std::filesystem::path& directory) const
{
    return data_directory_line_ ? directory / directory_prefix(*data_directory_line_) : directory;
}

}  // namespace velm::test
