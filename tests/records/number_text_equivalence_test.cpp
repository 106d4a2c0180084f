// The reader's and the writers' fast paths give exactly what the slower,
// plainly correct ways give: every fixed-decimal text the same float bits as
// strtof, every Fw.d field the same characters as the field writer the
// system has always used, every record line the same text (and the same
// refusal) as the line built from the record's value list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "record_kinds.h"
#include "record_test_support.h"
#include "records/format.h"
#include "records/free_form.h"

namespace velm {
namespace {

std::uint32_t bits_of(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Every digit string of the fast path, N <= 2^24 with d <= 10 decimals, is
// read as the correctly rounded quotient N / 10^d: the quotient of two exact
// floats, which the machine rounds once, as strtof rounds the text.
TEST(FixedDecimalValue, EveryFieldOfTheFastPathIsTheCorrectlyRoundedQuotient)
{
    constexpr std::uint64_t MOST_DIGITS = 16777216;  // 2^24
    const float powers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    for (int decimals = 0; decimals <= 10; ++decimals) {
        std::uint64_t wrong = 0;
        std::uint64_t first_wrong = 0;
        for (std::uint64_t digits = 0; digits <= MOST_DIGITS; ++digits) {
            const std::optional<float> value = fixed_decimal_value(digits, decimals, false);
            const float quotient = static_cast<float>(digits) / powers[decimals];
            if (!value || bits_of(*value) != bits_of(quotient)) {
                if (wrong++ == 0) first_wrong = digits;
            }
        }
        EXPECT_EQ(wrong, 0u) << decimals << " decimals, first at digits " << first_wrong;
    }
    // The sign, and what is left to the general conversion.
    EXPECT_EQ(bits_of(*fixed_decimal_value(0, 2, true)), bits_of(-0.0f));
    EXPECT_EQ(*fixed_decimal_value(12345, 2, true), -123.45f);
    EXPECT_FALSE(fixed_decimal_value(MOST_DIGITS + 1, 0, false));
    EXPECT_FALSE(fixed_decimal_value(1, 11, false));
}

// A decimal text of one of the forms the data files and the users write.
std::string random_number_text(std::mt19937& rng)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += static_cast<char>('0' + pick(0, 9));
        return text;
    };
    std::string text;
    switch (pick(0, 3)) {
        case 0:
            text += '-';
            break;
        case 1:
            text += '+';
            break;
        default:
            break;
    }
    const int whole = pick(0, 12);
    const int decimals = pick(0, 14);
    text += digits(whole);
    if (whole == 0 || pick(0, 4) > 0) text += '.';
    text += digits(whole == 0 && decimals == 0 ? 1 : decimals);
    if (pick(0, 5) == 0) {
        text += "eEdDqQ"[pick(0, 5)];
        if (pick(0, 1) == 0) text += "+-"[pick(0, 1)];
        text += std::to_string(pick(0, 45));
    }
    return text;
}

// The text as strtof takes it: the exponent letter made an "e".
float strtof_of(std::string text)
{
    for (char& c : text)
        if (std::strchr("dDqQ", c) != nullptr) c = 'e';
    return std::strtof(text.c_str(), nullptr);
}

// Lines of random decimal texts, read as one record on a line (the data
// bases' read, through the column targets) and as a read of several lines
// (through a target list), give every value the bits strtof gives it.
TEST(FreeFormReader, DecimalTextsReadAsStrtofReadsThem)
{
    std::mt19937 rng(20261210);
    constexpr int VALUES_PER_LINE = 40;
    constexpr int LINES = 2500;
    std::vector<std::string> lines;
    std::vector<float> expected;
    for (int l = 0; l < LINES; ++l) {
        std::string line;
        for (int v = 0; v < VALUES_PER_LINE; ++v) {
            std::string text;
            float value = 0.0f;
            do {
                text = random_number_text(rng);
                value = strtof_of(text);
            } while (!std::isfinite(value));
            line += std::string(static_cast<std::size_t>(std::uniform_int_distribution<int>(1, 3)(rng)), ' ') + text;
            expected.push_back(value);
        }
        lines.push_back(line);
    }

    TextReader by_line("values.txt", lines);
    FreeFormReader line_reader(by_line);
    TextReader by_read("values.txt", lines);
    FreeFormReader list_reader(by_read);
    std::vector<float> line_values;
    std::vector<float> list_values(VALUES_PER_LINE);
    std::vector<FreeFormTarget> list_targets;
    for (float& value : list_values) list_targets.emplace_back(&value);
    for (int l = 0; l < LINES; ++l) {
        const FreeFormResult by_columns = line_reader.read_line_floats(line_values, VALUES_PER_LINE);
        ASSERT_TRUE(by_columns.ok()) << by_columns.message;
        const FreeFormResult by_list = list_reader.read(list_targets);
        ASSERT_TRUE(by_list.ok()) << by_list.message;
        for (int v = 0; v < VALUES_PER_LINE; ++v) {
            const float want = expected[static_cast<std::size_t>(l * VALUES_PER_LINE + v)];
            ASSERT_EQ(bits_of(line_values[static_cast<std::size_t>(v)]), bits_of(want))
                << "line " << l + 1 << " value " << v + 1 << " of: " << lines[static_cast<std::size_t>(l)];
            ASSERT_EQ(bits_of(list_values[static_cast<std::size_t>(v)]), bits_of(want))
                << "line " << l + 1 << " value " << v + 1 << " of: " << lines[static_cast<std::size_t>(l)];
        }
    }
}

// A data line with one item of every troublesome form, read as a record of
// five reals: the values each leaves and the message of each refusal, as the
// reader gave them before its fast path for plain numbers.  Values after a
// refused item stay 0; a NaN or an infinity is read, then refused.
TEST(FreeFormReader, RecordLinesKeepTheirValuesAndRefusals)
{
    const float NAN_VALUE = std::numeric_limits<float>::quiet_NaN();
    const float INF_VALUE = std::numeric_limits<float>::infinity();
    struct Case {
        const char* item;     // the third of five items: " 1.0 2.0 <item> 4.0 5.0"
        const char* message;  // empty: the line reads
        std::vector<float> values;
    };
    const std::vector<Case> cases = {
        {"1.0.0",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"1.0.0\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"--1",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"--1\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"1e",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"1e\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"+",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"+\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {".",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \".\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"-.",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"-.\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"1.5+2", "", {0x1p+0f, 0x1p+1f, 0x1.2cp+7f, 0x1p+2f, 0x1.4p+2f}},
        {"1.5e+",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"1.5e+\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"0x10",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"0x10\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"1d5", "", {0x1p+0f, 0x1p+1f, 0x1.86ap+16f, 0x1p+2f, 0x1.4p+2f}},
        {"2*3.5",
         "Data line of file \"AB0101ZZ.ZSS\", line 1: 6 values where a record has 5",
         {0x1p+0f, 0x1p+1f, 0x1.cp+1f, 0x1.cp+1f, 0x1p+2f}},
        {"3*",
         "Data line of file \"AB0101ZZ.ZSS\", line 1: 7 values where a record has 5",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"0*1.0",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: zero repeat count: \"0\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"'12'",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"'12'\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"1.0'",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"1.0'\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"12345678901234567890.5", "", {0x1p+0f, 0x1p+1f, 0x1.56a954p+63f, 0x1p+2f, 0x1.4p+2f}},
        {"1e39",
         "Data line of file \"AB0101ZZ.ZSS\", line 1, value 3: not a number within the range of a real",
         {0x1p+0f, 0x1p+1f, INF_VALUE, 0x1p+2f, 0x1.4p+2f}},
        {"-1e-50", "", {0x1p+0f, 0x1p+1f, -0x0p+0f, 0x1p+2f, 0x1.4p+2f}},
        {"nan",
         "Data line of file \"AB0101ZZ.ZSS\", line 1, value 3: not a number within the range of a real",
         {0x1p+0f, 0x1p+1f, NAN_VALUE, 0x1p+2f, 0x1.4p+2f}},
        {"Inf",
         "Data line of file \"AB0101ZZ.ZSS\", line 1, value 3: not a number within the range of a real",
         {0x1p+0f, 0x1p+1f, INF_VALUE, 0x1p+2f, 0x1.4p+2f}},
        {"1,2",
         "Data line of file \"AB0101ZZ.ZSS\", line 1: 6 values where a record has 5",
         {0x1p+0f, 0x1p+1f, 0x1p+0f, 0x1p+1f, 0x1p+2f}},
        {"1/",
         "Data line of file \"AB0101ZZ.ZSS\", line 1, value 3: \"1/\" holds a slash; a data base record holds every "
         "value",
         {0x1p+0f, 0x1p+1f, 0x1p+0f, 0x0p+0f, 0x0p+0f}},
        {"4.", "", {0x1p+0f, 0x1p+1f, 0x1p+2f, 0x1p+2f, 0x1.4p+2f}},
        {".5", "", {0x1p+0f, 0x1p+1f, 0x1p-1f, 0x1p+2f, 0x1.4p+2f}},
        {"99999999999*1.0",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: repeat count too large: \"99999999999\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"1.0e",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"1.0e\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
        {"1.0q-3", "", {0x1p+0f, 0x1p+1f, 0x1.0624dep-10f, 0x1p+2f, 0x1.4p+2f}},
        {"1.0-3", "", {0x1p+0f, 0x1p+1f, 0x1.0624dep-10f, 0x1p+2f, 0x1.4p+2f}},
        {"++1",
         "Free-form read of file \"AB0101ZZ.ZSS\", line 1, item 3: not a real number: \"++1\"",
         {0x1p+0f, 0x1p+1f, 0x0p+0f, 0x0p+0f, 0x0p+0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        TextReader lines("AB0101ZZ.ZSS", {std::string(" 1.0 2.0 ") + c.item + " 4.0 5.0"});
        FreeFormReader reader(lines);
        std::vector<float> values;
        const FreeFormResult result = reader.read_line_floats(values, 5);
        EXPECT_EQ(result.ok() ? std::string() : result.message, c.message);
        ASSERT_EQ(values.size(), c.values.size());
        for (std::size_t v = 0; v < values.size(); ++v) {
            if (std::isnan(c.values[v]))
                EXPECT_TRUE(std::isnan(values[v])) << "value " << v + 1;
            else
                EXPECT_EQ(bits_of(values[v]), bits_of(c.values[v])) << "value " << v + 1;
        }
    }
}

// The Fw.d writer as it stood before fields were written in place: the
// exact value rounded by floor and fmod, the digits laid out from the left.
// Kept here as the reference the present writer must match.
std::string earlier_fixed_field(float value, int width, int decimals)
{
    std::string out;
    auto stars = [&] { out.append(static_cast<std::size_t>(width), '*'); };
    auto right = [&](const std::string& field) {
        if (static_cast<int>(field.size()) > width) return stars();
        out.append(static_cast<std::size_t>(width) - field.size(), ' ');
        out.append(field);
    };
    const bool negative = std::signbit(value);
    if (std::isnan(value)) {
        right("NaN");
        return out;
    }
    if (std::isinf(value)) {
        const std::string sign = negative ? "-" : "";
        const int room = width - static_cast<int>(sign.size());
        if (room < 3)
            stars();
        else
            right(sign + (room >= 8 ? "Infinity" : "Inf"));
        return out;
    }
    char digits[400];
    std::size_t length = 0;
    const double magnitude = std::fabs(static_cast<double>(value));
    static constexpr double POWERS[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    if (decimals <= 9 && magnitude * POWERS[decimals] < 9.0e15) {
        const double exact = magnitude * POWERS[decimals];
        double scaled = std::floor(exact);
        const double fraction = exact - scaled;
        if (fraction > 0.5 || (fraction == 0.5 && std::fmod(scaled, 2.0) != 0.0)) scaled += 1.0;
        length = static_cast<std::size_t>(
            std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(scaled)));
    } else {
        std::string printed(static_cast<std::size_t>(std::snprintf(nullptr, 0, "%.*f", decimals, magnitude)) + 1, '\0');
        std::snprintf(printed.data(), printed.size(), "%.*f", decimals, magnitude);
        printed.pop_back();
        const std::size_t point = printed.find('.');
        std::string all = point == std::string::npos ? printed : printed.erase(point, 1);
        const std::size_t first = all.find_first_not_of('0');
        all = first == std::string::npos ? std::string("0") : all.substr(first);
        if (all.size() + 1 > static_cast<std::size_t>(width) || all.size() > sizeof digits) {
            stars();
            return out;
        }
        length = all.size();
        all.copy(digits, length);
    }
    if (length == 1 && digits[0] == '0') length = 0;
    const int whole_digits = length > static_cast<std::size_t>(decimals) ? static_cast<int>(length) - decimals : 0;
    const int needed = (negative ? 1 : 0) + std::max(whole_digits, decimals == 0 ? 1 : 0) + 1 + decimals;
    if (needed > width) {
        stars();
        return out;
    }
    const bool leading_zero = whole_digits == 0 && (decimals == 0 || needed < width);
    const int used = needed + (leading_zero && decimals > 0 ? 1 : 0);
    out.append(static_cast<std::size_t>(width - used), ' ');
    if (negative) out.push_back('-');
    if (whole_digits > 0)
        out.append(digits, static_cast<std::size_t>(whole_digits));
    else if (leading_zero)
        out.push_back('0');
    out.push_back('.');
    const int fraction_digits = static_cast<int>(length) - whole_digits;
    out.append(static_cast<std::size_t>(decimals - fraction_digits), '0');
    out.append(digits + whole_digits, static_cast<std::size_t>(fraction_digits));
    return out;
}

// Values where Fw.d can go wrong: ties of the rounding and their
// neighbours, the field's edges, zeros of both signs, the ends of the float
// range, NaN and the infinities, and floats of every magnitude.
std::vector<float> tricky_values(std::mt19937& rng)
{
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 0.5f,
                                 -0.5f,
                                 1.5f,
                                 2.5f,
                                 0.125f,
                                 0.375f,
                                 0.855f,
                                 -0.004f,
                                 -0.005f,
                                 0.005f,
                                 0.015f,
                                 99999.99f,
                                 99999.995f,
                                 -9999.995f,
                                 999.9999f,
                                 1.0e7f,
                                 16777216.0f,
                                 4503599627370496.0f,
                                 9.0e15f,
                                 1.0e30f,
                                 std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::min(),
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
    // Exact ties k + 1/2 at d decimals, and the floats on either side.
    for (int decimals = 0; decimals <= 4; ++decimals) {
        for (int k = 0; k < 200; ++k) {
            const float tie = static_cast<float>((static_cast<double>(k) + 0.5) / std::pow(10.0, decimals));
            for (float v : {tie, std::nextafter(tie, 0.0f), std::nextafter(tie, 1.0e9f)}) {
                values.push_back(v);
                values.push_back(-v);
            }
        }
    }
    // Random bit patterns: every exponent, every sign.
    std::uniform_int_distribution<std::uint32_t> any_bits;
    for (int i = 0; i < 3000; ++i) {
        const std::uint32_t bits = any_bits(rng);
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
    }
    // Data-file values: up to seven digits and a few decimals.
    std::uniform_int_distribution<int> whole(-9999999, 9999999);
    std::uniform_int_distribution<int> places(0, 6);
    for (int i = 0; i < 5000; ++i)
        values.push_back(static_cast<float>(whole(rng)) / static_cast<float>(std::pow(10.0, places(rng))));
    return values;
}

TEST(FixedField, WritesEveryFieldAsTheEarlierWriterDid)
{
    std::mt19937 rng(855);
    const std::vector<float> values = tricky_values(rng);
    const int widths[] = {1, 2, 3, 4, 5, 7, 8, 10, 12, 20, 64};
    for (int decimals = 0; decimals <= 12; ++decimals) {
        for (int width : widths) {
            for (float value : values) {
                const std::string want = earlier_fixed_field(value, width, decimals);
                const std::string field = format_fixed(value, width, decimals);
                ASSERT_EQ(field, want) << "F" << width << "." << decimals << " of " << std::hexfloat << value;
                // The in-place writer says whether the value fitted.
                std::string in_place(static_cast<std::size_t>(width), '?');
                const bool whole = write_fixed_field(in_place.data(), value, width, decimals);
                ASSERT_EQ(in_place, want);
                ASSERT_EQ(whole, want != std::string(static_cast<std::size_t>(width), '*'))
                    << "F" << width << "." << decimals << " of " << std::hexfloat << value;
                ASSERT_EQ(fixed_field_holds(value, width, decimals), want.find('*') == std::string::npos)
                    << "F" << width << "." << decimals << " of " << std::hexfloat << value;
            }
        }
    }
}

// A record line written straight from the columns is the line of its value
// list, character for character; a value the file cannot hold is refused
// with the same message, for the first such column.
template <class Kind>
void expect_lines_as_from_the_value_list(std::mt19937& rng)
{
    using R = typename Kind::Record;
    const std::string name = "AB0101ZZ.XYZ";
    const auto line_of_values = [&](const R& record, int number) {
        return R::layout().line(record.format_values(), name, number);
    };
    std::uniform_int_distribution<int> column_of(1, R::COLUMN_COUNT);
    std::uniform_int_distribution<int> spoil(0, 7);
    std::string kept_line;
    int refused = 0;
    for (int number = 1; number <= 300; ++number) {
        R record = testing::random_record<R>(rng, Kind::set_text);
        // One record in three gets a value its field cannot hold, or two.
        for (int bad = spoil(rng); bad >= 5; --bad) {
            const int c = column_of(rng);
            switch (R::kind(c)) {
                case ColumnKind::Real: {
                    const float spoilers[] = {1.0e9f, -1.0e9f, std::numeric_limits<float>::quiet_NaN(),
                                              std::numeric_limits<float>::infinity(), 99999999.0f};
                    record.column(c) = spoilers[std::uniform_int_distribution<int>(0, 4)(rng)];
                    break;
                }
                case ColumnKind::Integer:
                    record.integer_column(c) = std::uniform_int_distribution<int>(0, 1)(rng) ? 123456789 : -99999;
                    break;
                case ColumnKind::Text:
                    Kind::set_text(record, "O'HARE");
                    break;
            }
        }
        std::string want;
        std::string refusal;
        try {
            want = line_of_values(record, number);
        } catch (const RecordWriteError& error) {
            refusal = error.what();
            ++refused;
        }
        try {
            R::layout().write_line(kept_line, record.column_values(), name, number);
            EXPECT_EQ(refusal, "") << "written where the value list is refused";
            ASSERT_EQ(kept_line, want) << "record " << number;
            ASSERT_EQ(record_line(record, name, number), want);
        } catch (const RecordWriteError& error) {
            EXPECT_EQ(std::string(error.what()), refusal) << "record " << number;
        }
    }
    EXPECT_GT(refused, 50) << "the refusals were not exercised";
}

TEST(RecordLine, StraightFromTheColumnsAsFromTheValueList)
{
    std::mt19937 rng(4242);
    expect_lines_as_from_the_value_list<testing::LinkFile>(rng);
    expect_lines_as_from_the_value_list<testing::NodeFile>(rng);
    expect_lines_as_from_the_value_list<testing::SubareaFile>(rng);
    expect_lines_as_from_the_value_list<testing::GisNodeFile>(rng);
    expect_lines_as_from_the_value_list<testing::GisLinkFile>(rng);
    expect_lines_as_from_the_value_list<testing::GisSubareaFile>(rng);
}

}  // namespace
}  // namespace velm
