// Escape counts of a whole image row, the unit both renderers compute in, and the choice of
// kernel for it.
#include "fractal.h"

static bool processor_has_avx2()
{
    // Runs from a static initialiser, possibly before the compiler runtime has probed the CPU.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

static const bool have_avx2 = processor_has_avx2();

void escape_row_plain(int32_t* counts, const double* re, int width, double im, bool julia,
                      double c_re, double c_im, int32_t max_iterations)
{
    for (int x = 0; x < width; ++x) {
        counts[x] = julia ? escape_count(re[x], im, c_re, c_im, max_iterations)
                          : escape_count(0.0, 0.0, re[x], im, max_iterations);
    }
}

void escape_row(int32_t* counts, const double* re, int width, double im, bool julia, double c_re,
                double c_im, int32_t max_iterations)
{
    if (have_avx2)
        escape_row_avx2(counts, re, width, im, julia, c_re, c_im, max_iterations);
    else
        escape_row_sse2(counts, re, width, im, julia, c_re, c_im, max_iterations);
}
