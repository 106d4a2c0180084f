// Text files: lines end with CR LF when written; on reading a CR before the
// LF is dropped, a line holding only Ctrl-Z is the end of the file, and a line
// holding one form feed is a page break.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr std::string_view PAGE_BREAK = "\f";

// Reads a text file line by line, counting lines for messages.
class TextReader {
public:
    // The file must exist: FileError otherwise.
    explicit TextReader(std::string_view name);
    // An empty reader over the given lines (for optional files and tests).
    TextReader(std::string name, std::vector<std::string> lines);

    // Opens the file when it exists; an empty reader otherwise.
    static TextReader open_optional(std::string_view name);

    // Next line without its line end; false at the end of the file.
    bool next_line(std::string& line);
    // The same without a copy: the view stays valid while the reader lives.
    bool next_line(std::string_view& line);
    // Back to the first line.
    void rewind();
    // Number of the line last returned (1 for the first), 0 before any.
    int line_number() const { return position_; }
    const std::string& name() const { return name_; }
    bool at_end() const { return position_ >= static_cast<int>(lines_.size()); }

private:
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
