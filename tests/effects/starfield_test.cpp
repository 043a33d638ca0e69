// The starfield: the screen is the whole state, stars are its non-black pixels.
#include "effects/effects.h"
#include "explorer/explorer_test_support.h"
#include "screen_watch.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

using namespace test_support;

constexpr int kWidth = 640, kHeight = 480;

Uint32& at(int x, int y)
{
    return display.pixels[y * display.pitch_px + x];
}

Uint32 black()
{
    return SDL_MapRGB(display.screen->format, 0, 0, 0);
}

Uint32 star_colour(Uint8 r, Uint8 g, Uint8 b)
{
    return SDL_MapRGB(display.screen->format, r, g, b);
}

int star_count()
{
    int stars = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) stars += at(x, y) != black();
    return stars;
}

// One step as documented: the in-place scan from the left, speed (y mod 4) + 1, wrapping.
void plain_step(std::vector<Uint32>& screen, Uint32 background)
{
    for (int y = 0; y < kHeight; ++y) {
        const int s = y % 4 + 1;
        for (int x = 0; x < kWidth; ++x) {
            const Uint32 v = screen[y * kWidth + x];
            if (v == background) continue;
            screen[y * kWidth + x] = background;
            screen[y * kWidth + (x - s + kWidth) % kWidth] = v;
        }
    }
}

class Starfield : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        reset_fractal_state();
        SDL_FillRect(display.screen, nullptr, black());
    }
};

// The wrapped star lands ahead of the scan, is met again and moves a second time; the star that
// stood at the right end is overwritten and lost.
TEST_F(Starfield, AStarWrappingFromTheLeftEdgeMovesTwiceAndTheStarItLandsOnIsLost)
{
    const Uint32 wrapping = star_colour(250, 250, 130);
    const Uint32 lost = star_colour(130, 130, 250);
    at(0, 0) = wrapping;
    at(639, 0) = lost;
    at(2, 3) = wrapping; // to 638, then 634
    step_stars();
    EXPECT_EQ(at(638, 0), wrapping);
    EXPECT_EQ(at(639, 0), black());
    EXPECT_EQ(at(634, 3), wrapping);
    EXPECT_EQ(star_count(), 2);
}

TEST_F(Starfield, StepsMatchThePlainScanOnADenseSky)
{
    std::mt19937 random(5);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (random() % 8 == 0)
                at(x, y) = star_colour(static_cast<Uint8>(127 + random() % 128), 200, 127);
    std::vector<Uint32> expected = screen_words();
    for (int step = 1; step <= 12; ++step) {
        step_stars();
        plain_step(expected, black());
        ASSERT_EQ(screen_words(), expected) << "after step " << step;
    }
}

// Replays the random sequence: one draw per pixel, a star for one draw in 256, and for a star blue,
// green, red in that order, each 127..254. Any seeding inside the scatter would break the replay.
TEST_F(Starfield, ScatterDrawsBlueGreenRedFromTheUnseededSequenceAndLeavesOtherPixelsAlone)
{
    constexpr Uint32 kPicture = 0x00010203;
    SDL_FillRect(display.screen, nullptr, kPicture);
    std::srand(7);
    std::vector<Uint32> expected(kWidth * kHeight, kPicture);
    for (Uint32& pixel : expected) {
        if (std::rand() % 256 != 0) continue;
        const int b = 127 + std::rand() % 128;
        const int g = 127 + std::rand() % 128;
        const int r = 127 + std::rand() % 128;
        pixel = star_colour(static_cast<Uint8>(r), static_cast<Uint8>(g), static_cast<Uint8>(b));
    }
    std::srand(7);
    scatter_stars();
    EXPECT_EQ(screen_words(), expected);
}

// The pace is checked through the waits the interlude asks for and the presents' tick stamps,
// which a busy machine cannot shift.
TEST_F(Starfield, InterludeStartsFromBlackAndStepsEveryFiveMillisecondsForFourSeconds)
{
    SDL_FillRect(display.screen, nullptr, star_colour(255, 255, 255)); // never a star colour
    Watching watch;
    const Uint32 before = SDL_GetTicks();
    starfield_interlude();
    const Uint32 elapsed = SDL_GetTicks() - before;
    EXPECT_GE(elapsed, 4000u);
    EXPECT_LT(elapsed, 4800u); // one step and a 5 ms delay past the end, on a shared machine
    // The scattered sky, then one present per step: the first at once, each later one 5 ms on.
    const std::vector<Present>& presents = screen_watch.presents;
    ASSERT_GT(presents.size(), 40u);
    EXPECT_LE(presents.size(), 1u + 800u);
    EXPECT_EQ(presents[1].delay_ms, 0u);
    for (size_t step = 2; step < presents.size(); ++step)
        ASSERT_EQ(presents[step].delay_ms, 5u) << "step " << step;
    // The last step began within the 4 s: its present follows a step's work later.
    EXPECT_LT(presents.back().ticks - before, 4000u + 50u);
    EXPECT_EQ(screen_watch.pending_delay_ms, 5u);
    int white = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) white += at(x, y) == star_colour(255, 255, 255);
    EXPECT_EQ(white, 0);
    EXPECT_GT(star_count(), 900);
    EXPECT_LE(star_count(), 1400);
}

TEST_F(Starfield, EscapeDuringTheInterludeEndsTheProcessWithStatusZero)
{
    push_key(SDLK_ESCAPE);
    EXPECT_EXIT(starfield_interlude(), ::testing::ExitedWithCode(0), "");
}

} // namespace
