// The row-shear wipe against a plain one-pixel-per-pass shift written here.
#include "effects/effects.h"
#include "screen_watch.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using namespace test_support;

constexpr int kWidth = 640, kHeight = 480;

Uint32& at(int x, int y)
{
    return display.pixels[y * display.pitch_px + x];
}

// One pass as documented: odd rows one pixel left, even rows one pixel right, zero behind.
void one_pixel_pass(std::vector<Uint32>& screen)
{
    for (int y = 0; y < kHeight; ++y) {
        Uint32* row = &screen[y * kWidth];
        if (y % 2 == 1) {
            std::copy(row + 1, row + kWidth, row);
            row[kWidth - 1] = 0;
        } else {
            std::copy_backward(row, row + kWidth - 1, row + kWidth);
            row[0] = 0;
        }
    }
}

// 160 presented frames, each four one-pixel passes on from the one before: the last is all black.
// Rows of noise with no pixel black, and rows that are black but for a stretch, as on the
// loading screen, or but for a pixel or two.
TEST(RowShearWipe, EachOfItsHundredAndSixtyPresentedFramesIsFourOnePixelPassesOn)
{
    start_test_display();
    std::mt19937 random(2);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool lit = y % 3 == 0 || (y % 3 == 1 && x >= y % 50 && x < 640 - y % 70) ||
                             x == y || x == 639 - y / 2;
            at(x, y) = lit ? static_cast<Uint32>(random()) | 1 : 0;
        }
    std::vector<Uint32> expected = screen_words();
    std::vector<int> differing;
    {
        Watching watch([&](int frame) {
            for (int pass = 0; pass < 4; ++pass) one_pixel_pass(expected);
            if (screen_words() != expected) differing.push_back(frame);
        });
        row_shear_wipe();
        EXPECT_EQ(screen_watch.presents.size(), 160u);
    }
    EXPECT_EQ(differing, std::vector<int>{});
    EXPECT_EQ(screen_words(), std::vector<Uint32>(kWidth * kHeight, 0));
}

} // namespace
