#include "module_run.h"

namespace velm::test {

StudyBuilder two_map_management_study(int storm_events)
{
    StudyBuilder study("AB", 6, storm_events);
    const auto flows = [&](std::vector<float> all) {
        all.resize(static_cast<std::size_t>(storm_events));
        return all;
    };
    study.add_node(10101.0f, 150.0f);
    study.add_node(10102.0f, 140.0f, flows({10.0f, 12.0f}));
    study.add_node(10203.0f, 130.0f, flows({14.0f, 16.0f}));
    study.add_initial_link(10101.0f, 10102.0f, 500.0f);
    study.add_link(10102.0f, 10203.0f, 600.0f, Element::pipe(2.0f));
    study.add_subarea(10101.0f, 4.0f);
    study.add_subarea(10102.0f, 2.5f, SubareaEntry::AtNode);
    return study;
}

}  // namespace velm::test
