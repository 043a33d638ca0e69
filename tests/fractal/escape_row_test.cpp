// The vector escape-time kernels, count for count against the plain escape_count, and
// escape_row's choice among them. Needs no SDL: it is also cross-built for other processors.
#include "fractal/escape_time.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <complex>
#include <numbers>
#include <ostream>
#include <vector>

namespace {

using RowFunction = void(int32_t*, const double*, int, double, bool, double, double, int32_t);

struct RowKernel {
    const char* name;
    RowFunction* run;
    bool runs_here; // the processor has the kernel's instruction set
};

// Every kernel built for this processor, widest first.
std::vector<RowKernel> row_kernels()
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    return {{"escape_row_avx512", escape_row_avx512, __builtin_cpu_supports("avx512f") != 0},
            {"escape_row_avx2", escape_row_avx2, __builtin_cpu_supports("avx2") != 0},
            {"escape_row_sse2", escape_row_sse2, true}};
#else
    return {{"escape_row_generic", escape_row_generic, true}};
#endif
}

// Every test runs once per kernel; a kernel the processor cannot run is skipped.
class EscapeRow : public testing::TestWithParam<RowKernel> {
  protected:
    void SetUp() override
    {
        if (!GetParam().runs_here)
            GTEST_SKIP() << GetParam().name << " needs an instruction set this processor lacks";
    }
};

// Names the kernel in test names and messages.
void PrintTo(const RowKernel& kernel, std::ostream* out)
{
    *out << kernel.name;
}

INSTANTIATE_TEST_SUITE_P(Kernels, EscapeRow, testing::ValuesIn(row_kernels()),
                         testing::PrintToStringParamName());

// Runs the kernel on one row and compares each count with escape_count's. Returns the number
// of mismatches; the first few are reported in full.
int expect_row_matches(const RowKernel& kernel, const std::vector<double>& re, double im,
                       bool julia, double c_re, double c_im, int32_t limit)
{
    const size_t width = re.size();
    std::vector<int32_t> expected(width);
    for (size_t x = 0; x < width; ++x)
        expected[x] = julia ? escape_count(re[x], im, c_re, c_im, limit)
                            : escape_count(0.0, 0.0, re[x], im, limit);
    int mismatches = 0;
    // Poisoned first, so a count the kernel never writes shows up.
    std::vector<int32_t> counts(width, -7);
    kernel.run(counts.data(), re.data(), static_cast<int>(width), im, julia, c_re, c_im, limit);
    for (size_t x = 0; x < width; ++x) {
        if (counts[x] == expected[x]) continue;
        if (++mismatches <= 5)
            ADD_FAILURE() << kernel.name << ": pixel " << x << " of " << width << " at (" << re[x]
                          << ", " << im << ")" << (julia ? " Julia" : "") << " limit " << limit
                          << " gave " << counts[x] << ", escape_count " << expected[x];
    }
    return mismatches;
}

// Every row of a w x h picture of the view, mapped as the renderers map pixels.
void expect_view_matches(const RowKernel& kernel, double x_min, double x_max, double y_min,
                         double y_max, int w, int h, bool julia, double c_re, double c_im,
                         int32_t limit)
{
    std::vector<double> re(w);
    for (int x = 0; x < w; ++x) re[x] = plane_coordinate(x_min, x_max, x, w);
    int mismatches = 0;
    for (int y = 0; y < h && mismatches == 0; ++y)
        mismatches += expect_row_matches(kernel, re, plane_coordinate(y_min, y_max, y, h), julia,
                                         c_re, c_im, limit);
    EXPECT_EQ(mismatches, 0);
}

TEST_P(EscapeRow, PreloadFramesMatchThePlainLoop)
{
    for (int step : {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 43}) {
        SCOPED_TRACE(step);
        const RefView v = ref_zoom_view(step);
        expect_view_matches(GetParam(), v.x_min, v.x_max, v.y_min, v.y_max, 320, 240, false, 0.0,
                            0.0, 1000);
    }
}

// The default view at three limits, and Julia sets with and without a large interior.
TEST_P(EscapeRow, WholeViewsMatch)
{
    for (int32_t limit : {1000, 2000, 5000}) {
        SCOPED_TRACE(limit);
        expect_view_matches(GetParam(), -2.5, 1.5, -1.5, 1.5, 640, 480, false, 0.0, 0.0, limit);
    }
    expect_view_matches(GetParam(), -2.0, 2.0, -1.5, 1.5, 640, 480, true, -0.12, 0.75, 1000);
    expect_view_matches(GetParam(), -2.0, 2.0, -1.5, 1.5, 640, 480, true, -0.75, 0.1, 1000);
}

TEST_P(EscapeRow, DeepBoundaryViewMatches)
{
    // Long escapes next to small islands of the set: many lanes are handed on between blocks.
    expect_view_matches(GetParam(), -0.743648887037151, -0.743638887037151, 0.131822154205330,
                        0.131829654205330, 160, 120, false, 0.0, 0.0, 5000);
}

TEST_P(EscapeRow, RowsOfAnyWidthMatch)
{
    // Widths around the vector sizes (2, 4 and 8 lanes) and block sizes (10, 20, 32 and 64 lanes).
    for (int width : {1,  2,  3,  4,  5,  7,  8,  9,  10, 11, 13, 19,  20,  21,
                      33, 39, 40, 41, 57, 63, 64, 65, 79, 80, 81, 100, 127, 129}) {
        SCOPED_TRACE(width);
        std::vector<double> re(width);
        for (int x = 0; x < width; ++x) re[x] = plane_coordinate(-0.7454, -0.7446, x, width);
        // Rows whose first pixel stays inside long, as here, may take other blocks.
        for (int32_t limit : {3000, 10})
            EXPECT_EQ(expect_row_matches(GetParam(), re, 0.1130, false, 0.0, 0.0, limit), 0);
        for (int x = 0; x < width; ++x) re[x] = plane_coordinate(-2.0, 2.0, x, width);
        EXPECT_EQ(expect_row_matches(GetParam(), re, 0.3, true, -0.12, 0.75, 1000), 0);
        EXPECT_EQ(expect_row_matches(GetParam(), re, 0.0, false, 0.0, 0.0, 1000), 0);
        for (int x = 0; x < width; ++x) re[x] = plane_coordinate(-0.2, 0.6, x, width);
        EXPECT_EQ(expect_row_matches(GetParam(), re, 0.3, true, -0.12, 0.75, 1000), 0);
    }
}

TEST_P(EscapeRow, PointsNearTheCardioidAndBulbBoundariesMatch)
{
    // Each row crosses a boundary point b horizontally at b +- d, d from 1e-16 to 1e-4: inside
    // and outside, some inside by far less than the shortcut's margin and some by more.
    constexpr int kAngles = 48;
    constexpr int32_t kLimit = 20000;
    const double offsets[] = {0.0,   1e-16, 3e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11,
                              1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  3e-6,  1e-5,  1e-4};
    for (int shape = 0; shape < 2; ++shape) {
        for (int a = 0; a < kAngles; ++a) {
            const double angle = 2.0 * std::numbers::pi * (a + 0.5) / kAngles;
            const std::complex<long double> mu = std::polar(1.0L, static_cast<long double>(angle));
            // The main cardioid is c = mu/2 - mu^2/4 and the bulb c = -1 + mu/4, |mu| = 1.
            const std::complex<long double> b =
                shape == 0 ? mu / 2.0L - mu * mu / 4.0L : -1.0L + mu / 4.0L;
            std::vector<double> re;
            for (double d : offsets) {
                re.push_back(static_cast<double>(b.real() - d));
                re.push_back(static_cast<double>(b.real() + d));
            }
            SCOPED_TRACE(testing::Message() << "shape " << shape << " angle " << angle);
            ASSERT_EQ(expect_row_matches(GetParam(), re, static_cast<double>(b.imag()), false, 0.0,
                                         0.0, kLimit),
                      0);
        }
    }
}

TEST_P(EscapeRow, PointsAroundTheShortcutsMarginMatch)
{
    // Multipliers of magnitude 0.999 and a little below are taken inside at once, those above it
    // iterate to the limit: both must end where the plain loop does after a long run.
    constexpr int kAngles = 24;
    constexpr int32_t kLimit = 50000;
    for (double radius : {0.99, 0.998, 0.99899, 0.999, 0.99901, 0.9995, 0.9999}) {
        for (int shape = 0; shape < 2; ++shape) {
            for (int a = 0; a < kAngles; ++a) {
                const double angle = 2.0 * std::numbers::pi * (a + 0.25) / kAngles;
                const std::complex<double> mu = std::polar(radius, angle);
                const std::complex<double> c =
                    shape == 0 ? mu / 2.0 - mu * mu / 4.0 : -1.0 + mu / 4.0;
                const std::vector<double> re = {c.real() - 1e-12, c.real(), c.real() + 1e-12};
                SCOPED_TRACE(testing::Message()
                             << "radius " << radius << " shape " << shape << " angle " << angle);
                ASSERT_EQ(expect_row_matches(GetParam(), re, c.imag(), false, 0.0, 0.0, kLimit), 0);
            }
        }
    }
}

TEST_P(EscapeRow, AnEscapeOnTheLastAllowedIterationCountsAsInside)
{
    // For each limit, rows holding pixels that escape on exactly that iteration: they must come
    // out at the limit, as inside, and one below the limit once it is raised by one. Small counts
    // are found in the default view, large ones on the seahorse valley.
    constexpr int kRowsPerLimit = 8;
    for (int32_t limit : {1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 23, 31, 33, 64, 100, 257, 999}) {
        SCOPED_TRACE(limit);
        const bool small = limit < 64;
        std::vector<double> re(640);
        for (int x = 0; x < 640; ++x)
            re[x] = small ? plane_coordinate(-2.5, 1.5, x, 640)
                          : plane_coordinate(-0.7454, -0.7446, x, 640);
        int found = 0;
        for (int y = 0; y < 480 && found < kRowsPerLimit; ++y) {
            const double im = small ? plane_coordinate(-1.5, 1.5, y, 480)
                                    : plane_coordinate(0.1127, 0.1133, y, 480);
            bool row_has_one = false;
            for (double px : re)
                if (ref_count(0.0, 0.0, px, im, limit + 1) == limit) row_has_one = true;
            if (!row_has_one) continue;
            ++found;
            ASSERT_EQ(expect_row_matches(GetParam(), re, im, false, 0.0, 0.0, limit), 0);
            ASSERT_EQ(expect_row_matches(GetParam(), re, im, false, 0.0, 0.0, limit + 1), 0);
        }
        EXPECT_GT(found, 0) << "no pixel escapes on iteration " << limit;
    }
}

TEST_P(EscapeRow, JuliaStartPointsOutsideRadiusTwoHaveCountZero)
{
    std::vector<double> re;
    for (int x = -60; x <= 60; ++x) re.push_back(x * 0.05);
    // |z0| = 2 exactly on the real axis: not below 4, so count 0.
    for (double im : {0.0, 0.5, 1.2, 1.6, 1.9999999999999998, 2.0, 2.5}) {
        SCOPED_TRACE(im);
        EXPECT_EQ(expect_row_matches(GetParam(), re, im, true, -0.12, 0.75, 1000), 0);
    }
}

TEST_P(EscapeRow, ConstantsBeyondRadiusOnePointNineAreTestedEveryStep)
{
    // Past |c| = 1.9 an escaped orbit may come back inside, so no step goes untested.
    std::vector<double> re;
    for (int x = 0; x < 45; ++x) re.push_back(-2.2 + 0.1 * x);
    const double constants[][2] = {{-1.95, 0.05}, {-1.9, 0.05}, {0.0, 1.95}, {-2.2, 0.0},
                                   {-3.0, 0.5},   {0.0, -2.5},  {-4.0, 0.0}, {1.0, 0.05}};
    for (const auto& c : constants) {
        SCOPED_TRACE(testing::Message() << c[0] << ", " << c[1]);
        for (int y = -20; y <= 20; ++y) {
            std::vector<double> dense;
            for (int x = -100; x <= 100; ++x) dense.push_back(x * 0.02);
            ASSERT_EQ(expect_row_matches(GetParam(), dense, y * 0.1, true, c[0], c[1], 1000), 0);
        }
    }
    // A row starting on a fixed point of a far constant, -1.5 for -3.75: a row that stays inside.
    std::vector<double> fixed;
    for (int x = 0; x < 40; ++x) fixed.push_back(-1.5 + x * 1e-3);
    EXPECT_EQ(expect_row_matches(GetParam(), fixed, 0.0, true, -3.75, 0.0, 1000), 0);
    // The antenna of the Mandelbrot set, near c = -2.
    std::vector<double> antenna;
    for (int x = 0; x < 33; ++x) antenna.push_back(-2.0 + 0.004 * x);
    for (double im : {0.0, 1e-9, 1e-3}) {
        SCOPED_TRACE(im);
        EXPECT_EQ(expect_row_matches(GetParam(), antenna, im, false, 0.0, 0.0, 2000), 0);
    }
}

TEST_P(EscapeRow, LimitsOfZeroAndBelowGiveZeroEverywhere)
{
    std::vector<double> re;
    for (int x = 0; x < 25; ++x) re.push_back(-2.5 + 0.2 * x);
    for (int32_t limit : {0, -1, -1000}) {
        SCOPED_TRACE(limit);
        EXPECT_EQ(expect_row_matches(GetParam(), re, 0.0, false, 0.0, 0.0, limit), 0);
        EXPECT_EQ(expect_row_matches(GetParam(), re, 0.0, true, -0.12, 0.75, limit), 0);
    }
}

TEST_P(EscapeRow, OriginAndJuliaOfZeroNeverEscape)
{
    // Fixed points and exact cycles from the first iteration on.
    std::vector<double> re = {0.0, -1.0, -0.0, 0.5, -0.5, 0.25};
    EXPECT_EQ(expect_row_matches(GetParam(), re, 0.0, false, 0.0, 0.0, 5000), 0);
    EXPECT_EQ(expect_row_matches(GetParam(), re, 0.0, true, 0.0, 0.0, 5000), 0);
    EXPECT_EQ(expect_row_matches(GetParam(), re, 0.5, true, 0.0, 0.0, 5000), 0);
}

// escape_row runs the widest kernel this processor has and hands it every argument: the
// Mandelbrot and Julia views below tell a dropped or swapped one.
TEST(EscapeRowChoice, RunsTheWidestKernelTheProcessorHas)
{
    const std::vector<RowKernel> kernels = row_kernels();
    const RowKernel* widest = &kernels.back();
    for (const RowKernel& kernel : kernels)
        if (kernel.runs_here) {
            widest = &kernel;
            break;
        }
    EXPECT_STREQ(escape_row_kernel(), widest->name);
    const RowKernel chosen = {"escape_row", escape_row, true};
    expect_view_matches(chosen, -2.5, 1.5, -1.5, 1.5, 160, 120, false, 0.0, 0.0, 2000);
    expect_view_matches(chosen, -2.0, 2.0, -1.5, 1.5, 160, 120, true, -0.12, 0.75, 1000);
    expect_view_matches(chosen, -2.0, 2.0, -1.5, 1.5, 160, 120, true, 0.28, -0.01, 1500);
}

} // namespace
