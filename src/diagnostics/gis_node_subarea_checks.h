// The GIS-path node and subarea checks: the twins of the analysis run's node
// and subarea checks for the per-map GIS node and subarea files that the GIS
// update has just sorted from the exports.  Each writes one map's block to
// the GIS check report the caller holds open ("node.dia", "subarea.dia") and
// rewrites the file it examined with every record stamped when the map has
// no fatal finding.  A missing file reads as one without records (and is
// written empty when clean).
//
// Nodes: items A to D of the analysis run (A, C, D fatal; D only with the
// map's GIS link file).  Subareas: the seven columns of the analysis run with
// the GIS file's own tests: the number between the lowest number of the
// model type (10000.0 for types 6, 7 and 9, 10100.0 for the others) and
// 999999.0; the rainfall by model type on the GIS values; the cells up to
// the first empty one, by their values as read (no truncation); an area
// below 0.001 acres.
#pragma once

#include <string_view>
#include <vector>

#include "diagnostics/gis_link_checks.h"
#include "diagnostics/subarea_checks.h"
#include "platform/text_file.h"
#include "records/gis_files.h"
#include "shell/session.h"

namespace velm {

// What a check of one map found.
struct GisCheckResult {
    int fatal = 0;               // nodes: 1 for a fatal finding; subareas: the rows written
    bool already_final = false;  // a final pass met a file stamped FinalStamp: nothing checked
};

// The rows of a GIS subarea file, in file order.
std::vector<SubareaCheckRow> find_gis_subarea_exceptions(const std::vector<GisSubareaRecord>& subareas,
                                                         int model_type_code);

// The map's GIS node file (the region's for model types 6 and 9), with the
// GIS link file for item D when `link_file_switch` is set.  Given a change,
// the files are read as it sees them and the stamped file is its new version.
GisCheckResult check_gis_node_file(Session& session, TextWriter& report, bool link_file_switch,
                                   std::string_view map_code, GisStampRequest stamp_request, int model_type_code,
                                   FileChange* change = nullptr);

// The map's GIS subarea file (the region's for model types 6 and 9).
GisCheckResult check_gis_subarea_file(Session& session, TextWriter& report, std::string_view map_code,
                                      int model_type_code, GisStampRequest stamp_request,
                                      FileChange* change = nullptr);

}  // namespace velm
