// The node peak-flow editor.  For return frequency i (1 to 6) of the chosen
// node's record:
//   column 225 + i  first source of the peak flow rate
//   column 231 + i  overriding source, used when it is not 0
//   columns 261 + i, 267 + i  set to the source (267 + i is shown as the
//                   computer-recommended rate)
//   column 273 + i  the rate the engineer accepted earlier where it is above
//                   0, else the source; then the rate the engineer accepts
// The frequencies end at the first whose source is 0.  Keeping an earlier
// user rate matters: the table offers column 273 + i as the default that a
// RETURN accepts, so reopening a node must not put computed rates in place
// of the engineer's own.
#include "review/node_peak_flow_editor.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr int RETURN_FREQUENCIES = 6;
constexpr int NODE_ROW = 2;
constexpr int NOTICE_ROW = 15;
constexpr float LOWEST_NODE_NUMBER = 10000.0f;
constexpr float HIGHEST_NODE_NUMBER = 999999.9f;
constexpr float HIGHEST_PEAK_FLOW = 999999.9f;  // cfs

constexpr std::string_view NODE_PROMPT = "Enter NODE NUMBER................................... ===>";
constexpr std::string_view NODE_RANGE_LINE = ":ALLOWABEL VALUE BETWEEN [10000.0] and [999999.9]";
constexpr std::string_view PEAK_FLOW_HEADING = "Return Frequency      Computer Recommended      User Recommened";
constexpr std::string_view PEAK_FLOW_HEADING_2 = "Number           Peak Flow Rate (cfs)    Peak Flow Rate (cfs)";
constexpr std::string_view PEAK_FLOW_ROW_FORMAT = "(14X,I1,21X,F10.2,16X,F10.2)";

int source_column(int i)
{
    return 225 + i;
}
int override_column(int i)
{
    return 231 + i;
}
int first_copy_column(int i)
{
    return 261 + i;
}
int computer_recommended_column(int i)
{
    return 267 + i;
}
int user_recommended_column(int i)
{
    return 273 + i;
}

void show_notice(Window& window, std::string_view layout, const std::vector<FormatValue>& values)
{
    sound_beep(window);
    write_form(window, 1, NOTICE_ROW, layout, values);
    wait_for_return(window);
}

// Sets the recommended columns of the node's record from its sources;
// returns the number of return frequencies it has.
int prepare_peak_flows(NodeRecord& record)
{
    int count = 0;
    for (int i = 1; i <= RETURN_FREQUENCIES; ++i) {
        const float overriding = record.column(override_column(i));
        const float v = overriding != 0.0f ? overriding : record.column(source_column(i));
        const float user = record.column(user_recommended_column(i));
        record.column(first_copy_column(i)) = v;
        record.column(computer_recommended_column(i)) = v;
        record.column(user_recommended_column(i)) = v != 0.0f && user > 0.0f ? user : v;
        if (v == 0.0f) break;
        ++count;
    }
    return count;
}

void show_peak_flow_table(Window& window, const NodeRecord& record, int count)
{
    write_at(window, 5, 5, PEAK_FLOW_HEADING);
    write_at(window, 12, 6, PEAK_FLOW_HEADING_2);
    for (int i = 1; i <= count; ++i) {
        write_form(window, 1, 6 + i, PEAK_FLOW_ROW_FORMAT,
                   {i, record.column(computer_recommended_column(i)), record.column(user_recommended_column(i))});
    }
    write_at(window, 5, 16, "(Note: Press Enter Key to Accept default value)");
}

// Reads the rates of the table; nothing when the engineer typed EXIT.
std::optional<std::vector<float>> read_peak_flows(Window& window, const NodeRecord& record, int count)
{
    for (;;) {
        show_peak_flow_table(window, record, count);
        std::vector<float> accepted;
        bool again = false;
        for (int i = 1; i <= count && !again; ++i) {
            const NumberEntry entry = read_number_field(window, ENTRY_FIELD_COLUMN, 6 + i, FieldKind::Real, 0.0f,
                                                        HIGHEST_PEAK_FLOW, 0.0f, CommandSet::ExitTop, true);
            if (entry.result == EntryResult::ExitRequested) return std::nullopt;
            if (entry.result == EntryResult::TopRequested) {
                again = true;
                break;
            }
            float rate = entry.value;
            if (entry.result == EntryResult::DefaultAccepted || rate == 0.0f)
                rate = record.column(user_recommended_column(i));
            // A rarer storm never peaks below a more frequent one.
            if (i > 1 && rate < accepted.back()) {
                again = true;
                break;
            }
            accepted.push_back(rate);
        }
        if (!again) return accepted;
    }
}

}  // namespace

void edit_node_peak_flows(Session& session, std::string_view study_id, int model_type)
{
    Window& window = session.window;
    for (;;) {
        clear_screen(window);
        write_at(window, 5, NODE_ROW, NODE_PROMPT, LineEnd::StayOnLine);
        write_at(window, 6, NODE_ROW + 1, NODE_RANGE_LINE);
        show_command_footer(window, CommandSet::ExitTop);
        const NumberEntry node =
            read_number_field(window, ENTRY_FIELD_COLUMN, NODE_ROW, FieldKind::Real, LOWEST_NODE_NUMBER,
                              HIGHEST_NODE_NUMBER, 0.0f, CommandSet::ExitTop, false);
        if (node.result == EntryResult::ExitRequested) return;
        if (node.result == EntryResult::TopRequested) continue;

        int map = map_number_of(node.value);
        if (uses_region_files(model_type)) map = region_map_number(map);
        const std::string name = node_data_base_name(study_id, map);
        const std::string path = session.study_file(name);
        if (!file_exists(path)) {
            show_notice(window, "(' * DATA FILE [',A12,'] DOES NOT EXIST')", {name});
            continue;
        }
        std::vector<NodeRecord> records = read_node_data_base(path, FilePresence::MustExist);
        std::size_t position = 0;
        while (position < records.size() && records[position].node_number() != node.value) ++position;
        if (position == records.size()) {
            show_notice(window, "(' * NODE NUMBER [',F8.1,'] DOES NOT EXIST')", {node.value});
            continue;
        }
        NodeRecord record = records[position];
        const int count = prepare_peak_flows(record);
        if (count == 0) {
            show_notice(window, "(' * NODE NUMBER [',F8.1,'] IS A HEADWATER NODE')", {node.value});
            continue;
        }
        const std::optional<std::vector<float>> rates = read_peak_flows(window, record, count);
        if (!rates) return;
        for (int i = 1; i <= count; ++i) record.column(user_recommended_column(i)) = (*rates)[i - 1];
        records[position] = record;

        // Every other record goes back as read; the new file replaces the
        // old one only once it is whole.
        TextWriter file(path);
        for (std::size_t k = 0; k < records.size(); ++k)
            file.write_line(node_record_line(records[k], path, static_cast<int>(k) + 1));
        file.commit();
    }
}

}  // namespace velm
