#pragma once
// The plug-in's own connections to the X server, opened and closed one at a time in the process.

#include <X11/Xlib.h>

namespace quorvane::x11 {

// Opening and closing a connection runs through state that Xlib and the libraries hooked into it
// keep for the whole process (the list of displays, the close hooks of the extensions a
// connection used), and hosts open and close editors on several threads at once. Every
// connection of the plug-in is opened and closed under one process-wide lock, and is watched for
// a broken link from the moment it exists until it is closed. Safe from any editor thread; never
// called from the audio thread.
Display* openConnection();
// Closes a connection made by openConnection; null is ignored.
void closeConnection(Display* display);

} // namespace quorvane::x11
