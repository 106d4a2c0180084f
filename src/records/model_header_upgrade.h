// The upgrade of old model file headers.  Older hydrology programs wrote a
// street-section table of 10 sections (headers of 163 or 178 values); the
// current layouts hold 50 (523 and 538 values).  Before an edit reads the
// table, an old header gets the 40 missing sections as zeros, and the file
// as it was is kept in "TEMP.DAT" when the upgraded file replaces it.
#pragma once

#include <string_view>

#include "records/model_file.h"

namespace velm {

// The kept copy of the last model file whose header an edit upgraded.
inline constexpr std::string_view OLD_MODEL_FILE_COPY = "TEMP.DAT";

// Brings an old header to the current layout in memory: the values up to the
// end of its 10-section table, 360 zeros, then the rest of the old header;
// the groups are not touched.  False, and nothing changed, for a header in
// any other form.
bool upgrade_model_file_layout(ModelFile& file);

}  // namespace velm
