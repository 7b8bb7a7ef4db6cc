#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace driver {

// Pixels of a part of the screen, top row first, 0x00RRGGBB each.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// What the display shows in `area` (screen coordinates).
Image CaptureScreen(const RECT& area);
Image CaptureWholeScreen();

// Writes the image as a PNG file; false if the file cannot be written.
bool SavePng(const Image& image, const std::string& path);

} // namespace driver
