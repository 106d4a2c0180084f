// Text files: lines end with CR LF when written; on reading a CR before the
// LF is dropped, a line holding only Ctrl-Z is the end of the file, and a line
// holding one form feed is a page break.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr std::string_view PAGE_BREAK = "\f";

// Reads a text file line by line, counting lines for messages.
class TextReader {
public:
    // The file must exist, and be a file (see files.h): FileError otherwise.
    explicit TextReader(std::string_view name);
    // An empty reader over the given lines (for optional files and tests).
    TextReader(std::string name, std::vector<std::string> lines);
    ~TextReader();
    // A reader holds its file's reading position: it is moved, not copied.
    TextReader(TextReader&&) noexcept;
    TextReader& operator=(TextReader&&) noexcept;

    // Opens the file when it exists; an empty reader otherwise.
    static TextReader open_optional(std::string_view name);
    // A reader of a file too large to hold whole (the must-exist rule of the
    // constructor): only a block of lines around the current one is in
    // memory, and a view of a line stays valid until the next line is asked
    // for.
    static TextReader open_streamed(std::string_view name);

    // Next line without its line end; false at the end of the file.
    bool next_line(std::string& line);
    // The same without a copy: the view stays valid while the reader lives
    // (for a streamed reader, until the next call).
    bool next_line(std::string_view& line);
    // Back to the first line.
    void rewind();
    // Number of the line last returned (1 for the first), 0 before any.
    int line_number() const { return position_; }
    const std::string& name() const { return name_; }
    bool at_end() const { return position_ - first_line_ >= static_cast<int>(lines_.size()); }
    // The lines held and not yet returned: every line left for a reader of a
    // whole file (a streamed reader holds only a block), so that a reader of
    // a record a line can reserve its table once.
    std::size_t lines_held() const
    {
        return at_end() ? 0 : lines_.size() - static_cast<std::size_t>(position_ - first_line_);
    }

private:
    struct Stream;
    TextReader();
    // A streamed reader's next block of lines, once the last line of the
    // current block has been handed out.
    void read_next_block();

    // Where a line stands in the text: offsets survive a move of the reader,
    // which pointers into a short text would not.
    struct LineSpan {
        std::size_t begin = 0;
        std::size_t length = 0;
    };

    std::string name_;
    std::string text_;             // the file's bytes, each line read in place
    std::vector<LineSpan> lines_;  // the lines of text_, line ends and the Ctrl-Z end excluded
    int position_ = 0;
    // A streamed reader: text_ holds the block of lines first_line_ + 1 on,
    // the file is read on from where the block ends.
    int first_line_ = 0;
    std::unique_ptr<Stream> stream_;
};

bool is_page_break(std::string_view line);

// All lines of a file (Ctrl-Z end and CR handling as above); FileError when
// the file is missing.
std::vector<std::string> read_text_lines(std::string_view name);

// Builds a new text file in memory; commit() replaces the file atomically.
// Nothing reaches the disk before commit(), so a stop leaves the old file.
class TextWriter {
public:
    explicit TextWriter(std::string name);
    // Starts from the current content of the file (empty when missing), for
    // writers that append.
    static TextWriter for_append(std::string name);

    void write_line(std::string_view line);
    void write_page_break() { write_line(PAGE_BREAK); }
    const std::string& name() const { return name_; }
    // The file's bytes as commit() would write them, for files replaced together.
    const std::string& contents() const { return contents_; }
    void commit();

private:
    std::string name_;
    std::string contents_;
};

// Writes the lines as a whole new file, atomically.
void write_text_lines(std::string_view name, const std::vector<std::string>& lines);
// Appends the lines to the file (created when missing), atomically.
void append_text_lines(std::string_view name, const std::vector<std::string>& lines);

}  // namespace velm
