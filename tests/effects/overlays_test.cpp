// The loading sprite, the logo and the label, cut from a sheet the tests write themselves.
#include "effects/effects.h"
#include "memory_exhaustion.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using namespace test_support;

constexpr Uint32 kBackground = 0x00123456; // not a colour of the test sheet
constexpr Uint32 kRgb = 0x00FFFFFF;

Uint32 screen_pixel(int x, int y)
{
    return surface_row(display.screen, y)[x] & kRgb;
}

// What a blit of sheet pixel (x, y) leaves on the background: black sheet pixels leave it alone.
Uint32 over_background(int sheet_x, int sheet_y)
{
    const Uint32 sheet = test_sheet_colour(sheet_x, sheet_y) & kRgb;
    return sheet == 0 ? kBackground : sheet;
}

void blit_at(SDL_Surface* overlay, Sint16 x, Sint16 y)
{
    SDL_Rect at = {x, y, 0, 0};
    SDL_UpperBlit(overlay, nullptr, display.screen, &at);
}

// The overlays are kept until exit by design; under the
// sanitizers the leak checker is told so.
::Overlays build_kept_overlays()
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler kept_until_exit;
#endif
    return build_overlays();
}

class Overlays : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        SDL_FillRect(display.screen, nullptr, kBackground);
    }
};

TEST_F(Overlays, AreThirtyTwoBitWithAlphaAndOfTheEnlargedSizes)
{
    const ::Overlays overlays = build_kept_overlays();
    for (SDL_Surface* s : {overlays.loading_sprite, overlays.logo}) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->format->BitsPerPixel, 32);
        EXPECT_EQ(s->format->Rmask, 0x00FF0000u);
        EXPECT_EQ(s->format->Gmask, 0x0000FF00u);
        EXPECT_EQ(s->format->Bmask, 0x000000FFu);
        EXPECT_EQ(s->format->Amask, 0xFF000000u);
    }
    EXPECT_EQ(overlays.loading_sprite->w, 320);
    EXPECT_EQ(overlays.loading_sprite->h, 320);
    EXPECT_EQ(overlays.logo->w, 640);
    EXPECT_EQ(overlays.logo->h, 256);
}

// Copied sheet pixels get full alpha; skipped black ones stay the all-zero word.
TEST_F(Overlays, CopiedSheetPixelsAreOpaqueAndBlackOnesFullyTransparent)
{
    const ::Overlays overlays = build_kept_overlays();
    ASSERT_NE(overlays.loading_sprite, nullptr);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 320; ++x) {
            const Uint32 sheet = test_sheet_colour(x / 40, 226 + y / 40) & kRgb;
            ASSERT_EQ(surface_row(overlays.loading_sprite, y)[x],
                      sheet == 0 ? 0u : 0xFF000000u | sheet)
                << x << "," << y;
        }
    ASSERT_NE(overlays.logo, nullptr);
    for (int y = 0; y < 254; ++y)
        for (int x = 0; x < 640; ++x) {
            const Uint32 sheet = test_sheet_colour(x / 2, 257 + y / 2) & kRgb;
            ASSERT_EQ(surface_row(overlays.logo, y)[x], sheet == 0 ? 0u : 0xFF000000u | sheet)
                << x << "," << y;
        }
}

TEST_F(Overlays, LogoRows254And255AreFullyTransparent)
{
    const ::Overlays overlays = build_kept_overlays();
    ASSERT_NE(overlays.logo, nullptr);
    for (int y = 254; y < 256; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(surface_row(overlays.logo, y)[x], 0u) << x << "," << y;
}

TEST_F(Overlays, LoadingSpriteAt176And80CoversItsSquareInFortyPixelBlocks)
{
    const ::Overlays overlays = build_kept_overlays();
    blit_at(overlays.loading_sprite, 176, 80);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const bool covered = x >= 176 && x <= 495 && y >= 80 && y <= 399;
            const Uint32 expected =
                covered ? over_background((x - 176) / 40, 226 + (y - 80) / 40) : kBackground;
            ASSERT_EQ(screen_pixel(x, y), expected) << x << "," << y;
        }
}

// Blitted over a picture, the logo lets it show through around its shapes and below its last
// strip row.
TEST_F(Overlays, LogoAt0And40CoversOnlyItsNonBlackSheetPixels)
{
    const ::Overlays overlays = build_kept_overlays();
    blit_at(overlays.logo, 0, 40);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const int logo_y = y - 40;
            const bool from_strip = logo_y >= 0 && logo_y < 254;
            const Uint32 expected =
                from_strip ? over_background(x / 2, 257 + logo_y / 2) : kBackground;
            ASSERT_EQ(screen_pixel(x, y), expected) << x << "," << y;
        }
}

TEST_F(Overlays, LabelCoversItsStripAbove450AndNothingElse)
{
    draw_loading_label();
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const bool covered = x >= 224 && x <= 543 && y >= 416 && y <= 446;
            const Uint32 expected = covered ? over_background(x - 224, 1 + y - 416) : kBackground;
            ASSERT_EQ(screen_pixel(x, y), expected) << x << "," << y;
        }
}

// Only pure black is transparent: a sheet whose sprite cell holds black, near-black and white.
TEST(OverlaysFromAnotherSheet, OnlyPureBlackSheetPixelsAreTransparent)
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

    const ::Overlays overlays = build_kept_overlays();
    blit_at(overlays.loading_sprite, 176, 80);
    for (int x = 0; x < 8; ++x) {
        const Uint32 expected = x % 3 == 0 ? kBackground : cell[x % 3];
        EXPECT_EQ(screen_pixel(176 + x * 40, 80), expected) << x;
        EXPECT_EQ(screen_pixel(176 + x * 40 + 39, 119), expected) << x;
    }
    EXPECT_EQ(screen_pixel(176, 120), 0x00FFFFFFu);
}

// Without memory for the enlarged surfaces the overlays are none, and drawing them draws nothing.
TEST_F(Overlays, NoMemoryForTheEnlargementsGivesNoOverlaysAndNoCrash)
{
    if (kAllocatorEndsProcessWhenOutOfMemory)
        GTEST_SKIP() << "needs an allocator that returns none";
    EXPECT_EXIT(
        {
            exhaust_large_allocations();
            const ::Overlays overlays = build_kept_overlays();
            blit_at(overlays.loading_sprite, 176, 80);
            blit_at(overlays.logo, 0, 40);
            const bool none = overlays.loading_sprite == nullptr && overlays.logo == nullptr;
            std::_Exit(none && screen_pixel(320, 240) == kBackground ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
