#pragma once
// The picture of one window in a form the X server takes: a shared-memory image when the server
// offers MIT-SHM on this connection, otherwise an ordinary image sent over the connection.

#include "gui/platform/platform.h"
#include "gui/platform/raster/pixelbuffer.h"

#include <X11/Xlib.h>
// after Xlib.h, which it needs
#include <X11/extensions/XShm.h>

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
    XShmSegmentInfo segment_{};
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
