// The link data base update of the telescoping pass.
#include "sizing/link_data_base_update.h"

#include "records/hydrology_model_type.h"
#include "records/process_codes.h"

namespace velm {

namespace {

constexpr float ENVELOPE_DEFAULT_MANNING_N = 0.013f;

// A computed value stored in a column, within what its field holds: the
// link data base never holds a run of asterisks.
void store(LinkRecord& record, int column, float value)
{
    record.column(column) = clamp_to_field(value, LinkRecord::field(column));
}

}  // namespace

void apply_telescoping_results(LinkRecord& record, const TelescopingLinkRow& row)
{
    if (row.recommended_type >= 1.0f) {
        store(record, 102, row.element_size);
        store(record, 110, row.recommended_type);
        store(record, 103, row.recommended_base_width);
        store(record, 104, row.recommended_side_slope);
        store(record, 105, row.recommended_friction_factor);
        store(record, 106, row.recommended_freeboard);
        if (record.column(105) == 0.0f) {
            for (int k = 0; k < 5; ++k) record.column(102 + k) = record.column(92 + k);
        }
    }
    store(record, 107, row.largest_peak_flow);
    store(record, 108, row.user_element_status);
    if (record.column(109) < 0.0f) record.column(109) = ENVELOPE_DEFAULT_MANNING_N;
    record.column(111) = 0.0f;
}

void clear_user_element_attributes(LinkRecord& record)
{
    if (record.user_element_height() != 0.0f) return;
    record.user_element_type() = 0;
    for (int column = 113; column <= 117; ++column) record.column(column) = 0.0f;
}

std::vector<LinkRecord> update_link_data_base(const std::vector<LinkRecord>& records, const TelescopingLinkTable& table,
                                              int model_type_code, UserValueReports& reports)
{
    std::vector<LinkRecord> updated;
    updated.reserve(records.size());
    for (const LinkRecord& read : records) {
        reports.report_user_capacity(read);
        LinkRecord record = read;
        const bool headwater = record.max_deficiency() == 0.0f && is_initial_subarea_code(record.process_code());
        if (!headwater) {
            const TelescopingLinkRow* row = table.find(record.upstream_node(), record.downstream_node());
            const bool storage_element =
                is_curve_number_model(model_type_code) && record.process_code() == STORAGE_ELEMENT_CODE;
            if (row != nullptr && !storage_element) apply_telescoping_results(record, *row);
            reports.report_user_size_and_slope(record);
        }
        updated.push_back(record);
    }
    for (LinkRecord& record : updated) clear_user_element_attributes(record);
    return updated;
}

}  // namespace velm
