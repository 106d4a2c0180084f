// The link tables of the system telescoping pass.  At its start the pass
// loads every link of every map link data base into the TelescopingLinkTable,
// with the defaults, sizing slopes, capacities and target flows it works
// with; the walk of the strings then changes the rows of the links it
// telescopes, and the link data base update writes the rows back.  The
// UserElementList holds the links that carry a user-recommended element.
//
// The settings the pass works with are those of the postprocessor control
// settings, gathered in TelescopingSettings with the study's model type.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "records/link_data_base.h"
#include "shell/control_settings.h"
#include "sizing/deficiency_pass.h"
#include "sizing/element_sizing.h"

namespace velm {

// Manning n of an element whose link data base leaves it at 0.0; a county
// study (model type 6) uses its own.
inline constexpr float DEFAULT_TELESCOPING_MANNING_N = 0.013f;
inline constexpr float COUNTY_TELESCOPING_MANNING_N = 0.014f;
// Under the normal-depth pipe capacity model the pipe Manning n is divided by this.
inline constexpr float NORMAL_DEPTH_MANNING_DIVISOR = 1.076f;
// An element capacity above the deficiency pass's CAPACITY_CAP is stored as
// CAPACITY_OVERFLOW_MARK.
inline constexpr float CAPACITY_OVERFLOW_MARK = 88888.0f;

// The settings of one telescoping pass: the postprocessor controls handed to
// it, in the units it uses, and the study's model type.
struct TelescopingSettings {
    int capacity_telescoping = 1;             // CapacityTelescoping: 1 StringBasis, 2 IndependentSizing
    int pipe_area_telescoping = 1;            // AreaTelescoping of pipes: 1 NoAreaReduction
    float min_pipe_diameter = 1.5f;           // ft (the setting is in inches)
    int pipe_capacity_model = 1;              // PipeCapacityModel: 2 divides the pipe Manning n by 1.076
    int carried_flow_source = 1;              // 1: the carried flow never falls below the one upstream
    int existing_element_telescoping = 1;     // ExistingElementTelescoping 1 to 4
    int friction_slope_model = 2;             // FrictionSlopeModel: numbers the user-recommended sections
    int box_area_telescoping = 2;             // AreaTelescoping of boxes
    int channel_area_telescoping = 2;         // AreaTelescoping of channels
    int element_interfacing = 1;              // ElementInterfacing: 1 NoInterfaceTelescoping
    float friction_slope_proportion = 0.85f;  // share of the friction slope a new element is sized on
    int model_type_code = 0;                  // HydrologyModelType of the study
};

TelescopingSettings telescoping_settings(const ControlParameters& controls, int model_type_code);

// One link as the pass works with it.  Column numbers are those of the link
// data base; the walk of the strings changes the fields marked "walk".
struct TelescopingLinkRow {
    float upstream_node = 0.0f;    // column 1
    float downstream_node = 0.0f;  // column 2
    // Column 7, negated for a deficient link (column 90 positive) that is not
    // yet in the cost opinion (column 100 not positive).
    float process_code = 0.0f;
    float link_slope = 0.0f;  // column 9
    // Columns 21, 10 to 18, 19 and 20 in this order (the whole numbers of
    // columns 21 and 19 as reals).
    std::array<float, 12> street{};

    // The existing element.
    float element_type = 0.0f;             // column 22, ElementType
    float element_height = 0.0f;           // ft, column 23 (diameter, height, depth)
    float element_base_width = 0.0f;       // ft, column 24 (pipes: number of pipes)
    float element_side_slope = 0.0f;       // column 25
    float element_friction_factor = 0.0f;  // Manning n, column 26 (0.0 defaulted)
    float channel_freeboard = 0.0f;        // ft, column 27
    float invert_upstream = 0.0f;          // ft, column 28
    float invert_downstream = 0.0f;        // ft, column 29
    float invert_slope = 0.0f;             // column 30, recomputed from 28 and 29 when both are positive

    // The recommended element (walk).
    float element_size = 0.0f;                 // ft: column 92, or 23 for a kept street link
    float recommended_type = 0.0f;             // column 110; 1.0 or more: an element is recommended
    float recommended_base_width = 0.0f;       // ft, column 93
    float recommended_side_slope = 0.0f;       // column 94
    float recommended_friction_factor = 0.0f;  // column 95, taken from the existing element's n
    float recommended_freeboard = 0.0f;        // ft, column 96

    float max_deficiency = 0.0f;         // cfs, column 90; positive: the existing element is deficient
    float target_flow_rate = 0.0f;       // cfs; negative for a link that is not deficient
    float largest_excess_flow = 0.0f;    // cfs, largest of columns 37-42 less 49-54 (walk: the link flow)
    float largest_peak_flow = 0.0f;      // cfs, largest of columns 37-42 (walk: the carried flow)
    float sizing_friction_slope = 0.0f;  // column 65 or 64, scaled by the proportion (walk: 0.002 when not positive)
    float existing_capacity = 0.0f;      // cfs, column 75, or 74 when 75 holds -1.0
    float full_pipe_capacity = 0.0f;     // cfs, of the parallel pipe of column 98

    std::array<float, STORM_EVENTS> upstream_peak_flows{};    // cfs, columns 31-36
    std::array<float, STORM_EVENTS> downstream_peak_flows{};  // cfs, columns 37-42
    std::array<float, STORM_EVENTS> street_flow_depths{};     // ft, columns 43-48
    float largest_upstream_peak_flow = 0.0f;                  // cfs, largest of columns 31-36

    float user_element_status = 0.0f;  // column 62, ElementStatus
    float link_upstream_hgl = 0.0f;    // ft, column 139
    float link_downstream_hgl = 0.0f;  // ft, column 140
};

// A link with a user-recommended element (column 123 or column 112 positive).
struct UserElementEntry {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    float user_element_type = 0.0f;             // column 123, ElementType
    float user_element_height = 0.0f;           // ft, column 112
    float user_element_base_width = 0.0f;       // ft, column 113
    float user_element_side_slope = 0.0f;       // column 114
    float user_element_friction_factor = 0.0f;  // column 115
};

// Rows in load order (maps in data file order, records in file order),
// found by their node pair: the first row of a pair wins.
class TelescopingLinkTable {
public:
    // Room for `links` rows, so that the rows are appended without moving.
    void reserve(std::size_t links)
    {
        rows_.reserve(links);
        first_row_.reserve(links);
    }
    void append(const TelescopingLinkRow& row);
    // The first row whose nodes equal the pair exactly; nullptr when none.
    TelescopingLinkRow* find(float upstream_node, float downstream_node);
    const TelescopingLinkRow* find(float upstream_node, float downstream_node) const;

    const std::vector<TelescopingLinkRow>& rows() const { return rows_; }
    std::size_t size() const { return rows_.size(); }

private:
    std::vector<TelescopingLinkRow> rows_;
    std::unordered_map<std::uint64_t, std::size_t> first_row_;
};

class UserElementList {
public:
    void append(const UserElementEntry& entry);
    // The first entry of the pair; nullptr when none.
    const UserElementEntry* find(float upstream_node, float downstream_node) const;
    const std::vector<UserElementEntry>& entries() const { return entries_; }

private:
    std::vector<UserElementEntry> entries_;
    std::unordered_map<std::uint64_t, std::size_t> first_entry_;
};

// The row of one link data base record with the load's defaults.
TelescopingLinkRow telescoping_link_row(const LinkRecord& record, const TelescopingSettings& settings);
// The record's user element, when it carries one.
std::optional<UserElementEntry> user_element_entry(const LinkRecord& record);

// Manning's full-flow capacity of a circular pipe by the telescoping pass's
// own constants: 0.463 D^2.667 S^0.5 / n (D ft, cfs).
float telescoping_pipe_capacity(float diameter, float slope, float manning_n);

struct TelescopingTables {
    TelescopingLinkTable links;
    UserElementList user_elements;
};

// Appends the records of one link data base to the tables.
void load_telescoping_tables(const std::vector<LinkRecord>& records, const TelescopingSettings& settings,
                             TelescopingTables& tables);

}  // namespace velm
