// The user-recommended value sections of the diagnostics report: the links
// whose user overrides the computed flow capacity, the deficiency
// mitigation element size or the friction slope.  The three sections are
// numbered after the sections the run has written before them: III, IV and
// V under friction-slope models 1 and 3, IV, V and VI under 2 and 4, where
// section III is the balanced HGL.
//
// All three are filled in one pass over the link data bases (the link data
// base update): the capacity section goes straight into the report, the
// other two are collected and appended after the last link data base, each
// of their lines (the page break included) 100 characters long.
#pragma once

#include <string>
#include <vector>

#include "platform/text_file.h"
#include "records/link_data_base.h"

namespace velm {

class UserValueReports {
public:
    // The three headings (none under a friction-slope model other than 1
    // to 4); the capacity heading goes into the report at once.
    UserValueReports(TextWriter& report, int friction_slope_model);

    // A link with a user capacity, from its record as read.
    void report_user_capacity(const LinkRecord& record);
    // A link with a user element or user friction slope, from its record as
    // the update has written it.
    void report_user_size_and_slope(const LinkRecord& record);
    // The "** NONE **" line of each empty section, and the two collected
    // sections appended to the report.
    void finish();

private:
    TextWriter& report_;
    std::vector<std::string> size_section_;
    std::vector<std::string> slope_section_;
    bool capacity_listed_ = false;
    bool size_listed_ = false;
    bool slope_listed_ = false;
};

}  // namespace velm
