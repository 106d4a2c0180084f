#include "gis/gis_checks_pass.h"

#include <gtest/gtest.h>

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
using Lines = std::vector<std::string>;

class GisChecksPassTest : public test::SessionTest {
protected:
    GisCheckTotals run(int model_type, GisExportPresence present = {true, true, true})
    {
        return postprocess_gis_data_bases(session_, present, "AB", model_type);
    }
    bool window_shows(const std::string& text) const { return window_.transcript().find(text) != std::string::npos; }
    template <class R>
    static std::vector<float> stamps(const std::vector<R>& records)
    {
        std::vector<float> values;
        for (const R& record : records) values.push_back(record.processed_stamp());
        return values;
    }
};

TEST_F(GisChecksPassTest, CleanStudyIsStampedAndReported)
{
    const test::StudyBuilder study = test::gis_study(3);
    study.write(directory_.path());
    const GisCheckTotals totals = run(3);
    EXPECT_EQ(totals.sum(), 0);
    for (const std::string& stem : study.gis_file_stems()) {
        SCOPED_TRACE(stem);
        for (float stamp : stamps(read_gis_node_file(stem + ".ZZN", FilePresence::MustExist))) EXPECT_EQ(stamp, 1.0f);
        for (float stamp : stamps(read_gis_link_file(stem + ".ZZL", FilePresence::MustExist))) EXPECT_EQ(stamp, 1.0f);
        for (float stamp : stamps(read_gis_subarea_file(stem + ".ZZS", FilePresence::Optional))) EXPECT_EQ(stamp, 1.0f);
    }
    for (const char* report : {"link.dia", "node.dia", "subarea.dia"}) EXPECT_TRUE(fs::exists(report)) << report;
    const Lines table = read_text_lines("SETC.ZZZ");
    ASSERT_EQ(table.size(), 3u) << "the heading; the study has no confluence";
    EXPECT_EQ(table[0], "          * C O N F L U E N C E    L I N K A G E S *");
    EXPECT_TRUE(window_shows("     * GIS DATA BASE POSTPROCESSOR EXECUTED :"));
    EXPECT_TRUE(window_shows("     **** LINK VALIDITY CHECKS ***"));
    EXPECT_TRUE(window_shows("     **** SUBAREA VALIDITY CHECKS ***"));
    EXPECT_FALSE(window_shows("Fatal Error(s) Detected:"));
}

TEST_F(GisChecksPassTest, OnlyThePresentExportsAreChecked)
{
    const test::StudyBuilder study = test::gis_study(3);
    study.write(directory_.path());
    fs::remove("ABNODEZZ.ASC");
    fs::remove("ABLINKZZ.ASC");
    EXPECT_EQ(run(3, {true, false, false}).sum(), 0);
    for (const char* name : {"SETC.ZZZ", "SETE.ZZZ", "SETF.ZZZ", "link.dia", "node.dia"})
        EXPECT_FALSE(fs::exists(name)) << name;
    EXPECT_TRUE(fs::exists("subarea.dia"));
    EXPECT_FALSE(window_shows("LINK VALIDITY"));
    EXPECT_TRUE(window_shows("       ** NO Fatal Errors Detected"));
    // The sort's map list comes from every export: node files of maps
    // without subareas are not checked here, but a fresh node file of the
    // builder stays with stamp 0.
    EXPECT_EQ(stamps(read_gis_node_file("AB1235ZZ.ZZN", FilePresence::MustExist)).front(), 0.0f);
}

TEST_F(GisChecksPassTest, AFatalLinkFindingStopsAfterTheSummary)
{
    test::StudyBuilder study = test::gis_study(3);
    study.link(123501.0f, 123502.0f).link_length() = 0.0f;
    study.write(directory_.path());
    window_.type("");
    try {
        run(3);
        FAIL() << "the pass returned";
    } catch (const ProgramStop& stop) {
        EXPECT_TRUE(stop.refused) << "fatal findings end the program as refused";
    }
    EXPECT_TRUE(window_shows("       ** Fatal Error(s) detected: See Below."));
    EXPECT_TRUE(
        window_shows("     *** Fatal Error(s) Detected:\n"
                     "         See filename \"LINK.DIA\" for diagnostics of YOUR LINK DATA BASE\n"))
        << window_.transcript();
    EXPECT_FALSE(window_shows("\"NODE.DIA\""));
    EXPECT_EQ(window_.reads().size(), 1u) << "one wait for RETURN";
    EXPECT_EQ(stamps(read_gis_link_file("AB1235ZZ.ZZL", FilePresence::MustExist)).front(), 0.0f);
    EXPECT_EQ(stamps(read_gis_link_file("AB1234ZZ.ZZL", FilePresence::MustExist)).front(), 1.0f);
}

TEST_F(GisChecksPassTest, ConfluencesOfMoreThanFiveStreamsCloseTheTable)
{
    test::StudyBuilder study("AB", 3, 1);
    std::vector<float> outlets{10101.0f, 20202.5f};
    for (float outlet : outlets) {
        study.add_node(outlet, 50.0f);
        for (int k = 1; k <= 6; ++k) {
            const float upstream = outlet + static_cast<float>(10 * k);
            study.add_node(upstream, 60.0f);
            study.add_link(upstream, outlet, 100.0f, test::Element::pipe(1.0f));
        }
    }
    study.add_gis_exports();
    study.write(directory_.path());
    window_.type("");
    EXPECT_THROW(run(3), ProgramStop);
    const Lines table = read_text_lines("SETC.ZZZ");
    ASSERT_GE(table.size(), 4u);
    EXPECT_EQ(Lines(table.end() - 4, table.end()),
              (Lines{" " + std::string(70, '-'), " * Fatal Error: the following nodal points have more",
                     "   than 5 tributary links connected to it:", "   10101.0   20202.5"}));
}

}  // namespace
}  // namespace velm
