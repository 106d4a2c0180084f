// A study for the GIS update: three maps in two regions (1234 and 1235 in
// region 12, 1301 in region 13), with a link from map 1234 into map 1235 and
// one from region 12 into region 13, and every element kind the pass
// updates: an initial subarea (code 21), a pipe (41), a pipe under a street
// (43), a box (46), an open channel with a subarea (51), a street (61) and a
// subarea added at a node (81).  The GIS exports are written with it.
#pragma once

#include <map>
#include <string>

#include "gis/gis_update_module.h"
#include "platform/stop.h"
#include "shell/session.h"
#include "support/scripted_window.h"
#include "support/study_builder.h"
#include "support/temporary_directory.h"

namespace velm::test {

// Runs the GIS update to its stop with the lines already typed: the stop's
// reason ("lines ran out" when the typed lines ran out first, "did not stop"
// when it returned), and in `refused` whether it ended refused.
inline std::string run_gis_update_to_stop(Session& session, LauncherCall& call, bool& refused)
{
    refused = false;
    try {
        run_gis_update_module(session, call);
    } catch (const ProgramStop& stop) {
        refused = stop.refused;
        return stop.reason;
    } catch (const ScriptExhausted&) {
        return "lines ran out";
    }
    return "did not stop";
}

inline StudyBuilder gis_study(int model_type, int storm_events = 1)
{
    StudyBuilder study("AB", model_type, storm_events);
    study.add_node(123401.0f, 200.0f, {5.0f});
    study.add_node(123402.0f, 190.0f, {8.0f});
    study.add_node(123403.0f, 180.0f, {10.0f});
    study.add_node(123501.0f, 170.0f, {12.0f});
    study.add_node(123502.0f, 160.0f, {14.0f});
    study.add_node(130101.0f, 150.0f, {16.0f});
    study.add_node(130102.0f, 140.0f, {18.0f});
    study.add_initial_link(123401.0f, 123402.0f, 400.0f);
    study.add_link(123402.0f, 123403.0f, 500.0f, Element::pipe(1.5f));
    study.add_link(123403.0f, 123501.0f, 600.0f, Element::pipe(2.0f), StreetSection{});
    study.add_link(123501.0f, 123502.0f, 700.0f, Element::box(3.0f, 4.0f));
    study.add_link(123502.0f, 130101.0f, 800.0f, Element::channel(4.0f, 6.0f, 2.0f));
    study.add_link(130101.0f, 130102.0f, 900.0f, Element::none(), StreetSection{});
    study.add_subarea(123401.0f, 3.0f, SubareaEntry::Initial, 2.0f, 3.0f);
    study.add_subarea(123403.0f, 1.5f, SubareaEntry::AtNode, 4.0f, 2.0f);
    study.add_subarea(130101.0f, 2.0f, SubareaEntry::AlongLink, 5.0f, 3.0f);
    study.add_gis_exports();
    return study;
}

// The GIS files the builder wrote into the directory, by name, removed from
// the directory, so that a sort writes them afresh.
inline std::map<std::string, std::string> take_gis_files(const StudyBuilder& study)
{
    std::map<std::string, std::string> files;
    for (const std::string& stem : study.gis_file_stems()) {
        for (const char* extension : {".ZZN", ".ZZL", ".ZZS"}) {
            const std::string name = stem + extension;
            files[name] = TemporaryDirectory::get(name);
            std::filesystem::remove(name);
        }
    }
    return files;
}

}  // namespace velm::test
