// A map whose storm event files stop before the study's storm events do: an
// edit would change the files before the gap and leave the events
// disagreeing, so every editor refuses it, naming the missing file, and
// changes nothing.  A study whose events all stop there edits what it has.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "editor_study.h"

namespace velm {
namespace {

using test::EditorTest;
using test::TemporaryDirectory;

struct Editor {
    const char* name;
    int model_type;
    std::vector<std::string> typed;  // after the study, up to the refusal's RETURN
    std::vector<std::string> after;  // after the refusal's RETURN
};

// A row of a screen snapshot as the text alone would leave it.
std::string padded(std::string text)
{
    text.resize(80, ' ');
    return text;
}

const Editor EDITORS[] = {
    {"time of concentration (option 2)", 6, {"2", "10101", "12", "15.5", "E"}, {"E", "EX"}},
    {"land-use cell (option 1)", 3, {"1", "10101", "2", "5", "3", "1.5", "E"}, {"E", "EX"}},
    {"primary element of a link (option 6)", 3, {"6", "10102", "10103", "3", "0", "0", "0.015", "0"}, {"E", "EX"}},
};

TEST_F(EditorTest, AMissingStormEventFileOfAMapTheStudyStillHasRefusesTheEdit)
{
    struct Gap {
        const char* name;
        int storm_events;
        std::vector<std::string> removed;
        std::vector<std::pair<std::string, std::string>> renamed;  // a file moved to a later event
        std::string evidence;
    };
    const Gap gaps[] = {
        {"the study's model list of the event", 2, {"AB0101ZZ.Z12"}, {}, "   BUT [ABTRVLZZ.Z12] EXISTS: STORM EVENT 2"},
        {"a later event's model list",
         3,
         {"AB0101ZZ.Z12", "ABTRVLZZ.Z12"},
         {},
         "   BUT [ABTRVLZZ.Z13] EXISTS: STORM EVENT 2"},
        {"a later event's file of the map",
         3,
         {"AB0101ZZ.Z12", "ABTRVLZZ.Z12", "ABTRVLZZ.Z13"},
         {},
         "   BUT [AB0101ZZ.Z13] EXISTS: STORM EVENT 2"},
        {"both", 3, {"AB0101ZZ.Z12"}, {}, "   BUT [ABTRVLZZ.Z12] EXISTS: STORM EVENT 2"},
        // Event 9, the last a one-digit extension holds, alone tells of the
        // gap.
        {"event 9's model list alone",
         2,
         {"AB0101ZZ.Z12"},
         {{"ABTRVLZZ.Z12", "ABTRVLZZ.Z19"}},
         "   BUT [ABTRVLZZ.Z19] EXISTS: STORM EVENT 2"},
        {"event 9's file of the map alone",
         2,
         {"ABTRVLZZ.Z12"},
         {{"AB0101ZZ.Z12", "AB0101ZZ.Z19"}},
         "   BUT [AB0101ZZ.Z19] EXISTS: STORM EVENT 2"},
    };
    for (const Gap& gap : gaps) {
        for (const Editor& editor : EDITORS) {
            SCOPED_TRACE(std::string(gap.name) + ", " + editor.name);
            TemporaryDirectory dir;
            test::editor_study(editor.model_type, gap.storm_events).write(dir.path());
            TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
            for (const std::string& name : gap.removed) std::filesystem::remove(name);
            for (const auto& [from, to] : gap.renamed) std::filesystem::rename(from, to);
            const auto before = test::all_files();
            std::vector<std::string> typed{"", "AB"};
            typed.insert(typed.end(), editor.typed.begin(), editor.typed.end());
            typed.push_back("");
            typed.insert(typed.end(), editor.after.begin(), editor.after.end());
            const std::string refusal =
                expect_refused_edit(typed, before, {" * DATA FILE [AB0101ZZ.Z12] DOES NOT EXIST", gap.evidence});
            // The refusal on rows cleared for it: nothing of the editor's
            // screen beside it or below it down to the message row.
            EXPECT_EQ(test::snapshot_row(refusal, 15), padded(" * DATA FILE [AB0101ZZ.Z12] DOES NOT EXIST")) << refusal;
            EXPECT_EQ(test::snapshot_row(refusal, 16), padded(gap.evidence + " IS MISSING; NOTHING WAS CHANGED"))
                << refusal;
            for (int row = 17; row <= 21; ++row) EXPECT_EQ(test::snapshot_row(refusal, row), padded("")) << refusal;
        }
    }
}

TEST_F(EditorTest, AStudyOfOneStormEventEditsTheFileItHas)
{
    for (const Editor& editor : EDITORS) {
        SCOPED_TRACE(editor.name);
        TemporaryDirectory dir;
        test::editor_study(editor.model_type, 2).write(dir.path());
        TemporaryDirectory::put("ABINDXZZ.ZST", "index\r\n");
        // The study ends at storm event 1: neither the map's file nor the
        // model list of event 2.
        std::filesystem::remove("AB0101ZZ.Z12");
        std::filesystem::remove("ABTRVLZZ.Z12");
        const std::string first = TemporaryDirectory::get("AB0101ZZ.Z11");
        std::vector<std::string> typed{"", "AB"};
        typed.insert(typed.end(), editor.typed.begin(), editor.typed.end());
        typed.insert(typed.end(), editor.after.begin(), editor.after.end());
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run_module(typed), 0u) << window_.dump();
        EXPECT_NE(TemporaryDirectory::get("AB0101ZZ.Z11"), first);
        EXPECT_FALSE(std::filesystem::exists("AB0101ZZ.Z12"));
        EXPECT_TRUE(std::filesystem::exists("ABHISTZZ.DAT"));
    }
}

}  // namespace
}  // namespace velm
