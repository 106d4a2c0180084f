// The headwater, confluence and seam nodes of the network as the model files
// describe them, collected by the cross-check over all maps of one analysis
// run and read by the node-set checks and the string finder.
#pragma once

#include <array>
#include <vector>

namespace velm {

struct NetworkNodeSets {
    std::vector<float> headwater_nodes;                 // upstream node of every code 21/22 group
    std::vector<std::array<float, 6>> confluence_rows;  // downstream node, up to 5 upstream nodes
    std::vector<float> seam_nodes;                      // upstream node of every code 151/152 group
    void clear()
    {
        headwater_nodes.clear();
        confluence_rows.clear();
        seam_nodes.clear();
    }
};

}  // namespace velm
