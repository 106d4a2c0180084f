#include "gis/gis_export_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gis/gis_study.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;

class GisExportSortTest : public test::SessionTest {
protected:
    GisMapList sort(int model_type, GisExportPresence present = {true, true, true})
    {
        return preprocess_gis_data_bases(session_, present, model_type, "AB");
    }
    bool window_shows(const std::string& text) const { return window_.transcript().find(text) != std::string::npos; }
    int window_count(const std::string& text) const
    {
        int count = 0;
        for (std::size_t at = window_.transcript().find(text); at != std::string::npos;
             at = window_.transcript().find(text, at + 1))
            ++count;
        return count;
    }
};

TEST_F(GisExportSortTest, SortedFilesEqualTheBuildersForMapAndRegionModes)
{
    struct Case {
        int model_type;
        std::vector<std::string> map_codes;
    };
    const std::vector<Case> cases = {
        {3, {"AB1234", "AB1301", "AB1235"}},
        {8, {"AB1234", "AB1301", "AB1235"}},
        {6, {"AB1200", "AB1300"}},
        {9, {"AB1200", "AB1300"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model_type);
        TemporaryDirectory directory;
        const test::StudyBuilder study = test::gis_study(c.model_type);
        study.write(directory.path());
        const auto expected = test::take_gis_files(study);

        const GisMapList maps = sort(c.model_type);
        EXPECT_EQ(maps.map_codes, c.map_codes) << "subareas first, then the maps the nodes and links add";
        std::size_t compared = 0;
        for (const auto& [name, bytes] : expected) {
            SCOPED_TRACE(name);
            if (fs::exists(name)) {
                ++compared;
                EXPECT_EQ(TemporaryDirectory::get(name), bytes);
            } else {
                EXPECT_EQ(bytes, "") << "the sort writes a file for every map its exports hold";
            }
        }
        EXPECT_GE(compared, 2 * c.map_codes.size()) << "node and link files of every map at least";
    }
}

TEST_F(GisExportSortTest, WindowShowsEachOpeningOfAMapFile)
{
    // Subareas of maps 1234, 1235, 1234: the file of 1234 is started, left,
    // and appended to; three processing lines, two maps.
    test::StudyBuilder study("AB", 3, 1);
    study.add_subarea(123401.0f, 1.0f, test::SubareaEntry::AtNode);
    study.add_subarea(123501.0f, 1.0f, test::SubareaEntry::AtNode);
    study.add_subarea(123402.0f, 1.0f, test::SubareaEntry::AtNode);
    study.write_gis_exports(".");
    const GisMapList maps = sort(3, {true, false, false});
    EXPECT_EQ(maps.map_codes, (std::vector<std::string>{"AB1234", "AB1235"}));
    EXPECT_EQ(window_count("        * PROCESSING REGION #12 SUBREGION/MAP #34"), 2) << window_.transcript();
    EXPECT_EQ(window_count("        * PROCESSING REGION #12 SUBREGION/MAP #35"), 1);
    EXPECT_EQ(read_text_lines("AB1234ZZ.ZZS").size(), 2u);
    EXPECT_TRUE(window_shows("     * GIS DATA BASE PREPROCESSOR EXECUTED :"));
    EXPECT_TRUE(window_shows("     **** SORTING SUBAREA DATA BASE ****"));
    EXPECT_FALSE(window_shows("SORTING NODAL"));
}

// The two subarea parameters that an export may hold tenfold (columns 9 and
// 11, GIS parameters 5 and 6) are each scaled back above 10, and 10 itself
// stays; a negative value becomes 0.
TEST_F(GisExportSortTest, SubareaParametersAboveTenAreScaledBack)
{
    struct Case {
        const char* what;
        int column;     // of the subarea record
        float value;    // as the export holds it
        int parameter;  // of the GIS record
        float written;
    };
    const std::vector<Case> cases = {
        {"parameter 5 above 10", 9, 12.5f, 5, 1.25f},
        {"parameter 5 at 10", 9, 10.0f, 5, 10.0f},
        {"parameter 6 above 10", 11, 20.0f, 6, 2.0f},
        {"parameter 6 at 10", 11, 10.0f, 6, 10.0f},
        {"a negative parameter 6", 11, -3.0f, 6, 0.0f},
        {"a negative parameter 1", 3, -1.0f, 1, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SubareaRecord subarea;
        subarea.subarea_number() = 123456.7f;
        subarea.column(c.column) = c.value;
        for (const int model_type : {3, 8}) {
            const GisSubareaRecord record = gis_subarea_record_from_export(subarea, model_type);
            EXPECT_EQ(record.subarea_parameter(c.parameter), c.written) << "model type " << model_type;
        }
    }
}

// Model type 6 keeps a cell's land use with 100 and its third value on top;
// a cell of 0.005 acres or less is empty (land use and soil 0, the area
// kept), the boundary taken in single precision, as the export's 0.005
// reads.
TEST_F(GisExportSortTest, Type6CellsOfAtMostFiveThousandthsOfAnAcreAreEmpty)
{
    struct Case {
        float area;  // acres
        float land_use;
        float soil;
    };
    const std::vector<Case> cases = {
        {1.5f, 108.0f, 2.0f},
        {0.004f, 0.0f, 0.0f},
        {0.005f, 0.0f, 0.0f},
        {0.0051f, 108.0f, 2.0f},
        {0.0f, 0.0f, 0.0f},
    };
    ASSERT_EQ(std::strtof("0.005", nullptr), 0.005f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.area);
        SubareaRecord subarea;
        subarea.subarea_number() = 123456.7f;
        subarea.column(94) = 2.0f;
        subarea.cell_land_use(1) = 5.0f;
        subarea.cell_soil(1) = 2.0f;
        subarea.cell_third_value(1) = 3.0f;
        subarea.cell_area(1) = c.area;
        const GisSubareaRecord type6 = gis_subarea_record_from_export(subarea, 6);
        EXPECT_EQ(type6.subarea_parameter(1), 2.0f) << "the rainfall of column 94";
        EXPECT_EQ(type6.cell_land_use(1), c.land_use);
        EXPECT_EQ(type6.cell_soil(1), c.soil);
        EXPECT_EQ(type6.cell_area(1), c.area);
        const GisSubareaRecord plain = gis_subarea_record_from_export(subarea, 3);
        EXPECT_EQ(plain.cell_land_use(1), 5.0f) << "other model types keep the cell as it is";
        EXPECT_EQ(plain.cell_soil(1), 2.0f);
    }
    SubareaRecord subarea;
    subarea.column(93) = 4.0f;
    EXPECT_EQ(gis_subarea_record_from_export(subarea, 5).subarea_parameter(1), 4.0f) << "model type 5: column 93";
}

TEST_F(GisExportSortTest, LinkConversions)
{
    LinkRecord link;
    link.upstream_node() = 123401.0f;
    link.downstream_node() = 123599.0f;
    link.link_length() = -5.0f;
    link.street_half_width() = 20.0f;
    link.street_side_count() = 2;
    link.street_friction_factor() = 0.016f;
    link.element_type() = 1;
    link.element_side_slope() = 2.0f;
    const GisLinkRecord bare = gis_link_record_from_export(link);
    EXPECT_EQ(bare.link_length(), 0.0f);
    EXPECT_EQ(bare.street_half_width(), 0.0f) << "no curb and no gutter hike: no street";
    EXPECT_EQ(bare.street_side_count(), 0);
    EXPECT_EQ(bare.element_type(), 0);
    EXPECT_EQ(bare.street_friction_factor(), 0.016f);
    EXPECT_EQ(bare.element_side_slope(), 0.0f) << "no element height: no element";

    link.curb_height() = 0.5f;
    link.street_friction_factor() = 0.0f;
    link.element_height() = 2.0f;
    const GisLinkRecord street = gis_link_record_from_export(link);
    EXPECT_EQ(street.street_half_width(), 20.0f);
    EXPECT_EQ(street.element_type(), 1);
    EXPECT_EQ(street.street_friction_factor(), 0.0f) << "never the factor of the link before";
    EXPECT_EQ(street.element_side_slope(), 2.0f);
}

TEST_F(GisExportSortTest, SpanningLinksExtendTheNodeFileOfTheirMap)
{
    // Two links from node 123401 into map 1235: the node is added to map
    // 1235's node file once for each.
    test::StudyBuilder study("AB", 3, 1);
    study.add_node(123401.0f, 100.0f);
    study.add_node(123501.0f, 90.0f);
    study.add_node(123502.0f, 80.0f);
    study.add_link(123401.0f, 123501.0f, 100.0f, test::Element::pipe(1.0f));
    study.add_link(123401.0f, 123502.0f, 100.0f, test::Element::pipe(1.0f));
    study.write_gis_exports(".");
    sort(3);
    const std::vector<std::string> nodes = read_text_lines("AB1235ZZ.ZZN");
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[2], "123401.0   100.00     0.00");
    EXPECT_EQ(nodes[3], nodes[2]);
    EXPECT_TRUE(window_shows("  Extend Nodal Data Base"));
    EXPECT_TRUE(window_shows("AB1235ZZ.ZZN"));

    // A node the export holds twice: the extension takes its first record.
    {
        TemporaryDirectory twice;
        study.write_gis_exports(".");
        std::vector<std::string> node_export = read_text_lines("ABNODEZZ.ASC");
        std::string later = node_export.at(0);
        ASSERT_EQ(later.substr(0, 18), "123401.0   100.00 ");
        later.replace(0, 18, "123401.0   101.50 ");
        node_export.push_back(later);
        write_text_lines("ABNODEZZ.ASC", node_export);
        sort(3);
        const std::vector<std::string> extended = read_text_lines("AB1235ZZ.ZZN");
        ASSERT_EQ(extended.size(), 4u);
        EXPECT_EQ(extended[2], "123401.0   100.00     0.00");
        EXPECT_EQ(extended[3], extended[2]);
    }

    // Without the node export no node file is extended.
    TemporaryDirectory again;
    study.write_gis_exports(".");
    fs::remove("ABNODEZZ.ASC");
    sort(3, {true, false, true});
    EXPECT_FALSE(fs::exists("AB1235ZZ.ZZN"));
}

TEST_F(GisExportSortTest, ExtendingAMapWithoutNodesCreatesItsNodeFile)
{
    // The node export holds no node of map 1235, whose link enters from 1234.
    test::StudyBuilder study("AB", 3, 1);
    study.add_node(123401.0f, 100.0f);
    study.add_node(123501.0f, 90.0f);
    study.add_link(123401.0f, 123501.0f, 100.0f, test::Element::pipe(1.0f));
    study.write_gis_exports(".");
    std::vector<std::string> node_export = read_text_lines("ABNODEZZ.ASC");
    node_export.pop_back();
    write_text_lines("ABNODEZZ.ASC", node_export);
    sort(3);
    EXPECT_EQ(read_text_lines("AB1235ZZ.ZZN"), (std::vector<std::string>{"123401.0   100.00     0.00"}));
}

TEST_F(GisExportSortTest, UnreadableRecordsArePassedOverAndOtherMapsKeepTheirFiles)
{
    test::StudyBuilder study("AB", 3, 1);
    study.add_node(123401.0f, 100.0f);
    study.add_node(123402.0f, 90.0f);
    study.write_gis_exports(".");
    write_text_lines("AB9999ZZ.ZZN", {"old"});
    std::vector<std::string> nodes = read_text_lines("ABNODEZZ.ASC");
    nodes.insert(nodes.begin() + 1, "123401.5 'bad' not-a-number");
    write_text_lines("ABNODEZZ.ASC", nodes);
    sort(3, {false, true, false});
    EXPECT_EQ(read_text_lines("AB1234ZZ.ZZN"),
              (std::vector<std::string>{"123401.0   100.00     0.00", "123402.0    90.00     0.00"}));
    EXPECT_EQ(read_text_lines("AB9999ZZ.ZZN"), (std::vector<std::string>{"old"}));
}

TEST_F(GisExportSortTest, ARecordTheGisLayoutCannotHoldChangesNoFile)
{
    test::StudyBuilder study = test::gis_study(3);
    study.write(directory_.path());
    const auto before = test::take_gis_files(study);
    write_text_lines("AB1234ZZ.ZZN", {"old"});
    study.subarea(130101.0f).column(3) = 100.0f;  // F5.2 holds at most 99.99
    study.write_gis_exports(".");
    window_.type("");
    try {
        sort(3);
        FAIL() << "the sort went on";
    } catch (const ProgramStop& stop) {
        EXPECT_TRUE(stop.refused);
    }
    EXPECT_TRUE(window_shows("of [ABSUBSZZ.ASC]")) << window_.transcript();
    EXPECT_TRUE(window_shows("* NO GIS FILE has been changed."));
    EXPECT_EQ(read_text_lines("AB1234ZZ.ZZN"), (std::vector<std::string>{"old"}));
    EXPECT_FALSE(fs::exists("AB1301ZZ.ZZS"));
}

// The reason a record cannot be written can be longer than a row: it stands
// on lines of its own from column 8, none running past column 80 into the
// start of the next row.
TEST_F(GisExportSortTest, TheReasonARecordCannotBeWrittenStaysWithinTheWindow)
{
    struct Case {
        const char* what;
        std::string elevation;  // as the export holds it
    };
    const std::vector<Case> cases = {
        {"not a number", "     NaN"},
        {"too wide for its field", "1.0E+09"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory directory;
        test::StudyBuilder study = test::gis_study(3);
        study.write(directory.path());
        study.write_gis_exports(".");
        std::vector<std::string> nodes = read_text_lines("ABNODEZZ.ASC");
        const auto node = std::find_if(nodes.begin(), nodes.end(),
                                       [](const std::string& line) { return line.starts_with("123401.0 "); });
        ASSERT_NE(node, nodes.end());
        const std::size_t elevation = node->find_first_not_of(' ', 8);
        node->replace(elevation, node->find(' ', elevation) - elevation, c.elevation);
        write_text_lines("ABNODEZZ.ASC", nodes);
        window_.type("");
        try {
            sort(3, {false, true, false});
            FAIL() << "the sort went on";
        } catch (const ProgramStop&) {
        }
        const std::string& screen = window_.reads().back();
        int first = 0;
        int last = 0;
        for (int row = 1; row <= SCREEN_ROWS; ++row) {
            const std::string text = test::snapshot_row(screen, row);
            if (text.find("cannot be written into a GIS file:") != std::string::npos) first = row + 1;
            if (text.find("* NO GIS FILE has been changed.") != std::string::npos) last = row - 1;
        }
        ASSERT_GT(first, 0) << screen;
        ASSERT_GE(last, first) << screen;
        std::string reason;
        for (int row = first; row <= last; ++row) {
            const std::string text = test::snapshot_row(screen, row);
            EXPECT_EQ(text.substr(0, 7), std::string(7, ' ')) << screen;
            EXPECT_NE(text[7], ' ') << screen;
            reason += text.substr(7, text.find_last_not_of(' ') - 6) + " ";
        }
        EXPECT_NE(reason.find("nothing was written."), std::string::npos) << screen;
    }
}

}  // namespace
}  // namespace velm
