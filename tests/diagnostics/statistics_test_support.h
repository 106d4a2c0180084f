// Helpers of the statistics tests: a small study laid out file by file
// through the system's record writers.
#pragma once

#include <string>
#include <vector>

#include "platform/record_file.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "records/model_list.h"
#include "records/model_results_file.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"
#include "support/temporary_directory.h"
#include "support/written_lines.h"

namespace velm::test {

// The lines from the first one equal to `from` up to, not including, the
// first one after it equal to `to` (to the end when there is none).
inline std::vector<std::string> lines_between(const std::vector<std::string>& lines, const std::string& from,
                                              const std::string& to)
{
    std::vector<std::string> part;
    bool inside = false;
    for (const std::string& line : lines) {
        if (!inside && line == from)
            inside = true;
        else if (inside && line == to)
            break;
        if (inside) part.push_back(line);
    }
    return part;
}

inline std::string blanks(int count)
{
    return std::string(static_cast<std::size_t>(count), ' ');
}

// Records of the data bases with the columns the statistics read.
inline LinkRecord statistics_link(float upstream, float downstream, int code, float length,
                                  std::vector<float> peak_flows = {}, std::vector<float> travel_times = {})
{
    LinkRecord link;
    link.upstream_node() = upstream;
    link.downstream_node() = downstream;
    link.process_code() = code;
    link.link_length() = length;
    for (std::size_t k = 0; k < peak_flows.size(); ++k) link.column(31 + static_cast<int>(k)) = peak_flows[k];
    for (std::size_t k = 0; k < travel_times.size(); ++k)
        link.link_travel_time(1 + static_cast<int>(k)) = travel_times[k];
    return link;
}

inline SubareaRecord statistics_subarea(float number, std::vector<float> cell_areas,
                                        std::vector<float> times_of_concentration = {})
{
    SubareaRecord subarea;
    subarea.subarea_number() = number;
    for (std::size_t k = 0; k < cell_areas.size(); ++k) subarea.cell_area(1 + static_cast<int>(k)) = cell_areas[k];
    for (std::size_t k = 0; k < times_of_concentration.size(); ++k)
        subarea.time_of_concentration(1 + static_cast<int>(k)) = times_of_concentration[k];
    return subarea;
}

inline NodeRecord statistics_node(float number, float tributary_area, std::vector<float> peak_flows)
{
    NodeRecord node;
    node.node_number() = number;
    node.total_tributary_area() = tributary_area;
    for (std::size_t k = 0; k < peak_flows.size(); ++k) node.peak_flow_rate(1 + static_cast<int>(k)) = peak_flows[k];
    return node;
}

// The first twelve values of a model file header: value 2 the model type,
// value 4 the subarea numbering, value 12 the return frequency.
inline void write_model_file_header(const std::string& name, int model_type, float value_4, float value_12)
{
    RecordFile file(name, RecordFile::Open::New);
    for (int position = 1; position <= 12; ++position) {
        float value = 0.0f;
        if (position == 2) value = static_cast<float>(model_type);
        if (position == 4) value = value_4;
        if (position == 12) value = value_12;
        file.write_value(value);
    }
    file.close_keep();
}

// One map of a study, written as its files.
struct StatisticsMap {
    std::string stem;  // "AB0101ZZ"
    std::vector<LinkRecord> links;
    std::vector<SubareaRecord> subareas;
    std::vector<NodeRecord> nodes;
    std::vector<ModelResultsGroup> results;

    void write() const
    {
        write_link_data_base(link_data_base_name(stem), links);
        write_subarea_data_base(subarea_data_base_name(stem), subareas);
        write_node_data_base(node_data_base_name(stem), nodes);
        write_model_results_file(model_results_file_name(stem), results);
    }
};

// The model list of storm event 1 naming the maps' model files.
inline void write_statistics_model_list(const std::string& study_id, const std::vector<std::string>& stems)
{
    std::vector<ModelListEntry> entries;
    for (const std::string& stem : stems) entries.push_back(make_model_list_entry(stem + ".Z11"));
    write_model_list_file(model_list_file_name(study_id), entries);
}

}  // namespace velm::test
