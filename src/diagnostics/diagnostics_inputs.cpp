#include "diagnostics/diagnostics_inputs.h"

namespace velm {

std::vector<SubareaSummary> summarize_subareas(const std::vector<SubareaRecord>& records)
{
    std::vector<SubareaSummary> summaries;
    summaries.reserve(records.size());
    for (const SubareaRecord& record : records) {
        SubareaSummary summary;
        summary.subarea_number = record.subarea_number();
        summary.area = record.area();
        for (int event = 1; event <= STORM_EVENTS; ++event)
            summary.time_of_concentration[static_cast<std::size_t>(event - 1)] = record.time_of_concentration(event);
        summaries.push_back(summary);
    }
    return summaries;
}

const std::vector<SubareaSummary>* DiagnosticsInputs::subareas(const std::string& path) const
{
    const auto found = subareas_.find(path);
    return found == subareas_.end() ? nullptr : &found->second;
}

void DiagnosticsInputs::keep_subareas(const std::string& path, const std::vector<SubareaRecord>& records)
{
    subareas_.insert_or_assign(path, summarize_subareas(records));
}

const std::vector<GisNodeRecord>* DiagnosticsInputs::gis_nodes(const std::string& path) const
{
    const auto found = gis_nodes_.find(path);
    return found == gis_nodes_.end() ? nullptr : &found->second;
}

const std::vector<GisNodeRecord>& DiagnosticsInputs::keep_gis_nodes(const std::string& path,
                                                                    std::vector<GisNodeRecord> records)
{
    return gis_nodes_.insert_or_assign(path, std::move(records)).first->second;
}

}  // namespace velm
