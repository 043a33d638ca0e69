// The escape-time kernel compiled for SSE2, which every x86-64 processor has: two pixels to a
// vector.
#include "escape_kernel.h"

void escape_row_sse2(int32_t* counts, const double* re, int width, double im, bool julia,
                     double c_re, double c_im, int32_t max_iterations)
{
    // Five vectors of two lanes: the 320 and 640 pixel rows are whole blocks of 10. The last 6
    // lanes of a block are handed on. 2 zr stays a sum: as a product it gained nothing here.
    escape_row_blocks<Shape<2, 5, 6>>(counts, re, width, im, julia, c_re, c_im, max_iterations);
}
