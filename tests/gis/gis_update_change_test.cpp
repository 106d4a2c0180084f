// The GIS update's pass is one change: the sorted and stamped GIS files, the
// check reports, every storm event's model files with their "OO" copies and
// the history note are all as before or all as after, whenever the pass is
// stopped or killed and the program started again.  So a rerun after a
// stopped pass still finds the original model files and keeps them in the
// "OO" copies.  A file the pass cannot write refuses it in the window, and
// nothing changes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gis/gis_study.h"
#include "gis/gis_update_module.h"
#include "platform/file_change.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/model_list.h"
#include "support/change_steps.h"
#include "support/session_test.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::TemporaryDirectory;
using Files = std::map<std::string, std::string>;

// The banner's RETURN, the study, and RETURN under the closing message.
const std::vector<std::string> UPDATE = {"", "AB", ""};

bool is_model_file(const std::string& name)
{
    return name.size() == 12 && std::isdigit(static_cast<unsigned char>(name[2])) && name.substr(6, 5) == "ZZ.Z1";
}

std::string oo_copy_of(const std::string& model_file)
{
    return model_file.substr(0, 6) + "OO." + model_file.substr(9);
}

class GisUpdateChangeTest : public test::SessionTest {
protected:
    // Three maps in two regions, the storm events (three unless told), a
    // history log from an earlier visit and the tool-status file; the exports
    // hold changed GIS data, so that every model file changes.
    void write_study(int storm_events = 3)
    {
        test::StudyBuilder study = test::gis_study(3, storm_events);
        study.write(".");
        study.node(123402.0f).node_elevation() = 188.5f;
        study.link(123402.0f, 123403.0f).link_length() = 510.0f;
        study.link(123402.0f, 123403.0f).element_height() = 1.75f;
        study.subarea(123403.0f).cell_area(1) = 2.5f;
        study.link(123502.0f, 130101.0f).element_base_width() = 7.0f;
        study.link(123501.0f, 123502.0f).element_base_width() = 4.5f;
        study.link(130101.0f, 130102.0f).link_length() = 950.0f;
        study.write_gis_exports(".");
        TemporaryDirectory::put("ABHISTZZ.DAT", "an earlier visit\r\n\f\r\n");
        std::string flags;
        for (int k = 0; k < 100; ++k) flags += "0\r\n";
        TemporaryDirectory::put("ABtoolzz.set", flags);
    }

    // The module with the typed lines until it stops or they run out; the
    // reason of the stop.
    std::string update(const std::vector<std::string>& typed = UPDATE, bool launched = false)
    {
        window_ = test::ScriptedWindow();
        window_.type(typed);
        LauncherCall call;
        if (launched) {
            call.run_count = 1;
            call.line = launcher_line("AB");
        }
        return test::run_gis_update_to_stop(session_, call, refused_);
    }
    bool refused_ = false;  // the last update ended as refused
};

// The lines of a study's text file, the first line that starts with
// `start` changed by `edit`; its line number.
int edit_line(const std::string& file, const std::string& start, const std::function<void(std::string&)>& edit)
{
    std::vector<std::string> lines = read_text_lines(file);
    const auto line =
        std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(start); });
    if (line == lines.end()) {
        ADD_FAILURE() << file << " holds no line starting \"" << start
                      << "\": " << (lines.empty() ? std::string("no line") : lines.front().substr(0, 60));
        return 0;
    }
    edit(*line);
    write_text_lines(file, lines);
    return static_cast<int>(line - lines.begin()) + 1;
}

// The blank-separated value `value` (counted from 1, before any quoted text)
// of a line with a slash put after its first character; the value as it
// then stands.
std::string put_slash(std::string& line, int value)
{
    std::size_t start = 0;
    for (int k = 1; k <= value; ++k) {
        start = line.find_first_not_of(' ', k == 1 ? 0 : line.find(' ', start));
    }
    line.insert(start + 1, "/");
    return line.substr(start, line.find(' ', start) - start);
}

TEST_F(GisUpdateChangeTest, APassStoppedOrKilledAtAnyStepIsAllOldOrAllNewAtTheNextStart)
{
    // Two storm events: six model files are as many as nine to the change,
    // and the walk of every step stays short.
    write_study(2);
    const Files before = test::study_files();
    ASSERT_EQ(update(), "GIS update done");
    const Files after = test::study_files();
    int model_files = 0;
    for (const auto& [name, bytes] : before) {
        if (!is_model_file(name)) continue;
        ++model_files;
        // Binary files: compared whole, shown by name only.
        ASSERT_TRUE(after.at(name) != bytes) << name;
        ASSERT_TRUE(after.at(oo_copy_of(name)) == bytes) << name;
    }
    ASSERT_EQ(model_files, 6);
    ASSERT_NE(after.at("ABHISTZZ.DAT"), before.at("ABHISTZZ.DAT"));
    ASSERT_NE(after.at("AB1234ZZ.ZZL"), before.at("AB1234ZZ.ZZL"));
    test::restore_study_files(before);
    stop_change_at_step(0);
    ASSERT_EQ(update(), "GIS update done");
    const long steps = change_steps_taken();
    test::restore_study_files(before);

    // Stopped and killed at every step.  Past the commit point the next
    // start must finish the pass, before it nothing of the pass may be left.
    test::walk_change_steps(
        steps + 1, [&] { update(); }, [] { recover_interrupted_changes({"."}); },
        [&](const test::ChangeStepTurn& turn) {
            const Files now = test::study_files();
            if (turn.as_after()) {
                EXPECT_TRUE(now == after) << "the pass is not all there";
            } else {
                EXPECT_TRUE(now == before) << "the pass is not all undone";
            }
            if (!turn.killed && !turn.as_after()) {
                // The pass run again to its end keeps the originals in the
                // "OO" copies, whatever the stopped pass had written.
                EXPECT_EQ(update(), "GIS update done");
                EXPECT_TRUE(test::study_files() == after) << "the pass run again differs from a first pass";
                for (const auto& [name, bytes] : before) {
                    if (is_model_file(name)) {
                        EXPECT_TRUE(TemporaryDirectory::get(oo_copy_of(name)) == bytes) << name;
                    }
                }
            }
            test::restore_study_files(before);
        });
}

TEST_F(GisUpdateChangeTest, AFileThePassCannotWriteIsRefusedInTheWindowAndNothingChanges)
{
    const struct {
        const char* file;
        const char* what;
        bool launched;
    } cases[] = {
        {"AB1235ZZ.Z12", "a model file of the second storm event", false},
        {"AB1301OO.Z13", "the OO copy of an earlier update", false},
        {"AB1234ZZ.ZZL", "a GIS file the sort rewrites", false},
        {"ABHISTZZ.DAT", "the history log", false},
        {"ABHISTZZ.DAT", "the history log, in a launched run", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory directory;
        write_study();
        if (!fs::exists(c.file)) TemporaryDirectory::put(c.file, "an earlier copy");
        chmod(c.file, 0444);
        const Files before = test::study_files();
        // The banner's RETURN and the study when chosen from the menu, and
        // RETURN under the refusal.
        EXPECT_EQ(c.launched ? update({""}, true) : update({"", "AB", ""}), "GIS update refused");
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
        EXPECT_EQ(test::study_files(), before);
        EXPECT_FALSE(test::has_hidden_file());
        EXPECT_TRUE(window_.has_shown("NO FILE WAS CHANGED")) << window_.dump();
        EXPECT_TRUE(window_.has_shown(std::string(c.file) + "'")) << window_.dump();
        EXPECT_EQ(window_.beeps(), 1);
    }
}

// The channel depths of a model file hold the freeboards of the map's link
// data base, which the GIS files do not carry: a link data base that cannot
// be read, or a missing one of a map with channels, refuses the update in the
// window, naming the file (its line and value where one is broken), and
// nothing changes: no model file, no "OO" copy, no history note.  A slash
// in a GIS export is a broken record, as in a data base.  The files are
// named as they stand on the disk.
TEST_F(GisUpdateChangeTest, InputsThePassCannotTrustAreRefusedAndNothingChanges)
{
    // The channel (123502 to 130101) is a link of map 1301.
    const std::string channel = " 123502.0 130101.0 ";
    struct Case {
        const char* what;
        std::function<std::vector<std::string>()> spoil;  // the texts the refusal shows
        bool launched = false;
    };
    const std::vector<Case> cases = {
        {"a slash in a value of the link data base of a map with a channel",
         [&] {
             std::string value;
             const int line = edit_line("AB1301ZZ.ZLL", channel, [&](std::string& l) { value = put_slash(l, 3); });
             return std::vector<std::string>{"file \"AB1301ZZ.ZLL\", line " + std::to_string(line) + ", value 3: \"" +
                                             value + "\""};
         }},
        {"the same, in a launched run",
         [&] {
             std::string value;
             const int line = edit_line("AB1301ZZ.ZLL", channel, [&](std::string& l) { value = put_slash(l, 4); });
             return std::vector<std::string>{"file \"AB1301ZZ.ZLL\", line " + std::to_string(line) + ", value 4: \"" +
                                             value + "\""};
         },
         true},
        {"a line of the link data base cut short",
         [&] {
             const int line = edit_line("AB1301ZZ.ZLL", channel, [](std::string& l) { l.erase(l.rfind(' ')); });
             return std::vector<std::string>{"file \"AB1301ZZ.ZLL\", line " + std::to_string(line) + ":",
                                             "values where a record has"};
         }},
        {"the link data base of a map with a channel missing",
         [] {
             fs::remove("AB1301ZZ.ZLL");
             return std::vector<std::string>{"Link data base 'AB1301ZZ.ZLL' does not exist"};
         }},
        {"a slash in a value of the link export",
         [&] {
             std::string value;
             const int line = edit_line("ABLINKZZ.ASC", channel, [&](std::string& l) { value = put_slash(l, 4); });
             return std::vector<std::string>{"file \"ABLINKZZ.ASC\", line " + std::to_string(line) + ", value 4: \"" +
                                             value + "\""};
         }},
        {"a slash in a value of the node export",
         [&] {
             std::string value;
             const int line = edit_line("ABNODEZZ.ASC", "130101.0 ", [&](std::string& l) { value = put_slash(l, 2); });
             return std::vector<std::string>{"file \"ABNODEZZ.ASC\", line " + std::to_string(line) + ", value 2: \"" +
                                             value + "\""};
         }},
        {"a slash in a value of the subarea export",
         [&] {
             std::string value;
             const int line = edit_line("ABSUBSZZ.ASC", "130101.0 ", [&](std::string& l) { value = put_slash(l, 1); });
             return std::vector<std::string>{"file \"ABSUBSZZ.ASC\", line " + std::to_string(line) + ", value 1: \"" +
                                             value + "\""};
         }},
        {"a slash after the last value of a line of the node export",
         [&] {
             const int line = edit_line("ABNODEZZ.ASC", "123402.0 ", [](std::string& l) { l += " /"; });
             return std::vector<std::string>{"file \"ABNODEZZ.ASC\", line " + std::to_string(line) + ", value ",
                                             "\"/\" holds a slash"};
         }},
        {"a slash in an export whose name stands in lower case on the disk",
         [&] {
             edit_line("ABLINKZZ.ASC", channel, [](std::string& l) { put_slash(l, 3); });
             fs::rename("ABLINKZZ.ASC", "ablinkzz.asc");
             return std::vector<std::string>{"file \"ablinkzz.asc\", line "};
         }},
        {"a GIS file that the pass reads as it stands, its line cut short",
         [] {
             // Without the subarea export the sort and the checks leave the
             // subarea GIS files as they stand, and the pass reads them.
             fs::remove("ABSUBSZZ.ASC");
             edit_line("AB1234ZZ.ZZS", "", [](std::string& l) { l.erase(l.rfind(' ')); });
             return std::vector<std::string>{"file \"AB1234ZZ.ZZS\", line 1:"};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory directory;
        write_study();
        const std::vector<std::string> shown = c.spoil();
        const Files before = test::study_files();
        EXPECT_EQ(c.launched ? update({""}, true) : update(), "GIS update refused");
        EXPECT_TRUE(refused_);
        EXPECT_TRUE(test::study_files() == before) << "a file was changed";
        EXPECT_FALSE(fs::exists("AB1234OO.Z11"));
        EXPECT_FALSE(fs::exists("QEVCOM2.DAT"));
        EXPECT_FALSE(test::has_hidden_file());
        EXPECT_TRUE(window_.has_shown(" * THE UPDATE CANNOT BE MADE; NO FILE WAS CHANGED:")) << window_.dump();
        for (const std::string& text : shown) EXPECT_TRUE(window_.has_shown(text)) << text << "\n" << window_.dump();
    }
}

// The refusal stands on rows of its own: the lines of the sort that
// scrolled through the rows of the message and of the pause are gone, not
// left behind the shorter lines of the message or beside the pause.
TEST_F(GisUpdateChangeTest, TheRefusalStandsOnRowsOfItsOwn)
{
    test::StudyBuilder study = test::gis_study(3);
    // Nodes of twelve more maps: the sort's lines fill the window.
    for (int map = 1001; map <= 1012; ++map) study.add_node(static_cast<float>(map * 100 + 1), 100.0f);
    study.write(".");
    std::vector<std::string> links = read_text_lines("ABLINKZZ.ASC");
    put_slash(links.back(), 3);
    write_text_lines("ABLINKZZ.ASC", links);
    EXPECT_EQ(update(), "GIS update refused");
    const std::string& screen = window_.reads().back();
    const auto row = [](std::string text) {
        text.resize(SCREEN_COLUMNS, ' ');
        return text;
    };
    EXPECT_NE(test::snapshot_row(screen, 19).find("PROCESSING REGION"), std::string::npos)
        << "the sort's lines run down to the refusal\n"
        << screen;
    EXPECT_EQ(test::snapshot_row(screen, 20), row(" * THE UPDATE CANNOT BE MADE; NO FILE WAS CHANGED:")) << screen;
    EXPECT_EQ(test::snapshot_row(screen, 21).substr(0, 35), "   Data line of file \"ABLINKZZ.ASC\"") << screen;
    EXPECT_EQ(test::snapshot_row(screen, 22), row("   a data base record holds every value")) << screen;
    EXPECT_EQ(test::snapshot_row(screen, 23), row("")) << screen;
    EXPECT_EQ(test::snapshot_row(screen, 24), row(std::string(32, ' ') + "  Press RETURN to continue ===>")) << screen;
}

// What the pass does not need, or what a record may hold, updates the
// study as a sound study is updated: a map without channels takes no
// freeboard from its link data base, and a slash in a quoted text of an
// export is text.
TEST_F(GisUpdateChangeTest, WhatThePassDoesNotNeedUpdatesAsBefore)
{
    write_study();
    ASSERT_EQ(update(), "GIS update done");
    const Files sound = test::study_files();
    const struct {
        const char* what;
        const char* spoiled;  // the file the case changes
        std::function<void()> spoil;
    } cases[] = {
        {"the link data base of a map without channels missing", "AB1234ZZ.ZLL", [] { fs::remove("AB1234ZZ.ZLL"); }},
        {"a slash in a quoted text of the link export", "ABLINKZZ.ASC",
         [] {
             edit_line("ABLINKZZ.ASC", " 123502.0 130101.0 ", [](std::string& l) { l.at(l.find('\'') + 1) = '/'; });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TemporaryDirectory directory;
        write_study();
        c.spoil();
        EXPECT_EQ(update(), "GIS update done");
        EXPECT_FALSE(refused_);
        Files now = test::study_files();
        Files expected = sound;
        now.erase(c.spoiled);
        expected.erase(c.spoiled);
        EXPECT_TRUE(now == expected) << "the update differs from the sound study's";
    }
}

// A model file that its model list names twice is updated twice, from its
// first update, and its "OO" copy keeps the file as it was before the pass,
// not as the first update left it.
TEST_F(GisUpdateChangeTest, AModelFileListedTwiceKeepsItsOriginalInItsOOCopy)
{
    write_study();
    ModelListFile list = read_model_list_file("ABTRVLZZ.Z11");
    list.entries.push_back(list.entries.front());
    write_model_list_file("ABTRVLZZ.Z11", list.entries);
    const std::string listed_twice = list.entries.front().model_file_name();
    const std::string original = TemporaryDirectory::get(listed_twice);
    ASSERT_EQ(update(), "GIS update done");
    EXPECT_TRUE(TemporaryDirectory::get(oo_copy_of(listed_twice)) == original);
    EXPECT_FALSE(TemporaryDirectory::get(listed_twice) == original);
}

// A launched run in toolset mode whose reply cannot be written once the
// update is in place says so: the run ends refused, the launcher finding no
// reply, but the engineer reads that the work is done, not that the program
// cannot go on, and does not start the update again over its "OO" copies.
TEST_F(GisUpdateChangeTest, AReplyThatCannotBeWrittenTellsThatTheUpdateIsInPlace)
{
    write_study();
    const Files before = test::study_files();
    fs::create_directory("QEVCOM2.DAT");
    window_ = test::ScriptedWindow();
    window_.type("");  // RETURN under the message
    LauncherCall call;
    call.run_count = TOOLSET_MODE_COUNT;
    call.line = launcher_line("AB");
    EXPECT_EQ(test::run_gis_update_to_stop(session_, call, refused_), "launcher reply cannot be written");
    EXPECT_TRUE(refused_);
    EXPECT_TRUE(window_.has_shown(" * THE WORK IS DONE, BUT THE LAUNCHER'S REPLY CANNOT BE WRITTEN:"))
        << window_.dump();
    EXPECT_TRUE(window_.has_shown("QEVCOM2.DAT")) << window_.dump();
    for (const auto& [name, bytes] : before) {
        if (!is_model_file(name)) continue;
        EXPECT_TRUE(TemporaryDirectory::get(name) != bytes) << name << " not updated";
        EXPECT_TRUE(TemporaryDirectory::get(oo_copy_of(name)) == bytes) << oo_copy_of(name);
    }
    EXPECT_FALSE(test::has_hidden_file());
}

}  // namespace
}  // namespace velm
