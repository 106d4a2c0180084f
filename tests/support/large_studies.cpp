#include "support/large_studies.h"

namespace velm::test {

namespace {

// One drainage unit of twelve nodes and up to twelve links: four headwaters
// with their initial subareas, confluences of two and three streams, a
// subarea added at node 8 and one carried by the channel into node 12.
// Node k of the unit is `base` + k.  The stream of the unit upstream enters
// at node 5; across maps that link is a seam.
struct UnitLink {
    int upstream;
    int downstream;
    float length;  // ft
    enum Kind { Initial, Pipe, Street, PipeUnderStreet, Box, Channel } kind;
};
const std::vector<UnitLink> UNIT_LINKS = {
    {1, 2, 500.0f, UnitLink::Initial},
    {3, 4, 450.0f, UnitLink::Initial},
    {2, 5, 600.0f, UnitLink::Pipe},
    {4, 5, 550.0f, UnitLink::Pipe},
    {5, 8, 800.0f, UnitLink::Box},
    {6, 7, 400.0f, UnitLink::Initial},
    {7, 8, 700.0f, UnitLink::Street},
    {9, 10, 500.0f, UnitLink::Initial},
    {10, 11, 650.0f, UnitLink::PipeUnderStreet},
    {8, 11, 900.0f, UnitLink::Box},
    {11, 12, 1000.0f, UnitLink::Channel},
};
constexpr int UNIT_NODES = 12;
constexpr int UNIT_SPACING = 13;  // node numbers between two units of one map
// Ground falls toward each unit's outlet, and by UNIT_FALL ft from unit to unit.
constexpr float UNIT_DROP[UNIT_NODES + 1] = {0, 0, 5, 0, 5, 10, 0, 5, 20, 0, 5, 30, 38};
constexpr float UNIT_FALL = 40.0f;
constexpr float TOP_ELEVATION = 5000.0f;

}  // namespace

StudyBuilder large_study(int model_type, const std::vector<int>& maps, int units_per_map, int units_per_chain)
{
    StudyBuilder study("AB", model_type, 2);
    int position = 0;  // of the unit in its chain
    float upstream_outlet = 0.0f;
    for (const int map : maps) {
        for (int unit = 0; unit < units_per_map; ++unit, ++position) {
            if (position == units_per_chain) position = 0;
            const float base = static_cast<float>(map * 100 + unit * UNIT_SPACING);
            auto node = [base](int k) { return base + static_cast<float>(k); };
            const float top = TOP_ELEVATION - UNIT_FALL * static_cast<float>(position);
            for (int k = 1; k <= UNIT_NODES; ++k) {
                const float flow = 10.0f * static_cast<float>(position + 1) + static_cast<float>(k);
                NodeRecord& record = study.add_node(node(k), top - UNIT_DROP[k], {flow, 1.5f * flow});
                record.total_tributary_area() = 4.0f * flow;
            }
            for (const UnitLink& l : UNIT_LINKS) {
                const float up = node(l.upstream);
                const float down = node(l.downstream);
                switch (l.kind) {
                    case UnitLink::Initial:
                        study.add_initial_link(up, down, l.length);
                        break;
                    case UnitLink::Pipe:
                        study.add_link(up, down, l.length, Element::pipe(1.5f));
                        break;
                    case UnitLink::Street:
                        study.add_link(up, down, l.length, Element::none(), StreetSection{});
                        break;
                    case UnitLink::PipeUnderStreet:
                        study.add_link(up, down, l.length, Element::pipe(2.0f), StreetSection{});
                        break;
                    case UnitLink::Box:
                        study.add_link(up, down, l.length, Element::box(3.0f, 5.0f));
                        break;
                    case UnitLink::Channel:
                        study.add_link(up, down, l.length, Element::channel(4.0f, 6.0f, 2.0f));
                        break;
                }
                study.link(up, down).link_travel_time(1) = l.length / 300.0f;
            }
            if (position > 0) study.add_link(upstream_outlet, node(5), 700.0f, Element::box(4.0f, 6.0f));
            upstream_outlet = node(12);
            for (int k : {1, 3, 6, 9}) study.add_subarea(node(k), 5.0f).time_of_concentration(1) = 12.0f;
            study.add_subarea(node(8), 3.0f, SubareaEntry::AtNode);
            study.add_subarea(node(12), 2.0f, SubareaEntry::AlongLink);
        }
    }
    return study;
}

std::vector<int> county_map_numbers(int count)
{
    std::vector<int> maps;
    for (int index = 0; index < count; ++index) maps.push_back((index / 100 + 1) * 100 + index % 100);
    return maps;
}

StudyBuilder county_study()
{
    return large_study(6, county_map_numbers(400), 1, 10);
}

StudyBuilder region_study()
{
    std::vector<int> maps;
    for (int region = 1; region <= 99; ++region) maps.push_back(region * 100);
    return large_study(9, maps, 4, 40);
}

}  // namespace velm::test
