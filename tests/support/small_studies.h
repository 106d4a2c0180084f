// Small consistent studies shared by the tests of the analysis run and of
// its steps.
#pragma once

#include "support/study_builder.h"

namespace velm::test {

// Study "AB" of two maps and one storm event: a headwater subarea and its
// initial link in map 101, a pipe into map 102.
StudyBuilder two_map_study(int model_type = 6);

}  // namespace velm::test
