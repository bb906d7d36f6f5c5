#pragma once
// The only door from the toolkit to a platform. Exactly one back end (headless, X11, Win32) is
// linked into a binary and implements everything declared here; the toolkit includes this header
// and never a back-end header. Everything runs on an editor's thread (each editor may have its
// own); nothing here throws.

#include <cstdint>
#include <memory>

namespace quorvane::platform {

// Surface coordinates in pixels, origin top-left, y downwards.
struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Same meaning as the toolkit's CRect: left, top, right, bottom.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Colours are red + 256 * green + 65536 * blue; bits 24..31 are ignored.
using Colour = uint32_t;

enum class PenStyle { kSolid, kDotted };

// The bits of physicalButtons(): the physical buttons as they sit under the hand (not swapped)
// and the modifier keys held.
inline constexpr uint32_t kButtonLeft = 1;
inline constexpr uint32_t kButtonMiddle = 2;
inline constexpr uint32_t kButtonRight = 4;
inline constexpr uint32_t kModifierShift = 8;
inline constexpr uint32_t kModifierControl = 16;
inline constexpr uint32_t kModifierAlt = 32;
enum class TextAlign { kLeft, kCenter, kRight };

// A font request. Sizes are character (em) heights in pixels.
struct FontSpec {
    const char* face = "Arial";
    int32_t height = 12;
    int32_t weight = 400; // 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    int32_t pitchAndFamily = 34; // 34 variable-pitch sans, 80 decorative
};

// A read-only picture: a bitmap resource or an offscreen surface.
class Image {
public:
    virtual ~Image() = default;
    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
};

// A surface to draw into with a current pen, brush, text colours and font. Setting a pen, brush
// or font builds it once; drawing calls build nothing. Every call clips to the surface and never
// writes outside it. A device restores whatever it changed on its surface when destroyed.
class Device {
public:
    virtual ~Device() = default;

    // 1-pixel pen used by lineTo and frameRect.
    virtual void setPen(Colour colour, PenStyle style) = 0;
    // Solid brush used by fillRect; false (previous brush kept) if it cannot be built.
    virtual bool setBrush(Colour colour) = 0;
    // Glyph colour of drawText.
    virtual void setTextColour(Colour colour) = 0;
    // Colour behind the glyphs when drawText is opaque.
    virtual void setTextBackground(Colour colour) = 0;
    // Font of drawText; a face that cannot be found falls back to the platform's default face.
    virtual void setFont(const FontSpec& font) = 0;

    // Sets the current position.
    virtual void moveTo(Point p) = 0;
    // Line in the pen from the current position to p, p excluded; p becomes the current position.
    virtual void lineTo(Point p) = 0;
    // Outline: x = left or right with top <= y <= bottom, y = top or bottom with left <= x <=
    // right, drawn as the path left,top -> right,top -> right,bottom -> left,bottom -> left,top.
    virtual void frameRect(const Rect& r) = 0;
    // The brush over left < x < right, top < y < bottom.
    virtual void fillRect(const Rect& r) = 0;
    // One line of text vertically centred in [left, right) x [top, bottom), clipped to it; left
    // alignment starts at left (the caller moves the edge). opaque fills the text's box with the
    // text background first.
    virtual void drawText(const char* text, const Rect& r, TextAlign align, bool opaque) = 0;

    // Copies image pixel (src.x + i, src.y + j) to (dst.left + i, dst.top + j) for 0 <= i <
    // dst width, 0 <= j < dst height; parts outside the image or the surface are skipped.
    virtual void copyImage(const Image& image, const Rect& dst, Point src) = 0;
    // As copyImage, but pixels equal to key leave the destination unchanged.
    virtual void copyImageKeyed(const Image& image, const Rect& dst, Point src, Colour key) = 0;
};

// A memory surface: a device to draw into that is also an image to copy from.
class Offscreen : public Image {
public:
    virtual Device& device() = 0;
};

// What a window tells its owner (the frame). Called on the editor's thread from the back end's
// event handling (the host's idle, runOnePendingRepaint, or a direct event dispatch).
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    // Repaint rect; device draws into the window for the duration of the call.
    virtual void onPaint(Device& device, const Rect& rect) = 0;
    // A button went down at where (window coordinates); button 0 left, 1 middle, 2 right.
    virtual void onButtonDown(Point where, int32_t button) = 0;
    // Dropped data: type 0 = files (items are paths, count = number of paths), type 1 = text
    // (one item, count = its size in bytes). where is in window coordinates. True if taken.
    virtual bool onDrop(void** items, int32_t count, int32_t type, Point where) = 0;
    // The window is gone from the screen (its parent was destroyed); no event follows. The
    // Window object stays valid until its owner deletes it.
    virtual void onDestroyed() {}
};

// A borderless child window of the host's parent window, placed at (0, 0) and shown.
class Window {
public:
    // Destroying the window removes it from the screen; no event arrives afterwards.
    virtual ~Window() = default;
    virtual void setSize(int32_t width, int32_t height) = 0;
    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
    // Screen position of the window's top-left corner.
    virtual Point screenOrigin() const = 0;
    // A device for drawing into the window outside a paint. What it drew is on the screen
    // before the next physicalButtons, pointerScreenPosition, sleepMilliseconds or
    // runOnePendingRepaint call on its thread returns, and at the latest when it is destroyed.
    // The window must outlive it.
    virtual std::unique_ptr<Device> openDevice() = 0;
    // Starts (true) or stops (false) delivering drops to the events' onDrop; answers success.
    virtual bool setDropEnabled(bool enabled) = 0;
    // Delivers every event waiting for this window (paints, button-downs, drops, destruction)
    // to its events, in order, and returns; nothing waits for new events.
    virtual void dispatchPendingEvents() = 0;
};

// Creates the child window of parent (the host's window handle) with the given size; events
// must outlive the window. Null when the window cannot be made.
std::unique_ptr<Window> createChildWindow(void* parent, int32_t width, int32_t height,
                                          WindowEvents* events);

// A width x height surface in the pixel format of reference (or of the screen when null),
// contents undefined. Null when width or height is not positive or memory runs out.
std::unique_ptr<Offscreen> createOffscreen(const Window* reference, int32_t width, int32_t height);

// The bitmap resource with this id (low 16 bits used), or null when there is none.
std::unique_ptr<Image> loadBitmap(int32_t id);

// The physical buttons down and modifier keys held now, as kButton* and kModifier* bits.
uint32_t physicalButtons();
// The user's swapped-buttons setting (primary button on the right).
bool buttonsSwapped();
// Pointer position in screen coordinates.
Point pointerScreenPosition();
// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t tickCount();
void sleepMilliseconds(uint32_t ms);
// Lets at most one pending repaint of any window of this process run (its onPaint is called);
// true when one ran.
bool runOnePendingRepaint();

} // namespace quorvane::platform
