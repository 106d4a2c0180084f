// Writing by layout: field texts, record structure, and the layouts the
// engine refuses.  The comparison with gfortran over many drawn values is in
// format_reference_test.cpp; these cases pin the rules a reader of a report
// or a data base sees.
#include "records/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace velm {
namespace {

struct FixedCase {
    float value;
    int width;
    int decimals;
    const char* expected;
};

TEST(FormatFixed, RoundsTheStoredFloatAndFitsTheField)
{
    const FixedCase cases[] = {
        {0.855f, 8, 2, "    0.86"},  // the float lies above 0.855
        {0.125f, 5, 2, " 0.12"},     // exact ties go to the even digit
        {0.375f, 5, 2, " 0.38"},
        {2.5f, 3, 0, " 2."},
        {3.5f, 3, 0, " 4."},
        {0.5f, 4, 2, "0.50"},  // room for the leading zero
        {0.5f, 3, 2, ".50"},   // no room: the zero goes
        {0.5f, 2, 2, "**"},
        {-0.001f, 5, 2, "-0.00"},  // a negative value rounding to zero keeps its sign
        {-0.001f, 4, 2, "-.00"},
        {-0.001f, 3, 2, "***"},
        {-0.0f, 8, 2, "   -0.00"},
        {0.0f, 8, 2, "    0.00"},
        {0.0f, 4, 2, "0.00"},  // a zero: the leading zero where there is room
        {0.0f, 3, 2, ".00"},
        {0.0f, 2, 2, "**"},
        {0.0f, 2, 0, "0."},
        {0.0f, 1, 0, "*"},
        {0.0f, 12, 9, " 0.000000000"},
        {0.0f, 13, 11, "0.00000000000"},
        {0.4f, 2, 0, "0."},  // without decimals the zero is the only digit
        {0.4f, 1, 0, "*"},
        {-0.4f, 3, 0, "-0."},
        {99999.99f, 8, 2, "99999.99"},  // the widest values that fit
        {-9999.99f, 8, 2, "-9999.99"},
        {100000.0f, 8, 2, "********"},
        {9.996f, 5, 2, "10.00"},  // rounding carries into a new digit
        {9.996f, 4, 2, "****"},
        {-10000.0f, 8, 2, "********"},
        {1.0e11f, 12, 0, "99999997952."},
        {1234.5678f, 10, 3, "  1234.568"},
        {1.0e-7f, 8, 6, "0.000000"},
        {12.0f, 8, 0, "     12."},
        {INFINITY, 8, 2, "Infinity"},
        {INFINITY, 5, 1, "  Inf"},
        {-INFINITY, 8, 2, "    -Inf"},
        {NAN, 8, 2, "     NaN"},
        {NAN, 2, 0, "**"},
    };
    for (const FixedCase& c : cases) {
        EXPECT_EQ(format_fixed(c.value, c.width, c.decimals), c.expected)
            << c.value << " in F" << c.width << "." << c.decimals;
    }
}

struct IntegerCase {
    int value;
    int width;
    int min_digits;
    const char* expected;
};

TEST(FormatInteger, RightAlignsWithLeadingZerosOrStars)
{
    const IntegerCase cases[] = {
        {7, 4, 4, "0007"},
        {123, 4, 4, "0123"},
        {12345, 4, 4, "****"},
        {-7, 4, 4, "****"},
        {-7, 5, 4, "-0007"},
        {0, 3, 0, "   "},
        {0, 3, 1, "  0"},
        {-99, 3, 1, "-99"},
        {-100, 3, 1, "***"},
        {1000, 3, 1, "***"},
        {INT_MIN, 11, 1, "-2147483648"},
    };
    for (const IntegerCase& c : cases) {
        EXPECT_EQ(format_integer(c.value, c.width, c.min_digits), c.expected)
            << c.value << " in I" << c.width << "." << c.min_digits;
    }
}

struct LayoutCase {
    const char* descriptors;
    std::vector<FormatValue> values;
    std::vector<std::string> records;
};

TEST(FormatWrite, RecordsOfALayout)
{
    const LayoutCase cases[] = {
        // Text fields stand for blank-padded character variables.
        {"(A3,'|',A8,'|',A,'|')",
         {std::string("abcdef"), std::string("abc"), std::string("ab c ")},
         {"abc|abc     |ab c |"}},
        {"(1X,'''',A10,'''')", {std::string("LINK-1")}, {" 'LINK-1    '"}},
        {"('It''s ',I2,' o''clock')", {3}, {"It's  3 o'clock"}},
        {"(1X,'*',3('-'),'*')", {}, {" *---*"}},
        {"(A2,I4.4,'ZZ.ZLL')", {std::string("AB"), 12}, {"AB0012ZZ.ZLL"}},
        // Reversion starts a record and goes back to the last top-level group.
        {"(2(1X,F4.1))", {1.0f, 2.0f, 3.0f, 4.0f, 5.0f}, {"  1.0  2.0", "  3.0  4.0", "  5.0"}},
        {"(I2,2(1X,F4.1,3(I1)),A)",
         {7, 1.0f, 1, 2, 3, 2.0f, 4, 5, 6, std::string("x"), 3.0f, 7, 8, 9},
         {" 7  1.0123  2.0456x", "  3.0789"}},
        {"(F3.1,'|')", {1.0f, 2.0f, 3.0f}, {"1.0|", "2.0|", "3.0|"}},  // no group: from the start
        // Output stops at the first data descriptor without a value; columns
        // skipped at the end of a record are not written.
        {"(1X,F8.1,5(2X,F8.1),' <=== more than 5 streams')", {1.0f, 2.0f, 3.0f}, {"      1.0       2.0       3.0"}},
        {"(1X,F8.1,5(2X,F8.1),' <=== more than 5 streams')",
         {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f},
         {"      1.0       2.0       3.0       4.0       5.0       6.0 <=== more than 5 streams"}},
        {"(A,5X)", {std::string("a")}, {"a"}},
        {"(A,5X,A)", {std::string("a"), std::string("b")}, {"a     b"}},
        {"(8X,'None')", {}, {"        None"}},
        {"(F8.1)", {}, {""}},
        {"('a',/,I3,'b')", {}, {"a", ""}},
        // "/" starts a record, with or without commas around it.
        {"(/24X,'II. DIAGNOSTICS REPORT'/)", {}, {"", std::string(24, ' ') + "II. DIAGNOSTICS REPORT", ""}},
        {"('a'//'b')", {}, {"a", "", "b"}},
        {"('a',/,/,'b',/)", {}, {"a", "", "b", ""}},
        {"(2X,'Total = ',I3/5X,'(EXCEPTIONS are FATAL!)')", {4}, {"  Total =   4", "     (EXCEPTIONS are FATAL!)"}},
        // Letters in either case, blanks outside literals ignored.
        {"( a2 , 2x , f5.1 , i3.2 , 2 a1 )",
         {std::string("ZZ"), 1.25f, 5, std::string("p"), std::string("q")},
         {"ZZ    1.2 05pq"}},
        {"(3F5.1)", {1.0f, 2.0f, 3.0f, 4.0f}, {"  1.0  2.0  3.0", "  4.0"}},
    };
    for (const LayoutCase& c : cases) EXPECT_EQ(Format(c.descriptors).write(c.values), c.records) << c.descriptors;
}

TEST(FormatWrite, PromptStaysOnItsLine)
{
    const Format prompt("('Specify 2-letter STUDY NAME(between [AA] to [ZZ])...',A5,$)");
    EXPECT_TRUE(prompt.stays_on_line());
    EXPECT_EQ(prompt.line({std::string(" ===>")}), "Specify 2-letter STUDY NAME(between [AA] to [ZZ])... ===>");
    EXPECT_FALSE(Format("(5X,'$')").stays_on_line());
    EXPECT_EQ(format_line("(5X,'$')", {}), "     $");
}

TEST(FormatWrite, CopiesKeepTheirLayout)
{
    const Format original("(2(1X,F5.2))");
    Format copy(original);
    Format assigned("(A)");
    assigned = original;
    EXPECT_EQ(copy.write({1.0f, 2.0f, 3.0f}), original.write({1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(assigned.line({1.5f}), "  1.50");
}

TEST(FormatWrite, RefusesLayoutsItCannotUse)
{
    const char* bad_layouts[] = {
        "F8.2",       // no parentheses
        "(F8.2",      // not closed
        "(F8.2))",    // text after the list
        "(F8)",       // F without decimals
        "(I)",        // I without a width
        "(I2.3)",     // more digits than the width
        "(A0)",       // empty text field
        "(X)",        // X without a count
        "(0F8.2)",    // repeat count of zero
        "(3'ab')",    // repeat before a bare literal
        "('abc)",     // literal not closed
        "(F8.2 I3)",  // comma missing
        "(F8.2,)",    // comma before ")"
        "(,F8.2)",    // comma after "("
        "(F8.2,,I3)",
        "(F8.2,$,I3)",  // "$" not last
        "(2(F8.2,$))",  // "$" inside a group
        "(E10.3)",      // descriptors the system's layouts do not use
        "(T10,F8.2)",  "(1P,F8.2)", "(F8.2,:,I3)", "(BN,F8.2)", "(\"abc\")",
    };
    // Each is refused every time, not only when first met.
    for (int time = 1; time <= 2; ++time)
        for (const char* layout : bad_layouts) EXPECT_THROW(Format{layout}, FormatError) << layout;
    // A layout met again is the same layout; a copy writes as the original.
    const Format first("(1X,F8.2,1X,I3)");
    const Format again("(1X,F8.2,1X,I3)");
    const Format copy = first;
    EXPECT_EQ(again.line({1.5f, 7}), "     1.50   7");
    EXPECT_EQ(copy.line({1.5f, 7}), first.line({1.5f, 7}));
}

TEST(FormatWrite, RefusesValuesThatDoNotFitTheLayout)
{
    // A value of the wrong type for its descriptor is a programming error.
    EXPECT_THROW(format_line("(F8.2)", {3}), FormatError);
    EXPECT_THROW(format_line("(I3)", {3.0f}), FormatError);
    EXPECT_THROW(format_line("(A4)", {1.0f}), FormatError);
    EXPECT_THROW(format_line("(F8.2)", {std::string("1.0")}), FormatError);
    // Values left over for a list with nothing to take them.
    EXPECT_THROW(Format("(79('-'))").write({1.0f}), FormatError);
    EXPECT_THROW(Format("(I2,3('x'))").write({1, 2}), FormatError);
    // One line asked for, several records made.
    EXPECT_THROW(Format("('a'/'b')").line({}), FormatError);
    EXPECT_THROW(Format("(F4.1)").line({1.0f, 2.0f}), FormatError);
    try {
        format_line("(1X,F8.1,1X,F8.2)", {1.0f, 2});
        FAIL() << "no error";
    } catch (const FormatError& error) {
        EXPECT_NE(std::string(error.what()).find("value 2 for F8.2"), std::string::npos) << error.what();
    }
}

TEST(FormatWrite, ThousandsOfLongRecordsKeepTheirLength)
{
    // A study's subarea data base: 188 values a line, thousands of lines.
    static const Format subarea(
        "(F8.1,1X,'''',A10,'''',102(1X,F8.3),9(1X,F7.3),24(1X,F9.4),1X,F9.2,1X,F9.1,49(1X,F9.4))");
    std::vector<FormatValue> values;
    values.reserve(188);
    values.emplace_back(1001.0f);
    values.emplace_back(std::string("SUB-1001"));
    for (int i = 0; i < 186; ++i) values.emplace_back(static_cast<float>(i) * 1.37f - 40.0f);
    // How fast this goes is the benchmark's business (bench/), not a test's.
    std::size_t characters = 0;
    for (int record = 0; record < 5000; ++record) {
        std::get<float>(values[0]) = 1000.0f + static_cast<float>(record);
        characters += subarea.line(values).size();
    }
    EXPECT_EQ(characters, 5000u * 1761u);
}

}  // namespace
}  // namespace velm
