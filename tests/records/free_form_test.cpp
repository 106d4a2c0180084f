// The free-form reader's own rules (messages, ends of reads, text held in
// memory) and the free-form writer's line layout.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "records/free_form.h"

namespace velm {
namespace {

::testing::AssertionResult mentions(const std::string& message, const std::vector<std::string>& parts)
{
    for (const std::string& part : parts) {
        if (message.find(part) == std::string::npos) {
            return ::testing::AssertionFailure() << "\"" << message << "\" does not mention \"" << part << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(FreeFormWriter, LinesAsTheFilesHoldThem)
{
    const float infinity = std::numeric_limits<float>::infinity();
    struct Case {
        std::vector<FreeFormValue> values;
        std::string expected;
    };
    const Case cases[] = {
        {{5}, "           5"},
        {{-2147483647 - 1, 0}, " -2147483648           0"},
        {{5, std::string("abc"), 6}, "           5 abc           6"},
        {{std::string("    * Check Link Data Base *")}, "     * Check Link Data Base *"},
        {{std::string("'quoted' as it stands")}, " 'quoted' as it stands"},
        {{12.0f, 0.5f, 0.855f, 0.1f, 100.0f}, " 12.0 0.5 0.855 0.1 100.0"},
        {{99999.0f, 123456.7f, 1.0e8f, -0.0f, 0.0f}, " 99999.0 123456.7 100000000.0 -0.0 0.0"},
        {{0.0001f, 1.0e-5f, 1.5e-5f, -2.5e-7f}, " 0.0001 1.0E-05 1.5E-05 -2.5E-07"},
        {{1.0e9f, std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min()},
         " 1.0E+09 3.4028235E+38 1.0E-45"},
        {{infinity, -infinity, std::numeric_limits<float>::quiet_NaN()}, " Infinity -Infinity NaN"},
        {{1.0f, 3, std::string("x")}, " 1.0           3 x"},
        {{}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(free_form_line(c.values), c.expected);
    }
}

// Every read starts on a new line and leaves the rest of its last line.
TEST(FreeFormReader, EachReadStartsOnTheNextLine)
{
    TextReader lines("STUDY.ZLL", {"", "1 2 3 4", "5", "6 7 8", "  ", "9 10 / 11", "12,,14 extra"});
    FreeFormReader reader(lines);
    const std::vector<std::vector<float>> expected = {{1, 2}, {5, 6}, {9, 10}, {12, 0}};
    std::vector<float> values;
    for (const std::vector<float>& record : expected) {
        const FreeFormResult result = reader.read_floats(values, 2);
        ASSERT_TRUE(result.ok()) << result.message;
        EXPECT_EQ(values, record);
    }
    EXPECT_EQ(reader.read_floats(values, 2).status, FreeFormStatus::EndOfFile);
}

// Nulls and a slash leave a target as it was; read_floats starts from zeros.
TEST(FreeFormReader, NullsKeepTheTargetsValues)
{
    float real = 7.5f;
    int integer = 42;
    std::string text = "kept";
    ASSERT_TRUE(read_free_form_line(",,,", {&real, &integer, &text}).ok());
    EXPECT_EQ(real, 7.5f);
    EXPECT_EQ(integer, 42);
    EXPECT_EQ(text, "kept");
    ASSERT_TRUE(read_free_form_line("2* 'new'", {&real, &integer, &text}).ok());
    EXPECT_EQ(text, "new");
    ASSERT_TRUE(read_free_form_line("1.5 /", {&real, &integer, &text}).ok());
    EXPECT_EQ(real, 1.5f);
    EXPECT_EQ(integer, 42);

    TextReader lines("STUDY.ZNN", {"9 9 9", ",2*,4"});
    FreeFormReader reader(lines);
    std::vector<float> values = {9, 9, 9, 9};
    ASSERT_TRUE(reader.read_floats(values, 3).ok());
    ASSERT_TRUE(reader.read_floats(values, 4).ok());
    EXPECT_EQ(values, (std::vector<float>{0, 0, 0, 4}));
}

// A read of no targets passes over one line.
TEST(FreeFormReader, ReadOfNothingPassesOverOneLine)
{
    TextReader lines("STUDY.ZSS", {"heading 'text", "3"});
    FreeFormReader reader(lines);
    ASSERT_TRUE(reader.read({}).ok());
    int value = 0;
    ASSERT_TRUE(reader.read({&value}).ok());
    EXPECT_EQ(value, 3);
    EXPECT_EQ(reader.read({}).status, FreeFormStatus::EndOfFile);
}

TEST(FreeFormReader, ErrorsNameTheFileTheLineAndTheItem)
{
    struct Case {
        std::vector<std::string> lines;
        std::string pattern;  // R real, I integer, A text
        std::vector<std::string> mentioned;
    };
    const Case cases[] = {
        {{"1 2", "3 ****"}, "RR", {"\"STUDY.ZLL\"", "line 2", "item 2", "****"}},
        {{"'pipe' 2.5"}, "AI", {"\"STUDY.ZLL\"", "line 1", "item 2", "2.5"}},
        {{"1", "", "2"}, "RRRR", {"\"STUDY.ZLL\"", "line 3", "ends", "item 3 of 4"}},
        {{"1 2 3 4 5", "1", "'abc'x"}, "RA", {"line 3", "item 2", "abc"}},
        {{"0*5"}, "R", {"line 1", "item 1", "zero repeat count"}},
        {{"2*7"}, "RI", {"line 1", "item 2", "another kind"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.back());
        TextReader lines("STUDY.ZLL", c.lines);
        FreeFormReader reader(lines);
        std::vector<float> reals(c.pattern.size());
        std::vector<int> integers(c.pattern.size());
        std::vector<std::string> texts(c.pattern.size());
        std::vector<FreeFormTarget> targets;
        for (std::size_t k = 0; k < c.pattern.size(); ++k) {
            if (c.pattern[k] == 'R') targets.emplace_back(&reals[k]);
            if (c.pattern[k] == 'I') targets.emplace_back(&integers[k]);
            if (c.pattern[k] == 'A') targets.emplace_back(&texts[k]);
        }
        FreeFormResult result;
        while ((result = reader.read(targets)).ok()) {}
        ASSERT_EQ(result.status, FreeFormStatus::Error);
        EXPECT_TRUE(mentions(result.message, c.mentioned));
    }
}

// Text held in memory: its line feeds separate lines, and messages count
// lines from the number the caller gives.
TEST(FreeFormReader, TextHeldInMemory)
{
    float a = 0, b = 0, c = 0;
    ASSERT_TRUE(read_free_form_line("1\n\n2 'two\nlines' 3 4", {&a, &b}).ok());
    EXPECT_EQ(a, 1.0f);
    EXPECT_EQ(b, 2.0f);
    std::string text;
    ASSERT_TRUE(read_free_form_line("'two\nlines' 3", {&text, &c}).ok());
    EXPECT_EQ(text, "twolines");
    EXPECT_EQ(c, 3.0f);

    EXPECT_EQ(read_free_form_line("", {&a}).status, FreeFormStatus::EndOfFile);
    EXPECT_EQ(read_free_form_line("  \n\t", {&a}).status, FreeFormStatus::EndOfFile);

    FreeFormResult result = read_free_form_line("1\n2 x", {&a, &b, &c}, "contzz.zzz", 10);
    EXPECT_EQ(result.status, FreeFormStatus::Error);
    EXPECT_TRUE(mentions(result.message, {"\"contzz.zzz\"", "line 11", "item 3", "\"x\""}));
    result = read_free_form_line("1 2", {&a, &b, &c});
    EXPECT_EQ(result.status, FreeFormStatus::Error);
    EXPECT_TRUE(mentions(result.message, {"line 1", "item 3 of 3"}));
}

}  // namespace
}  // namespace velm
