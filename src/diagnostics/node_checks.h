// The node checks of every map (report section II.B, items A to D).
#pragma once

#include <string_view>
#include <vector>

#include "diagnostics/diagnostics_inputs.h"
#include "platform/text_file.h"
#include "platform/window.h"
#include "records/data_file_table.h"
#include "records/gis_files.h"
#include "shell/session.h"

namespace velm {

// The exceptions of the node items, each a list of node numbers in the order
// they are reported (maps in the order of the data file table).
struct NodeCheckExceptions {
    std::vector<float> not_unique;              // A: a number again later in the same file (fatal)
    std::vector<float> elevation_out_of_range;  // B: elevation below -2000 or above 25000 ft
    std::vector<float> number_out_of_range;     // C: number below 10000.0 or above 999999.94 (fatal)
    std::vector<float> not_used_by_links;       // D: no link of the map starts or ends there (fatal)

    // 1 when item A, C or D has an exception, else 0; item B is a warning.
    int map_result() const;
    // Adds the lists of another map behind these.
    void append(const NodeCheckExceptions& more);
};

// Items A to D over one map's nodes, in file order.  Without a link table
// item D is not run.  A number present k times is listed k(k-1)/2 times
// under item A, once for every later record that repeats it.
NodeCheckExceptions find_node_exceptions(const std::vector<GisNodeRecord>& nodes,
                                         const std::vector<GisLinkRecord>* links);

// Items A to D for one map: the map's GIS node file ("AB0101ZZ.ZZN", or the
// region file "AB0100ZZ.ZZN" for model type 6) and, when `link_file_switch`
// is not 0, its GIS link file for item D.  A missing file reads as a file
// without records: a map without a node file adds nothing, and a map with
// nodes but without a link file lists every node under item D.
// With `inputs`, a node file an earlier step read is taken from there.
NodeCheckExceptions check_node_data_base(Session& session, int link_file_switch, std::string_view map_name,
                                         int model_type_code, const DiagnosticsInputs* inputs = nullptr);

// Items A, B, C and, when `with_item_d`, D: each caption with its count, the
// numbers eight to a line when there are any, and a rule.
void write_node_check_items(TextWriter& report, const NodeCheckExceptions& exceptions, bool with_item_d);

// Section II.B from the exceptions of all maps: the heading, its rule and
// the four items, item D included even when no map ran it.
void report_node_checks(TextWriter& report, const NodeCheckExceptions& exceptions);

// The node part of the diagnostics run: the page break, the window line,
// every map's nodes checked, the window verdict and section II.B.  Returns
// node_fatal_total, the number of maps with a fatal node exception.
int run_node_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code);
int run_node_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                    const DiagnosticsInputs& inputs);

}  // namespace velm
