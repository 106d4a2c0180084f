#include "diagnostics/subarea_checks.h"

#include <cmath>
#include <unordered_map>

#include "diagnostics/report_lines.h"
#include "platform/files.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

// Section II.C: the heading and the column heading above the rows, the row,
// and the line that stands alone between the rules of a clean study.
constexpr std::string_view SUBAREA_CHECKS_HEADING = "(//4X,'II.C. POSTPROCESSOR VALIDITY CHECKS: SUBAREAS')";
constexpr std::string_view SUBAREA_COLUMN_HEADING =
    "(15X,'(EXCEPTIONS are FATAL!)'/29X,'|<======== Data  Out  of  Range ','=========>|'/"
    "8X,'Subarea              Subarea                    Land'/"
    "8X,' Number  Uniqueness   Number  Rainfall  S-Graph  Use','  Soil  Area'/"
    "8X,'-------  ----------  -------  --------  ------- ----','  ----  ----')";
constexpr std::string_view SUBAREA_ROW_FORMAT = "(6X,F9.2,6X,A3,8X,A3,6X,A3,6X,A3,4X,A3,3X,A3,3X,A3)";
constexpr std::string_view NO_ERRORS_FORMAT = "(2X,'==> No Errors! ')";

constexpr std::string_view SUBAREA_CHECKS_WINDOW_HEADING = "(/5X,'**** SUBAREA VALIDITY CHECKS ***')";
constexpr std::string_view MISSING_DATA_FILE_FORMAT = "(' * DATA FILE [',A12,'] DOES NOT EXIST')";

// Subarea numbers the data base accepts: above 10000.0, at most 999999.0.
constexpr float LOWEST_SUBAREA_NUMBER = 10000.0f;
constexpr float HIGHEST_SUBAREA_NUMBER = 999999.0f;

// Cell areas the data base accepts (acres).
constexpr float SMALLEST_CELL_AREA = 0.01f;
constexpr float LARGEST_CELL_AREA = 1000.0f;

// Subarea record columns of the rainfall values.
constexpr int RAINFALL_COLUMN = 3;         // model types 5 and 6
constexpr int TYPE_9_RAINFALL_COLUMN = 6;  // model type 9
constexpr int TYPE_6_SECOND_RAINFALL_COLUMN = 11;

bool outside(float value, float low, float high)
{
    return value < low || value > high;
}

SubareaFlag rainfall_flag(const SubareaRecord& subarea, int model_type_code)
{
    switch (model_type_code) {
        case 5:
            return outside(subarea.column(RAINFALL_COLUMN), 8.0f, 20.0f) ? SubareaFlag::Marked : SubareaFlag::Blank;
        case 6:
            // Either value inside its range clears the subarea.
            return outside(subarea.column(RAINFALL_COLUMN), 1.0f, 5.0f) &&
                           outside(subarea.column(TYPE_6_SECOND_RAINFALL_COLUMN), 1.0f, 50.0f)
                       ? SubareaFlag::NotApplicable
                       : SubareaFlag::Blank;
        case 9:
            return outside(subarea.column(TYPE_9_RAINFALL_COLUMN), 1.0f, 3.0f) ? SubareaFlag::NotApplicable
                                                                               : SubareaFlag::Blank;
        default:
            return SubareaFlag::Blank;
    }
}

// Land use, soil and area of the six cells.  An empty cell (land use and
// soil both 0) is skipped; a flag set by one cell stays set.  Model type 6
// tests its codes as they stand, the others by their whole part.
void test_land_use_cells(const SubareaRecord& subarea, int model_type_code, SubareaCheckFlags& flags)
{
    for (int k = 1; k <= LAND_USE_CELLS; ++k) {
        const float land_use = subarea.cell_land_use(k);
        const float soil = subarea.cell_soil(k);
        if (land_use == 0.0f && soil == 0.0f) continue;
        bool bad_land_use = false;
        bool bad_soil = false;
        if (uses_packed_land_use(model_type_code)) {
            bad_land_use = land_use <= 0.0f || land_use >= 25.0f;
            bad_soil = outside(soil, 2.0f, 172.0f);
        } else {
            bad_land_use = outside(std::trunc(land_use), 1.0f, largest_land_use_code(model_type_code));
            bad_soil = outside(std::trunc(soil), 1.0f, largest_soil_code(model_type_code));
        }
        if (bad_land_use) flags.land_use = SubareaFlag::Marked;
        if (bad_soil) flags.soil = SubareaFlag::Marked;
        if (outside(subarea.cell_area(k), SMALLEST_CELL_AREA, LARGEST_CELL_AREA)) flags.area = SubareaFlag::Marked;
    }
}

std::string flag_text(SubareaFlag flag, std::string_view mark)
{
    switch (flag) {
        case SubareaFlag::Marked:
            return std::string(mark);
        case SubareaFlag::NotApplicable:
            return "N/A";
        case SubareaFlag::Blank:
            break;
    }
    return "   ";
}

}  // namespace

float largest_land_use_code(int model_type_code)
{
    switch (model_type_code) {
        case 7:
            return 47.0f;
        case 8:
            return 103.0f;
        case 9:
            return 12.0f;
        case 10:
            return 100.0f;
        default:
            return 71.0f;
    }
}

float largest_soil_code(int model_type_code)
{
    return uses_region_files(model_type_code) ? 3.0f : 4.0f;
}

bool SubareaCheckFlags::any() const
{
    for (SubareaFlag flag : {uniqueness, subarea_number, rainfall, s_graph, land_use, soil, area})
        if (flag != SubareaFlag::Blank) return true;
    return false;
}

std::vector<bool> find_repeated_numbers(const std::vector<float>& numbers)
{
    std::unordered_map<float, int> occurrences;
    for (float number : numbers)
        if (number == number) ++occurrences[number];
    std::vector<bool> repeated;
    repeated.reserve(numbers.size());
    for (float number : numbers) {
        const auto it = occurrences.find(number);
        repeated.push_back(it != occurrences.end() && it->second > 1);
    }
    return repeated;
}

std::vector<SubareaCheckRow> find_subarea_exceptions(const std::vector<SubareaRecord>& subareas, int model_type_code)
{
    std::vector<float> numbers;
    numbers.reserve(subareas.size());
    for (const SubareaRecord& subarea : subareas) numbers.push_back(subarea.subarea_number());
    const std::vector<bool> repeated = find_repeated_numbers(numbers);

    std::vector<SubareaCheckRow> rows;
    for (std::size_t i = 0; i < subareas.size(); ++i) {
        const SubareaRecord& subarea = subareas[i];
        const float number = subarea.subarea_number();
        SubareaCheckRow row{number, {}};
        if (number <= LOWEST_SUBAREA_NUMBER || number > HIGHEST_SUBAREA_NUMBER)
            row.flags.subarea_number = SubareaFlag::Marked;
        if (repeated[i]) row.flags.uniqueness = SubareaFlag::Marked;
        row.flags.rainfall = rainfall_flag(subarea, model_type_code);
        test_land_use_cells(subarea, model_type_code, row.flags);
        if (row.flags.any()) rows.push_back(row);
    }
    return rows;
}

std::string subarea_check_row_line(const SubareaCheckRow& row)
{
    static const Format row_format(SUBAREA_ROW_FORMAT);
    const SubareaCheckFlags& f = row.flags;
    return row_format.line({row.subarea_number, flag_text(f.uniqueness, "No "), flag_text(f.subarea_number, "Yes"),
                            flag_text(f.rainfall, "Yes"), flag_text(f.s_graph, "Yes"), flag_text(f.land_use, "Yes"),
                            flag_text(f.soil, "Yes"), flag_text(f.area, "Yes")});
}

void write_subarea_column_heading(TextWriter& report)
{
    write_report_lines(report, SUBAREA_COLUMN_HEADING);
}

void write_subarea_checks_closing(TextWriter& report, int row_count)
{
    if (row_count == 0) write_report_lines(report, NO_ERRORS_FORMAT);
    write_report_separator(report);
}

int check_subarea_data_base(Session& session, TextWriter& report, std::string_view map_name, int model_type_code,
                            DiagnosticsInputs* inputs)
{
    const std::string name = subarea_data_base_name(map_name);
    write_processing_file(session.window, name);
    const std::string path = session.study_file(name);
    if (!file_exists(path)) {
        // The map's subareas cannot be checked; the run goes on without them.
        write_screen_records(session.window, MISSING_DATA_FILE_FORMAT, {name});
        return 0;
    }
    const std::vector<SubareaRecord> subareas = read_subarea_data_base(path, FilePresence::MustExist);
    if (inputs != nullptr) inputs->keep_subareas(path, subareas);
    const std::vector<SubareaCheckRow> rows = find_subarea_exceptions(subareas, model_type_code);
    for (const SubareaCheckRow& row : rows) report.write_line(subarea_check_row_line(row));
    return static_cast<int>(rows.size());
}

int run_subarea_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code)
{
    DiagnosticsInputs inputs;
    return run_subarea_checks(session, report, data_files, model_type_code, inputs);
}

int run_subarea_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                       DiagnosticsInputs& inputs)
{
    report.write_page_break();
    write_report_lines(report, SUBAREA_CHECKS_HEADING);
    write_report_separator(report);
    write_subarea_column_heading(report);
    write_screen_records(session.window, SUBAREA_CHECKS_WINDOW_HEADING);

    int subarea_fatal_total = 0;
    for (const std::string& map_name : data_files.data_file_names)
        subarea_fatal_total += check_subarea_data_base(session, report, map_name, model_type_code, &inputs);
    write_check_verdict(session.window, subarea_fatal_total);
    write_subarea_checks_closing(report, subarea_fatal_total);
    return subarea_fatal_total;
}

}  // namespace velm
