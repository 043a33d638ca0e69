// The offscreen zoom frames against a plain computation of every pixel.
#include "memory_exhaustion.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace test_support;

constexpr Uint32 kOpaque = 0xFF000000;

// The view of a frame as the demo asks for it: centre and extent, halved on either side.
RefView view_of(double centre_re, double centre_im, double width, double height)
{
    return {centre_re - width * 0.5, centre_re + width * 0.5, centre_im - height * 0.5,
            centre_im + height * 0.5};
}

class PreloadFrame : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        reset_fractal_state();
    }
    // Every pixel, the last row and column included, against the plain computation; every
    // pixel must also be opaque.
    static void expect_frame_matches(SDL_Surface* frame, const RefView& v, int limit)
    {
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(frame->w, 320);
        ASSERT_EQ(frame->h, 240);
        int mismatches = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const RefRgb expected = ref_pixel(v, x, y, 320, 240, limit);
                const RefRgb got = screen_rgb(frame, x, y);
                const bool opaque = (surface_row(frame, y)[x] & kOpaque) == kOpaque;
                mismatches += got != expected || !opaque;
            }
        EXPECT_EQ(mismatches, 0);
    }
};

TEST_F(PreloadFrame, IsAnOpaqueThirtyTwoBitImageWithAlphaInTheTopByte)
{
    const double s = zoom_scale(0);
    SDL_Surface* frame = render_preload_frame(kZoomRe, kZoomIm, 4 * s, 3 * s);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->format->BitsPerPixel, 32);
    EXPECT_EQ(frame->format->Rmask, 0x00FF0000u);
    EXPECT_EQ(frame->format->Gmask, 0x0000FF00u);
    EXPECT_EQ(frame->format->Bmask, 0x000000FFu);
    EXPECT_EQ(frame->format->Amask, 0xFF000000u);
    EXPECT_EQ(frame->flags & SDL_HWSURFACE, 0u);
    EXPECT_EQ(frame->locked, 0);
    expect_frame_matches(frame, ref_zoom_view(0), 1000);
    SDL_FreeSurface(frame);
}

TEST_F(PreloadFrame, AViewWhollyInsideTheSetGivesNoImage)
{
    // Well inside the main cardioid: nothing escapes at any limit.
    EXPECT_EQ(render_preload_frame(-0.1, 0.0, 0.2, 0.15), nullptr);
    // The view is still published.
    EXPECT_EQ(fractal_state.x_min, -0.1 - 0.2 * 0.5);
    EXPECT_EQ(fractal_state.y_max, 0.0 + 0.15 * 0.5);
}

// With limit 2 a pixel is coloured only when it escapes on the first iteration, that is when its
// point lies at distance 2 or more from the origin. The circle of radius 2 passes between pixel
// (0, 0) at (-sqrt 2, -sqrt 2), whose square distance rounds to just above 4, and its neighbours,
// and every other pixel of the small view lies nearer the origin.
TEST_F(PreloadFrame, AViewWhereOnePixelEscapesIsOpaqueBlackButForThatPixel)
{
    const double corner = -std::sqrt(2.0);
    ASSERT_GE(corner * corner + corner * corner, 4.0);
    const double width = 0.25, height = 0.1875;
    const double centre_re = corner + width * 0.5, centre_im = corner + height * 0.5;
    const RefView v = view_of(centre_re, centre_im, width, height);
    ASSERT_EQ(v.x_min, corner);
    ASSERT_EQ(v.y_min, corner);

    fractal_state.max_iterations = 2;
    SDL_Surface* frame = render_preload_frame(centre_re, centre_im, width, height);
    expect_frame_matches(frame, v, 2);
    SDL_FreeSurface(frame);
}

// As when an explorer visit during the preload raises the limit between two steps: the frames
// after it take the new limit's colours, in the same run.
TEST_F(PreloadFrame, UsesALimitTheExplorerRaised)
{
    const double s = zoom_scale(10);
    const RefView v = ref_zoom_view(10);
    SDL_Surface* before = render_preload_frame(kZoomRe, kZoomIm, 4 * s, 3 * s);
    expect_frame_matches(before, v, 1000);
    SDL_FreeSurface(before);
    fractal_state.max_iterations = 2000;
    SDL_Surface* frame = render_preload_frame(kZoomRe, kZoomIm, 4 * s, 3 * s);
    expect_frame_matches(frame, v, 2000);
    EXPECT_EQ(fractal_state.max_iterations, 2000);
    // The green ramp depends on the limit: at 1000 the picture would differ.
    int differ = 0;
    for (int y = 0; y < 240; y += 4)
        for (int x = 0; x < 320; x += 4)
            differ += screen_rgb(frame, x, y) != ref_pixel(v, x, y, 320, 240, 1000);
    EXPECT_GT(differ, 0);
    SDL_FreeSurface(frame);
}

TEST_F(PreloadFrame, PublishesItsViewAndLeavesTheJuliaFieldsAlone)
{
    fractal_state.julia = true;
    fractal_state.julia_c_re = 0.285;
    fractal_state.julia_c_im = -0.01;
    fractal_state.x_min = 7.0;
    // The deepest step, where neighbouring columns are a few doubles apart.
    const double s = zoom_scale(43);
    const RefView v = ref_zoom_view(43);
    SDL_Surface* frame = render_preload_frame(kZoomRe, kZoomIm, 4 * s, 3 * s);
    EXPECT_EQ(fractal_state.x_min, v.x_min);
    EXPECT_EQ(fractal_state.x_max, v.x_max);
    EXPECT_EQ(fractal_state.y_min, v.y_min);
    EXPECT_EQ(fractal_state.y_max, v.y_max);
    EXPECT_TRUE(fractal_state.julia);
    EXPECT_EQ(fractal_state.julia_c_re, 0.285);
    EXPECT_EQ(fractal_state.julia_c_im, -0.01);
    EXPECT_EQ(fractal_state.max_iterations, 1000);
    // Julia mode does not reach the preload: the frame is the Mandelbrot picture.
    expect_frame_matches(frame, v, 1000);
    SDL_FreeSurface(frame);
}

TEST_F(PreloadFrame, NoMemoryForTheImageGivesNoImage)
{
    if (kAllocatorEndsProcessWhenOutOfMemory)
        GTEST_SKIP() << "needs an allocator that returns none";
    const double s = zoom_scale(0);
    EXPECT_EXIT(
        {
            exhaust_large_allocations();
            SDL_Surface* frame = render_preload_frame(kZoomRe, kZoomIm, 4 * s, 3 * s);
            std::_Exit(frame == nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
