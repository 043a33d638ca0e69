// Escape counts of a whole image row, the unit both renderers compute in, and the choice of
// kernel for it.
#include "escape_time.h"

#if defined(__x86_64__)

enum VectorKernel { kSse2Kernel, kAvx2Kernel, kAvx512Kernel };

static VectorKernel widest_kernel()
{
    // Runs from a static initialiser, possibly before the compiler runtime has probed the CPU.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return kAvx512Kernel;
    if (__builtin_cpu_supports("avx2")) return kAvx2Kernel;
    return kSse2Kernel;
}

static const VectorKernel vector_kernel = widest_kernel();

#endif

void escape_row_plain(int32_t* counts, const double* re, int width, double im, bool julia,
                      double c_re, double c_im, int32_t max_iterations)
{
    for (int x = 0; x < width; ++x) {
        counts[x] = julia ? escape_count(re[x], im, c_re, c_im, max_iterations)
                          : escape_count(0.0, 0.0, re[x], im, max_iterations);
    }
}

const char* escape_row_kernel()
{
#if defined(__x86_64__)
    if (vector_kernel == kAvx512Kernel) return "escape_row_avx512";
    if (vector_kernel == kAvx2Kernel) return "escape_row_avx2";
    return "escape_row_sse2";
#else
    return "escape_row_generic";
#endif
}

void escape_row(int32_t* counts, const double* re, int width, double im, bool julia, double c_re,
                double c_im, int32_t max_iterations)
{
#if defined(__x86_64__)
    if (vector_kernel == kAvx512Kernel)
        escape_row_avx512(counts, re, width, im, julia, c_re, c_im, max_iterations);
    else if (vector_kernel == kAvx2Kernel)
        escape_row_avx2(counts, re, width, im, julia, c_re, c_im, max_iterations);
    else
        escape_row_sse2(counts, re, width, im, julia, c_re, c_im, max_iterations);
#else
    escape_row_generic(counts, re, width, im, julia, c_re, c_im, max_iterations);
#endif
}
