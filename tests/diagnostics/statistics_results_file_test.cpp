// The model results file: groups read whole record by record, compared with
// files that gfortran writes and reads as sequential unformatted files.
#include <gtest/gtest.h>

#include <limits>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/files.h"
#include "platform/record_file.h"
#include "records/model_results_file.h"
#include "statistics_test_support.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

std::string helper(const std::string& arguments)
{
    return std::string(VELM_FORTRAN_HELPER_DIR) + "/results_file " + arguments;
}

struct WrittenGroup {
    ModelResultsGroup taken;
    int triples;        // N of record 2
    int table_records;  // M of record 6
    int extra_values;   // values beyond the listed ones in records 2, 4 and 5
};

TEST(ModelResultsFile, ReadsEveryGroupGfortranWrites)
{
    test::TemporaryDirectory directory;
    const std::vector<WrittenGroup> groups{
        {{10101.0f, 10102.0f, 21, 12.5f, 3.25f, 3.25f, 0.0f}, 0, 0, 0},
        {{10102.0f, 10103.0f, 41, 14.75f, 0.0f, 3.25f, 2.25f}, 6, 3, 0},
        {{10103.0f, 10104.0f, 152, 20.0f, 1.5f, 7.125f, 5.5f}, 0, 90, 4},
        // More triples and table records than the hydrology program writes
        // (at most 6 and 90): every record is still consumed whole.
        {{10104.0f, 10105.0f, 81, 21.0f, 2.0f, 9.5f, 1.0f}, 9, 95, 1},
    };
    std::ostringstream input;
    input << groups.size() << "\n";
    for (const WrittenGroup& g : groups)
        input << g.taken.upstream_node << " " << g.taken.downstream_node << " " << g.taken.process_code << " "
              << g.triples << " " << g.table_records << " " << g.extra_values << " "
              << g.taken.downstream_time_of_concentration << " " << g.taken.subarea_added_area << " "
              << g.taken.total_tributary_area << " " << g.taken.travel_time << "\n";
    std::ofstream("groups.txt") << input.str();
    const std::string command = helper("write AB0101ZZ.ZZZ < groups.txt");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const std::vector<ModelResultsGroup> read = read_model_results_file(model_results_file_name("AB0101ZZ"));
    ASSERT_EQ(read.size(), groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) EXPECT_EQ(read[i], groups[i].taken) << "group " << i + 1;
}

TEST(ModelResultsFile, WrittenFilesReadInGfortran)
{
    test::TemporaryDirectory directory;
    const std::vector<ModelResultsGroup> groups{
        {10101.0f, 10102.0f, 31, 12.34f, 0.5f, 10.25f, 3.75f},
        {10102.0f, 10199.9f, 82, 40.0f, 100.0f, 2500.5f, 0.0f},
    };
    write_model_results_file("AB0101ZZ.ZZZ", groups);
    const std::string command = helper("read AB0101ZZ.ZZZ > read.txt");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::ifstream lines("read.txt");
    for (const ModelResultsGroup& group : groups) {
        std::int64_t up, down, tc, sub, total, travel;
        int code;
        ASSERT_TRUE(lines >> up >> down >> tc >> sub >> total >> travel >> code);
        auto bits = [](float value) { return static_cast<std::int64_t>(std::bit_cast<std::int32_t>(value)); };
        EXPECT_EQ(up, bits(group.upstream_node));
        EXPECT_EQ(down, bits(group.downstream_node));
        EXPECT_EQ(tc, bits(group.downstream_time_of_concentration));
        EXPECT_EQ(sub, bits(group.subarea_added_area));
        EXPECT_EQ(total, bits(group.total_tributary_area));
        EXPECT_EQ(travel, bits(group.travel_time));
        EXPECT_EQ(code, group.process_code);
    }
    int extra;
    EXPECT_FALSE(lines >> extra);
}

TEST(ModelResultsFile, BrokenFilesNameTheFileAndRecord)
{
    test::TemporaryDirectory directory;
    struct Case {
        std::string what;
        std::vector<RecordBytes> records;
        std::string message_part;
    };
    const RecordBytes one = floats_payload({1.0f});
    const RecordBytes element(40 * 4);
    const RecordBytes short_element(39 * 4);
    std::vector<Case> cases{
        {"a group that ends after its first record", {one}, "record 2"},
        {"a short element record", {one, short_element}, "record 2"},
        {"a group without its table records",
         {one, element, {}, RecordBytes(26 * 4), RecordBytes(20 * 4), RecordBytes(4)},
         "record 7"},
    };
    // A whole group with one value spoiled: `record` 2 is the element
    // record, 4 the hydrology record.
    auto group_with = [&](int record, int position, float value) {
        std::vector<float> element_values(RESULTS_ELEMENT_VALUES, 0.0f);
        std::vector<float> hydrology_values(RESULTS_HYDROLOGY_VALUES, 0.0f);
        (record == 2 ? element_values : hydrology_values)[static_cast<std::size_t>(position - 1)] = value;
        std::vector<RecordBytes> group{
            one,           floats_payload(element_values), {}, floats_payload(hydrology_values), RecordBytes(20 * 4),
            RecordBytes(4)};
        for (int row = 0; row < RESULTS_FIXED_TABLE_ROWS; ++row) group.push_back(RecordBytes(5 * 4));
        return group;
    };
    cases.push_back({"a NaN upstream node", group_with(2, 1, std::numeric_limits<float>::quiet_NaN()),
                     "record 2: value 1 of the element record is NaN, not a number"});
    // Every value the statistics take, in the second group of the file
    // (records 62 to 122; its element record is 63, its hydrology record 65).
    const float infinity = std::numeric_limits<float>::infinity();
    const struct {
        int record;
        int position;
        const char* kind;
    } taken[] = {{2, 1, "element"},   {2, 2, "element"},   {4, 3, "hydrology"},
                 {4, 4, "hydrology"}, {4, 6, "hydrology"}, {4, 17, "hydrology"}};
    for (const auto& t : taken) {
        for (const auto& [bad, shown] : {std::pair{std::numeric_limits<float>::quiet_NaN(), "NaN"},
                                         std::pair{infinity, "Infinity"}, std::pair{-infinity, "-Infinity"}}) {
            std::vector<RecordBytes> records = group_with(2, 1, 1.0f);
            const std::vector<RecordBytes> spoiled = group_with(t.record, t.position, bad);
            records.insert(records.end(), spoiled.begin(), spoiled.end());
            cases.push_back({std::string(shown) + " at value " + std::to_string(t.position) + " of the " + t.kind +
                                 " record of group 2",
                             records,
                             "record " + std::to_string(61 + t.record) + ": value " + std::to_string(t.position) +
                                 " of the " + t.kind + " record is " + shown + ", not a number"});
        }
    }
    for (const Case& c : cases) {
        replace_file_atomically("AB0101ZZ.ZZZ", encode_records(c.records));
        try {
            read_model_results_file("AB0101ZZ.ZZZ");
            ADD_FAILURE() << c.what << " was read";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("AB0101ZZ.ZZZ"), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find(c.message_part), std::string::npos) << c.what << ": " << message;
        }
    }
    EXPECT_THROW(read_model_results_file("AB0202ZZ.ZZZ"), FileError);
    // An empty file has no groups.
    replace_file_atomically("AB0303ZZ.ZZZ", "");
    EXPECT_TRUE(read_model_results_file("AB0303ZZ.ZZZ").empty());
}

}  // namespace
}  // namespace velm
