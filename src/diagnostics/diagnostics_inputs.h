// The input files that several steps of the diagnostics read, each parsed
// once per run.  A step that reads such a file keeps here the few values the
// later steps take of it, not the records: the subarea checks keep each
// subarea data base's numbers, areas and times of concentration for the
// cross-check and the statistics; the link checks keep each GIS node file's
// nodes (three values a node) for the node checks.  The memory this holds
// is a small fraction of the files, one entry per subarea and per node.
//
// A file that no earlier step read (its map skipped there, or the step run
// on its own, as the tests do) is not here: the later step reads it as it
// always has, with the same messages.
#pragma once

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/subarea_data_base.h"

namespace velm {

// What the later steps take of one subarea.
struct SubareaSummary {
    float subarea_number = 0.0f;                              // a node number
    float area = 0.0f;                                        // acres: SubareaRecord::area()
    std::array<float, STORM_EVENTS> time_of_concentration{};  // minutes, storm events 1-6
};

std::vector<SubareaSummary> summarize_subareas(const std::vector<SubareaRecord>& records);

class DiagnosticsInputs {
public:
    // The subarea data base `path` (with the data directory), as a step read
    // it; nullptr when no step did.
    const std::vector<SubareaSummary>* subareas(const std::string& path) const;
    void keep_subareas(const std::string& path, const std::vector<SubareaRecord>& records);

    // The GIS node file `path` (with the data directory), as a step read it;
    // nullptr when no step did.
    const std::vector<GisNodeRecord>* gis_nodes(const std::string& path) const;
    const std::vector<GisNodeRecord>& keep_gis_nodes(const std::string& path, std::vector<GisNodeRecord> records);
    // After the last step that takes them.
    void forget_gis_nodes() { gis_nodes_.clear(); }

private:
    std::unordered_map<std::string, std::vector<SubareaSummary>> subareas_;
    std::unordered_map<std::string, std::vector<GisNodeRecord>> gis_nodes_;
};

}  // namespace velm
