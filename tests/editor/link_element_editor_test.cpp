// The link element editor from the module: primary element and street
// section edits, carried into the link data base, the history log and the
// model file of every storm event.
#include <gtest/gtest.h>

#include "editor_study.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/model_file.h"

namespace velm {
namespace {

using test::EditorTest;
using test::TemporaryDirectory;

// The records (1-based) where two model files differ.
std::vector<std::size_t> differing_records(const std::string& before, const std::string& after)
{
    const std::vector<RecordBytes> a = decode_records(before, "before");
    const std::vector<RecordBytes> b = decode_records(after, "after");
    std::vector<std::size_t> differ;
    for (std::size_t k = 0; k < std::max(a.size(), b.size()); ++k)
        if (k >= a.size() || k >= b.size() || a[k] != b[k]) differ.push_back(k + 1);
    return differ;
}

// The record number of a group's data value in a model file.
std::size_t record_of(const ModelFile& file, float upstream, float downstream, int data_position)
{
    std::size_t record = static_cast<std::size_t>(file.header.length());
    for (const ModelGroup& group : file.groups) {
        if (group.upstream_node == upstream && group.downstream_node == downstream)
            return record + 4 + static_cast<std::size_t>(data_position);
        record += 4 + group.values.size() + (group.text ? 1 : 0);
    }
    return 0;
}

const std::vector<std::string> ENTER_MODULE = {"", "AB"};

TEST_F(EditorTest, PipeDiameterChangeReachesDataBaseLogAndEveryStormEvent)
{
    write_study(test::editor_study());
    const auto before = test::all_files();
    std::vector<std::string> lines = ENTER_MODULE;
    lines.insert(lines.end(), {"6", "10102.0", "10103.0", "3.0", "0", "0", "0.015", "0", "E", "EX"});
    EXPECT_EQ(run_module(lines), 0u) << window_.dump();

    const std::vector<LinkRecord> links = read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist);
    EXPECT_EQ(links[1].element_height(), 3.0f);
    EXPECT_EQ(links[1].element_friction_factor(), 0.015f);
    EXPECT_EQ(links[1].element_base_width(), 1.0f);
    EXPECT_EQ(links[0].element_height(), 0.0f);

    for (const std::string name : {"AB0101ZZ.Z11", "AB0101ZZ.Z12"}) {
        SCOPED_TRACE(name);
        const ModelFile file = read_model_file(name);
        const ModelGroup* pipe = nullptr;
        for (const ModelGroup& g : file.groups)
            if (g.upstream_node == 10102.0f && g.downstream_node == 10103.0f) pipe = &g;
        ASSERT_NE(pipe, nullptr);
        EXPECT_EQ(pipe->values[4], 36.0f);
        EXPECT_EQ(pipe->values[3], 0.015f);
        const std::size_t value4 = record_of(file, 10102.0f, 10103.0f, 4);
        std::vector<std::size_t> expected{value4 + 1};  // the friction (value 4) was 0.013 + 0 before
        if (before.at("./" + std::string(name)) != TemporaryDirectory::get(name))
            expected = differing_records(before.at("./" + std::string(name)), TemporaryDirectory::get(name));
        EXPECT_EQ(expected, (std::vector<std::size_t>{value4, value4 + 1}));
    }

    const std::vector<std::string> log = read_text_lines("ABHISTZZ.DAT");
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[1], "     Date : 05/06/2024" + std::string(41, ' ') + "Time : 07:08");
    EXPECT_EQ(log[2], "     Link Primary System Data (Previous)/Current:");
    EXPECT_EQ(log[5], "     " + std::string(66, '-'));
    EXPECT_EQ(log[6], "     10102.0- 10103.0  ( 1)  (  2.00) (  0.00) ( 0.00) (0.0130) (  0.0)");
    EXPECT_EQ(log[7], "      Current Data       1      3.00     0.00    0.00   0.0150     0.0");
    EXPECT_EQ(log[8], "\f");
}

TEST_F(EditorTest, StreetSectionEditAddsTheSectionToEveryEventsTable)
{
    write_study(test::editor_study());
    std::vector<std::string> lines = ENTER_MODULE;
    // Pipe under a street: half-width 22, crown 16, the rest kept; page 2 kept.
    lines.insert(lines.end(), {"7", "10103", "10104", "", "22", "16", "", "", "", "", "", "", "", "E", "EX"});
    EXPECT_EQ(run_module(lines), 0u) << window_.dump();
    for (const std::string name : {"AB0101ZZ.Z11", "AB0101ZZ.Z12"}) {
        SCOPED_TRACE(name);
        const ModelFile file = read_model_file(name);
        EXPECT_EQ(file.header.street_section_count(), 3);
        EXPECT_EQ(file.header.street_section(3)[0], 22.0f);
        EXPECT_EQ(file.header.street_section(3)[1], 16.0f);
        for (const ModelGroup& g : file.groups) {
            if (g.upstream_node != 10103.0f || g.downstream_node != 10104.0f) continue;
            EXPECT_EQ(g.values[static_cast<std::size_t>(file.layout_of(g).street_position - 1)], 3.0f);
        }
    }
    const std::vector<LinkRecord> links = read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist);
    EXPECT_EQ(links[2].street_half_width(), 22.0f);
    EXPECT_EQ(links[2].crown_to_gradebreak_distance(), 16.0f);
    const std::vector<std::string> log = read_text_lines("ABHISTZZ.DAT");
    ASSERT_GE(log.size(), 9u);
    EXPECT_EQ(log[0], "  ***" + std::string(88, '=') + "***");
    EXPECT_EQ(log[2], "     Link Street Section Data (Previous)/Current:");
}

TEST_F(EditorTest, RefusedAndAbandonedLinkEditsLeaveEveryFileByteForByte)
{
    struct Case {
        const char* name;
        std::vector<std::string> typed;
        std::function<void()> spoil;
        std::string shown;  // a text that some screen shows
    };
    const Case cases[] = {
        {"Next at the height", {"6", "10102", "10103", "N", "E", "EX"}, [] {}, "Next to go to Next Link; Top"},
        {"a link without an element",
         {"6", "10101", "10102", "", "E", "EX"},
         [] {},
         "    This LINK does NOT have a MPD PRIMARY Flow Element."},
        {"no such link", {"6", "10102", "10105", "", "E", "EX"}, [] {}, " * LINK  10102.0 -  10105.0 DOES NOT EXIST"},
        {"street values all kept",
         {"7", "10103", "10104", "", "", "", "", "", "", "", "", "", "", "E", "EX"},
         [] {},
         "(NOTE: RECOMMENDED VALUE IS [0.015])"},
        {"event 2 model file does not walk",
         {"6", "10102", "10103", "3", "0", "0", "0.015", "0", "", "E", "EX"},
         [] {
             std::string bytes = TemporaryDirectory::get("AB0101ZZ.Z12");
             TemporaryDirectory::put("AB0101ZZ.Z12", bytes.substr(0, bytes.size() - 12));
         },
         " * MODEL FILE [AB0101ZZ.Z12] CANNOT BE CHANGED; NOTHING WAS CHANGED:"},
        {"event 1 model file of the link's map missing",
         {"6", "10105", "10201", "3", "4", "0", "0.015", "0", "", "E", "EX"},
         [] { std::filesystem::remove("AB0102ZZ.Z11"); },
         " * DATA FILE [AB0102ZZ.Z11] DOES NOT EXIST"},
        {"full street table in event 2",
         {"7", "10103", "10104", "", "22", "", "", "", "", "", "", "", "", ""},
         [] {
             ModelFile file = read_model_file("AB0101ZZ.Z12");
             file.header.set_street_section_count(50);
             write_model_file("AB0101ZZ.Z12", file);
         },
         "    * PROCESS NEGATED -- All [50] Street Sections have been Used!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory dir;
        test::editor_study().write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        c.spoil();
        const auto before = test::all_files();
        std::vector<std::string> lines = ENTER_MODULE;
        lines.insert(lines.end(), c.typed.begin(), c.typed.end());
        expect_refused_edit(lines, before, c.shown);
    }
}

TEST_F(EditorTest, LinkEditUpgradesAnOldHeaderAndKeepsTheOldFileInTempDat)
{
    write_study(test::editor_study());
    // Storm event 2 comes from an older hydrology program: a 10-section street table.
    ModelFile old = read_model_file("AB0101ZZ.Z12");
    old.header.values.erase(old.header.values.begin() + 157, old.header.values.begin() + 517);
    write_model_file("AB0101ZZ.Z12", old);
    const std::string old_bytes = TemporaryDirectory::get("AB0101ZZ.Z12");
    const std::string event_1 = TemporaryDirectory::get("AB0101ZZ.Z11");

    EXPECT_EQ(run_module({"", "AB", "7", "10103", "10104", "", "22", "", "", "", "", "", "", "", "", "E", "EX"}), 0u)
        << window_.dump();
    EXPECT_EQ(TemporaryDirectory::get("TEMP.DAT"), old_bytes);
    const ModelFile upgraded = read_model_file("AB0101ZZ.Z12");
    ASSERT_EQ(upgraded.header.length(), FULL_HEADER_VALUES);
    EXPECT_EQ(upgraded.header.street_section_count(), 3);
    for (int k = 1; k <= 157; ++k) {
        if (k == 67 || (k >= 86 && k <= 94)) continue;  // the count and the added section 3
        EXPECT_EQ(upgraded.header.value(k), old.header.value(k)) << k;
    }
    for (int k = 158; k <= 517; ++k) EXPECT_EQ(upgraded.header.value(k), 0.0f) << k;
    for (int k = 158; k <= OLD_FULL_HEADER_VALUES; ++k)
        EXPECT_EQ(upgraded.header.value(k + 360), old.header.value(k)) << k;
    EXPECT_NE(TemporaryDirectory::get("AB0101ZZ.Z11"), event_1);
}

TEST_F(EditorTest, LinkIsFoundInItsMapOrRegionFileByModelType)
{
    struct Case {
        int model_type;
        std::string data_base;   // where the link's record stands
        std::string model_file;  // event 1 model file of the link
    };
    const Case cases[] = {
        {3, "AB0134ZZ.ZLL", "AB0134ZZ.Z11"}, {6, "AB0134ZZ.ZLL", "AB0134ZZ.Z11"}, {9, "AB0100ZZ.ZLL", "AB0100ZZ.Z11"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model_type);
        TemporaryDirectory dir;
        test::StudyBuilder study("AB", c.model_type, 1);
        study.add_node(13401.0f, 120.0f);
        study.add_node(13402.0f, 110.0f, {4.0f});
        study.add_node(13403.0f, 100.0f, {6.0f});
        study.add_initial_link(13401.0f, 13402.0f, 300.0f);
        study.add_link(13402.0f, 13403.0f, 400.0f, test::Element::pipe(1.5f));
        study.add_subarea(13401.0f, 3.0f);
        study.write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_module({"", "AB", "6", "13402", "13403", "2.5", "0", "0", "0.013", "0", "E", "EX"}), 0u)
            << window_.dump();
        const std::vector<LinkRecord> links = read_link_data_base(c.data_base, FilePresence::MustExist);
        ASSERT_EQ(links.size(), 2u);
        EXPECT_EQ(links[1].element_height(), 2.5f);
        ModelFile file = read_model_file(c.model_file);
        const ModelGroup* pipe = test::find_group(file, 13402.0f, 13403.0f);
        ASSERT_NE(pipe, nullptr);
        EXPECT_EQ(pipe->values[4], 30.0f);
    }
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// A change whose new files cannot all be written is refused in the window,
// naming the file; no old file is replaced, and the history log does not
// claim it.
TEST_F(EditorTest, AChangeThatCannotBeWrittenIsNotLogged)
{
    struct Case {
        const char* name;
        std::vector<std::string> typed;
    };
    const Case cases[] = {
        {"pipe diameter", {"6", "10102", "10103", "3", "0", "0", "0.015", "0"}},
        {"street half-width", {"7", "10103", "10104", "", "22", "", "", "", "", "", "", "", ""}},
        {"land-use cell", {"1", "10101", "2", "5", "3", "1.5", "E"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryDirectory dir;
        test::editor_study().write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        // The new content of storm event 2's model file cannot be put beside it.
        std::filesystem::create_directory(".AB0101ZZ.Z12.velm-run");
        const auto before = test::all_files();
        test::ScriptedWindow window;
        Session session{window, clock_};
        std::vector<std::string> lines{"", "AB"};
        lines.insert(lines.end(), c.typed.begin(), c.typed.end());
        window.type(lines);
        LauncherCall call;
        // The script ends at the refusal's RETURN.
        EXPECT_THROW(run_network_editor_module(session, call), test::ScriptExhausted);
        EXPECT_NE(window.dump().find("NOTHING WAS CHANGED"), std::string::npos) << window.dump();
        EXPECT_NE(window.dump().find("'AB0101ZZ.Z12'"), std::string::npos) << window.dump();
        EXPECT_EQ(test::all_files(), before);
        EXPECT_FALSE(std::filesystem::exists("ABHISTZZ.DAT"));
    }
}

}  // namespace
}  // namespace velm
