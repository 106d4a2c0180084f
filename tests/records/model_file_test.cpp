// The model file: header values, group layouts and the walker.
#include "records/model_file.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include <gtest/gtest.h>

#include "model_records.h"
#include "platform/files.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::RawModelFile;
using test::TemporaryDirectory;

// ---------------------------------------------------------------- header

struct HeaderCase {
    float value_2, value_7, value_9, value_12;
    int model_type;
    bool metric;
    int extension_switch;
    int gis_option;
    float return_frequency;
};

TEST(ModelFileHeader, LeadingValuesDecodeAsTheReadersTakeThem)
{
    const HeaderCase cases[] = {
        {3.0f, 1.0f, 0.0f, 10.0f, 3, false, 1, 0, 10.0f},
        {3.0f, 0.5f, 23.0f, -10.0f, 3, false, 1, 3, 10.0f},  // empty switch forced to 1 by tenths digit 0
        {3.2f, 0.5f, 17.0f, 25.0f, 3, false, 0, 7, 25.0f},   // tenths digit 2: the switch stays 0
        {3.3f, 0.5f, -7.0f, 2.0f, 3, false, 1, -7, 2.0f},    // tenths digit 3: forced to 1
        {-6.0f, 1.0f, 5.9f, 100.0f, 6, true, 1, 5, 100.0f},  // metric data keeps its type
        {8.0f, 2.0f, 9.0f, 50.0f, 8, false, 2, 9, 50.0f},
        {-7.9f, 2.7f, 0.0f, 5.0f, 7, true, 2, 0, 5.0f},
        {0.0f, 1.0f, 0.0f, 5.0f, 0, true, 1, 0, 5.0f},
        // A value 2 beyond any model type, or no number, has no tenths digit.
        {1.0e30f, 0.5f, 0.0f, 5.0f, 0, false, 0, 0, 5.0f},
        {std::numeric_limits<float>::quiet_NaN(), 0.5f, 0.0f, 5.0f, 0, false, 0, 0, 5.0f},
    };
    for (const HeaderCase& c : cases) {
        ModelFileHeader header;
        header.values.assign(FULL_HEADER_VALUES, 0.0f);
        header.set_value(2, c.value_2);
        header.set_value(7, c.value_7);
        header.set_value(9, c.value_9);
        header.set_value(12, c.value_12);
        SCOPED_TRACE(testing::Message() << "value 2 " << c.value_2 << ", value 7 " << c.value_7);
        EXPECT_EQ(header.model_type(), c.model_type);
        EXPECT_EQ(header.is_metric(), c.metric);
        EXPECT_EQ(header.subarea_extension_switch(), c.extension_switch);
        EXPECT_EQ(header.gis_update_option(), c.gis_option);
        EXPECT_EQ(header.storm_return_frequency(), c.return_frequency);
    }
}

TEST(ModelFileHeader, StreetTableStandsWhereTheLayoutOfTheModelTypePutsIt)
{
    struct Case {
        float model_type;
        int length;
        HeaderLayout layout;
        int count_position;
        int capacity;
    };
    const Case cases[] = {
        {3.0f, FULL_HEADER_VALUES, HeaderLayout::Full, 67, 50},
        {8.0f, COMPACT_HEADER_VALUES, HeaderLayout::Compact, 71, 50},
        {5.0f, OLD_FULL_HEADER_VALUES, HeaderLayout::OldFull, 67, 10},
        {7.0f, OLD_COMPACT_HEADER_VALUES, HeaderLayout::OldCompact, 71, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        ModelFileHeader header;
        header.values.resize(static_cast<std::size_t>(c.length));
        for (int k = 1; k <= c.length; ++k) header.set_value(k, static_cast<float>(k));
        header.set_value(2, c.model_type);
        EXPECT_EQ(header.layout(), c.layout);
        EXPECT_EQ(header.street_table_capacity(), c.capacity);
        EXPECT_EQ(header.street_section_count(), c.count_position);  // the value stored there is its position
        const auto last = header.street_section(c.capacity);
        // The last section ends at the table's last value.
        EXPECT_EQ(last[8], static_cast<float>(c.count_position + 9 * c.capacity));
        EXPECT_EQ(header.street_section(2)[0], static_cast<float>(c.count_position + 10));

        header.set_street_section(3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
        header.set_street_section_count(3);
        EXPECT_EQ(header.value(c.count_position), 3.0f);
        EXPECT_EQ(header.value(c.count_position + 1 + 18), 1.0f);
        EXPECT_EQ(header.value(c.count_position + 1 + 26), 9.0f);
        EXPECT_THROW(header.street_section(c.capacity + 1), std::out_of_range);
    }
}

TEST(ModelFileHeader, OldLayoutsGainFortyEmptySectionsAndKeepTheirTail)
{
    struct Case {
        float model_type;
        int old_length, kept, new_length;
    };
    for (const Case& c : {Case{8.0f, 163, 161, 523}, Case{3.0f, 178, 157, 538}}) {
        ModelFileHeader header;
        for (int k = 1; k <= c.old_length; ++k) header.values.push_back(static_cast<float>(k));
        header.set_value(2, c.model_type);
        ASSERT_TRUE(header.upgrade_layout());
        ASSERT_EQ(header.length(), c.new_length);
        EXPECT_FALSE(header.is_old_layout());
        EXPECT_EQ(header.value(c.kept), static_cast<float>(c.kept));
        for (int k = c.kept + 1; k <= c.kept + 360; ++k) ASSERT_EQ(header.value(k), 0.0f) << k;
        for (int k = c.kept + 361; k <= c.new_length; ++k) {
            EXPECT_EQ(header.value(k), static_cast<float>(k - 360)) << k;
        }
        EXPECT_EQ(header.street_section_count(), c.model_type == 8.0f ? 71 : 67);
        EXPECT_FALSE(header.upgrade_layout()) << "a current header stays as it is";
    }
}

// ---------------------------------------------------------------- layouts

struct LayoutCase {
    float code;
    int model_type;
    int extension_switch;
    int family;
    int data_count;
    bool text = false;
    int packed_subarea = 0;
    int extension = 0;
    int street = 0;
};

TEST(GroupLayout, EachCodeCarriesItsDataValues)
{
    const int S = SCANNED_TO_MARKER;
    const LayoutCase cases[] = {
        {0, 3, 1, 0, 1},
        {1, 3, 1, 1, 2},
        {21, 3, 1, 21, 22, false, 4},
        {21, 8, 2, 21, 28, false, 4, 23},
        {21.7f, 3, 1, 21, 22, false, 4},
        {2, 3, 1, 21, 22, false, 4},
        {22, 8, 2, 22, 28, false, 4, 23},
        {81, 8, 2, 81, 25, false, 1, 20},
        {8, 3, 1, 81, 19, false, 1},
        {82, 8, 2, 82, 28, false, 1, 23},  // three values between the land use and the extension
        {82, 3, 1, 82, 22, false, 1},
        {31, 3, 1, 31, 4},
        {3, 3, 1, 31, 4},
        {35, 8, 2, 35, 4},
        {40, 3, 1, 40, 4},
        {4, 3, 1, 41, 6},
        {32, 8, 2, 32, 34, false, 10, 29, 5},
        {32, 3, 1, 32, 28, false, 10, 0, 5},
        {33, 8, 2, 33, 36, false, 12, 31, 7},
        {34, 3, 1, 34, 30, false, 12, 0, 7},
        {43, 8, 2, 43, 36, false, 12, 31, 7},
        {36, 8, 2, 36, 6},
        {47, 3, 1, 47, 6},
        {48, 3, 1, 46, 6},
        {51, 8, 2, 51, 32, false, 8, 27},
        {5, 3, 1, 51, 26, false, 8},
        {54, 3, 1, 51, 26, false, 8},
        {57, 3, 1, 51, 26, false, 8},
        {56, 3, 1, 56, 26, false, 8},
        {61, 8, 2, 61, 34, false, 4, 29, 23},
        {6, 3, 1, 61, 28, false, 4, 0, 23},
        {62, 8, 2, 62, 30, false, 4, 25, 23},
        {63, 8, 2, 63, 33, false, 4, 25, 23},
        {63, 3, 1, 63, 27, false, 4, 0, 23},
        {7, 3, 1, 7, 6},
        {71, 3, 1, 7, 6},
        {72, 8, 2, 7, 6},
        {9, 8, 2, 9, 34, false, 4, 29},
        {92, 3, 1, 9, 28, false, 4},
        {10, 3, 1, 10, 1},
        {14, 3, 1, 14, 1},
        {13, 3, 1, 13, 0},
        {151, 3, 1, 151, 1, true},
        {15, 8, 2, 151, 1, true},
        {152, 3, 1, 152, 1, true},
        {16, 3, 1, 16, 4},
        // Model type 10: the walkers know the subarea, channel and storage
        // groups and the text groups; every other group runs to the marker.
        {21, 10, 1, 21, 88},
        {51, 10, 1, 51, 77},
        {52, 10, 1, 52, 77},
        {61, 10, 1, 61, 77},
        {15, 10, 1, 151, 1, true},
        {22, 10, 1, 22, S},
        {2, 10, 1, 2, S},
        {81, 10, 1, 81, S},
        {0, 10, 1, 0, S},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << ", type " << c.model_type << ", switch "
                                        << c.extension_switch);
        const std::optional<GroupLayout> layout = group_layout(c.code, c.model_type, c.extension_switch);
        ASSERT_TRUE(layout.has_value());
        EXPECT_EQ(layout->family_code, c.family);
        EXPECT_EQ(layout->data_count, c.data_count);
        EXPECT_EQ(layout->text, c.text);
        EXPECT_EQ(layout->packed_subarea_position, c.packed_subarea);
        if (c.packed_subarea > 0) {
            EXPECT_EQ(layout->land_use_position, c.packed_subarea + 1);
        }
        EXPECT_EQ(layout->extension_position, c.extension);
        EXPECT_EQ(layout->street_position, c.street);
    }
}

TEST(GroupLayout, TypeTenSubareaGroupHoldsItsNumberUnpacked)
{
    const GroupLayout layout = *group_layout(21, 10, 1);
    EXPECT_EQ(layout.packed_subarea_position, 0);
    EXPECT_EQ(layout.land_use_position, 5);
    EXPECT_EQ(layout.subarea_number_position, 33);
}

TEST(GroupLayout, CodesNoModelFileHoldsAreUnknown)
{
    for (float code : {17.0f, 23.0f, 49.0f, 50.0f, 58.0f, 64.0f, 150.0f, 153.0f, -21.0f, 3.0e9f,
                       std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_FALSE(group_layout(code, 3, 1).has_value()) << code;
    }
}

TEST(PackedSubarea, FractionIsTheSubareaNumberAndTheIntegerPartTheCode)
{
    EXPECT_EQ(packed_subarea_number(3.012345f), 12345.0f);
    EXPECT_EQ(packed_subarea_code(3.012345f), 3);
    EXPECT_EQ(packed_subarea_number(0.012345f), 12345.0f);
    EXPECT_EQ(packed_subarea_code(0.012345f), 0);
    EXPECT_EQ(packed_subarea_number(0.0f), 0.0f);
    EXPECT_EQ(packed_subarea_number(6.999999f), 999999.0f);
    EXPECT_EQ(pack_subarea(4, 12345.0f), 4.012345f);
    EXPECT_EQ(packed_subarea_number(pack_subarea(4, 12345.0f)), 12345.0f);
    // A packed value that is no number carries no subarea.
    for (const float packed : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(packed_subarea_number(packed), 0.0f) << packed;
        EXPECT_EQ(packed_subarea_code(packed), 0) << packed;
    }
}

// ---------------------------------------------------------------- walker

// A type-3 file (full header, no extension values) with a group of every
// family, and a type-8 file (compact header, extension values).
RawModelFile full_file()
{
    RawModelFile raw;
    raw.header(3.0f, 1.0f, FULL_HEADER_VALUES)
        .group(10010.0f, 10010.0f, 21.0f, 22)
        .group(10010.0f, 10020.0f, 33.0f, 30)
        .group(10020.0f, 10030.0f, 2.0f, 22)
        .group(10030.0f, 10040.0f, 57.0f, 26)
        .group(10040.0f, 10040.0f, 13.0f, 0)
        .group(10040.0f, 10050.0f, 34.0f, 30)
        .group(10050.0f, 10060.0f, 63.0f, 27)
        .group(10060.0f, 10060.0f, 151.0f, 1)
        .text("SEAM TO MAP 0101")
        .group(10060.0f, 10070.0f, 31.0f, 4)
        .group(10070.0f, 10070.0f, 15.0f, 1)
        .text("SHORT-FORM SEAM")
        .group(10070.0f, 10080.0f, 0.0f, 1);
    return raw;
}

RawModelFile compact_file()
{
    RawModelFile raw;
    raw.header(8.0f, 2.0f, COMPACT_HEADER_VALUES)
        .group(20010.0f, 20010.0f, 21.0f, 28)
        .group(20010.0f, 20020.0f, 82.0f, 28)
        .group(20020.0f, 20030.0f, 61.0f, 34)
        .group(20030.0f, 20030.0f, 152.0f, 1)
        .text("")
        .group(20030.0f, 20040.0f, 9.0f, 34);
    return raw;
}

TEST(ModelFileWalker, CutsEveryGroupAtItsCodesLength)
{
    struct Case {
        const char* name;
        RawModelFile raw;
        int header_length;
        std::vector<std::size_t> value_counts;
    };
    const Case cases[] = {
        {"full", full_file(), FULL_HEADER_VALUES, {22, 30, 22, 26, 0, 30, 27, 1, 4, 1, 1}},
        {"compact", compact_file(), COMPACT_HEADER_VALUES, {28, 28, 34, 1, 34}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ModelFile file = split_model_records(c.raw.records(), c.name);
        EXPECT_EQ(file.header.length(), c.header_length);
        ASSERT_EQ(file.groups.size(), c.value_counts.size());
        for (std::size_t g = 0; g < c.value_counts.size(); ++g) {
            const ModelGroup& group = file.groups[g];
            EXPECT_EQ(group.values.size(), c.value_counts[g]) << "group " << g + 1;
            if (!group.values.empty()) {
                EXPECT_EQ(group.values.front(), 1.5f);
                EXPECT_EQ(group.values.back(), static_cast<float>(group.values.size()) + 0.5f);
            }
        }
        // Whole records back, byte for byte.
        EXPECT_EQ(model_file_records(file, c.name), c.raw.records());
    }
}

TEST(ModelFileWalker, KeepsCodesAsStoredAndTextsWhole)
{
    const ModelFile file = split_model_records(full_file().records(), "full");
    EXPECT_EQ(file.groups[2].code_value, 2.0f);
    EXPECT_EQ(file.groups[2].process_code(), 2);
    EXPECT_EQ(file.layout_of(file.groups[2]).family_code, 21);
    EXPECT_EQ(file.groups[1].upstream_node, 10010.0f);
    EXPECT_EQ(file.groups[1].downstream_node, 10020.0f);
    ASSERT_TRUE(file.groups[7].text.has_value());
    EXPECT_EQ(*file.groups[7].text, "SEAM TO MAP 0101                                  ");
    EXPECT_EQ(*file.groups[9].text, "SHORT-FORM SEAM                                   ");
    EXPECT_FALSE(file.groups[8].text.has_value());

    const ModelFile compact = split_model_records(compact_file().records(), "compact");
    EXPECT_EQ(*compact.groups[3].text, std::string(50, ' '));
}

TEST(ModelFileWalker, TypeTenGroupsOfOtherCodesRunToTheNextMarker)
{
    RawModelFile raw;
    raw.header(10.0f, 1.0f, FULL_HEADER_VALUES)
        .group(30010.0f, 30010.0f, 21.0f, 88)
        .group(30010.0f, 30020.0f, 81.0f, 5)  // not a type-10 code: scanned
        .group(30020.0f, 30030.0f, 52.0f, 77)
        .group(30030.0f, 30030.0f, 15.0f, 1)
        .text("SEAM")
        .group(30030.0f, 30040.0f, 61.0f, 77)
        .group(30040.0f, 30050.0f, 22.0f, 3);
    const ModelFile file = split_model_records(raw.records(), "type10");
    ASSERT_EQ(file.groups.size(), 6u);
    const std::size_t counts[] = {88, 5, 77, 1, 77, 3};
    for (std::size_t g = 0; g < 6; ++g) EXPECT_EQ(file.groups[g].values.size(), counts[g]) << g;
    EXPECT_EQ(model_file_records(file, "type10"), raw.records());
}

TEST(ModelFileWalker, OldHeaderLayoutsWalkAndFileWithoutGroupsIsAHeader)
{
    RawModelFile old_compact;
    old_compact.header(8.0f, 2.0f, OLD_COMPACT_HEADER_VALUES).group(1.0f, 2.0f, 31.0f, 4);
    const ModelFile file = split_model_records(old_compact.records(), "old");
    EXPECT_EQ(file.header.layout(), HeaderLayout::OldCompact);
    EXPECT_EQ(file.groups.size(), 1u);

    RawModelFile header_only;
    header_only.header(3.0f, 1.0f, FULL_HEADER_VALUES + 4);  // values after the fixed part are kept
    const ModelFile bare = split_model_records(header_only.records(), "bare");
    EXPECT_EQ(bare.header.length(), FULL_HEADER_VALUES + 4);
    EXPECT_TRUE(bare.groups.empty());
}

struct RefusalCase {
    const char* what;
    RawModelFile raw;
    std::string message_part;  // besides the file name
};

TEST(ModelFileWalker, RefusesFilesThatDoNotWalk)
{
    RefusalCase cases[] = {
        {"empty file", RawModelFile(), "record 1:"},
        {"header shorter than its layout", RawModelFile().header(3.0f, 1.0f, 530).group(1, 2, 31, 4),
         "record 531: the header holds 530 values"},
        {"compact length in a full-layout type", RawModelFile().header(3.0f, 1.0f, 523).group(1, 2, 31, 4),
         "model type 3 has 538"},
        {"old compact length in a full-layout type", RawModelFile().header(5.0f, 1.0f, 163).group(1, 2, 31, 4),
         "holds 163 values"},
        {"switch 1 in a compact type", RawModelFile().header(8.0f, 1.0f, 523).group(1, 2, 31, 4),
         "record 7: header value 7 (1) gives the subarea extension switch 1,"},
        {"switch 2 in a full type", RawModelFile().header(3.0f, 2.0f, 538).group(1, 2, 31, 4),
         "does not fit model type 3"},
        {"group longer than its code", RawModelFile().header(3.0f, 1.0f, 538).group(1, 2, 31, 5).group(2, 3, 31, 4),
         "record 547: the value 5.5 stands where group 2 should start"},
        {"group shorter than its code", RawModelFile().header(3.0f, 1.0f, 538).group(1, 2, 31, 3).group(2, 3, 31, 4),
         "record 546: group 1 (nodes 1 to 2, code 31) has only 3 of the 4 data values"},
        {"unknown code", RawModelFile().header(3.0f, 1.0f, 538).group(1, 2, 31, 4).group(2, 3, 17, 4),
         "record 550: group 2 (nodes 2 to 3, code 17): no model file of model type 3"},
        {"file ends inside a group", RawModelFile().header(3.0f, 1.0f, 538).group(1, 2, 33, 12),
         "record 555: the file ends inside group 1"},
        {"file ends after a marker", RawModelFile().header(3.0f, 1.0f, 538).value(GROUP_MARKER).value(1.0f),
         "the file ends inside group 1"},
        {"text record in the header", RawModelFile().header(3.0f, 1.0f, 20).text("X").header(3.0f, 1.0f, 538),
         "record 21: a record of 50 bytes inside the header"},
        {"text where a value belongs", RawModelFile().header(3.0f, 1.0f, 538).group(1, 2, 31, 2).text("X"),
         "record 545: a record of 50 bytes where the data value 3"},
        {"value where the text belongs", RawModelFile().header(3.0f, 1.0f, 538).group(1, 1, 151, 2),
         "record 544: group 1 (nodes 1 to 1, code 151) needs a 50-character text"},
        {"seam text missing at the end", RawModelFile().header(3.0f, 1.0f, 538).group(1, 1, 151, 1),
         "before its 50-character text"},
        {"record of another size", RawModelFile().header(3.0f, 1.0f, 538).group(1, 2, 31, 2).bytes(8),
         "record 545: a record of 8 bytes"},
        {"text inside a scanned type-10 group", RawModelFile().header(10.0f, 1.0f, 538).group(1, 2, 81, 2).text("X"),
         "record 545: a record of 50 bytes"},
        {"NaN as a data value", RawModelFile().header(3.0f, 1.0f, 538).group(1, 2, 31, 2).value(NAN).value(1.0f),
         "record 545: the value nan is not a number within the range of a real"},
        {"infinite node number",
         RawModelFile().header(3.0f, 1.0f, 538).value(GROUP_MARKER).value(INFINITY).value(2.0f).value(31.0f),
         "record 540: the value inf is not a number within the range of a real"},
        {"NaN in the header", RawModelFile().header(3.0f, 1.0f, 20).value(-NAN).header(3.0f, 1.0f, 517),
         "record 21: the value -nan is not a number within the range of a real"},
        {"infinite value in a scanned type-10 group",
         RawModelFile().header(10.0f, 1.0f, 538).group(1, 2, 81, 1).value(-INFINITY),
         "record 544: the value -inf is not a number within the range of a real"},
    };
    for (RefusalCase& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            split_model_records(c.raw.records(), "AB0101ZZ.Z11");
            ADD_FAILURE() << "accepted";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("AB0101ZZ.Z11: "), std::string::npos) << message;
            EXPECT_NE(message.find(c.message_part), std::string::npos) << message;
        }
    }
}

// ---------------------------------------------------------------- files

TEST(ModelFileFiles, ReadWriteAndRewriteKeepEveryUntouchedRecord)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("AB0101ZZ.Z11");
    const std::string original = encode_records(full_file().records());
    TemporaryDirectory::put(name, original);

    ModelFile file = read_model_file(name);
    write_model_file(name, file);
    EXPECT_EQ(TemporaryDirectory::get(name), original);

    // A primary element edit: value 5 of the code-33 group only.
    rewrite_model_file(name, [](ModelFile& model) {
        visit_model_groups(model, [](ModelGroup& group, const GroupLayout& layout) {
            if (layout.family_code == 33) group.values[4] = 48.0f;
        });
    });
    const ModelFile changed = read_model_file(name);
    EXPECT_EQ(changed.groups[1].values[4], 48.0f);
    ModelFile expected = split_model_records(full_file().records(), name);
    expected.groups[1].values[4] = 48.0f;
    EXPECT_EQ(model_file_records(changed, name), model_file_records(expected, name));
}

TEST(ModelFileFiles, RefusedWriteLeavesTheOldFile)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("AB0101ZZ.Z12");
    const std::string original = encode_records(full_file().records());
    TemporaryDirectory::put(name, original);

    struct Case {
        const char* what;
        void (*spoil)(ModelFile&);
        std::string message_part;
    };
    const Case cases[] = {
        {"NaN value", [](ModelFile& f) { f.groups[1].values[4] = std::numeric_limits<float>::quiet_NaN(); },
         "group 2 (nodes 10010 to 10020, code 33): data value 5 is nan"},
        {"infinite header value", [](ModelFile& f) { f.header.set_value(40, std::numeric_limits<float>::infinity()); },
         "record 40: header value 40 is inf"},
        {"marker among the data", [](ModelFile& f) { f.groups[0].values[0] = GROUP_MARKER; },
         "data value 1 equals the group marker"},
        {"value added to a group", [](ModelFile& f) { f.groups[8].values.push_back(1.0f); },
         "holds 5 data values; its code carries 4"},
        {"text dropped from a seam", [](ModelFile& f) { f.groups[7].text.reset(); }, "lacks the 50-character text"},
        {"text of the wrong length", [](ModelFile& f) { f.groups[7].text = "SHORT"; }, "its text holds 5 characters"},
        {"switch changed", [](ModelFile& f) { f.header.set_value(7, 2.0f); }, "subarea extension switch 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            rewrite_model_file(name, c.spoil);
            ADD_FAILURE() << "written";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(name), std::string::npos) << message;
            EXPECT_NE(message.find(c.message_part), std::string::npos) << message;
        }
        EXPECT_EQ(TemporaryDirectory::get(name), original);
    }
}

TEST(ModelFileFiles, RewriteOfAFileThatDoesNotWalkLeavesIt)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("AB0101ZZ.Z13");
    RawModelFile raw = full_file();
    raw.value(1.0f);  // a stray value after the last group
    const std::string original = encode_records(raw.records());
    TemporaryDirectory::put(name, original);
    bool edited = false;
    EXPECT_THROW(rewrite_model_file(name, [&](ModelFile&) { edited = true; }), FileError);
    EXPECT_FALSE(edited);
    EXPECT_EQ(TemporaryDirectory::get(name), original);
}

TEST(ModelFileFiles, MissingFileIsNamedAndNotCreated)
{
    TemporaryDirectory dir;
    const std::string name = dir.file("AB0909ZZ.Z11");
    try {
        read_model_file(name);
        ADD_FAILURE() << "read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("AB0909ZZ.Z11"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(file_exists(name));
}

TEST(ModelFileFiles, NameFollowsTheStemAndExtension)
{
    EXPECT_EQ(model_file_name("AB2304ZZ", "Z13"), "AB2304ZZ.Z13");
}

// ---------------------------------------------------------------- gfortran

// The list that the gfortran writer turns into records: "R" and a value's
// bits, or "T" and a 50-character text.
std::string fortran_record_list(const std::vector<RecordBytes>& records)
{
    std::string list;
    char line[16];
    for (const RecordBytes& record : records) {
        if (record.size() == sizeof(float)) {
            std::snprintf(line, sizeof line, "R %08X\n", test::float_bits(payload_float(record, 0)));
            list += line;
        } else {
            list += "T " + std::string(reinterpret_cast<const char*>(record.data()), record.size()) + "\n";
        }
    }
    return list;
}

TEST(ModelFileFortran, FilesWrittenByGfortranWalkAndComeBackByteForByte)
{
    TemporaryDirectory dir;
    RawModelFile type10;
    type10.header(10.0f, 1.0f, FULL_HEADER_VALUES)
        .group(30010.0f, 30010.0f, 21.0f, 88)
        .group(30010.0f, 30020.0f, 22.0f, 7)
        .group(30020.0f, 30020.0f, 151.0f, 1)
        .text("SEAM 30020 TO MAP 0302, TRAILING BLANKS KEPT");
    struct Case {
        const char* name;
        RawModelFile raw;
        std::vector<std::size_t> value_counts;
        std::vector<std::string> texts;  // the texts of the text groups, in order
    };
    const Case cases[] = {
        {"full", full_file(), {22, 30, 22, 26, 0, 30, 27, 1, 4, 1, 1}, {"SEAM TO MAP 0101", "SHORT-FORM SEAM"}},
        {"compact", compact_file(), {28, 28, 34, 1, 34}, {""}},
        {"type10", type10, {88, 7, 1}, {"SEAM 30020 TO MAP 0302, TRAILING BLANKS KEPT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string list = dir.file(std::string(c.name) + ".lst");
        const std::string written = dir.file(std::string(c.name) + ".z11");
        TemporaryDirectory::put(list, fortran_record_list(c.raw.records()));
        test::run_fortran("write_records", test::quoted(list) + " " + test::quoted(written), dir.file("out.txt"));

        const ModelFile file = read_model_file(written);
        ASSERT_EQ(file.groups.size(), c.value_counts.size());
        std::vector<std::string> texts;
        for (std::size_t g = 0; g < c.value_counts.size(); ++g) {
            EXPECT_EQ(file.groups[g].values.size(), c.value_counts[g]) << "group " << g + 1;
            if (file.groups[g].text) texts.push_back(*file.groups[g].text);
        }
        ASSERT_EQ(texts.size(), c.texts.size());
        for (std::size_t t = 0; t < texts.size(); ++t) {
            std::string expected = c.texts[t];
            expected.resize(MODEL_TEXT_LENGTH, ' ');
            EXPECT_EQ(texts[t], expected);
        }

        const std::string copy = dir.file(std::string(c.name) + ".copy");
        write_model_file(copy, file);
        EXPECT_EQ(TemporaryDirectory::get(copy), TemporaryDirectory::get(written));
    }
}

}  // namespace
}  // namespace velm
