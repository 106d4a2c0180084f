#include "management/subset_data_bases.h"

#include <gtest/gtest.h>

#include "management/subset_field_map.h"
#include "platform/text_file.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

TEST(SubsetValues, ColumnTreatmentsOfEachKind)
{
    NodeRecord node;
    node.column(610) = 0.25f;
    node.column(600) = 0.25f;
    node.integer_column(286) = 7;
    node.node_text() = "NODE TEXT ";
    SubareaRecord subarea;
    subarea.column(134) = 12.7f;
    subarea.column(115) = -3.5f;
    subarea.column(116) = 12.7f;
    subarea.subarea_text() = "SUBAREA   ";
    LinkRecord link;
    link.column(23) = 3.0f;
    link.max_deficiency_event() = 2;
    link.link_id() = "LINK 1    ";
    const ReturnFrequencyTable frequencies{10, 25, 50, 100, 5, 2};

    EXPECT_EQ(node_subset_value(node, 610), 25.0f) << "columns 606 to 635 in hundredths";
    EXPECT_EQ(node_subset_value(node, 600), 0.25f);
    EXPECT_EQ(node_subset_value(node, 286), 7.0f) << "an integer column as a number";
    EXPECT_EQ(node_subset_value(node, 3), 0.0f) << "the text column is not carried";
    EXPECT_EQ(subarea_subset_value(subarea, 134), 12.0f) << "land-use code truncated";
    EXPECT_EQ(subarea_subset_value(subarea, 115), -3.0f) << "soil code truncated toward zero";
    EXPECT_EQ(subarea_subset_value(subarea, 116), 12.7f);
    EXPECT_EQ(subarea_subset_value(subarea, 2), 0.0f);
    EXPECT_EQ(link_subset_value(link, 6, frequencies), 0.0f);

    struct Case {
        int process_code;
        int storm_event;
        int column;
        float expected;
    };
    const Case cases[] = {
        {21, 2, 23, 3.0f},                      // an as-built pipe
        {56, 2, 23, 0.0f},                      // codes 36 and 56 carry no element in columns 23-27
        {36, 2, 27, 0.0f},  {36, 2, 28, 0.0f},  // column 28 is zero in the record itself
        {21, 2, 91, 25.0f},                     // column 91: the return frequency of the event
        {21, 6, 91, 2.0f},  {21, 0, 91, 0.0f},  // no event: no frequency
        {21, 7, 91, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.process_code << " event " << c.storm_event << " column "
                                        << c.column);
        link.process_code() = c.process_code;
        link.max_deficiency_event() = c.storm_event;
        EXPECT_EQ(link_subset_value(link, c.column, frequencies), c.expected);
    }
}

TEST(SubsetFiles, HeaderNamesTheFieldsAndRowsStopAtTheFirstGap)
{
    test::TemporaryDirectory directory;
    SubsetFieldMap map;
    set_subset_field_map_defaults(map);
    SubsetFieldList list = map.fields(DataBaseKind::NodeKind);
    list[19] = 300;  // field 20 beyond the 15 used, fields 16 to 19 empty

    NodeRecord first;
    first.node_number() = 10101.0f;
    first.node_elevation() = 150.0f;
    NodeRecord second;
    second.node_number() = 10102.0f;
    write_node_data_base("AB0101ZZ.ZNN", {first, second});

    TextWriter subset("ABNODEZZ.SST");
    TextReader lines("AB0101ZZ.ZNN");
    FreeFormReader reader(lines);
    write_node_subset(1, list, reader, subset);
    TextReader empty("missing", {});
    FreeFormReader no_records(empty);
    write_node_subset(2, list, no_records, subset);
    subset.commit();

    const std::vector<std::string> written = read_text_lines("ABNODEZZ.SST");
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0].substr(0, 24), "         1,           2,");
    EXPECT_EQ(written[0].size(), 16u * 13u - 2u) << "16 fields, the last one's column 0";
    EXPECT_EQ(written[0].substr(written[0].size() - 11), "         0,");
    EXPECT_EQ(written[1].substr(0, 26), "  10101.0000,    150.0000,");
    EXPECT_EQ(written[1].size(), 16u * 13u);
    EXPECT_EQ(written[1].substr(15 * 13), "      0.0000,") << "the field after the gap";
    EXPECT_EQ(written[2].substr(0, 13), "  10102.0000,");
}

TEST(SubsetFiles, ValueTooWideForTwelveCharactersIsAsterisks)
{
    test::TemporaryDirectory directory;
    SubsetFieldList list{};
    list[0] = 1;
    list[1] = 57;
    // A data base line written outside the system: column 57 beyond its own
    // field as well.
    std::string line = "10101.0 150.0 'TEXT' 0.0";
    for (int column = 5; column <= NODE_RECORD_VALUES; ++column) line += column == 57 ? " 12345678" : " 0";
    test::TemporaryDirectory::put("AB0101ZZ.ZNN", line + "\r\n");
    TextWriter subset("ABNODEZZ.SST");
    TextReader lines("AB0101ZZ.ZNN");
    FreeFormReader reader(lines);
    write_node_subset(2, list, reader, subset);
    subset.commit();
    EXPECT_EQ(read_text_lines("ABNODEZZ.SST"), std::vector<std::string>{"  10101.0000," + std::string(12, '*') + ","});
}

}  // namespace
}  // namespace velm
