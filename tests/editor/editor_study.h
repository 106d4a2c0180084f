// The study of the editor tests: two maps of two storm events with an
// initial subarea, a pipe, a pipe under a street, a street-only link, a
// subarea added at a node and a box into the second map; and the runner of the editor module.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/editor_module.h"
#include "platform/stop.h"
#include "support/program_run.h"
#include "support/session_test.h"
#include "support/study_builder.h"
#include "support/temporary_directory.h"

namespace velm::test {

inline StudyBuilder editor_study(int model_type = 3, int storm_events = 2)
{
    StudyBuilder study("AB", model_type, storm_events);
    study.add_node(10101.0f, 150.0f, {5.0f, 6.0f});
    study.add_node(10102.0f, 145.0f, {10.0f, 12.0f});
    study.add_node(10103.0f, 140.0f, {14.0f, 16.0f});
    study.add_node(10104.0f, 135.0f, {18.0f, 20.0f});
    study.add_node(10105.0f, 130.0f, {20.0f, 22.0f});
    study.add_node(10201.0f, 125.0f, {20.0f, 22.0f});
    study.add_initial_link(10101.0f, 10102.0f, 500.0f);
    study.add_link(10102.0f, 10103.0f, 600.0f, Element::pipe(2.0f));
    study.add_link(10103.0f, 10104.0f, 400.0f, Element::pipe(2.5f), StreetSection{});
    StreetSection narrow;
    narrow.half_width = 18.0f;
    narrow.crown_to_gradebreak = 12.0f;
    narrow.curb_height = 0.5f;
    study.add_link(10104.0f, 10105.0f, 300.0f, Element::none(), narrow);
    study.add_link(10105.0f, 10201.0f, 350.0f, Element::box(3.0f, 4.0f));
    study.add_subarea(10101.0f, 4.0f);
    study.add_subarea(10103.0f, 2.5f, SubareaEntry::AtNode, 3.0f, 2.0f);
    return study;
}

// Every file of the working directory (and below) with its bytes.
inline std::map<std::string, std::string> all_files()
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
        if (entry.is_regular_file()) files[entry.path().generic_string()] = TemporaryDirectory::get(entry.path());
    }
    return files;
}

class EditorTest : public SessionTest {
protected:
    // Runs the editor in a window of its own with the typed lines, every one
    // of which must be used, and expects every file of the working directory
    // to be as `before` and some screen to show `shown`.
    void expect_refused_edit(const std::vector<std::string>& typed, const std::map<std::string, std::string>& before,
                             const std::string& shown)
    {
        expect_refused_edit(typed, before, std::vector<std::string>{shown});
    }
    // The same, with every one of the texts `shown` on one screen; returns
    // the first such screen.
    std::string expect_refused_edit(const std::vector<std::string>& typed,
                                    const std::map<std::string, std::string>& before,
                                    const std::vector<std::string>& shown)
    {
        ScriptedWindow window;
        Session session{window, clock_};
        run_to_stop(window, typed, [&session] {
            LauncherCall call;
            run_network_editor_module(session, call);
        });
        EXPECT_EQ(all_files(), before);
        for (const std::string& screen : window.reads()) {
            bool all = true;
            for (const std::string& text : shown) all = all && screen.find(text) != std::string::npos;
            if (all) return screen;
        }
        ADD_FAILURE() << window.dump();
        return {};
    }

    // Writes the study with its string index, which the module asks for.
    void write_study(const StudyBuilder& study)
    {
        study.write(directory_.path());
        TemporaryDirectory::put(study.study_id() + "INDXZZ.ZST", "index\r\n");
    }

    // Runs the module with the typed lines until it stops; the lines left over.
    std::size_t run_module(const std::vector<std::string>& lines, LauncherCall call = {})
    {
        window_.type(lines);
        try {
            run_network_editor_module(session_, call);
        } catch (const ProgramStop&) {
        }
        return window_.lines_left();
    }
};

}  // namespace velm::test
