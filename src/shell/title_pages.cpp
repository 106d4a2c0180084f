// Placeholder until the title pages are built.
#include "shell/title_pages.h"

namespace velm {
void show_program_library_banner(Window& window) { window.clear_screen(); window.read_line(); }
void show_postprocessor_banner(Window& window) { window.clear_screen(); window.read_line(); }
void show_user_interface_module_banner(Window& window) { window.clear_screen(); window.read_line(); }
}  // namespace velm
