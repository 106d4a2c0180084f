// The subarea editor: option 1 (a subarea's land-use cells, or its four
// curve-number values in a type-10 study) and option 2 (its time of
// concentration per storm event in a type-6 study, its watershed lag in a
// type-10 study).  A change goes into the history log and into the
// subarea's groups of the model file of every storm event of its map; a
// type-10 attribute change also into the study's subarea export.
#pragma once

#include "editor/editor_context.h"

namespace velm {

// Returns when the user types EXIT at the subarea prompt.
void edit_subarea_attributes(EditorContext& context, EditorOption option);

}  // namespace velm
