// The escape-time kernel compiled for AVX-512F: eight pixels to a vector.
#include "escape_kernel.h"

void escape_row_avx512(int32_t* counts, const double* re, int width, double im, bool julia,
                       double c_re, double c_im, int32_t max_iterations)
{
    // Five vectors of eight lanes: the 320 and 640 pixel rows are whole blocks of 40. The last 24
    // lanes of a block are handed on. Four, six or eight vectors were no faster.
    escape_row_blocks<Shape<8, 5, 24>>(counts, re, width, im, julia, c_re, c_im, max_iterations);
}
