#include "strings/run_strings.h"

#include "platform/files.h"

namespace velm {

namespace {

std::string string_file_path(RunContext& run, int string_number)
{
    return run.study_file(string_file_name(run.study_id, string_number));
}

std::size_t slot(int string_number)
{
    return static_cast<std::size_t>(string_number - 1);
}

}  // namespace

std::optional<StringIndexFile> run_string_index(RunContext& run)
{
    if (run.strings.held) return run.strings.index;
    const std::string source = run.outputs.current_file(run.study_file(string_index_file_name(run.study_id)));
    if (!file_exists(source)) return std::nullopt;
    return read_string_index_file(source);
}

StringIndexFile required_run_string_index(RunContext& run)
{
    std::optional<StringIndexFile> index = run_string_index(run);
    if (!index) {
        throw FileError("The string index '" + run.study_file(string_index_file_name(run.study_id)) +
                        "' does not exist");
    }
    return std::move(*index);
}

void store_run_string_index(RunContext& run, const StringIndexFile& index)
{
    write_string_index_file(run.outputs.new_file(run.study_file(string_index_file_name(run.study_id))), index);
    if (run.strings.held) run.strings.index = index;
}

std::optional<std::vector<StringRecord>> run_string_records(RunContext& run, int string_number)
{
    if (run.strings.holds(string_number)) return run.strings.strings[slot(string_number)];
    const std::string source = run.outputs.current_file(string_file_path(run, string_number));
    if (!file_exists(source)) return std::nullopt;
    return read_string_file(source);
}

void store_run_telescoped_string(RunContext& run, int string_number, const std::vector<TelescopedStringRecord>& records)
{
    const std::string name = run.outputs.new_file(string_file_path(run, string_number));
    const std::vector<std::string> lines = telescoped_string_file_lines(name, records);
    write_string_file_lines(name, lines);
    if (!run.strings.holds(string_number)) return;
    HydraulicStrings& strings = run.strings;
    strings.telescoped.resize(strings.strings.size());
    strings.long_form_written.resize(strings.strings.size());
    std::vector<TelescopedLinkSummary>& links = strings.telescoped[slot(string_number)];
    links.clear();
    links.reserve(lines.size());
    for (const std::string& line : lines) links.push_back(telescoped_link_summary(line));
    strings.long_form_written[slot(string_number)] = true;
}

std::optional<std::vector<TelescopedLinkSummary>> run_telescoped_string_links(RunContext& run, int string_number)
{
    const HydraulicStrings& strings = run.strings;
    if (strings.holds(string_number) && slot(string_number) < strings.telescoped.size() &&
        strings.long_form_written[slot(string_number)]) {
        return strings.telescoped[slot(string_number)];
    }
    const std::string source = run.outputs.current_file(string_file_path(run, string_number));
    if (!file_exists(source)) return std::nullopt;
    return telescoped_link_summaries(read_telescoped_string_file(source));
}

void release_run_telescoped_strings(RunContext& run)
{
    std::vector<std::vector<TelescopedLinkSummary>>().swap(run.strings.telescoped);
}

void write_run_string_files(RunContext& run)
{
    HydraulicStrings& strings = run.strings;
    if (!strings.held) return;
    for (int n = 1; n <= strings.count(); ++n) {
        if (slot(n) < strings.long_form_written.size() && strings.long_form_written[slot(n)]) continue;
        write_string_file(run.outputs.new_file(string_file_path(run, n)), strings.strings[slot(n)]);
    }
}

}  // namespace velm
