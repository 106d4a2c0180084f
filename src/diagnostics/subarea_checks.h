// The subarea checks of every map (report section II.C).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/diagnostics_inputs.h"
#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "records/subarea_data_base.h"
#include "shell/session.h"

namespace velm {

// What one report column of a subarea row shows: blank, the column's mark
// ("No " under Uniqueness, "Yes" elsewhere) or "N/A" (Rainfall only).
enum class SubareaFlag { Blank = 0, Marked = 1, NotApplicable = 2 };

// The seven columns of a subarea row, in the order of the report.
struct SubareaCheckFlags {
    SubareaFlag uniqueness = SubareaFlag::Blank;      // another subarea of the file has the number
    SubareaFlag subarea_number = SubareaFlag::Blank;  // number out of range
    SubareaFlag rainfall = SubareaFlag::Blank;        // rainfall values out of range, by model type
    SubareaFlag s_graph = SubareaFlag::Blank;         // never set
    SubareaFlag land_use = SubareaFlag::Blank;        // a cell's land-use code out of range
    SubareaFlag soil = SubareaFlag::Blank;            // a cell's soil code out of range
    SubareaFlag area = SubareaFlag::Blank;            // a cell's area out of range (acres)

    bool any() const;
};

// A subarea that failed a test: one row of section II.C.
struct SubareaCheckRow {
    float subarea_number = 0.0f;
    SubareaCheckFlags flags;
};

// The largest land-use and soil codes of a model type (model type 6 codes
// its cells otherwise and has tests of its own).
float largest_land_use_code(int model_type_code);
float largest_soil_code(int model_type_code);

// For each number, whether any other entry of the list has the same number
// (float equality; a NaN matches nothing).
std::vector<bool> find_repeated_numbers(const std::vector<float>& numbers);

// The rows of one map's subareas, in file order: every subarea that fails
// the number, uniqueness, rainfall, land-use, soil or area test of its model
// type.
std::vector<SubareaCheckRow> find_subarea_exceptions(const std::vector<SubareaRecord>& subareas, int model_type_code);

// The text of one row.
std::string subarea_check_row_line(const SubareaCheckRow& row);

// The column heading of the subarea rows (five lines).
void write_subarea_column_heading(TextWriter& report);
// The end of a block of subarea rows: "==> No Errors!" when there were none,
// then the rule.
void write_subarea_checks_closing(TextWriter& report, int row_count);

// One map's subarea data base ("AB0101ZZ.ZSS"): its rows written to the
// report.  A missing data base is shown on the window and the map is taken
// as having no subareas.  Returns the map's row count, each row a fatal
// finding.
// With `inputs`, what the later steps take of the data base is kept there.
int check_subarea_data_base(Session& session, TextWriter& report, std::string_view map_name, int model_type_code,
                            DiagnosticsInputs* inputs = nullptr);

// The subarea part of the diagnostics run: the page break and the II.C frame,
// the window line, one row per subarea with an exception, "==> No Errors!"
// when there is none, the closing rule and the window verdict.  Returns
// subarea_fatal_total.
int run_subarea_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code);
int run_subarea_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                       DiagnosticsInputs& inputs);

}  // namespace velm
