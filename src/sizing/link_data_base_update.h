// The link data base update of the telescoping pass: every record of every
// map link data base receives the computer-recommended (telescoped) element
// that the pass holds for its link (columns 102 to 106 and 110), the flow the
// string carries at the link (column 107) and its user element status (108).
// On the way the user-recommended value sections are fed, and a user element
// without a user height is cleared from the record.
#pragma once

#include <string_view>
#include <vector>

#include "records/link_data_base.h"
#include "sizing/telescoping_link_table.h"
#include "sizing/user_value_reports.h"

namespace velm {

// The window line of each link data base the pass reads.
inline constexpr std::string_view PROCESSING_LINK_DATA_BASE_FORMAT = "(5X,'PROCESSING LINK DATA BASE FILE : ',A12)";

// The telescoped element of the link's row in its record: columns 102 to 106
// and 110 when the row recommends an element (its type 1.0 or more; the
// deficiency pass's mitigation element of columns 92 to 96 when the row has
// no Manning n), and columns 107, 108, 109 (0.013 in place of a negative
// value) and 111 for every link.  Values are held within their columns'
// fields.
void apply_telescoping_results(LinkRecord& record, const TelescopingLinkRow& row);

// A user element without a user height (column 112 zero) is no element: its
// type (123) and attributes (113 to 117) are cleared.
void clear_user_element_attributes(LinkRecord& record);

// The columns update_link_data_base changes: the results (102 to 111) and
// the user element's type (123) and attributes (113 to 117).
constexpr int UPDATED_LINK_COLUMNS[] = {102, 103, 104, 105, 106, 107, 108, 109,
                                        110, 111, 113, 114, 115, 116, 117, 123};

// The new records of one link data base, with the report entries of its
// links.  A headwater link that is not deficient, a storage element of a
// curve-number study and a record without a row keep their values; every
// record is then cleared of a user element without a height.
std::vector<LinkRecord> update_link_data_base(const std::vector<LinkRecord>& records, const TelescopingLinkTable& table,
                                              int model_type_code, UserValueReports& reports);

}  // namespace velm
