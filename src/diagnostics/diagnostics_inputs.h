// The input files that several steps of the diagnostics read, each parsed
// once per run.  A step that reads such a file keeps here the few values the
// later steps take of it, not the records: the subarea checks keep each
// subarea data base's numbers, areas and times of concentration for the
// cross-check and the statistics; the link checks keep each GIS node file's
// nodes (three values a node) for the node checks; the cross-check keeps the
// first header values of each model file for the statistics.  The memory this holds
// is a small fraction of the files, one entry per subarea and per node.
//
// A file that no earlier step read (its map skipped there, or the step run
// on its own, as the tests do) is not here: the later step reads it as it
// always has, with the same messages.
#pragma once

#include <array>
#include <cstddef>
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

// The header values of a model file kept: the statistics take values 4 and
// 12 of the first map's.
inline constexpr std::size_t MODEL_HEADER_VALUES_KEPT = 12;

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

    // The first header values of the model file `path` (with the data
    // directory) as the cross-check read it, at most MODEL_HEADER_VALUES_KEPT;
    // nullptr when no step read it.
    const std::vector<float>* model_header(const std::string& path) const;
    void keep_model_header(const std::string& path, const std::vector<float>& header_values);

private:
    std::unordered_map<std::string, std::vector<SubareaSummary>> subareas_;
    std::unordered_map<std::string, std::vector<GisNodeRecord>> gis_nodes_;
    std::unordered_map<std::string, std::vector<float>> model_headers_;
};

}  // namespace velm
