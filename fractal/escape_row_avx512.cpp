// The escape-time kernel compiled for AVX-512F: eight pixels to a vector.
#include "escape_kernel.h"

void escape_row_avx512(int32_t* counts, const double* re, int width, double im, bool julia,
                       double c_re, double c_im, int32_t max_iterations)
{
    // Eight vectors of eight lanes, which the 32 registers hold: the 320 and 640 pixel rows are
    // whole blocks of 64. The last 40 lanes of a block are handed on. 2 zr as a product in every
    // other vector. Five vectors were slower, on the preload frames by a sixth.
    escape_row_blocks<Shape<8, 8, 40, true>>(counts, re, width, im, julia, c_re, c_im,
                                             max_iterations);
}
