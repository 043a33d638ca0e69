// The loading sprite and the logo: which sheet pixels they leave transparent, and no memory for
// them. Their pixels on the screen are checked with the demo's timeline (app/frame_table_test.cpp).
#include "effects/effects.h"
#include "memory_exhaustion.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace test_support;

constexpr Uint32 kBackground = 0x00123456; // not a colour of the test sheet
constexpr Uint32 kRgb = 0x00FFFFFF;

Uint32 screen_pixel(int x, int y)
{
    return surface_row(display.screen, y)[x] & kRgb;
}

void blit_at(SDL_Surface* overlay, Sint16 x, Sint16 y)
{
    SDL_Rect at = {x, y, 0, 0};
    SDL_UpperBlit(overlay, nullptr, display.screen, &at);
}

// Only pure black is transparent: a sheet whose sprite cell holds black, near-black and white.
TEST(Overlays, OnlyPureBlackSheetPixelsAreTransparent)
{
    use_dummy_drivers();
    enter_scratch_dir();
    SDL_Surface* sheet =
        SDL_CreateRGBSurface(0, 320, 384, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    SDL_FillRect(sheet, nullptr, 0x00FFFFFF);
    const Uint32 cell[3] = {0x00000000, 0x00000001, 0x00010000};
    for (int x = 0; x < 8; ++x) surface_row(sheet, 226)[x] = cell[x % 3];
    SDL_SaveBMP(sheet, "gfx.bmp");
    SDL_FreeSurface(sheet);
    start_up();
    SDL_FillRect(display.screen, nullptr, kBackground);

    const Overlays overlays = build_kept_overlays();
    blit_at(overlays.loading_sprite, 176, 80);
    for (int x = 0; x < 8; ++x) {
        const Uint32 expected = x % 3 == 0 ? kBackground : cell[x % 3];
        EXPECT_EQ(screen_pixel(176 + x * 40, 80), expected) << x;
        EXPECT_EQ(screen_pixel(176 + x * 40 + 39, 119), expected) << x;
    }
    EXPECT_EQ(screen_pixel(176, 120), 0x00FFFFFFu);
}

// Without memory for the enlarged surfaces the overlays are none, and drawing them draws nothing.
TEST(Overlays, NoMemoryForTheEnlargementsGivesNoOverlaysAndNoCrash)
{
    if (kAllocatorEndsProcessWhenOutOfMemory)
        GTEST_SKIP() << "needs an allocator that returns none";
    start_test_display();
    SDL_FillRect(display.screen, nullptr, kBackground);
    EXPECT_EXIT(
        {
            exhaust_large_allocations();
            const Overlays overlays = build_kept_overlays();
            blit_at(overlays.loading_sprite, 176, 80);
            blit_at(overlays.logo, 0, 40);
            const bool none = overlays.loading_sprite == nullptr && overlays.logo == nullptr;
            std::_Exit(none && screen_pixel(320, 240) == kBackground ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
