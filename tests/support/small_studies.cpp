#include "support/small_studies.h"

namespace velm::test {

StudyBuilder two_map_study(int model_type)
{
    StudyBuilder study("AB", model_type, 1);
    study.add_node(10101.0f, 150.0f);
    study.add_node(10102.0f, 140.0f, {10.0f});
    study.add_node(10203.0f, 130.0f, {14.0f});
    study.add_initial_link(10101.0f, 10102.0f, 500.0f);
    study.add_link(10102.0f, 10203.0f, 600.0f, Element::pipe(2.0f));
    study.add_subarea(10101.0f, 4.0f);
    return study;
}

}  // namespace velm::test
