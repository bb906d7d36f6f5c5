#include "gui/platform/x11/x11surface.h"

#include "gui/platform/x11/x11errortrap.h"
#include "gui/platform/x11/x11shm.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <X11/Xutil.h>

namespace quorvane::x11 {

namespace {

// 8-bit component c scaled into the channel's mask.
unsigned long component(uint32_t c, const Surface::Channel& channel) {
    unsigned long value = channel.bits >= 8 ? (c << (channel.bits - 8)) : (c >> (8 - channel.bits));
    return (value << channel.shift) & channel.mask;
}

// The padding of the server's rows for images of depth, which a shared image must keep as the
// server reads it in place.
int scanlinePad(Display* display, int depth) {
    int pad = BitmapPad(display);
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    for (int i = 0; formats && i < count; i++) {
        if (formats[i].depth == depth) pad = formats[i].scanline_pad;
    }
    if (formats) XFree(formats);
    return pad;
}

} // namespace

Surface::Channel Surface::Channel::of(unsigned long mask) {
    Channel channel;
    channel.mask = mask;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++channel.shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++channel.bits;
    }
    return channel;
}

Surface::Surface(Display* display, ::Window window, Visual* visual, int depth, int32_t width,
                 int32_t height, bool allowShared)
    : display_(display), window_(window), width_(width), height_(height) {
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    if (!gc_) return;
    if (!allowShared || !createShared(visual, depth)) createPlain(visual, depth);
    if (!image_) return;
    red_ = Channel::of(image_->red_mask);
    green_ = Channel::of(image_->green_mask);
    blue_ = Channel::of(image_->blue_mask);
    // the pixel engine's 0x00RRGGBB words can be copied as they are on common true-colour screens
    directFormat_ = image_->bits_per_pixel == 32 && image_->byte_order == LSBFirst &&
                    image_->red_mask == 0xFF0000 && image_->green_mask == 0xFF00 &&
                    image_->blue_mask == 0xFF;
}

Surface::~Surface() {
    if (shared_ && !connectionLost(display_)) {
        ErrorTrap trap(display_);
        shmDetach(display_, shmOpcode_, shmSegment_);
    }
    if (image_) {
        if (shared_) image_->data = nullptr;
        XDestroyImage(image_);
    }
    if (shared_) shmdt(shmAddress_);
    // Xlib sends nothing on a connection that has failed, so the GC's memory is freed either way
    if (gc_) XFreeGC(display_, gc_);
}

bool Surface::createShared(Visual* visual, int depth) {
    // ask: the extension must be there and the server must be able to map our memory
    int firstEvent = 0;
    int firstError = 0;
    if (!XQueryExtension(display_, "MIT-SHM", &shmOpcode_, &firstEvent, &firstError)) return false;
    XImage* image = XCreateImage(display_, visual, depth, ZPixmap, 0, nullptr, width_, height_,
                                 scanlinePad(display_, depth), 0);
    if (!image) return false;
    int id = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height_), IPC_CREAT | 0600);
    if (id < 0) {
        XDestroyImage(image);
        return false;
    }
    char* address = static_cast<char*>(shmat(id, nullptr, 0));
    const bool mapped = address != reinterpret_cast<char*>(-1);
    bool attached = false;
    if (mapped) {
        ErrorTrap trap(display_);
        shmSegment_ = XAllocID(display_);
        shmAttach(display_, shmOpcode_, shmSegment_, id);
        attached = !trap.failed();
    }
    // the segment goes away by itself once both sides have let go of it
    shmctl(id, IPC_RMID, nullptr);
    if (!attached) {
        if (mapped) shmdt(address);
        XDestroyImage(image);
        shmSegment_ = 0;
        return false;
    }
    image->data = address;
    shmAddress_ = address;
    image_ = image;
    shared_ = true;
    return true;
}

bool Surface::createPlain(Visual* visual, int depth) {
    XImage* image =
        XCreateImage(display_, visual, depth, ZPixmap, 0, nullptr, width_, height_, 32, 0);
    if (!image) return false;
    image->data = static_cast<char*>(calloc(size_t(image->bytes_per_line), size_t(height_)));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    image_ = image;
    return true;
}

void Surface::put(const raster::PixelBuffer& pixels, platform::Rect rect) {
    if (!image_) return;
    // clip to the image and the pixels
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min({rect.right, width_, pixels.width()});
    rect.bottom = std::min({rect.bottom, height_, pixels.height()});
    if (rect.left >= rect.right || rect.top >= rect.bottom) return;
    // convert, then send
    convertRows(pixels, rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    if (shared_)
        shmPutImage(display_, shmOpcode_, window_, gc_, image_, shmSegment_, 0, rect.left, rect.top,
                    w, h);
    else
        XPutImage(display_, window_, gc_, image_, rect.left, rect.top, rect.left, rect.top, w, h);
}

void Surface::convertRows(const raster::PixelBuffer& pixels, const platform::Rect& rect) {
    for (int32_t y = rect.top; y < rect.bottom; y++) {
        const uint32_t* from = pixels.row(y) + rect.left;
        if (directFormat_) {
            char* to =
                image_->data + size_t(y) * size_t(image_->bytes_per_line) + size_t(rect.left) * 4;
            std::memcpy(to, from, size_t(rect.right - rect.left) * 4);
            continue;
        }
        for (int32_t x = rect.left; x < rect.right; x++) {
            uint32_t p = from[x - rect.left];
            unsigned long value = component(raster::redOf(p), red_) |
                                  component(raster::greenOf(p), green_) |
                                  component(raster::blueOf(p), blue_);
            XPutPixel(image_, x, y, value);
        }
    }
}

} // namespace quorvane::x11
