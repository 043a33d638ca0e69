// The fractal engine: the shared fractal state, the escape-time iteration, its colouring and
// the two renderers. The explorer writes FractalState; both renderers read it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

// fractal_state.cpp

// One instance for the whole run. The explorer writes every field; render_view reads them all;
// render_preload_frame writes the view rectangle and reads max_iterations. Everything but the
// view rectangle outlives an explorer visit.
struct FractalState {
    double x_min, x_max;    // real extent: left edge, right limit (never reached)
    double y_min, y_max;    // imaginary extent: top edge, bottom limit; grows downwards like y
    int32_t max_iterations; // only ever grows, by 1000 per press of I
    bool julia;             // Julia mode for render_view; preload frames ignore it
    double julia_c_re, julia_c_im;
};
extern FractalState fractal_state;

// escape_time.cpp

// Plain escape-time iteration of one point: the definition every faster kernel must match.
// Returns the escape count n when the orbit leaves radius 2 with n < max_iterations
// (n = 0 when z0 already lies outside), and max_iterations when the point counts as inside,
// which includes an escape on the very last allowed iteration.
int32_t escape_count(double zr, double zi, double cr, double ci, int32_t max_iterations);

// Colour of an escaped point with count n (0 <= n < max_iterations), mapped for format.
Uint32 escape_colour(int32_t n, int32_t max_iterations, const SDL_PixelFormat* format);

// Colours of every count at this limit, for format: entries 0..limit-1 are escape colours and
// entry limit, the count of inside points, is black. Renderers index it with escape counts.
std::vector<Uint32> colour_table(int32_t max_iterations, const SDL_PixelFormat* format);

// The plane coordinate of pixel i of an image n pixels across a view [lo, hi).
inline double plane_coordinate(double lo, double hi, int i, int n)
{
    return lo + (hi - lo) * (static_cast<double>(i) / static_cast<double>(n));
}

// escape_row.cpp

// Escape counts of one image row: re[0..width) are the pixels' real parts, im their shared
// imaginary part. Mandelbrot: z0 = 0, c = point. Julia: z0 = point, c = (c_re, c_im).
// Every count equals escape_count's. Runs the widest kernel the processor has, AVX-512F, AVX2
// or SSE2, decided once at start-up.
void escape_row(int32_t* counts, const double* re, int width, double im, bool julia, double c_re,
                double c_im, int32_t max_iterations);

// The same row through escape_count, pixel by pixel: the yardstick of tests and benchmark.
void escape_row_plain(int32_t* counts, const double* re, int width, double im, bool julia,
                      double c_re, double c_im, int32_t max_iterations);

// escape_row_avx512.cpp

// The kernel of escape_kernel.h built for AVX-512F, behind escape_row; only for processors with
// AVX-512F.
void escape_row_avx512(int32_t* counts, const double* re, int width, double im, bool julia,
                       double c_re, double c_im, int32_t max_iterations);

// escape_row_avx2.cpp

// The same kernel built for AVX2; only for processors with AVX2.
void escape_row_avx2(int32_t* counts, const double* re, int width, double im, bool julia,
                     double c_re, double c_im, int32_t max_iterations);

// escape_row_sse2.cpp

// The same kernel built for SSE2, for processors without AVX2 (SSE2 is part of x86-64).
void escape_row_sse2(int32_t* counts, const double* re, int width, double im, bool julia,
                     double c_re, double c_im, int32_t max_iterations);

// render_view.cpp

// Draws the current view on the 640x480 screen, presenting each row as soon as it is done.
void render_view();

// render_preload_frame.cpp

// A new 320x240 Mandelbrot image of the given centre and extent, owned by the caller; none when
// no pixel escapes below the limit (the zoom has run into the set) or the image cannot be made.
SDL_Surface* render_preload_frame(double centre_re, double centre_im, double width, double height);
