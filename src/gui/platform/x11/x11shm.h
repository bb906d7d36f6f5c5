#pragma once
// The three MIT-SHM requests the window surface makes, written straight onto the connection as
// Xlib writes its own: one fixed record each, under the connection's lock. The extension's
// client library is not used, as it keeps a process-wide list of every connection that used it,
// read without a lock and changed as connections close. Errors from the server arrive through
// the connection's error handling like any others (an error trap catches them).

#include <cstddef>
#include <X11/Xlib.h>

namespace quorvane::x11 {

// Makes the shared memory segment id known to the server as segment (an id from XAllocID).
// opcode is the extension's major request code (XQueryExtension "MIT-SHM").
void shmAttach(Display* dpy, int opcode, XID segment, int id);
// Lets the server forget segment.
void shmDetach(Display* dpy, int opcode, XID segment);
// Copies the w x h area at (x, y) of image, whose pixels lie at offset in segment, to the same
// place in drawable; no completion event.
void shmPutImage(Display* dpy, int opcode, Drawable drawable, GC gc, const XImage* image,
                 XID segment, size_t offset, int x, int y, int w, int h);

} // namespace quorvane::x11
