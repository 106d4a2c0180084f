// Text files of the system: CR LF line ends, the Ctrl-Z end-of-file line of
// the original platform, and the form-feed page break.
#include "platform/text_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace velm {
namespace {

// Bytes read at a time by the streamed reader.
constexpr std::size_t STREAM_BLOCK_BYTES = std::size_t{1} << 20;

[[noreturn]] void throw_stream_error(std::string_view action, std::string_view name, int error)
{
    const auto end = name.find_last_not_of(' ');
    const std::string_view shown = end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1);
    throw FileError(std::string(action) + " file '" + std::string(shown) + "': " + std::strerror(error));
}

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

// The open file of a streamed reader and what of it is not yet in a block.
struct TextReader::Stream {
    int fd = -1;
    std::size_t size = 0;  // bytes of the file as it was opened: none is read beyond them
    std::size_t left = 0;  // bytes of it not yet read
    std::string rest;      // the start of a line whose end is not read yet
    std::string previous;  // the block before the current one: its last line may still be in view
    bool ended = false;    // no more lines: the file's end, or its Ctrl-Z line, was reached

    ~Stream()
    {
        if (fd >= 0) close(fd);
    }
};

TextReader::TextReader() = default;
TextReader::~TextReader() = default;
TextReader::TextReader(TextReader&&) noexcept = default;
TextReader& TextReader::operator=(TextReader&&) noexcept = default;

TextReader TextReader::open_streamed(std::string_view name)
{
    TextReader reader;
    reader.name_ = std::string(name);
    reader.stream_ = std::make_unique<Stream>();
    // Opened as a whole file is read: a regular file only, never waited on.
    const OpenedFile file = open_file_for_reading(name);
    reader.stream_->fd = file.fd;
    reader.stream_->size = file.size;
    reader.stream_->left = file.size;
    reader.read_next_block();
    return reader;
}

void TextReader::read_next_block()
{
    Stream& stream = *stream_;
    first_line_ = position_;
    lines_.clear();
    // The view of the line just handed out stays valid: its block is kept.
    stream.previous = std::move(text_);
    text_ = std::move(stream.rest);
    stream.rest.clear();
    while (!stream.ended && lines_.empty()) {
        // Read until the block holds a whole line, or the file ends.
        bool at_file_end = false;
        std::size_t last_line_end = text_.rfind('\n');
        while (last_line_end == std::string::npos && !at_file_end) {
            const std::size_t old_size = text_.size();
            text_.resize(old_size + STREAM_BLOCK_BYTES);
            ssize_t got = 0;
            if (stream.left > 0) {
                do {
                    got = ::read(stream.fd, text_.data() + old_size, std::min(STREAM_BLOCK_BYTES, stream.left));
                } while (got < 0 && errno == EINTR);
            }
            if (got < 0) throw_stream_error("Cannot read", name_, errno);
            stream.left -= static_cast<std::size_t>(got);
            text_.resize(old_size + static_cast<std::size_t>(got));
            at_file_end = got == 0;
            const std::size_t found = text_.find('\n', old_size);
            if (found != std::string::npos) last_line_end = text_.rfind('\n');
        }
        if (!at_file_end) {
            stream.rest.assign(text_, last_line_end + 1);
            text_.resize(last_line_end + 1);
        }
        const std::size_t text_end = walk_lines(text_, [&](std::string_view line) {
            lines_.push_back({static_cast<std::size_t>(line.data() - text_.data()), line.size()});
        });
        // A Ctrl-Z line ends the file, whatever follows it.
        if (at_file_end || text_end < text_.size()) stream.ended = true;
    }
    if (stream.ended) stream.rest.clear();
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
    const LineSpan& span = lines_[static_cast<std::size_t>(position_ - first_line_)];
    line = std::string_view(text_).substr(span.begin, span.length);
    ++position_;
    if (stream_ && at_end()) read_next_block();
    return true;
}

void TextReader::rewind()
{
    position_ = 0;
    if (!stream_) return;
    if (lseek(stream_->fd, 0, SEEK_SET) < 0) throw_stream_error("Cannot read", name_, errno);
    stream_->ended = false;
    stream_->left = stream_->size;
    stream_->rest.clear();
    text_.clear();
    read_next_block();
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
