// The format engine against the Fortran run-time: the same edit-descriptor
// lists and values go through the engine and through a small gfortran program
// (fortran/format_reference.f90), and the texts must agree byte for byte.
// The values are drawn with a fixed seed over wide ranges, so a run is
// reproducible and still covers values no one picked by hand.
//
// Some rules of the system stand apart from Fortran and are not compared
// here: a text shorter than its Aw field is padded on the right (it stands
// for a blank-padded character variable); an A field without a width reads
// the rest of the line; a comma in a numeric field is a bad character, not
// the end of a shortened field; "$" belongs to the whole list, so a prompt
// stays on its line even when its values run out early.
#include "records/format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <sstream>

#include "support/temporary_directory.h"

namespace velm {
namespace {

// ---------------------------------------------------------------------------
// Cases and the reference program

struct WriteCase {
    std::string descriptors;
    std::vector<FormatValue> values;
};

// A read: the lines, and the targets as the values' types (for A targets
// the text gives the length of the character variable, the field's width).
struct ReadCase {
    std::string descriptors;
    std::vector<std::string> lines;
    std::vector<FormatValue> targets;
};

// Runs of values of one type, as the reference program takes them.
void write_runs(std::ostream& out, const std::vector<FormatValue>& values, bool with_values)
{
    std::vector<std::pair<std::size_t, std::size_t>> runs;  // [first, last)
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (runs.empty() || values[i].index() != values[runs.back().first].index()) runs.emplace_back(i, i);
        runs.back().second = i + 1;
    }
    out << runs.size() << '\n';
    for (const auto& [first, last] : runs) {
        static constexpr const char* KINDS[] = {"I", "F", "A"};
        out << KINDS[values[first].index()] << ' ' << (last - first) << '\n';
        for (std::size_t i = first; i < last; ++i) {
            const FormatValue& value = values[i];
            if (const float* real = std::get_if<float>(&value)) {
                if (with_values) {
                    char hex[16];
                    std::snprintf(hex, sizeof hex, "%08X", std::bit_cast<std::uint32_t>(*real));
                    out << hex << '\n';
                }
            } else if (const int* integer = std::get_if<int>(&value)) {
                if (with_values) out << *integer << '\n';
            } else {
                const std::string& text = std::get<std::string>(value);
                out << text.size() << '\n';
                if (with_values) out << text << '\n';
            }
        }
    }
}

// The reference program's output, one text per case (ending before its
// "@@END" mark).
std::vector<std::string> run_reference(const std::string& mode, const std::string& cases_text, std::size_t count)
{
    // A directory of its own for each run of the reference program.
    const test::TemporaryDirectory scratch;
    const std::string cases = scratch.file("cases.txt");
    const std::string output = scratch.file("output.txt");
    test::TemporaryDirectory::put(cases, std::to_string(count) + "\n" + cases_text);
    const std::string command = std::string(VELM_FORTRAN_HELPER_DIR) + "/format_reference " + mode + " " + cases + " " +
                                output + " 2>" + scratch.file("stderr.txt");
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "the reference program failed: " << command;
    const std::string text = test::TemporaryDirectory::get(output);
    std::vector<std::string> results;
    std::size_t start = 0;
    for (;;) {
        const std::size_t mark = text.find("@@END\n", start);
        if (mark == std::string::npos) break;
        results.push_back(text.substr(start, mark - start));
        start = mark + 6;
    }
    EXPECT_EQ(results.size(), count) << "the reference program did not answer every case";
    results.resize(count);
    return results;
}

std::string describe(const std::vector<FormatValue>& values)
{
    std::ostringstream out;
    for (const FormatValue& value : values) {
        if (const float* real = std::get_if<float>(&value)) {
            char text[64];
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(*real));
            out << ' ' << text;
        } else if (const int* integer = std::get_if<int>(&value)) {
            out << ' ' << *integer;
        } else {
            out << " '" << std::get<std::string>(value) << "'";
        }
    }
    return out.str();
}

// Compares every case; reports the first few differences in full.
void expect_writes_match_reference(const std::vector<WriteCase>& cases)
{
    std::ostringstream text;
    for (const WriteCase& c : cases) {
        text << c.descriptors << '\n';
        write_runs(text, c.values, true);
    }
    const std::vector<std::string> reference = run_reference("write", text.str(), cases.size());
    int differences = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Format format(cases[i].descriptors);
        std::string ours;
        for (const std::string& record : format.write(cases[i].values)) ours += record + '\n';
        if (format.stays_on_line()) ours.pop_back();
        if (ours != reference[i] && ++differences <= 5) {
            ADD_FAILURE() << "format " << cases[i].descriptors << " values" << describe(cases[i].values)
                          << "\n engine:    [" << ours << "]\n reference: [" << reference[i] << "]";
        }
    }
    EXPECT_EQ(differences, 0) << "cases that differ from the reference";
}

void expect_reads_match_reference(const std::vector<ReadCase>& cases)
{
    std::ostringstream text;
    for (const ReadCase& c : cases) {
        text << c.descriptors << '\n' << c.lines.size() << '\n';
        for (const std::string& line : c.lines) text << line.size() << '\n' << line << '\n';
        write_runs(text, c.targets, false);
    }
    const std::vector<std::string> reference = run_reference("read", text.str(), cases.size());
    int differences = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ReadCase& c = cases[i];
        std::string ours;
        try {
            const std::vector<FormatValue> values =
                Format(c.descriptors).read(c.lines, static_cast<int>(c.targets.size()));
            char line[64];
            for (std::size_t k = 0; k < values.size(); ++k) {
                if (const float* real = std::get_if<float>(&values[k])) {
                    std::snprintf(line, sizeof line, "F %08X\n", std::bit_cast<std::uint32_t>(*real));
                    ours += line;
                } else if (const int* integer = std::get_if<int>(&values[k])) {
                    ours += "I " + std::to_string(*integer) + "\n";
                } else {
                    ours += "A [" + std::get<std::string>(values[k]) + "]\n";
                }
            }
        } catch (const FormatReadError&) {
            ours = "@@ERROR\n";
        }
        if (ours != reference[i] && ++differences <= 5) {
            std::string lines;
            for (const std::string& l : c.lines) lines += "\n  [" + l + "]";
            ADD_FAILURE() << "format " << c.descriptors << " lines" << lines << "\n engine:    " << ours
                          << "\n reference: " << reference[i];
        }
    }
    EXPECT_EQ(differences, 0) << "cases that differ from the reference";
}

// ---------------------------------------------------------------------------
// Values

class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t bits() { return static_cast<std::uint32_t>(engine_()); }
    // An integer in [low, high].
    long range(long low, long high)
    {
        return low + static_cast<long>(bits() % static_cast<std::uint32_t>(high - low + 1));
    }
    bool chance(int percent) { return range(0, 99) < percent; }
    // A float whose decimal magnitude is spread evenly between 10^low and 10^high.
    float magnitude(int low, int high)
    {
        const double exponent = low + (high - low) * (bits() / 4294967296.0);
        return static_cast<float>(std::pow(10.0, exponent));
    }
    float signed_magnitude(int low, int high)
    {
        const float value = magnitude(low, high);
        return chance(50) ? -value : value;
    }
    std::string text(std::size_t length)
    {
        static constexpr std::string_view ALPHABET =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,:;-+*/()[]<>='''$";
        std::string result;
        for (std::size_t i = 0; i < length; ++i) result.push_back(ALPHABET[bits() % ALPHABET.size()]);
        return result;
    }

private:
    std::mt19937 engine_;
};

struct Real {
    int width;
    int decimals;
};

// Every F field the system's layouts use.
constexpr Real LAYOUT_REALS[] = {
    {8, 2}, {8, 1}, {8, 4}, {6, 2}, {6, 4},  {8, 3}, {8, 5}, {5, 2}, {5, 1}, {10, 2}, {7, 2},
    {9, 2}, {7, 4}, {9, 4}, {5, 3}, {7, 5},  {3, 0}, {7, 3}, {6, 3}, {4, 2}, {10, 3}, {8, 6},
    {8, 0}, {9, 1}, {9, 0}, {3, 1}, {12, 0}, {9, 3}, {4, 0}, {5, 0}, {9, 4}, {6, 4},
};

// A value for Fw.d that exercises one of the rules: any magnitude, the
// largest values that fit and the smallest that do not, exact binary ties,
// negatives that round to zero, and odd bit patterns.
float value_for(Draw& draw, const Real& field)
{
    const int whole_digits = field.width - field.decimals - 1;
    switch (draw.range(0, 9)) {
        case 0:
        case 1:
        case 2:  // anything from tiny to far too wide
            return draw.signed_magnitude(-9, 14);
        case 3:
        case 4: {  // mostly fitting values
            return draw.signed_magnitude(-field.decimals - 1, std::max(whole_digits, 1));
        }
        case 5: {  // next to the largest value that fits, positive or negative
            const bool negative = draw.chance(50);
            const double limit =
                std::pow(10.0, negative ? whole_digits - 1 : whole_digits) - 0.5 * std::pow(10.0, -field.decimals);
            float value = static_cast<float>(limit);
            for (long steps = draw.range(-3, 3); steps != 0; steps += steps > 0 ? -1 : 1)
                value = std::nextafter(value, steps > 0 ? INFINITY : 0.0f);
            return negative ? -value : value;
        }
        case 6: {  // exact binary ties: an odd multiple of 2^-(d+1)
            const long odd = 2 * draw.range(0, (1L << std::min(22, whole_digits * 3 + field.decimals)) - 1) + 1;
            const float value = std::ldexp(static_cast<float>(odd), -(field.decimals + 1));
            return draw.chance(30) ? -value : value;
        }
        case 7:  // negatives that round to zero or to the last decimal
            return -draw.magnitude(-field.decimals - 6, -field.decimals);
        case 8: {  // values next to a rounding boundary of the decimals
            const double step = std::pow(10.0, -field.decimals);
            const double boundary = (draw.range(0, 99999) + 0.5) * step;
            float value = static_cast<float>(boundary);
            if (draw.chance(50)) value = std::nextafter(value, draw.chance(50) ? INFINITY : 0.0f);
            return draw.chance(30) ? -value : value;
        }
        default: {  // any finite bit pattern, zeros of both signs among them
            if (draw.chance(10)) return draw.chance(50) ? 0.0f : -0.0f;
            float value;
            do {
                value = std::bit_cast<float>(draw.bits());
            } while (!std::isfinite(value));
            return value;
        }
    }
}

std::string real_layout(const Real& field, int per_record)
{
    return "(" + std::to_string(per_record) + "(1X,F" + std::to_string(field.width) + "." +
           std::to_string(field.decimals) + "))";
}

// ---------------------------------------------------------------------------

// The types and widths of a layout's data descriptors, in order.
std::vector<std::pair<char, Real>> data_descriptors(const std::string& layout)
{
    std::vector<std::pair<char, Real>> result;
    std::size_t i = 0;
    std::function<void(int)> group = [&](int repeat) {
        const std::size_t start = i;
        for (int r = 0; r < repeat; ++r) {
            i = start;
            while (i < layout.size() && layout[i] != ')') {
                char c = layout[i];
                if (c == '\'') {
                    i = layout.find('\'', i + 1) + 1;
                    while (i < layout.size() && layout[i] == '\'') i = layout.find('\'', i + 1) + 1;
                    continue;
                }
                int count = 0;
                while (std::isdigit(static_cast<unsigned char>(layout[i]))) count = count * 10 + (layout[i++] - '0');
                c = layout[i];
                if (c == '(') {
                    ++i;
                    group(count > 0 ? count : 1);
                    ++i;
                    continue;
                }
                if (c == 'F' || c == 'I' || c == 'A') {
                    ++i;
                    Real field{0, 0};
                    while (std::isdigit(static_cast<unsigned char>(layout[i])))
                        field.width = field.width * 10 + (layout[i++] - '0');
                    if (layout[i] == '.') {
                        ++i;
                        while (std::isdigit(static_cast<unsigned char>(layout[i])))
                            field.decimals = field.decimals * 10 + (layout[i++] - '0');
                    }
                    for (int k = 0; k < std::max(count, 1); ++k) result.emplace_back(c, field);
                    continue;
                }
                ++i;
            }
        }
    };
    i = 1;
    group(1);
    return result;
}

TEST(FormatReference, RealFieldsOfEveryLayoutWidth)
{
    Draw draw(20240611);
    std::vector<WriteCase> cases;
    for (const Real& field : LAYOUT_REALS) {
        for (int block = 0; block < 4; ++block) {
            WriteCase c{real_layout(field, 10), {}};
            for (int i = 0; i < 1000; ++i) c.values.emplace_back(value_for(draw, field));
            cases.push_back(std::move(c));
        }
    }
    expect_writes_match_reference(cases);
}

TEST(FormatReference, RealFieldsOfOtherWidths)
{
    // Narrow fields where the leading zero, the sign or everything gives way.
    Draw draw(77);
    std::vector<WriteCase> cases;
    for (int width = 1; width <= 14; ++width) {
        for (int decimals = 0; decimals < width && decimals <= 9; ++decimals) {
            const Real field{width, decimals};
            WriteCase c{real_layout(field, 8), {}};
            for (int i = 0; i < 300; ++i) c.values.emplace_back(value_for(draw, field));
            cases.push_back(std::move(c));
        }
    }
    // Beyond nine decimals and for values wider than a double's integers.
    for (const Real field : {Real{20, 12}, Real{45, 2}, Real{50, 30}}) {
        WriteCase c{real_layout(field, 4), {}};
        for (int i = 0; i < 400; ++i)
            c.values.emplace_back(draw.chance(50) ? draw.signed_magnitude(-20, 39) : value_for(draw, field));
        cases.push_back(std::move(c));
    }
    WriteCase specials{"(8(F9.2,F3.1,F4.0))", {}};
    for (float value : {INFINITY, -INFINITY, NAN, -NAN}) {
        for (int i = 0; i < 3; ++i) specials.values.emplace_back(value);
    }
    cases.push_back(specials);
    for (int width = 1; width <= 10; ++width) {
        WriteCase c{"(4F" + std::to_string(width) + ".0)", {}};
        for (float value : {INFINITY, -INFINITY, NAN, 0.0f}) c.values.emplace_back(value);
        cases.push_back(std::move(c));
    }
    expect_writes_match_reference(cases);
}

TEST(FormatReference, IntegerFields)
{
    Draw draw(4242);
    std::vector<WriteCase> cases;
    for (const std::string field : {"I1", "I2", "I3", "I4", "I5", "I11", "I2.2", "I4.4", "I6.4", "I3.0", "I5.5"}) {
        WriteCase c{"(10(1X," + field + "))", {}};
        for (int i = 0; i < 500; ++i) {
            const int digits = static_cast<int>(draw.range(0, 9));
            long value = draw.range(0, static_cast<long>(std::pow(10.0, digits)));
            if (draw.chance(30)) value = -value;
            c.values.emplace_back(static_cast<int>(value));
        }
        for (int value : {0, -1, 9, 10, -9, 99, 100, -99, 999, 1000, -999, 9999, 10000, 2147483647, -2147483647 - 1})
            c.values.emplace_back(value);
        cases.push_back(std::move(c));
    }
    expect_writes_match_reference(cases);
}

TEST(FormatReference, TextFields)
{
    // Texts at least as long as their field: the first w characters.
    Draw draw(99);
    std::vector<WriteCase> cases;
    for (const int width : {1, 2, 3, 5, 8, 10, 12, 30, 50}) {
        WriteCase c{"(4(1X,A" + std::to_string(width) + "),1X,'''',A" + std::to_string(width) + ",'''')", {}};
        for (int i = 0; i < 100; ++i)
            c.values.emplace_back(draw.text(static_cast<std::size_t>(width + draw.range(0, 3))));
        cases.push_back(std::move(c));
    }
    WriteCase whole{"(3(A,'|'))", {}};
    for (int i = 0; i < 60; ++i) whole.values.emplace_back(draw.text(static_cast<std::size_t>(draw.range(0, 40))));
    cases.push_back(whole);
    expect_writes_match_reference(cases);
}

TEST(FormatReference, RecordStructure)
{
    // Reversion, nested repeats, slashes, literals and the stop at a data
    // descriptor that has no value left, over every count of values from
    // none to several records.
    const std::vector<std::string> layouts = {
        "(2(1X,F4.1))",
        "(F2.0,2(1X,F4.1,3(F2.0)),F3.1)",
        "(F4.1,F3.0)",
        "(1X,'ab''c',F5.2,'|',2(F4.1,'-',F3.0),' end')",
        "(F8.1,'x',//,F5.1,/,'y')",
        "(/24X,'II. DIAGNOSTICS REPORT'/)",
        "(8X,'None')",
        "(79('-'))",
        "(1X,70('-')/1X,'* Fatal Error: the following nodal points have more'/3X,'than 5 tributary links connected to "
        "it:')",
        "(6(2X,F8.1))",
        "(1X,F8.1,5(2X,F8.1),' <=== more than 5 streams')",
        "(F6.2,3X,2(2(F4.1,1X),'/'),5X)",
        "(2X,'G. Length of a Link is less than',' [0.001]:'/5X,'(EXCEPTIONS are FATAL!)'/'  Upstream   Downstream    "
        "Length'/'    Node        Node       (feet)')",
        "(F4.0, 2 ( 1x , f5.1 ) , / , f3.0)",
        "(' * PROCESSING',F6.1,$)",
        "(2(F5.1,'$'),$)",
    };
    Draw draw(5);
    std::vector<WriteCase> cases;
    for (const std::string& layout : layouts) {
        for (int count = 0; count <= 13; ++count) {
            WriteCase c{layout, {}};
            // A list ending in "$" is a prompt: it always gets its values.
            const std::size_t wanted = data_descriptors(layout).size();
            const bool takes_values = wanted > 0;
            if ((!takes_values && count > 0) || (Format(layout).stays_on_line() && count != static_cast<int>(wanted)))
                continue;
            for (int i = 0; takes_values && i < count; ++i) c.values.emplace_back(draw.signed_magnitude(-2, 2));
            cases.push_back(std::move(c));
        }
    }
    expect_writes_match_reference(cases);
}

TEST(FormatReference, TheSystemsRecordLayouts)
{
    const std::vector<std::string> layouts = {
        "(2(1X,F8.1),2(1X,F8.2),1X,F8.1,1X,'''',A10,'''',1X,I3,1X,F8.2,1X,F7.5,1X,F6.3,1X,F8.2,3(1X,F8.4),1X,F8.2,"
        "3(1X,F8.4),1X,I2,1X,F8.4,2(1X,I3),3(1X,F8.3),1X,F8.4,3(1X,F8.2),1X,F8.4,12(1X,F10.2),6(1X,F8.3),6(1X,F8.2),"
        "18(1X,F8.4),5(1X,F8.2),13(1X,F10.2),1X,I4,2(1X,F8.3),2(1X,F8.5),3(1X,F8.2),1X,F8.5,2(1X,F8.2),2(1X,F8.3),"
        "2(1X,F8.5),3(1X,F8.2),1X,F8.5,2(1X,F8.2),2(1X,F8.3),2(1X,F8.5),3(1X,F8.2),1X,F8.5,2(1X,F8.2),2(1X,I3),"
        "13(1X,F8.2),1X,F8.2,1X,I3,1X,F8.2,1X,F8.2,48(1X,F8.2))",
        "(F8.1,1X,F8.2,1X,'''',A10,'''',1X,F8.1,50(1X,F8.2),2(1X,F8.1),1X,F9.3,24(1X,F6.4),96(1X,F7.4),6(1X,F7.3),"
        "6(1X,F7.4),18(1X,F7.4,1X,F7.5),54(1X,F10.2),6(1X,F6.4),2(1X,I2),13(1X,F8.2),100(1X,F8.2,1X,F8.2,1X,F10.2),"
        "5(1X,F8.1),50(1X,F8.2))",
        "(F8.1,1X,'''',A10,'''',102(1X,F8.3),9(1X,F7.3),24(1X,F9.4),1X,F9.2,1X,F9.1,49(1X,F9.4))",
        "(2(1X,F8.1),4(1X,F8.2),1X,F8.4,5(1X,F8.2),1X,F8.4,2(1X,F8.2),1X,F8.4,3(1X,F8.2),3(1X,F8.4),1X,F8.2,"
        "5(1X,F8.4),5(1X,F8.2),1X,F8.4,2(1X,F8.2),1X,F8.4,10(1X,F8.4),3(1X,F8.4),17(1X,F8.2),1X,F8.5,2(1X,F8.6),"
        "1X,F8.0,125(1X,F8.2))",
        "(1X,F8.1,1X,F5.2,10(1X,F5.2),6(1X,F6.2,1X,F5.1,1X,F7.2),1X,F3.1)",
        "(1X,F8.1,1X,F8.1,1X,I2,1X,F9.0,6(1X,F8.2),6(1X,F8.2))",
        "(A2,I4.4,'ZZ.ZLL')",
        "(A4,I2.2,A6)",
        "(7(1X,I2),1X,I3)",
        "(8X,'T1 = ',F4.0,' Year; T',I1,' = ',F4.0,' Year')",
        "(3X,'|',F8.1,'-',F8.1,'|(',F5.1,')| (',F5.1,') |(',F5.3,'/',F5.3,'/',F5.3,')')",
        "(4X,'*WARNING : The HGL CONTROL for STRING #',I4/5X,'(UPSTREAM NODE = ',F8.1,'; DOWNSTREAM NODE = ',"
        "F8.1,') is BELOW')",
        "('Enter ',2A8,A5,'street curb-height',A8,' ==>',F3.0)",
        "('Specify 2-letter STUDY NAME(between [AA] to [ZZ])...',A5,$)",
        "(5('*'),'FILE ',A,' DOES NOT EXIST ',$)",
        "(A/4X,'II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS'/32X,'STUDY ID = [',A2,']'//5X,"
        "'1. Subarea SIZE (Acres)'/8X,'Total Number of Subareas = ',I4)",
    };
    Draw draw(31337);
    std::vector<WriteCase> cases;
    for (const std::string& layout : layouts) {
        const auto descriptors = data_descriptors(layout);
        for (int record = 0; record < 40; ++record) {
            WriteCase c{layout, {}};
            for (const auto& [kind, field] : descriptors) {
                if (kind == 'F') {
                    c.values.emplace_back(draw.chance(85)
                                              ? draw.signed_magnitude(-field.decimals, field.width - field.decimals - 1)
                                              : value_for(draw, field));
                } else if (kind == 'I') {
                    c.values.emplace_back(
                        static_cast<int>(draw.range(-99, static_cast<long>(std::pow(10, field.width)))));
                } else {
                    c.values.emplace_back(
                        draw.text(static_cast<std::size_t>(field.width > 0 ? field.width : draw.range(0, 20))));
                }
            }
            cases.push_back(std::move(c));
        }
    }
    expect_writes_match_reference(cases);
}

// ---------------------------------------------------------------------------
// Reading

// A field's characters drawn mostly from what numbers are made of.
std::string number_field(Draw& draw, int width, bool allow_oddities)
{
    std::string field;
    switch (draw.range(0, 5)) {
        case 0: {  // a number written by the engine itself, maybe shifted in its field
            const float value = draw.signed_magnitude(-4, 5);
            char text[64];
            std::snprintf(text, sizeof text, "%.*f", static_cast<int>(draw.range(0, 5)), static_cast<double>(value));
            field = text;
            break;
        }
        case 1: {  // digits only: implied decimals
            field = std::to_string(draw.range(0, 99999999));
            if (draw.chance(30)) field.insert(0, draw.chance(50) ? "-" : "+");
            break;
        }
        case 2: {  // with an exponent
            char text[64];
            std::snprintf(text, sizeof text, "%.*E", static_cast<int>(draw.range(0, 4)),
                          static_cast<double>(draw.signed_magnitude(-6, 6)));
            field = text;
            if (draw.chance(30))
                field.erase(field.find('E'), 1);  // "1.5+02"
            else if (draw.chance(30))
                field[field.find('E')] = "eDd"[draw.range(0, 2)];
            break;
        }
        case 3:  // blanks around and inside
            field = std::string(static_cast<std::size_t>(draw.range(0, 3)), ' ') + std::to_string(draw.range(0, 9999));
            field.insert(static_cast<std::size_t>(draw.range(0, static_cast<long>(field.size()))), " ");
            if (draw.chance(50))
                field.insert(static_cast<std::size_t>(draw.range(0, static_cast<long>(field.size()))), ".");
            break;
        default: {  // characters at random
            static constexpr std::string_view CHARACTERS = "0123456789 .+-Ee";
            static constexpr std::string_view ODD = "0123456789 .+-EeDdxA*";
            const std::string_view alphabet = allow_oddities ? ODD : CHARACTERS;
            for (int i = 0; i < width; ++i) field.push_back(alphabet[draw.bits() % alphabet.size()]);
            break;
        }
    }
    if (static_cast<int>(field.size()) > width) field = field.substr(field.size() - static_cast<std::size_t>(width));
    if (draw.chance(50))
        field.insert(0, static_cast<std::size_t>(width) - field.size(), ' ');
    else
        field.resize(static_cast<std::size_t>(width), ' ');
    return field;
}

TEST(FormatReference, ReadingRealAndIntegerFields)
{
    Draw draw(8080);
    std::vector<ReadCase> cases;
    for (const Real& field : LAYOUT_REALS) {
        for (int i = 0; i < 150; ++i) {
            ReadCase c{"(F" + std::to_string(field.width) + "." + std::to_string(field.decimals) + ")", {}, {}};
            c.lines.push_back(number_field(draw, field.width, true));
            c.targets.emplace_back(0.0f);
            cases.push_back(std::move(c));
        }
    }
    for (const int width : {1, 2, 3, 4, 6, 11}) {
        for (int i = 0; i < 150; ++i) {
            ReadCase c{"(I" + std::to_string(width) + ")", {}, {}};
            std::string field = number_field(draw, width, true);
            c.lines.push_back(field);
            c.targets.emplace_back(0);
            cases.push_back(std::move(c));
        }
    }
    expect_reads_match_reference(cases);
}

TEST(FormatReference, ReadingLinesByLayout)
{
    // Whole lines: short lines, skipped columns, texts, "/" and reversion.
    const std::vector<std::string> layouts = {
        "(1X,F8.1,5(2X,F8.1),A6)", "(A6)",           "(A50)", "(A2)", "(2(F6.2,1X),I3/A4,F5.0)",
        "(3X,I2,2(F4.1))",         "(F8.2,I4.4,A3)",
    };
    Draw draw(6502);
    std::vector<ReadCase> cases;
    for (const std::string& layout : layouts) {
        const auto descriptors = data_descriptors(layout);
        for (int i = 0; i < 60; ++i) {
            ReadCase c{layout, {}, {}};
            const int count = static_cast<int>(descriptors.size()) + (draw.chance(30) ? 2 : 0);
            const Format format(layout);
            // The targets take the types the engine gives blank lines; the
            // reference refuses a target of the wrong type for its field.
            for (const FormatValue& value : format.read({}, count)) {
                if (const std::string* text = std::get_if<std::string>(&value))
                    c.targets.emplace_back(std::string(text->size(), ' '));
                else
                    c.targets.push_back(value);
            }
            for (int line = 0; line < format.lines_needed(count); ++line) {
                std::string text;
                for (int k = 0; k < 8; ++k) text += number_field(draw, static_cast<int>(draw.range(2, 9)), false);
                text.resize(static_cast<std::size_t>(draw.range(0, static_cast<long>(text.size()))));
                c.lines.push_back(text);
            }
            cases.push_back(std::move(c));
        }
    }
    expect_reads_match_reference(cases);
}

}  // namespace
}  // namespace velm
