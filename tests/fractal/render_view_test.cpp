// The explorer's renderer against a plain computation of every pixel, and the rows it presents.
#include "screen_watch.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using namespace test_support;

class RenderView : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        reset_fractal_state();
    }
    static void set_state(const RefView& v, int limit, bool julia, double c_re, double c_im)
    {
        fractal_state = {v.x_min, v.x_max, v.y_min, v.y_max, limit, julia, c_re, c_im};
    }
    // Every screen pixel, the last row and column included, against the plain computation.
    static int screen_mismatches(const RefView& v, int limit, bool julia, double c_re, double c_im)
    {
        int mismatches = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                mismatches += screen_rgb(display.screen, x, y) !=
                              ref_pixel(v, x, y, 640, 480, limit, julia, c_re, c_im);
        return mismatches;
    }
};

// The default view, a zoom at a higher limit, and two Julia sets: one whose outside has the colour
// of count 0 and the Julia set of 0, whose unit disc stays black.
TEST_F(RenderView, EveryPixelMatchesThePlainComputation)
{
    struct Case {
        RefView view;
        int limit;
        bool julia;
        double c_re, c_im;
    };
    for (const Case& c : {Case{{-2.5, 1.5, -1.5, 1.5}, 1000, false, 0.0, 0.0},
                          Case{{-0.7454, -0.7446, 0.1127, 0.1133}, 3000, false, 0.0, 0.0},
                          Case{{-2.0, 2.0, -1.5, 1.5}, 1000, true, -0.75, 0.1},
                          Case{{-2.0, 2.0, -1.5, 1.5}, 1000, true, 0.0, 0.0}}) {
        set_state(c.view, c.limit, c.julia, c.c_re, c.c_im);
        render_view();
        EXPECT_EQ(screen_mismatches(c.view, c.limit, c.julia, c.c_re, c.c_im), 0) << c.limit;
    }
}

// Each row is presented as soon as it is finished, top to bottom, and the state is only read.
TEST_F(RenderView, PresentsEachRowInTurnAndLeavesTheStateAlone)
{
    set_state({-1.0, 1.0, -0.75, 0.75}, 1000, true, 0.25, 0.0);
    const FractalState before = fractal_state;
    Watching watch;
    render_view();
    std::vector<int> rows(480);
    for (int y = 0; y < 480; ++y) rows[y] = y;
    EXPECT_EQ(screen_watch.rows, rows);
    EXPECT_TRUE(screen_watch.presents.empty());
    const auto fields = [](const FractalState& s) {
        return std::tuple(s.x_min, s.x_max, s.y_min, s.y_max, s.max_iterations, s.julia,
                          s.julia_c_re, s.julia_c_im);
    };
    EXPECT_EQ(fields(fractal_state), fields(before));
}

} // namespace
