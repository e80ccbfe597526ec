#pragma once

namespace session {

// Whether the window system that the program's windows would go to accepts a connection, asked
// before the application object exists (the toolkit itself would abort without one). The
// window system is the one that "-platform" or QT_QPA_PLATFORM names, else X11 or Wayland.
// Platforms that need no display (offscreen, vnc, ...) count as reachable.
bool displayReachable(int argc, char** argv);

}  // namespace session
