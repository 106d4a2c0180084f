// The statistics extraction: what sections II.D and II.E of the diagnostics
// report need of every map of the study, pulled from its link, subarea and
// node data bases and its model results file into four working tables.
//
// The working tables hold each value as the working files of the statistics
// have always held it: rounded to the decimals of its field (node numbers to
// one decimal, link lengths to whole feet, times, flows and areas to two
// decimals, flow per unit area to three), because that rounding is part of
// the statistics the report shows.  The fields have no width limit, so a
// process code of 100 or more, or a flow of 100000 cfs or more, is kept
// whole instead of being lost to an overflowing field.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/diagnostics_inputs.h"
#include "records/link_data_base.h"
#include "records/model_list.h"
#include "shell/session.h"

namespace velm {

// One record per link of every map.
struct LinkStatisticsRecord {
    float upstream_node = 0.0f;    // one decimal
    float downstream_node = 0.0f;  // one decimal
    int process_code = 0;
    float length = 0.0f;                            // ft, whole feet
    std::array<float, STORM_EVENTS> travel_time{};  // minutes, two decimals; 0 for initial subarea links
    std::array<float, STORM_EVENTS> peak_flow{};    // cfs, two decimals, link columns 31-36

    bool operator==(const LinkStatisticsRecord&) const = default;
};

// One record per subarea of every map.
struct SubareaStatisticsRecord {
    float subarea_number = 0.0f;  // one decimal
    float area = 0.0f;            // acres, two decimals: the six land-use cells added
    // Minutes, two decimals; zeros for a subarea that is no initial subarea.
    std::array<float, STORM_EVENTS> time_of_concentration{};

    bool operator==(const SubareaStatisticsRecord&) const = default;
};

// One record per results group of a conveyance element (process code 31 and
// above, except 71, 72, 151 and 152).
struct ResultStatisticsRecord {
    float upstream_node = 0.0f;    // one decimal
    float downstream_node = 0.0f;  // one decimal
    float process_code = 0.0f;     // the code as a real, one decimal
    float subarea_area = 0.0f;     // acres added at the element, two decimals
    float total_area = 0.0f;       // acres tributary to the element, two decimals
    float downstream_tc = 0.0f;    // minutes at the downstream node, two decimals
    float travel_time = 0.0f;      // minutes through the element, two decimals

    bool operator==(const ResultStatisticsRecord&) const = default;
};

// One record per node with a positive event-1 peak flow and a positive
// total tributary area.
struct NodeStatisticsRecord {
    float node_number = 0.0f;                           // one decimal
    std::array<float, STORM_EVENTS> flow_area_ratio{};  // cfs per acre, three decimals

    bool operator==(const NodeStatisticsRecord&) const = default;
};

struct StatisticsWorkingFiles {
    std::vector<LinkStatisticsRecord> links;
    std::vector<SubareaStatisticsRecord> subareas;
    std::vector<ResultStatisticsRecord> results;
    std::vector<NodeStatisticsRecord> nodes;
};

// Years per storm event 1-6; 0 for an event the study does not have.
using ReturnFrequencyList = std::array<float, STORM_EVENTS>;

// What the first map's model files tell of the storm events: the return
// frequency of each (|header value 12|) and the rule that numbers subareas
// (from header value 4 of the highest event whose file exists).
struct StormEventSettings {
    ReturnFrequencyList return_frequencies{};
    // 1: a subarea carries the number of the downstream node of its initial
    // subarea link; 2: of the upstream node; any other value matches none.
    int subarea_node_rule = 0;
};

// The initial subarea links of the map being extracted, in link-file order.
struct InitialLinkRow {
    float downstream_node = 0.0f;
    float upstream_node = 0.0f;
};
using InitialLinkTable = std::vector<InitialLinkRow>;

// The subarea numbering rule that header value 4 holds in its tenths digit
// (0 reads as 1).  A value that is no number (NaN, an infinity) holds no
// rule: 0, which matches no subarea.
int subarea_node_rule_of(float header_value_4);

// Reads header values 4 and 12 of the model files of storm events 1 to 6
// named by the list entry (characters 1-11 and the event digit); a missing
// file leaves its event at 0.  FileError for a file shorter than twelve values.
StormEventSettings read_storm_event_settings(Session& session, const ModelListEntry& entry);

// The value as its working-file field keeps it: rounded to `decimals`
// decimals (exact value, ties to even).  NaN is taken as 0 and an infinity as
// the largest float of its sign, so the tables hold only numbers.
float rounded_to_decimals(float value, int decimals);

// The four extractors of one map (`data_file_stem`, "AB0101ZZ"), each
// appending to its table.  The link extractor refills `initial_links`, which
// the subarea extractor then reads.  Every file must exist (FileError naming
// it otherwise).
void extract_link_statistics(Session& session, std::string_view data_file_stem, int model_type_code,
                             InitialLinkTable& initial_links, std::vector<LinkStatisticsRecord>& table);
// With `inputs`, a subarea data base an earlier step read is taken from there.
void extract_subarea_statistics(Session& session, std::string_view data_file_stem, int subarea_node_rule,
                                const InitialLinkTable& initial_links, std::vector<SubareaStatisticsRecord>& table,
                                const DiagnosticsInputs* inputs = nullptr);
void extract_result_statistics(Session& session, std::string_view data_file_stem,
                               std::vector<ResultStatisticsRecord>& table);
void extract_node_statistics(Session& session, std::string_view data_file_stem,
                             std::vector<NodeStatisticsRecord>& table);

}  // namespace velm
