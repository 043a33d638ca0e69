// The escape-time kernel compiled for AVX2: four pixels to a vector.
#include "escape_kernel.h"

void escape_row_avx2(int32_t* counts, const double* re, int width, double im, bool julia,
                     double c_re, double c_im, int32_t max_iterations)
{
    // Five vectors of four lanes: the 320 and 640 pixel rows are whole blocks of 20. The last 12
    // lanes of a block are handed on. 2 zr as a product in every other vector: the preload frames
    // take a twentieth less time. Six or eight vectors were no faster.
    escape_row_blocks<Shape<4, 5, 12, true>>(counts, re, width, im, julia, c_re, c_im,
                                             max_iterations);
}
