// Option 2 of the editor module: a subarea's time of concentration in each
// of the first three storm events (model type 6) or its watershed lag (model
// type 10).  The Tc of the storm events after the third is kept as stored.
#include "editor/editor_context.h"
#include "editor/storm_event_files.h"
#include "editor/subarea_editing.h"
#include "platform/files.h"
#include "records/format.h"
#include "records/hydrology_model_type.h"
#include "records/model_file_rewrite.h"
#include "records/model_group_access.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr int TC_EVENTS = 3;  // storm events whose Tc the screen shows

constexpr std::string_view TC_SCREEN_FORMAT =
    "('CURRENT SUBAREA [',F8.1,'] TIME-OF-CONCENTRATION VALUES:',/,/,4X,' RETURN       Tc(MIN.)',/,4X,'FREQUENCY    "
    "[CURRENT]',36X,'[NEW]')";
constexpr std::string_view TC_ROW_FORMAT = "(6X,I3,10X,'[',F5.1,']',30('.'),' ===>')";
constexpr std::string_view TC_NOTE = "Note: Allowable Value for Tc is between [5.0] and [30.0]";
constexpr std::string_view TC_HISTORY_HEADINGS_FORMAT =
    "(5X,'Subarea Tc Data (Previous)/Current:',/,5X,'Subarea     Return      Time-of-Concentration',/,5X,'Number    "
    "Frequency         Tc (Min.)')";
constexpr std::string_view TC_HISTORY_FIRST_FORMAT = "(5X,68('-'),/,4X,F8.1,7X,F3.0,9X,'(',F5.1,')',1X,F5.1)";
constexpr std::string_view TC_HISTORY_NEXT_FORMAT = "(19X,F3.0,9X,'(',F5.1,')',1X,F5.1)";

constexpr std::string_view LAG_SCREEN_FORMAT =
    "('CURRENT SUBAREA [',F8.1,'] WATERSHED LAG VALUE:',/,5X,'[CURRENT]',47X,'[NEW]')";
constexpr std::string_view LAG_ROW_FORMAT = "(5X,'[',F5.2,']',44('.'),' ===>')";
constexpr std::string_view LAG_HISTORY_HEADINGS_FORMAT =
    "(5X,'Subarea Lag Data (Previous)/Current:',/,5X,'Subarea         Watershed ',/,5X,'Number          Lag (hour)')";
constexpr std::string_view LAG_HISTORY_BLOCK_FORMAT = "(5X,68('-'),/,4X,F8.1,7X,'(',F5.2,')',1X,F5.2)";
constexpr int LAG_ROW = 6;

void show_footer(Window& window)
{
    show_command_footer(window, CommandSet::ExitTopBack);
    write_at(window, 16, 23, TO_MAIN_MENU, LineEnd::StayOnLine);
}

std::vector<std::string> entry_with(const EditorContext& context, std::string_view headings)
{
    std::vector<std::string> lines = history_entry_frame(context.session.clock.now());
    for (const std::string& line : Format(headings).write({})) lines.push_back(line);
    return lines;
}

struct EventTc {
    float return_frequency = 0.0f;  // years
    float fetched = 0.0f;           // minutes
    float entered = 0.0f;
    bool shown() const { return return_frequency > 0.0f || fetched > 0.0f; }
};

// The frequency and Tc of the first three storm events' files (0 and 0 for a
// missing file or one without the subarea's Tc).
std::array<EventTc, TC_EVENTS> fetch_event_tc(EditorContext& context, const SubareaSelection& selection)
{
    std::array<EventTc, TC_EVENTS> events{};
    for (int event = 1; event <= TC_EVENTS; ++event) {
        const std::string name = storm_event_file_name(selection.file_name, event);
        const std::string path = context.session.study_file(name);
        if (!file_exists(path)) continue;
        ModelFile file;
        try {
            file = load_model_file(path).file;
        } catch (const FileError& error) {
            throw model_file_refusal(name, error);
        }
        const RewriteResult result = rewrite_model_file(
            file, {RewriteMode::FetchMode, selection.subarea_number, event, EditorOption::TimeOfConcentration},
            context.buffer, context.street, name);
        if (result.status != RECORD_FOUND) continue;
        EventTc& tc = events[static_cast<std::size_t>(event - 1)];
        tc.return_frequency = context.buffer.event_return_frequency[static_cast<std::size_t>(event)];
        tc.fetched = context.buffer.event_time_value[static_cast<std::size_t>(event)];
        tc.entered = tc.fetched;
    }
    return events;
}

void edit_time_of_concentration(EditorContext& context, HistorianFile& log, const SubareaSelection& selection)
{
    Window& window = context.window();
    std::array<EventTc, TC_EVENTS> events{};
    for (bool entering = true; entering;) {
        events = fetch_event_tc(context, selection);
        clear_screen(window);
        write_form(window, 5, 2, TC_SCREEN_FORMAT, {selection.subarea_number});
        std::vector<int> rows;
        int row = 6;
        for (const EventTc& tc : events) {
            if (tc.shown()) {
                write_form(window, 1, row, TC_ROW_FORMAT,
                           {static_cast<int>(tc.return_frequency < 1.0e6f ? tc.return_frequency : 0.0f), tc.fetched});
            }
            rows.push_back(tc.shown() ? row++ : 0);
        }
        write_at(window, 5, 11, TC_NOTE);
        show_footer(window);
        entering = false;
        for (std::size_t e = 0; e < events.size(); ++e) {
            if (rows[e] == 0) continue;
            const NumberEntry entry = read_number_field(window, ENTRY_FIELD_COLUMN, rows[e], FieldKind::Real, 5.0f,
                                                        30.0f, 0.0f, CommandSet::ExitTopBack, false);
            if (entry.result == EntryResult::ExitRequested) break;
            if (entry.result == EntryResult::BackRequested) return;
            if (entry.result == EntryResult::TopRequested) {
                entering = true;
                break;
            }
            events[e].entered = entry.value;
        }
    }
    for (int event = 1; event <= TC_EVENTS; ++event)
        context.buffer.event_time_value[static_cast<std::size_t>(event)] =
            events[static_cast<std::size_t>(event - 1)].entered;
    context.buffer.packed_subarea_code = KEEP_PACKED_CODE;

    std::vector<std::string> history = entry_with(context, TC_HISTORY_HEADINGS_FORMAT);
    for (int event = 1; event <= TC_EVENTS; ++event) {
        const EventTc& tc = events[static_cast<std::size_t>(event - 1)];
        if (event > 1 && !tc.shown()) continue;
        const std::vector<std::string> lines =
            event == 1 ? Format(TC_HISTORY_FIRST_FORMAT)
                             .write({selection.subarea_number, tc.return_frequency, tc.fetched, tc.entered})
                       : Format(TC_HISTORY_NEXT_FORMAT).write({tc.return_frequency, tc.fetched, tc.entered});
        history.insert(history.end(), lines.begin(), lines.end());
    }
    const float subarea = selection.subarea_number;
    write_out_subarea(
        context, log, selection,
        [&context, subarea](ModelFile& file, int storm_event) {
            // The screen covers the first three events; later ones keep their Tc.
            if (storm_event > TC_EVENTS) return false;
            rewrite_model_file(file, {RewriteMode::CopyMode, subarea, storm_event, EditorOption::TimeOfConcentration},
                               context.buffer, context.street, "");
            return true;
        },
        history);
}

void edit_watershed_lag(EditorContext& context, HistorianFile& log, const SubareaSelection& selection)
{
    Window& window = context.window();
    const float fetched = context.buffer.edit_value(1);
    float lag = fetched;
    for (;;) {
        clear_screen(window);
        write_form(window, 5, 4, LAG_SCREEN_FORMAT, {selection.subarea_number});
        write_form(window, 1, LAG_ROW, LAG_ROW_FORMAT, {fetched});
        show_footer(window);
        const NumberEntry entry = read_number_field(window, ENTRY_FIELD_COLUMN, LAG_ROW, FieldKind::Real, 0.01f, 30.0f,
                                                    0.0f, CommandSet::ExitTopBack, false);
        if (entry.result == EntryResult::ExitRequested || entry.result == EntryResult::BackRequested) return;
        if (entry.result == EntryResult::TopRequested) continue;
        lag = entry.value;
        break;
    }
    wait_for_return(window);
    context.buffer.edit_value(1) = lag;
    std::vector<std::string> history = entry_with(context, LAG_HISTORY_HEADINGS_FORMAT);
    for (const std::string& line : Format(LAG_HISTORY_BLOCK_FORMAT).write({selection.subarea_number, fetched, lag}))
        history.push_back(line);
    const float subarea = selection.subarea_number;
    write_out_subarea(
        context, log, selection,
        [&context, subarea](ModelFile& file, int) {
            find_model_group(file, RewriteMode::CopyMode, subarea, EditorOption::TimeOfConcentration, context.buffer);
            return true;
        },
        history);
}

}  // namespace

void edit_subarea_time(EditorContext& context, HistorianFile& log, const SubareaSelection& selection)
{
    if (is_curve_number_model(context.model_type)) {
        edit_watershed_lag(context, log, selection);
    } else {
        edit_time_of_concentration(context, log, selection);
    }
}

}  // namespace velm
