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
