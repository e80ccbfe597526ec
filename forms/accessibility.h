#pragma once

namespace forms {

// Gives the program's windows, panels, link labels and checkable menu items their interfaces
// for assistive technology: a window is a frame or a dialog whose children include the popup
// menu it shows, a panel is a panel, a link label is a link that can be pressed, and a
// checkable menu item says that it can be checked. Installed once; the controls call it.
void installAccessibility();

}  // namespace forms
