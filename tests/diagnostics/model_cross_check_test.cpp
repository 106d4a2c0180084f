// The cross-check of the data bases against the link-node model files: the
// seven report items, the entry rules of the group codes, the network node
// sets and the refusal of missing or broken model files.
#include "diagnostics/model_cross_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics/network_study.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/model_file.h"
#include "records/subarea_data_base.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"

namespace velm {
namespace {

constexpr float NO_SUBAREA = 0.0f;

// A model file header of the full layout (the compact one for model types 7
// and 8), with the model type in value 2 and the matching switch in value 7.
ModelFileHeader model_header(int model_type)
{
    const bool compact = model_type == 7 || model_type == 8;
    ModelFileHeader header;
    header.values.assign(compact ? COMPACT_HEADER_VALUES : FULL_HEADER_VALUES, 0.0f);
    header.set_value(2, static_cast<float>(model_type));
    header.set_value(7, compact ? 2.0f : 1.0f);
    header.set_value(12, 10.0f);
    return header;
}

// A group of the code's full length, zeros but for the subarea it carries
// (packed into its subarea part, where its layout has one).
ModelGroup group(float upstream, float downstream, float code, int model_type = 6,
                 std::optional<float> subarea = std::nullopt, int subarea_code = 1)
{
    const bool compact = model_type == 7 || model_type == 8;
    const GroupLayout layout = *group_layout(code, model_type, compact ? 2 : 1);
    ModelGroup result{upstream, downstream, code, std::vector<float>(static_cast<std::size_t>(layout.data_count)),
                      std::nullopt};
    if (subarea)
        result.values.at(static_cast<std::size_t>(layout.packed_subarea_position - 1)) =
            pack_subarea(subarea_code, *subarea);
    if (layout.text) result.text = std::string(MODEL_TEXT_LENGTH, ' ');
    return result;
}

// One map of a study: its model file groups and, unless left out, its
// subarea and link data bases.
struct MapFiles {
    std::string stem;  // "AB0101ZZ"
    std::vector<ModelGroup> groups;
    std::optional<std::vector<float>> subareas = std::vector<float>{};
    std::optional<std::vector<std::pair<float, float>>> links = std::vector<std::pair<float, float>>{};
    int model_type = 6;
};

void write_map(const MapFiles& map)
{
    ModelFile file{model_header(map.model_type), map.groups};
    write_model_file(model_file_name(map.stem, "Z11"), file);
    if (map.subareas) {
        std::vector<SubareaRecord> records;
        for (const float number : *map.subareas) {
            SubareaRecord record;
            record.subarea_number() = number;
            records.push_back(record);
        }
        write_subarea_data_base(subarea_data_base_name(map.stem), records);
    }
    if (map.links) {
        std::vector<LinkRecord> records;
        for (const auto& [upstream, downstream] : *map.links) {
            LinkRecord record;
            record.upstream_node() = upstream;
            record.downstream_node() = downstream;
            record.link_length() = 100.0f;
            records.push_back(record);
        }
        write_link_data_base(link_data_base_name(map.stem), records);
    }
}

class ModelCrossCheck : public test::SessionTest {
protected:
    // Writes the maps, runs the cross-check after a first report line and
    // returns the report's lines after that one.
    std::vector<std::string> run(const std::vector<MapFiles>& maps)
    {
        DataFileTable table;
        table.model_file_extension = "Z11";
        for (const MapFiles& map : maps) {
            write_map(map);
            table.data_file_names.push_back(map.stem);
        }
        return run(table);
    }

    // Runs the cross-check over a study's written files.
    std::vector<std::string> run(const DataFileTable& table)
    {
        TextWriter report("ABTRVLZZ.DIA");
        report.write_line("section before");
        run_model_cross_check(session_, report, table, node_sets_, subarea_total_, link_total_);
        std::vector<std::string> lines = read_text_lines("ABTRVLZZ.DIA");
        EXPECT_EQ(lines.front(), "section before");
        lines.erase(lines.begin());
        return lines;
    }

    // Runs the cross-check of map 0101, which must end in an error naming
    // its model file.
    void expect_map_refused(const char* why)
    {
        DataFileTable table{{"AB0101ZZ"}, "Z11"};
        TextWriter report("ABTRVLZZ.DIA");
        try {
            run_model_cross_check(session_, report, table, node_sets_, subarea_total_, link_total_);
            ADD_FAILURE() << why;
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find("AB0101ZZ.Z11"), std::string::npos) << error.what();
        }
    }

    // The entries listed under a heading (the lines after its captions up to
    // the next heading or page break).
    static std::vector<std::string> item(const std::vector<std::string>& report, std::string_view heading, int captions)
    {
        std::vector<std::string> entries;
        for (std::size_t k = 0; k < report.size(); ++k) {
            if (report[k] != heading) continue;
            for (std::size_t e = k + 1 + static_cast<std::size_t>(captions); e < report.size(); ++e) {
                if (report[e].starts_with("     *") || report[e] == "\f") break;
                entries.push_back(report[e]);
            }
        }
        return entries;
    }

    NetworkNodeSets node_sets_;
    int subarea_total_ = 0;
    int link_total_ = 0;
};

// Map 0101 holds one fault of each item; map 0102 adds a link that its data
// base lacks, so the items collect the maps in order and each map's flags add
// to the totals.
TEST_F(ModelCrossCheck, EachItemListsItsFindingsUnderItsHeading)
{
    MapFiles first{
        "AB0101ZZ",
        {
            group(10110.0f, 10120.0f, 21.0f, 6, 10110.0f),  // initial subarea at its node
            group(10120.0f, 10130.0f, 41.0f), group(10130.0f, 10130.0f, 81.0f, 6, 10130.0f),  // added at 10130 ...
            group(10130.0f, 10130.0f, 81.0f, 6, 10130.0f),                                    // ... twice
            group(10130.0f, 10140.0f, 41.0f), group(10130.0f, 10140.0f, 41.0f),               // the same link again
            group(10140.0f, 10140.0f, 81.0f, 6, 10140.0f),  // not in the subarea data base
            group(10140.0f, 10140.0f, 81.0f, 6, 10150.0f),  // added away from node 10150
            group(10140.0f, 10180.0f, 41.0f),               // not in the link data base
        }};
    first.subareas = std::vector<float>{10110.0f, 10130.0f, 10150.0f, 10199.0f};
    first.links = std::vector<std::pair<float, float>>{
        {10110.0f, 10120.0f}, {10120.0f, 10130.0f}, {10130.0f, 10140.0f}, {10160.0f, 10170.0f}};
    MapFiles second{"AB0102ZZ", {group(10180.0f, 10210.0f, 41.0f)}};

    const std::vector<std::string> report = run({first, second});

    const std::vector<std::string> expected{
        "     * Check Subarea Data Base (FATAL ERRORs!) *",
        "     * Subarea Used More Than ONCE in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "  10130.0  10130.0",
        "     * Subarea NOT Used in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "  10199.0",
        "     * Subarea does NOT EXIST in Data Base",
        "       (EXCEPTIONS are FATAL!)",
        "  10140.0",
        "     * CAUTION: Subareas that are NOT added to respective node number",
        "       (EXCEPTIONS may be FATAL!)",
        "       Subarea Number    Node Number",
        "         10150.0          10140.0",
        "\f",
        "     * Check Link Data Base *",
        "     * Link Used More Than ONCE in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "             LINK  ID",
        "         U/S NODE  D/S NODE",
        "         10130.0   10140.0",
        "         10130.0   10140.0",
        "     * Link NOT Used in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "             LINK  ID",
        "         U/S NODE  D/S NODE",
        "         10160.0   10170.0",
        "     * Link does NOT EXIST in Data Base",
        "       (EXCEPTIONS are FATAL!)",
        "             LINK  ID",
        "         U/S NODE  D/S NODE",
        "         10140.0   10180.0",
        "         10180.0   10210.0",
    };
    EXPECT_EQ(report, expected);
    EXPECT_EQ(subarea_total_, 3);  // one for each subarea item that map 0101 fed; the caution counts none
    EXPECT_EQ(link_total_, 4);     // three from map 0101, one from map 0102
}

// The seven items over a consistent study of two maps, each seeded with one
// fault of its own: the fault shows under its heading only.
struct SeededFault {
    const char* name;
    int map;  // the map whose model file the edit changes
    std::function<void(ModelFile&)> edit;
    const char* heading;
    std::vector<std::string> entries;
    int subarea_total;
    int link_total;
};

void PrintTo(const SeededFault& c, std::ostream* out)
{
    *out << c.name;
}

std::size_t index_of(ModelFile& file, float upstream, float downstream, int code)
{
    const ModelGroup* found = test::find_group(file, upstream, downstream, code);
    if (!found) throw std::logic_error("the study has no such group");
    return static_cast<std::size_t>(found - file.groups.data());
}

// The code-81 group that adds subarea 10104.
std::size_t addition_at_10104(ModelFile& file)
{
    for (std::size_t k = 0; k < file.groups.size(); ++k) {
        if (file.groups[k].process_code() == 81) return k;
    }
    throw std::logic_error("the study adds no subarea");
}

class SeededStudy : public ModelCrossCheck, public ::testing::WithParamInterface<SeededFault> {};

TEST_P(SeededStudy, ShowsTheFaultUnderItsHeadingOnly)
{
    const SeededFault& c = GetParam();
    test::StudyBuilder study = test::two_map_study();
    study.edit_model_files([&c](int map, int, ModelFile& file) {
        if (map == c.map) c.edit(file);
    });
    study.write(".");

    const std::vector<std::string> report = run(test::data_files_of(study));

    const std::vector<std::pair<std::string, int>> items{
        {"     * Subarea Used More Than ONCE in Link-Node Model", 1},
        {"     * Subarea NOT Used in Link-Node Model", 1},
        {"     * Subarea does NOT EXIST in Data Base", 1},
        {"     * CAUTION: Subareas that are NOT added to respective node number", 2},
        {"     * Link Used More Than ONCE in Link-Node Model", 3},
        {"     * Link NOT Used in Link-Node Model", 3},
        {"     * Link does NOT EXIST in Data Base", 3}};
    for (const auto& [heading, captions] : items) {
        const std::vector<std::string> entries = item(report, heading, captions);
        ASSERT_EQ(entries.size(), heading == c.heading ? c.entries.size() : 1u) << heading;
        if (heading == c.heading) {
            EXPECT_EQ(entries, c.entries);
        } else {
            EXPECT_TRUE(entries.front().ends_with(" None")) << heading << ": " << entries.front();
        }
    }
    EXPECT_EQ(subarea_total_, c.subarea_total);
    EXPECT_EQ(link_total_, c.link_total);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SeededStudy,
    ::testing::Values(
        SeededFault{"SubareaUsedTwice",
                    101,
                    [](ModelFile& f) {
                        const std::size_t k = addition_at_10104(f);
                        f.groups.insert(f.groups.begin() + static_cast<std::ptrdiff_t>(k) + 1, f.groups[k]);
                    },
                    "     * Subarea Used More Than ONCE in Link-Node Model",
                    {"  10104.0  10104.0"},
                    1,
                    0},
        SeededFault{
            "SubareaNotUsed",
            101,
            [](ModelFile& f) { f.groups.erase(f.groups.begin() + static_cast<std::ptrdiff_t>(addition_at_10104(f))); },
            "     * Subarea NOT Used in Link-Node Model",
            {"  10104.0"},
            1,
            0},
        SeededFault{"SubareaNotInDataBase",
                    101,
                    [](ModelFile& f) {
                        const std::size_t k = addition_at_10104(f);
                        ModelGroup added = f.groups[k];
                        added.values[static_cast<std::size_t>(f.layout_of(added).packed_subarea_position - 1)] =
                            pack_subarea(1, 10103.0f);
                        f.groups.insert(f.groups.begin() + static_cast<std::ptrdiff_t>(k) + 1, added);
                    },
                    "     * Subarea does NOT EXIST in Data Base",
                    {"  10103.0"},
                    1,
                    0},
        SeededFault{"SubareaAddedAwayFromItsNode",
                    101,
                    [](ModelFile& f) {
                        const std::size_t k = addition_at_10104(f);
                        const ModelGroup moved = f.groups[k];
                        f.groups.erase(f.groups.begin() + static_cast<std::ptrdiff_t>(k));
                        const std::size_t after = index_of(f, 10101.0f, 10103.0f, 22);  // type 6: code 22
                        f.groups.insert(f.groups.begin() + static_cast<std::ptrdiff_t>(after) + 1, moved);
                    },
                    "     * CAUTION: Subareas that are NOT added to respective node number",
                    {"         10104.0          10103.0"},
                    0,
                    0},
        SeededFault{"LinkUsedTwice",
                    101,
                    [](ModelFile& f) {
                        const std::size_t k = index_of(f, 10103.0f, 10104.0f, 41);
                        f.groups.insert(f.groups.begin() + static_cast<std::ptrdiff_t>(k) + 1, f.groups[k]);
                    },
                    "     * Link Used More Than ONCE in Link-Node Model",
                    {"         10103.0   10104.0", "         10103.0   10104.0"},
                    0,
                    1},
        SeededFault{"LinkNotUsed",
                    102,
                    [](ModelFile& f) {
                        f.groups.erase(f.groups.begin() +
                                       static_cast<std::ptrdiff_t>(index_of(f, 10201.0f, 10202.0f, 41)));
                    },
                    "     * Link NOT Used in Link-Node Model",
                    {"         10201.0   10202.0"},
                    0,
                    1},
        SeededFault{"LinkNotInDataBase",
                    102,
                    [](ModelFile& f) {
                        const std::size_t k = index_of(f, 10201.0f, 10202.0f, 41);
                        ModelGroup extra = f.groups[k];
                        extra.downstream_node = 10203.0f;
                        f.groups.insert(f.groups.begin() + static_cast<std::ptrdiff_t>(k) + 1, extra);
                    },
                    "     * Link does NOT EXIST in Data Base",
                    {"         10201.0   10203.0"},
                    0,
                    1}),
    [](const ::testing::TestParamInfo<SeededFault>& info) { return std::string(info.param.name); });

// The network of a consistent study as its model files describe it.
TEST_F(ModelCrossCheck, ConsistentStudyGivesNoFindingsAndItsNetworkNodes)
{
    const test::StudyBuilder study = test::two_map_study();
    study.write(".");

    const std::vector<std::string> report = run(test::data_files_of(study));

    int none_lines = 0;
    for (const std::string& line : report) none_lines += line.ends_with(" None") ? 1 : 0;
    EXPECT_EQ(none_lines, 7);
    EXPECT_EQ(subarea_total_, 0);
    EXPECT_EQ(link_total_, 0);
    EXPECT_EQ(node_sets_.headwater_nodes, (std::vector<float>{10101.0f, 10102.0f}));
    EXPECT_EQ(node_sets_.seam_nodes, (std::vector<float>{10104.0f, 10104.0f}));
    using Row = std::array<float, 6>;
    EXPECT_EQ(node_sets_.confluence_rows, (std::vector<Row>{Row{10103.0f, 10101.0f, 10102.0f, 0.0f, 0.0f, 0.0f}}));
}

TEST_F(ModelCrossCheck, CleanMapsWriteEveryHeadingWithNone)
{
    MapFiles map{"AB0101ZZ", {group(10110.0f, 10120.0f, 21.0f, 6, 10110.0f), group(10120.0f, 10130.0f, 41.0f)}};
    map.subareas = std::vector<float>{10110.0f};
    map.links = std::vector<std::pair<float, float>>{{10110.0f, 10120.0f}, {10120.0f, 10130.0f}};

    const std::vector<std::string> report = run({map});

    const std::vector<std::string> expected{
        "     * Check Subarea Data Base (FATAL ERRORs!) *",
        "     * Subarea Used More Than ONCE in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "       None",
        "     * Subarea NOT Used in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "       None",
        "     * Subarea does NOT EXIST in Data Base",
        "       (EXCEPTIONS are FATAL!)",
        "       None",
        "     * CAUTION: Subareas that are NOT added to respective node number",
        "       (EXCEPTIONS may be FATAL!)",
        "       Subarea Number    Node Number",
        "       None",
        "\f",
        "     * Check Link Data Base *",
        "     * Link Used More Than ONCE in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "             LINK  ID",
        "         U/S NODE  D/S NODE",
        "              None",
        "     * Link NOT Used in Link-Node Model",
        "       (EXCEPTIONS are FATAL!)",
        "             LINK  ID",
        "         U/S NODE  D/S NODE",
        "               None",
        "     * Link does NOT EXIST in Data Base",
        "       (EXCEPTIONS are FATAL!)",
        "             LINK  ID",
        "         U/S NODE  D/S NODE",
        "                None",
    };
    EXPECT_EQ(report, expected);
    EXPECT_EQ(subarea_total_, 0);
    EXPECT_EQ(link_total_, 0);
}

// A later comparison of reports finds the nine cross-check headings by their
// first six characters, "     *": no listed number may look like one, and
// each heading stands once, in order, whatever the lists hold.
TEST_F(ModelCrossCheck, OnlyTheNineHeadingsBeginLikeADelimiter)
{
    std::vector<ModelGroup> groups;
    std::vector<float> unused_subareas;
    for (int k = 0; k < 20; ++k) {
        const float node = 10100.0f + static_cast<float>(k);
        groups.push_back(group(node, node + 50.0f, 41.0f));
        groups.push_back(group(node + 50.0f, node + 50.0f, 81.0f, 6, 99999.0f - static_cast<float>(k)));
        unused_subareas.push_back(20000.0f + static_cast<float>(k));
    }
    MapFiles map{"AB0101ZZ", groups};
    map.subareas = unused_subareas;

    const std::vector<std::string> report = run({map});

    std::vector<std::string> delimiters;
    for (const std::string& line : report) {
        if (line.starts_with("     *")) delimiters.push_back(line);
    }
    EXPECT_EQ(delimiters, test::CROSS_CHECK_HEADINGS);
    // Twenty numbers of each subarea list, eight to a line.
    EXPECT_EQ(item(report, "     * Subarea NOT Used in Link-Node Model", 1).size(), 3u);
    EXPECT_EQ(item(report, "     * Subarea does NOT EXIST in Data Base", 1).size(), 3u);
    EXPECT_EQ(item(report, "     * Subarea NOT Used in Link-Node Model", 1).back(),
              "  20016.0  20017.0  20018.0  20019.0");
}

// Which groups enter a subarea and which a link: with no data bases, every
// subarea the model enters is listed as not in the data base, and every link
// between two different nodes likewise.
struct EntryCase {
    const char* name;
    int model_type;
    float code;
    std::optional<float> subarea;  // packed into the group's subarea part
    int subarea_code;
    bool subarea_entered;
    bool link_entered;
};

void PrintTo(const EntryCase& c, std::ostream* out)
{
    *out << c.name;
}

class GroupEntryRules : public ModelCrossCheck, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(GroupEntryRules, EnterTheGroupAsTheCodeSays)
{
    const EntryCase& c = GetParam();
    MapFiles map{"AB0101ZZ", {group(10110.0f, 10120.0f, c.code, c.model_type, c.subarea, c.subarea_code)}};
    map.model_type = c.model_type;
    map.subareas.reset();
    map.links.reset();

    const std::vector<std::string> report = run({map});

    const std::vector<std::string> subareas = item(report, "     * Subarea does NOT EXIST in Data Base", 1);
    const std::vector<std::string> links = item(report, "     * Link does NOT EXIST in Data Base", 3);
    EXPECT_EQ(subareas,
              c.subarea_entered ? std::vector<std::string>{"  10110.0"} : std::vector<std::string>{"       None"});
    EXPECT_EQ(links, c.link_entered ? std::vector<std::string>{"         10110.0   10120.0"}
                                    : std::vector<std::string>{"                None"});
    EXPECT_FALSE(file_exists("AB0101ZZ.ZSS")) << "a missing data base is read as empty, not created";
    EXPECT_FALSE(file_exists("AB0101ZZ.ZLL"));
}

INSTANTIATE_TEST_SUITE_P(Codes, GroupEntryRules,
                         ::testing::Values(EntryCase{"InitialSubarea", 6, 21.0f, 10110.0f, 1, true, true},
                                           EntryCase{"InitialSubareaCode22", 6, 22.0f, 10110.0f, 3, true, true},
                                           EntryCase{"ConduitWithStreet32", 6, 32.0f, 10110.0f, 1, true, true},
                                           EntryCase{"ConduitWithStreet33", 6, 33.0f, 10110.0f, 1, true, true},
                                           EntryCase{"ConduitWithStreet34", 6, 34.0f, 10110.0f, 1, true, true},
                                           EntryCase{"ConduitWithStreet43", 6, 43.0f, 10110.0f, 1, true, true},
                                           EntryCase{"ConduitCarryingNoSubarea", 6, 41.0f, std::nullopt, 1, false,
                                                     true},
                                           EntryCase{"OpenChannel51", 6, 51.0f, 10110.0f, 1, true, true},
                                           EntryCase{"OpenChannel57ReadAs51", 6, 57.0f, 10110.0f, 1, true, true},
                                           EntryCase{"OpenChannel52NeverASubarea", 6, 52.0f, 10110.0f, 1, false, true},
                                           EntryCase{"OpenChannel54NeverASubarea", 6, 54.0f, 10110.0f, 1, false, true},
                                           EntryCase{"StorageType7", 7, 61.0f, 10110.0f, 1, true, true},
                                           EntryCase{"StorageType6NoSubarea", 6, 61.0f, 10110.0f, 1, false, true},
                                           EntryCase{"StorageType9NoSubarea", 9, 63.0f, 10110.0f, 1, false, true},
                                           EntryCase{"Code9Type7", 7, 9.0f, 10110.0f, 1, true, true},
                                           EntryCase{"Code91Type9", 9, 91.0f, 10110.0f, 1, true, true},
                                           EntryCase{"Code9Type6NoSubarea", 6, 9.0f, 10110.0f, 1, false, true},
                                           EntryCase{"PackedCodeZeroIsNoSubarea", 6, 21.0f, 10110.0f, 0, false, true},
                                           EntryCase{"NumberBelow10000IsNoSubarea", 6, 21.0f, 9999.0f, 2, false, true},
                                           EntryCase{"ShortCodeIsALinkOnly", 6, 2.0f, 10110.0f, 1, false, true},
                                           EntryCase{"Confluence", 6, 1.0f, std::nullopt, 1, false, false},
                                           EntryCase{"Code7", 6, 7.0f, std::nullopt, 1, false, false},
                                           EntryCase{"Code14", 6, 14.0f, std::nullopt, 1, false, false},
                                           EntryCase{"Seam151", 6, 151.0f, std::nullopt, 1, false, false}),
                         [](const ::testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

// A subarea addition joins the last link entered, whatever groups stand
// between; its own node pair is never a link.
TEST_F(ModelCrossCheck, SubareaAdditionTakesTheNodesOfTheLastLink)
{
    MapFiles map{"AB0101ZZ",
                 {
                     group(10110.0f, 10120.0f, 41.0f), group(10120.0f, 10120.0f, 1.0f),
                     group(10170.0f, 10175.0f, 82.0f, 6, 10110.0f),  // at 10110 to 10120: upstream node, no caution
                     group(10170.0f, 10175.0f, 81.0f, 6, 10130.0f),  // away from both: caution at node 10120
                 }};
    map.subareas = std::vector<float>{10110.0f, 10130.0f};
    map.links = std::vector<std::pair<float, float>>{{10110.0f, 10120.0f}};

    const std::vector<std::string> report = run({map});

    EXPECT_EQ(item(report, "     * CAUTION: Subareas that are NOT added to respective node number", 2),
              std::vector<std::string>{"         10130.0          10120.0"});
    EXPECT_EQ(item(report, "     * Link does NOT EXIST in Data Base", 3),
              std::vector<std::string>{"                None"});
    EXPECT_EQ(subarea_total_, 0);
    EXPECT_EQ(link_total_, 0);
}

TEST_F(ModelCrossCheck, CollectsHeadwaterSeamAndConfluenceNodesOverAllMaps)
{
    node_sets_.headwater_nodes.push_back(55555.0f);  // left from an earlier run: cleared
    MapFiles first{"AB0101ZZ",
                   {
                       group(10110.0f, 10150.0f, 21.0f, 6, 10110.0f),
                       group(10120.0f, 10150.0f, 22.0f, 6, 10120.0f),
                       group(10150.0f, 10150.0f, 1.0f),  // pair (10120, 10150)
                       group(10110.0f, 10150.0f, 41.0f),
                       group(10150.0f, 10150.0f, 1.0f),   // pair (10110, 10150)
                       group(10170.0f, 10180.0f, 1.0f),   // right after a confluence group: no pair, though a reach
                       group(10180.0f, 10180.0f, 10.0f),  // right after a confluence group: no pair
                       group(10120.0f, 10150.0f, 41.0f),
                       group(10150.0f, 10150.0f, 10.0f),  // pair (10120, 10150) again
                       group(10150.0f, 10160.0f, 41.0f),
                       group(10160.0f, 10160.0f, 11.0f),  // pair (10150, 10160)
                       group(10160.0f, 10160.0f, 151.0f),
                   }};
    // The last reach runs on into the next map's file.
    MapFiles second{"AB0102ZZ",
                    {
                        group(10160.0f, 10160.0f, 152.0f),
                        group(10160.0f, 10160.0f, 1.0f),  // pair (10150, 10160), the reach of map 0101
                        group(10210.0f, 10220.0f, 21.0f, 6, 10210.0f),
                    }};

    run({first, second});

    EXPECT_EQ(node_sets_.headwater_nodes, (std::vector<float>{10110.0f, 10120.0f, 10210.0f}));
    EXPECT_EQ(node_sets_.seam_nodes, (std::vector<float>{10160.0f, 10160.0f}));
    using Row = std::array<float, 6>;
    EXPECT_EQ(node_sets_.confluence_rows, (std::vector<Row>{Row{10150.0f, 10120.0f, 10110.0f, 10120.0f, 0.0f, 0.0f},
                                                            Row{10160.0f, 10150.0f, 0.0f, 0.0f, 0.0f, 0.0f},
                                                            Row{10160.0f, 10150.0f, 0.0f, 0.0f, 0.0f, 0.0f}}));
}

// Pairs (A, C), (A, C), (B, C): one row C, A, B; a node equal to the one just
// before it in the row is left out, and a sixth tributary has no slot.
TEST_F(ModelCrossCheck, ConfluenceRowsDropRepeatsAndKeepFiveTributaries)
{
    std::vector<ModelGroup> groups;
    auto enter = [&groups](float upstream, float downstream) {
        groups.push_back(group(upstream, downstream, 41.0f));
        groups.push_back(group(downstream, downstream, 1.0f));
    };
    enter(10110.0f, 10190.0f);
    enter(10110.0f, 10190.0f);
    enter(10120.0f, 10190.0f);
    for (float upstream : {10210.0f, 10220.0f, 10230.0f, 10240.0f, 10250.0f, 10260.0f}) enter(upstream, 10290.0f);

    run({MapFiles{"AB0101ZZ", groups}});

    using Row = std::array<float, 6>;
    EXPECT_EQ(node_sets_.confluence_rows,
              (std::vector<Row>{Row{10190.0f, 10110.0f, 10120.0f, 0.0f, 0.0f, 0.0f},
                                Row{10290.0f, 10210.0f, 10220.0f, 10230.0f, 10240.0f, 10250.0f}}));
}

TEST_F(ModelCrossCheck, ShowsEachModelFileItProcesses)
{
    run({MapFiles{"AB0101ZZ", {group(10110.0f, 10120.0f, 41.0f)}},
         MapFiles{"AB0102ZZ", {group(10210.0f, 10220.0f, 41.0f)}}});

    EXPECT_EQ(window_.text_at(2, 5, 47), "* CHECK DATA BASE VS. LINK-NODE MODEL NETWORK *");
    EXPECT_EQ(window_.text_at(1, 6, 38), "        * PROCESSING FILE AB0101ZZ.Z11");
    EXPECT_EQ(window_.text_at(1, 7, 38), "        * PROCESSING FILE AB0102ZZ.Z11");
}

TEST_F(ModelCrossCheck, RefusesAMissingModelFileByName)
{
    expect_map_refused("a missing model file must be refused");
    EXPECT_FALSE(file_exists("AB0101ZZ.Z11"));
}

// A header whose length does not fit its model type: the walker's message
// names the file.
TEST_F(ModelCrossCheck, RefusesAModelFileThatDoesNotWalkByName)
{
    ModelFile file{model_header(6), {group(10110.0f, 10120.0f, 41.0f)}};
    std::vector<RecordBytes> records = model_file_records(file, "AB0101ZZ.Z11");
    records.erase(records.begin() + 20);  // one header value short
    replace_file_atomically("AB0101ZZ.Z11", encode_records(records));
    expect_map_refused("a model file that does not walk must be refused");
}

}  // namespace
}  // namespace velm
