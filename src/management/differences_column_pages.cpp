#include "management/differences_column_pages.h"

#include "management/record_differences.h"
#include "platform/text_file.h"

namespace velm {

namespace {

constexpr std::size_t PAGE_WIDTH = VALUES_PER_PAGE * DIFFERENCES_FIELD_WIDTH;                  // 78
constexpr std::size_t HALF_ROW_WIDTH = DIFFERENCES_VALUES_PER_LINE * DIFFERENCES_FIELD_WIDTH;  // 390

bool starts_with_form_feed(const std::string& line)
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
    // The legend part ends with the page break that closes the legend page.
    std::size_t legend_end = 0;
    int page_breaks = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (!starts_with_form_feed(lines[k])) continue;
        if (++page_breaks == 2) {
            legend_end = k + 1;
            break;
        }
    }

    std::vector<std::string> data;
    for (std::size_t k = legend_end; k < lines.size(); ++k) {
        const std::string& line = lines[k];
        if (kind == DataBaseKind::SubareaKind && line.size() > HALF_ROW_WIDTH) {
            data.push_back(line.substr(0, HALF_ROW_WIDTH));
            data.push_back(line.substr(HALF_ROW_WIDTH));
        } else {
            data.push_back(line);
        }
    }

    int pages = selected_columns / VALUES_PER_PAGE + (selected_columns % VALUES_PER_PAGE != 0 ? 1 : 0);
    pages = std::max(1, std::min(MAX_COLUMN_PAGES, pages));
    const std::size_t key_width = (kind == DataBaseKind::LinkKind ? 2 : 1) * DIFFERENCES_FIELD_WIDTH;

    std::vector<std::string> paged;
    for (std::size_t k = 0; k < legend_end; ++k) paged.push_back(report_line(lines[k]));
    for (int page = 1; page <= pages; ++page) {
        const std::size_t start = static_cast<std::size_t>(page - 1) * PAGE_WIDTH;
        for (const std::string& line : data) {
            std::string text = page == 1 ? std::string() : piece(line, 0, key_width);
            text += piece(line, start, PAGE_WIDTH);
            paged.push_back(report_line(text));
        }
        paged.push_back(report_line(std::string(PAGE_BREAK)));
    }
    int entries = 0;
    for (const std::string& line : data) {
        if (line == DIFFERENCES_ENTRY_SEPARATOR) ++entries;
    }
    lines = std::move(paged);
    return entries;
}

}  // namespace velm
