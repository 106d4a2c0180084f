#include "records/node_set_files.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/study_names.h"

namespace velm {

namespace {

// The first line of the fatal block that may close the confluence table: a
// rule of hyphens, which no entry of numbers begins with.
bool opens_confluence_fatal_block(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(' ');
    return first != std::string::npos && line.compare(first, 2, "--") == 0;
}

}  // namespace

std::string confluence_table_name(std::string_view study_id)
{
    return study_file_name(CONFLUENCE_TABLE_NAME_FORMAT, study_id);
}

std::string downstream_node_set_name(std::string_view study_id)
{
    return study_file_name(DOWNSTREAM_NODE_SET_NAME_FORMAT, study_id);
}

std::vector<std::string> confluence_table_heading()
{
    static const Format heading(CONFLUENCE_TABLE_HEADING_FORMAT);
    return heading.write({});
}

std::string confluence_record_line(const ConfluenceRecord& record)
{
    static const Format plain(CONFLUENCE_RECORD_FORMAT);
    static const Format marked(MARKED_CONFLUENCE_RECORD_FORMAT);
    std::vector<FormatValue> values{record.confluence_node};
    for (float node : record.upstream_nodes) values.emplace_back(node);
    return record.over_connected() ? marked.line(values) : plain.line(values);
}

std::vector<std::string> confluence_fatal_block(const std::vector<float>& over_connected_nodes)
{
    static const Format block(CONFLUENCE_FATAL_BLOCK_FORMAT);
    static const Format nodes(CONFLUENCE_FATAL_NODES_FORMAT);
    std::vector<std::string> lines = block.write({});
    std::vector<FormatValue> values(over_connected_nodes.begin(), over_connected_nodes.end());
    for (std::string& line : nodes.write(values)) lines.push_back(std::move(line));
    return lines;
}

std::vector<float> read_node_set_groups(const std::string& name, const std::string& source)
{
    std::vector<std::string> text = file_exists(source) ? read_text_lines(source) : std::vector<std::string>{};
    // Every number takes at least one character and a separator, so no
    // group of the file can hold more numbers than the file has characters.
    std::size_t characters = 0;
    for (const std::string& line : text) characters += line.size() + 1;
    TextReader lines(name, std::move(text));
    FreeFormReader reader(lines);
    std::vector<float> nodes;
    for (;;) {
        int count = 0;
        FreeFormResult result = reader.read({&count});
        if (result.status == FreeFormStatus::EndOfFile) break;
        if (!result.ok()) throw FileError(result.message);
        if (count > 0 && static_cast<std::size_t>(count) > characters) {
            throw FileError("Node-set file '" + name + "', line " + std::to_string(lines.line_number()) +
                            ": a group of " + std::to_string(count) + " node numbers is longer than the file");
        }
        std::vector<float> group;
        result = reader.read_floats(group, count);
        if (result.status == FreeFormStatus::EndOfFile) {
            throw FileError("Node-set file '" + name + "' ends before the " + std::to_string(count) +
                            " node numbers of its last group");
        }
        if (!result.ok()) throw FileError(result.message);
        nodes.insert(nodes.end(), group.begin(), group.end());
    }
    return nodes;
}

std::vector<ConfluenceEntry> read_confluence_table(const std::string& name, const std::string& source)
{
    if (!file_exists(source)) {
        throw FileError("The confluence table '" + name + "' that the link checks write does not exist");
    }
    std::vector<std::string> lines = read_text_lines(source);
    if (lines.size() < static_cast<std::size_t>(CONFLUENCE_HEADING_LINES)) {
        throw FileError("The confluence table '" + name + "' ends within its three heading lines");
    }
    for (std::size_t k = CONFLUENCE_HEADING_LINES; k < lines.size(); ++k) {
        if (opens_confluence_fatal_block(lines[k])) {
            lines.resize(k);
            break;
        }
    }
    TextReader table(name, std::move(lines));
    std::string heading;
    for (int k = 0; k < CONFLUENCE_HEADING_LINES; ++k) table.next_line(heading);

    FreeFormReader reader(table);
    std::vector<ConfluenceEntry> entries;
    for (;;) {
        std::vector<float> values;
        const FreeFormResult result = reader.read_floats(values, CONFLUENCE_ENTRY_VALUES);
        if (result.status == FreeFormStatus::EndOfFile) break;
        if (!result.ok()) throw FileError(result.message);
        if (values[0] == 0.0f) continue;
        ConfluenceEntry entry{};
        std::copy(values.begin(), values.end(), entry.begin());
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::string> counted_node_set_lines(const std::vector<float>& nodes)
{
    static const Format node_lines(NODE_SET_LINE_FORMAT);
    std::vector<std::string> lines{free_form_line({static_cast<int>(nodes.size())})};
    const std::vector<std::string> numbers = node_lines.write(std::vector<FormatValue>(nodes.begin(), nodes.end()));
    lines.insert(lines.end(), numbers.begin(), numbers.end());
    return lines;
}

}  // namespace velm
