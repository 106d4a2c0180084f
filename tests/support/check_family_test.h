// The frame of a test of one check family of the diagnostics run (the node
// checks, the subarea checks): the family runs over the maps into a fresh
// report "ABTRVLZZ.DIA", whose lines the test then reads.
#pragma once

#include <string>
#include <vector>

#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "support/session_test.h"

namespace velm::test {

// A check family: writes its section of the report for the maps of the
// table and returns its fatal total.
using CheckFamily = int (*)(Session&, TextWriter&, const DataFileTable&, int model_type_code);

template <CheckFamily CHECKS>
class CheckFamilyTest : public SessionTest {
protected:
    // Runs the checks of the maps into a fresh report; returns their fatal
    // total and leaves the report's lines in report_lines.
    int run(const std::vector<std::string>& maps, int model_type)
    {
        DataFileTable table;
        table.data_file_names = maps;
        TextWriter report("ABTRVLZZ.DIA");
        const int total = CHECKS(session_, report, table, model_type);
        report.commit();
        report_lines = read_text_lines("ABTRVLZZ.DIA");
        return total;
    }

    std::vector<std::string> report_lines;
};

}  // namespace velm::test
