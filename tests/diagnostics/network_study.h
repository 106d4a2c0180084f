// A two-map study for the network checks: two headwaters meet at node
// 10103, the stream leaves map 101 at the seam node 10104 and ends at the
// outlet 10202 of map 102.  A subarea is added at 10104.
#pragma once

#include <cstdio>
#include <string>

#include "records/data_file_table.h"
#include "support/study_builder.h"

namespace velm::test {

inline StudyBuilder two_map_study()
{
    StudyBuilder study("AB", 6, 1);
    study.add_node(10101.0f, 120.0f);
    study.add_node(10102.0f, 118.0f);
    study.add_node(10103.0f, 110.0f, {12.0f});
    study.add_node(10104.0f, 105.0f, {15.0f});
    study.add_node(10201.0f, 100.0f, {16.0f});
    study.add_node(10202.0f, 95.0f, {17.0f});
    study.add_initial_link(10101.0f, 10103.0f, 400.0f);
    study.add_initial_link(10102.0f, 10103.0f, 300.0f);
    study.add_link(10103.0f, 10104.0f, 500.0f, Element::pipe(1.5f));
    study.add_link(10104.0f, 10201.0f, 600.0f, Element::pipe(2.0f));
    study.add_link(10201.0f, 10202.0f, 700.0f, Element::pipe(2.0f));
    study.add_subarea(10101.0f, 5.0f);
    study.add_subarea(10102.0f, 3.0f);
    study.add_subarea(10104.0f, 2.0f, SubareaEntry::AtNode);
    return study;
}

// The map data files of a study written by the builder, for storm event 1.
inline DataFileTable data_files_of(const StudyBuilder& study)
{
    DataFileTable table;
    table.model_file_extension = "Z11";
    for (const int map : study.map_numbers()) {
        char stem[16];
        std::snprintf(stem, sizeof stem, "%s%04dZZ", study.study_id().c_str(), map);
        table.data_file_names.push_back(stem);
    }
    return table;
}

}  // namespace velm::test
