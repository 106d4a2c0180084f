// The subarea export "SUBSZZ.ASC" after a type-10 subarea edit: the model
// files hold a subarea's area in square miles, the export (read by the GIS
// update) in acres.  The subarea's records get the new area in column 117
// (cell 1's area, acres) and the curve number in column 114 (cell 1's land
// use); every record is written back in the subarea record's layout.
#pragma once

#include <string>

#include "editor/editor_context.h"

namespace velm {

inline constexpr std::string_view SUBAREA_EXPORT_NAME_FORMAT = "(A2,'SUBSZZ.ASC')";

// The export's new content with the buffer's area (edit_values 1) and curve
// number (edit_values 3) in the subarea's records.  EditRefused, before
// anything is written, when the area in acres does not fit its field or a
// record cannot be read or written.  A missing export stays an empty one.
struct SubareaExportUpdate {
    std::string name;  // with the data directory
    std::string contents;
};
SubareaExportUpdate update_subarea_ascii_record(EditorContext& context, float subarea_number);

}  // namespace velm
