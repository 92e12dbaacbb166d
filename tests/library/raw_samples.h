#pragma once
// Camera RAW files made by the tests: DNGs written through libtiff, with the tags libraw
// needs to take them for a camera's.

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::test {

struct DngOptions {
    int width = 64;  // the sensor's size
    int height = 48;
    // Colour filter mosaic (RGGB) when false, else three samples a pixel (a linear DNG).
    bool linear = false;
    // A JPEG preview as the main directory (the raw data then in a sub-directory); none
    // when empty.
    std::vector<uint8_t> preview;
    int preview_width = 0;
    int preview_height = 0;
    int orientation = 1;
};

// The scene in the raw data, per sensor pixel as linear light 0..1: the left half red,
// the right half blue, each brighter towards the bottom.
void dng_scene(int x, int y, int width, int height, double rgb[3]);

// The DNG; empty when libtiff cannot write it. `scratch` is the file it is written through.
std::vector<uint8_t> make_dng(const DngOptions& options, const std::string& scratch);

}  // namespace vistrel::test
