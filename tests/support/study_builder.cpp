#include "support/study_builder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>

#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "records/study_names.h"

namespace velm::test {

namespace {

// Header values the builder sets in every model file (positions 1-based).
constexpr int HEADER_MODEL_TYPE = 2;
constexpr int HEADER_SUBAREA_NODE_RULE = 4;  // tenths digit 2: a subarea is numbered by its initial link's upstream node
constexpr int HEADER_EXTENSION_SWITCH = 7;
constexpr int HEADER_GIS_UPDATE_OPTION = 9;  // last digit 9: subareas, links and nodes
constexpr int HEADER_RETURN_FREQUENCY = 12;
constexpr float SUBAREA_NODE_RULE_VALUE = 1.2f;
constexpr float GIS_UPDATE_ALL = 9.0f;

constexpr float INCHES_PER_FOOT = 12.0f;
constexpr float MIN_LAND_USE_AREA = 0.005f;  // acres: a smaller cell is not in use
constexpr float SUBAREA_NUMBER_SCALE = 1000000.0f;
constexpr int LAND_USE_CELLS_IN_MODEL = 6;

// Process codes the builder gives its links.
constexpr int INITIAL_SUBAREA_CODE = 21;
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

float round_half_away(double value) { return static_cast<float>(value < 0 ? -std::floor(-value + 0.5) : std::floor(value + 0.5)); }

bool is_initial_code(int code) { return code == 21 || code == 22; }

// The compact header layout belongs to model types 7 and 8.
bool compact_header(int model_type) { return model_type == 7 || model_type == 8; }

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

std::string storm_event_extension(int storm_event) { return "Z1" + std::to_string(storm_event); }

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

bool has_street(const LinkRecord& link) { return link.curb_height() > 0.0f; }

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
    if (model_type_ < 1 || model_type_ == 10)
        throw std::invalid_argument("the study builder writes model types 1 to 9 only");
}

NodeRecord& StudyBuilder::add_node(float number, float elevation, std::vector<float> peak_flows)
{
    if (std::any_of(nodes_.begin(), nodes_.end(), [&](const NodeRecord& n) { return n.node_number() == number; }))
        throw std::logic_error("node added twice");
    if (static_cast<int>(peak_flows.size()) > storm_events_)
        throw std::logic_error("more peak flows than storm events");
    NodeRecord record;
    record.node_number() = number;
    record.node_elevation() = elevation;
    for (std::size_t event = 0; event < peak_flows.size(); ++event)
        record.peak_flow_rate(static_cast<int>(event) + 1) = peak_flows[event];
    nodes_.push_back(std::move(record));
    return nodes_.back();
}

// The columns every link takes from its nodes: elevations, slope and the
// peak flows at both ends.
static LinkRecord link_between(const NodeRecord& upstream, const NodeRecord& downstream, float length,
                               int process_code, int storm_events)
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

LinkRecord& StudyBuilder::add_initial_link(float headwater_node, float downstream_node, float flow_path_length)
{
    links_.push_back(
        link_between(node(headwater_node), node(downstream_node), flow_path_length, INITIAL_SUBAREA_CODE, storm_events_));
    return links_.back();
}

LinkRecord& StudyBuilder::add_link(float upstream_node, float downstream_node, float length, const Element& element,
                                   const std::optional<StreetSection>& street)
{
    int code = SIZED_CONDUIT_CODE;
    switch (element.type) {
        case ElementType::NoElement: code = street ? STREET_CODE : SIZED_CONDUIT_CODE; break;
        case ElementType::Pipe: code = street ? PIPE_UNDER_STREET_CODE : PIPE_CODE; break;
        case ElementType::Box: code = BOX_CODE; break;
        case ElementType::Channel: code = CHANNEL_CODE; break;
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
    links_.push_back(std::move(link));
    return links_.back();
}

SubareaRecord& StudyBuilder::add_subarea(float number, float area, SubareaEntry entry, float land_use, float soil)
{
    if (std::any_of(subareas_.begin(), subareas_.end(),
                    [&](const SubareaRecord& s) { return s.subarea_number() == number; }))
        throw std::logic_error("subarea added twice");
    SubareaRecord record;
    record.subarea_number() = number;
    record.cell_land_use(1) = land_use;
    record.cell_soil(1) = soil;
    record.cell_area(1) = area;
    switch (model_type_) {  // a rainfall value inside the range the subarea checks accept
        case 5: record.column(3) = 12.0f; break;
        case 6: record.column(3) = 3.0f; break;
        case 9: record.column(6) = 2.0f; break;
        default: break;
    }
    subareas_.push_back(std::move(record));
    subarea_entries_.push_back(entry);
    return subareas_.back();
}

NodeRecord& StudyBuilder::node(float number)
{
    for (NodeRecord& n : nodes_)
        if (n.node_number() == number) return n;
    throw std::out_of_range("no node " + std::to_string(number));
}

LinkRecord& StudyBuilder::link(float upstream_node, float downstream_node)
{
    for (LinkRecord& l : links_)
        if (l.upstream_node() == upstream_node && l.downstream_node() == downstream_node) return l;
    throw std::out_of_range("no link " + std::to_string(upstream_node) + " - " + std::to_string(downstream_node));
}

SubareaRecord& StudyBuilder::subarea(float number)
{
    for (SubareaRecord& s : subareas_)
        if (s.subarea_number() == number) return s;
    throw std::out_of_range("no subarea " + std::to_string(number));
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

void StudyBuilder::set_seam_text(float node, std::string text) { seam_texts_.emplace_back(node, std::move(text)); }

void StudyBuilder::set_controls(const ControlParameters& parameters, const HglControlTable& controls)
{
    controls_ = parameters;
    hgl_controls_ = controls;
    write_control_file_ = true;
}

void StudyBuilder::set_data_directory(std::string first_line) { data_directory_line_ = std::move(first_line); }

void StudyBuilder::omit_file(std::string_view name) { omitted_.push_back(upper(name)); }


// ------------------------------------------------------------------ subareas

namespace {

int first_link(const std::vector<LinkRecord>& links, const std::function<bool(const LinkRecord&)>& match)
{
    for (std::size_t i = 0; i < links.size(); ++i)
        if (match(links[i])) return static_cast<int>(i);
    return -1;
}

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

}  // namespace

// A fixture that asks for an entry its network cannot give is a mistake of
// the test: std::logic_error at once, naming the subarea.
std::vector<StudyBuilder::SubareaPlan> StudyBuilder::plan_subareas() const
{
    std::vector<SubareaPlan> plans;
    std::set<int> carriers;
    for (std::size_t s = 0; s < subareas_.size(); ++s) {
        const float number = subareas_[s].subarea_number();
        const std::string name = "subarea " + std::to_string(number);
        SubareaPlan plan;
        plan.entry = subarea_entries_[s];
        plan.map_number = map_number_of(number);
        const int initial = first_link(links_, [&](const LinkRecord& l) {
            return is_initial_code(l.process_code()) && l.upstream_node() == number;
        });
        if (plan.entry == SubareaEntry::Automatic)
            plan.entry = initial >= 0 ? SubareaEntry::Initial : SubareaEntry::AtNode;
        if (plan.entry == SubareaEntry::Initial) {
            if (initial < 0) throw std::logic_error("no initial link starts at " + name);
            plan.carrier_link = initial;
        } else if (plan.entry == SubareaEntry::AlongLink) {
            plan.carrier_link = first_link(links_, [&](const LinkRecord& l) {
                return l.downstream_node() == number && !is_initial_code(l.process_code()) &&
                       carries_subarea(l, model_type_);
            });
            if (plan.carrier_link < 0) throw std::logic_error("no link with a subarea part ends at " + name);
        }
        if (plan.carrier_link >= 0) {
            if (!carriers.insert(plan.carrier_link).second) throw std::logic_error("a second subarea on the link of " + name);
            plan.map_number = links_[static_cast<std::size_t>(plan.carrier_link)].map_number();
        }
        plans.push_back(plan);
    }
    return plans;
}

std::vector<int> StudyBuilder::map_numbers() const
{
    std::set<int> maps;
    for (const NodeRecord& n : nodes_) maps.insert(map_number_of(n.node_number()));
    for (const LinkRecord& l : links_) maps.insert(l.map_number());
    for (const SubareaPlan& plan : plan_subareas()) maps.insert(plan.map_number);
    return {maps.begin(), maps.end()};
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
        const std::size_t at = static_cast<std::size_t>(position + 3 * taken);  // 0-based: the cell after packed_subarea
        values.at(at) = cell.land_use;
        values.at(at + 1) = cell.soil;
        values.at(at + 2) = cell.area;
        ++taken;
    }
    values.at(static_cast<std::size_t>(position - 1)) =
        static_cast<float>(taken) + subarea.subarea_number() / SUBAREA_NUMBER_SCALE;
}

// What a walk over one map's network meets, in model file order.
struct WalkVisitor {
    std::function<void(int link)> link;
    std::function<void(float node, int stream, int streams)> confluence;
    std::function<void(float node)> seam_in;
    std::function<void(float node, int leaving_link)> outlet;  // leaving_link -1 at the study outlet
    std::function<void(float node)> subareas_at;
};

// The walk of one map: from each outlet of the map (in the order of the
// first link that reaches it) up every entering stream, depth first, so that
// a stream is complete before the confluence group that joins it.
class MapWalk {
public:
    MapWalk(const std::vector<LinkRecord>& links, int map_number) : links_(links), map_(map_number)
    {
        for (std::size_t i = 0; i < links.size(); ++i) {
            const int index = static_cast<int>(i);
            if (links[i].map_number() == map_) {
                map_links_.push_back(index);
                incoming_[links[i].downstream_node()].push_back(index);
            } else {
                incoming_elsewhere_.insert(links[i].downstream_node());
            }
            outgoing_.emplace(links[i].upstream_node(), index);
        }
    }

    void walk(const WalkVisitor& visit)
    {
        for (int i : map_links_) {
            const float outlet = at(i).downstream_node();
            const auto out = outgoing_.find(outlet);
            const bool continues_in_map = out != outgoing_.end() && at(out->second).map_number() == map_;
            if (continues_in_map || done_.count(i)) continue;
            node(outlet, visit);
            visit.outlet(outlet, out == outgoing_.end() ? -1 : out->second);
        }
        for (int i : map_links_)  // links on a loop reach no outlet
            if (done_.insert(i).second) visit.link(i);
    }

private:
    const LinkRecord& at(int i) const { return links_[static_cast<std::size_t>(i)]; }

    void node(float number, const WalkVisitor& visit)
    {
        const auto in = incoming_.find(number);
        if (in == incoming_.end()) {
            if (incoming_elsewhere_.count(number)) visit.seam_in(number);
        } else {
            const int streams = static_cast<int>(in->second.size());
            for (int stream = 1; stream <= streams; ++stream) {
                const int i = in->second[static_cast<std::size_t>(stream - 1)];
                if (!done_.insert(i).second) continue;
                node(at(i).upstream_node(), visit);
                visit.link(i);
                if (streams > 1) visit.confluence(number, stream, streams);
            }
        }
        visit.subareas_at(number);
    }

    const std::vector<LinkRecord>& links_;
    int map_;
    std::vector<int> map_links_;
    std::map<float, std::vector<int>> incoming_;
    std::set<float> incoming_elsewhere_;
    std::multimap<float, int> outgoing_;
    std::set<int> done_;
};

}  // namespace

ModelFile StudyBuilder::model_file(int map_number, int storm_event) const
{
    if (storm_event < 1 || storm_event > storm_events_) throw std::out_of_range("no such storm event in the study");
    const std::vector<SubareaPlan> plans = plan_subareas();
    std::map<int, std::size_t> carried;  // link index -> subarea index
    for (std::size_t s = 0; s < plans.size(); ++s)
        if (plans[s].carrier_link >= 0) carried.emplace(plans[s].carrier_link, s);

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

    // The street sections of the map's links, each once, in link order.
    std::vector<StreetSection> streets;
    for (const LinkRecord& l : links_) {
        if (l.map_number() != map_number || !has_street(l)) continue;
        const StreetSection street = street_of(l);
        if (std::find(streets.begin(), streets.end(), street) == streets.end()) streets.push_back(street);
    }
    if (static_cast<int>(streets.size()) > MAX_STREET_SECTIONS) throw std::logic_error("more than 50 street sections in a map");
    file.header.set_street_section_count(static_cast<int>(streets.size()));
    for (std::size_t k = 0; k < streets.size(); ++k) file.header.set_street_section(static_cast<int>(k) + 1, street_row(streets[k]));
    for (const auto& [position, value] : header_values_) file.header.set_value(position, value);

    auto link_group = [&](int index) {
        const LinkRecord& l = links_[static_cast<std::size_t>(index)];
        ModelGroup group{l.upstream_node(), l.downstream_node(), static_cast<float>(l.process_code()), {}, {}};
        const std::optional<GroupLayout> layout = group_layout(group.code_value, model_type_, extension_switch);
        if (!layout || layout->data_count < 0) throw std::logic_error("a link of a process code the builder cannot lay out");
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
                case 36: case 46:  // boxes: base width, then height (ft)
                    set(5, l.element_base_width());
                    set(6, l.element_height());
                    break;
                case 34: case 37: case 47:  // height, then base width (ft)
                    set(5, l.element_height());
                    set(6, l.element_base_width());
                    break;
                default:  // pipes: diameter (in), number of pipes
                    set(5, l.element_height() * INCHES_PER_FOOT);
                    set(6, l.element_base_width());
                    break;
            }
        } else if (layout->element_count == 7) {  // open channels: channel depth holds the freeboard
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
        const auto subarea = carried.find(index);
        if (layout->packed_subarea_position > 0 && subarea != carried.end())
            write_subarea_part(v, layout->packed_subarea_position, subareas_[subarea->second], model_type_);
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
    auto add_subareas_at = [&](std::optional<float> node) {
        const GroupLayout layout = *group_layout(SUBAREA_ADDITION_CODE, model_type_, extension_switch);
        for (std::size_t s = 0; s < subareas_.size(); ++s) {
            const float number = subareas_[s].subarea_number();
            if (plans[s].entry != SubareaEntry::AtNode || plans[s].map_number != map_number) continue;
            if ((node && number != *node) || !added.insert(s).second) continue;
            ModelGroup group{number, number, SUBAREA_ADDITION_CODE, {}, {}};
            group.values.assign(static_cast<std::size_t>(layout.data_count), 0.0f);
            write_subarea_part(group.values, layout.packed_subarea_position, subareas_[s], model_type_);
            file.groups.push_back(std::move(group));
        }
    };

    WalkVisitor visit;
    visit.link = [&](int index) { file.groups.push_back(link_group(index)); };
    visit.confluence = [&](float node, int stream, int streams) {
        file.groups.push_back({node, node, CONFLUENCE_CODE, {static_cast<float>(stream), static_cast<float>(streams)}, {}});
    };
    visit.seam_in = [&](float node) { file.groups.push_back(seam_group(SEAM_IN_CODE, node, map_number_of(node))); };
    visit.outlet = [&](float node, int leaving_link) {
        if (leaving_link >= 0)
            file.groups.push_back(
                seam_group(SEAM_OUT_CODE, node, links_[static_cast<std::size_t>(leaving_link)].map_number()));
    };
    visit.subareas_at = [&](float node) { add_subareas_at(node); };
    MapWalk(links_, map_number).walk(visit);
    add_subareas_at(std::nullopt);  // subareas at a node that no stream of the map reaches

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

std::string gis_stem(std::string_view study_id, float number, int model_type)
{
    const std::string name = gis_file_name(study_id, number, model_type, GisFileKind::Node);
    return name.substr(0, name.find('.'));
}

GisNodeRecord gis_node(float number, float elevation)
{
    GisNodeRecord record;
    record.node_number() = number;
    record.node_elevation() = elevation;
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

GisLinkRecord gis_link(const LinkRecord& link)
{
    GisLinkRecord record;
    record.upstream_node() = link.upstream_node();
    record.downstream_node() = link.downstream_node();
    record.link_length() = link.link_length();
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
    record.street_friction_factor() = link.street_friction_factor();
    record.element_type() = link.element_type();
    record.element_height() = link.element_height();
    record.element_base_width() = link.element_base_width();
    record.element_side_slope() = link.element_side_slope();
    record.element_friction_factor() = link.element_friction_factor();
    record.processed_stamp() = stamp_value(GisFileStamp::Unprocessed);
    return record;
}

GisSubareaRecord gis_subarea(const SubareaRecord& subarea, int model_type)
{
    GisSubareaRecord record;
    record.subarea_number() = subarea.subarea_number();
    const int first_parameter_column = model_type == 5 ? 93 : model_type == 6 ? 94 : 3;
    const std::array<int, 6> parameter_columns{first_parameter_column, 5, 6, 8, 9, 11};
    for (int i = 1; i <= 6; ++i) {
        float value = subarea.column(parameter_columns[static_cast<std::size_t>(i - 1)]);
        if (i >= 5 && value > 10.0f) value = value / 10.0f;  // columns 9 and 11
        record.subarea_parameter(i) = std::max(value, 0.0f);
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
    std::set<std::string> stems;
    for (const NodeRecord& n : nodes_) stems.insert(gis_stem(study_id_, n.node_number(), model_type_));
    for (const LinkRecord& l : links_) stems.insert(gis_stem(study_id_, l.downstream_node(), model_type_));
    for (const SubareaRecord& s : subareas_) stems.insert(gis_stem(study_id_, s.subarea_number(), model_type_));
    return {stems.begin(), stems.end()};
}

// The nodes of the map or region, then the upstream node of each of its
// links that lies in another file; links by their downstream node,
// subareas by their number; all in the order they were added.
GisFiles StudyBuilder::gis_files(std::string_view file_stem) const
{
    auto in_file = [&](float number) { return gis_stem(study_id_, number, model_type_) == file_stem; };
    GisFiles files;
    for (const NodeRecord& n : nodes_)
        if (in_file(n.node_number())) files.nodes.push_back(gis_node(n.node_number(), n.node_elevation()));
    for (const LinkRecord& l : links_)
        if (in_file(l.downstream_node())) files.links.push_back(gis_link(l));
    for (const LinkRecord& l : links_)
        if (in_file(l.downstream_node()) && !in_file(l.upstream_node()))
            files.nodes.push_back(gis_node(l.upstream_node(), l.upstream_elevation()));
    for (const SubareaRecord& s : subareas_)
        if (in_file(s.subarea_number())) files.subareas.push_back(gis_subarea(s, model_type_));
    for (const GisFilesEdit& edit : gis_file_edits_) edit(std::string(file_stem), files);
    return files;
}

// ------------------------------------------------------------------ model lists

std::vector<ModelListEntry> StudyBuilder::model_list_entries(int storm_event) const
{
    std::vector<ModelListEntry> entries;
    for (int map : map_numbers())
        entries.push_back(make_model_list_entry(model_file_name(data_file_stem(study_id_, map), storm_event_extension(storm_event))));
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
    if (const auto set = model_results_.find(map_number); set != model_results_.end()) return set->second;

    // Time of concentration at a node: the latest arrival of its incoming links.
    std::map<float, float> tc_at;
    std::function<float(float, int)> tc_of = [&](float node, int depth) -> float {
        if (const auto known = tc_at.find(node); known != tc_at.end()) return known->second;
        if (depth > static_cast<int>(links_.size())) throw std::logic_error("the links make a loop");
        float tc = 0.0f;
        for (const LinkRecord& l : links_) {
            if (l.downstream_node() != node) continue;
            float arrival = 0.0f;
            if (is_initial_code(l.process_code())) {
                for (const SubareaRecord& s : subareas_)
                    if (s.subarea_number() == l.upstream_node()) arrival = s.time_of_concentration(1);
            } else {
                arrival = tc_of(l.upstream_node(), depth + 1) + l.link_travel_time(1);
            }
            tc = std::max(tc, arrival);
        }
        tc_at[node] = tc;
        return tc;
    };

    const std::vector<SubareaPlan> plans = plan_subareas();
    std::vector<ModelResultsGroup> groups;
    for (std::size_t i = 0; i < links_.size(); ++i) {
        const LinkRecord& l = links_[i];
        if (l.map_number() != map_number) continue;
        ModelResultsGroup group;
        group.upstream_node = l.upstream_node();
        group.downstream_node = l.downstream_node();
        group.process_code = l.process_code();
        group.downstream_time_of_concentration = tc_of(l.downstream_node(), 0);
        for (std::size_t s = 0; s < subareas_.size(); ++s)
            if (plans[s].carrier_link == static_cast<int>(i)) group.subarea_added_area += subareas_[s].area();
        for (const NodeRecord& n : nodes_)
            if (n.node_number() == l.downstream_node()) group.total_tributary_area = n.total_tributary_area();
        group.travel_time = l.link_travel_time(1);
        groups.push_back(group);
    }
    return groups;
}

// ------------------------------------------------------------------ files

std::vector<StudyBuilder::OutputFile> StudyBuilder::output_files() const
{
    std::vector<OutputFile> files;
    const std::string list_name = model_list_file_name(study_id_);
    for (int event = 1; event <= storm_events_; ++event)
        files.push_back({replace_file_extension(list_name, storm_event_extension(event)),
                         [this, event](const std::string& path) { write_model_list_file(path, model_list_entries(event)); }});
    if (write_control_file_)
        files.push_back({control_file_name(study_id_), [this](const std::string& path) {
                             write_text_lines(path, control_file_lines(path, controls_, hgl_controls_));
                         }});

    const std::vector<SubareaPlan> plans = plan_subareas();
    std::set<int> link_files_written;  // model type 9 keeps one link data base per region
    for (int map : map_numbers()) {
        const int link_file_map = model_type_ == 9 ? region_map_number(map) : map;
        if (link_files_written.insert(link_file_map).second) {
            files.push_back({link_data_base_name(study_id_, link_file_map), [this, link_file_map](const std::string& path) {
                                 std::vector<LinkRecord> records;
                                 for (const LinkRecord& l : links_) {
                                     const int map_of_link = l.map_number();
                                     if ((model_type_ == 9 ? region_map_number(map_of_link) : map_of_link) == link_file_map)
                                         records.push_back(l);
                                 }
                                 write_link_data_base(path, records);
                             }});
        }
        files.push_back({node_data_base_name(study_id_, map), [this, map](const std::string& path) {
                             std::vector<NodeRecord> records;
                             for (const NodeRecord& n : nodes_)
                                 if (map_number_of(n.node_number()) == map) records.push_back(n);
                             write_node_data_base(path, records);
                         }});
        files.push_back({subarea_data_base_name(study_id_, map), [this, map, plans](const std::string& path) {
                             std::vector<SubareaRecord> records;
                             for (std::size_t s = 0; s < subareas_.size(); ++s)
                                 if (plans[s].map_number == map) records.push_back(subareas_[s]);
                             write_subarea_data_base(path, records);
                         }});
        for (int event = 1; event <= storm_events_; ++event)
            files.push_back({model_file_name(data_file_stem(study_id_, map), storm_event_extension(event)),
                             [this, map, event](const std::string& path) { write_model_file(path, model_file(map, event)); }});
        files.push_back({model_results_file_name(data_file_stem(study_id_, map)),
                         [this, map](const std::string& path) { write_model_results_file(path, model_results(map)); }});
    }
    for (const std::string& stem : gis_file_stems()) {
        files.push_back({stem + ".ZZN", [this, stem](const std::string& path) { write_gis_node_file(path, gis_files(stem).nodes); }});
        files.push_back({stem + ".ZZL", [this, stem](const std::string& path) { write_gis_link_file(path, gis_files(stem).links); }});
        files.push_back(
            {stem + ".ZZS", [this, stem](const std::string& path) { write_gis_subarea_file(path, gis_files(stem).subareas); }});
    }
    return files;
}

bool StudyBuilder::omitted(std::string_view name) const
{
    return std::find(omitted_.begin(), omitted_.end(), upper(name)) != omitted_.end();
}

std::string StudyBuilder::data_directory_file_name() const { return study_id_ + "MPDZZ.ZZZ"; }

std::vector<std::string> StudyBuilder::file_names() const
{
    std::vector<std::string> names;
    if (data_directory_line_ && !omitted(data_directory_file_name())) names.push_back(data_directory_file_name());
    for (const OutputFile& file : output_files())
        if (!omitted(file.name)) names.push_back(file.name);
    return names;
}

void StudyBuilder::write(const std::filesystem::path& directory) const
{
    std::filesystem::path data_directory = directory;
    if (data_directory_line_) {
        if (!omitted(data_directory_file_name()))
            write_text_lines((directory / data_directory_file_name()).string(), {*data_directory_line_});
        data_directory /= directory_prefix(*data_directory_line_);
        std::filesystem::create_directories(data_directory);
    }
    for (const OutputFile& file : output_files())
        if (!omitted(file.name)) file.write((data_directory / file.name).string());
}

}  // namespace velm::test
