#pragma once
// The picture of one window in a form the X server takes: a shared-memory image when the server
// offers MIT-SHM on this connection, otherwise an ordinary image sent over the connection.
//
// The shared-memory requests are written straight onto the connection rather than through the
// extension's client library: that library keeps a process-wide list of every connection that
// used the extension, read without a lock and changed when a connection closes, so editors
// opening and closing on several threads (or beside a host that uses it too) corrupted the heap.
// Nothing here is shared with another connection.

#include "gui/platform/platform.h"
#include "gui/platform/raster/pixelbuffer.h"

#include <X11/Xlib.h>

namespace quorvane::x11 {

// Owns its image and shared segment; not the display or the window. Editor thread only.
class Surface {
public:
    // An image of width x height for window in the given visual and depth, in shared memory when
    // allowed and possible; check valid().
    Surface(Display* display, ::Window window, Visual* visual, int depth, int32_t width,
            int32_t height, bool allowShared = true);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool valid() const { return image_ != nullptr; }
    bool shared() const { return shared_; }
    // Copies rect of pixels (clipped to both sizes) to the same place in the window. The caller
    // waits for the server (an error trap does) before pixels change again.
    void put(const raster::PixelBuffer& pixels, platform::Rect rect);

    // Where one colour component lies in a pixel of the image: its mask, the position of the
    // mask's lowest bit and the number of bits it spans.
    struct Channel {
        static Channel of(unsigned long mask);
        unsigned long mask = 0;
        int shift = 0;
        int bits = 0;
    };

private:
    bool createShared(Visual* visual, int depth);
    bool createPlain(Visual* visual, int depth);
    void convertRows(const raster::PixelBuffer& pixels, const platform::Rect& rect);

    Display* display_;
    ::Window window_;
    GC gc_ = nullptr;
    XImage* image_ = nullptr;
    // the shared segment: the extension's request code, our id of the segment on the server,
    // and the segment on our side
    int shmOpcode_ = 0;
    XID shmSegment_ = 0;
    char* shmAddress_ = nullptr;
    bool shared_ = false;
    bool directFormat_ = false;
    // read once from the image, for converting pixels that cannot be copied as they are
    Channel red_;
    Channel green_;
    Channel blue_;
    int32_t width_;
    int32_t height_;
};

} // namespace quorvane::x11
