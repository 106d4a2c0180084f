// Reading lines by layout: fields are taken by column, a short line is blank
// beyond its end, a blank number is 0, digits without a point take the
// implied decimals of their F field.
#include "records/format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm {
namespace {

struct RealFieldCase {
    const char* descriptors;
    const char* line;
    float expected;
};

TEST(FormatRead, RealFields)
{
    const RealFieldCase cases[] = {
        {"(F8.2)", "   12345", 123.45f},  // implied decimals
        {"(F8.2)", "12345", 123.45f},     // wherever the digits stand in the field
        {"(F8.2)", "-12345", -123.45f},
        {"(F8.2)", "1234.5", 1234.5f},  // a point wins over the implied decimals
        {"(F8.2)", "12.", 12.0f},
        {"(F8.2)", "", 0.0f},  // a blank field, or one beyond the line's end
        {"(F8.2)", "        ", 0.0f},
        {"(F8.2)", "1 2 3", 1.23f},   // blanks inside are ignored
        {"(F8.2)", "1.5E2", 150.0f},  // exponents as Fortran writes them
        {"(F8.2)", "1.5e-2", 0.015f},
        {"(F8.2)", "1.5D2", 150.0f},
        {"(F8.2)", "1.5+2", 150.0f},
        {"(F8.2)", "15E2", 15.0f},  // implied decimals, then the exponent
        {"(F8.2)", "-", 0.0f},
        {"(F8.1)", "0.855", 0.855f},  // straight to float: no double rounding
        {"(F8.1)", "  1001.1", 1001.1f},
        {"(1X,F8.1)", "X  1001.1", 1001.1f},
        {"(F12.2)", "16777217", 167772.17f},
        {"(F8.0)", "Infinity", INFINITY},
    };
    for (const RealFieldCase& c : cases) {
        const std::vector<FormatValue> values = Format(c.descriptors).read({c.line}, 1);
        ASSERT_EQ(values.size(), 1u);
        ASSERT_TRUE(std::holds_alternative<float>(values[0])) << c.line;
        EXPECT_EQ(std::get<float>(values[0]), c.expected) << c.descriptors << " [" << c.line << "]";
    }
    EXPECT_TRUE(std::isnan(std::get<float>(Format("(F5.0)").read({"NaN"}, 1)[0])));
}

TEST(FormatRead, IntegerAndTextFields)
{
    // Fields follow the columns.
    EXPECT_EQ(Format("(I3,1X,I4.4,A6,2X,A2,I2)").read({"  7 0012abc   XYZ -3"}, 5),
              (std::vector<FormatValue>{7, 12, std::string("abc   "), std::string("Z "), -3}));
    // A short line: the fields beyond its end are blank.
    EXPECT_EQ(Format("(A6,I3,A4)").read({"ab"}, 3),
              (std::vector<FormatValue>{std::string("ab    "), 0, std::string("    ")}));
    // A without a width takes the rest of the line.
    EXPECT_EQ(Format("(2X,A)").read({"  rest of the line "}, 1),
              (std::vector<FormatValue>{std::string("rest of the line ")}));
    EXPECT_EQ(Format("(I3)").read({" 1 2"}, 1), (std::vector<FormatValue>{1}));
}

TEST(FormatRead, ConfluenceLineReadsBackWhatItsLayoutWrote)
{
    const Format layout("(1X,F8.1,5(2X,F8.1),A6)");
    const Format marked("(1X,F8.1,5(2X,F8.1),' <=== more than 5 streams')");
    const std::string line = marked.line({1001.0f, 11.5f, 12.5f, 13.5f, 14.5f, 15.5f});
    EXPECT_EQ(layout.read({line}, 7),
              (std::vector<FormatValue>{1001.0f, 11.5f, 12.5f, 13.5f, 14.5f, 15.5f, std::string(" <=== ")}));
    // A table line with two streams only.
    EXPECT_EQ(layout.read({"   1001.0      11.5"}, 7),
              (std::vector<FormatValue>{1001.0f, 11.5f, 0.0f, 0.0f, 0.0f, 0.0f, std::string("      ")}));
}

TEST(FormatRead, SlashesAndReversionMoveToTheNextLine)
{
    const Format pairs("(F4.1/F4.1)");
    EXPECT_EQ(pairs.lines_needed(2), 2);
    EXPECT_EQ(pairs.lines_needed(3), 4);  // the "/" after the third value still moves on
    EXPECT_EQ(pairs.read({" 1.5", " 2.5xxx", " 3.5"}, 3), (std::vector<FormatValue>{1.5f, 2.5f, 3.5f}));
    // Reversion goes back to the last group, on a new line.
    const Format grouped("(I2,2(F4.1))");
    EXPECT_EQ(grouped.lines_needed(3), 1);
    EXPECT_EQ(grouped.lines_needed(6), 3);
    EXPECT_EQ(grouped.read({" 7 1.0 2.0", " 3.0 4.0", " 5.0"}, 6),
              (std::vector<FormatValue>{7, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f}));
    // Lines that are not there read as blank lines.
    EXPECT_EQ(grouped.read({" 7"}, 4), (std::vector<FormatValue>{7, 0.0f, 0.0f, 0.0f}));
    // Three heading lines skipped by an empty read each.
    EXPECT_EQ(Format("(A6)").lines_needed(0), 1);
    EXPECT_EQ(Format("(A6)").read({"x"}, 0), std::vector<FormatValue>{});
}

TEST(FormatRead, BadFieldIsNamed)
{
    const char* bad_fields[] = {"12a", "1.2.3", "1,5", "1E", "1E+", "--", "*****", "1e2e", "1E99999", "infx"};
    for (const char* field : bad_fields) EXPECT_THROW(Format("(F8.2)").read({field}, 1), FormatReadError) << field;
    for (const char* field : {"1.0", "+", "2a", "9999999999", "1e2"})
        EXPECT_THROW(Format("(I10)").read({field}, 1), FormatReadError) << field;
    try {
        Format("(I3,1X,F8.1)").read({"  1 1001.X"}, 2);
        FAIL() << "no error";
    } catch (const FormatReadError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("columns 5 to 12"), std::string::npos) << message;
        EXPECT_NE(message.find("F8.1"), std::string::npos) << message;
        EXPECT_NE(message.find("1001.X"), std::string::npos) << message;
    }
    // A literal has nothing to read.
    EXPECT_THROW(Format("('x',F8.1)").read({"1"}, 1), FormatError);
}

}  // namespace
}  // namespace velm
