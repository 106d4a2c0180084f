// Writes the bundled sample study "SA" into a directory:
//   make_sample_study <directory>
//
// A storm-drain network of four maps of a Los Angeles County style hydrology
// (model type 6, the rational method with one data base per map and GIS
// files per region), for a 10-year and a 25-year storm:
//   map 2204  Eastern Hills: two initial subareas and pipes, draining west
//             into map 2303 across the region boundary;
//   map 2301  Upper Canyon: hillside streets and pipes, into map 2302;
//   map 2302  Valley Commercial: pipes under streets, an 84-inch trunk
//             laid for a larger development upstream, reinforced boxes;
//   map 2303  Lower Plain: an open trapezoidal channel to the study outlet.
// Elevations fall toward the outlet, node numbers grow downstream, every
// headwater starts with its initial subarea, and confluences join two or
// three streams.  Several pipes are too small for their peak flows.
//
// Peak flows grow with the tributary area (a rational-method unit runoff
// damped for larger areas), and each link's travel time follows from a
// typical velocity of its element, so the data bases read like those of a
// finished hydrology study.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sizing/deficiency_pass.h"
#include "sizing/element_hydraulics.h"
#include "support/study_builder.h"

namespace {

using velm::test::Element;
using velm::test::StreetSection;
using velm::test::StudyBuilder;
using velm::test::SubareaEntry;

enum class Kind { Initial, Pipe, Box, Channel, Street, PipeUnderStreet };

struct SampleNode {
    float number;
    float elevation;  // ft
};

struct SampleLink {
    float upstream;
    float downstream;
    float length;  // ft
    Kind kind;
    float height = 0.0f;  // ft: pipe diameter, box height, channel depth
    float width = 0.0f;   // ft: box or channel base width
};

struct SampleSubarea {
    float number;  // the node where it enters (an initial subarea: its headwater)
    float area;    // acres
    float land_use;
    float soil;
    SubareaEntry entry = SubareaEntry::Automatic;
};

const std::vector<SampleNode> NODES = {
    // Map 2204, Eastern Hills.
    {220401.0f, 340.0f},
    {220402.0f, 330.0f},
    {220403.0f, 332.0f},
    {220404.0f, 318.0f},
    {220405.0f, 322.0f},
    {220406.0f, 306.0f},
    // Map 2301, Upper Canyon.
    {230101.0f, 430.0f},
    {230102.0f, 418.0f},
    {230103.0f, 404.0f},
    {230104.0f, 424.0f},
    {230105.0f, 410.0f},
    {230106.0f, 395.0f},
    {230107.0f, 400.0f},
    {230108.0f, 384.0f},
    {230109.0f, 396.0f},
    {230110.0f, 386.0f},
    {230111.0f, 372.0f},
    {230112.0f, 380.0f},
    {230113.0f, 362.0f},
    // Map 2302, Valley Commercial.
    {230201.0f, 354.0f},
    {230202.0f, 372.0f},
    {230203.0f, 362.0f},
    {230204.0f, 346.0f},
    {230205.0f, 360.0f},
    {230206.0f, 350.0f},
    {230207.0f, 336.0f},
    {230208.0f, 346.0f},
    {230209.0f, 338.0f},
    {230210.0f, 326.0f},
    {230211.0f, 336.0f},
    {230212.0f, 328.0f},
    {230213.0f, 316.0f},
    // Map 2303, Lower Plain.
    {230301.0f, 308.0f},
    {230302.0f, 322.0f},
    {230303.0f, 312.0f},
    {230304.0f, 298.0f},
    {230305.0f, 310.0f},
    {230306.0f, 302.0f},
    {230307.0f, 288.0f},
    {230308.0f, 300.0f},
    {230309.0f, 291.0f},
    {230310.0f, 278.0f},
    {230311.0f, 286.0f},
    {230312.0f, 268.0f},
    {230313.0f, 276.0f},
    {230314.0f, 258.0f},
    {230315.0f, 250.0f},
};

const std::vector<SampleLink> LINKS = {
    // Map 2204.
    {220401.0f, 220402.0f, 500.0f, Kind::Initial},
    {220402.0f, 220404.0f, 600.0f, Kind::Pipe, 1.5f},
    {220403.0f, 220404.0f, 450.0f, Kind::Initial},
    {220404.0f, 220406.0f, 800.0f, Kind::Pipe, 2.0f},
    {220405.0f, 220406.0f, 500.0f, Kind::Initial},
    // Map 2301.
    {230101.0f, 230102.0f, 600.0f, Kind::Initial},
    {230102.0f, 230103.0f, 700.0f, Kind::Street},
    {230103.0f, 230106.0f, 500.0f, Kind::Pipe, 1.5f},
    {230104.0f, 230105.0f, 500.0f, Kind::Initial},
    {230105.0f, 230106.0f, 600.0f, Kind::Pipe, 1.5f},
    {230106.0f, 230108.0f, 800.0f, Kind::Pipe, 2.0f},
    {230107.0f, 230108.0f, 450.0f, Kind::Initial},
    {230108.0f, 230111.0f, 700.0f, Kind::Pipe, 3.0f},
    {230109.0f, 230110.0f, 550.0f, Kind::Initial},
    {230110.0f, 230111.0f, 600.0f, Kind::Street},
    {230111.0f, 230113.0f, 900.0f, Kind::Pipe, 3.5f},
    {230112.0f, 230113.0f, 400.0f, Kind::Initial},
    // Map 2302.
    {230113.0f, 230201.0f, 800.0f, Kind::Pipe, 3.5f},
    {230201.0f, 230204.0f, 900.0f, Kind::Pipe, 7.0f},  // the 84-inch trunk
    {230202.0f, 230203.0f, 500.0f, Kind::Initial},
    {230203.0f, 230204.0f, 700.0f, Kind::PipeUnderStreet, 2.0f},
    {230204.0f, 230207.0f, 1000.0f, Kind::Box, 3.0f, 5.0f},
    {230205.0f, 230206.0f, 600.0f, Kind::Initial},
    {230206.0f, 230207.0f, 800.0f, Kind::PipeUnderStreet, 1.5f},
    {230207.0f, 230210.0f, 1100.0f, Kind::Box, 4.0f, 5.0f},
    {230208.0f, 230209.0f, 500.0f, Kind::Initial},
    {230209.0f, 230210.0f, 700.0f, Kind::Street},
    {230210.0f, 230213.0f, 1200.0f, Kind::Box, 3.0f, 4.0f},
    {230211.0f, 230212.0f, 450.0f, Kind::Initial},
    {230212.0f, 230213.0f, 600.0f, Kind::Pipe, 1.5f},
    // Map 2303.
    {230213.0f, 230301.0f, 1000.0f, Kind::Box, 4.0f, 6.0f},
    {230301.0f, 230304.0f, 1500.0f, Kind::Channel, 4.0f, 6.0f},
    {230302.0f, 230303.0f, 600.0f, Kind::Initial},
    {230303.0f, 230304.0f, 900.0f, Kind::Pipe, 1.5f},
    {230304.0f, 230307.0f, 1600.0f, Kind::Channel, 4.0f, 8.0f},
    {230305.0f, 230306.0f, 500.0f, Kind::Initial},
    {230306.0f, 230307.0f, 800.0f, Kind::Street},
    {230307.0f, 230310.0f, 1800.0f, Kind::Channel, 4.5f, 8.0f},
    {230308.0f, 230309.0f, 550.0f, Kind::Initial},
    {230309.0f, 230310.0f, 700.0f, Kind::Pipe, 1.5f},
    {220406.0f, 230310.0f, 900.0f, Kind::Pipe, 2.0f},
    {230310.0f, 230312.0f, 2000.0f, Kind::Channel, 5.0f, 8.0f},
    {230311.0f, 230312.0f, 600.0f, Kind::Initial},
    {230312.0f, 230314.0f, 2000.0f, Kind::Channel, 5.0f, 8.0f},
    {230313.0f, 230314.0f, 500.0f, Kind::Initial},
    {230314.0f, 230315.0f, 1500.0f, Kind::Channel, 5.0f, 10.0f},
};

// Land use 1 residential, 5 commercial, 9 open space; LA County soil numbers.
const std::vector<SampleSubarea> SUBAREAS = {
    // Initial subareas, numbered by their headwater node.
    {220401.0f, 8.2f, 1.0f, 15.0f},
    {220403.0f, 6.5f, 1.0f, 15.0f},
    {220405.0f, 7.1f, 9.0f, 16.0f},
    {230101.0f, 9.4f, 1.0f, 13.0f},
    {230104.0f, 7.8f, 1.0f, 13.0f},
    {230107.0f, 6.9f, 9.0f, 13.0f},
    {230109.0f, 8.8f, 1.0f, 14.0f},
    {230112.0f, 5.6f, 1.0f, 14.0f},
    {230202.0f, 6.3f, 5.0f, 17.0f},
    {230205.0f, 7.4f, 5.0f, 17.0f},
    {230208.0f, 5.9f, 5.0f, 17.0f},
    {230211.0f, 6.1f, 1.0f, 17.0f},
    {230302.0f, 9.8f, 1.0f, 20.0f},
    {230305.0f, 8.6f, 1.0f, 20.0f},
    {230308.0f, 7.7f, 5.0f, 20.0f},
    {230311.0f, 10.4f, 9.0f, 21.0f},
    {230313.0f, 9.1f, 1.0f, 21.0f},
    // Subareas entering along a street, pipe under street or channel.
    {230103.0f, 12.4f, 1.0f, 13.0f},
    {230111.0f, 14.2f, 1.0f, 14.0f},
    {230204.0f, 11.6f, 5.0f, 17.0f, SubareaEntry::AlongLink},
    {230207.0f, 10.8f, 5.0f, 17.0f, SubareaEntry::AlongLink},
    {230210.0f, 9.5f, 5.0f, 17.0f},
    {230304.0f, 18.3f, 1.0f, 20.0f, SubareaEntry::AlongLink},
    {230307.0f, 16.7f, 1.0f, 20.0f, SubareaEntry::AlongLink},
    {230312.0f, 21.5f, 9.0f, 21.0f, SubareaEntry::AlongLink},
    // Subareas added at a node.
    {220404.0f, 9.6f, 1.0f, 15.0f},
    {230106.0f, 11.2f, 1.0f, 13.0f},
    {230108.0f, 10.1f, 1.0f, 14.0f},
    {230113.0f, 8.7f, 1.0f, 14.0f},
    {230201.0f, 12.9f, 5.0f, 17.0f},
    {230213.0f, 13.4f, 1.0f, 17.0f},
    {230310.0f, 15.6f, 1.0f, 21.0f},
    {230315.0f, 12.2f, 9.0f, 21.0f},
};

constexpr int STORM_EVENTS = 2;
constexpr float RETURN_FREQUENCIES[STORM_EVENTS] = {10.0f, 25.0f};  // years
constexpr float UNIT_RUNOFF[STORM_EVENTS] = {1.15f, 1.55f};         // cfs per acre of a small area
constexpr float AREA_DAMPING = 0.92f;  // peak flow grows with area^0.92 as the time of concentration grows

// Typical velocities for the travel times (ft/s).
float typical_velocity(Kind kind)
{
    switch (kind) {
        case Kind::Initial:
            return 1.5f;
        case Kind::Street:
            return 3.0f;
        case Kind::Channel:
            return 7.0f;
        default:
            return 6.0f;
    }
}

// Links whose model group carries a subarea part that the cross-check reads
// in model type 6, and the first such link ending at a node: the one that
// takes a subarea entering along it.
bool carries_subarea(Kind kind)
{
    return kind == Kind::PipeUnderStreet || kind == Kind::Channel;
}

const SampleLink* first_carrier(float node)
{
    for (const SampleLink& l : LINKS)
        if (l.downstream == node && carries_subarea(l.kind)) return &l;
    return nullptr;
}

// The flow depth at the curb (ft) at which a link's street carries `flow`
// (cfs) at the link's slope, as the hydrology reports it: to the hundredth of
// a foot above, and at least the depth of the full gutter, which fills
// before the flow spreads over the lanes.  No flow, no depth.
float street_flow_depth(const velm::LinkRecord& link, float flow)
{
    if (flow <= 0.0f) return 0.0f;
    velm::StreetSection street = velm::street_section_of(link, velm::DEFAULT_PARKWAY_MANNING_N);
    const float slope = (link.upstream_elevation() - link.downstream_elevation()) / link.link_length();
    float low = 0.0f;
    float high = 5.0f;  // ft, far above any curb
    for (int i = 0; i < 40; ++i) {
        const float depth = (low + high) / 2.0f;
        if (velm::compute_street_capacity(street, slope, depth) < flow)
            low = depth;
        else
            high = depth;
    }
    const float full_gutter = link.gutter_lip() + link.gutter_hike();
    return std::max(std::ceil(high * 100.0f) / 100.0f, std::ceil(full_gutter * 100.0f) / 100.0f);
}

// The flow a street carries over a pipe that runs full at the link's slope.
float flow_over_pipe(const velm::LinkRecord& link, float flow)
{
    float slope = (link.upstream_elevation() - link.downstream_elevation()) / link.link_length();
    return flow - velm::compute_pipe_full_capacity(
                      velm::CircularPipe{link.element_height(), link.element_friction_factor()}, slope);
}

// A user-recommended element, as the link review stores it.
struct UserElement {
    float upstream;
    float downstream;
    float height;  // ft
};
const UserElement USER_PARALLEL_PIPE{230206.0f, 230207.0f, 1.5f};

const StreetSection RESIDENTIAL_STREET{};  // 8-inch curb, 40-ft curb to curb
const StreetSection COMMERCIAL_STREET{0.667f, 32.0f, 0.1667f, 2.0f, 0.125f, 30.0f, 0.02f, 0.025f, 0.02f, 2, 0.015f};

StudyBuilder sample_study()
{
    StudyBuilder study("SA", 6, STORM_EVENTS);
    for (int event = 1; event <= STORM_EVENTS; ++event)
        study.set_storm_return_frequency(event, RETURN_FREQUENCIES[event - 1]);

    // The tributary area at each node: every subarea counts at the node it
    // enters, an initial subarea at the downstream end of its link.
    std::map<float, float> entering;
    for (const SampleSubarea& s : SUBAREAS) {
        float at = s.number;
        for (const SampleLink& l : LINKS)
            if (l.kind == Kind::Initial && l.upstream == s.number) at = l.downstream;
        entering[at] += s.area;
    }
    std::map<float, float> tributary;
    for (const SampleNode& n : NODES) {  // node numbers grow downstream: upstream nodes come first
        float area = entering[n.number];
        for (const SampleLink& l : LINKS)
            if (l.downstream == n.number) area += tributary[l.upstream];
        tributary[n.number] = area;
    }

    auto peak_flow = [](float area, int event) {
        return area > 0.0f ? std::round(UNIT_RUNOFF[event - 1] * std::pow(area, AREA_DAMPING) * 10.0f) / 10.0f : 0.0f;
    };
    for (const SampleNode& n : NODES) {
        const float area = tributary[n.number];
        std::vector<float> flows;
        for (int event = 1; event <= STORM_EVENTS; ++event) flows.push_back(peak_flow(area, event));
        velm::NodeRecord& node = study.add_node(n.number, n.elevation, flows);
        node.total_tributary_area() = area;
        // The hydrology's peak flow rates of the node by return frequency,
        // which the node peak-flow editor offers as the recommended rates.
        for (int event = 1; event <= STORM_EVENTS; ++event) node.column(225 + event) = flows[event - 1];
    }

    // The area of the stream a link carries to its downstream node: that of
    // its upstream node and of the subarea entering along it.  At a
    // confluence the node's own peak flow is that of the joined streams.
    auto stream_area = [&](const SampleLink& l) {
        float area = tributary[l.upstream];
        for (const SampleSubarea& s : SUBAREAS) {
            const bool initial = l.kind == Kind::Initial && s.number == l.upstream;
            const bool along = s.entry == SubareaEntry::AlongLink && s.number == l.downstream &&
                               carries_subarea(l.kind) && &l == first_carrier(s.number);
            if (initial || along) area += s.area;
        }
        return area;
    };

    std::map<int, int> links_of_map;
    for (const SampleLink& l : LINKS) {
        velm::LinkRecord* link = nullptr;
        switch (l.kind) {
            case Kind::Initial:
                link = &study.add_initial_link(l.upstream, l.downstream, l.length);
                break;
            case Kind::Pipe:
                link = &study.add_link(l.upstream, l.downstream, l.length, Element::pipe(l.height));
                break;
            case Kind::Box:
                link = &study.add_link(l.upstream, l.downstream, l.length, Element::box(l.height, l.width));
                break;
            case Kind::Channel:
                link = &study.add_link(l.upstream, l.downstream, l.length,
                                       Element::channel(l.height, l.width, 1.5f, 0.025f, 1.0f));
                break;
            case Kind::Street:
                link = &study.add_link(l.upstream, l.downstream, l.length, Element::none(), RESIDENTIAL_STREET);
                break;
            case Kind::PipeUnderStreet:
                link = &study.add_link(l.upstream, l.downstream, l.length, Element::pipe(l.height), COMMERCIAL_STREET);
                break;
        }
        const int map = link->map_number();
        char id[32];
        std::snprintf(id, sizeof id, "SA%04d-%02d", map, ++links_of_map[map]);
        link->link_id() = id;
        for (int event = 1; event <= STORM_EVENTS; ++event)
            link->downstream_peak_flow(event) = peak_flow(stream_area(l), event);
        for (int event = 1; event <= STORM_EVENTS; ++event) {
            const float flow = link->downstream_peak_flow(event);
            if (l.kind == Kind::Street) link->street_flow_depth(event) = street_flow_depth(*link, flow);
            if (l.kind == Kind::PipeUnderStreet)
                link->street_flow_depth(event) = street_flow_depth(*link, flow_over_pipe(*link, flow));
        }
        for (int event = 1; event <= STORM_EVENTS; ++event)
            link->link_travel_time(event) = std::round(l.length / (typical_velocity(l.kind) * 60.0f) * 100.0f) / 100.0f;
        // The engineer's own recommendation for one undersized commercial
        // pipe: a second 18-inch pipe beside it.
        if (l.upstream == USER_PARALLEL_PIPE.upstream && l.downstream == USER_PARALLEL_PIPE.downstream) {
            link->user_element_status() = 2.0f;  // Parallel
            link->user_element_type() = static_cast<int>(velm::ElementType::Pipe);
            link->user_element_height() = USER_PARALLEL_PIPE.height;
            link->user_element_base_width() = 1.0f;  // one pipe
            link->user_element_friction_factor() = 0.013f;
        }
    }

    for (const SampleSubarea& s : SUBAREAS) {
        velm::SubareaRecord& subarea = study.add_subarea(s.number, s.area, s.entry, s.land_use, s.soil);
        for (const SampleLink& l : LINKS)
            if (l.kind == Kind::Initial && l.upstream == s.number)
                for (int event = 1; event <= STORM_EVENTS; ++event)  // a shorter time in the larger storm
                    subarea.time_of_concentration(event) =
                        std::round(5.0f + l.length / 60.0f - 1.5f * static_cast<float>(event));
    }
    study.add_gis_exports();  // so the GIS update (option 7) runs on the sample
    return study;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_study <directory>\n");
        return 2;
    }
    try {
        std::filesystem::create_directories(argv[1]);
        sample_study().write(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample_study: %s\n", error.what());
        return 1;
    }
    return 0;
}
