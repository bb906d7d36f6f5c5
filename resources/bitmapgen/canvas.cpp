#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace bitmapgen {

Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb c, float k) {
    return {c.r * k, c.g * k, c.b * k};
}

Rgb rgb8(int r, int g, int b) {
    return {float(r), float(g), float(b)};
}

float coverageFromDistance(float d) {
    return std::clamp(0.5f - d, 0.0f, 1.0f);
}

float roundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    const float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(size_t(width) * height, fill) {}

void Canvas::set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[size_t(y) * width_ + x] = c;
}

void Canvas::blend(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || a <= 0) return;
    Rgb& p = pixels_[size_t(y) * width_ + x];
    p = mix(p, c, std::min(a, 1.0f));
}

void Canvas::fillRect(int x0, int y0, int x1, int y1, Rgb c, float alpha) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            blend(x, y, c, alpha);
}

void Canvas::fillRectGradient(int x0, int y0, int x1, int y1, Rgb top, Rgb bottom) {
    const float span = float(std::max(y1 - y0 - 1, 1));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            set(x, y, mix(top, bottom, float(y - y0) / span));
}

void Canvas::fillRoundRect(float x0, float y0, float x1, float y1, float radius, Rgb c,
                           float alpha) {
    for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y)
        for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
            const float d = roundRectDistance(x + 0.5f, y + 0.5f, x0, y0, x1, y1, radius);
            blend(x, y, c, alpha * coverageFromDistance(d));
        }
}

void Canvas::fillRoundRectGradient(float x0, float y0, float x1, float y1, float radius, Rgb top,
                                   Rgb bottom) {
    for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y) {
        const float t = std::clamp((y + 0.5f - y0) / (y1 - y0), 0.0f, 1.0f);
        const Rgb c = mix(top, bottom, t);
        for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
            const float d = roundRectDistance(x + 0.5f, y + 0.5f, x0, y0, x1, y1, radius);
            blend(x, y, c, coverageFromDistance(d));
        }
    }
}

void Canvas::strokeRoundRect(float x0, float y0, float x1, float y1, float radius, float w, Rgb c,
                             float alpha) {
    for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y)
        for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
            const float d = roundRectDistance(x + 0.5f, y + 0.5f, x0, y0, x1, y1, radius);
            const float inside = coverageFromDistance(d);
            const float beyondBand = coverageFromDistance(d + w);
            blend(x, y, c, alpha * (inside - beyondBand));
        }
}

void Canvas::fillCircle(float cx, float cy, float radius, Rgb c, float alpha) {
    for (int y = int(std::floor(cy - radius - 1)); y <= int(cy + radius + 1); ++y)
        for (int x = int(std::floor(cx - radius - 1)); x <= int(cx + radius + 1); ++x) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) - radius;
            blend(x, y, c, alpha * coverageFromDistance(d));
        }
}

void Canvas::glow(float cx, float cy, float radius, Rgb c, float peak) {
    for (int y = int(std::floor(cy - radius)); y <= int(cy + radius); ++y)
        for (int x = int(std::floor(cx - radius)); x <= int(cx + radius); ++x) {
            const float t = 1 - std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
            if (t > 0) blend(x, y, c, peak * t * t);
        }
}

void Canvas::line(float x0, float y0, float x1, float y1, float w, Rgb c, float alpha) {
    const float dx = x1 - x0, dy = y1 - y0;
    const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    const int left = int(std::floor(std::min(x0, x1) - w)), right = int(std::max(x0, x1) + w);
    const int top = int(std::floor(std::min(y0, y1) - w)), bottom = int(std::max(y0, y1) + w);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const float px = x + 0.5f - x0, py = y + 0.5f - y0;
            const float t = std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f);
            const float d = std::hypot(px - t * dx, py - t * dy) - w / 2;
            blend(x, y, c, alpha * coverageFromDistance(d));
        }
}

} // namespace bitmapgen
