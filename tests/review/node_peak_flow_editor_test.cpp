#include "review/node_peak_flow_editor.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "review/review_study.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

// A row of the peak-flow table: the frequency in column 15, the rates
// right-aligned to columns 46 and 72.
std::string table_row(char frequency, const std::string& computer, const std::string& user)
{
    std::string row(72, ' ');
    row[14] = frequency;
    row.replace(46 - computer.size(), computer.size(), computer);
    row.replace(72 - user.size(), user.size(), user);
    return row;
}

class NodePeakFlowEditorTest : public test::SessionTest {
protected:
    void edit(const std::vector<std::string>& typed, int model_type = 3)
    {
        window_.type(typed);
        edit_node_peak_flows(session_, "AB", model_type);
        EXPECT_EQ(window_.lines_left(), 0u) << window_.dump();
    }
    void expect_text(std::size_t read, int column, int row, std::string_view text) const
    {
        EXPECT_EQ(test::snapshot_text(window_.reads().at(read), column, row, text.size()), text)
            << "at read " << read << ", row " << row;
    }
    // Node 10103 with the sources of its six return frequencies (columns
    // 226-231, overridden by 232-237) and old values in every column the
    // editor may write; no user rate yet (column 273 + i) where the
    // frequency has a source, and an old value where it has none.
    static test::StudyBuilder study_with_sources(std::array<float, 6> sources, std::array<float, 6> overriding = {},
                                                 int model_type = 3)
    {
        test::StudyBuilder study = test::review_study(model_type);
        NodeRecord& node = study.node(10103.0f);
        for (int i = 1; i <= 6; ++i) {
            node.column(225 + i) = sources[i - 1];
            node.column(231 + i) = overriding[i - 1];
            node.column(261 + i) = 7.0f;
            node.column(267 + i) = 8.0f;
            node.column(273 + i) = sources[i - 1] != 0.0f || overriding[i - 1] != 0.0f ? 0.0f : 9.0f;
        }
        node.total_tributary_area() = 123.456f;  // written back with its three decimals
        return study;
    }
    // The columns the editor sets for the frequencies 1..count (and the
    // stop after them), the user's rates in 274 onwards.
    static void expect_rates(test::StudyBuilder& study, const std::vector<float>& sources,
                             const std::vector<float>& accepted)
    {
        NodeRecord& node = study.node(10103.0f);
        for (std::size_t k = 0; k < sources.size(); ++k) {
            const int i = static_cast<int>(k) + 1;
            node.column(261 + i) = sources[k];
            node.column(267 + i) = sources[k];
            node.column(273 + i) = k < accepted.size() ? accepted[k] : sources[k];
        }
    }
};

TEST_F(NodePeakFlowEditorTest, FrequenciesEndAtTheFirstMissingSource)
{
    test::StudyBuilder study = study_with_sources({10.0f, 20.0f, 30.0f, 0.0f, 50.0f, 60.0f});
    study.write(fs::current_path());
    // A blank answer and 0 keep the shown rate.
    edit({"10103", "15", "", "0", "EXIT"});
    expect_text(1, 5, 2, "Enter NODE NUMBER................................... ===>");
    expect_text(1, 6, 3, ":ALLOWABEL VALUE BETWEEN [10000.0] and [999999.9]");
    expect_text(1, 5, 5, "Return Frequency      Computer Recommended      User Recommened");
    expect_text(1, 12, 6, "Number           Peak Flow Rate (cfs)    Peak Flow Rate (cfs)");
    expect_text(1, 1, 7, table_row('1', "10.00", "10.00"));
    expect_text(1, 1, 9, table_row('3', "30.00", "30.00"));
    expect_text(1, 1, 10, std::string(80, ' '));
    expect_text(1, 5, 16, "(Note: Press Enter Key to Accept default value)");
    EXPECT_EQ(window_.read_positions()[1], std::make_pair(62, 7));
    EXPECT_EQ(window_.read_positions()[3], std::make_pair(62, 9));

    expect_rates(study, {10.0f, 20.0f, 30.0f, 0.0f}, {15.0f, 20.0f, 30.0f, 0.0f});
    test::expect_study_files(study);
}

TEST_F(NodePeakFlowEditorTest, OverridingSourceAndFallingRates)
{
    test::StudyBuilder study = study_with_sources({10.0f, 20.0f, 0.0f, 0.0f, 0.0f, 0.0f}, {12.5f});
    study.write(fs::current_path());
    // 40 then 30 falls: the table starts again; TOP too; 30 and 30 stand.
    edit({"10103", "40", "30", "35", "TOP", "30", "30", "E"});
    expect_text(1, 1, 7, table_row('1', "12.50", "12.50"));
    expect_text(3, 1, 7, table_row('1', "12.50", "12.50"));
    EXPECT_EQ(window_.read_positions()[3], std::make_pair(62, 7));
    EXPECT_EQ(window_.read_positions()[5], std::make_pair(62, 7));
    expect_rates(study, {12.5f, 20.0f, 0.0f}, {30.0f, 30.0f});
    test::expect_study_files(study);
}

// The user column shows the rate the engineer stored earlier where it is
// above 0 and the computed rate otherwise, and a RETURN keeps what it shows:
// reopening a node never puts computed rates over the engineer's own.
TEST_F(NodePeakFlowEditorTest, ReopenedNodeKeepsTheUserRates)
{
    struct Case {
        const char* name;
        std::array<float, 6> stored_user;  // columns 274-279 before the editor opens the node
        std::vector<std::string> shown;    // the user column of the rows, as the table shows it
        std::vector<float> kept;           // columns 274 onwards after RETURN through the table
    };
    const std::vector<Case> cases = {
        {"all set", {15.0f, 25.0f, 35.0f}, {"15.00", "25.00", "35.00"}, {15.0f, 25.0f, 35.0f}},
        {"some set", {15.0f, 0.0f, 35.0f}, {"15.00", "20.00", "35.00"}, {15.0f, 20.0f, 35.0f}},
        {"negative is none", {-1.0f, 25.0f, 35.0f}, {"10.00", "25.00", "35.00"}, {10.0f, 25.0f, 35.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : fs::directory_iterator(fs::current_path())) fs::remove_all(entry.path());
        test::StudyBuilder study = study_with_sources({10.0f, 20.0f, 30.0f, 0.0f, 0.0f, 0.0f});
        for (int i = 1; i <= 6; ++i) study.node(10103.0f).column(273 + i) = c.stored_user[i - 1];
        study.write(fs::current_path());
        const std::size_t first_read = window_.reads().size();
        edit({"10103", "", "", "", "E"});
        for (int i = 1; i <= 3; ++i) {
            const std::string computer = i == 1 ? "10.00" : i == 2 ? "20.00" : "30.00";
            expect_text(first_read + 1, 1, 6 + i, table_row(static_cast<char>('0' + i), computer, c.shown[i - 1]));
        }
        expect_rates(study, {10.0f, 20.0f, 30.0f, 0.0f}, c.kept);
        test::expect_study_files(study);
    }
}

// Rates typed once stay when the node is opened again and the engineer
// only presses RETURN through the table.
TEST_F(NodePeakFlowEditorTest, RatesTypedOnceSurviveASecondVisit)
{
    test::StudyBuilder study = study_with_sources({10.0f, 20.0f, 30.0f, 0.0f, 0.0f, 0.0f});
    study.write(fs::current_path());
    edit({"10103", "12", "24", "36", "10103", "", "", "", "E"});
    expect_text(5, 1, 7, table_row('1', "10.00", "12.00"));
    expect_text(5, 1, 9, table_row('3', "30.00", "36.00"));
    expect_rates(study, {10.0f, 20.0f, 30.0f, 0.0f}, {12.0f, 24.0f, 36.0f, 0.0f});
    test::expect_study_files(study);
}

TEST_F(NodePeakFlowEditorTest, NoticesLeaveTheFilesAlone)
{
    test::StudyBuilder study = study_with_sources({});
    study.write(fs::current_path());
    edit({"10103", "", "10104", "", "10301", "", "E"});
    expect_text(1, 1, 15, " * NODE NUMBER [ 10103.0] IS A HEADWATER NODE");
    expect_text(3, 1, 15, " * NODE NUMBER [ 10104.0] DOES NOT EXIST");
    expect_text(5, 1, 15, " * DATA FILE [AB0103ZZ.ZNN] DOES NOT EXIST");
    EXPECT_EQ(window_.beeps(), 3);
    test::expect_study_files(study);
}

// A study of model type 9 keeps one node data base per region: node 10103
// of map 101 lives in the file of region 100.
TEST_F(NodePeakFlowEditorTest, RegionFileOfATypeNineStudy)
{
    test::StudyBuilder study = study_with_sources({10.0f, 20.0f, 0.0f, 0.0f, 0.0f, 0.0f}, {}, 9);
    study.write(fs::current_path());
    ASSERT_TRUE(fs::exists("AB0100ZZ.ZNN"));
    edit({"10103", "11", "", "20101", "", "E"}, 9);
    expect_text(4, 1, 15, " * DATA FILE [AB0200ZZ.ZNN] DOES NOT EXIST");
    expect_rates(study, {10.0f, 20.0f, 0.0f}, {11.0f, 20.0f});
    test::expect_study_files(study);
}

TEST_F(NodePeakFlowEditorTest, ExitDuringTheEntriesKeepsTheOldFile)
{
    test::StudyBuilder study = study_with_sources({10.0f, 20.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    study.write(fs::current_path());
    edit({"10103", "11", "EXIT"});
    test::expect_study_files(study);
}

}  // namespace
}  // namespace velm
