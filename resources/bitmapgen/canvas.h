#pragma once
// A floating-point RGB picture with anti-aliased shape drawing for the panel artwork.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bitmapgen {

// Linear 0..255 colour components; alpha-blending happens in this space.
struct Rgb {
    float r = 0, g = 0, b = 0;
};

Rgb mix(Rgb a, Rgb b, float t);
Rgb scale(Rgb c, float k);
Rgb rgb8(int r, int g, int b);

// A shape's coverage of pixel (x, y), 0..1, given its signed distance d at the pixel centre.
float coverageFromDistance(float d);

// Pixels are addressed by integer coordinates; (x + 0.5, y + 0.5) is the pixel centre.
class Canvas {
public:
    Canvas(int width, int height, Rgb fill);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
    void set(int x, int y, Rgb c);
    // Blends c over pixel (x, y) with weight a (0..1); outside the canvas nothing happens.
    void blend(int x, int y, Rgb c, float a);

    // Every pixel whose centre lies in [x0, x1) x [y0, y1).
    void fillRect(int x0, int y0, int x1, int y1, Rgb c, float alpha = 1);
    // Vertical gradient from top to bottom colour over [x0, x1) x [y0, y1).
    void fillRectGradient(int x0, int y0, int x1, int y1, Rgb top, Rgb bottom);
    // Rounded rectangle with edges at the given real coordinates, anti-aliased.
    void fillRoundRect(float x0, float y0, float x1, float y1, float radius, Rgb c,
                       float alpha = 1);
    // As fillRoundRect, with a vertical gradient across the shape's height.
    void fillRoundRectGradient(float x0, float y0, float x1, float y1, float radius, Rgb top,
                               Rgb bottom);
    // Only the band of width w just inside the outline of the rounded rectangle.
    void strokeRoundRect(float x0, float y0, float x1, float y1, float radius, float w, Rgb c,
                         float alpha = 1);
    void fillCircle(float cx, float cy, float radius, Rgb c, float alpha = 1);
    // A soft round glow: alpha falls from peak at the centre to 0 at radius.
    void glow(float cx, float cy, float radius, Rgb c, float peak);
    // Anti-aliased line segment of width w.
    void line(float x0, float y0, float x1, float y1, float w, Rgb c, float alpha = 1);

private:
    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

// Signed distance from (px, py) to a rounded rectangle (negative inside).
float roundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius);

} // namespace bitmapgen
