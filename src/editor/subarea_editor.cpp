#include "editor/subarea_editor.h"
namespace velm {
void edit_subarea_attributes(EditorContext&, EditorOption) {}
}  // namespace velm
