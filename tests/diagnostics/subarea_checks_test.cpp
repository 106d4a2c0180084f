#include "diagnostics/subarea_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "diagnostics/node_checks.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/gis_files.h"
#include "records/subarea_data_base.h"
#include "support/check_family_test.h"
#include "support/report_delimiters.h"
#include "support/scripted_window.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::REPORT_RULE;
using test::TemporaryDirectory;
using Lines = std::vector<std::string>;

const Lines SUBAREA_FRAME_TOP{
    "\f",
    "",
    "",
    "    II.C. POSTPROCESSOR VALIDITY CHECKS: SUBAREAS",
    REPORT_RULE,
    "               (EXCEPTIONS are FATAL!)",
    "                             |<======== Data  Out  of  Range =========>|",
    "        Subarea              Subarea                    Land",
    "         Number  Uniqueness   Number  Rainfall  S-Graph  Use  Soil  Area",
    "        -------  ----------  -------  --------  ------- ----  ----  ----",
};

// First columns of the seven flag columns of a row, in report order:
// Uniqueness, Subarea Number, Rainfall, S-Graph, Land Use, Soil, Area.
constexpr int FLAG_COLUMNS[7] = {22, 33, 42, 51, 58, 64, 70};

// A subarea that passes every test of every model type: rainfall values
// inside all ranges (column 11 clears model type 6), one cell of land use 1,
// soil 2 and 5 acres.
SubareaRecord subarea(float number)
{
    SubareaRecord record;
    record.subarea_number() = number;
    record.column(3) = 10.0f;
    record.column(6) = 2.0f;
    record.column(11) = 3.0f;
    record.cell_land_use(1) = 1.0f;
    record.cell_soil(1) = 2.0f;
    record.cell_area(1) = 5.0f;
    return record;
}

// A row as the report shows it: the number in columns 7 to 15, each flag
// text at its column.
std::string row(const std::string& number, const std::vector<std::string>& flags)
{
    std::string line(72, ' ');
    line.replace(15 - number.size(), number.size(), number);
    for (int i = 0; i < 7; ++i) line.replace(static_cast<std::size_t>(FLAG_COLUMNS[i] - 1), 3, flags[i]);
    return line;
}

// The seven flag texts of a row line, joined by "|".
std::string flags_of(const std::string& line)
{
    std::string flags;
    for (int i = 0; i < 7; ++i) {
        if (i > 0) flags += '|';
        flags += line.substr(static_cast<std::size_t>(FLAG_COLUMNS[i] - 1), 3);
    }
    return flags;
}

TEST(SubareaExceptions, EachTestFlagsItsColumnAtItsLimits)
{
    using Change = std::function<void(SubareaRecord&)>;
    struct Case {
        const char* name;
        int model_type;
        Change change;
        std::string flags;  // "" when the subarea passes
    };
    auto number = [](float n) { return Change([n](SubareaRecord& r) { r.subarea_number() = n; }); };
    auto column = [](int c, float v) { return Change([c, v](SubareaRecord& r) { r.column(c) = v; }); };
    auto cell = [](int k, float land_use, float soil, float area) {
        return Change([=](SubareaRecord& r) {
            r.cell_land_use(k) = land_use;
            r.cell_soil(k) = soil;
            r.cell_area(k) = area;
        });
    };
    const std::string number_flag = "   |Yes|   |   |   |   |   ";
    const std::string rainfall_yes = "   |   |Yes|   |   |   |   ";
    const std::string rainfall_na = "   |   |N/A|   |   |   |   ";
    const std::string land_use_flag = "   |   |   |   |Yes|   |   ";
    const std::string soil_flag = "   |   |   |   |   |Yes|   ";
    const std::string area_flag = "   |   |   |   |   |   |Yes";
    const std::vector<Case> cases{
        {"clean subarea", 3, [](SubareaRecord&) {}, ""},
        {"number 10000.0", 3, number(10000.0f), number_flag},
        {"number just above 10000.0", 3, number(10000.1f), ""},
        {"number 999999.0", 3, number(999999.0f), ""},
        {"number just above 999999.0", 3, number(999999.1f), number_flag},
        {"type 5 rainfall 8.0", 5, column(3, 8.0f), ""},
        {"type 5 rainfall 20.0", 5, column(3, 20.0f), ""},
        {"type 5 rainfall 7.9", 5, column(3, 7.9f), rainfall_yes},
        {"type 5 rainfall 20.1", 5, column(3, 20.1f), rainfall_yes},
        {"type 3 has no rainfall test", 3, column(3, 0.0f), ""},
        {"type 6 column 3 outside, column 11 inside", 6,
         [](SubareaRecord& r) {
             r.column(3) = 7.0f;
             r.column(11) = 20.0f;
         },
         ""},
        {"type 6 column 3 inside, column 11 outside", 6,
         [](SubareaRecord& r) {
             r.column(3) = 3.0f;
             r.column(11) = 60.0f;
         },
         ""},
        {"type 6 both outside", 6,
         [](SubareaRecord& r) {
             r.column(3) = 7.0f;
             r.column(11) = 60.0f;
         },
         rainfall_na},
        {"type 9 column 6 at 3.0", 9, column(6, 3.0f), ""},
        {"type 9 column 6 below 1.0", 9, column(6, 0.5f), rainfall_na},
        {"type 7 land use 47.9", 7, cell(1, 47.9f, 2.0f, 5.0f), ""},
        {"type 7 land use 48.0", 7, cell(1, 48.0f, 2.0f, 5.0f), land_use_flag},
        {"type 7 soil 4.5", 7, cell(1, 1.0f, 4.5f, 5.0f), ""},
        {"type 7 soil 5.0", 7, cell(1, 1.0f, 5.0f, 5.0f), soil_flag},
        {"type 3 land use 71.9", 3, cell(1, 71.9f, 2.0f, 5.0f), ""},
        {"type 3 land use 72.0", 3, cell(1, 72.0f, 2.0f, 5.0f), land_use_flag},
        {"type 3 land use 0.5", 3, cell(1, 0.5f, 2.0f, 5.0f), land_use_flag},
        {"type 8 land use 103.5", 8, cell(1, 103.5f, 2.0f, 5.0f), ""},
        {"type 8 land use 104.0", 8, cell(1, 104.0f, 2.0f, 5.0f), land_use_flag},
        {"type 10 land use 100.9", 10, cell(1, 100.9f, 2.0f, 5.0f), ""},
        {"type 10 land use 101.0", 10, cell(1, 101.0f, 2.0f, 5.0f), land_use_flag},
        {"type 9 land use 12.9, soil 3.9", 9, cell(1, 12.9f, 3.9f, 5.0f), ""},
        {"type 9 land use 13.0", 9, cell(1, 13.0f, 2.0f, 5.0f), land_use_flag},
        {"type 9 soil 4.0", 9, cell(1, 1.0f, 4.0f, 5.0f), soil_flag},
        {"type 6 land use 24.9, soil 172.0", 6, cell(1, 24.9f, 172.0f, 5.0f), ""},
        {"type 6 land use 25.0", 6, cell(1, 25.0f, 2.0f, 5.0f), land_use_flag},
        {"type 6 land use 0.0 with a soil", 6, cell(1, 0.0f, 2.0f, 5.0f), land_use_flag},
        {"type 6 soil 1.9", 6, cell(1, 1.0f, 1.9f, 5.0f), soil_flag},
        {"type 6 soil 172.5", 6, cell(1, 1.0f, 172.5f, 5.0f), soil_flag},
        {"area 0.01", 3, cell(1, 1.0f, 2.0f, 0.01f), ""},
        {"area 1000.0", 3, cell(1, 1.0f, 2.0f, 1000.0f), ""},
        {"area 0.009", 3, cell(1, 1.0f, 2.0f, 0.009f), area_flag},
        {"area 1000.1", 3, cell(1, 1.0f, 2.0f, 1000.1f), area_flag},
        {"an empty cell is not tested", 3, cell(2, 0.0f, 0.0f, 0.0f), ""},
        {"a cell with land use and no soil fails soil and is tested for area", 3, cell(2, 3.0f, 0.0f, 0.0f),
         "   |   |   |   |   |Yes|Yes"},
        {"a flag of one cell stays when a later cell passes", 3,
         [](SubareaRecord& r) {
             r.cell_area(1) = 0.001f;
             r.cell_land_use(2) = 1.0f;
             r.cell_soil(2) = 2.0f;
             r.cell_area(2) = 5.0f;
         },
         area_flag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SubareaRecord record = subarea(10101.0f);
        c.change(record);
        const std::vector<SubareaCheckRow> rows = find_subarea_exceptions({record}, c.model_type);
        if (c.flags.empty()) {
            EXPECT_TRUE(rows.empty());
        } else {
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(flags_of(subarea_check_row_line(rows[0])), c.flags);
        }
    }
}

TEST(SubareaExceptions, EveryRecordOfARepeatedNumberIsReported)
{
    const std::vector<SubareaRecord> subareas{subarea(10101.0f), subarea(10102.0f), subarea(10101.0f),
                                              subarea(10103.0f), subarea(10101.0f)};
    const std::vector<SubareaCheckRow> rows = find_subarea_exceptions(subareas, 3);
    ASSERT_EQ(rows.size(), 3u);
    for (const SubareaCheckRow& r : rows) {
        EXPECT_EQ(subarea_check_row_line(r), row(" 10101.00", {"No ", "   ", "   ", "   ", "   ", "   ", "   "}));
    }
}

using SubareaChecksTest = test::CheckFamilyTest<run_subarea_checks>;

TEST_F(SubareaChecksTest, RowsOfEveryMapStandBetweenTheFrameAndTheClosingRule)
{
    // Map 0101: 10101.0 twice (the second also with a bad rainfall) and
    // 10000.0; map 0102 has no subarea data base; map 0103 is clean.
    SubareaRecord low_rainfall = subarea(10101.0f);
    low_rainfall.column(3) = 7.9f;
    write_subarea_data_base("AB0101ZZ.ZSS", {subarea(10101.0f), subarea(10102.0f), low_rainfall, subarea(10000.0f)});
    write_subarea_data_base("AB0103ZZ.ZSS", {subarea(10301.0f)});

    EXPECT_EQ(run({"AB0101ZZ", "AB0102ZZ", "AB0103ZZ"}, 5), 3);

    Lines expected = SUBAREA_FRAME_TOP;
    expected.push_back(row(" 10101.00", {"No ", "   ", "   ", "   ", "   ", "   ", "   "}));
    expected.push_back(row(" 10101.00", {"No ", "   ", "Yes", "   ", "   ", "   ", "   "}));
    expected.push_back(row(" 10000.00", {"   ", "Yes", "   ", "   ", "   ", "   ", "   "}));
    expected.push_back(REPORT_RULE);
    EXPECT_EQ(report_lines, expected);
    EXPECT_EQ(report_lines[10], "       10101.00      No " + std::string(48, ' '));
    EXPECT_EQ(window_.transcript(),
              "\n"
              "     **** SUBAREA VALIDITY CHECKS ***\n"
              "        * PROCESSING FILE AB0101ZZ.ZSS\n"
              "        * PROCESSING FILE AB0102ZZ.ZSS\n"
              " * DATA FILE [AB0102ZZ.ZSS] DOES NOT EXIST\n"
              "        * PROCESSING FILE AB0103ZZ.ZSS\n"
              "       ** Fatal Error(s) detected: See Below.\n");
    EXPECT_FALSE(file_exists("AB0102ZZ.ZSS"));
}

TEST_F(SubareaChecksTest, CleanStudyWritesNoErrorsBetweenTheRules)
{
    struct Case {
        const char* name;
        std::vector<std::string> maps;
        std::string window;
    };
    const std::vector<Case> cases{
        {"no map data file", {}, "\n     **** SUBAREA VALIDITY CHECKS ***\n       ** NO Fatal Errors Detected\n"},
        {"one clean map",
         {"AB0101ZZ"},
         "\n     **** SUBAREA VALIDITY CHECKS ***\n        * PROCESSING FILE AB0101ZZ.ZSS\n"
         "       ** NO Fatal Errors Detected\n"},
    };
    write_subarea_data_base("AB0101ZZ.ZSS", {subarea(10101.0f), subarea(10102.0f)});
    Lines expected = SUBAREA_FRAME_TOP;
    expected.push_back("  ==> No Errors! ");
    expected.push_back(REPORT_RULE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run(c.maps, 3), 0);
        EXPECT_EQ(report_lines, expected);
        EXPECT_EQ(window_.transcript(), c.window);
    }
}

TEST_F(SubareaChecksTest, AnUnreadableRecordNamesTheFile)
{
    TemporaryDirectory::put("AB0101ZZ.ZSS", "10101.0 'text' 1.0 two\r\n");
    try {
        run({"AB0101ZZ"}, 3);
        FAIL() << "the unreadable record was accepted";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("AB0101ZZ.ZSS"), std::string::npos) << error.what();
    }
}

// The report comparison finds sections II.B and II.C by their rules alone
// (a line beginning " *--------"): five for the nodes, two for the subareas,
// whatever the checks find, with the lines between them as the sections.
TEST_F(SubareaChecksTest, NodeAndSubareaSectionsKeepTheirSevenDelimiters)
{
    struct Case {
        const char* name;
        bool seeded;
        std::vector<int> section_lengths;  // lines between consecutive delimiters, from the first
    };
    const std::vector<Case> cases{
        {"clean study", false, {2, 2, 2, 2, 4, 5 + 1}},
        {"a fault of every kind", true, {2 + 1, 2 + 1, 2 + 1, 2 + 1, 4, 5 + 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory directory;
        GisNodeRecord twice;
        twice.node_number() = 10101.0f;
        GisNodeRecord bad;
        bad.node_number() = 9999.0f;
        bad.node_elevation() = 30000.0f;
        GisLinkRecord link;
        link.upstream_node() = 10101.0f;
        link.downstream_node() = 10102.0f;
        write_gis_node_file("AB0101ZZ.ZZN", c.seeded ? std::vector{twice, twice, bad} : std::vector{twice});
        write_gis_link_file("AB0101ZZ.ZZL", {link});
        write_subarea_data_base("AB0101ZZ.ZSS", c.seeded ? std::vector{subarea(10101.0f), subarea(10101.0f)}
                                                         : std::vector{subarea(10101.0f)});
        DataFileTable table;
        table.data_file_names = {"AB0101ZZ"};
        TextWriter report("ABTRVLZZ.DIA");
        run_node_checks(session_, report, table, 3);
        run_subarea_checks(session_, report, table, 3);
        report.commit();

        std::vector<int> lengths;
        int delimiters = 0;
        int lines_since = 0;
        for (const std::string& line : read_text_lines("ABTRVLZZ.DIA")) {
            if (line.substr(0, 10) == " *--------") {
                if (++delimiters > 1) lengths.push_back(lines_since);
                lines_since = 0;
            } else {
                ++lines_since;
            }
        }
        EXPECT_EQ(delimiters, 7);
        EXPECT_EQ(lengths, c.section_lengths);
        EXPECT_EQ(lines_since, 0);
    }
}

}  // namespace
}  // namespace velm
