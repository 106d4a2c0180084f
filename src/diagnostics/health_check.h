// Section II.E of the diagnostics report, "MASTER PLAN OF DRAINAGE HEALTH
// CHECK": from the companion hydrology program's results, the links where an
// added subarea is large against the mainline tributary area (check 1) and
// the links whose flow travel time is long against the time of concentration
// at their upstream node (checks 2a to 2c).  A listing only: it sets no fatal
// flag and changes no data.
#pragma once

#include <vector>

#include "diagnostics/statistics_extraction.h"
#include "platform/text_file.h"

namespace velm {

inline constexpr float SUBAREA_AREA_RATIO_LIMIT = 0.35f;

// Subarea-added area over mainline area of a results row, 0 where check 1
// does not look at the row (no added area, a code it does not cover, or no
// mainline area).
float subarea_area_ratio(const ResultStatisticsRecord& row, int model_type_code);

// Writes section II.E to the report; checks 2a to 2c are left out for model
// type 6.
void write_health_check(TextWriter& report, int model_type_code, std::vector<ResultStatisticsRecord> rows);

}  // namespace velm
