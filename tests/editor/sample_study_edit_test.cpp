// Edits of the bundled sample study as a user makes them: from the main
// menu, and launched from the toolset.
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "editor_study.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/model_file.h"
#include "records/model_group_rewriters.h"
#include "support/change_steps.h"
#include "support/program_run.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;

// Where two walks of a model file differ: (group, data value) pairs, 1-based;
// the header must be equal except for the listed positions.
std::set<std::pair<std::size_t, std::size_t>> differences(const ModelFile& before, const ModelFile& after,
                                                          std::set<int>& header_changes)
{
    std::set<std::pair<std::size_t, std::size_t>> changed;
    EXPECT_EQ(before.header.length(), after.header.length());
    for (int k = 1; k <= std::min(before.header.length(), after.header.length()); ++k)
        if (before.header.value(k) != after.header.value(k)) header_changes.insert(k);
    EXPECT_EQ(before.groups.size(), after.groups.size());
    for (std::size_t g = 0; g < std::min(before.groups.size(), after.groups.size()); ++g) {
        const ModelGroup& a = before.groups[g];
        const ModelGroup& b = after.groups[g];
        EXPECT_EQ(a.upstream_node, b.upstream_node);
        EXPECT_EQ(a.code_value, b.code_value);
        EXPECT_EQ(a.text, b.text);
        EXPECT_EQ(a.values.size(), b.values.size());
        for (std::size_t k = 0; k < std::min(a.values.size(), b.values.size()); ++k)
            if (a.values[k] != b.values[k]) changed.insert({g + 1, k + 1});
    }
    return changed;
}

std::size_t group_number(const ModelFile& file, float upstream, float downstream)
{
    for (std::size_t g = 0; g < file.groups.size(); ++g)
        if (file.groups[g].upstream_node == upstream && file.groups[g].downstream_node == downstream) return g + 1;
    return 0;
}

class SampleStudyEditTest : public test::SessionTest {
protected:
    void SetUp() override
    {
        for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample"))
            fs::copy_file(entry.path(), entry.path().filename());
        // The analysis run has found the strings of the study.
        TemporaryDirectory::put("SAINDXZZ.ZST", "index\r\n");
    }
};

TEST_F(SampleStudyEditTest, SubareaPipeAndStreetEditsFromTheMainMenu)
{
    const std::map<std::string, ModelFile> before = {{"SA2301ZZ.Z11", read_model_file("SA2301ZZ.Z11")},
                                                     {"SA2301ZZ.Z12", read_model_file("SA2301ZZ.Z12")},
                                                     {"SA2302ZZ.Z11", read_model_file("SA2302ZZ.Z11")},
                                                     {"SA2302ZZ.Z12", read_model_file("SA2302ZZ.Z12")}};
    const std::string others_before = TemporaryDirectory::get("SA2303ZZ.Z11") + TemporaryDirectory::get("SA2204ZZ.Z12");

    const std::vector<std::string> typed = {
        "", "4", "", "SA",
        // Subarea 230101: cell 1 becomes commercial (5), 0.5 impervious, soil 13, 9 acres.
        "1", "230101", "1", "5", "0.5", "13", "9", "E", "E",
        // The pipe from 230111 to 230113 becomes 4 ft.
        "6", "230111", "230113", "4", "0", "0", "0.014", "0", "E",
        // The street over the pipe from 230203 to 230204 widens to 24 ft.
        "7", "230203", "230204", "", "24", "", "", "", "", "", "", "", "", "E", "EX"};
    EXPECT_EQ(test::run_program_to_stop(session_, window_, typed), "run_network_editor_module: EXIT");

    // Map 2301: the subarea's cell 1 and the pipe's friction and diameter, in both storm events.
    for (const std::string name : {"SA2301ZZ.Z11", "SA2301ZZ.Z12"}) {
        SCOPED_TRACE(name);
        const ModelFile after = read_model_file(name);
        std::set<int> header;
        const auto changed = differences(before.at(name), after, header);
        EXPECT_TRUE(header.empty());
        std::size_t subarea_group = 0;
        for (std::size_t g = 0; g < after.groups.size(); ++g)
            if (after.groups[g].process_code() == 22 &&
                group_subarea_number(after.groups[g], after.layout_of(after.groups[g])) == 230101.0f)
                subarea_group = g + 1;
        ASSERT_NE(subarea_group, 0u);
        const LandUseTable cells =
            group_land_use_table(after.groups[subarea_group - 1], after.layout_of(after.groups[subarea_group - 1]));
        EXPECT_EQ(cells.cell(1).land_use_code, 105.5f);
        EXPECT_EQ(cells.cell(1).soil_code, 13.0f);
        EXPECT_EQ(cells.cell(1).cell_area, 9.0f);
        const std::size_t pipe = group_number(after, 230111.0f, 230113.0f);
        EXPECT_EQ(after.groups[pipe - 1].values[4], 48.0f);
        for (const auto& [group, value] : changed) {
            const bool subarea_cell = group == subarea_group && value >= 5 && value <= 7;
            const bool pipe_value = group == pipe && (value == 4 || value == 5);
            EXPECT_TRUE(subarea_cell || pipe_value) << "group " << group << " value " << value;
        }
    }
    // Map 2302: the street's section, added to each event's table.
    for (const std::string name : {"SA2302ZZ.Z11", "SA2302ZZ.Z12"}) {
        SCOPED_TRACE(name);
        const ModelFile after = read_model_file(name);
        std::set<int> header;
        const auto changed = differences(before.at(name), after, header);
        const int count = after.header.street_section_count();
        EXPECT_EQ(count, before.at(name).header.street_section_count() + 1);
        EXPECT_EQ(after.header.street_section(count)[0], 24.0f);
        for (const int k : header) EXPECT_TRUE(k == 67 || (k >= 68 + 9 * (count - 1) && k < 68 + 9 * count)) << k;
        const std::size_t street = group_number(after, 230203.0f, 230204.0f);
        EXPECT_EQ(changed,
                  (std::set<std::pair<std::size_t, std::size_t>>{
                      {street, static_cast<std::size_t>(after.layout_of(after.groups[street - 1]).street_position)}}));
    }
    EXPECT_EQ(TemporaryDirectory::get("SA2303ZZ.Z11") + TemporaryDirectory::get("SA2204ZZ.Z12"), others_before);

    EXPECT_EQ(read_link_data_base("SA2301ZZ.ZLL", FilePresence::MustExist).size(),
              read_link_data_base(fs::path(VELM_SOURCE_DIR).string() + "/examples/sample/SA2301ZZ.ZLL",
                                  FilePresence::MustExist)
                  .size());
    bool pipe_changed = false;
    for (const LinkRecord& link : read_link_data_base("SA2301ZZ.ZLL", FilePresence::MustExist))
        if (link.upstream_node() == 230111.0f && link.downstream_node() == 230113.0f)
            pipe_changed = link.element_height() == 4.0f && link.element_friction_factor() == 0.014f;
    EXPECT_TRUE(pipe_changed);
    bool street_changed = false;
    for (const LinkRecord& link : read_link_data_base("SA2302ZZ.ZLL", FilePresence::MustExist))
        if (link.upstream_node() == 230203.0f && link.downstream_node() == 230204.0f)
            street_changed = link.street_half_width() == 24.0f;
    EXPECT_TRUE(street_changed);

    // One entry per change, then the page break of leaving the module.
    const std::vector<std::string> log = read_text_lines("SAHISTZZ.DAT");
    int entries = 0;
    for (const std::string& line : log) entries += line.rfind("  ***", 0) == 0 ? 1 : 0;
    EXPECT_EQ(entries, 3);
    EXPECT_EQ(log.back(), "\f");
}

TEST_F(SampleStudyEditTest, LaunchedEditRepliesAndARefusedLaunchedStudyDoesNot)
{
    test::write_command_file("SA", 1, 4, 0);
    EXPECT_EQ(
        test::run_program_to_stop(session_, window_, {"6", "230111", "230113", "4", "0", "0", "0.014", "0", "E", "EX"}),
        "run_network_editor_module: EXIT");
    EXPECT_EQ(TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
    EXPECT_EQ(read_text_lines("SAtoolzz.set").size(), 100u);
    const ModelFile file = read_model_file("SA2301ZZ.Z12");
    EXPECT_EQ(file.groups[group_number(file, 230111.0f, 230113.0f) - 1].values[4], 48.0f);

    fs::remove("QEVCOM2.DAT");
    for (const char* study : {"XY", "1A"}) {
        SCOPED_TRACE(study);
        window_ = test::ScriptedWindow();
        test::write_command_file(study, 1, 4, 0);
        EXPECT_NE(test::run_program_to_stop(session_, window_, {}).find("run_network_editor_module"),
                  std::string::npos);
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
    }
}

// A launched run makes the tool-status file at its end: something other
// than a file at its name refuses the run before the first edit, naming it,
// and the study stays as it was (the edit typed is never asked for, no page
// break is appended to the history log, no reply is written).
TEST_F(SampleStudyEditTest, ALaunchedEditRefusesANonFileAtTheToolStatusFileBeforeItsFirstEdit)
{
    const struct {
        const char* what;
        std::function<void()> plant;
        const char* kind;
    } cases[] = {
        {"a fifo", [] { ASSERT_EQ(mkfifo("SAtoolzz.set", 0644), 0); }, "a fifo (named pipe)"},
        {"a directory", [] { fs::create_directory("SAtoolzz.set"); }, "a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.plant();
        const std::map<std::string, std::string> before = test::study_files();
        window_ = test::ScriptedWindow();
        window_.type({"6", "230111", "230113", "4", "0", "0", "0.014", "0", "E", "EX"});
        LauncherCall call{TOOLSET_MODE_COUNT, 0, launcher_line("SA")};
        try {
            run_network_editor_module(session_, call);
            ADD_FAILURE() << "the run went on";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()),
                      std::string("Cannot read file 'SAtoolzz.set': it is ") + c.kind + ", not a file");
        } catch (const ProgramStop& stop) {
            ADD_FAILURE() << "the run stopped: " << stop.reason;
        }
        EXPECT_EQ(window_.lines_left(), 10u) << "a line was read";
        EXPECT_TRUE(test::study_files() == before) << "the study changed";
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
        fs::remove("SAtoolzz.set");
    }
}

// The sample's initial subareas carry their times of concentration: the Tc
// screen of subarea 230302 shows each storm event's time, inside the range
// the screen allows, and BACK leaves every file as it was.
TEST_F(SampleStudyEditTest, TimeOfConcentrationScreenShowsTheSubareasTimes)
{
    const std::map<std::string, std::string> before = {{"SA2303ZZ.Z11", TemporaryDirectory::get("SA2303ZZ.Z11")},
                                                       {"SA2303ZZ.Z12", TemporaryDirectory::get("SA2303ZZ.Z12")}};
    const std::vector<std::string> typed = {"", "4", "", "SA", "2", "230302", "B", "E", "EX"};
    EXPECT_EQ(test::run_program_to_stop(session_, window_, typed), "run_network_editor_module: EXIT");

    const std::string& screen = window_.reads().at(6);  // at the first Tc entry
    ASSERT_EQ(test::snapshot_text(screen, 5, 2, 31), "CURRENT SUBAREA [230302.0] TIME") << window_.dump();
    struct Row {
        int row;
        std::string frequency;  // years, as shown
        float minutes;          // the event's Tc in the model file
    };
    const Row rows[] = {{6, " 10", 14.0f}, {7, " 25", 12.0f}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.row);
        EXPECT_EQ(test::snapshot_text(screen, 7, r.row, 3), r.frequency);
        const std::string shown = test::snapshot_text(screen, 20, r.row, 7);
        ASSERT_EQ(shown.front(), '[');
        const float tc = std::stof(shown.substr(1, 5));
        EXPECT_EQ(tc, r.minutes);
        EXPECT_GE(tc, 5.0f);
        EXPECT_LE(tc, 30.0f);
    }
    EXPECT_EQ(test::snapshot_text(screen, 5, 11, 56), "Note: Allowable Value for Tc is between [5.0] and [30.0]");
    for (const auto& [name, bytes] : before) EXPECT_TRUE(TemporaryDirectory::get(name) == bytes) << name;
}

}  // namespace
}  // namespace velm
