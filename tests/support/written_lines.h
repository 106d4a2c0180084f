// The lines a writer puts into a report, written in a scratch directory and
// read back as the system reads a text file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "support/temporary_directory.h"

namespace velm::test {

inline std::vector<std::string> written_lines(const std::function<void(TextWriter&)>& write)
{
    TemporaryDirectory directory;
    TextWriter report("report.txt");
    write(report);
    report.commit();
    return read_text_lines("report.txt");
}

}  // namespace velm::test
