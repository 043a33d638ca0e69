// A byte-exact 24-bit BMP writer for the asset generators, so their output never depends on
// the library version that happens to be installed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
};

// Writes width x height pixels (row 0 at the top) as a bottom-up 24-bit BMP. False on failure.
inline bool write_bmp24(const std::string& path, int width, int height,
                        const std::vector<Rgb>& pixels)
{
    const uint32_t row_bytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t image_bytes = row_bytes * static_cast<uint32_t>(height);
    constexpr uint32_t kHeaderBytes = 14 + 40;
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    put32(kHeaderBytes + image_bytes);
    put32(0);
    put32(kHeaderBytes);
    put32(40);
    put32(static_cast<uint32_t>(width));
    put32(static_cast<uint32_t>(height));
    put16(1);
    put16(24);
    put32(0); // no compression
    put32(image_bytes);
    put32(2835); // 72 dpi
    put32(2835);
    put32(0);
    put32(0);
    for (int y = height - 1; y >= 0; --y) {
        const size_t start = out.size();
        for (int x = 0; x < width; ++x) {
            const Rgb& p = pixels[static_cast<size_t>(y) * width + x];
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
        while (out.size() - start < row_bytes) out.push_back(0);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}
