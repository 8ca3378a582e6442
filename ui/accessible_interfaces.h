#pragma once

namespace tvx {

// What assistive technology sees of the panels beyond Qt's own interfaces: a panel is a window
// (a frame) named by its title, and a combo box is named by its label like every other control,
// its current text being its value. Installed once; Panel's constructor does it.
void InstallAccessibleInterfaces();

}  // namespace tvx
