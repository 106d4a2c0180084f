// The deficiency pass, step 5 of the analysis run, once for every map whose
// link data base exists: for every link it recomputes
//   - the link slope (column 9) and the street capacity at each storm
//     event's flow depth (columns 49 to 54; a code-92 section at every
//     event's depth),
//   - the gradient of the balanced HGL above the element (column 56),
//   - the friction slope (columns 64, 68 to 70),
//   - the capacity of the as-built element (columns 73, 74) and the total
//     capacity of each event (columns 78 to 83),
// then the deficiencies and the mitigation elements (deficiency_sizing.h),
// and rewrites the link data base with them.  Capacities are stored at most
// as 99999.0; every computed value is kept within its field, so that no run
// of asterisks, NaN or infinity reaches the file.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "records/balanced_hgl_results.h"
#include "records/link_data_base.h"
#include "shell/run_context.h"
#include "sizing/deficiency_sizing.h"
#include "sizing/element_hydraulics.h"

namespace velm {

// The largest capacity the pass stores in columns 73, 74 and 78 to 83 (cfs).
inline constexpr float CAPACITY_CAP = 99999.0f;

// The downstream balanced HGL of each link of the balanced HGL estimation,
// by node pair: the last result of a pair decides.
class DownstreamHglIndex {
public:
    DownstreamHglIndex() = default;
    explicit DownstreamHglIndex(const BalancedHglResultTable& table);
    // ft; nothing when the estimation gave the link no result.
    std::optional<float> downstream_hgl(float upstream_node, float downstream_node) const;

private:
    std::unordered_map<std::uint64_t, float> hgl_by_pair_;
};

// The street section of a link (columns 10 to 20) with the parkway n given.
StreetSection street_section_of(const LinkRecord& link, float parkway_manning_n);

// The pass's settings from the run's control and run settings.
DeficiencySettings deficiency_settings(const ControlParameters& controls, const RunSettings& settings);

// The pass over the records of one link data base, in file order.
void analyze_link_records(std::vector<LinkRecord>& records, const DeficiencySettings& settings,
                          const DownstreamHglIndex& hgl_index);

// Analyses every link of the link data base `link_data_base` (its name with
// the data directory) and writes the whole file anew with the computed
// values as one of the run's outputs.  A record that cannot be read ends the
// run with a message naming the file and the line, and the file is left as
// it was.
void analyze_link_file_deficiencies(RunContext& run, const std::string& link_data_base,
                                    const DownstreamHglIndex& hgl_index);

}  // namespace velm
