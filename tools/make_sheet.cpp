// Writes the sprite sheet "gfx.bmp": black everywhere (black is transparent) except the label
// strip (0, 1, 320, 31), the sprite cell (0, 226, 8, 8) and the logo strip (0, 257, 320, 127).
#include "bmp_writer.h"

#include <cstdio>

constexpr int kSheetWidth = 320;
constexpr int kSheetHeight = 384;

static void fill(std::vector<Rgb>& sheet, int x0, int y0, int w, int h, Rgb colour)
{
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) sheet[static_cast<size_t>(y) * kSheetWidth + x] = colour;
}

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "gfx.bmp";
    std::vector<Rgb> sheet(static_cast<size_t>(kSheetWidth) * kSheetHeight, Rgb{0, 0, 0});
    // Provisional art: plain bars that show where each area lands on the screen.
    for (int x = 0; x < 320; x += 20) fill(sheet, x + 2, 4, 16, 25, Rgb{40, 200, 120});
    for (int i = 0; i < 8; ++i) fill(sheet, i, 226 + i, 8 - i, 1, Rgb{200, static_cast<uint8_t>(30 * i), 60});
    for (int x = 0; x < 320; x += 40) fill(sheet, x + 4, 270, 32, 90, Rgb{220, 160, 40});
    if (!write_bmp24(path, kSheetWidth, kSheetHeight, sheet)) {
        std::fprintf(stderr, "make_sheet: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
