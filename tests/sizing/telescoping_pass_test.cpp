// The telescoping pass as the last step of the run, on a small study whose
// link data bases, string file and index are written by hand: the long
// string files, the telescoped elements in the link data bases, the report
// sections appended in their order, and the string index mark.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/string_files.h"
#include "sizing/telescoping_pass.h"
#include "sizing/telescoping_records.h"
#include "support/run_step_test.h"
#include "support/session_test.h"

namespace velm::test {
namespace {

class TelescopingPassTest : public RunStepTest {
protected:
    const std::string index_text_ =
        "      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      5.0\r\n"
        " 0001  10101.0  10201.0      0.0      0.0      0.0      0.0      0.0\r\n";

    // A headwater link and a deficient 18-in pipe in map 101; below them, in
    // map 102, a street without a primary element; map 103 has no link data
    // base.  One string runs over the three links.
    // The pass, then the commit that puts the run's files in place.
    void run_pass()
    {
        run_telescoping_analysis(run_);
        commit_run();
    }

    TelescopingPassTest()
    {
        settings_.model_type_code = 7;
        run_.data_files.data_file_names = {"AB0101ZZ", "AB0102ZZ", "AB0103ZZ"};
        write_link_data_base("AB0101ZZ.ZLL",
                             {link_with(10101.0f, 10102.0f, {{7, 21.0f}, {37, 4.0f}}), link_with(10102.0f, 10103.0f,
                                                                                                 {{7, 41.0f},
                                                                                                  {22, 1.0f},
                                                                                                  {23, 1.5f},
                                                                                                  {24, 1.0f},
                                                                                                  {26, 0.013f},
                                                                                                  {37, 15.0f},
                                                                                                  {64, 0.01f},
                                                                                                  {90, 5.0f},
                                                                                                  {92, 3.0f},
                                                                                                  {93, 1.0f},
                                                                                                  {100, 1.0f}})});
        write_link_data_base("AB0102ZZ.ZLL", {link_with(10103.0f, 10201.0f,
                                                        {{7, 61.0f},
                                                         {10, 0.5f},
                                                         {37, 15.0f},
                                                         {49, 15.0f},
                                                         {64, 0.01f},
                                                         {112, 0.0f},
                                                         {123, 2.0f},
                                                         {113, 4.0f}})});
        write_string_file("AB0001ZZ.ZST", {{10101.0f, 10102.0f, 500.0f, 4.0f, 150.0f, 140.0f},
                                           {10102.0f, 10103.0f, 600.0f, 15.0f, 140.0f, 130.0f},
                                           {10103.0f, 10201.0f, 400.0f, 15.0f, 130.0f, 120.0f}});
        TemporaryDirectory::put("ABINDXZZ.ZST", index_text_);
        TemporaryDirectory::put("ABTRVLZZ.DIA", "EARLIER SECTIONS\r\n");
    }
};

TEST_F(TelescopingPassTest, StringFilesAndLinkDataBasesReceiveTheTelescopedElements)
{
    run_pass();

    const std::vector<TelescopedStringRecord> string = read_telescoped_string_file("AB0001ZZ.ZST");
    ASSERT_EQ(string.size(), 3u);
    for (const std::string& line : read_text_lines("AB0001ZZ.ZST")) EXPECT_EQ(line.size(), 1764u);
    EXPECT_EQ(string[0].telescoped_shape, 0.0f);
    EXPECT_EQ(string[1].telescoped_shape, 1.0f);
    EXPECT_EQ(string[1].telescoped_size, 3.0f);
    // The street below carries the user's element in the string file, even
    // one without a height.
    EXPECT_EQ(string[2].telescoped_shape, 2.0f);
    EXPECT_EQ(string[2].telescoped_size, 0.0f);
    EXPECT_EQ(string[2].telescoped_width, 4.0f);
    for (const TelescopedStringRecord& record : string) EXPECT_EQ(record.carried_flow, 0.0f);

    const std::vector<LinkRecord> first_map = read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist);
    EXPECT_EQ(first_map[0].column(107), 0.0f);  // the headwater link is copied as it was
    EXPECT_EQ(first_map[1].column(102), 3.0f);
    EXPECT_EQ(first_map[1].column(110), 1.0f);
    EXPECT_EQ(first_map[1].column(107), 15.0f);
    const std::vector<LinkRecord> second_map = read_link_data_base("AB0102ZZ.ZLL", FilePresence::MustExist);
    // The street below the new 36-in pipe: 15 cfs alone would need 24 in,
    // the area upstream keeps 36 in.
    EXPECT_EQ(second_map[0].column(102), 3.0f);
    EXPECT_EQ(second_map[0].column(105), 0.013f);
    EXPECT_EQ(second_map[0].column(107), 15.0f);
    // Its user element without a height is gone.
    EXPECT_EQ(second_map[0].user_element_type(), 0);
    EXPECT_EQ(second_map[0].user_element_base_width(), 0.0f);

    // The index stays as it was under string-basis telescoping; no scratch
    // file is left.
    EXPECT_EQ(TemporaryDirectory::get("ABINDXZZ.ZST"), index_text_);
    for (const std::string& name : TemporaryDirectory::entries())
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    // A map without its link data base is not given an empty one.
    EXPECT_FALSE(file_exists("AB0103ZZ.ZLL"));
    EXPECT_NE(window_.transcript().find(" PROCESSING STRING NUMBER [0001]"), std::string::npos);
}

TEST_F(TelescopingPassTest, ReportSectionsFollowTheEarlierOnesInTheirOrder)
{
    run_pass();
    const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIA");
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report[0], "EARLIER SECTIONS");
    EXPECT_EQ(report[1], "\f");
    EXPECT_EQ(report[2], "     The following Links appear to have a gap between Existing");
    EXPECT_EQ(report[7], "            10103.0     10201.0");
    EXPECT_EQ(report[8], "\f");
    EXPECT_EQ(report[9], "     IV. USER-RECOMMENDED EXISTING SYSTEM FLOW CAPACITY SPECIFICATIONs REPORT:");

    const auto large_pipes =
        std::find(report.begin(), report.end(), "     The following LINKS have EXISTING SYSTEM or PROPOSED");
    ASSERT_NE(large_pipes, report.end());
    // A pipe link without an 84-in pipe: the heading alone.
    EXPECT_EQ(*(large_pipes + 4), "");
    EXPECT_EQ(*(large_pipes + 5), "     Existing system LINKS that are UPGRADED due to telescoping");
    EXPECT_EQ(*(large_pipes + 10), "        10103.0    10201.0      0.00    0.00    0.0      3.00    0.00    0.0");
    EXPECT_EQ(large_pipes + 11, report.end());
}

TEST_F(TelescopingPassTest, IndependentSizingMarksTheStringIndex)
{
    controls_.capacity_telescoping = CapacityTelescoping::IndependentSizing;
    run_pass();
    const std::vector<std::string> index = read_text_lines("ABINDXZZ.ZST");
    ASSERT_EQ(index.size(), 2u);
    EXPECT_EQ(index[0], "      1.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      5.0");
    EXPECT_EQ(index[1], " 0001  10101.0  10201.0      0.0      0.0      0.0      0.0      0.0");
}

TEST_F(TelescopingPassTest, CurveNumberStudyGetsNoGapReport)
{
    settings_.model_type_code = 10;
    run_pass();
    const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIA");
    ASSERT_GE(report.size(), 3u);
    EXPECT_EQ(report[2], "     IV. USER-RECOMMENDED EXISTING SYSTEM FLOW CAPACITY SPECIFICATIONs REPORT:");
}

}  // namespace
}  // namespace velm::test

namespace velm::test {
namespace {

TEST_F(TelescopingPassTest, StopLeavesEveryFileAsItWas)
{
    // A second string whose file cannot be read stops the pass after the
    // first string file was rewritten: nothing reaches the files.
    TemporaryDirectory::put("ABINDXZZ.ZST",
                            index_text_ + " 0002  10201.0  10202.0      0.0      0.0      0.0      0.0      0.0\r\n");
    TemporaryDirectory::put("AB0002ZZ.ZST", "  10201.0  10202.0   abc\r\n");
    std::map<std::string, std::string> before;
    for (const std::string& name : TemporaryDirectory::entries()) before[name] = TemporaryDirectory::get(name);

    {
        RunContext run{session_, "AB", controls_, hgl_controls_, settings_};
        run.data_files = run_.data_files;
        EXPECT_THROW(run_telescoping_analysis(run), FileError);
    }
    std::map<std::string, std::string> after;
    for (const std::string& name : TemporaryDirectory::entries()) after[name] = TemporaryDirectory::get(name);
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace velm::test
