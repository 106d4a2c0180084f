#include "management/record_differences.h"

#include <gtest/gtest.h>

#include "management/differences_column_pages.h"
#include "management/differences_legend.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

TEST(RecordDifferences, ToleranceAndRoundOff)
{
    struct Case {
        float baseline;
        float scenario;
        float tolerance;
        float expected;
    };
    const Case cases[] = {
        {100.0f, 100.5f, ONE_PERCENT_TOLERANCE, 0.0f},  // 0.5 % of the baseline
        {100.0f, 100.5f, TENTH_PERCENT_TOLERANCE, 0.5f},
        {0.0f, 0.5f, ONE_PERCENT_TOLERANCE, 0.5f},       // against the scenario when the baseline is 0
        {2.0f, 2.0005f, TENTH_PERCENT_TOLERANCE, 0.0f},  // within the round-off floor
        {100.0f, 90.0f, ONE_PERCENT_TOLERANCE, -10.0f},
        {4.0f, 4.004f, TENTH_PERCENT_TOLERANCE, 4.004f - 4.0f},  // 0.00100005 in single precision
        // A relative change exactly equal to the tolerance counts: 1 / 100
        // and 1 / 1000 are 0.01f and 0.001f exactly in single precision.
        {100.0f, 101.0f, ONE_PERCENT_TOLERANCE, 1.0f},
        {1000.0f, 1001.0f, TENTH_PERCENT_TOLERANCE, 1.0f},
        {1000.0f, 999.0f, TENTH_PERCENT_TOLERANCE, -1.0f},
        // A change of exactly the floor (0.001f itself) is round-off, even
        // at a relative change of 1; just above it is a change.
        {0.0f, 0.001f, TENTH_PERCENT_TOLERANCE, 0.0f},
        {0.001f, 0.0f, ONE_PERCENT_TOLERANCE, 0.0f},
        {0.0f, 0.0011f, ONE_PERCENT_TOLERANCE, 0.0011f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.baseline << " -> " << c.scenario);
        DifferenceValues baseline{};
        DifferenceValues scenario{};
        baseline[0] = 10101.0f;
        scenario[0] = 10101.0f;
        baseline[1] = c.baseline;
        scenario[1] = c.scenario;
        const DifferenceValues d = record_differences(scenario, baseline, c.tolerance, 1);
        EXPECT_EQ(d[0], 10101.0f) << "the key shows the scenario's value";
        EXPECT_EQ(d[1], c.expected);
        EXPECT_EQ(record_changed(d, 1), c.expected != 0.0f);
    }
    DifferenceValues baseline{};
    DifferenceValues scenario{};
    scenario[0] = 10102.0f;
    EXPECT_FALSE(record_changed(record_differences(scenario, baseline, TENTH_PERCENT_TOLERANCE, 1), 1))
        << "a change of the key alone is no change";
}

TEST(RecordDifferences, SelectedValuesOfEachKind)
{
    SubsetFieldList nodes{};
    nodes[0] = 1;
    nodes[1] = 610;
    nodes[2] = 3;
    NodeRecord node;
    node.node_number() = 10101.0f;
    node.column(610) = 0.26f;
    EXPECT_EQ(selected_values(node, nodes)[1], 26.0f);
    EXPECT_EQ(selected_values(node, nodes)[2], 0.0f) << "a text column never changes";

    SubsetFieldList links{};
    links[0] = 1;
    links[1] = 2;
    links[2] = 23;
    links[3] = 19;
    links[4] = 91;
    LinkRecord link;
    link.process_code() = 36;
    link.element_height() = 4.0f;
    link.street_side_count() = 2;
    link.max_deficiency_event() = 3;
    const DifferenceValues values = selected_values(link, links);
    EXPECT_EQ(values[2], 0.0f) << "code 36 has no element";
    EXPECT_EQ(values[3], 2.0f) << "an integer column as its value";
    EXPECT_EQ(values[4], 3.0f) << "column 91 as the storm event it holds";
}

TEST(RecordDifferences, EntryLayoutShowsBaselineScenarioAndDifference)
{
    DifferenceValues baseline{};
    DifferenceValues scenario{};
    baseline[0] = scenario[0] = 10101.0f;
    baseline[1] = 100.0f;
    scenario[1] = 90.0f;
    const DifferenceValues d = record_differences(scenario, baseline, ONE_PERCENT_TOLERANCE, 1);
    const std::vector<std::string> links = differences_entry_lines(baseline, scenario, d, false);
    ASSERT_EQ(links.size(), 7u);
    EXPECT_EQ(links[0].substr(0, 26), "( 10101.0000)(   100.0000)");
    EXPECT_EQ(links[0].size(), 390u);
    EXPECT_EQ(links[2].substr(0, 26), "  10101.0000      90.0000 ");
    EXPECT_EQ(links[4].substr(0, 26), "  10101.0000     -10.0000 ");
    EXPECT_EQ(links[6], "  ");
    const std::vector<std::string> subareas = differences_entry_lines(baseline, scenario, d, true);
    ASSERT_EQ(subareas.size(), 5u);
    EXPECT_EQ(subareas[2].size(), 780u) << "subarea rows hold 60 values a line";
}

TEST(DifferencesPages, SevenLinkColumnsGiveTwoPagesLedByTheKeys)
{
    test::TemporaryDirectory directory;
    SubsetFieldList links{};
    for (int i = 0; i < 7; ++i) links[static_cast<std::size_t>(i)] = i + 1;
    std::vector<std::string> lines = differences_legend(DataBaseKind::LinkKind, links, "AB");
    lines.push_back(differences_column_number_line(links));
    DifferenceValues baseline{};
    DifferenceValues scenario{};
    for (int i = 0; i < 7; ++i) scenario[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
    const DifferenceValues d = record_differences(scenario, baseline, ONE_PERCENT_TOLERANCE, 2);
    for (std::string& line : differences_entry_lines(baseline, scenario, d, false)) lines.push_back(line);
    const std::size_t legend_lines = 7 + 7 + 1;

    EXPECT_EQ(split_differences_file(lines, DataBaseKind::LinkKind, 7), 1);
    ASSERT_EQ(lines.size(), legend_lines + 2 * (1 + 7 + 1));
    EXPECT_EQ(lines[3], report_line("                              3. LINK Data Base Legend:"));
    const std::string& first_page_column_line = lines[legend_lines];
    EXPECT_EQ(first_page_column_line.substr(0, 78),
              "         1            2            3            4            5            6   ");
    EXPECT_EQ(first_page_column_line.size(), 150u);
    const std::size_t second_page = legend_lines + 9;
    EXPECT_EQ(lines[second_page].substr(0, 39), "         1            2            7   ") << "the keys, then value 7";
    EXPECT_EQ(lines[second_page + 3].substr(0, 39), "      1.0000       2.0000       7.0000 ");
    EXPECT_EQ(lines.back(), "\f" + std::string(149, ' ')) << "a page break is 150 characters like every line";
}

TEST(DifferencesPages, SubareaRowsKeepTheirValuesBeyondTheThirtieth)
{
    test::TemporaryDirectory directory;
    SubsetFieldList subareas{};
    for (int i = 0; i < 40; ++i) subareas[static_cast<std::size_t>(i)] = i + 1;
    std::vector<std::string> lines = differences_legend(DataBaseKind::SubareaKind, subareas, "AB");
    lines.push_back(differences_column_number_line(subareas));
    DifferenceValues baseline{};
    DifferenceValues scenario{};
    scenario[0] = baseline[0] = 10101.0f;
    scenario[39] = 40.0f;  // position 40
    const DifferenceValues d = record_differences(scenario, baseline, ONE_PERCENT_TOLERANCE, 1);
    for (std::string& line : differences_entry_lines(baseline, scenario, d, true)) lines.push_back(line);
    EXPECT_EQ(split_differences_file(lines, DataBaseKind::SubareaKind, 40), 1);
    // Page 2 shows values 7-12 of the first halves and 37-42 of the second
    // halves: the scenario's and the difference's value 40 among them.
    std::size_t found = 0;
    for (const std::string& line : lines) {
        if (line.find("     40.0000 ") != std::string::npos) ++found;
    }
    EXPECT_EQ(found, 2u) << "the scenario row and the difference row";
}

TEST(DifferencesLegend, LabelsAndFallbacks)
{
    test::TemporaryDirectory directory;
    test::TemporaryDirectory::put("kelnodez.lab",
                                  "header 1\r\nheader 2\r\n 301  Land use of cell 1\r\n"
                                  "   2  Ground elevation (ft)\r\n   2  a second label\r\n");
    const std::vector<std::string> labels = read_text_lines("kelnodez.lab");
    struct Case {
        int column;
        std::string description;
    };
    const Case cases[] = {{2, "Ground elevation (ft)"},
                          {301, "Land use of cell 1"},
                          {302, "Soil Grouping (N/A for Q2208)"},
                          {303, "Accumulated Area up to this Node Number"},
                          {304, "Land Use Type"},
                          {601, "Future Development"}};
    for (const Case& c : cases) {
        std::string expected = c.description;
        if (c.column == 2 || c.column == 301) expected.resize(100, ' ');
        EXPECT_EQ(column_description(DataBaseKind::NodeKind, c.column, labels), expected) << c.column;
    }
    SubsetFieldList list{};
    list[0] = 1;
    list[1] = 2;
    list[2] = 57;
    const std::vector<std::string> legend = differences_legend(DataBaseKind::SubareaKind, list, "AB");
    ASSERT_EQ(legend.size(), 7u + 3u + 1u) << "no label file: every column described by the fallback";
    EXPECT_EQ(legend[7], "         1            1       Future Development" + std::string(82, ' '));
    EXPECT_EQ(legend[9].substr(0, 30), "         3           57       ");

    // A line whose number field is not a whole number stops the look-up that
    // reaches it, with the file and the line named; a column labelled before
    // it is still described.
    test::TemporaryDirectory::put("kelsubaz.lab",
                                  "header 1\r\nheader 2\r\n  99  Impervious fraction\r\n"
                                  "12.5  a decimal column number\r\n   3  Area (acres)\r\n");
    const std::vector<std::string> subarea_labels = read_text_lines("kelsubaz.lab");
    EXPECT_EQ(column_description(DataBaseKind::SubareaKind, 99, subarea_labels).substr(0, 19), "Impervious fraction");
    for (int column : {3, 57}) {
        try {
            column_description(DataBaseKind::SubareaKind, column, subarea_labels);
            ADD_FAILURE() << "column " << column << ": the unreadable line was passed over";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("'kelsubaz.lab', line 4"), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace velm
