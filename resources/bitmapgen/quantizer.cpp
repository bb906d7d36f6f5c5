#include "quantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace bitmapgen {

namespace {

struct Entry {
    uint32_t colour;
    uint64_t count;
};

int channel(uint32_t c, int k) {
    return int((c >> (16 - 8 * k)) & 0xFF);
}

// A set of colours that becomes one palette entry.
struct Box {
    std::vector<Entry> entries;

    int range(int k) const {
        int lo = 255, hi = 0;
        for (const auto& e : entries) {
            lo = std::min(lo, channel(e.colour, k));
            hi = std::max(hi, channel(e.colour, k));
        }
        return hi - lo;
    }
    int widestChannel() const {
        int best = 0;
        for (int k = 1; k < 3; ++k)
            if (range(k) > range(best)) best = k;
        return best;
    }
    uint32_t mean() const {
        std::array<double, 3> sum{};
        double total = 0;
        for (const auto& e : entries) {
            for (int k = 0; k < 3; ++k)
                sum[k] += double(channel(e.colour, k)) * double(e.count);
            total += double(e.count);
        }
        uint32_t c = 0;
        for (int k = 0; k < 3; ++k)
            c = (c << 8) | uint32_t(std::lround(sum[k] / total));
        return c == kWhite ? 0xFEFEFE : c;
    }
};

// Splits at the population median along the widest channel; false if it cannot be split.
bool split(Box& box, Box& upper) {
    if (box.entries.size() < 2) return false;
    const int k = box.widestChannel();
    std::sort(box.entries.begin(), box.entries.end(), [k](const Entry& a, const Entry& b) {
        const int ca = channel(a.colour, k), cb = channel(b.colour, k);
        return ca != cb ? ca < cb : a.colour < b.colour;
    });
    uint64_t total = 0;
    for (const auto& e : box.entries)
        total += e.count;
    uint64_t run = 0;
    size_t cut = 1;
    for (; cut < box.entries.size(); ++cut) {
        run += box.entries[cut - 1].count;
        if (2 * run >= total) break;
    }
    cut = std::min(cut, box.entries.size() - 1);
    upper.entries.assign(box.entries.begin() + long(cut), box.entries.end());
    box.entries.resize(cut);
    return true;
}

// Box with the widest channel range among those that can still be split; ties: first box.
int boxToSplit(const std::vector<Box>& boxes) {
    int best = -1, bestRange = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].entries.size() < 2) continue;
        const int r = boxes[i].range(boxes[i].widestChannel());
        if (best < 0 || r > bestRange) best = int(i), bestRange = r;
    }
    return best;
}

std::vector<uint32_t> medianCut(std::vector<Entry> entries, size_t colours) {
    std::vector<Box> boxes;
    if (entries.empty() || colours == 0) return {};
    boxes.push_back(Box{std::move(entries)});
    while (boxes.size() < colours) {
        const int i = boxToSplit(boxes);
        if (i < 0) break;
        Box upper;
        split(boxes[size_t(i)], upper);
        boxes.push_back(std::move(upper));
    }
    std::vector<uint32_t> palette;
    for (const auto& b : boxes)
        palette.push_back(b.mean());
    return palette;
}

int distance(uint32_t a, uint32_t b) {
    int d = 0;
    for (int k = 0; k < 3; ++k) {
        const int e = channel(a, k) - channel(b, k);
        d += e * e;
    }
    return d;
}

uint8_t nearest(const std::vector<uint32_t>& palette, uint32_t c) {
    size_t best = 0;
    int bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        if ((palette[i] == kWhite) != (c == kWhite)) continue;
        const int d = distance(palette[i], c);
        if (bestDistance < 0 || d < bestDistance) best = i, bestDistance = d;
    }
    return uint8_t(best);
}

} // namespace

Pixels toPixels(const Canvas& canvas) {
    Pixels out{canvas.width(), canvas.height(), {}};
    out.data.reserve(size_t(canvas.width()) * canvas.height());
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const Rgb c = canvas.at(x, y);
            auto byte = [](float v) { return uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
            uint32_t p = (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
            out.data.push_back(p == kWhite ? 0xFEFEFE : p);
        }
    return out;
}

IndexedImage quantize(const Pixels& pixels, int bitsPerPixel, const std::vector<uint32_t>& pinned) {
    // count: every distinct colour with its population, in colour order
    std::map<uint32_t, uint64_t> counts;
    for (uint32_t p : pixels.data)
        ++counts[p];
    const size_t maxColours = size_t(1) << bitsPerPixel;

    // palette: exact if it fits, else the pinned colours plus a median cut of the rest
    std::vector<uint32_t> palette;
    if (counts.size() <= maxColours) {
        for (const auto& [c, n] : counts)
            palette.push_back(c);
    } else {
        std::vector<Entry> rest;
        for (uint32_t c : pinned)
            if (counts.count(c)) palette.push_back(c);
        for (const auto& [c, n] : counts)
            if (std::find(palette.begin(), palette.end(), c) == palette.end())
                rest.push_back({c, n});
        for (uint32_t c : medianCut(std::move(rest), maxColours - palette.size()))
            if (std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
    }

    // map: each distinct colour once, then every pixel
    std::map<uint32_t, uint8_t> index;
    for (const auto& [c, n] : counts)
        index[c] = nearest(palette, c);
    IndexedImage out{pixels.width, pixels.height, bitsPerPixel, palette, {}};
    out.indices.reserve(pixels.data.size());
    for (uint32_t p : pixels.data)
        out.indices.push_back(index[p]);
    return out;
}

} // namespace bitmapgen
