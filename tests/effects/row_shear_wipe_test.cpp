// The row-shear wipe against a plain one-pixel-per-pass shift written here.
#include "effects/effects.h"
#include "screen_watch.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using namespace test_support;

constexpr int kWidth = 640, kHeight = 480;

Uint32& at(int x, int y)
{
    return display.pixels[y * display.pitch_px + x];
}

std::vector<Uint32> copy_of_screen()
{
    std::vector<Uint32> copy(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) copy[y * kWidth + x] = at(x, y);
    return copy;
}

// One pass as documented: odd rows one pixel left, even rows one pixel right, zero behind.
void one_pixel_pass(std::vector<Uint32>& screen)
{
    for (int y = 0; y < kHeight; ++y) {
        Uint32* row = &screen[y * kWidth];
        if (y % 2 == 1) {
            for (int x = 1; x <= 639; ++x) {
                row[x - 1] = row[x];
                row[x] = 0;
            }
        } else {
            for (int x = 638; x >= 0; --x) {
                row[x + 1] = row[x];
                row[x] = 0;
            }
        }
    }
}

int lit_pixels()
{
    int lit = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) lit += at(x, y) != 0;
    return lit;
}

void fill_with_noise(unsigned seed)
{
    std::mt19937 random(seed);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) at(x, y) = static_cast<Uint32>(random()) | 1;
}

class RowShearWipe : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        SDL_FillRect(display.screen, nullptr, 0);
    }
};

TEST_F(RowShearWipe, FirstFrameMovesEvenRowsFourRightAndOddRowsFourLeft)
{
    at(100, 0) = 0x00FFFFFF;
    at(100, 1) = 0x00FF8000;
    row_shear_frame();
    EXPECT_EQ(at(104, 0), 0x00FFFFFFu);
    EXPECT_EQ(at(96, 1), 0x00FF8000u);
    EXPECT_EQ(lit_pixels(), 2);
}

TEST_F(RowShearWipe, EachFrameEqualsFourOnePixelPasses)
{
    fill_with_noise(2);
    std::vector<Uint32> expected = copy_of_screen();
    for (int frame = 1; frame <= 160; ++frame) {
        row_shear_frame();
        for (int pass = 0; pass < 4; ++pass) one_pixel_pass(expected);
        if (frame <= 5 || frame == 80 || frame >= 158) {
            ASSERT_EQ(copy_of_screen(), expected) << "after frame " << frame;
        }
        if (frame == 159) {
            EXPECT_EQ(lit_pixels(), 480 * 4); // one frame short, the last columns are still lit
        }
    }
    EXPECT_EQ(lit_pixels(), 0);
}

// The wipe is 160 of those frames, each presented, and leaves every pixel zero.
TEST_F(RowShearWipe, IsOneHundredSixtyPresentedFramesEndingAllBlack)
{
    fill_with_noise(1);
    Watching watch;
    row_shear_wipe();
    EXPECT_EQ(screen_watch.presents.size(), 160u);
    EXPECT_EQ(lit_pixels(), 0);
}

} // namespace
