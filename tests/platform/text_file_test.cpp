#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;
using Lines = std::vector<std::string>;

class TextFiles : public ::testing::Test {
protected:
    TemporaryDirectory directory_;
};

TEST_F(TextFiles, LinesAsTheOriginalPlatformReadThem)
{
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},  // LF alone; last line without a line end
        {"a\r\r\n", {"a\r"}},  // only the CR before the LF goes
        {"\r\n\r\n", {"", ""}},
        {"a\r\n\x1a\r\nhidden\r\n", {"a"}},  // Ctrl-Z line ends the file
        {"a\r\n\x1a", {"a"}},
        {"a\x1a\r\n \x1a\r\n", {"a\x1a", " \x1a"}},  // Ctrl-Z with other text is data
        {"", {}},
    };
    for (const auto& c : cases) {
        TemporaryDirectory::put("in.txt", c.bytes);
        EXPECT_EQ(read_text_lines("IN.TXT"), c.lines) << testing::PrintToString(c.bytes);
    }
}

TEST_F(TextFiles, ReaderCountsLinesForMessagesAndRewinds)
{
    TemporaryDirectory::put("HISTAA.DAT", "first\r\n\f\r\nthird");
    TextReader reader("histaa.dat");
    std::string line;
    EXPECT_EQ(reader.line_number(), 0);
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "first");
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_TRUE(is_page_break(line));
    EXPECT_EQ(reader.line_number(), 2);
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "third");
    EXPECT_TRUE(reader.at_end());
    EXPECT_FALSE(reader.next_line(line));
    EXPECT_EQ(reader.line_number(), 3);

    reader.rewind();
    ASSERT_TRUE(reader.next_line(line));
    EXPECT_EQ(line, "first");
    EXPECT_EQ(reader.line_number(), 1);

    EXPECT_FALSE(is_page_break(" \f"));
    EXPECT_FALSE(is_page_break(""));
}

TEST_F(TextFiles, MissingFileIsAnErrorNamingItUnlessOptional)
{
    for (auto read : {+[](std::string_view n) { TextReader{n}; }, +[](std::string_view n) { read_text_lines(n); }}) {
        try {
            read("D:\\STUDY\\TRVLAA.DIA");
            ADD_FAILURE() << "a missing file was read";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("D:\\STUDY\\TRVLAA.DIA"), std::string::npos) << error.what();
        }
    }
    TextReader optional = TextReader::open_optional("TOOLAA.SET");
    EXPECT_TRUE(optional.at_end());
    EXPECT_EQ(optional.name(), "TOOLAA.SET");
    EXPECT_TRUE(TemporaryDirectory::entries().empty());
}

TEST_F(TextFiles, WriterBuildsInMemoryAndCommitsCrLfLines)
{
    TemporaryDirectory::put("REPORT.TXT", "old\r\n");
    TextWriter writer("report.txt");
    writer.write_line("  II. DIAGNOSTICS");
    writer.write_page_break();
    writer.write_line("");
    EXPECT_EQ(TemporaryDirectory::get("REPORT.TXT"), "old\r\n");  // nothing before commit
    writer.commit();
    EXPECT_EQ(TemporaryDirectory::get("REPORT.TXT"), "  II. DIAGNOSTICS\r\n\f\r\n\r\n");

    write_text_lines("new.txt", {"a", "b"});
    EXPECT_EQ(TemporaryDirectory::get("new.txt"), "a\r\nb\r\n");
}

// A file read a block at a time gives the lines, line numbers and end the
// whole-file reader gives, also where lines, line ends and the Ctrl-Z end
// line fall across the edges of its blocks (a megabyte each).
TEST_F(TextFiles, StreamedReaderReadsAsTheWholeFileReader)
{
    constexpr std::size_t block = std::size_t{1} << 20;
    // Lines of `length` characters with CR LF ends, up to about `bytes`.
    auto lines_of = [](std::size_t length, std::size_t bytes) {
        std::string text;
        for (char c = 'a'; text.size() < bytes; c = c == 'z' ? 'a' : static_cast<char>(c + 1))
            text += std::string(length, c) + "\r\n";
        return text;
    };
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"short lines, last without end", "a\r\nb\nc"},
        {"ctrl-z end line", "a\r\n\x1a\r\nhidden\r\n"},
        {"many blocks of data-base lines", lines_of(5990, 3 * block)},
        {"a line longer than a block", "first\r\n" + std::string(block + block / 2, 'x') + "\r\nlast\r\n"},
        {"CR at the end of a block, LF after it", std::string(block - 1, 'x') + "\r\nnext\r\n"},
        {"line end at the end of a block", std::string(block - 2, 'x') + "\r\n" + "next"},
        {"ctrl-z line in the second block", lines_of(100, block + 50) + "\x1a\r\nhidden\r\n"},
        {"ctrl-z line as the last bytes of a block", std::string(block - 3, 'x') + "\n\x1a\nhidden"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory::put("ABNODEZZ.BAS", c.bytes);
        const Lines expected = read_text_lines("ABNODEZZ.BAS");
        TextReader reader = TextReader::open_streamed("abnodezz.bas");
        for (int pass = 1; pass <= 2; ++pass) {
            Lines lines;
            std::string_view line;
            bool numbered = true;
            while (reader.next_line(line)) {
                // Compared before the next line is asked for: the view of a
                // block's last line outlives the reading of the next block.
                if (lines.size() < expected.size() && line != expected[lines.size()]) break;
                lines.emplace_back(line);
                numbered = numbered && reader.line_number() == static_cast<int>(lines.size());
            }
            EXPECT_EQ(lines.size(), expected.size()) << "pass " << pass;
            EXPECT_TRUE(lines == expected) << "pass " << pass;
            EXPECT_TRUE(numbered) << "pass " << pass;
            EXPECT_TRUE(reader.at_end());
            reader.rewind();
            EXPECT_EQ(reader.line_number(), 0);
        }
    }
    try {
        TextReader::open_streamed("D:\\STUDY\\ABLINKZZ.BAS");
        ADD_FAILURE() << "a missing file was read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("D:\\STUDY\\ABLINKZZ.BAS"), std::string::npos) << error.what();
    }
}

TEST_F(TextFiles, AppendKeepsEveryLineReadable)
{
    struct Case {
        const char* name;
        std::optional<std::string> before;
        std::string after;
    };
    const Case cases[] = {
        {"missing", std::nullopt, "new\r\n"},
        {"whole lines", "old\r\n", "old\r\nnew\r\n"},
        {"unix lines kept as they are", "old\n", "old\nnew\r\n"},
        {"last line without end", "old", "old\r\nnew\r\n"},
        {"ctrl-z end line", "old\r\n\x1a\r\n", "old\r\nnew\r\n"},
        {"ctrl-z without line end", "old\r\n\x1a", "old\r\nnew\r\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove("HISTAA.DAT");
        if (c.before) TemporaryDirectory::put("HISTAA.DAT", *c.before);
        append_text_lines("HISTAA.DAT", {"new"});
        EXPECT_EQ(TemporaryDirectory::get("HISTAA.DAT"), c.after) << c.name;
    }
}

}  // namespace
}  // namespace velm
