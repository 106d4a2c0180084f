// The group updaters of the GIS pass: each takes one group of a model file
// and replaces, as the file's GIS update option selects, the values that the
// GIS files hold: node elevations (GIS node file), link lengths, cross
// sections and street values (GIS link file), and the subarea's land-use
// cells, packed_subarea and extension values (GIS subarea file).  A node,
// link or subarea that its GIS file does not hold leaves the values it would
// have replaced as read, and adds nothing to the area-weighted sums.  An
// open channel whose depth the GIS link file sets takes its freeboard from
// the map's link data base; a channel the data base holds no record of
// refuses the update (FileError), since its depth would lose it.  Every
// updater changes values in place: the group keeps its length and order.
//
//   21, 22, 81, 82   subarea groups (and the elevations and length of 21, 22)
//   31 to 47         conduits: elevations, length, cross section, subarea part
//   51 to 56         open channels: elevations, length, cross section, subarea part
//   61 to 63         storage elements: elevations, length, subarea part
//   9                street flow: elevations, length, six street values, subarea part
//   type 10: 21      the subarea's area and cells (square miles in the file)
//   type 10: 51, 52  the channel's length, slope and cross section
#pragma once

#include "gis/gis_pass_state.h"
#include "records/model_file.h"

namespace velm {

inline constexpr float TYPE6_LENGTH_LIMIT = 9999.0f;    // ft: a longer link is packed as 9000.0
inline constexpr float TYPE6_LONG_LENGTH = 9000.0f;     // ft
inline constexpr float TYPE6_DEFAULT_PARAMETER = 3.0f;  // the tenths digit for a parameter of 0

// What an updater works with: the file's state, its GIS files, its sums.
struct GisGroupContext {
    const GisPassState& state;
    const GisLookups& lookups;
    AreaWeightedSums& sums;
};

// Groups of model types other than 10, by family code (the layout's).
void apply_gis_to_code21_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context);
void apply_gis_to_code31_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context);
void apply_gis_to_code51_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context);
void apply_gis_to_code61_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context);
void apply_gis_to_code9_group(ModelGroup& group, const GroupLayout& layout, GisGroupContext& context);

// Groups of model type 10 (they add nothing to the sums).
void apply_gis_to_type10_code21_group(ModelGroup& group, GisGroupContext& context);
void apply_gis_to_type10_code51_group(ModelGroup& group, GisGroupContext& context);

}  // namespace velm
