// The values an editor hands to the model-file passes and gets back from
// them.  An edit of a link-node model file always runs as passes over the
// whole file: a fetch pass copies the edited element's current values into
// the buffer, the editor shows them and puts the user's new values in their
// place, and a copy (or link-edit) pass writes the buffer's values into the
// element's groups of every storm event's model file.  The GIS update uses
// only the land-use table, as working storage for the group it is copying.
//
// The buffer lives for the run; no operation clears it as a whole.  Every
// pass and every editor sets the fields it hands over before the step that
// reads them, and a reader reads only the fields its own edit set.
#pragma once

#include <array>

#include "records/units.h"

namespace velm {

inline constexpr int MAX_LAND_USE_CELLS = 6;
inline constexpr int STORAGE_VALUES = 100;
inline constexpr int EDIT_VALUES = 5;
inline constexpr int EVENT_SLOTS = 7;  // slots 0 to 6: slot 0 the first fetch, then storm events 1 to 6

// packed_subarea_code of a pass that must keep the integer part the file holds
// (no count of land-use cells, 1 to 6, can take it).
inline constexpr int KEEP_PACKED_CODE = 99;
// street_section_number while a street edit of a link whose process code is
// not 61 waits for the table step to find or add its section.
inline constexpr int STREET_EDIT_PENDING = 7;
// Status of a pass that met the wanted group; in a link edit also the mark of
// the edited link's group in a primary element edit.
inline constexpr int RECORD_FOUND = 999;
// The mark of the edited link's group in a street section edit.
inline constexpr int STREET_EDIT_MARK = 998;

// The option of the editor module's menu that started an edit.
enum class EditorOption {
    SubareaAttributes = 1,
    TimeOfConcentration = 2,  // watershed lag in a type-10 study
    LinkPrimaryElement = 6,   // a storage element in a type-10 study
    LinkStreetSection = 7,
};

// What a pass of the rewrite walker does with the model file.
enum class RewriteMode {
    FetchMode = 1,     // finds the edited subarea's first group and copies its values into the buffer
    CopyMode = 2,      // writes the buffer's values into every group of the edited subarea
    LinkEditMode = 3,  // writes element or street values into the edited link's groups
};

// One land-use cell of a subarea part, exactly as the model file holds it.
struct LandUseCell {
    float land_use_code = 0.0f;  // type 6: 100 + designation + imperviousness
    float soil_code = 0.0f;
    float cell_area = 0.0f;  // acres
    bool empty() const { return land_use_code == 0.0f && soil_code == 0.0f && cell_area == 0.0f; }
};

// The six land-use cells of one subarea, numbered 1 to 6.
struct LandUseTable {
    std::array<LandUseCell, MAX_LAND_USE_CELLS> cells{};
    LandUseCell& cell(int k) { return cells.at(static_cast<std::size_t>(k - 1)); }
    const LandUseCell& cell(int k) const { return cells.at(static_cast<std::size_t>(k - 1)); }
};

// The street cross-section of a street edit.  Every street edit sets all ten
// reals before its passes; the passes always get the curb height in feet.
struct StreetSectionEdit {
    float curb_height = 0.0f;                   // ft
    float street_half_width = 0.0f;             // ft
    float crown_to_gradebreak_distance = 0.0f;  // ft
    float center_lane_crossfall = 0.0f;         // decimal
    float outside_lane_crossfall = 0.0f;        // decimal
    float parkway_crossfall = 0.0f;             // decimal; 0 = no flow on the parkway
    float gutter_width = 0.0f;                  // ft
    float gutter_lip = 0.0f;                    // ft
    float gutter_hike = 0.0f;                   // ft
    float street_friction_factor = 0.0f;        // Manning n
    // The link's process code after the commit; STREET_EDIT_PENDING during
    // the pass of a link whose process code is not 61; the section's number
    // (1 to 50) once the table step has found or added it.
    int street_section_number = 0;
};

struct ModelEditBuffer {
    // A type-10 storage element group: 4 zeros, its 77 data values in file
    // order, 19 zeros (the 70-value routing block stands at 12 to 81).
    std::array<float, STORAGE_VALUES> storage_values{};
    LandUseTable land_use_table;
    // The integer part a copy pass writes into the edited subarea's
    // packed_subarea, or KEEP_PACKED_CODE.
    int packed_subarea_code = 0;
    // Time-of-concentration edit, by event slot: the storm return frequency
    // (years) of the file fetched for the slot, and the subarea's time of
    // concentration (minutes) fetched from it or to be written into it.
    std::array<float, EVENT_SLOTS> event_return_frequency{};
    std::array<float, EVENT_SLOTS> event_time_value{};
    // Element values of a link edit, or the values of a type-10 subarea edit:
    //   pipe: 0, diameter (in), 0, Manning n, 0
    //   box or channel: height (ft), base width (ft), side slope, Manning n, freeboard (ft)
    //   type-10 subarea: area (sq mi), initial abstraction, curve number, impervious fraction
    //   type-10 lag: watershed lag (hours)
    std::array<float, EDIT_VALUES> edit_values{};
    // Upstream and downstream node of the edited link or storage element.
    std::array<float, 2> edit_node_pair{};

    float& storage_value(int k) { return storage_values.at(static_cast<std::size_t>(k - 1)); }
    float storage_value(int k) const { return storage_values.at(static_cast<std::size_t>(k - 1)); }
    float& edit_value(int k) { return edit_values.at(static_cast<std::size_t>(k - 1)); }
    float edit_value(int k) const { return edit_values.at(static_cast<std::size_t>(k - 1)); }
};

}  // namespace velm
