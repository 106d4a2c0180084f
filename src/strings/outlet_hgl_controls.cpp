// Outlet HGL controls: the system outlets, the dialogue of their control
// elevations, and the processing levels of the strings in the index.
#include "strings/outlet_hgl_controls.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "diagnostics/confluence_table.h"
#include "diagnostics/node_set_checks.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "records/format.h"
#include "records/number_keys.h"
#include "shell/dialogue.h"
#include "strings/run_strings.h"

namespace velm {

namespace {

constexpr std::string_view OUTLET_COUNT_FORMAT =
    "('YOU also need to define HYDRAULIC CONTROLS for the'/5X,'DOWNSTREAM NODE of each SYSTEM OUTLET. (Otherwise, "
    "the'/5X,'WSPG based program assumes Critical Depth)'/5X,'There are [',I3,'] system outlets identified.')";
constexpr std::string_view OUTLET_PROMPT_FORMAT =
    "('System [',I3,'] of [',I3,']'/5X,'Enter the HGL Control Elevation for NODE [',F8.1,']. ==>          '/5X,"
    "':ALLOWABLE VALUES BETWEEN [-9999.9] AND [9999.9]')";
constexpr std::string_view BACK_HINT_FORMAT = "('BACK to go back one entry')";
constexpr std::string_view ENTRY_LIST_HEADING_FORMAT = "('Node No.      HGL')";
constexpr std::string_view ENTRY_LIST_LINE_FORMAT = "(F8.1,4X,F7.2)";

constexpr float LOWEST_CONTROL = -9999.9f;  // ft
constexpr float HIGHEST_CONTROL = 9999.9f;  // ft
constexpr int PROMPT_ROW = 7;
constexpr int ANSWER_COLUMN = 62;
constexpr int ANSWER_ROW = 8;
constexpr int LIST_HEADING_ROW = 11;
constexpr int LIST_ROWS = 5;              // entries a column
constexpr int LIST_COLUMNS[2] = {9, 35};  // columns of the two halves of the list

// Beyond 999 outlets the count and the outlet's place in it take four
// digits, so that the screen never shows asterisks in their place.
constexpr int LAST_THREE_DIGIT_COUNT = 999;
std::string outlet_count_layout(std::string_view layout, int count)
{
    std::string shown(layout);
    if (count <= LAST_THREE_DIGIT_COUNT) return shown;
    for (std::size_t at = shown.find("I3"); at != std::string::npos; at = shown.find("I3", at)) {
        shown.replace(at, 2, "I4");
    }
    return shown;
}

// The accepted entries 1 to k - 1 (at most the last ten), two columns of
// five under their headings.  The rows are blanked first, so an entry taken
// back with BACK does not stay on the screen.
void draw_entry_list(Window& window, const std::vector<float>& outlets, const std::vector<float>& elevations,
                     int accepted)
{
    for (int row = LIST_HEADING_ROW; row <= LIST_HEADING_ROW + LIST_ROWS; ++row) {
        write_at(window, 1, row, std::string(SCREEN_COLUMNS - 1, ' '), LineEnd::StayOnLine);
    }
    const int first = std::max(1, accepted - 2 * LIST_ROWS + 1);
    for (int entry = first; entry <= accepted; ++entry) {
        const int place = entry - first;  // 0 to 9
        const int column = LIST_COLUMNS[place / LIST_ROWS];
        if (place % LIST_ROWS == 0) write_form(window, column, LIST_HEADING_ROW, ENTRY_LIST_HEADING_FORMAT);
        const std::size_t k = static_cast<std::size_t>(entry - 1);
        write_form(window, column, LIST_HEADING_ROW + 1 + place % LIST_ROWS, ENTRY_LIST_LINE_FORMAT,
                   {outlets[k], elevations[k]});
    }
}

}  // namespace

std::vector<float> system_outlets(const std::vector<float>& set_e, const std::vector<float>& set_f)
{
    std::unordered_set<std::uint32_t> seams;
    for (const float node : set_f) seams.insert(number_key(node));
    std::unordered_set<std::uint32_t> taken;
    std::vector<float> outlets;
    for (const float node : set_e) {
        if (seams.contains(number_key(node))) continue;
        if (taken.insert(number_key(node)).second) outlets.push_back(node);
    }
    return outlets;
}

std::vector<float> ask_outlet_hgl_controls(Window& window, const std::vector<float>& outlets)
{
    const int count = static_cast<int>(outlets.size());
    std::vector<float> elevations(outlets.size(), 0.0f);
    int k = 1;
    bool new_page = true;
    for (;;) {
        if (new_page) {
            clear_screen(window);
            write_form(window, 5, 3, outlet_count_layout(OUTLET_COUNT_FORMAT, count), {count});
            k = 1;
            new_page = false;
        }
        if (k > count) return elevations;
        const std::size_t at = static_cast<std::size_t>(k - 1);
        write_form(window, 5, PROMPT_ROW, outlet_count_layout(OUTLET_PROMPT_FORMAT, count), {k, count, outlets[at]});
        if (k == 1) show_command_footer(window, CommandSet::ExitTop);
        const NumberEntry entry = read_number_field(window, ANSWER_COLUMN, ANSWER_ROW, FieldKind::Real, LOWEST_CONTROL,
                                                    HIGHEST_CONTROL, 0.0f, CommandSet::ExitTopBack, false);
        switch (entry.result) {
            case EntryResult::ExitRequested:
                clear_screen(window);
                stop_program("outlet HGL controls left with EXIT");
            case EntryResult::TopRequested:
                new_page = true;
                continue;
            case EntryResult::BackRequested:
                --k;
                if (k == 0) {
                    new_page = true;
                } else {
                    draw_entry_list(window, outlets, elevations, k - 1);
                }
                continue;
            case EntryResult::ValueEntered:
            case EntryResult::DefaultAccepted:
                break;
        }
        elevations[at] = entry.value;
        ++k;
        if (k > count) return elevations;
        write_form(window, 35, 24, BACK_HINT_FORMAT);
        draw_entry_list(window, outlets, elevations, k - 1);
    }
}

void assign_processing_levels(StringIndexFile& index, const HglControlTable& controls,
                              const std::vector<float>& confluence_nodes,
                              const std::function<std::vector<StringRecord>(int)>& read_string)
{
    const int string_count = index.records.empty() ? 0 : index.records.back().string_number;
    const std::size_t strings = static_cast<std::size_t>(std::max(string_count, 0));
    std::vector<float> outlet(strings, 0.0f);
    std::vector<float> level(strings, LEVEL_NOT_REACHED);
    std::vector<float> system(strings, 0.0f);
    for (const StringIndexRecord& record : index.records) {
        if (record.string_number >= 1 && record.string_number <= string_count) {
            outlet[static_cast<std::size_t>(record.string_number - 1)] = record.outlet_node;
        }
    }

    // The elevation of the last control on each control node.
    std::unordered_map<std::uint32_t, float> control_elevation;
    for (const HglControl& control : controls.controls) {
        control_elevation[number_key(control.node_number)] = control.elevation;
    }

    std::vector<int> reached;  // strings of the level being propagated, in string order
    float systems = 0.0f;
    for (std::size_t n = 0; n < strings; ++n) {
        if (control_elevation.contains(number_key(outlet[n]))) {
            level[n] = 0.0f;
            system[n] = systems += 1.0f;
            reached.push_back(static_cast<int>(n) + 1);
        }
    }

    // The strings not yet reached, by outlet node, in string order; only
    // confluence nodes can pass a level on.
    std::unordered_set<std::uint32_t> confluences;
    for (const float node : confluence_nodes) confluences.insert(number_key(node));
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> waiting;
    for (std::size_t n = 0; n < strings; ++n) {
        if (level[n] < 0.0f && confluences.contains(number_key(outlet[n]))) {
            waiting[number_key(outlet[n])].push_back(n);
        }
    }

    for (float next_level = 1.0f; !reached.empty(); next_level += 1.0f) {
        std::vector<int> next;
        for (const int s : reached) {
            for (const StringRecord& record : read_string(s)) {
                const auto found = waiting.find(number_key(record.downstream_node));
                if (found == waiting.end()) continue;
                // Every waiting string on this node is reached at once.
                for (const std::size_t m : found->second) {
                    level[m] = next_level;
                    system[m] = system[static_cast<std::size_t>(s - 1)];
                    next.push_back(static_cast<int>(m) + 1);
                }
                waiting.erase(found);
            }
        }
        std::sort(next.begin(), next.end());
        reached = std::move(next);
    }

    for (StringIndexRecord& record : index.records) {
        if (record.string_number < 1 || record.string_number > string_count) continue;
        const std::size_t n = static_cast<std::size_t>(record.string_number - 1);
        record.processing_level = level[n];
        record.outlet_system_number = system[n];
        record.outlet_hgl_control = 0.0f;
        if (level[n] == 0.0f) {
            const auto control = control_elevation.find(number_key(record.outlet_node));
            if (control != control_elevation.end()) record.outlet_hgl_control = control->second;
        }
    }
}

void enter_outlet_hgl_controls(RunContext& run)
{
    Session& session = run.session;
    StringIndexFile index = required_run_string_index(run);

    const bool identify = run.hgl_controls.count() == 0;
    if (identify) {
        const std::vector<float> set_e =
            read_node_set_groups(session, run.study_file(downstream_node_set_name(run.study_id)));
        const std::vector<float> set_f = read_node_set_groups(session, std::string(UPSTREAM_NODE_SET_NAME));
        for (const float node : system_outlets(set_e, set_f)) run.hgl_controls.controls.push_back({node, 0.0f});
    }

    // Without strings there are no levels to pass on (a curve number study
    // has no confluence table).
    std::vector<float> confluence_nodes;
    if (!index.records.empty()) {
        for (const ConfluenceEntry& entry :
             read_confluence_table(session, run.study_file(confluence_table_name(run.study_id)))) {
            confluence_nodes.push_back(entry[0]);
        }
    }

    if (identify && run.controls.hydraulic_control_model == HydraulicControlModel::UserDefinedControl) {
        std::vector<float> outlets;
        for (const HglControl& control : run.hgl_controls.controls) outlets.push_back(control.node_number);
        const std::vector<float> elevations = ask_outlet_hgl_controls(session.window, outlets);
        for (std::size_t k = 0; k < elevations.size(); ++k) run.hgl_controls.controls[k].elevation = elevations[k];
        // Saved at once through the one writer of the control file, with the
        // settings as the run holds them: a later stop never asks again.
        save_control_file(session, run.study_id, run.controls, run.hgl_controls);
    }

    assign_processing_levels(index, run.hgl_controls, confluence_nodes, [&](int s) {
        std::optional<std::vector<StringRecord>> records = run_string_records(run, s);
        if (!records) {
            throw FileError("The string file '" + run.study_file(string_file_name(run.study_id, s)) +
                            "' does not exist");
        }
        return std::move(*records);
    });
    store_run_string_index(run, index);
}

}  // namespace velm
