// The GIS pass over one model file: every group, in file order, through the
// updater of its process code, under the file's own GIS update option and
// model type.  Model type 10 files update only their subarea groups (21) and
// channel groups (51, 52); every other group of any file is left as read.
// The model file is walked by the one model-file walker, so a file that does
// not walk (an unknown code, a group cut short by the end of the file) is
// refused before anything is changed.
#pragma once

#include "gis/gis_pass_state.h"
#include "records/model_file.h"

namespace velm {

// Updates the groups of the file in place from the GIS files; returns the
// area-weighted sums of its subarea parts (all 0 for model type 10).
AreaWeightedSums apply_gis_to_model_file(ModelFile& file, const GisLookups& lookups);

// Whether the pass sets the depth of an open channel of the file, which a
// GIS link record holds without the channel's freeboard: a file of any model
// type but 10 with an open-channel group.
bool sets_channel_depths(const ModelFile& file);

}  // namespace velm
