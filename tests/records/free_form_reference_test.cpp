// The free-form reader and writer against the compiler's own list-directed
// READ and WRITE: the same text goes through both, and what each put into
// the same targets must agree.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "records/free_form.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

constexpr float UNSET_REAL = -12345.0f;
constexpr int UNSET_INTEGER = -999;
const std::string UNSET_TEXT = "<unset>";

class FreeFormReference : public ::testing::Test {
protected:
    // The file's full name.
    std::string write_file(const std::string& name, const std::string& contents)
    {
        const std::string path = directory_.file(name);
        test::TemporaryDirectory::put(path, contents);
        return path;
    }

    static std::string run(const std::string& arguments)
    {
        const std::string command = std::string("'") + VELM_FORTRAN_HELPER_DIR + "/free_form_reference' " + arguments;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return "cannot run " + command;
        std::string output;
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        ::pclose(pipe);
        return output;
    }

    // What the compiler's READ(unit,*) makes of the file, read after read.
    static std::string reference_reads(const std::string& pattern, const std::string& path)
    {
        return run("read " + pattern + " '" + path + "'");
    }

    // The same reads through the system's reader, shown the same way, with
    // the message of a failed last read.
    struct OurReads {
        std::string shown;
        std::string last_message;
    };
    static OurReads our_reads(const std::string& pattern, const std::string& path)
    {
        std::vector<float> reals(pattern.size());
        std::vector<int> integers(pattern.size());
        std::vector<std::string> texts(pattern.size());
        std::vector<FreeFormTarget> targets;
        for (std::size_t k = 0; k < pattern.size(); ++k) {
            if (pattern[k] == 'R') targets.emplace_back(&reals[k]);
            if (pattern[k] == 'I') targets.emplace_back(&integers[k]);
            if (pattern[k] == 'A') targets.emplace_back(&texts[k]);
        }
        TextReader lines(path);
        FreeFormReader reader(lines);
        OurReads result;
        for (;;) {
            std::fill(reals.begin(), reals.end(), UNSET_REAL);
            std::fill(integers.begin(), integers.end(), UNSET_INTEGER);
            std::fill(texts.begin(), texts.end(), UNSET_TEXT);
            const FreeFormResult status = reader.read(targets);
            if (status.status == FreeFormStatus::EndOfFile) {
                result.shown += "END\n";
                return result;
            }
            if (status.status == FreeFormStatus::Error) {
                result.shown += "ERR\n";
                result.last_message = status.message;
                return result;
            }
            result.shown += "OK\n";
            for (std::size_t k = 0; k < pattern.size(); ++k) {
                char line[300];
                if (pattern[k] == 'R') {
                    std::snprintf(line, sizeof line, "R %08X\n", std::bit_cast<std::uint32_t>(reals[k]));
                } else if (pattern[k] == 'I') {
                    std::snprintf(line, sizeof line, "I %d\n", integers[k]);
                } else {
                    std::string text = texts[k];
                    while (!text.empty() && text.back() == ' ') text.pop_back();
                    std::snprintf(line, sizeof line, "A [%s]\n", text.c_str());
                }
                result.shown += line;
            }
        }
    }

    test::TemporaryDirectory directory_;
};

struct HostileCase {
    const char* what;
    const char* pattern;  // R real, I integer, A text target
    const char* text;     // the file
    bool ends_mid_read;   // the file ends inside the last read
};

// Every file is read to its end or to its first error by both readers.  The
// compiler reports a file that ends inside a read as the end of the file;
// the system takes it as a broken record, an error naming the file.
const HostileCase HOSTILE_CASES[] = {
    {"quoted texts with blanks, commas and quotes", "AAAA",
     "'a b, c' 'it''s' \"say \"\"hi\"\" it's\" 'a\"\"b'\n''  ''''  '' ' x'\n", false},
    {"unquoted texts end at a separator", "AAA", "abc def/ghi\nab'c,12.5\ta*b\n", false},
    {"text spread over two lines", "AR", "'abc\ndef' 5\n'x'\n'y' 6\n", false},
    {"text after a slash inside quotes", "AA", "'a/b' c/d\n'x',,'y'\n", false},
    {"text closed by the end of the file", "A", "'abc", false},
    {"repeated values", "RRRR", "3*2.5 7\n2*1 2*2\n", false},
    {"repeated quoted text", "AAA", "2*'x y' z\n3*abc\n2*3 4\n", false},
    {"repeated nulls over targets of three kinds", "RIA", "3*\n3* 5\n1*5 1*6 1*x\n", false},
    {"repeated value over targets of two kinds", "RRI", "3*5\n", false},
    {"repeated text over targets of two kinds", "AR", "2*'x'\n", false},
    {"repeated nulls", "RRRR", "1 2* 4\n2*,5 6 7\n1 2*\n5\n2*/\n", false},
    {"empty items between commas", "RRRR", "1,,3 , ,\n,5,\n,7\n1 , \n\t, 2,3\n", false},
    {"comma at the start of a line", "RRR", "1\n,5\n6\n1,\n,5\n", false},
    {"slash ends the read", "RRR", "1 2 /\n4/5\n/\n7 8 9\n1,/\n", false},
    {"record spread over several lines", "RRRRRR", "1\n\n2 3\n 4\n5\n6\n", false},
    {"surplus values are skipped", "RR", "1 2 3 4\n5 6 7\n3*8\n9 1\n", false},
    {"blank lines before and between records", "R", "\n \n\t\n1\n\n2\n\n", false},
    {"tabs separate values", "RIA", "\t1.5\t2\tabc\t\n1.5\t\t-3\t'a\tb'\n", false},
    {"mixed record", "ARIRA", "'Pipe 1' 120.5 3 4.25E-3 ok\nX,1,2,3,Y\n", false},
    {"forms of reals", "RRRRRRRRRRRRRRRR",
     "1.5D2 1.5d2 1.5+2 1.5-2 7 .5 5. +.5e-3 -0.0 1.e5\n1.5q2 007 1.5E+02 -1.5D-02 1e40 -1e99999\n", false},
    {"tiny reals", "RRR", "1e-50 1e-40 1.4E-45\n", false},
    {"infinities and NaN", "RRRRRR", "inf -Infinity INF NaN nan(abc) -nan\n", false},
    {"forms of integers", "IIIII", "+5 -0 007 -2147483648 2147483647\n", false},
    {"numbers read as texts", "AA", "12.5 -3\n", false},
    {"only blank lines", "RR", "  \n\n\t\n", false},
    {"empty file", "RR", "", false},
    {"integer item given a real", "RI", "1 2\n1.5 2.5\n", false},
    {"integer item given 1.0", "I", "1.0\n", false},
    {"integer item given an exponent", "I", "1e3\n", false},
    {"integer item given a D exponent", "I", "1d2\n", false},
    {"integer too large", "I", "2147483648\n", false},
    {"integer of a lone sign", "I", "+\n", false},
    {"integer sign apart from its digits", "I", "- 5\n", false},
    {"integer in hexadecimal", "I", "0x10\n", false},
    {"asterisks for a real", "RR", "1 ****\n", false},
    {"asterisks for an integer", "I", "****\n", false},
    {"real of a lone point", "R", ".\n", false},
    {"real of a lone sign", "R", "-\n", false},
    {"real in hexadecimal", "R", "0x1p3\n", false},
    {"real with an empty exponent", "R", "1.5E+\n", false},
    {"real with a letter exponent only", "R", "1d\n", false},
    {"real with a point in its exponent", "R", "1.5e+2.0\n", false},
    {"real without digits", "R", ".e5\n", false},
    {"real with trailing letters", "R", "5x\n", false},
    {"real with two points", "R", "1.5.2\n", false},
    {"real with two exponents", "R", "1.5e-2-3\n", false},
    {"real spelled almost infinity", "R", "infx\n", false},
    {"real spelled almost NaN", "R", "nanx\n", false},
    {"quoted text for a real", "R", "'1.5'\n", false},
    {"quoted text for an integer", "I", "'15'\n", false},
    {"quoted text running into letters", "AA", "'abc'def\n", false},
    {"zero repeat count", "RR", "0*5\n", false},
    {"zero repeat count of a text", "AA", "0*x\n", false},
    {"repeat count too large", "RR", "99999999999*5\n", false},
    {"asterisk without a count", "RR", "*5\n", false},
    {"two asterisks", "RR", "2**5\n", false},
    {"repeated value with an asterisk", "RR", "2*5*3\n", false},
    {"repeated real for an integer", "RI", "2*1.5\n", false},
    {"file ends after one of two values", "RR", "1\n", true},
    {"file ends after a null", "RRR", ",\n", true},
    {"file ends after nulls", "RRR", ", ,\n", true},
    {"file ends inside a repeat", "RRR", "2*5", true},
    {"file ends after a text", "AA", "''''\n", true},
    {"file ends after the second record started", "RR", "1 2\n3\n", true},
};

TEST_F(FreeFormReference, HostileFilesReadAsTheCompilerReadsThem)
{
    int index = 0;
    for (const HostileCase& c : HOSTILE_CASES) {
        SCOPED_TRACE(std::string(c.what) + ": [" + c.text + "]");
        const std::string path = write_file("case" + std::to_string(index++) + ".txt", c.text);
        std::string expected = reference_reads(c.pattern, path);
        const OurReads ours = our_reads(c.pattern, path);
        if (c.ends_mid_read) {
            ASSERT_GE(expected.size(), 4u);
            ASSERT_EQ(expected.substr(expected.size() - 4), "END\n");
            expected.replace(expected.size() - 4, 4, "ERR\n");
            EXPECT_NE(ours.last_message.find(path), std::string::npos) << ours.last_message;
            EXPECT_NE(ours.last_message.find("ends"), std::string::npos) << ours.last_message;
        }
        EXPECT_EQ(ours.shown, expected);
        if (ours.shown.ends_with("ERR\n")) {
            EXPECT_NE(ours.last_message.find(path), std::string::npos) << ours.last_message;
            EXPECT_NE(ours.last_message.find("line "), std::string::npos) << ours.last_message;
        }
    }
}

// Many floats written free-form read back to the very same bits, through the
// system's reader and through the compiler's.
TEST_F(FreeFormReference, WrittenRealsReadBackToTheSameFloats)
{
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 0.855f,
                                 0.1f,
                                 99999.0f,
                                 88888.0f,
                                 1.0e-5f,
                                 123456792.0f,
                                 1.0e9f,
                                 std::numeric_limits<float>::max(),
                                 -std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::min(),
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
    std::mt19937 random(20240917u);
    std::uniform_int_distribution<std::uint32_t> any_bits;
    std::uniform_real_distribution<float> engineering(-10000.0f, 10000.0f);
    while (values.size() < 20000) {
        const float from_bits = std::bit_cast<float>(any_bits(random));
        if (!std::isnan(from_bits)) values.push_back(from_bits);
        values.push_back(engineering(random));
    }
    values.resize(20000);

    constexpr int PER_LINE = 10;
    std::string text;
    for (std::size_t i = 0; i < values.size(); i += PER_LINE) {
        std::vector<FreeFormValue> line(values.begin() + static_cast<std::ptrdiff_t>(i),
                                        values.begin() + static_cast<std::ptrdiff_t>(i + PER_LINE));
        text += free_form_line(line) + "\n";
    }
    const std::string path = write_file("reals.txt", text);

    TextReader lines(path);
    FreeFormReader reader(lines);
    std::vector<float> read_back;
    for (std::size_t i = 0; i < values.size(); i += PER_LINE) {
        const FreeFormResult result = reader.read_floats(read_back, PER_LINE);
        ASSERT_TRUE(result.ok()) << result.message;
        for (int k = 0; k < PER_LINE; ++k) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(read_back[k]), std::bit_cast<std::uint32_t>(values[i + k]))
                << "value " << values[i + k] << " written as " << shortest_float_text(values[i + k]);
        }
    }
    EXPECT_EQ(reader.read_floats(read_back, PER_LINE).status, FreeFormStatus::EndOfFile);

    std::istringstream reference(reference_reads(std::string(PER_LINE, 'R'), path));
    std::string line;
    for (std::size_t i = 0; i < values.size(); i += PER_LINE) {
        ASSERT_TRUE(std::getline(reference, line));
        ASSERT_EQ(line, "OK");
        for (int k = 0; k < PER_LINE; ++k) {
            ASSERT_TRUE(std::getline(reference, line));
            char expected[16];
            std::snprintf(expected, sizeof expected, "R %08X", std::bit_cast<std::uint32_t>(values[i + k]));
            ASSERT_EQ(line, expected) << "value " << values[i + k] << " written as "
                                      << shortest_float_text(values[i + k]);
        }
    }
    ASSERT_TRUE(std::getline(reference, line));
    EXPECT_EQ(line, "END");
}

// The fixed-decimal fields of the data files ("-123.45", "0.00", "12.")
// read as strtof converts them and as the compiler reads them: whole
// numbers around 2^24, up to ten decimals and beyond, halfway texts, and
// many random fields of the widths the layouts write.
TEST_F(FreeFormReference, FixedDecimalFieldsReadAsStrtofAndTheCompilerReadThem)
{
    std::vector<std::string> texts = {"0.00",
                                      "-0.00",
                                      "0.",
                                      "-0.",
                                      ".5",
                                      "-.5",
                                      "12.",
                                      "+7.25",
                                      "0.1",
                                      "0.2",
                                      "0.3",
                                      "0.855",
                                      "-0.855",
                                      "16777215",
                                      "16777216",
                                      "16777217",
                                      "-16777217",
                                      "1677721.5",
                                      "1677721.7",
                                      "9999999.99",
                                      "999999.94",
                                      "0.0000000001",
                                      "0.00000000001",
                                      "1.0000000001",
                                      "33554431.0",
                                      "8388608.5",
                                      "8388609.5",
                                      "0.000000059604644775390625",
                                      "123456789012345678",
                                      "1234567890123456789",
                                      "000000000000000000012.5",
                                      "3.4028235",
                                      "340282350000000000000000000000000000000.0",
                                      "0.0000000000000000000000000000000000000117549435"};
    std::mt19937 random(20241210u);
    for (int k = 0; k < 20000; ++k) {
        const int whole = std::uniform_int_distribution<int>(0, 9)(random);
        const int decimals = std::uniform_int_distribution<int>(0, 11)(random);
        std::string text = random() % 2 ? "-" : "";
        for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + random() % 10);
        if (decimals > 0 || whole == 0) text += '.';
        for (int d = 0; d < decimals || (whole == 0 && d == 0); ++d) text += static_cast<char>('0' + random() % 10);
        texts.push_back(text);
    }
    constexpr std::size_t PER_LINE = 10;
    while (texts.size() % PER_LINE != 0) texts.push_back("1.5");
    std::string file;
    for (std::size_t i = 0; i < texts.size(); ++i) file += texts[i] + (i % PER_LINE == PER_LINE - 1 ? "\n" : " ");
    const std::string path = write_file("fixed.txt", file);

    TextReader lines(path);
    FreeFormReader reader(lines);
    std::vector<float> read;
    std::string ours;
    for (std::size_t i = 0; i < texts.size(); i += PER_LINE) {
        const FreeFormResult result = reader.read_floats(read, static_cast<int>(PER_LINE));
        ASSERT_TRUE(result.ok()) << result.message;
        ours += "OK\n";
        for (std::size_t k = 0; k < PER_LINE; ++k) {
            const std::string& text = texts[i + k];
            ASSERT_EQ(std::bit_cast<std::uint32_t>(read[k]),
                      std::bit_cast<std::uint32_t>(std::strtof(text.c_str(), nullptr)))
                << text;
            char line[16];
            std::snprintf(line, sizeof line, "R %08X\n", std::bit_cast<std::uint32_t>(read[k]));
            ours += line;
        }
    }
    EXPECT_EQ(reference_reads(std::string(PER_LINE, 'R'), path), ours + "END\n");
}

// Integers are written as the compiler's WRITE(*,*) writes them.
TEST_F(FreeFormReference, IntegersWrittenAsTheCompilerWritesThem)
{
    const std::vector<int> values = {0, 5, -5, 100, 99999, -2147483647 - 1, 2147483647, 1234567890, -42};
    std::string text;
    for (int value : values) text += std::to_string(value) + "\n";
    std::istringstream reference(run("write-integers '" + write_file("integers.txt", text) + "'"));
    std::string line;
    for (int value : values) {
        ASSERT_TRUE(std::getline(reference, line));
        EXPECT_EQ(free_form_line({value}), line);
    }
    EXPECT_FALSE(std::getline(reference, line));
}

}  // namespace
}  // namespace velm
