// The explorer's renderer against a plain computation of every pixel.
#include "sdl_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace test_support;

class RenderView : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        reset_fractal_state();
    }
    void set_view(const RefView& v)
    {
        fractal_state.x_min = v.x_min;
        fractal_state.x_max = v.x_max;
        fractal_state.y_min = v.y_min;
        fractal_state.y_max = v.y_max;
    }
    // Compares every screen pixel, the last row and column included, with the plain computation.
    void expect_screen_matches(const RefView& v, int limit, bool julia, double c_re, double c_im)
    {
        int mismatches = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const RefRgb expected = ref_pixel(v, x, y, 640, 480, limit, julia, c_re, c_im);
                const RefRgb got = screen_rgb(display.screen, x, y);
                if (got != expected && ++mismatches <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << got.r << "," << got.g
                                  << "," << got.b << " expected " << expected.r << "," << expected.g
                                  << "," << expected.b;
            }
        EXPECT_EQ(mismatches, 0);
    }
};

TEST_F(RenderView, DefaultMandelbrotViewIsExact)
{
    const RefView v{-2.5, 1.5, -1.5, 1.5};
    set_view(v);
    render_view();
    expect_screen_matches(v, 1000, false, 0, 0);
    // Pixel (0, 0) is (-2.5, -1.5), which escapes on the first iteration.
    EXPECT_EQ(screen_rgb(display.screen, 0, 0), ref_colour(1, 1000));
    // Column 400 is re = 0: (0, 0) there is black.
    EXPECT_EQ(screen_rgb(display.screen, 400, 240), (RefRgb{0, 0, 0}));
}

TEST_F(RenderView, ZoomedViewAtAHigherLimitIsExact)
{
    const RefView v{-0.7454, -0.7446, 0.1127, 0.1133};
    set_view(v);
    fractal_state.max_iterations = 3000;
    render_view();
    expect_screen_matches(v, 3000, false, 0, 0);
}

TEST_F(RenderView, JuliaViewIsExactAndTheOutsideHasTheColourOfCountZero)
{
    const RefView v{-2.0, 2.0, -1.5, 1.5};
    set_view(v);
    fractal_state.julia = true;
    fractal_state.julia_c_re = -0.75;
    fractal_state.julia_c_im = 0.1;
    render_view();
    expect_screen_matches(v, 1000, true, -0.75, 0.1);
    EXPECT_EQ(screen_rgb(display.screen, 0, 0), (RefRgb{127, 95, 127}));   // (-2, -1.5)
    EXPECT_EQ(screen_rgb(display.screen, 639, 0), (RefRgb{127, 95, 127})); // |z| > 2
}

TEST_F(RenderView, JuliaOfZeroKeepsTheUnitDiscBlack)
{
    const RefView v{-2.0, 2.0, -1.5, 1.5};
    set_view(v);
    fractal_state.julia = true;
    render_view();
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7) {
            const double re = -2.0 + 4.0 * (x / 640.0), im = -1.5 + 3.0 * (y / 480.0);
            if (re * re + im * im < 0.99) {
                ASSERT_EQ(screen_rgb(display.screen, x, y), (RefRgb{0, 0, 0}));
            }
        }
    expect_screen_matches(v, 1000, true, 0, 0);
}

TEST_F(RenderView, LeavesTheFractalStateUnchanged)
{
    set_view({-1.0, 1.0, -0.75, 0.75});
    fractal_state.julia = true;
    fractal_state.julia_c_re = 0.25;
    const FractalState before = fractal_state;
    render_view();
    EXPECT_EQ(before.x_min, fractal_state.x_min);
    EXPECT_EQ(before.x_max, fractal_state.x_max);
    EXPECT_EQ(before.y_min, fractal_state.y_min);
    EXPECT_EQ(before.y_max, fractal_state.y_max);
    EXPECT_EQ(before.max_iterations, fractal_state.max_iterations);
    EXPECT_EQ(before.julia, fractal_state.julia);
    EXPECT_EQ(before.julia_c_re, fractal_state.julia_c_re);
    EXPECT_EQ(before.julia_c_im, fractal_state.julia_c_im);
}

} // namespace
