// The escape-time kernel on GCC's generic vectors of two doubles, for processors other than
// x86-64: GCC lowers them to NEON on arm64, and to whatever vectors the processor has elsewhere.
#include "escape_kernel.h"

void escape_row_generic(int32_t* counts, const double* re, int width, double im, bool julia,
                        double c_re, double c_im, int32_t max_iterations)
{
    // The shape of the SSE2 kernel: five vectors of two lanes, the last 6 lanes of a block
    // handed on.
    escape_row_blocks<Shape<2, 5, 6>>(counts, re, width, im, julia, c_re, c_im, max_iterations);
}
