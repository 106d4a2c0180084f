// The editors of a curve-number study (model type 10): subarea values with
// the subarea export, the watershed lag and the storage elements.
#include <gtest/gtest.h>

#include "editor_study.h"
#include "platform/text_file.h"
#include "records/model_file.h"
#include "records/subarea_data_base.h"

namespace velm {
namespace {

using test::EditorTest;
using test::TemporaryDirectory;

test::StudyBuilder curve_number_study()
{
    test::StudyBuilder study("AB", 10, 2);
    study.add_node(10101.0f, 150.0f, {5.0f, 6.0f});
    study.add_node(10102.0f, 140.0f, {10.0f, 12.0f});
    study.add_node(10103.0f, 130.0f, {12.0f, 14.0f});
    study.add_node(10104.0f, 120.0f, {12.0f, 14.0f});
    study.add_initial_link(10101.0f, 10102.0f, 500.0f);
    study.add_link(10102.0f, 10103.0f, 400.0f, test::Element::pipe(2.0f));
    test::StorageRouting routing;
    routing.sets = {{100.0f, 0.0f, 0.0f}, {101.0f, 2.0f, 4.0f}, {103.0f, 6.0f, 9.0f}};
    study.add_storage_element(10103.0f, 10104.0f, 50.0f, routing);
    study.add_subarea(10101.0f, 64.0f);
    // Each storm event's storage group has leading values of its own.
    study.edit_model_files([](int, int event, ModelFile& file) {
        test::find_group(file, 10103.0f, 10104.0f, 61)->values[0] = 100.0f + static_cast<float>(event);
    });
    return study;
}

class CurveNumberEditorTest : public EditorTest {
protected:
    void SetUp() override
    {
        const test::StudyBuilder study = curve_number_study();
        write_study(study);
        write_subarea_data_base("ABSUBSZZ.ASC", {study.subareas().begin(), study.subareas().end()});
    }
};

const ModelGroup& group_of(const ModelFile& file, float upstream, float downstream, int code)
{
    for (const ModelGroup& group : file.groups)
        if (group.upstream_node == upstream && group.downstream_node == downstream && group.process_code() == code)
            return group;
    throw std::out_of_range("no such group");
}

TEST_F(CurveNumberEditorTest, SubareaValuesReachEveryStormEventAndTheExport)
{
    const ModelFile before = read_model_file("AB0101ZZ.Z12");
    EXPECT_EQ(run_module({"", "AB", "1", "10101", "0.3", "82", "0.35", "0.5", "", "E", "EX"}), 0u) << window_.dump();
    for (const std::string name : {"AB0101ZZ.Z11", "AB0101ZZ.Z12"}) {
        SCOPED_TRACE(name);
        const ModelFile file = read_model_file(name);
        const ModelGroup& group = group_of(file, 10101.0f, 10102.0f, 21);
        EXPECT_EQ(group.values[0], 0.5f);
        EXPECT_EQ(group.values[27], 0.3f);
        EXPECT_EQ(group.values[28], 82.0f);
        EXPECT_EQ(group.values[29], 0.35f);
    }
    const ModelGroup& old_group = group_of(before, 10101.0f, 10102.0f, 21);
    const ModelFile after = read_model_file("AB0101ZZ.Z12");
    const ModelGroup& new_group = group_of(after, 10101.0f, 10102.0f, 21);
    for (std::size_t k = 0; k < 88; ++k) {
        if (k == 0 || k == 27 || k == 28 || k == 29) continue;
        EXPECT_EQ(new_group.values[k], old_group.values[k]) << k;
    }

    const std::vector<SubareaRecord> exported = read_subarea_data_base("ABSUBSZZ.ASC", FilePresence::MustExist);
    ASSERT_EQ(exported.size(), 1u);
    EXPECT_EQ(exported[0].column(117), 320.0f);
    EXPECT_EQ(exported[0].column(114), 82.0f);

    const std::vector<std::string> log = read_text_lines("ABHISTZZ.DAT");
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[3], "     Subarea    Initial      S.C.S.     Percent of     Area");
    EXPECT_EQ(log[6], "     10101.0       0.30       82.00         0.35         0.50");
    EXPECT_EQ(log[7], "              (    0.10)  (   75.00)   (    0.25)   (    0.10)");
}

TEST_F(CurveNumberEditorTest, WatershedLagOfEveryStormEvent)
{
    EXPECT_EQ(run_module({"", "AB", "2", "10101", "1.25", "", "E", "EX"}), 0u) << window_.dump();
    for (const std::string name : {"AB0101ZZ.Z11", "AB0101ZZ.Z12"}) {
        const ModelFile file = read_model_file(name);
        EXPECT_EQ(group_of(file, 10101.0f, 10102.0f, 21).values[25], 1.25f) << name;
    }
    const std::vector<std::string> log = read_text_lines("ABHISTZZ.DAT");
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[6], "     10101.0       ( 0.50)  1.25");
}

TEST_F(CurveNumberEditorTest, StorageElementSetsWithEachFilesOwnLeadingValues)
{
    // Page 1 kept, three sets; set 2 gets the discharge 5.
    EXPECT_EQ(run_module({"", "AB", "6", "10103", "10104", "", "", "", "",  "",  "",
                          "", "",   "",  "5",     "",      "", "", "", "E", "EX"}),
              0u)
        << window_.dump();
    for (const int event : {1, 2}) {
        SCOPED_TRACE(event);
        const ModelFile file = read_model_file("AB0101ZZ.Z1" + std::to_string(event));
        const ModelGroup& group = group_of(file, 10103.0f, 10104.0f, 61);
        EXPECT_EQ(group.values[0], 100.0f + static_cast<float>(event));
        EXPECT_EQ(group.values[7 + 44 + 1], 5.0f);
        EXPECT_EQ(group.values[7 + 44 + 2], 9.0f);
        EXPECT_EQ(group.values[7 + 3], 3.0f);
    }
    const std::vector<std::string> log = read_text_lines("ABHISTZZ.DAT");
    ASSERT_EQ(log.size(), 21u);
    EXPECT_EQ(log[2], "     Storage Element Data (Previous)/Current:");
    EXPECT_EQ(log[16], "        2       (  101.00)       (    2.00) (       4.00)");
    EXPECT_EQ(log[17], "        2          101.00             2.00          5.00");
}

TEST_F(CurveNumberEditorTest, RefusedOrUnchangedEditsLeaveEveryFile)
{
    struct Case {
        const char* name;
        std::vector<std::string> typed;
        std::string shown;
        std::function<void()> spoil = [] {};
    };
    const Case cases[] = {
        {"an area the export cannot hold",
         {"1", "10101", "0.3", "82", "0.35", "20", "", "", "E", "EX"},
         " * AREA [   20.000 SQ. MI.] DOES NOT FIT THE SUBAREA EXPORT [ABSUBSZZ.ASC]:"},
        {"EXIT before the area", {"1", "10101", "0.3", "82", "E", "E", "EX"}, "Enter Area(square miles)"},
        {"EXIT at the lag", {"2", "10101", "E", "E", "EX"}, "WATERSHED LAG VALUE:"},
        {"storage data kept as stored",
         {"6", "10103", "10104", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "E", "EX"},
         "Elevations vs. Stoarge vs. Discharges Data Set [ 3] of [ 3]:"},
        {"no storage element on the pair",
         {"6", "10102", "10103", "", "E", "EX"},
         " * LINK  10102.0 -  10103.0 DOES NOT EXIST"},
        {"a stored count of 25 sets kept",
         {"6", "10103", "10104", "", "", "", "", "", "E", "EX"},
         "Enter Number of Basin Outflow Characteristic Sets... ===>25",
         [] {
             for (const std::string name : {"AB0101ZZ.Z11", "AB0101ZZ.Z12"}) {
                 ModelFile file = read_model_file(name);
                 test::find_group(file, 10103.0f, 10104.0f, 61)->values[7 + 3] = 25.0f;
                 write_model_file(name, file);
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.spoil();
        const auto before = test::all_files();
        window_ = test::ScriptedWindow();
        std::vector<std::string> lines{"", "AB"};
        lines.insert(lines.end(), c.typed.begin(), c.typed.end());
        EXPECT_EQ(run_module(lines), 0u) << window_.dump();
        EXPECT_EQ(test::all_files(), before);
        bool shown = false;
        for (const std::string& screen : window_.reads()) shown = shown || screen.find(c.shown) != std::string::npos;
        EXPECT_TRUE(shown) << window_.dump();
    }
}

TEST_F(CurveNumberEditorTest, BackOnASetScrollsTheTableOfEnteredSetsBack)
{
    // Seven sets entered one after the other; BACK at set 8 shows sets 2 to 6
    // again before set 7 is entered anew; then EXIT writes nothing (set 8's
    // discharge was never entered).
    std::vector<std::string> typed{"", "AB", "6", "10103", "10104", "", "", "", "8"};
    for (int set = 1; set <= 7; ++set) {
        typed.push_back(std::to_string(100 + set));
        typed.push_back(std::to_string(set));
        typed.push_back(std::to_string(2 * set));
    }
    typed.insert(typed.end(), {"B", "E", "E", "EX"});
    EXPECT_EQ(run_module(typed), 0u) << window_.dump();
    const std::string& before_back = window_.reads()[30];
    EXPECT_EQ(test::snapshot_text(before_back, 1, 15, 40), "        3          103.00      3.00     ");
    EXPECT_EQ(test::snapshot_text(before_back, 1, 19, 40), "        7          107.00      7.00     ");
    const std::string& after_back = window_.reads()[31];
    EXPECT_EQ(test::snapshot_text(after_back, 1, 15, 40), "        2          102.00      2.00     ");
    EXPECT_EQ(test::snapshot_text(after_back, 1, 19, 40), "        6          106.00      6.00     ");
    EXPECT_FALSE(std::filesystem::exists("ABHISTZZ.DAT"));
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// A storage element change whose new files cannot all be written is refused
// in the window, naming the file; it replaces nothing and logs nothing.
TEST_F(CurveNumberEditorTest, AStorageChangeThatCannotBeWrittenIsNotLogged)
{
    std::filesystem::create_directory(".AB0101ZZ.Z12.velm-run");
    const auto before = test::all_files();
    window_.type({"", "AB", "6", "10103", "10104", "", "", "", "", "", "", "", "", "", "5", "", "", "", ""});
    LauncherCall call;
    // The script ends at the refusal's RETURN.
    EXPECT_THROW(run_network_editor_module(session_, call), test::ScriptExhausted);
    EXPECT_NE(window_.dump().find("NOTHING WAS CHANGED"), std::string::npos) << window_.dump();
    EXPECT_NE(window_.dump().find("'AB0101ZZ.Z12'"), std::string::npos) << window_.dump();
    EXPECT_EQ(test::all_files(), before);
    EXPECT_FALSE(std::filesystem::exists("ABHISTZZ.DAT"));
}

}  // namespace
}  // namespace velm
