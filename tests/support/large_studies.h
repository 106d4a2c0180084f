// Studies of the size the system is built for, generated from one drainage
// unit repeated over many maps: for the large-study tests and the benchmark.
#pragma once

#include <vector>

#include "support/study_builder.h"

namespace velm::test {

// One drainage unit of twelve nodes and up to twelve links: four headwaters
// with their initial subareas, confluences of two and three streams, a
// subarea added at node 8 and one carried by the channel into node 12.
// Units are chained `units_per_chain` at a time (the stream of the unit
// upstream enters at node 5; across maps that link is a seam); each chain
// ends at a study outlet.  `maps`: the map numbers, each with
// `units_per_map` units (at most MAX_UNITS_PER_MAP, so that every node
// number stays inside its map).
inline constexpr int MAX_UNITS_PER_MAP = 7;
StudyBuilder large_study(int model_type, const std::vector<int>& maps, int units_per_map, int units_per_chain);

// The first `count` map numbers of a county study: region 1's maps 100 to
// 199, then region 2's, and so on.
std::vector<int> county_map_numbers(int count);

// The four regions of a county study (model type 6), 100 maps each of one
// unit, units chained ten maps at a time: some 4,800 links.
StudyBuilder county_study();

// A region-file study (model type 9): one map per region, 99 regions, each
// map of four units: some 4,800 links.
StudyBuilder region_study();

}  // namespace velm::test
