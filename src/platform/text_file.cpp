// Text files of the system: CR LF line ends, the Ctrl-Z end-of-file line of
// the original platform, and the form-feed page break.
#include "platform/text_file.h"

#include "platform/files.h"

namespace velm {
namespace {

constexpr std::string_view END_OF_FILE_LINE = "\x1a";

// Walks the lines of a file's bytes: a CR before the LF is dropped, a last
// line without LF still counts, and a line holding only Ctrl-Z ends the
// file.  Returns the offset where the text ends.
template <class TakeLine>
std::size_t walk_lines(std::string_view bytes, TakeLine take_line)
{
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == END_OF_FILE_LINE) return start;
        take_line(line);
        start = next;
    }
    return bytes.size();
}

std::vector<std::string> split_lines(std::string_view bytes)
{
    std::vector<std::string> lines;
    walk_lines(bytes, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// The bytes of a file that a writer appends to: the text before a Ctrl-Z
// end line (anything behind it would stay unreadable), with the last line
// closed so that the first new line does not run into it.
std::string appendable_contents(std::string bytes)
{
    bytes.resize(walk_lines(bytes, [](std::string_view) {}));
    if (!bytes.empty() && bytes.back() != '\n') bytes += "\r\n";
    return bytes;
}

}  // namespace

TextReader::TextReader(std::string_view name) : name_(name), text_(read_whole_file(name))
{
    walk_lines(text_, [&](std::string_view line) {
        lines_.push_back({static_cast<std::size_t>(line.data() - text_.data()), line.size()});
    });
}

TextReader::TextReader(std::string name, std::vector<std::string> lines) : name_(std::move(name))
{
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size();
    text_.reserve(size);
    lines_.reserve(lines.size());
    for (const std::string& line : lines) {
        lines_.push_back({text_.size(), line.size()});
        text_ += line;
    }
}

TextReader TextReader::open_optional(std::string_view name)
{
    std::optional<std::string> bytes = read_whole_file_if_exists(name);
    return TextReader(std::string(name), bytes ? split_lines(*bytes) : std::vector<std::string>{});
}

bool TextReader::next_line(std::string& line)
{
    std::string_view view;
    if (!next_line(view)) return false;
    line.assign(view);
    return true;
}

bool TextReader::next_line(std::string_view& line)
{
    if (at_end()) return false;
    const LineSpan& span = lines_[static_cast<std::size_t>(position_)];
    line = std::string_view(text_).substr(span.begin, span.length);
    ++position_;
    return true;
}

void TextReader::rewind()
{
    position_ = 0;
}

bool is_page_break(std::string_view line)
{
    return line == PAGE_BREAK;
}

std::vector<std::string> read_text_lines(std::string_view name)
{
    return split_lines(read_whole_file(name));
}

TextWriter::TextWriter(std::string name) : name_(std::move(name)) {}

TextWriter TextWriter::for_append(std::string name)
{
    TextWriter writer(std::move(name));
    if (auto bytes = read_whole_file_if_exists(writer.name_)) writer.contents_ = appendable_contents(std::move(*bytes));
    return writer;
}

void TextWriter::write_line(std::string_view line)
{
    contents_ += line;
    contents_ += "\r\n";
}

void TextWriter::commit()
{
    replace_file_atomically(name_, contents_);
}

void write_text_lines(std::string_view name, const std::vector<std::string>& lines)
{
    TextWriter writer{std::string(name)};
    for (const auto& line : lines) writer.write_line(line);
    writer.commit();
}

void append_text_lines(std::string_view name, const std::vector<std::string>& lines)
{
    TextWriter writer = TextWriter::for_append(std::string(name));
    for (const auto& line : lines) writer.write_line(line);
    writer.commit();
}

}  // namespace velm
