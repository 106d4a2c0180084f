// The string finder as a step of the run: the node-set files it reads, the
// string files and the index it writes, and the files it must have.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/text_file.h"
#include "strings/run_strings.h"
#include "strings/string_finder.h"
#include "support/run_step_test.h"
#include "support/session_test.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

class StringFinderRunTest : public test::RunStepTest {
protected:
    StringFinderRunTest()
    {
        run_.data_files.data_file_names = {"CD0001ZZ"};
        session_.run_outputs = &run_.outputs;
    }

    // A link data base line with the columns the finder reads.
    static std::string link_line(float up, float down, float length, float flow, float up_ground, float down_ground)
    {
        LinkRecord record;
        record.upstream_node() = up;
        record.downstream_node() = down;
        record.upstream_elevation() = up_ground;
        record.downstream_elevation() = down_ground;
        record.link_length() = length;
        record.downstream_peak_flow(1) = flow;
        return link_record_line(record) + "\r\n";
    }

    // Headwaters 1 and 2 meet at 3, which drains to 4; headwater 9 starts no link.
    void write_network()
    {
        TemporaryDirectory::put("ABSETHZZ.ZZZ", " 3\r\n 1.0 2.0 9.0\r\n");
        TemporaryDirectory::put(
            "ABSETCZZ.ZZZ",
            "heading\r\nheading\r\nheading\r\n     3.0       1.0       2.0       0.0       0.0       0.0\r\n");
        TemporaryDirectory::put("CD0001ZZ.ZLL", link_line(1.0f, 3.0f, 120.5f, 4.0f, 110.0f, 105.0f) +
                                                    link_line(2.0f, 3.0f, 80.0f, 6.0f, 108.0f, 105.0f) +
                                                    link_line(3.0f, 4.0f, 200.0f, 10.0f, 105.0f, 101.25f));
    }
};

TEST_F(StringFinderRunTest, WritesStringFilesAndIndexUnderTheMapsStudyId)
{
    write_network();
    // Leftovers of an earlier run: a long string 3 and an index header mark.
    TemporaryDirectory::put("CD0003ZZ.ZST", " stale line\r\n");
    TemporaryDirectory::put("CDINDXZZ.ZST",
                            "      1.0     2.0     3.0     4.0     5.0     6.0     7.0     8.0     9.0    10.0\r\n"
                            " 0001     7.0     8.0     1.0     1.0     1.0     0.0     0.0\r\n");
    run_string_finder(run_);
    // The strings stay with the run; their files are written once, at its end.
    EXPECT_FALSE(run_.outputs.has_new_version("CD0002ZZ.ZST"));
    write_run_string_files(run_);
    run_.outputs.commit();  // the run's files are put in place at its end
    EXPECT_EQ(run_.string_count, 3);
    EXPECT_EQ(run_.study_id, "CD");
    EXPECT_EQ(TemporaryDirectory::get("CD0001ZZ.ZST"), "      1.0      3.0   120.50     4.00   110.00   105.00\r\n");
    EXPECT_EQ(TemporaryDirectory::get("CD0002ZZ.ZST"),
              "      2.0      3.0    80.00     6.00   108.00   105.00\r\n"
              "      3.0      4.0   200.00    10.00   105.00   101.25\r\n");
    EXPECT_TRUE(file_exists("CD0003ZZ.ZST"));
    EXPECT_EQ(TemporaryDirectory::get("CD0003ZZ.ZST"), "");
    EXPECT_EQ(TemporaryDirectory::get("CDINDXZZ.ZST"),
              "      1.0      2.0      3.0      4.0      5.0      6.0      7.0      8.0      9.0      0.0\r\n"
              " 0001      1.0      3.0      0.0      0.0      0.0      0.0      0.0\r\n"
              " 0002      2.0      4.0      0.0      0.0      0.0      0.0      0.0\r\n"
              " 0003      0.0      0.0      0.0      0.0      0.0      0.0      0.0\r\n");
    EXPECT_NE(window_.transcript().find("Extending String File Number [0002]"), std::string::npos);
}

// The later steps take each string from the run as its file will hold it
// (the values rounded to the file's fields), before any file is written.
TEST_F(StringFinderRunTest, LaterStepsSeeTheStringsAsTheirFilesHoldThem)
{
    write_network();
    run_string_finder(run_);
    const std::optional<std::vector<StringRecord>> second = run_string_records(run_, 2);
    ASSERT_TRUE(second.has_value());
    ASSERT_EQ(second->size(), 2u);
    write_run_string_files(run_);
    EXPECT_EQ(read_string_file(run_.outputs.current_file("CD0002ZZ.ZST")).at(1).downstream_elevation,
              second->at(1).downstream_elevation);
    EXPECT_EQ(second->at(1).downstream_elevation, 101.25f);
    const std::optional<StringIndexFile> index = run_string_index(run_);
    ASSERT_TRUE(index.has_value());
    EXPECT_EQ(index->records.size(), 3u);
    EXPECT_FALSE(run_string_records(run_, 4).has_value());
}

TEST_F(StringFinderRunTest, NewIndexStartsWithTenZeros)
{
    write_network();
    run_string_finder(run_);
    write_run_string_files(run_);
    run_.outputs.commit();  // the run's files are put in place at its end
    EXPECT_EQ(read_text_lines("CDINDXZZ.ZST").at(0),
              "      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0");
}

TEST_F(StringFinderRunTest, MissingNodeSetFilesEndTheRunNamingThem)
{
    write_network();
    delete_file("ABSETCZZ.ZZZ");
    try {
        run_string_finder(run_);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ABSETCZZ.ZZZ"), std::string::npos) << error.what();
    }
    delete_file("ABSETHZZ.ZZZ");
    EXPECT_THROW(run_string_finder(run_), FileError);
    EXPECT_FALSE(file_exists("CDINDXZZ.ZST"));
}

TEST_F(StringFinderRunTest, CurveNumberStudyWithoutHeadwaterSetHasNoStrings)
{
    settings_.model_type_code = 10;
    run_.string_count = 7;
    run_string_finder(run_);
    write_run_string_files(run_);
    run_.outputs.commit();
    EXPECT_EQ(run_.string_count, 0);
    EXPECT_NE(window_.transcript().find("No headwater node set [ABSETHZZ.ZZZ]: no strings are formed"),
              std::string::npos);
    EXPECT_EQ(TemporaryDirectory::get("CDINDXZZ.ZST"),
              "      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0\r\n");
}

TEST_F(StringFinderRunTest, HeadwaterSetShorterThanItsCountIsAnError)
{
    write_network();
    TemporaryDirectory::put("ABSETHZZ.ZZZ", " 4\r\n 1.0 2.0 9.0\r\n");
    EXPECT_THROW(run_string_finder(run_), FileError);
}

}  // namespace
}  // namespace velm
