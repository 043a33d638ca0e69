// The escape-time iteration's boundaries and the colouring of counts.
#include "fractal/fractal.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// A 32-bit format with red in bits 16-23, like the screen and the preload frames.
struct Format32 {
    SDL_Surface* surface =
        SDL_CreateRGBSurface(0, 1, 1, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    ~Format32() { SDL_FreeSurface(surface); }
    RefRgb rgb(Uint32 pixel) const
    {
        Uint8 r, g, b;
        SDL_GetRGB(pixel, surface->format, &r, &g, &b);
        return {r, g, b};
    }
};

// The program and the tests' reference alike.
TEST(EscapeColour, MatchesTheDocumentedColours)
{
    Format32 f;
    const std::pair<int, RefRgb> documented[] = {{0, {127, 95, 127}},
                                                 {1, {119, 91, 134}},
                                                 {25, {0, 11, 253}},
                                                 {75, {253, 127, 0}},
                                                 {999, {134, 225, 119}}};
    for (const auto& [n, rgb] : documented) {
        EXPECT_EQ(f.rgb(escape_colour(n, 1000, f.surface->format)), rgb) << n;
        EXPECT_EQ(ref_colour(n, 1000), rgb) << n;
    }
}

TEST(EscapeColour, AgreesWithThePlainFormulaForEveryCount)
{
    Format32 f;
    for (int limit : {1000, 2000, 7000})
        for (int n = 0; n < limit; ++n)
            ASSERT_EQ(f.rgb(escape_colour(n, limit, f.surface->format)), ref_colour(n, limit))
                << "n " << n << " limit " << limit;
}

TEST(EscapeCount, AnEscapeOnTheLastAllowedIterationIsInside)
{
    // c = 0.5 escapes on iteration 5: 0.5, 0.75, 1.0625, 1.6289, 3.1533.
    EXPECT_EQ(escape_count(0, 0, 0.5, 0, 6), 5);
    EXPECT_EQ(escape_count(0, 0, 0.5, 0, 5), 5); // 5 is the limit: inside
    EXPECT_EQ(escape_count(0, 0, 0.5, 0, 4), 4); // never got to escape: inside
    EXPECT_EQ(ref_count(0, 0, 0.5, 0, 5), -1);
    // c = 2 escapes on the first iteration (|z|^2 = 4 is not below 4).
    EXPECT_EQ(escape_count(0, 0, 2.0, 0, 1000), 1);
    EXPECT_EQ(escape_count(0, 0, 2.0, 0, 1), 1);
}

TEST(EscapeCount, AJuliaStartPointOutsideRadiusTwoEscapesAtOnce)
{
    EXPECT_EQ(escape_count(2.0, 0.0, 0.0, 0.0, 1000), 0);
    EXPECT_EQ(escape_count(-1.5, -1.5, 0.3, 0.1, 1000), 0);
    EXPECT_EQ(escape_count(0.0, -2.0, 0.0, 0.0, 1000), 0);
    EXPECT_GT(escape_count(1.99, 0.0, 0.0, 0.0, 1000), 0);
}

TEST(EscapeCount, TheOriginNeverEscapes)
{
    for (int limit : {1, 1000, 2000, 100000}) EXPECT_EQ(escape_count(0, 0, 0, 0, limit), limit);
    EXPECT_EQ(escape_count(0.5, 0.0, 0.0, 0.0, 5000), 5000); // Julia of 0: the unit disc stays
}

TEST(EscapeCount, AgreesWithThePlainDefinitionAcrossThePlane)
{
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 150; ++j) {
            const double re = -2.5 + i * 0.02, im = -1.5 + j * 0.02;
            const int expected = ref_count(0, 0, re, im, 500);
            EXPECT_EQ(escape_count(0, 0, re, im, 500), expected < 0 ? 500 : expected);
        }
}

} // namespace
