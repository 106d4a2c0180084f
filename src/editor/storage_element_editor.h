// The storage element editor: option 6 of a type-10 study.  It changes the
// modified Puls routing data of one storage element (the code-61 group of
// its link's node pair) in the model file of every storm event of the map.
#pragma once

#include "editor/editor_context.h"

namespace velm {

// Returns when the user types EXIT at the node-pair screen.
void edit_storage_element(EditorContext& context);

}  // namespace velm
