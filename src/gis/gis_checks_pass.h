// The GIS checks pass ("GIS DATA BASE POSTPROCESSOR"): the export sort, then
// every map the sort wrote checked with the GIS-path checks, one check
// report per kind ("link.dia", "node.dia", "subarea.dia"), the GIS-path
// confluence table "SETC.ZZZ" and node sets "SETE.ZZZ" and "SETF.ZZZ".  Only
// the kinds whose export is present are checked, each clean map's GIS files
// are stamped CheckedStamp, and any fatal finding ends the program after
// RETURN, before a model file is touched.
#pragma once

#include <string_view>

#include "gis/gis_export_sort.h"
#include "platform/file_change.h"
#include "shell/session.h"

namespace velm {

inline constexpr std::string_view GIS_LINK_CHECK_REPORT = "link.dia";
inline constexpr std::string_view GIS_NODE_CHECK_REPORT = "node.dia";
inline constexpr std::string_view GIS_SUBAREA_CHECK_REPORT = "subarea.dia";
// Bare names in the working directory, without the data directory; set F
// is the analysis run's "SETF.ZZZ" (UPSTREAM_NODE_SET_NAME).
inline constexpr std::string_view GIS_CONFLUENCE_TABLE = "SETC.ZZZ";
inline constexpr std::string_view GIS_DOWNSTREAM_NODE_SET = "SETE.ZZZ";

// The fatal findings of the checks, by kind.
struct GisCheckTotals {
    int links = 0;
    int nodes = 0;
    int subareas = 0;
    int sum() const { return links + nodes + subareas; }
};

// Sorts the exports and checks the maps; returns only when no check made a
// fatal finding (the totals are then 0), otherwise shows where the findings
// stand, waits for RETURN and ends the program.  Given a change, the sorted
// and stamped GIS files, the check reports, the confluence table and the
// node sets are its new versions; a fatal finding puts them in place before
// the end, so that the reports and the files they describe can be read.
GisCheckTotals postprocess_gis_data_bases(Session& session, const GisExportPresence& present, std::string_view study_id,
                                          int model_type, FileChange* change = nullptr);

}  // namespace velm
