#include "management/differences_column_pages.h"

#include "management/record_differences.h"
#include "platform/text_file.h"

namespace velm {

namespace {

constexpr std::size_t PAGE_WIDTH = VALUES_PER_PAGE * DIFFERENCES_FIELD_WIDTH;                  // 78
constexpr std::size_t HALF_ROW_WIDTH = DIFFERENCES_VALUES_PER_LINE * DIFFERENCES_FIELD_WIDTH;  // 390

bool starts_with_form_feed(std::string_view line)
{
    return !line.empty() && line.front() == '\f';
}

// The characters from `start` of the line, blanks beyond its end.
std::string piece(const std::string& line, std::size_t start, std::size_t length)
{
    std::string text = start < line.size() ? line.substr(start, length) : std::string();
    text.resize(length, ' ');
    return text;
}

}  // namespace

std::string report_line(std::string line)
{
    line.resize(DIFFERENCES_REPORT_LINE_LENGTH, ' ');
    return line;
}

int split_differences_file(std::vector<std::string>& lines, DataBaseKind kind, int selected_columns)
{
    TextReader reader("", lines);
    std::vector<std::string> paged;
    const int entries = write_differences_column_pages(reader, kind, selected_columns,
                                                       [&paged](const std::string& line) { paged.push_back(line); });
    lines = std::move(paged);
    return entries;
}

int write_differences_column_pages(TextReader& lines, DataBaseKind kind, int selected_columns,
                                   const std::function<void(const std::string&)>& write)
{
    // The legend part ends with the page break that closes the legend page;
    // without it every line is data.
    int legend_end = 0;
    int page_breaks = 0;
    std::string_view line;
    lines.rewind();
    while (lines.next_line(line)) {
        if (!starts_with_form_feed(line)) continue;
        if (++page_breaks == 2) {
            legend_end = lines.line_number();
            break;
        }
    }
    lines.rewind();
    for (int k = 0; k < legend_end && lines.next_line(line); ++k) write(report_line(std::string(line)));

    // Each data line in turn; a subarea row that holds all 60 values on one
    // line is taken as two halves of 30.
    auto for_each_data_line = [&](const auto& take) {
        lines.rewind();
        while (lines.line_number() < legend_end)
            if (!lines.next_line(line)) break;
        while (lines.next_line(line)) {
            if (kind == DataBaseKind::SubareaKind && line.size() > HALF_ROW_WIDTH) {
                take(std::string(line.substr(0, HALF_ROW_WIDTH)));
                take(std::string(line.substr(HALF_ROW_WIDTH)));
            } else {
                take(std::string(line));
            }
        }
    };

    int pages = selected_columns / VALUES_PER_PAGE + (selected_columns % VALUES_PER_PAGE != 0 ? 1 : 0);
    pages = std::max(1, std::min(MAX_COLUMN_PAGES, pages));
    const std::size_t key_width = (kind == DataBaseKind::LinkKind ? 2 : 1) * DIFFERENCES_FIELD_WIDTH;

    int entries = 0;
    for (int page = 1; page <= pages; ++page) {
        const std::size_t start = static_cast<std::size_t>(page - 1) * PAGE_WIDTH;
        for_each_data_line([&](const std::string& data) {
            if (page == 1 && data == DIFFERENCES_ENTRY_SEPARATOR) ++entries;
            std::string text = page == 1 ? std::string() : piece(data, 0, key_width);
            text += piece(data, start, PAGE_WIDTH);
            write(report_line(text));
        });
        write(report_line(std::string(PAGE_BREAK)));
    }
    return entries;
}

}  // namespace velm
