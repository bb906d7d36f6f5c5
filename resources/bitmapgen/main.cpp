// Draws the seven bitmaps of the panel and writes them as BMP files; with --preview DIR it
// also writes PNG pictures of each bitmap and of the composed panel.

#include "bmpwriter.h"
#include "meterart.h"
#include "panelart.h"
#include "panelstyle.h"
#include "pngwriter.h"
#include "preview.h"
#include "sliderart.h"
#include "switchart.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace bitmapgen;

namespace {

struct Resource {
    int id;
    int bitsPerPixel;
    Pixels pixels;
    std::vector<uint32_t> pinned; // colours that must stay exact
};

uint32_t pixelOf(Rgb c) {
    return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | uint32_t(c.b);
}

Pixels handlePixels() {
    Pixels p = toPixels(drawSliderHandle());
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (handleCornerPixel(x, y)) p.data[size_t(y) * p.width + x] = kWhite;
    return p;
}

std::vector<Resource> drawAll() {
    const uint32_t face = pixelOf(kFace), window = pixelOf(kWindow);
    std::vector<Resource> r;
    r.push_back({128, 8, toPixels(drawPanel()), {face, window}});
    r.push_back({129, 4, toPixels(drawSliderTrack()), {face}});
    r.push_back({130, 4, handlePixels(), {kWhite}});
    r.push_back({131, 8, toPixels(drawMeterStrip(false)), {window}});
    r.push_back({132, 8, toPixels(drawMeterStrip(true)), {window}});
    r.push_back(
        {133,
         8,
         toPixels(drawLampSwitch(kSwitchWidth, kSwitchFrame, kSwitchPositions, kSwitchLampX)),
         {face}});
    r.push_back({134,
                 8,
                 toPixels(drawLampSwitch(kRmsSwitchWidth, kRmsSwitchFrame, kRmsSwitchPositions,
                                         kRmsSwitchLampX)),
                 {face}});
    return r;
}

bool writePreviews(const std::string& dir, const ResourceSet& decoded) {
    bool ok = true;
    for (const auto& [id, pixels] : decoded)
        ok =
            writePng(dir + "/" + std::to_string(id) + ".png", pixels, pixels.width < 100 ? 6 : 2) &&
            ok;
    const Pixels panel = composePanel(decoded);
    ok = writePng(dir + "/panel.png", panel) && ok;
    ok = writePng(dir + "/panel-x2.png", panel, 2) && ok;
    ok = writePng(dir + "/panel-left.png", crop(panel, 0, 0, 280, 202), 4) && ok;
    ok = writePng(dir + "/panel-centre.png", crop(panel, 340, 10, 240, 170), 4) && ok;
    ok = writePng(dir + "/panel-right.png", crop(panel, 680, 0, 220, 202), 4) && ok;
    ok = writePng(dir + "/slider-positions.png", composeSliderPositions(decoded), 4) && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    // arguments: output folder of the BMP files, optional --preview folder
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--preview") == 0)) {
        std::fprintf(stderr, "usage: bitmapgen BMP-DIR [--preview PNG-DIR]\n");
        return 2;
    }
    const std::string out = argv[1];

    // draw, quantise and write every resource
    ResourceSet decoded;
    for (const auto& res : drawAll()) {
        const IndexedImage image = quantize(res.pixels, res.bitsPerPixel, res.pinned);
        const std::string path = out + "/" + std::to_string(res.id) + ".bmp";
        if (!writeFile(path, encodeBmp(image))) {
            std::fprintf(stderr, "bitmapgen: cannot write %s\n", path.c_str());
            return 1;
        }
        decoded[res.id] = expand(image);
        std::printf("%s: %d x %d, %d bit, %zu colours\n", path.c_str(), image.width, image.height,
                    image.bitsPerPixel, image.palette.size());
    }

    // previews
    if (argc == 4 && !writePreviews(argv[3], decoded)) {
        std::fprintf(stderr, "bitmapgen: cannot write the previews\n");
        return 1;
    }
    return 0;
}
