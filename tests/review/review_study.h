// The study of the link review tests: two maps as a whole analysis run
// leaves them, with computed capacities, friction slopes and recommended
// elements on the links and the telescoped string files, and a check that
// a run changed exactly the files the test expects.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/study_builder.h"
#include "support/temporary_directory.h"

namespace velm::test {

// Study "AB", one storm event.  Map 101: headwater 10101 with its subarea,
// nodes 10102 and 10103; map 102: nodes 10201 and 10202.  Links:
//   10101-10102 initial subarea link
//   10102-10103 2 ft pipe: capacity 33.33 cfs, Sf 0.0040, recommended a
//               2.5 ft replacement pipe or a 1.5 ft parallel pipe
//   10103-10201 2.5 ft pipe into map 102: capacity 50 cfs, recommended a
//               3 x 4 ft box replacement
//   10201-10202 3 x 4 ft box, no recommended element
// String 1 runs from 10101 to 10201, string 2 is the last link.
inline StudyBuilder review_study(int model_type = 3)
{
    StudyBuilder study("AB", model_type, 1);
    study.add_node(10101.0f, 150.0f);
    study.add_node(10102.0f, 140.0f, {10.0f});
    study.add_node(10103.0f, 130.0f, {14.0f});
    study.add_node(10201.0f, 120.0f, {20.0f});
    study.add_node(10202.0f, 110.0f, {22.0f});
    study.add_initial_link(10101.0f, 10102.0f, 500.0f);
    LinkRecord& pipe = study.add_link(10102.0f, 10103.0f, 600.0f, Element::pipe(2.0f));
    pipe.computed_capacity() = 33.33f;
    pipe.column(63) = 0.004f;
    pipe.computed_friction_slope() = 0.004f;
    pipe.recommended_element_type() = 1.0f;
    pipe.replacement_element_height() = 2.5f;
    pipe.replacement_element_base_width() = 1.0f;
    pipe.replacement_element_friction_factor() = 0.013f;
    pipe.parallel_element_height() = 1.5f;
    pipe.parallel_element_friction_factor() = 0.013f;
    pipe.cost_opinion_status() = 1.0f;
    LinkRecord& seam = study.add_link(10103.0f, 10201.0f, 400.0f, Element::pipe(2.5f));
    seam.computed_capacity() = 50.0f;
    seam.computed_friction_slope() = 0.005f;
    seam.recommended_element_type() = 2.0f;
    seam.replacement_element_height() = 3.0f;
    seam.replacement_element_base_width() = 4.0f;
    seam.replacement_element_friction_factor() = 0.015f;
    seam.cost_opinion_status() = 1.0f;
    LinkRecord& box = study.add_link(10201.0f, 10202.0f, 300.0f, Element::box(3.0f, 4.0f));
    box.computed_capacity() = 80.0f;
    study.add_subarea(10101.0f, 4.0f);
    study.add_string({{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10201.0f}});
    study.add_string({{10201.0f, 10202.0f}});
    return study;
}

// The bytes of every file directly in a directory, by name.
inline std::map<std::string, std::string> file_contents(const std::filesystem::path& directory = ".")
{
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.is_regular_file()) contents[entry.path().filename().string()] = TemporaryDirectory::get(entry.path());
    return contents;
}

// Where two file contents part, for the message of a failed comparison.
inline std::string first_difference(const std::string& have, const std::string& want)
{
    std::size_t at = 0;
    while (at < have.size() && at < want.size() && have[at] == want[at]) ++at;
    const std::size_t line_start = have.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = line_start == std::string::npos ? 0 : line_start + 1;
    return ": at byte " + std::to_string(at) + ", column " + std::to_string(at - from + 1) +
           "\n have: " + have.substr(at > 20 ? at - 20 : 0, 60) + "\n want: " + want.substr(at > 20 ? at - 20 : 0, 60);
}

// The working directory holds exactly the files of `expected` (the study
// as it should stand, written into a directory of its own), byte for byte.
inline void expect_study_files(const StudyBuilder& expected, const std::string& expected_directory = "expected")
{
    std::filesystem::create_directories(expected_directory);
    expected.write(expected_directory);
    const auto want = file_contents(expected_directory);
    const auto have = file_contents(".");
    for (const auto& [name, bytes] : want) {
        const auto found = have.find(name);
        if (found == have.end()) {
            ADD_FAILURE() << name << " is missing";
        } else {
            EXPECT_TRUE(found->second == bytes)
                << name << " differs from the expected file" << first_difference(found->second, bytes);
        }
    }
    for (const auto& [name, bytes] : have) EXPECT_TRUE(want.count(name)) << name << " was not expected";
}

}  // namespace velm::test
