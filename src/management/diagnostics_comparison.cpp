#include "management/diagnostics_comparison.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <set>

#include "diagnostics/report_lines.h"
#include "management/settings_changes.h"
#include "management/toolset_entry_check.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/diagnostics_report.h"
#include "records/format.h"
#include "records/study_names.h"
#include "shell/control_settings.h"
#include "shell/dialogue.h"
#include "shell/launcher.h"

namespace velm {

namespace {

using Lines = std::vector<std::string>;

constexpr std::string_view RULE_PATTERN = " *--------";
constexpr std::string_view CROSS_CHECK_PATTERN = "     *";
constexpr std::string_view STATISTICS_PATTERN = "    II";
constexpr int CROSS_CHECK_FIRST = 21;  // delimiters 21 to 29 are cross-check headings
constexpr int STATISTICS_DELIMITER = 30;

const Lines BASELINE_ONLY = {"   (The Following Data are in the Baseline Diagnostics File",
                             "    but NOT in the Scenario Diagnostics File!)"};
const Lines SCENARIO_ONLY = {"   (The Following Data are in the Scenario Diagnostics File",
                             "    but NOT in the Baseline Diagnostics File!)"};

std::string separator()
{
    return format_line(REPORT_SEPARATOR_FORMAT, {});
}

// ---------------------------------------------------------------------------
// A report divided by its delimiter lines.

struct DividedReport {
    const Lines* lines = nullptr;
    std::array<int, REPORT_WITH_EXCEPTIONS_DELIMITERS + 1> delimiter{};  // line index of delimiter k
    int count = 0;

    // The lines between delimiter k - 1 and delimiter k, page breaks left out.
    Lines section(int k) const
    {
        Lines result;
        if (k > count) return result;
        for (int i = delimiter[static_cast<std::size_t>(k - 1)] + 1; i < delimiter[static_cast<std::size_t>(k)]; ++i) {
            const std::string& line = (*lines)[static_cast<std::size_t>(i)];
            if (!line.empty() && line.front() == '\f') continue;
            result.push_back(line);
        }
        return result;
    }
    std::string delimiter_line(int k) const
    {
        return k <= count ? (*lines)[static_cast<std::size_t>(delimiter[static_cast<std::size_t>(k)])] : std::string();
    }
    // The n lines just before delimiter k.
    Lines before_delimiter(int k, int n) const
    {
        Lines result;
        if (k > count) return result;
        for (int i = delimiter[static_cast<std::size_t>(k)] - n; i < delimiter[static_cast<std::size_t>(k)]; ++i) {
            if (i >= 0) result.push_back((*lines)[static_cast<std::size_t>(i)]);
        }
        return result;
    }
};

std::string_view pattern_after(int found)
{
    if (found < CROSS_CHECK_FIRST - 1 || found >= STATISTICS_DELIMITER) return RULE_PATTERN;
    if (found < STATISTICS_DELIMITER - 1) return CROSS_CHECK_PATTERN;
    return STATISTICS_PATTERN;
}

// Records 1 and 2 are the signature; the count starts at record 3.
DividedReport divide_report(const Lines& lines)
{
    DividedReport report;
    report.lines = &lines;
    report.delimiter[0] = 1;
    for (std::size_t i = 2; i < lines.size() && report.count < REPORT_WITH_EXCEPTIONS_DELIMITERS; ++i) {
        const std::string_view pattern = pattern_after(report.count);
        if (lines[i].compare(0, pattern.size(), pattern) == 0) {
            ++report.count;
            report.delimiter[static_cast<std::size_t>(report.count)] = static_cast<int>(i);
        }
    }
    return report;
}

// ---------------------------------------------------------------------------
// Entries.

struct Entry {
    std::array<float, 4> value{};
    std::array<float, 7> flags{};
    int position = 0;  // in its own report's list, from 1
};

std::optional<float> number_text(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t last = text.find_last_not_of(' ');
    const std::string token(text.substr(first, last - first + 1));
    char* end = nullptr;
    const float value = std::strtof(token.c_str(), &end);
    if (end != token.c_str() + token.size()) return std::nullopt;
    return value;
}

std::optional<float> fixed_number(const std::string& line, std::size_t start, std::size_t width)
{
    if (line.size() <= start) return std::nullopt;
    return number_text(std::string_view(line).substr(start, width));
}

// A line of exactly `count` blank-separated numbers.
std::optional<std::array<float, 4>> free_numbers(const std::string& line, std::size_t count)
{
    std::array<float, 4> values{};
    std::size_t found = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        i = line.find_first_not_of(' ', i);
        if (i == std::string::npos) break;
        std::size_t end = line.find(' ', i);
        if (end == std::string::npos) end = line.size();
        const std::optional<float> value = number_text(std::string_view(line).substr(i, end - i));
        if (!value || found == count) return std::nullopt;
        values[found++] = *value;
        i = end;
    }
    if (found != count) return std::nullopt;
    return values;
}

// Up to eight node numbers of 9 columns each; the numbers above 0.
std::optional<std::vector<float>> node_numbers(const std::string& line)
{
    constexpr std::size_t FIELD = 9;
    if (line.find_first_not_of(' ') == std::string::npos ||
        line.find_first_not_of(' ', 8 * FIELD) != std::string::npos) {
        return std::nullopt;
    }
    std::vector<float> numbers;
    for (std::size_t start = 0; start < line.size(); start += FIELD) {
        const std::string_view field = std::string_view(line).substr(start, FIELD);
        if (field.find_first_not_of(' ') == std::string_view::npos) continue;
        const std::optional<float> value = number_text(field);
        if (!value) return std::nullopt;
        if (*value > 0.0f) numbers.push_back(*value);
    }
    return numbers;
}

float flag_code(std::string_view flag)
{
    if (flag == "Yes") return 1.0f;
    if (flag == "No " || flag == "No") return 2.0f;
    if (flag == "N/A") return 3.0f;
    return 0.0f;
}

enum class Writer { NodePair, NodeList, LinkValue, SubareaFlag, Wsp };
enum class Form { Standard, CheckedFirst, Network };

struct SectionSpec {
    int k;
    Form form;
    int heading;  // H
    Writer writer;
    int layout;  // the writer's layout; for node lists the line that carries the count (0 none)
};

// The entries of one line; nothing when the line is not an entry of the section.
std::optional<std::vector<Entry>> parse_entry_line(const SectionSpec& spec, const std::string& line)
{
    std::vector<Entry> entries;
    switch (spec.writer) {
        case Writer::NodePair: {
            const bool with_position = spec.layout == 1 || spec.layout == 4;
            const auto values = free_numbers(line, with_position ? 3 : 2);
            if (!values) return std::nullopt;
            Entry entry;
            entry.value[0] = (*values)[with_position ? 1 : 0];
            entry.value[1] = (*values)[with_position ? 2 : 1];
            entries.push_back(entry);
            break;
        }
        case Writer::NodeList: {
            const auto numbers = node_numbers(line);
            if (!numbers) return std::nullopt;
            for (float number : *numbers) {
                Entry entry;
                entry.value[0] = number;
                entries.push_back(entry);
            }
            break;
        }
        case Writer::LinkValue: {
            const auto values = free_numbers(line, 3);
            if (!values) return std::nullopt;
            Entry entry;
            entry.value = *values;
            entries.push_back(entry);
            break;
        }
        case Writer::SubareaFlag: {
            const auto number = fixed_number(line, 6, 9);
            if (!number) return std::nullopt;
            Entry entry;
            entry.value[0] = *number;
            constexpr std::array<std::size_t, 7> FLAG_STARTS{21, 32, 41, 50, 57, 63, 69};
            for (std::size_t f = 0; f < FLAG_STARTS.size(); ++f) {
                std::string flag = FLAG_STARTS[f] < line.size() ? line.substr(FLAG_STARTS[f], 3) : std::string();
                flag.resize(3, ' ');
                entry.flags[f] = flag_code(flag);
            }
            entries.push_back(entry);
            break;
        }
        case Writer::Wsp: {
            Entry entry;
            if (spec.layout == 1) {
                const auto number = fixed_number(line, 9, 9);
                const auto code = fixed_number(line, 24, 4);
                const auto value = fixed_number(line, 40, 8);
                if (!number || !code || !value) return std::nullopt;
                entry.value = {*number, 0.0f, *code, *value};
            } else {
                const auto first = fixed_number(line, 9, 9);
                const auto second = fixed_number(line, 27, 9);
                const auto code = fixed_number(line, 44, 4);
                const auto value = fixed_number(line, 60, 8);
                if (!first || !second || !code || !value) return std::nullopt;
                entry.value = {*first, *second, *code, *value};
            }
            entries.push_back(entry);
            break;
        }
    }
    return entries;
}

// The entries from `first` on, up to the first line that is not an entry
// (and at most `limit` lines).
std::vector<Entry> read_entries(const SectionSpec& spec, const Lines& lines, std::size_t first,
                                std::size_t limit = std::string::npos)
{
    std::vector<Entry> entries;
    for (std::size_t i = first; i < lines.size() && i - first < limit; ++i) {
        const std::optional<std::vector<Entry>> line_entries = parse_entry_line(spec, lines[i]);
        if (!line_entries) break;
        for (Entry entry : *line_entries) {
            entry.position = static_cast<int>(entries.size()) + 1;
            entries.push_back(entry);
        }
    }
    return entries;
}

// ---------------------------------------------------------------------------
// Writers.

// A heading line that ends with the section's count (" = " and a number)
// refers to one report only: it is cut before the " = ".
std::string without_count(const std::string& line)
{
    const std::size_t at = line.rfind(" = ");
    return at == std::string::npos ? line : line.substr(0, at + 1);
}

std::array<float, 4> match_key(const Entry& entry, Writer writer)
{
    switch (writer) {
        case Writer::NodePair:
            return {entry.value[0], entry.value[1], 0.0f, 0.0f};
        case Writer::LinkValue:
            return {entry.value[0], entry.value[1], entry.value[2], 0.0f};
        default:
            return {entry.value[0], 0.0f, 0.0f, 0.0f};
    }
}

std::vector<Entry> only_in(const std::vector<Entry>& entries, const std::vector<Entry>& others, Writer writer)
{
    std::set<std::array<float, 4>> keys;
    for (const Entry& other : others) keys.insert(match_key(other, writer));
    std::vector<Entry> result;
    for (const Entry& entry : entries) {
        if (!keys.count(match_key(entry, writer))) result.push_back(entry);
    }
    return result;
}

std::string entry_line(const SectionSpec& spec, const Entry& e, std::string_view study_id)
{
    switch (spec.writer) {
        case Writer::NodePair:
            if (spec.layout == 2) return format_line("(8X,F8.1,9X,F8.1)", {e.value[0], e.value[1]});
            if (spec.layout == 3) return format_line("(8X,F8.1,2X,F8.1)", {e.value[0], e.value[1]});
            return format_line("(3X,I3,7X,F8.1,3X,F8.1)", {e.position, e.value[0], e.value[1]});
        case Writer::LinkValue:
            if (spec.layout == 1) return format_line("(2X,F8.1,3X,F8.1,4X,F8.3)", {e.value[0], e.value[1], e.value[2]});
            return format_line("(2X,F8.1,3X,F8.1,5X,F9.4)", {e.value[0], e.value[1], e.value[2]});
        case Writer::SubareaFlag: {
            std::vector<FormatValue> values{e.value[0]};
            for (float code : e.flags) {
                values.emplace_back(std::string(code == 1.0f   ? "Yes"
                                                : code == 2.0f ? "No "
                                                : code == 3.0f ? "N/A"
                                                               : "   "));
            }
            return format_line("(6X,F9.2,6X,A3,8X,A3,6X,A3,6X,A3,4X,A3,3X,A3,3X,A3)", values);
        }
        case Writer::Wsp: {
            const std::string file =
                format_line("(A2,I4.4,'.WSP')", {std::string(study_id), static_cast<int>(e.value[2])});
            if (spec.layout == 1) return format_line("(9X,F9.2,4X,A,8X,F8.2)", {e.value[0], file, e.value[3]});
            return format_line("(9X,F9.2,9X,F9.2,6X,A,8X,F8.2)", {e.value[0], e.value[1], file, e.value[3]});
        }
        case Writer::NodeList:
            break;
    }
    return {};
}

// Writes the entries of one report only under the heading and the
// captions; returns the section's difference count.
int write_section_differences(const SectionSpec& spec, const std::vector<Entry>& baseline,
                              const std::vector<Entry>& scenario, Lines heading, std::string_view study_id, Lines& out)
{
    const std::vector<Entry> baseline_only = only_in(baseline, scenario, spec.writer);
    const std::vector<Entry> scenario_only = only_in(scenario, baseline, spec.writer);
    if (baseline_only.empty() && scenario_only.empty()) return 0;

    if (spec.writer != Writer::SubareaFlag && spec.writer != Writer::Wsp) {
        for (std::size_t i = 0; i < heading.size() && i < 2; ++i) heading[i] = without_count(heading[i]);
    }
    std::string last_heading;
    if (spec.writer == Writer::Wsp && !heading.empty()) {
        last_heading = heading.back();
        heading.pop_back();
    }
    out.insert(out.end(), heading.begin(), heading.end());

    int count = 0;
    for (const auto& [entries, caption] :
         {std::pair{&baseline_only, &BASELINE_ONLY}, std::pair{&scenario_only, &SCENARIO_ONLY}}) {
        if (entries->empty()) continue;
        out.insert(out.end(), caption->begin(), caption->end());
        if (spec.writer == Writer::Wsp) out.push_back(last_heading);
        if (spec.writer == Writer::NodeList) {
            for (std::size_t i = 0; i < entries->size(); i += 8) {
                std::vector<FormatValue> numbers;
                for (std::size_t j = i; j < entries->size() && j < i + 8; ++j)
                    numbers.emplace_back((*entries)[j].value[0]);
                out.push_back(format_line(NODE_LIST_FORMAT, numbers));
            }
        } else {
            for (const Entry& entry : *entries) out.push_back(entry_line(spec, entry, study_id));
        }
        const bool counts_captions = spec.writer == Writer::NodePair || spec.writer == Writer::LinkValue;
        count += counts_captions ? 1 : static_cast<int>(entries->size());
    }
    return count;
}

// ---------------------------------------------------------------------------
// The section walk.

class SectionWalk {
public:
    SectionWalk(const DividedReport& baseline, const DividedReport& scenario, std::string_view study_id, Lines& out)
        : b_(baseline), s_(scenario), study_id_(study_id), out_(out)
    {
    }

    void run();

private:
    int standard(const SectionSpec& spec);
    int checked_first(const SectionSpec& spec);
    void network();
    void node_set_blocks();
    void none_rule()
    {
        if (group_total_ == 0) {
            out_.emplace_back("       NONE");
            out_.push_back(separator());
        }
        group_total_ = 0;
    }
    void copy(const Lines& lines) { out_.insert(out_.end(), lines.begin(), lines.end()); }

    const DividedReport& b_;
    const DividedReport& s_;
    std::string_view study_id_;
    Lines& out_;
    int group_total_ = 0;
};

int SectionWalk::standard(const SectionSpec& spec)
{
    const Lines base = b_.section(spec.k);
    const Lines scen = s_.section(spec.k);
    const std::size_t h = static_cast<std::size_t>(spec.heading);
    const std::vector<Entry> baseline = base.size() >= h ? read_entries(spec, base, h) : std::vector<Entry>{};
    const std::vector<Entry> scenario = scen.size() >= h ? read_entries(spec, scen, h) : std::vector<Entry>{};
    const Lines& heading_source = scen.size() >= h ? scen : base;
    const Lines heading(heading_source.begin(),
                        heading_source.begin() + static_cast<long>(std::min(h, heading_source.size())));
    const int count = write_section_differences(spec, baseline, scenario, heading, study_id_, out_);
    group_total_ += count;
    if (count > 0) out_.push_back(b_.delimiter_line(spec.k));
    return count;
}

// Sections whose list may read "None" (or "==> No Errors!"): the heading
// lines, then the entries up to the first line that is not one.  Past the
// subarea checks the first heading line is the delimiter before the section.
int SectionWalk::checked_first(const SectionSpec& spec)
{
    const auto read = [&](const DividedReport& report, Lines& heading) {
        Lines lines = report.section(spec.k);
        if (spec.k > 20) lines.insert(lines.begin(), report.delimiter_line(spec.k - 1));
        const std::size_t h = std::min(static_cast<std::size_t>(spec.heading), lines.size());
        heading.assign(lines.begin(), lines.begin() + static_cast<long>(h));
        return read_entries(spec, lines, h);
    };
    Lines base_heading;
    Lines scen_heading;
    const std::vector<Entry> baseline = read(b_, base_heading);
    const std::vector<Entry> scenario = read(s_, scen_heading);
    const int count = write_section_differences(spec, baseline, scenario,
                                                scen_heading.empty() ? base_heading : scen_heading, study_id_, out_);
    group_total_ += count;
    if (count > 0) out_.push_back(spec.k == 20 ? b_.delimiter_line(20) : separator());
    return count;
}

// The headwater, confluence and seam node blocks that the node-set checks
// write after the last cross-check list when they find exceptions: each
// block is compared with the same block of the other report.
void SectionWalk::node_set_blocks()
{
    constexpr std::array<std::string_view, 3> TITLES{"     Headwater nodes", "     Confluence nodes",
                                                     "     Seam nodes"};
    const SectionSpec spec{30, Form::CheckedFirst, 0, Writer::NodeList, 0};
    const auto block = [&](const DividedReport& report, std::string_view title, Lines& heading) {
        const Lines lines = report.section(spec.k);
        const auto start = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.compare(0, title.size(), title) == 0;
        });
        // The title and its notes, up to the first line of nodes.
        constexpr long MAX_BLOCK_HEADING = 4;
        auto first_entry = start;
        while (first_entry != lines.end() && first_entry - start < MAX_BLOCK_HEADING &&
               !parse_entry_line(spec, *first_entry)) {
            ++first_entry;
        }
        heading.assign(start, first_entry);
        return read_entries(spec, lines, static_cast<std::size_t>(first_entry - lines.begin()));
    };
    for (std::string_view title : TITLES) {
        Lines base_heading;
        Lines scen_heading;
        const std::vector<Entry> baseline = block(b_, title, base_heading);
        const std::vector<Entry> scenario = block(s_, title, scen_heading);
        const int count = write_section_differences(
            spec, baseline, scenario, scen_heading.empty() ? base_heading : scen_heading, study_id_, out_);
        if (count > 0) out_.push_back(separator());
        group_total_ += count;
    }
}

// The network diagnostics lists after the statistics heading, present only
// in reports that carry them in every one of the three sections.
void SectionWalk::network()
{
    constexpr std::array<SectionSpec, 3> NETWORK{SectionSpec{32, Form::Network, 5, Writer::Wsp, 1},
                                                 SectionSpec{33, Form::Network, 4, Writer::Wsp, 1},
                                                 SectionSpec{34, Form::Network, 3, Writer::Wsp, 2}};
    bool any_zero = false;
    bool any_positive = false;
    for (const SectionSpec& spec : NETWORK) {
        for (const DividedReport* report : {&b_, &s_}) {
            const int count = static_cast<int>(report->section(spec.k).size()) - spec.heading;
            any_zero = any_zero || count == 0 || report->count < spec.k;
            any_positive = any_positive || count > 0;
        }
    }
    if (any_zero || !any_positive) return;
    for (const SectionSpec& spec : NETWORK) {
        const Lines base = b_.section(spec.k);
        const Lines scen = s_.section(spec.k);
        const std::size_t h = static_cast<std::size_t>(spec.heading);
        const std::vector<Entry> baseline = base.size() > h ? read_entries(spec, base, h) : std::vector<Entry>{};
        const std::vector<Entry> scenario = scen.size() > h ? read_entries(spec, scen, h) : std::vector<Entry>{};
        // The last heading line from the baseline, or from the scenario when
        // only the scenario has entries; the others from the scenario.
        Lines heading(scen.begin(), scen.begin() + static_cast<long>(std::min(h, scen.size())));
        if (heading.size() == h && base.size() >= h && !(baseline.empty() && !scenario.empty()))
            heading.back() = base[h - 1];
        const int count = write_section_differences(spec, baseline, scenario, heading, study_id_, out_);
        if (count > 0) out_.push_back(separator());
        group_total_ += count;
    }
}

void SectionWalk::run()
{
    copy(b_.before_delimiter(1, 1));
    out_.push_back(b_.delimiter_line(1));
    // Link checks A to L.
    standard({2, Form::Standard, 6, Writer::NodePair, 1});
    standard({3, Form::Standard, 5, Writer::NodePair, 1});
    standard({4, Form::Standard, 5, Writer::NodePair, 1});
    standard({5, Form::Standard, 5, Writer::NodePair, 4});
    standard({6, Form::Standard, 4, Writer::NodeList, 0});
    standard({7, Form::Standard, 4, Writer::NodeList, 0});
    standard({8, Form::Standard, 4, Writer::LinkValue, 1});
    for (int k = 9; k <= 12; ++k) standard({k, Form::Standard, 2, Writer::NodeList, 0});
    standard({13, Form::Standard, 4, Writer::LinkValue, 2});
    none_rule();
    copy(b_.before_delimiter(14, 2));
    out_.push_back(b_.delimiter_line(14));
    // Node checks A to D.
    for (int k = 15; k <= 18; ++k) standard({k, Form::Standard, 2, Writer::NodeList, 0});
    none_rule();
    copy(b_.before_delimiter(19, 2));
    out_.push_back(b_.delimiter_line(19));
    // Subarea checks.
    checked_first({20, Form::CheckedFirst, 5, Writer::SubareaFlag, 0});
    none_rule();
    out_.push_back(b_.delimiter_line(21));
    // Subarea data base against the model.
    for (int k = 23; k <= 25; ++k) checked_first({k, Form::CheckedFirst, 2, Writer::NodeList, 0});
    checked_first({26, Form::CheckedFirst, 3, Writer::NodePair, 2});
    none_rule();
    out_.push_back(b_.delimiter_line(26));
    // Link data base against the model; the node-set blocks that may follow
    // the last list are not links and end it.
    for (int k = 28; k <= 30; ++k) checked_first({k, Form::CheckedFirst, 4, Writer::NodePair, 3});
    node_set_blocks();
    none_rule();
    out_.emplace_back("     VII. Network Diagnostics Report:");
    out_.push_back(separator());
    network();
    none_rule();
}

// The reasons the window gives for an exception report that is not made.
constexpr std::string_view MISSING = "DOES NOT EXIST";
constexpr std::string_view SHORT_CONTROL_FILE = "IS NOT A COMPLETE CONTROL FILE";
constexpr std::string_view SHORT_TOOL_FILE = "DOES NOT HOLD 100 TOOL FLAGS";

// Every line of the exception report is 80 characters, its page breaks
// (a form feed and 79 blanks) included.
std::string exception_line(std::string line)
{
    line.resize(EXCEPTION_REPORT_LINE_LENGTH, ' ');
    return line;
}

// What the run wrote before the comparison, on the row above a message that
// refuses the comparison: the run then ends refused with those changes in
// place, and says so.
void tell_what_was_written(Session& session, std::string_view written)
{
    if (written.empty()) return;
    std::string line = "  *** " + std::string(written);
    line.resize(SCREEN_COLUMNS - 1, ' ');
    write_at(session.window, 1, MESSAGE_ROW - 1, line, LineEnd::StayOnLine);
}

// The run ends right after the comparison, so every reason it gives stays on
// the window until the user has read it.
[[noreturn]] void refuse_report(Session& session, const std::string& name, std::string_view what,
                                std::string_view written)
{
    tell_what_was_written(session, written);
    stop_with_message(session.window,
                      "  *** Fatal Error: [" + name.substr(0, 12) + "] " + std::string(what) + " Diagnostics File",
                      "diagnostics comparison: " + name + " refused");
}

// Why no exception report is appended, when an input is missing or short:
// the comparison is not made, and the user would otherwise never learn why
// the report stayed as it was.  Always false, the comparison's result.
bool tell_no_exception_report(Session& session, std::string_view name, std::string_view why, std::string_view written)
{
    tell_what_was_written(session, written);
    sound_beep(session.window);
    write_at(session.window, 1, MESSAGE_ROW,
             "  *** NO EXCEPTION REPORT: [" + std::string(name) + "] " + std::string(why));
    wait_for_return_on_refusal(session.window);
    return false;
}

}  // namespace

void check_diagnostics_comparison_files(Session& session, std::string_view study_id)
{
    bool all_stand = true;
    for (const std::string_view layout :
         {BASELINE_REPORT_NAME_FORMAT, DIAGNOSTICS_REPORT_FILE_NAME_FORMAT, BASELINE_CONTROL_FILE_NAME_FORMAT,
          CONTROL_FILE_NAME_FORMAT, TOOLSET_FILE_NAME_FORMAT}) {
        if (!file_exists(session.study_file(study_file_name(layout, study_id)))) all_stand = false;
    }
    if (all_stand) {
        FileChange().reach(session.study_file(study_file_name(DIAGNOSTICS_REPORT_FILE_NAME_FORMAT, study_id)), true);
    }
}

std::vector<std::string> exception_report_difference_groups(const ReportLines& baseline, const ReportLines& scenario,
                                                            std::string_view study_id)
{
    const DividedReport b = divide_report(baseline.lines);
    const DividedReport s = divide_report(scenario.lines);
    Lines out;
    SectionWalk(b, s, study_id, out).run();
    return out;
}

bool compare_diagnostics_files(Session& session, std::string_view study_id, std::string_view written)
{
    const std::string baseline_name = study_file_name(BASELINE_REPORT_NAME_FORMAT, study_id);
    const std::string scenario_name = study_file_name(DIAGNOSTICS_REPORT_FILE_NAME_FORMAT, study_id);
    const std::string baseline_file = session.study_file(baseline_name);
    const std::string scenario_file = session.study_file(scenario_name);
    for (const std::string* name : {&baseline_name, &scenario_name}) {
        if (!file_exists(session.study_file(*name))) return tell_no_exception_report(session, *name, MISSING, written);
    }

    const ReportLines baseline{baseline_name, read_text_lines(baseline_file)};
    const ReportLines scenario{scenario_name, read_text_lines(scenario_file)};
    for (const ReportLines* report : {&baseline, &scenario}) {
        if (!has_report_signature(report->lines)) refuse_report(session, report->name, "is not an QEV VELM", written);
    }
    for (const ReportLines* report : {&baseline, &scenario}) {
        const int count = divide_report(report->lines).count;
        if (count != COMPLETE_REPORT_DELIMITERS && count != REPORT_WITH_EXCEPTIONS_DELIMITERS) {
            refuse_report(session, report->name, "is not a Complete QEV VELM", written);
        }
    }

    // Every other input is read before anything is written: a missing or
    // short control file or tool-status file leaves the report as it is.
    std::optional<StoredSettings> settings[2];
    const std::string control_names[2] = {study_file_name(BASELINE_CONTROL_FILE_NAME_FORMAT, study_id),
                                          study_file_name(CONTROL_FILE_NAME_FORMAT, study_id)};
    for (int k = 0; k < 2; ++k) {
        const std::string file = session.study_file(control_names[k]);
        settings[k] = read_stored_settings(file);
        if (!settings[k])
            return tell_no_exception_report(session, control_names[k], file_exists(file) ? SHORT_CONTROL_FILE : MISSING,
                                            written);
    }
    const std::optional<StoredSettings>& baseline_settings = settings[0];
    const std::optional<StoredSettings>& scenario_settings = settings[1];
    const std::optional<std::vector<int>> flags = read_complete_toolset_flags(session, study_id);
    if (!flags) {
        const std::string name = study_file_name(TOOLSET_FILE_NAME_FORMAT, study_id);
        return tell_no_exception_report(session, name,
                                        file_exists(session.study_file(name)) ? SHORT_TOOL_FILE : MISSING, written);
    }

    Lines report = {std::string(PAGE_BREAK)};
    const std::string box_indent(18, ' ');
    for (const std::string& text :
         {std::string("*-----------------------------------*"), std::string("*   DIAGNOSTICS EXCEPTION REPORT    *"),
          std::string("*  ===============================  *"), "*  Baseline Filename: " + baseline_name + "  *",
          "*  Scenario Filename: " + scenario_name + "  *", std::string("*-----------------------------------*")}) {
        report.push_back(box_indent + text);
    }
    report.emplace_back();
    for (std::string& line : settings_change_lines(*baseline_settings, *scenario_settings))
        report.push_back(std::move(line));
    for (std::string& line : exception_report_difference_groups(baseline, scenario, study_id))
        report.push_back(std::move(line));
    for (std::string& line : toolset_entry_check_lines(*flags)) report.push_back(std::move(line));

    // The exception report is appended to the scenario's report as a change
    // of its own: the report is whole before or after, never cut.
    FileChange change;
    change.reach(scenario_file, true);
    TextWriter appended = TextWriter::for_append(scenario_file);
    for (std::string& line : report) appended.write_line(exception_line(std::move(line)));
    change.write(scenario_file, appended.contents());
    change.commit();
    return true;
}

}  // namespace velm
