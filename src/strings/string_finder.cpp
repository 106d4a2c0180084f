// The string finder: tracing from the headwaters, mainstream extension below
// the confluences, the string files and the string index.
#include "strings/string_finder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <unordered_map>

#include "diagnostics/confluence_table.h"
#include "diagnostics/node_set_checks.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/hydrology_model_type.h"
#include "records/number_keys.h"
#include "records/study_id.h"
#include "shell/dialogue.h"
#include "strings/run_strings.h"

namespace velm {

namespace {

constexpr std::string_view STRING_FINDER_HEADING = "* PROCESS STRING FINDER ROUTINE *";
constexpr std::string_view CREATING_STRING_FORMAT = "(5X,' Creating String File Number [',I4.4,']')";
constexpr std::string_view EXTENDING_STRING_FORMAT = "(5X,'Extending String File Number [',I4.4,']')";
// A trace that meets more links than the study has runs in a loop of links.
constexpr std::string_view TRACE_LOOP_FORMAT =
    "(5X,'* String File Number [',I4.4,'] stops at NODE [',F8.1,']: its links run in a loop')";
constexpr std::string_view NO_TRIBUTARY_FORMAT =
    "(5X,'* Confluence NODE [',F8.1,'] has no tributary string: not extended')";
constexpr std::string_view NO_SELECTION_FORMAT =
    "(5X,'* Confluence NODE [',F8.1,'] not extended: mainstream selection is neither 1 nor 2')";

// A slot at most this holds no tributary that is still to arrive.
constexpr float RESOLVED_SLOT_LIMIT = 0.01f;
// Candidates must beat this to be chosen.
constexpr float NO_CANDIDATE_VALUE = -9999.0f;
// Peak flow rates of this size or more are the hydrology's overflow marks.
constexpr float PEAK_FLOW_OVERFLOW = 99999.0f;

// A record as its file line reads back: the values later steps see.
StringRecord as_written(const StringRecord& record)
{
    const std::string line = string_record_line(record);
    StringRecord read;
    read_free_form_line(line, {&read.upstream_node, &read.downstream_node, &read.link_length, &read.peak_flow_rate,
                               &read.upstream_elevation, &read.downstream_elevation});
    return read;
}

std::string node_text(float node)
{
    const std::string text = format_fixed(node, 12, 1);
    return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

// The strings as they grow, with each string's summed link length kept in
// file order so that a candidate's length is the sum of its file.
struct StringsInProgress {
    std::vector<std::vector<StringRecord>> records;
    std::vector<float> length_sums;

    void append(int string_number, const StringRecord& record)
    {
        StringRecord written;
        try {
            written = as_written(record);
        } catch (const FileError&) {
            // Said again with the string and the link, so that the engineer
            // finds the value in the link data base.
            string_record_line(record, "String file " + std::to_string(string_number) + " (link " +
                                           node_text(record.upstream_node) + " - " + node_text(record.downstream_node) +
                                           ")");
            throw;
        }
        records[static_cast<std::size_t>(string_number - 1)].push_back(written);
        length_sums[static_cast<std::size_t>(string_number - 1)] += written.link_length;
    }
};

class StringTracer {
public:
    StringTracer(const std::vector<StringRecord>& links, std::vector<ConfluenceRow>& rows, std::size_t strings,
                 std::vector<std::string>& window_lines)
        : links_(links), rows_(rows), window_lines_(window_lines)
    {
        strings_.records.resize(strings);
        strings_.length_sums.assign(strings, 0.0f);
        for (std::size_t k = 0; k < links.size(); ++k) {
            first_link_from_.try_emplace(number_key(links[k].upstream_node), k);
        }
        for (std::size_t r = 0; r < rows.size(); ++r) rows_by_node_[number_key(rows[r].node)].push_back(r);
    }

    // Traces string `s` from node `start` link by link; the row of the
    // confluence it enters as a tributary, or nothing when no link leaves
    // its last node (or it runs in a loop).
    std::optional<std::size_t> trace(int s, float start)
    {
        float node = start;
        for (std::size_t written = 0;; ++written) {
            const auto link = first_link_from_.find(number_key(node));
            if (link == first_link_from_.end()) return std::nullopt;
            if (written == links_.size()) {
                window_lines_.push_back(format_line(string_number_layout(TRACE_LOOP_FORMAT, s), {s, node}));
                return std::nullopt;
            }
            const StringRecord& record = links_[link->second];
            strings_.append(s, record);
            const float downstream = record.downstream_node;
            if (const auto row = entered_confluence(downstream, node)) {
                for (float& slot : rows_[*row].slots) {
                    if (slot == node) {
                        slot = -static_cast<float>(s);
                        break;
                    }
                }
                return row;
            }
            node = downstream;
        }
    }

    // Marks a row passed: its node negated.
    void pass(std::size_t row)
    {
        rows_[row].node = -rows_[row].node;
        std::vector<std::size_t>& now = rows_by_node_[number_key(rows_[row].node)];
        now.insert(std::lower_bound(now.begin(), now.end(), row), row);
    }

    StringsInProgress& strings() { return strings_; }

private:
    // The first row, in table order, whose node is `node` and one of whose
    // slots holds `upstream`.
    std::optional<std::size_t> entered_confluence(float node, float upstream) const
    {
        const auto rows = rows_by_node_.find(number_key(node));
        if (rows == rows_by_node_.end()) return std::nullopt;
        for (const std::size_t r : rows->second) {
            const ConfluenceRow& row = rows_[r];
            if (row.node != node) continue;  // passed since it was indexed
            if (std::find(row.slots.begin(), row.slots.end(), upstream) != row.slots.end()) return r;
        }
        return std::nullopt;
    }

    const std::vector<StringRecord>& links_;
    std::vector<ConfluenceRow>& rows_;
    std::vector<std::string>& window_lines_;
    StringsInProgress strings_;
    std::unordered_map<std::uint32_t, std::size_t> first_link_from_;
    // Rows by every node value they have held, each list in row order.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> rows_by_node_;
};

// Every tributary of the row has arrived and the row is not yet passed.
bool ready_for_extension(const ConfluenceRow& row)
{
    if (row.node < 0.0f) return false;
    return std::all_of(row.slots.begin(), row.slots.end(), [](float slot) { return slot <= RESOLVED_SLOT_LIMIT; });
}

}  // namespace

StringRecord string_finder_link(const LinkRecord& link)
{
    StringRecord row;
    row.upstream_node = link.upstream_node();
    row.downstream_node = link.downstream_node();
    row.link_length = link.link_length();
    row.upstream_elevation = link.upstream_elevation();
    row.downstream_elevation = link.downstream_elevation();
    bool found = false;
    for (int event = 1; event <= STORM_EVENTS; ++event) {
        const float flow = link.downstream_peak_flow(event);
        if (flow == 0.0f || flow >= PEAK_FLOW_OVERFLOW) continue;
        if (!found || flow < row.peak_flow_rate) row.peak_flow_rate = flow;
        found = true;
    }
    return row;
}

ResolvedStrings resolve_strings(const std::vector<float>& headwaters, std::vector<ConfluenceRow> confluences,
                                const std::vector<StringRecord>& links, float mainstream_selection)
{
    ResolvedStrings resolved;
    const int string_count = static_cast<int>(headwaters.size());
    StringTracer tracer(links, confluences, headwaters.size(), resolved.window_lines);

    for (int i = 1; i <= string_count; ++i) {
        resolved.window_lines.push_back(format_line(string_number_layout(CREATING_STRING_FORMAT, i), {i}));
        tracer.trace(i, headwaters[static_cast<std::size_t>(i - 1)]);
    }

    // The rows ready for extension.  A row becomes ready only when a trace
    // ends in it, and that restarts the scan from the first row, so the
    // next row the scan reaches is the first ready row at or after it.
    std::set<std::size_t> ready;
    for (std::size_t r = 0; r < confluences.size(); ++r) {
        if (ready_for_extension(confluences[r])) ready.insert(r);
    }
    std::size_t scan_from = 0;
    for (;;) {
        const auto next = ready.lower_bound(scan_from);
        if (next == ready.end()) break;
        const std::size_t r = *next;
        ready.erase(next);
        scan_from = r + 1;
        const ConfluenceRow row = confluences[r];

        // The tributary strings, in slot order.
        int chosen = 0;
        float best = NO_CANDIDATE_VALUE;
        bool any_candidate = false;
        for (const float slot : row.slots) {
            if (slot >= 0.0f) continue;
            const int s = static_cast<int>(std::fabs(slot));
            if (s < 1 || s > string_count) continue;
            any_candidate = true;
            const std::vector<StringRecord>& records = tracer.strings().records[static_cast<std::size_t>(s - 1)];
            const float value = mainstream_selection == LONGEST_BRANCH
                                    ? tracer.strings().length_sums[static_cast<std::size_t>(s - 1)]
                                    : (records.empty() ? 0.0f : records.back().peak_flow_rate);
            if (value > best) {
                best = value;
                chosen = s;
            }
        }
        if (mainstream_selection != LARGEST_PEAK_FLOW_BRANCH && mainstream_selection != LONGEST_BRANCH) {
            resolved.window_lines.push_back(format_line(NO_SELECTION_FORMAT, {row.node}));
            continue;
        }
        if (!any_candidate || chosen == 0) {
            resolved.window_lines.push_back(format_line(NO_TRIBUTARY_FORMAT, {row.node}));
            continue;
        }

        resolved.window_lines.push_back(format_line(string_number_layout(EXTENDING_STRING_FORMAT, chosen), {chosen}));
        tracer.pass(r);
        if (const auto entered = tracer.trace(chosen, row.node)) {
            if (ready_for_extension(confluences[*entered])) ready.insert(*entered);
            scan_from = 0;
        }
    }
    resolved.strings = std::move(tracer.strings().records);
    return resolved;
}

StringIndexFile string_index_of(const ResolvedStrings& resolved, const StringIndexHeader& old_header)
{
    StringIndexFile index;
    index.header = old_header;
    index.header.values[STRING_INDEX_HEADER_VALUES - 1] = 0.0f;
    int s = 0;
    for (const std::vector<StringRecord>& records : resolved.strings) {
        StringIndexRecord record;
        record.string_number = ++s;
        if (!records.empty()) {
            record.upstream_node = records.front().upstream_node;
            record.outlet_node = records.back().downstream_node;
        }
        index.records.push_back(record);
    }
    return index;
}

namespace {

constexpr std::string_view NO_HEADWATER_SET_FORMAT = "(5X,'* No headwater node set [',A,']: no strings are formed')";

// The headwater node set: the count, then that many node numbers.
std::vector<float> read_headwater_set(const std::string& name, const std::string& source)
{
    TextReader lines(name, read_text_lines(source));
    FreeFormReader reader(lines);
    int count = 0;
    FreeFormResult result = reader.read({&count});
    if (!result.ok()) {
        throw FileError(result.status == FreeFormStatus::EndOfFile
                            ? "The headwater node set '" + name + "' holds no count of nodes"
                            : result.message);
    }
    std::vector<float> nodes;
    if (count <= 0) return nodes;
    result = reader.read_floats(nodes, count);
    if (!result.ok()) {
        throw FileError(result.status == FreeFormStatus::EndOfFile
                            ? "The headwater node set '" + name + "' ends before its " + std::to_string(count) +
                                  " node numbers"
                            : result.message);
    }
    return nodes;
}

}  // namespace

void run_string_finder(RunContext& run)
{
    Session& session = run.session;
    Window& window = session.window;
    std::string& study_id = run.study_id;
    const DataFileTable& data_files = run.data_files;
    const float mainstream_selection = static_cast<float>(option_code(run.controls.mainstream_selection));
    run.string_count = 0;
    const std::string headwater_name = session.study_file(study_file_name(HEADWATER_SET_NAME_FORMAT, study_id));
    std::vector<float> headwaters;
    std::vector<ConfluenceRow> confluences;
    const std::string headwater_source = run.outputs.current_file(headwater_name);
    const bool no_node_sets = !file_exists(headwater_source) && is_curve_number_model(run.settings.model_type_code);
    if (no_node_sets) {
        // The curve number model has no node sets: the index lists no string.
        clear_screen(window);
        write_form(window, 2, 5, NO_HEADWATER_SET_FORMAT, {shown_file_name(headwater_name)});
    } else {
        if (!file_exists(headwater_source)) {
            throw FileError("The headwater node set '" + headwater_name + "' does not exist");
        }
        headwaters = read_headwater_set(headwater_name, headwater_source);
        for (const ConfluenceEntry& entry :
             read_confluence_table(session, session.study_file(confluence_table_name(study_id)))) {
            confluences.push_back({entry[0], {entry[1], entry[2], entry[3], entry[4], entry[5]}});
        }
    }

    // The strings take the study identifier of the first map's files.
    if (data_files.data_file_count() > 0) study_id = study_of_data_files(data_files);
    std::vector<StringRecord> links;
    for (const std::string& stem : data_files.data_file_names) {
        const std::string name = session.study_file(link_data_base_name(stem));
        for (const LinkRecord& link : run.links.file(name, FilePresence::Optional).records) {
            links.push_back(string_finder_link(link));
        }
    }

    if (!no_node_sets) {
        clear_screen(window);
        move_cursor(window, 2, 5);
        window.write(STRING_FINDER_HEADING);
    }
    ResolvedStrings resolved = resolve_strings(headwaters, confluences, links, mainstream_selection);
    for (const std::string& line : resolved.window_lines) window.write(line);
    window.write("");

    // The strings stay with the run for the later steps.  Every string file
    // is written afresh before the run commits (see write_run_string_files),
    // empty for a headwater that starts no link, so nothing of an earlier
    // run remains.
    const std::string index_name = session.study_file(string_index_file_name(study_id));
    const std::string index_source = run.outputs.current_file(index_name);
    const StringIndexHeader old_header =
        file_exists(index_source) ? read_string_index_file(index_source).header : StringIndexHeader{};
    run.strings = HydraulicStrings{};
    run.strings.held = true;
    store_run_string_index(run, string_index_of(resolved, old_header));
    run.strings.strings = std::move(resolved.strings);
    run.string_count = static_cast<int>(headwaters.size());
}

}  // namespace velm
