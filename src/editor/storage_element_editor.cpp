#include "editor/storage_element_editor.h"
namespace velm {
void edit_storage_element(EditorContext&) {}
}  // namespace velm
