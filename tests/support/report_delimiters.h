// The delimiter lines of a diagnostics report, found the way the comparison
// of a scenario's report with its baseline finds them: walking from line 3
// (lines 1 and 2 are the title box's signature), delimiters 1 to 20 are rule
// lines (" *--------"), 21 to 29 the cross-check headings ("     *"), 30 the
// statistics heading ("    II"), and 31 to 34 rule lines again.  Any other
// line belongs to the current section.
#pragma once

#include <string>
#include <vector>

namespace velm::test {

// The rule line of section II: delimiters 1 to 20 (and 31 to 34).
inline const std::string REPORT_RULE = " *" + std::string(69, '-') + "*";

// Delimiters 21 to 29: the cross-check headings, in report order.
inline const std::vector<std::string> CROSS_CHECK_HEADINGS = {
    "     * Check Subarea Data Base (FATAL ERRORs!) *",
    "     * Subarea Used More Than ONCE in Link-Node Model",
    "     * Subarea NOT Used in Link-Node Model",
    "     * Subarea does NOT EXIST in Data Base",
    "     * CAUTION: Subareas that are NOT added to respective node number",
    "     * Check Link Data Base *",
    "     * Link Used More Than ONCE in Link-Node Model",
    "     * Link NOT Used in Link-Node Model",
    "     * Link does NOT EXIST in Data Base",
};

struct ReportDelimiter {
    int number;        // 1 to 34, in report order
    std::string line;  // the delimiter line as written
};

inline std::vector<ReportDelimiter> report_delimiters(const std::vector<std::string>& report)
{
    std::vector<ReportDelimiter> found;
    for (std::size_t i = 2; i < report.size() && found.size() < 34; ++i) {
        const int k = static_cast<int>(found.size());
        const std::size_t width = k >= 20 && k < 30 ? 6 : 10;
        const std::string pattern = k < 20 || k >= 30 ? " *--------" : k < 29 ? "     *" : "    II";
        std::string start = report[i].substr(0, width);
        start.resize(width, ' ');
        if (start == pattern.substr(0, width)) found.push_back({k + 1, report[i]});
    }
    return found;
}

}  // namespace velm::test
