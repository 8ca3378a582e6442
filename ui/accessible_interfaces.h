#pragma once

namespace tvx {

// What assistive technology sees of the panels beyond Qt's own interfaces: a panel is a window
// (a frame) named by its title, a ring (a panel's combo box) is named by its label like every
// other control, its current text being its value, and the state line is a status bar whose parts
// give their whole texts. Installed once; Panel's constructor does it.
void InstallAccessibleInterfaces();

}  // namespace tvx
