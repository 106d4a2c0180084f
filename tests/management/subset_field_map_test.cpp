#include "management/subset_field_map.h"

#include <gtest/gtest.h>

#include "management/subset_field_map_editor.h"
#include "platform/files.h"
#include "support/scripted_window.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

std::string format_three(int value)
{
    std::string text = std::to_string(value);
    return std::string(3 - text.size(), ' ') + text;
}

SubsetFieldMap default_map()
{
    SubsetFieldMap map;
    set_subset_field_map_defaults(map);
    return map;
}

TEST(SubsetSpecification, DefaultsSavedAndReadBackExactly)
{
    test::TemporaryDirectory directory;
    SubsetFieldMap map = default_map();
    EXPECT_EQ(subset_field_count(map.fields(DataBaseKind::NodeKind)), 15);
    EXPECT_EQ(subset_field_count(map.fields(DataBaseKind::SubareaKind)), 26);
    EXPECT_EQ(subset_field_count(map.fields(DataBaseKind::LinkKind)), 30);
    map.fields(DataBaseKind::LinkKind)[59] = 188;
    write_subset_specification("ABTRVLZZ.SST", map);

    const std::string bytes = test::TemporaryDirectory::get("ABTRVLZZ.SST");
    ASSERT_EQ(bytes.size(), 3u * 242u) << "three lines of 240 characters";
    EXPECT_EQ(bytes.substr(0, 28), "   1   2   4  55  56  57 226");
    EXPECT_EQ(bytes.substr(2 * 242 + 236, 6), " 188\r\n");

    SubsetFieldMap read;
    ASSERT_TRUE(read_subset_specification("ABTRVLZZ.SST", read));
    EXPECT_EQ(read.global_field, map.global_field);
    EXPECT_FALSE(read_subset_specification("ACTRVLZZ.SST", read)) << "no file: the map stays";
}

TEST(SubsetSpecification, EntriesThatNameNoColumnActAsEmpty)
{
    test::TemporaryDirectory directory;
    std::string node_line = "1 656 2 -4";
    std::string subarea_line = "1 189 -3 188";
    std::string link_line = "1 2 0 188";
    for (int k = 4; k < 60; ++k) {
        node_line += " 0";
        subarea_line += " 0";
        link_line += " 0";
    }
    test::TemporaryDirectory::put("ABTRVLZZ.SST", node_line + "\r\n" + subarea_line + "\r\n" + link_line + "\r\n");
    SubsetFieldMap map = default_map();
    ASSERT_TRUE(read_subset_specification("ABTRVLZZ.SST", map));
    const SubsetFieldList& nodes = map.fields(DataBaseKind::NodeKind);
    EXPECT_EQ((std::vector<int>(nodes.begin(), nodes.begin() + 4)), (std::vector<int>{1, 0, 2, 0}));
    EXPECT_EQ(subset_field_count(nodes), 2);
    EXPECT_EQ(subset_leading_fields(nodes), 1);
    const SubsetFieldList& subareas = map.fields(DataBaseKind::SubareaKind);
    EXPECT_EQ((std::vector<int>(subareas.begin(), subareas.begin() + 4)), (std::vector<int>{1, 0, 0, 188}));
    EXPECT_EQ(subset_field_count(map.fields(DataBaseKind::LinkKind)), 3);
}

TEST(SubsetSpecification, UnreadableFileNamesItself)
{
    test::TemporaryDirectory directory;
    test::TemporaryDirectory::put("ABTRVLZZ.SST", "1 2 x\r\n");
    SubsetFieldMap map = default_map();
    try {
        read_subset_specification("ABTRVLZZ.SST", map);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ABTRVLZZ.SST"), std::string::npos) << error.what();
    }
}

// The editor over one kind's list, with the typed lines.
struct EditorRun {
    SubsetFieldMap map = default_map();
    test::ScriptedWindow window;

    const SubsetFieldList& edit(DataBaseKind kind, const std::vector<std::string>& typed)
    {
        window.type(typed);
        edit_subset_field_map(window, map, kind);
        EXPECT_EQ(window.lines_left(), 0u) << window.dump();
        return map.fields(kind);
    }
    std::pair<int, int> cursor(std::size_t read) const { return window.read_positions().at(read); }
};

TEST(SubsetFieldMapEditor, PageShowsTheFieldsAndTheMarkerStartsAfterTheKey)
{
    struct Case {
        DataBaseKind kind;
        std::string title;
        int first_row;  // row of the first editable field
    };
    const Case cases[] = {{DataBaseKind::NodeKind, "NODE DATA BASE SUBSET SPECIFICATIONS:", 7},
                          {DataBaseKind::SubareaKind, "SUBAREA DATA BASE SUBSET SPECIFICATIONS:", 7},
                          {DataBaseKind::LinkKind, "LINK DATA BASE SUBSET SPECIFICATIONS:", 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        EditorRun run;
        run.edit(c.kind, {"B", "E"});
        const std::string& page = run.window.reads().at(0);
        EXPECT_EQ(test::snapshot_text(page, 2, 2, c.title.size()), c.title);
        EXPECT_EQ(test::snapshot_text(page, 7, 4, 20), "SUBSET     GLOBAL DA");
        EXPECT_EQ(test::snapshot_text(page, 1, 6, 29), "          1             [  1]");
        EXPECT_EQ(test::snapshot_text(page, 46, 20, 16), "30             [");
        EXPECT_EQ(test::snapshot_text(page, 30, c.first_row, 4), "<==?");
        EXPECT_EQ(run.cursor(0), std::make_pair(33, c.first_row));
        EXPECT_EQ(run.cursor(1), std::make_pair(33, c.first_row)) << "B stops at the first editable field";
    }
}

TEST(SubsetFieldMapEditor, ValuesOutsideTheKindsColumnsAreAskedAgain)
{
    struct Case {
        DataBaseKind kind;
        std::string refused;
        std::string accepted;
        int value;
    };
    const Case cases[] = {{DataBaseKind::NodeKind, "656", "655", 655},
                          {DataBaseKind::SubareaKind, "189", "2", 2},
                          {DataBaseKind::LinkKind, "2", "188", 188},
                          {DataBaseKind::LinkKind, "abc", "3", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused);
        EditorRun run;
        const int first = c.kind == DataBaseKind::LinkKind ? 3 : 2;
        const SubsetFieldList& list = run.edit(c.kind, {"c", c.refused, c.accepted, "E"});
        EXPECT_EQ(list[static_cast<std::size_t>(first - 1)], c.value);
        const int row = 5 + first;
        EXPECT_EQ(test::snapshot_text(run.window.reads().at(2), 25, row, 10), "[   ]     ")
            << "the refused entry cleared";
        EXPECT_EQ(run.window.text_at(26, row, 3), format_three(c.value));
        EXPECT_EQ(run.cursor(3), std::make_pair(33, row + 1)) << "on to the next field";
    }
}

TEST(SubsetFieldMapEditor, DeleteAndInsertShiftTheFieldsBelow)
{
    {
        EditorRun run;
        // Down to field 5, delete it.
        const SubsetFieldList& list = run.edit(DataBaseKind::NodeKind, {"", "", "", "D", "E"});
        EXPECT_EQ((std::vector<int>(list.begin(), list.begin() + 16)),
                  (std::vector<int>{1, 2, 4, 55, 57, 226, 227, 228, 229, 230, 231, 295, 296, 297, 0, 0}));
        EXPECT_EQ(run.window.text_at(26, 10, 3), " 57") << "field 5 shows the shifted value";
        EXPECT_EQ(run.window.text_at(26, 20, 3), "  0") << "field 15 now empty";
        EXPECT_EQ(run.cursor(4), std::make_pair(33, 10)) << "the marker stays on field 5";
    }
    {
        EditorRun run;
        // Field 15 is the last of the left half: the insert shifts it into the right half.
        std::vector<std::string> typed(13, "");
        typed.insert(typed.end(), {"a", "300", "E"});
        const SubsetFieldList& list = run.edit(DataBaseKind::NodeKind, typed);
        EXPECT_EQ(list[14], 300);
        EXPECT_EQ(list[15], 297);
        EXPECT_EQ(run.window.text_at(62, 6, 3), "297") << "field 16 redrawn in the right half";
        EXPECT_EQ(run.cursor(15), std::make_pair(69, 6)) << "after the value, field 16";
    }
}

TEST(SubsetFieldMapEditor, InsertAndDeleteOnPageTwoAndAtTheLastField)
{
    // A full node list, 1 to 60 mapped to columns 101 to 160 past the key.
    struct Case {
        const char* name;
        int field;  // the field the command is typed on
        std::string command;
        std::vector<std::string> value;  // typed after the command
        std::vector<int> fields_45_to_60;
    };
    std::vector<int> unchanged;
    for (int j = 45; j <= 60; ++j) unchanged.push_back(100 + j);
    std::vector<int> deleted_45 = {146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157, 158, 159, 160, 0};
    std::vector<int> inserted_45 = {300, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157, 158, 159};
    std::vector<int> inserted_60 = unchanged;
    inserted_60.back() = 300;
    std::vector<int> deleted_60 = unchanged;
    deleted_60.back() = 0;
    const Case cases[] = {{"D on field 45", 45, "D", {}, deleted_45},
                          {"A on field 45", 45, "A", {"300"}, inserted_45},
                          {"A on field 60 replaces it alone", 60, "A", {"300"}, inserted_60},
                          {"D on field 60 empties it", 60, "D", {}, deleted_60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorRun run;
        SubsetFieldList& list = run.map.fields(DataBaseKind::NodeKind);
        for (int j = 2; j <= 60; ++j) list[static_cast<std::size_t>(j - 1)] = 100 + j;
        std::vector<std::string> typed(static_cast<std::size_t>(c.field - 2), "");
        typed.push_back(c.command);
        typed.insert(typed.end(), c.value.begin(), c.value.end());
        if (c.field < 60 || c.command == "D") typed.push_back("E");
        const SubsetFieldList& edited = run.edit(DataBaseKind::NodeKind, typed);
        EXPECT_EQ(std::vector<int>(edited.begin() + 44, edited.end()), c.fields_45_to_60);
        // The page shows the list as it now stands: field 45 on row 20 of
        // the left half, fields 46 to 60 in the right half.
        EXPECT_EQ(run.window.text_at(26, 20, 3), format_three(edited[44]));
        for (int j = 46; j <= 60; ++j) {
            EXPECT_EQ(run.window.text_at(62, j - 40, 3), format_three(edited[static_cast<std::size_t>(j - 1)])) << j;
        }
    }
}

TEST(SubsetFieldMapEditor, PagesReinstallAndLeavingPastTheLastField)
{
    EditorRun run;
    std::vector<std::string> typed = {"C", "99", "R"};  // change, then the defaults again
    typed.insert(typed.end(), 29, "");                  // from field 2 down to field 31 on page 2
    typed.insert(typed.end(), {"B", "Q"});              // back to page 1, an unknown command
    typed.insert(typed.end(), 31, "");                  // field 30 to past field 60
    const SubsetFieldList& list = run.edit(DataBaseKind::NodeKind, typed);
    EXPECT_EQ(list, default_map().fields(DataBaseKind::NodeKind));
    const std::size_t on_page_two = 3 + 29;
    EXPECT_EQ(test::snapshot_text(run.window.reads().at(on_page_two), 1, 6, 29), "         31             [  0]");
    EXPECT_EQ(run.cursor(on_page_two), std::make_pair(33, 6));
    EXPECT_EQ(test::snapshot_text(run.window.reads().at(on_page_two + 1), 10, 6, 2), " 1") << "page 1 again";
    EXPECT_EQ(run.cursor(on_page_two + 1), std::make_pair(69, 20)) << "on field 30";
    EXPECT_EQ(run.cursor(on_page_two + 2), std::make_pair(69, 20)) << "an unknown command asks again";
}

}  // namespace
}  // namespace velm
