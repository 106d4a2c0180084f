// Option 1 of the editor module: a subarea's land-use cells (model types 3,
// 5, 6, 7, 8, 9) or its curve-number values (type 10); and the subarea
// prompt, the search for its model file and the write-out that option 2
// shares.
#include "editor/subarea_editor.h"

#include <cmath>

#include "editor/storm_event_files.h"
#include "editor/subarea_editing.h"
#include "editor/subarea_export_update.h"
#include "platform/files.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/model_file_rewrite.h"
#include "records/model_group_access.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view SUBAREA_PROMPT_FORMAT =
    "('Enter SUBAREA NUMBER',32('.'),' ===>',/,5X,':ALLOWABLE VALUE BETWEEN [10000.0] and [999999.9]')";
constexpr std::string_view MODEL_FILE_NAME_BY_MAP_FORMAT = "(A2,I4.4,'ZZ.Z11')";
constexpr std::string_view MISSING_SUBAREA_FORMAT = "(' * SUBAREA NUMBER [',F8.1,'] DOES NOT EXIST')";
constexpr std::string_view REGION_CANDIDATE_FORMAT = "(A4,I2.2,A6)";
constexpr int SUBAREA_PROMPT_ROW = 2;

constexpr std::string_view TYPE6_SCREEN_FORMAT =
    "('CURRENT SUBAREA [',F8.1,'] PROPERTIES:',/,/,22X,'Cell #1   Cell #2   Cell #3   Cell #4   Cell #5   Cell "
    "#6',/,5X,'Land Use                ',/,5X,'Imperviousness',/,5X,'Soil Number',/,5X,'Area(Ac.)',/,/,5X,'Enter "
    "SUBAREA PROPERTIES:',/,5X,'Enter Cell Number to be Changed.................... ===>     ',/,5X,'Enter "
    "Hydrologic Land Use Designation (see below).. ===>     ',/,5X,'Enter Imperviousness "
    "(Decimal)..................... ===>     ',/,5X,'Enter Soil Number (see LACFCD Hydrology Manual).... ===>     "
    "',/,5X,'Enter Area(Ac.).................................... ===>     ')";
constexpr std::string_view CELL_SCREEN_FORMAT =
    "('CURRENT SUBAREA [',F8.1,'] PROPERTIES:',/,/,22X,'Cell #1   Cell #2   Cell #3   Cell #4   Cell #5   Cell "
    "#6',/,5X,'Land Use                ',/,5X,'S.C.S. Soil Type',/,5X,'Area(Ac.)',/,/,/,5X,'Enter SUBAREA "
    "PROPERTIES:',/,5X,'Enter Cell Number to be Changed.................... ===>     ',/,5X,'Enter Hydrologic Land "
    "Use Designation.............. ===>     ',/,5X,'Enter S.C.S. Soil Type (1=A,2=B,3=C,4=D)........... ===>     "
    "',/,5X,'Enter Area(Ac.).................................... ===>     ')";
constexpr std::string_view TYPE9_SOIL_PROMPT_FORMAT =
    "('Enter Soil Calssification (1=Clay;2=Loam;3=Sand)','... ===>     ')";
constexpr std::string_view TYPE10_SCREEN_FORMAT =
    "('CURRENT SUBAREA [',F8.1,'] PROPERTIES:',/,/,36X,'Value',/,5X,'Initial Rainfall Abstraction',/,5X,'S.C.S. "
    "Curve Number',/,5X,'Percent of Impervious Area',/,5X,'Area(square miles)',/,/,5X,'Enter SUBAREA "
    "PROPERTIES:',/,5X,'Enter Initial Rainfall Abstraction................. ===>     ',/,5X,'Enter S.C.S. Curve "
    "Number.......................... ===>     ',/,5X,'Enter Percent of Impervious Area (Decimal)......... ===>     "
    "',/,5X,'Enter Area(square miles)........................... ===>     ')";
constexpr std::string_view CELL_ROW_FORMAT = "(F7.2,5(3X,F7.2))";

constexpr std::string_view LEGEND_BELOW_6_FORMAT =
    "('Notes:',/,5X,'1.Hydrologic Land Use Designations: 1=Commercial;2=Mobile',' Home;3=Apartment',/,5X,"
    "'4=Condominiums;5=11+DU/AC;6=8-10DU/AC;7=5-7DU/AC;8=3-4DU/AC;','9=2DU/AC',/,5X,'10=1DU/AC;11=.4DU/AC;12=School;"
    "13=Public Park;14~71=Natural/','Agriculture')";
constexpr std::string_view LEGEND_6_FORMAT =
    "('Notes:',/,5X,'1.Hydrologic Land Use Designations: 1~5=Residential;','6~10=Commerical',/,5X,'11~15=Industrial;"
    "16~19=Institutional;20~24=Park/Open Space/','Agriculture',/,5X,'(see LA County Hydrology Manual, Proportion "
    "Impervious Table)',/,5X,'2.Soil Number(see LA County Hydrology Manual, ','Soil Identification Table)')";
constexpr std::string_view LEGEND_7_FORMAT =
    "('Notes:',/,5X,'1.Hydrologic Land Use Designations: 1=Commercial;','2=Apartment;3=Mobile Home',/,5X,"
    "'4=Condominiums;5=SF(1/4 AC Lot) ;6=SF(1/2 AC Lot);','7=SF(1 AC Lot)',/,5X,'8~47=Natural/Agriculture')";
constexpr std::string_view LEGEND_8_FORMAT =
    "('Notes:',/,5X,'1.Hydrologic Land Use Designations: 1=Industrial;','2=Commercial;3=Multi-Units',/,5X,'4=Mobile "
    "Home;5=Single Family;6=Rural(Lot greater than 1/2 AC)',/,5X,'7~57=Natural/Agriculture')";
constexpr std::string_view LEGEND_9_FORMAT =
    "('Notes:',/,5X,'1.Hydrologic Land Use Designations: 1=Park(Lawn);',/,5X,'2=Undeveloped Hillside or Mountainous "
    "Area',/,5X,'4~5=One-Family Dwelling; 9~10=Multiple Dwelling',/,5X,'11=Parking/Commercial/Industrial;"
    "12=Palygrounds/schools',/,5X,'(see Figure G211.3 of LA City Storm Drain Design Manual)')";

constexpr std::string_view SUBAREA_HISTORY_TITLE_FORMAT = "(5X,'Subarea Data (Previous)/Current:')";
constexpr std::string_view TYPE6_HISTORY_HEADINGS_FORMAT =
    "(5X,'Subarea     Cell    Land     Impervious                 Area',/,5X,'Number     Number   Use       Fraction "
    "    Soil         (Ac.)')";
constexpr std::string_view CELL_HISTORY_HEADINGS_FORMAT =
    "(5X,'Subarea     Cell    Land                  Area',/,5X,'Number     Number   Use      Soil         (Ac.)')";
constexpr std::string_view TYPE10_HISTORY_HEADINGS_FORMAT =
    "(5X,'Subarea    Initial      S.C.S.     Percent of     Area',/,5X,'Number   Abstration  Curve Number  Impervious "
    "  (sq. mi.)')";
constexpr std::string_view TYPE6_FIRST_CELL_FORMAT =
    "(5X,68('-'),/,4X,F8.1,7X,'1  (',I3,')',I3,4X,'(',F4.2,')',F4.2,2X,'(',I3,')',I3,1X,'(',F8.2,')',F8.2)";
constexpr std::string_view CELL_FIRST_CELL_FORMAT =
    "(5X,68('-'),/,4X,F8.1,7X,'1  (',I3,')',I3,2X,'(',I3,')',I3,1X,'(',F8.2,')',F8.2)";
constexpr std::string_view TYPE6_NEXT_CELL_FORMAT =
    "(19X,I1,'  (',I3,')',I3,4X,'(',F4.2,')',F4.2,2X,'(',I3,')',I3,1X,'(',F8.2,')',F8.2)";
constexpr std::string_view CELL_NEXT_CELL_FORMAT = "(19X,I1,'  (',I3,')',I3,2X,'(',I3,')',I3,1X,'(',F8.2,')',F8.2)";
constexpr std::string_view TYPE10_HISTORY_BLOCK_FORMAT =
    "(5X,68('-'),/,4X,F8.1,3X,F8.2,4X,F8.2,5X,F8.2,5X,F8.2,/,12X,2(2X,'(',F8.2,')'),2(3X,'(',F8.2,')'))";
constexpr std::string_view UPDATE_FORMAT = "('* UPDATE LINK-NODE DATA FILE --> ',A12,' *')";

constexpr float TYPE6_LAND_USE_OFFSET = 100.0f;

// The highest land-use designation the entry accepts, by model type.
int land_use_limit(int model_type)
{
    switch (model_type) {
        case 6:
            return 23;
        case 7:
            return 10;
        case 8:
            return 6;
        case 9:
            return 12;
        default:
            return 71;
    }
}

std::string_view legend_of(int model_type)
{
    switch (model_type) {
        case 6:
            return LEGEND_6_FORMAT;
        case 7:
            return LEGEND_7_FORMAT;
        case 8:
            return LEGEND_8_FORMAT;
        case 9:
            return LEGEND_9_FORMAT;
        default:
            return LEGEND_BELOW_6_FORMAT;
    }
}

int truncated(float value)
{
    return std::fabs(value) < 1.0e9f ? static_cast<int>(value) : 0;
}

// One cell as the screen shows it.
struct ShownCell {
    float land_use = 0.0f;
    float imperviousness = 0.0f;  // type 6
    float soil = 0.0f;
    float area = 0.0f;  // acres
};
using ShownCells = std::array<ShownCell, MAX_LAND_USE_CELLS>;

// The model file's cells as the screen shows them: a type-6 cell in use
// unpacks its land-use code into designation and imperviousness.
ShownCells shown_cells(const LandUseTable& table, int model_type)
{
    ShownCells cells{};
    for (int k = 1; k <= MAX_LAND_USE_CELLS; ++k) {
        const LandUseCell& stored = table.cell(k);
        ShownCell& cell = cells[static_cast<std::size_t>(k - 1)];
        cell = {stored.land_use_code, 0.0f, stored.soil_code, stored.cell_area};
        if (uses_packed_land_use(model_type) && stored.cell_area > 0.0f) {
            const float designation = std::trunc(stored.land_use_code) - TYPE6_LAND_USE_OFFSET;
            cell.land_use = designation;
            cell.imperviousness = stored.land_use_code - designation - TYPE6_LAND_USE_OFFSET;
        }
    }
    return cells;
}

class SubareaEditor {
public:
    SubareaEditor(EditorContext& context, EditorOption option)
        : context_(context), option_(option), log_(context.session.study_file(history_log_name(context.study_id)))
    {
    }
    void run();

private:
    Window& window() { return context_.window(); }
    std::optional<SubareaSelection> select_subarea(float subarea);
    bool fetch(ModelFile& file, float subarea, EditorOption option);
    void edit_cells(const SubareaSelection& selection);
    void edit_curve_numbers(const SubareaSelection& selection);
    void show_missing_subarea(float subarea);
    std::vector<std::string> history_header(std::string_view headings);

    EditorContext& context_;
    EditorOption option_;
    HistorianFile log_;
    bool history_header_written_ = false;
};

void SubareaEditor::run()
{
    for (;;) {
        clear_screen(window());
        write_form(window(), 5, SUBAREA_PROMPT_ROW, SUBAREA_PROMPT_FORMAT);
        show_command_footer(window(), CommandSet::ExitTop);
        write_at(window(), 16, 23, TO_MAIN_MENU, LineEnd::StayOnLine);
        const NumberEntry entry =
            read_number_field(window(), ENTRY_FIELD_COLUMN, SUBAREA_PROMPT_ROW, FieldKind::Real, LOWEST_NODE_NUMBER,
                              HIGHEST_NODE_NUMBER, 0.0f, CommandSet::ExitTop, false);
        if (entry.result == EntryResult::ExitRequested) {
            log_.close();
            return;
        }
        if (entry.result == EntryResult::TopRequested) continue;
        try {
            const std::optional<SubareaSelection> selection = select_subarea(entry.value);
            if (!selection) continue;
            if (option_ == EditorOption::TimeOfConcentration) {
                edit_subarea_time(context_, log_, *selection);
            } else if (is_curve_number_model(context_.model_type)) {
                edit_curve_numbers(*selection);
            } else {
                edit_cells(*selection);
            }
        } catch (const EditRefused& refusal) {
            show_edit_refused(window(), refusal);
        }
    }
}

void SubareaEditor::show_missing_subarea(float subarea)
{
    sound_beep(window());
    write_form(window(), 1, EDITOR_MESSAGE_ROW, MISSING_SUBAREA_FORMAT, {subarea});
    wait_for_return(window());
}

bool SubareaEditor::fetch(ModelFile& file, float subarea, EditorOption option)
{
    if (is_curve_number_model(context_.model_type))
        return find_model_group(file, RewriteMode::FetchMode, subarea, option, context_.buffer) == RECORD_FOUND;
    return rewrite_model_file(file, {RewriteMode::FetchMode, subarea, 0, option}, context_.buffer, context_.street, "")
               .status == RECORD_FOUND;
}

std::optional<SubareaSelection> SubareaEditor::select_subarea(float subarea)
{
    int map = map_number_of(subarea);
    if (uses_region_files(context_.model_type)) map = region_map_number(map);
    std::string name = format_line(MODEL_FILE_NAME_BY_MAP_FORMAT, {context_.study_id, map});
    if (uses_packed_land_use(context_.model_type)) {
        // The region's 100 map files, in order, until one holds the subarea.
        bool found = false;
        for (int k = 0; k < 100 && !found; ++k) {
            const std::string candidate =
                format_line(REGION_CANDIDATE_FORMAT, {name.substr(0, 4), k, name.substr(6, 6)});
            const std::string path = context_.session.study_file(candidate);
            if (!file_exists(path)) continue;
            ModelFile file;
            try {
                file = load_model_file(path).file;
            } catch (const FileError& error) {
                throw model_file_refusal(candidate, error);
            }
            if (fetch(file, subarea, option_)) {
                name = candidate;
                found = true;
            }
        }
        if (!found) {
            show_missing_subarea(subarea);
            return std::nullopt;
        }
    }
    const std::string path = context_.session.study_file(name);
    if (!file_exists(path)) {
        show_missing_data_file(window(), name);
        return std::nullopt;
    }
    ModelFile file;
    try {
        file = load_model_file(path).file;
    } catch (const FileError& error) {
        throw model_file_refusal(name, error);
    }
    if (!fetch(file, subarea, option_)) {
        show_missing_subarea(subarea);
        return std::nullopt;
    }
    return SubareaSelection{subarea, name};
}

std::vector<std::string> SubareaEditor::history_header(std::string_view headings)
{
    if (history_header_written_) return {};
    std::vector<std::string> lines = history_entry_frame(context_.session.clock.now());
    lines.push_back(format_line(SUBAREA_HISTORY_TITLE_FORMAT, {}));
    for (const std::string& line : Format(headings).write({})) lines.push_back(line);
    return lines;
}

void SubareaEditor::edit_cells(const SubareaSelection& selection)
{
    const int type = context_.model_type;
    const bool packed_land_use = uses_packed_land_use(type);
    const bool type9_soils = is_model_type(type, HydrologyModelType::LosAngelesCity);
    const ShownCells previous = shown_cells(context_.buffer.land_use_table, type);
    ShownCells current = previous;
    bool save = false;
    for (bool entering = true; entering;) {
        clear_screen(window());
        write_form(window(), 5, 2, packed_land_use ? TYPE6_SCREEN_FORMAT : CELL_SCREEN_FORMAT,
                   {selection.subarea_number});
        if (type9_soils) write_form(window(), 5, 13, TYPE9_SOIL_PROMPT_FORMAT);
        std::vector<FormatValue> land_use, imperviousness, soil, area;
        for (const ShownCell& cell : current) {
            land_use.emplace_back(cell.land_use);
            imperviousness.emplace_back(cell.imperviousness);
            soil.emplace_back(cell.soil);
            area.emplace_back(cell.area);
        }
        write_form(window(), 22, 5, CELL_ROW_FORMAT, land_use);
        if (packed_land_use) write_form(window(), 22, 6, CELL_ROW_FORMAT, imperviousness);
        write_form(window(), 22, packed_land_use ? 7 : 6, CELL_ROW_FORMAT, soil);
        write_form(window(), 22, packed_land_use ? 8 : 7, CELL_ROW_FORMAT, area);
        write_form(window(), 3, 17, legend_of(type));
        show_command_footer(window(), CommandSet::ExitTopBack);
        write_at(window(), 16, 23, TO_MAIN_MENU, LineEnd::StayOnLine);

        // One cell: number, land use, (imperviousness,) soil, area.
        struct Field {
            int row;
            FieldKind kind;
            float low, high;
        };
        std::vector<Field> fields{{11, FieldKind::Whole, 1.0f, 6.0f},
                                  {12, FieldKind::Whole, 1.0f, static_cast<float>(land_use_limit(type))}};
        if (packed_land_use) {
            fields.push_back({13, FieldKind::Real, 0.0f, 0.99f});
            fields.push_back({14, FieldKind::Whole, 2.0f, 103.0f});
            fields.push_back({15, FieldKind::Whole, 0.0f, 100.0f});
        } else {
            fields.push_back({13, FieldKind::Whole, 1.0f, type9_soils ? 3.0f : 4.0f});
            fields.push_back({14, FieldKind::Real, 0.0f, 100.0f});
        }
        std::vector<float> typed;
        EntryResult ended = EntryResult::ValueEntered;
        for (const Field& field : fields) {
            const NumberEntry entry = read_number_field(window(), ENTRY_FIELD_COLUMN, field.row, field.kind, field.low,
                                                        field.high, 0.0f, CommandSet::ExitTopBack, false);
            ended = entry.result;
            if (ended != EntryResult::ValueEntered) break;
            typed.push_back(entry.value);
        }
        if (ended == EntryResult::ExitRequested) {
            save = true;
            entering = false;
        } else if (ended == EntryResult::BackRequested) {
            return;
        } else if (ended == EntryResult::ValueEntered) {
            ShownCell& cell = current[static_cast<std::size_t>(typed[0] - 1.0f)];
            cell.land_use = typed[1];
            if (packed_land_use) {
                cell.imperviousness = typed[2];
                cell.soil = typed[3];
                cell.area = typed[4];
            } else {
                cell.soil = typed[2];
                cell.area = typed[3];
            }
        }
    }
    if (!save) return;

    bool any_area = false;
    for (std::size_t k = 0; k < current.size(); ++k)
        any_area = any_area || previous[k].area > 0.0f || current[k].area > 0.0f;
    if (!any_area) return;

    LandUseTable& table = context_.buffer.land_use_table;
    int in_use = 0;
    for (int k = 1; k <= MAX_LAND_USE_CELLS; ++k) {
        const ShownCell& cell = current[static_cast<std::size_t>(k - 1)];
        if (cell.area > 0.0f) {
            const float code =
                packed_land_use ? cell.land_use + TYPE6_LAND_USE_OFFSET + cell.imperviousness : cell.land_use;
            table.cell(k) = {code, cell.soil, cell.area};
            ++in_use;
        } else {
            table.cell(k) = {};
        }
    }
    if (in_use == 0) {
        // A subarea keeps one small cell in use.
        in_use = 1;
        table.cell(1) = {packed_land_use ? 101.9f : 1.0f, 1.0f, 0.1f};
    }
    context_.buffer.packed_subarea_code = in_use;

    // The history block: the values handed to the copy pass against the previous ones.
    std::vector<std::string> history =
        history_header(packed_land_use ? TYPE6_HISTORY_HEADINGS_FORMAT : CELL_HISTORY_HEADINGS_FORMAT);
    for (int k = 1; k <= MAX_LAND_USE_CELLS; ++k) {
        const ShownCell& before = previous[static_cast<std::size_t>(k - 1)];
        const LandUseCell& handed = table.cell(k);
        const int new_land_use = packed_land_use ? (handed.cell_area > 0.0f ? truncated(handed.land_use_code) - 100 : 0)
                                                 : truncated(handed.land_use_code);
        if (k > 1 && !(handed.cell_area > 0.0f) && !(before.area > 0.0f)) continue;
        std::vector<FormatValue> values;
        if (k == 1) values.emplace_back(selection.subarea_number);
        if (k > 1) values.emplace_back(k);
        values.emplace_back(truncated(before.land_use));
        values.emplace_back(new_land_use);
        if (packed_land_use) {
            values.emplace_back(before.imperviousness);
            values.emplace_back(current[static_cast<std::size_t>(k - 1)].imperviousness);
        }
        values.emplace_back(truncated(before.soil));
        values.emplace_back(truncated(handed.soil_code));
        values.emplace_back(before.area);
        values.emplace_back(handed.cell_area);
        const std::string_view layout = k == 1 ? (packed_land_use ? TYPE6_FIRST_CELL_FORMAT : CELL_FIRST_CELL_FORMAT)
                                               : (packed_land_use ? TYPE6_NEXT_CELL_FORMAT : CELL_NEXT_CELL_FORMAT);
        for (const std::string& line : Format(layout).write(values)) history.push_back(line);
    }

    const float subarea = selection.subarea_number;
    write_out_subarea(
        context_, log_, selection,
        [this, subarea](ModelFile& file, int storm_event) {
            rewrite_model_file(file, {RewriteMode::CopyMode, subarea, storm_event, option_}, context_.buffer,
                               context_.street, "");
            return true;
        },
        history);
    history_header_written_ = true;
}

void SubareaEditor::edit_curve_numbers(const SubareaSelection& selection)
{
    // Current values: abstraction, curve number, impervious fraction, area.
    const std::array<float, 4> previous{context_.buffer.edit_value(2), context_.buffer.edit_value(3),
                                        context_.buffer.edit_value(4), context_.buffer.edit_value(1)};
    struct Field {
        int row;
        FieldKind kind;
        float low, high;
    };
    constexpr Field FIELDS[4] = {{11, FieldKind::Real, 0.0f, 100.0f},
                                 {12, FieldKind::Whole, 2.0f, 98.0f},
                                 {13, FieldKind::Real, 0.0f, 0.99f},
                                 {14, FieldKind::Real, 0.001f, 1000.0f}};
    std::array<float, 4> typed{};
    for (bool entering = true; entering;) {
        clear_screen(window());
        write_form(window(), 5, 2, TYPE10_SCREEN_FORMAT, {selection.subarea_number});
        for (int k = 0; k < 4; ++k) write_form(window(), 36, 5 + k, "(F7.2)", {previous[static_cast<std::size_t>(k)]});
        show_command_footer(window(), CommandSet::ExitTopBack);
        write_at(window(), 16, 23, TO_MAIN_MENU, LineEnd::StayOnLine);
        entering = false;
        for (std::size_t k = 0; k < typed.size(); ++k) {
            const Field& field = FIELDS[k];
            const NumberEntry entry = read_number_field(window(), ENTRY_FIELD_COLUMN, field.row, field.kind, field.low,
                                                        field.high, 0.0f, CommandSet::ExitTopBack, false);
            if (entry.result == EntryResult::ExitRequested || entry.result == EntryResult::BackRequested) return;
            if (entry.result == EntryResult::TopRequested) {
                entering = true;
                break;
            }
            typed[k] = entry.value;
        }
    }
    wait_for_return(window());
    const auto [abstraction, curve_number, impervious, area] = typed;
    context_.buffer.edit_values = {area, abstraction, curve_number, impervious, context_.buffer.edit_value(5)};

    std::vector<std::string> history = history_header(TYPE10_HISTORY_HEADINGS_FORMAT);
    for (const std::string& line : Format(TYPE10_HISTORY_BLOCK_FORMAT)
                                       .write({selection.subarea_number, abstraction, curve_number, impervious, area,
                                               previous[0], previous[1], previous[2], previous[3]}))
        history.push_back(line);
    const float subarea = selection.subarea_number;
    write_out_subarea(
        context_, log_, selection,
        [this, subarea](ModelFile& file, int) {
            find_model_group(file, RewriteMode::CopyMode, subarea, EditorOption::SubareaAttributes, context_.buffer);
            return true;
        },
        history,
        [this, subarea](CopyBackSet& changes) {
            const SubareaExportUpdate update = update_subarea_ascii_record(context_, subarea);
            changes.add_file(update.name, update.contents);
        });
    history_header_written_ = true;
}

}  // namespace

void write_out_subarea(EditorContext& context, HistorianFile& log, const SubareaSelection& selection,
                       const SubareaPass& pass, const std::vector<std::string>& history,
                       const std::function<void(CopyBackSet&)>& also)
{
    CopyBackSet changes;
    std::vector<StormEventModelFile> files = load_storm_event_model_files(context, selection.file_name);
    for (StormEventModelFile& file : files) {
        ModelFile edited = file.loaded.file;
        if (!pass(edited, file.storm_event)) continue;
        try {
            // A pass that upgraded an old header keeps the old file in "TEMP.DAT".
            changes.add_model_file(file.loaded, edited, edited.header.length() != file.loaded.file.header.length());
        } catch (const FileError& error) {
            throw model_file_refusal(file.name, error);
        }
    }
    if (also) also(changes);
    clear_screen(context.window());
    write_form(context.window(), 5, 5, UPDATE_FORMAT, {selection.file_name});
    for (const StormEventModelFile& file : files) write_form(context.window(), 5, 5, UPDATE_FORMAT, {file.name});
    changes.add_history_entry(log.name(), history);
    commit_edit(changes);
}

void edit_subarea_attributes(EditorContext& context, EditorOption option)
{
    SubareaEditor(context, option).run();
}

}  // namespace velm
