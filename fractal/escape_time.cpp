// The escape-time iteration of one point, the definition every kernel of escape_row matches.
#include "escape_time.h"

constexpr double kEscapeRadiusSquared = 4.0;

int32_t escape_count(double zr, double zi, double cr, double ci, int32_t max_iterations)
{
    // Only a Julia start point can already lie outside.
    if (!(zr * zr + zi * zi < kEscapeRadiusSquared)) return 0;
    int32_t n = 0;
    while (n < max_iterations) {
        ++n;
        const double new_zr = zr * zr - zi * zi + cr;
        const double new_zi = 2.0 * zr * zi + ci;
        zr = new_zr;
        zi = new_zi;
        if (!(zr * zr + zi * zi < kEscapeRadiusSquared)) break;
    }
    // Escaping on the last allowed iteration counts as inside, like never escaping.
    return n;
}
