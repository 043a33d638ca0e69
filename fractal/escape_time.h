// The escape-time iteration and its row kernels: numbers in, counts out, no library. The rest
// of the fractal engine (fractal.h) builds on it; alone it builds and is tested for any
// processor, with or without SDL.
#pragma once

#include <cstdint>

// escape_time.cpp

// Plain escape-time iteration of one point: the definition every faster kernel must match.
// Returns the escape count n when the orbit leaves radius 2 with n < max_iterations
// (n = 0 when z0 already lies outside), and max_iterations when the point counts as inside,
// which includes an escape on the very last allowed iteration.
int32_t escape_count(double zr, double zi, double cr, double ci, int32_t max_iterations);

// The plane coordinate of pixel i of an image n pixels across a view [lo, hi).
inline double plane_coordinate(double lo, double hi, int i, int n)
{
    return lo + (hi - lo) * (static_cast<double>(i) / static_cast<double>(n));
}

// escape_row.cpp

// Escape counts of one image row: re[0..width) are the pixels' real parts, im their shared
// imaginary part. Mandelbrot: z0 = 0, c = point. Julia: z0 = point, c = (c_re, c_im).
// Every count equals escape_count's. On x86-64 it runs the widest kernel the processor has,
// AVX-512F, AVX2 or SSE2, decided once at start-up; elsewhere the generic one.
void escape_row(int32_t* counts, const double* re, int width, double im, bool julia, double c_re,
                double c_im, int32_t max_iterations);

// The name of the kernel escape_row runs, "escape_row_avx512" for example.
const char* escape_row_kernel();

// The same row through escape_count, pixel by pixel: the yardstick of tests and benchmark.
void escape_row_plain(int32_t* counts, const double* re, int width, double im, bool julia,
                      double c_re, double c_im, int32_t max_iterations);

#if defined(__x86_64__)

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

#else

// escape_row_generic.cpp

// The same kernel on GCC's generic vectors of two doubles, for every other processor.
void escape_row_generic(int32_t* counts, const double* re, int width, double im, bool julia,
                        double c_re, double c_im, int32_t max_iterations);

#endif
