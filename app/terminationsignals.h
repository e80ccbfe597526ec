#pragma once

class QWidget;

// Closes the window the ordinary way, so that its close handler runs, when the process is
// asked to end: SIGTERM (a logout, a service manager), SIGINT (Ctrl+C in a terminal) and
// SIGHUP (the session or the terminal going away). A signal that was ignored at start, as
// nohup ignores SIGHUP, stays ignored.
void closeOnTerminationSignals(QWidget* window);
