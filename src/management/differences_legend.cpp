#include "management/differences_legend.h"

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"

namespace velm {

namespace {

constexpr std::size_t LABEL_HEADER_LINES = 2;

const std::vector<std::string> INTRODUCTION_TEXT = {
    "",
    "                              0. INTRODUCTION",
    "     The DIFFERENCES Report provides a listing of all Subareas, Links,",
    "     and Nodes that have changes in modeling estimates caused by",
    "     modeling parameter changes.  Listed Differences are only those",
    "     values that fall outside of the TOLERANCE setting defined by YOU.",
    "",
    "     There are three rows of data.  Values inside parenthesis are the",
    "     BASELINE MPD values.  The value listed underneath is the SCENARIO",
    "     estimate.  And the last listed number is the Difference.",
    "     The legend for the data is itemized at the beginning of each report section.",
};

std::string_view legend_title(DataBaseKind kind)
{
    switch (kind) {
        case DataBaseKind::NodeKind:
            return "                              1. NODE Data Base Legend:";
        case DataBaseKind::SubareaKind:
            return "                              2. SUBAREA Data Base Legend:";
        case DataBaseKind::LinkKind:
            return "                              3. LINK Data Base Legend:";
    }
    return {};
}

std::string fallback_description(DataBaseKind kind, int column)
{
    if (kind == DataBaseKind::NodeKind && column >= 301 && column <= 600) {
        if (column % 3 == 1) return "Land Use Type";
        if (column % 3 == 2) return "Soil Grouping (N/A for Q2208)";
        return "Accumulated Area up to this Node Number";
    }
    return "Future Development";
}

struct ColumnLabel {
    int column = 0;           // global column number; a blank field reads as 0
    std::string description;  // 100 characters
};

// A label line by its layout.  A line whose number field holds no whole
// number ends the run with the file and the line named: the label file is
// the engineer's, and a description silently taken from the wrong line or
// from the fallback would mislabel the report.
ColumnLabel read_column_label(const std::string& line, std::size_t line_number, DataBaseKind kind)
{
    static const Format layout(COLUMN_LABEL_FORMAT);
    try {
        const std::vector<FormatValue> values = layout.read({line}, 2);
        return {std::get<int>(values[0]), std::get<std::string>(values[1])};
    } catch (const FormatReadError& error) {
        throw FileError("Column-label file '" + column_label_file_name(kind) + "', line " +
                        std::to_string(line_number) + ": columns 1-4 hold no column number (" + error.what() + ")");
    }
}

}  // namespace

std::string column_label_file_name(DataBaseKind kind)
{
    switch (kind) {
        case DataBaseKind::NodeKind:
            return "kelnodez.lab";
        case DataBaseKind::SubareaKind:
            return "kelsubaz.lab";
        case DataBaseKind::LinkKind:
            return "kellinkz.lab";
    }
    return {};
}

std::string column_description(DataBaseKind kind, int column, const std::vector<std::string>& label_lines)
{
    for (std::size_t k = LABEL_HEADER_LINES; k < label_lines.size(); ++k) {
        const ColumnLabel label = read_column_label(label_lines[k], k + 1, kind);
        if (label.column == column) return label.description;
    }
    return fallback_description(kind, column);
}

std::vector<std::string> differences_legend(DataBaseKind kind, const SubsetFieldList& list, std::string_view study_id)
{
    static const Format title(DIFFERENCES_TITLE_FORMAT);
    static const Format legend_line(DIFFERENCES_LEGEND_LINE_FORMAT);
    const std::string label_file = column_label_file_name(kind);
    const std::vector<std::string> labels =
        file_exists(label_file) ? read_text_lines(label_file) : std::vector<std::string>{};

    std::vector<std::string> lines;
    if (kind == DataBaseKind::NodeKind) {
        lines.push_back(title.line({std::string(study_id)}));
        lines.insert(lines.end(), INTRODUCTION_TEXT.begin(), INTRODUCTION_TEXT.end());
    }
    lines.emplace_back(PAGE_BREAK);
    lines.push_back(title.line({std::string(study_id)}));
    lines.emplace_back();
    lines.emplace_back(legend_title(kind));
    lines.emplace_back("      SUBSET    Global Data");
    lines.emplace_back("     Column #  Base Column #  Data Value DESCRIPTION");
    lines.push_back("     --------  -------------  " + std::string(75, '-'));
    const int leading = subset_leading_fields(list);
    for (int i = 0; i < leading; ++i) {
        const int column = list[static_cast<std::size_t>(i)];
        lines.push_back(legend_line.line({i + 1, column, column_description(kind, column, labels)}));
    }
    lines.emplace_back(PAGE_BREAK);
    return lines;
}

}  // namespace velm
