// String files and the string index: layouts, reading, refusals, and the
// gfortran reference reading the written lines.
#include "records/string_files.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

#include "model_records.h"
#include "platform/files.h"
#include "records/format.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

const StringRecord kFinderRecord{1234.5f, 1235.0f, 350.25f, 12.5f, 101.1f, 99.87f};

// A long record whose every value differs and fits every field of the layout.
TelescopedStringRecord long_record(float offset)
{
    std::array<float, TELESCOPED_STRING_VALUES> values{};
    for (int n = 1; n <= TELESCOPED_STRING_VALUES; ++n) {
        values[static_cast<std::size_t>(n - 1)] = static_cast<float>(n % 9) + static_cast<float>(n) / 1000.0f + offset;
    }
    values[0] = 123456.7f;
    values[1] = 123460.0f;
    return TelescopedStringRecord::from_values(values);
}

std::string field(const std::string& line, int n)
{
    return line.substr(static_cast<std::size_t>(9 * n - 9), 9);
}

TEST(StringFileNames, BuiltFromStudyAndStringNumber)
{
    EXPECT_EQ(string_file_name("AB", 7), "AB0007ZZ.ZST");
    EXPECT_EQ(string_file_name("AB", 1234), "AB1234ZZ.ZST");
    EXPECT_EQ(string_file_name("AB", 9999), "AB9999ZZ.ZST");
    // Beyond four digits, a larger study's strings take five.
    EXPECT_EQ(string_file_name("AB", 10000), "AB10000ZZ.ZST");
    EXPECT_EQ(string_number_layout("(5X,'[',I4.4,'] #',I4)", 10000), "(5X,'[',I5.5,'] #',I4)");
    EXPECT_EQ(string_number_layout("(' #',I4)", 12345), "(' #',I5)");
    EXPECT_EQ(string_number_layout("(5X,'[',I4.4,']')", 9999), "(5X,'[',I4.4,']')");
    EXPECT_EQ(string_index_file_name("AB"), "ABINDXZZ.ZST");
}

TEST(StringRecordLayout, FinderFormIsSixFieldsInFiftyFourColumns)
{
    EXPECT_EQ(string_record_line(kFinderRecord), "   1234.5   1235.0   350.25    12.50   101.10    99.87");
    EXPECT_EQ(string_record_line(StringRecord{10010.0f, 10020.0f, 0.0f, 0.0f, -5.0f, -1234.56f}),
              "  10010.0  10020.0     0.00     0.00    -5.00 -1234.56");
}

TEST(StringRecordLayout, LongFormPutsEachValueInItsNineColumns)
{
    TelescopedStringRecord record;
    record.upstream_node = 123456.7f;
    record.process_code = 33.0f;
    record.link_slope = 0.0125f;
    record.element_friction_factor = 0.013f;
    record.telescoped_shape = -1.0f;
    record.telescoped_friction_factor = 0.015f;
    record.parallel_shape = 1.0f;
    record.parallel_friction_factor = 0.014f;
    record.telescoped_capacity = 88888.0f;
    record.link_columns_31_42[11] = 45.5f;  // value 64
    record.carried_flow = 12.25f;
    record.values_66_96[2] = 0.5f;        // value 68
    record.values_66_96[3] = 0.25f;       // value 69
    record.values_66_96[5] = 5.0f;        // value 71
    record.link_columns_43_48[0] = 3.5f;  // value 97
    record.values_103_196[93] = 7.25f;    // value 196
    const std::string line = telescoped_string_record_line(record);
    ASSERT_EQ(line.size(), 1764u);
    struct Case {
        int field;
        const char* text;
    };
    const Case cases[] = {
        {1, " 123456.7"},  {2, "      0.0"},   {3, "     0.00"},  {5, "    33.00"},  {7, "   0.0125"},
        {13, "   0.0130"}, {16, "   0.0000"},  {17, "     0.00"}, {20, "   0.0000"}, {23, "     0.00"},
        {24, "   0.0000"}, {29, "    -1.00"},  {34, "   0.0150"}, {37, "   1.0000"}, {41, "   0.0140"},
        {50, "   0.0000"}, {51, "     0.00"},  {52, " 88888.00"}, {64, "    45.50"}, {65, "    12.25"},
        {68, "  0.50000"}, {69, " 0.250000"},  {70, " 0.000000"}, {71, "       5."}, {72, "     0.00"},
        {97, "     3.50"}, {196, "     7.25"},
    };
    for (const Case& c : cases) EXPECT_EQ(field(line, c.field), c.text) << "value " << c.field;
}

TEST(StringRecordLayout, LongLineIsTheLineTheFormatEngineWrites)
{
    // Each value set in every field of the layout in turn: ties, a negative
    // that rounds to zero, the widest value each field holds, tiny and huge
    // magnitudes that still fit.
    const float values[] = {0.0f,      -0.0f,     0.125f,     0.375f,    -0.004f, 2.5f,  99999.99f,
                            -9999.99f, 999.9999f, 1.0e-10f,   123456.7f, 0.5f,    -0.5f, 12345678.0f,
                            0.0625f,   -1.0f,     0.0000005f, 88888.0f,  7.25f,   0.015f};
    for (const float value : values) {
        std::array<float, TELESCOPED_STRING_VALUES> all{};
        all.fill(value);
        std::vector<FormatValue> as_written(all.begin(), all.end());
        const std::string expected = format_line(TELESCOPED_STRING_RECORD_FORMAT, as_written);
        if (expected.find('*') != std::string::npos) continue;  // too wide for some field: refused below
        EXPECT_EQ(telescoped_string_record_line(TelescopedStringRecord::from_values(all)), expected) << value;
    }
    for (int n = 1; n <= TELESCOPED_STRING_VALUES; ++n) {
        std::array<float, TELESCOPED_STRING_VALUES> varied = long_record(0.0f).values();
        varied[static_cast<std::size_t>(n - 1)] = -0.004f * static_cast<float>(n);
        std::vector<FormatValue> as_written(varied.begin(), varied.end());
        EXPECT_EQ(telescoped_string_record_line(TelescopedStringRecord::from_values(varied)),
                  format_line(TELESCOPED_STRING_RECORD_FORMAT, as_written))
            << "value " << n;
    }
}

TEST(StringRecordLayout, LongLineWithAValueTooWideForItsFieldIsRefusedNamingIt)
{
    struct Case {
        int value;
        float too_wide;
        const char* message;
    };
    const Case cases[] = {
        {1, 1234567.0f, "AB0004ZZ.ZST: line 3, value 1: 1234567 does not fit its field"},
        {52, -100000.0f, "AB0004ZZ.ZST: line 3, value 52: -100000 does not fit its field"},
        {68, 100.0f, "AB0004ZZ.ZST: line 3, value 68: 100 does not fit its field"},
        {196, 1.0e9f, "AB0004ZZ.ZST: line 3, value 196: 1000000000 does not fit its field"},
    };
    for (const Case& c : cases) {
        std::array<float, TELESCOPED_STRING_VALUES> values = long_record(0.0f).values();
        values[static_cast<std::size_t>(c.value - 1)] = c.too_wide;
        try {
            telescoped_string_record_line(TelescopedStringRecord::from_values(values), "AB0004ZZ.ZST", 3);
            ADD_FAILURE() << "value " << c.value << " written";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

TEST(StringRecordLayout, LongRecordMembersFollowTheValueNumbers)
{
    const TelescopedStringRecord record = long_record(0.0f);
    const std::array<float, TELESCOPED_STRING_VALUES> values = record.values();
    EXPECT_EQ(record.process_code, values[4]);
    EXPECT_EQ(record.street_column_21, values[16]);
    EXPECT_EQ(record.street_friction_factor, values[27]);
    EXPECT_EQ(record.telescoped_shape, values[28]);
    EXPECT_EQ(record.link_upstream_hgl, values[34]);
    EXPECT_EQ(record.parallel_shape, values[36]);
    EXPECT_EQ(record.parallel_friction_factor, values[40]);
    EXPECT_EQ(record.sizing_slope, values[49]);
    EXPECT_EQ(record.telescoped_capacity, values[51]);
    EXPECT_EQ(record.carried_flow, values[64]);
    EXPECT_EQ(record.link_columns_43_48[5], values[101]);
}

TEST(StringIndexLayout, HeaderAndRecordLines)
{
    StringIndexFile index;
    index.header.values[0] = 1.0f;
    const StringIndexRecord record{7, 1234.5f, 2345.6f, 2.0f, 1.0f, 350.3f, 0.0f, 0.0f};
    index.records.push_back(record);
    // The last string number of four digits and the first of five: only the
    // second takes the wide record.
    index.records.push_back({9999, 1.0f, 2.0f, -99.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    index.records.push_back({10000, 1.0f, 2.0f, -99.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    TemporaryDirectory dir;
    const std::string name = dir.file("ABINDXZZ.ZST");
    write_string_index_file(name, index);
    const std::string expected_header = "      1.0" + [] {
        std::string zeros;
        for (int k = 0; k < 9; ++k) zeros += "      0.0";
        return zeros;
    }();
    EXPECT_EQ(TemporaryDirectory::get(name),
              expected_header + "\r\n" +
                  " 0007   1234.5   2345.6      2.0      1.0    350.3      0.0      0.0\r\n"
                  " 9999      1.0      2.0    -99.0      0.0      0.0      0.0      0.0\r\n"
                  " 10000      1.0      2.0    -99.0      0.0      0.0      0.0      0.0\r\n");
    const StringIndexFile read = read_string_index_file(name);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[1].string_number, 9999);
    EXPECT_EQ(read.records[2].string_number, 10000);
}

TEST(StringFiles, EveryFormReadsAndWritesBackByteForByte)
{
    TemporaryDirectory dir;
    const std::string finder = dir.file("AB0001ZZ.ZST");
    write_string_file(finder, {kFinderRecord, StringRecord{10010.0f, 10020.0f, 0.5f, 0.0f, -5.0f, -1234.56f}});
    const std::vector<StringRecord> finder_read = read_string_file(finder);
    ASSERT_EQ(finder_read.size(), 2u);
    EXPECT_EQ(finder_read[0].upstream_node, 1234.5f);
    EXPECT_EQ(finder_read[0].peak_flow_rate, 12.5f);
    EXPECT_EQ(finder_read[1].downstream_elevation, -1234.56f);
    const std::string finder_bytes = TemporaryDirectory::get(finder);
    write_string_file(finder, finder_read);
    EXPECT_EQ(TemporaryDirectory::get(finder), finder_bytes);

    const std::string telescoped = dir.file("AB0002ZZ.ZST");
    write_telescoped_string_file(telescoped, {long_record(0.0f), long_record(0.5f)});
    const std::vector<TelescopedStringRecord> long_read = read_telescoped_string_file(telescoped);
    ASSERT_EQ(long_read.size(), 2u);
    EXPECT_EQ(long_read[1].upstream_node, 123456.7f);
    EXPECT_EQ(long_read[1].telescoped_shape, 2.53f);  // 2.529 in F8.2
    const std::string long_bytes = TemporaryDirectory::get(telescoped);
    write_telescoped_string_file(telescoped, long_read);
    EXPECT_EQ(TemporaryDirectory::get(telescoped), long_bytes);

    const std::string index_name = dir.file("ABINDXZZ.ZST");
    StringIndexFile index;
    index.header.values = {1, 0, 0, 0, 0, 0, 0, 0, 0, 3};
    index.records = {{1, 10010.0f, 10090.0f, 1.0f, 1.0f, 95.5f, 0.0f, 0.0f},
                     {2, 10050.0f, 10070.0f, 2.0f, 1.0f, 0.0f, 0.0f, 0.0f}};
    write_string_index_file(index_name, index);
    const StringIndexFile index_read = read_string_index_file(index_name);
    EXPECT_EQ(index_read.header.values, index.header.values);
    ASSERT_EQ(index_read.records.size(), 2u);
    EXPECT_EQ(index_read.records[1].string_number, 2);
    EXPECT_EQ(index_read.records[0].outlet_hgl_control, 95.5f);
    const std::string index_bytes = TemporaryDirectory::get(index_name);
    write_string_index_file(index_name, index_read);
    EXPECT_EQ(TemporaryDirectory::get(index_name), index_bytes);
}

TEST(StringFiles, LongFormReadAsFinderFormGivesItsFirstSixValues)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("AB0003ZZ.ZST");
    write_telescoped_string_file(name, {long_record(0.0f), long_record(1.0f)});
    const std::vector<StringRecord> records = read_string_file(name);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].upstream_node, 123456.7f);
    EXPECT_EQ(records[1].link_length, 4.0f);            // long value 3, 4.003 in F8.2
    EXPECT_EQ(records[1].downstream_elevation, 7.01f);  // long value 6, 7.006 in F8.2
}

TEST(StringFiles, EmptyIndexReadsAsAHeaderOfZeros)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("ABINDXZZ.ZST");
    TemporaryDirectory::put(name, "");
    const StringIndexFile index = read_string_index_file(name);
    EXPECT_EQ(index.header.values, (std::array<float, STRING_INDEX_HEADER_VALUES>{}));
    EXPECT_TRUE(index.records.empty());
}

TEST(StringFiles, MissingOrUnreadableFileIsNamed)
{
    TemporaryDirectory dir;
    const std::string missing = dir.file("AB0009ZZ.ZST");
    for (auto read : {+[](const std::string& n) { read_string_file(n); },
                      +[](const std::string& n) { read_telescoped_string_file(n); },
                      +[](const std::string& n) { read_string_index_file(n); }}) {
        try {
            read(missing);
            ADD_FAILURE() << "read";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("AB0009ZZ.ZST"), std::string::npos) << error.what();
        }
        EXPECT_FALSE(file_exists(missing));
    }

    const std::string bad = dir.file("AB0010ZZ.ZST");
    TemporaryDirectory::put(bad, string_record_line(kFinderRecord) + "\r\n   1234.5   abc\r\n");
    try {
        read_string_file(bad);
        ADD_FAILURE() << "read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("AB0010ZZ.ZST"), std::string::npos) << error.what();
    }
}

TEST(StringFiles, ValueThatCannotBeWrittenIsRefusedAndTheOldFileKept)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("AB0004ZZ.ZST");
    write_string_file(name, {kFinderRecord});
    const std::string finder_bytes = TemporaryDirectory::get(name);
    const std::string index_name = dir.file("ABINDXZZ.ZST");
    write_string_index_file(index_name, StringIndexFile{});
    const std::string index_bytes = TemporaryDirectory::get(index_name);

    TelescopedStringRecord nan_capacity = long_record(0.0f);
    nan_capacity.telescoped_capacity = std::numeric_limits<float>::quiet_NaN();
    TelescopedStringRecord infinite_flow = long_record(0.0f);
    infinite_flow.carried_flow = -std::numeric_limits<float>::infinity();
    StringIndexFile long_number;
    long_number.records.push_back({100000, 1.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    StringIndexFile wide_control;
    wide_control.records.push_back({1, 1.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    wide_control.records.push_back({2, 1.0f, 2.0f, 0.0f, 0.0f, 1.0e7f, 0.0f, 0.0f});

    struct Case {
        const char* what;
        std::function<void()> write;
        std::string message;
        const std::string* file;
        const std::string* bytes;
    };
    const Case cases[] = {
        {"node of seven digits",
         [&] {
             write_string_file(name, {kFinderRecord, StringRecord{1000000.0f, 10.0f, 0, 0, 0, 0}});
         },
         name + ": line 2, value 1: 1000000 does not fit its field", &name, &finder_bytes},
        {"capacity not a number",
         [&] {
             write_telescoped_string_file(name, {long_record(0.0f), nan_capacity});
         },
         name + ": line 2, value 52: nan is not a number", &name, &finder_bytes},
        {"infinite carried flow", [&] { write_telescoped_string_file(name, {infinite_flow}); },
         name + ": line 1, value 65: -inf is not a number", &name, &finder_bytes},
        {"string number of six digits", [&] { write_string_index_file(index_name, long_number); },
         index_name + ": line 2, value 1: 100000 does not fit its field", &index_name, &index_bytes},
        {"control too wide", [&] { write_string_index_file(index_name, wide_control); },
         index_name + ": line 3, value 6: 10000000 does not fit its field", &index_name, &index_bytes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.write();
            ADD_FAILURE() << "written";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
        EXPECT_EQ(TemporaryDirectory::get(*c.file), *c.bytes);
    }
}

// ---------------------------------------------------------------- gfortran

// The values gfortran read, by tag: "F" with the layout, "L" list-directed.
struct FortranReading {
    std::vector<std::uint32_t> fixed, listed;
    std::vector<int> fixed_numbers, listed_numbers;
};

FortranReading parse_fortran_output(const std::string& output, bool index)
{
    FortranReading reading;
    std::istringstream lines(output);
    std::string tag, text;
    // An index prints its header's ten values twice, then for each record
    // the string number and seven values, twice.
    for (std::size_t position = 0; lines >> tag >> text; ++position) {
        const bool number = index && position >= 20 && (position - 20) % 8 == 0;
        if (number) {
            (tag == "F" ? reading.fixed_numbers : reading.listed_numbers).push_back(std::stoi(text));
        } else {
            (tag == "F" ? reading.fixed : reading.listed)
                .push_back(static_cast<std::uint32_t>(std::stoul(text, nullptr, 16)));
        }
    }
    return reading;
}

std::vector<std::uint32_t> bits_of(const std::vector<float>& values)
{
    std::vector<std::uint32_t> bits;
    for (float v : values) bits.push_back(test::float_bits(v));
    return bits;
}

TEST(StringFilesFortran, GfortranReadsTheWrittenLinesToTheSameValues)
{
    TemporaryDirectory dir;
    const std::string output = dir.file("values.txt");

    const std::string finder = dir.file("AB0005ZZ.ZST");
    const std::vector<StringRecord> finder_records{
        kFinderRecord,
        {999999.9f, 10.0f, 0.005f, 99999.99f, -9999.99f, 0.015f},
        {-99999.9f, 0.05f, 1.0f / 3.0f, 2.0f / 3.0f, 1234.565f, -0.004f},
    };
    write_string_file(finder, finder_records);
    const std::vector<StringRecord> our_finder = read_string_file(finder);
    std::vector<float> ours;
    for (const StringRecord& r : our_finder) {
        ours.insert(ours.end(), {r.upstream_node, r.downstream_node, r.link_length, r.peak_flow_rate,
                                 r.upstream_elevation, r.downstream_elevation});
    }
    FortranReading reading = parse_fortran_output(
        test::run_fortran("read_values",
                          "R " + test::quoted(finder) + " 6 " + test::quoted(std::string(STRING_RECORD_FORMAT)),
                          output),
        false);
    EXPECT_EQ(reading.fixed, bits_of(ours));
    EXPECT_EQ(reading.listed, bits_of(ours));

    const std::string telescoped = dir.file("AB0006ZZ.ZST");
    TelescopedStringRecord first = long_record(0.0f);
    first.telescoped_shape = -2.0f;
    first.telescoped_capacity = 88888.0f;
    first.values_66_96[3] = 0.1234567f;  // value 69, F8.6
    first.values_66_96[5] = 1234567.0f;  // value 71, F8.0
    write_telescoped_string_file(telescoped, {first, long_record(0.25f)});
    ours.clear();
    for (const TelescopedStringRecord& r : read_telescoped_string_file(telescoped)) {
        const auto values = r.values();
        ours.insert(ours.end(), values.begin(), values.end());
    }
    reading = parse_fortran_output(test::run_fortran("read_values",
                                                     "R " + test::quoted(telescoped) + " 196 " +
                                                         test::quoted(std::string(TELESCOPED_STRING_RECORD_FORMAT)),
                                                     output),
                                   false);
    EXPECT_EQ(reading.fixed, bits_of(ours));
    EXPECT_EQ(reading.listed, bits_of(ours));

    const std::string index_name = dir.file("ABINDXZZ.ZST");
    StringIndexFile index;
    index.header.values = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0.5f};
    index.records = {{1, 10010.0f, 10090.0f, 1.0f, 1.0f, 95.55f, 0.0f, 0.0f},
                     {12, 10050.0f, 10070.0f, 2.0f, 3.0f, -0.04f, 0.0f, 0.0f}};
    write_string_index_file(index_name, index);
    const StringIndexFile index_read = read_string_index_file(index_name);
    ours.assign(index_read.header.values.begin(), index_read.header.values.end());
    std::vector<int> numbers;
    for (const StringIndexRecord& r : index_read.records) {
        numbers.push_back(r.string_number);
        ours.insert(ours.end(), {r.upstream_node, r.outlet_node, r.processing_level, r.outlet_system_number,
                                 r.outlet_hgl_control, r.value_7, r.value_8});
    }
    reading = parse_fortran_output(test::run_fortran("read_values",
                                                     "I " + test::quoted(index_name) + " " +
                                                         test::quoted(std::string(STRING_INDEX_HEADER_FORMAT)) + " " +
                                                         test::quoted(std::string(STRING_INDEX_RECORD_FORMAT)),
                                                     output),
                                   true);
    EXPECT_EQ(reading.fixed, bits_of(ours));
    EXPECT_EQ(reading.listed, bits_of(ours));
    EXPECT_EQ(reading.fixed_numbers, numbers);
    EXPECT_EQ(reading.listed_numbers, numbers);
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// The gap report's summary of a long-form line is what a read of the whole
// file gives back, rounding included (a curb of 0.004 ft reads back as none).
TEST(TelescopedLinkSummary, ReadsBackAsTheWholeFileDoes)
{
    test::TemporaryDirectory dir;
    std::vector<TelescopedStringRecord> records(3);
    records[0].upstream_node = 10101.04f;
    records[0].downstream_node = 10102.06f;
    records[0].process_code = 31.0f;
    records[0].element_type = 1.0f;
    records[0].curb_height = 0.004f;
    records[1].upstream_node = -5.0f;
    records[1].process_code = 21.996f;
    records[1].element_type = 0.00005f;
    records[1].curb_height = 0.505f;
    records[2].curb_height = -0.0001f;
    records[2].telescoped_capacity = 88888.0f;  // values past the curb height are not read
    write_telescoped_string_file("AB0001ZZ.ZST", records);

    const std::vector<TelescopedLinkSummary> whole =
        telescoped_link_summaries(read_telescoped_string_file("AB0001ZZ.ZST"));
    const std::vector<std::string> lines = telescoped_string_file_lines("AB0001ZZ.ZST", records);
    ASSERT_EQ(lines.size(), whole.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const TelescopedLinkSummary line = telescoped_link_summary(lines[k]);
        EXPECT_EQ(line.upstream_node, whole[k].upstream_node) << k;
        EXPECT_EQ(line.downstream_node, whole[k].downstream_node) << k;
        EXPECT_EQ(line.process_code, whole[k].process_code) << k;
        EXPECT_EQ(line.element_type, whole[k].element_type) << k;
        EXPECT_EQ(line.curb_height, whole[k].curb_height) << k;
    }
    EXPECT_EQ(whole[0].curb_height, 0.0f);
    EXPECT_EQ(whole[0].upstream_node, 10101.0f);
}

}  // namespace
}  // namespace velm
