// Nearest-neighbour scaling against the whole-number index arithmetic.
#include "effects/effects.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace test_support;

constexpr Uint32 kRmask = 0x00FF0000, kGmask = 0x0000FF00, kBmask = 0x000000FF, kAmask = 0xFF000000;

// Every pixel different, with the alpha byte varying too (0x00, 0x7F, 0xFF and others).
Uint32 pattern(int x, int y)
{
    return static_cast<Uint32>((x * 37 + y * 101) % 256) << 24 | static_cast<Uint32>(x) << 12 |
           static_cast<Uint32>(y);
}

SDL_Surface* patterned_surface(int w, int h, Uint32 amask = kAmask)
{
    SDL_Surface* s = SDL_CreateRGBSurface(0, w, h, 32, kRmask, kGmask, kBmask, amask);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) surface_row(s, y)[x] = pattern(x, y);
    return s;
}

Uint32 pixel(SDL_Surface* s, int x, int y)
{
    return surface_row(s, y)[x];
}

// Every destination pixel against dst(x, y) = src((src_w * x) / new_w, (src_h * y) / new_h).
int mismatches_with_formula(SDL_Surface* source, SDL_Surface* scaled)
{
    int mismatches = 0;
    for (int y = 0; y < scaled->h; ++y)
        for (int x = 0; x < scaled->w; ++x) {
            const int sx = static_cast<int>(int64_t{source->w} * x / scaled->w);
            const int sy = static_cast<int>(int64_t{source->h} * y / scaled->h);
            if (pixel(scaled, x, y) != pixel(source, sx, sy) && ++mismatches <= 5)
                ADD_FAILURE() << "destination (" << x << ", " << y << ")";
        }
    return mismatches;
}

class ScaleSurface : public ::testing::Test {
  protected:
    void SetUp() override { start_test_display(); }
};

// The program's three enlargements (40x40 and 2x2 blocks), a halving that takes every other pixel
// from the top left, and uneven ratios, where rounding or a ratio computed once in floating point
// would show; with and without an alpha mask, whose top byte is copied as it is either way. The
// copy keeps the pixel layout. With release clear the source stays valid and unchanged; with it
// set, one reference is given up (an extra one keeps the source alive to be looked at).
TEST_F(ScaleSurface, EveryPixelFollowsTheWholeNumberProducts)
{
    const int sizes[][5] = {{8, 8, 320, 320, 1}, {320, 240, 640, 480, 1}, {320, 128, 640, 256, 1},
                            {4, 4, 2, 2, 1},     {7, 5, 13, 11, 0},       {320, 240, 641, 479, 1},
                            {13, 11, 7, 5, 0},   {3, 200, 1000, 3, 1},    {5, 5, 10, 10, 0}};
    bool release = false;
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3]);
        SDL_Surface* source = patterned_surface(s[0], s[1], s[4] ? kAmask : 0);
        const int refcount = source->refcount;
        release = !release;
        source->refcount += release;
        SDL_Surface* scaled = scale_surface(source, s[2], s[3], release);
        ASSERT_NE(scaled, nullptr);
        EXPECT_EQ(scaled->w, s[2]);
        EXPECT_EQ(scaled->h, s[3]);
        const SDL_PixelFormat& f = *scaled->format;
        EXPECT_TRUE(f.BitsPerPixel == 32 && f.Rmask == kRmask && f.Gmask == kGmask &&
                    f.Bmask == kBmask && f.Amask == (s[4] ? kAmask : 0));
        EXPECT_EQ(scaled->flags & SDL_HWSURFACE, 0u);
        EXPECT_EQ(mismatches_with_formula(source, scaled), 0);
        EXPECT_EQ(source->refcount, refcount);
        for (int y = 0; y < s[1]; ++y)
            for (int x = 0; x < s[0]; ++x) ASSERT_EQ(pixel(source, x, y), pattern(x, y));
        SDL_FreeSurface(scaled);
        SDL_FreeSurface(source);
    }
}

// The library refuses surfaces 16384 or more pixels wide; that stands in for running out of memory.
TEST_F(ScaleSurface, NoSourceOrADestinationThatCannotBeMadeGivesNoSurface)
{
    EXPECT_EQ(scale_surface(nullptr, 640, 480, false), nullptr);
    EXPECT_EQ(scale_surface(nullptr, 640, 480, true), nullptr);
    SDL_Surface* source = patterned_surface(8, 8);
    const int refcount = source->refcount;
    EXPECT_EQ(scale_surface(source, 16384, 1, false), nullptr);
    EXPECT_EQ(scale_surface(source, 20000, 30000, false), nullptr);
    EXPECT_EQ(scale_surface(source, -8, 8, false), nullptr);
    EXPECT_EQ(scale_surface(source, 8, -1, false), nullptr);
    EXPECT_EQ(source->refcount, refcount);
    EXPECT_EQ(pixel(source, 7, 7), pattern(7, 7));

    // The caller gave the source up, so it is released all the same.
    ++source->refcount;
    EXPECT_EQ(scale_surface(source, 16384, 1, true), nullptr);
    EXPECT_EQ(source->refcount, refcount);
    SDL_FreeSurface(source);
}

// A run-length encoded surface has no plain pixels until it is locked: scaling it must lock it,
// and must leave it unlocked again. (sdl12-compat keeps such a surface plain and needs no lock;
// the pixels and the unlocked state are checked all the same.)
TEST_F(ScaleSurface, LocksASourceThatMustBeLockedAndUnlocksItAfterwards)
{
    SDL_Surface* source = patterned_surface(8, 8, 0);
    SDL_SetColorKey(source, SDL_SRCCOLORKEY | SDL_RLEACCEL, 0);
    SDL_Rect at = {0, 0, 0, 0};
    SDL_UpperBlit(source, nullptr, display.screen, &at); // encodes it
    SDL_Surface* big = scale_surface(source, 16, 16, false);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(source->locked, 0);
    EXPECT_EQ(big->locked, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(pixel(big, x, y) & 0xFFFFFF, pattern(x / 2, y / 2) & 0xFFFFFF)
                << x << "," << y;
    SDL_FreeSurface(big);
    SDL_FreeSurface(source);
}

} // namespace
