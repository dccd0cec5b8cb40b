// The program's resources: menus, soft-key bars, dialog templates, the icon
// and the string table, handed to the platform before the first window.
#pragma once

namespace res {
void registerProgramResources();
}  // namespace res
