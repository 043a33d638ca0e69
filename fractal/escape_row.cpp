// Escape counts of a whole image row, the unit both renderers compute in.
#include "fractal.h"

void escape_row(int32_t* counts, const double* re, int width, double im, bool julia, double c_re,
                double c_im, int32_t max_iterations)
{
    for (int x = 0; x < width; ++x) {
        counts[x] = julia ? escape_count(re[x], im, c_re, c_im, max_iterations)
                          : escape_count(0.0, 0.0, re[x], im, max_iterations);
    }
}
