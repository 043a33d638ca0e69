// The escape-time kernel compiled for AVX2: four pixels to a vector.
#include "escape_kernel.h"

// Rows of quick escapes: five vectors, so the 320 and 640 pixel rows are whole blocks of 20;
// the last 12 lanes of a block are handed on.
using ShallowRow = Shape<4, 5, 12, true>;
// Rows whose pixels take long, like every row of the preload frames: with eight vectors in
// flight no step waits for the one before, and a test every 12 iterations costs less; but a
// block of 32 takes longer to start and finish, which rows of quick escapes would feel.
using DeepRow = Shape<4, 8, 16, true, 12>;
// Every row of the preload frames starts on a pixel of 87 iterations or more; the rows of the
// explorer's first views start outside the set.
constexpr int32_t kDeepRowIterations = 48;

void escape_row_avx2(int32_t* counts, const double* re, int width, double im, bool julia,
                     double c_re, double c_im, int32_t max_iterations)
{
    // 2 zr as a product in every other vector: the preload frames take a twentieth less time.
    escape_row_by_depth<ShallowRow, DeepRow, kDeepRowIterations>(counts, re, width, im, julia, c_re,
                                                                 c_im, max_iterations);
}
