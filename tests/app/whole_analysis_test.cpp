// The whole analysis run: the bundled sample study from the menu and
// launched, and a study of each model type the study builder writes, end
// with a complete report, every string file in its long form and the link
// data bases holding the telescoped elements.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/string_files.h"
#include "support/program_run.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"
#include "support/study_builder.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

Lines execute_from_menu(const std::string& study)
{
    return {"", "1", "", "", "2", study, ""};
}

class WholeAnalysisTest : public test::SessionTest {
protected:
    // The report is whole: its delimiter lines, then the sections of the
    // telescoping pass in their order, the upgraded-link list last.
    static void expect_complete_report(const std::string& study, bool with_gap_report)
    {
        const Lines report = read_text_lines(study + "TRVLZZ.DIA");
        EXPECT_EQ(test::report_delimiters(report).size(), 30u);
        const std::vector<std::string> in_order{
            "     The following Links appear to have a gap between Existing",
            "USER-RECOMMENDED EXISTING SYSTEM FLOW CAPACITY SPECIFICATIONs REPORT:",
            "USER-RECOMMENDED LINK DEFICIENCY MITIGATION SIZE SPECIFICATIONs REPORT:",
            "USER-RECOMMENDED LINK FRICTION SLOPE SPECIFICATIONs REPORT:",
            "     The following LINKS have EXISTING SYSTEM or PROPOSED",
            "     Existing system LINKS that are UPGRADED due to telescoping",
        };
        auto at = report.begin();
        for (std::size_t k = with_gap_report ? 0 : 1; k < in_order.size(); ++k) {
            at = std::find_if(at, report.end(),
                              [&](const std::string& line) { return line.find(in_order[k]) != std::string::npos; });
            ASSERT_NE(at, report.end()) << in_order[k];
        }
    }

    // Every string file of the index holds long records only.
    static int expect_long_string_files(const std::string& study)
    {
        const StringIndexFile index = read_string_index_file(study + "INDXZZ.ZST");
        int lines = 0;
        for (const StringIndexRecord& record : index.records) {
            for (const std::string& line : read_text_lines(string_file_name(study, record.string_number))) {
                EXPECT_EQ(line.size(), 1764u) << record.string_number;
                ++lines;
            }
        }
        return lines;
    }

    // The links that hold a telescoped element (column 110 of 1.0 or more).
    static int recommended_elements(const std::vector<std::string>& link_data_bases)
    {
        int count = 0;
        for (const std::string& name : link_data_bases) {
            for (const LinkRecord& link : read_link_data_base(name, FilePresence::MustExist)) {
                if (link.recommended_element_type() >= 1.0f) {
                    EXPECT_GT(link.replacement_element_height(), 0.0f) << name;
                    ++count;
                }
            }
        }
        return count;
    }

    // The run's files, byte for byte.
    static std::map<std::string, std::string> results()
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".ZST") || name.ends_with(".ZLL") || name.ends_with(".DIA")) {
                files[name] = read_whole_file(name);
            }
        }
        return files;
    }

    // No scratch copy and no new version of a run is left behind.
    static void expect_no_leftovers()
    {
        for (const auto& entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            EXPECT_FALSE(name.ends_with(".tmp")) << name;
            EXPECT_EQ(name.find(".velm"), std::string::npos) << name;
        }
    }
};

TEST_F(WholeAnalysisTest, SampleStudyFromTheMenuAndLaunched)
{
    const fs::path sample = fs::path(VELM_SOURCE_DIR) / "examples" / "sample";
    for (const auto& entry : fs::directory_iterator(sample)) fs::copy_file(entry.path(), entry.path().filename());
    const std::vector<std::string> maps{"SA2204ZZ.ZLL", "SA2301ZZ.ZLL", "SA2302ZZ.ZLL", "SA2303ZZ.ZLL"};

    EXPECT_EQ(test::run_program_to_stop(session_, window_, execute_from_menu("SA")), "analysis run done");
    expect_complete_report("SA", true);
    EXPECT_GT(expect_long_string_files("SA"), 0);
    EXPECT_GT(recommended_elements(maps), 0);
    expect_no_leftovers();

    // The engineer's parallel pipe beside 230206-230207 is listed under the
    // pipe the run recommends, and stands in the link's string record; the
    // 84-inch trunk is the one large pipe.
    const Lines report = read_text_lines("SATRVLZZ.DIA");
    auto padded = [](std::string line) {
        line.resize(100, ' ');
        return line;
    };
    const auto size_entry = std::find(report.begin(), report.end(),
                                      padded("     230206.0     230207.0        1.75      0.0    0.00   0.0130"));
    ASSERT_NE(size_entry, report.end());
    EXPECT_EQ(*(size_entry + 2), padded("                Parallel Pipe:    1.50      1.0    0.00   0.0130"));
    const auto large_pipes =
        std::find(report.begin(), report.end(), "     The following LINKS have EXISTING SYSTEM or PROPOSED");
    ASSERT_NE(large_pipes, report.end());
    EXPECT_EQ(*(large_pipes + 4), "       230201.0   230204.0         84.00                0.00");
    EXPECT_EQ(*(large_pipes + 5), "");
    bool user_element_found = false;
    for (const TelescopedStringRecord& record : read_telescoped_string_file("SA0010ZZ.ZST")) {
        if (record.upstream_node != 230206.0f) continue;
        user_element_found = true;
        EXPECT_EQ(record.telescoped_shape, 1.0f);
        EXPECT_EQ(record.telescoped_size, 1.5f);
        EXPECT_EQ(record.telescoped_width, 1.0f);
        EXPECT_EQ(record.telescoped_friction_factor, 0.013f);
    }
    EXPECT_TRUE(user_element_found);
    const auto from_menu = results();

    test::write_command_file("SA", 1, 1, 2);
    EXPECT_EQ(test::run_program_to_stop(session_, window_, {}), "analysis run done");
    EXPECT_EQ(results(), from_menu);
}

// A network over two maps with a deficient pipe reach, a street, a box and
// a channel, of the given model type.
test::StudyBuilder network_of_type(int model_type)
{
    using test::Element;
    test::StudyBuilder study("AB", model_type, 2);
    study.add_node(10101.0f, 160.0f);
    study.add_node(10102.0f, 150.0f, {40.0f, 55.0f});
    study.add_node(10103.0f, 140.0f, {60.0f, 80.0f});
    study.add_node(10104.0f, 130.0f, {70.0f, 95.0f});
    study.add_node(10201.0f, 120.0f, {90.0f, 120.0f});
    study.add_node(10202.0f, 110.0f, {100.0f, 130.0f});
    study.add_initial_link(10101.0f, 10102.0f, 600.0f);
    study.add_link(10102.0f, 10103.0f, 500.0f, Element::pipe(1.5f));
    study.add_link(10103.0f, 10104.0f, 500.0f, Element::none(), test::StreetSection{});
    study.add_link(10104.0f, 10201.0f, 400.0f, Element::box(3.0f, 4.0f));
    study.add_link(10201.0f, 10202.0f, 700.0f, Element::channel(4.0f, 8.0f, 2.0f));
    study.add_subarea(10101.0f, 30.0f);
    return study;
}

TEST_F(WholeAnalysisTest, EveryModelTypeRunsTheWholeAnalysis)
{
    for (int model_type : {6, 7, 9}) {
        SCOPED_TRACE("model type " + std::to_string(model_type));
        test::TemporaryDirectory directory;
        window_ = test::ScriptedWindow();
        session_.data_directory.reset();
        network_of_type(model_type).write(directory.path());
        EXPECT_EQ(test::run_program_to_stop(session_, window_, execute_from_menu("AB")), "analysis run done");
        expect_complete_report("AB", true);
        EXPECT_EQ(expect_long_string_files("AB"), 5);
        expect_no_leftovers();
    }
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

TEST_F(WholeAnalysisTest, StudyInItsDataDirectory)
{
    test::StudyBuilder study = network_of_type(6);
    study.set_data_directory("DATA\\AB\\STUDY.TXT");
    study.write(directory_.path());
    EXPECT_EQ(test::run_program_to_stop(session_, window_, execute_from_menu("AB")), "analysis run done");
    const fs::path data = directory_.path() / "DATA" / "AB";
    const Lines report = read_text_lines((data / "ABTRVLZZ.DIA").string());
    EXPECT_EQ(test::report_delimiters(report).size(), 30u);
    EXPECT_NE(
        std::find(report.begin(), report.end(), "     Existing system LINKS that are UPGRADED due to telescoping"),
        report.end());
    for (const std::string& line : read_text_lines((data / "AB0001ZZ.ZST").string())) EXPECT_EQ(line.size(), 1764u);
}

}  // namespace
}  // namespace velm
