// The three title pages of the program family.  Each clears the window,
// shows its framed page and waits for a line.
#pragma once

#include "platform/window.h"

namespace velm {

void show_program_library_banner(Window& window);
void show_postprocessor_banner(Window& window);
void show_user_interface_module_banner(Window& window);
void show_editor_module_banner(Window& window);
void show_subset_module_banner(Window& window);
void show_differences_module_banner(Window& window);
void show_scenario_module_banner(Window& window);

}  // namespace velm
