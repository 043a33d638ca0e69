// The colouring of escape counts, shared by both renderers.
#include "fractal.h"

#include <cmath>

Uint32 escape_colour(int32_t n, int32_t max_iterations, const SDL_PixelFormat* format)
{
    constexpr double kPi = 3.14159;                   // five decimals, not full-precision pi
    constexpr double kQuarterTurn = 1.570795;         // 3.14159 / 2, written out
    constexpr double kSixthTurn = 1.0471966666666666; // 3.14159 / 3, written out
    constexpr double kCountsPerWave = 100.0;

    const double t = ((n / kCountsPerWave) * 2) * kPi;
    const int ramp = static_cast<int>((n / static_cast<double>(max_iterations)) * 255.0);
    const int red = static_cast<int>((std::cos(t + kQuarterTurn) + 1) * 127);
    const int green = ramp / 2 + static_cast<int>((std::cos(t + kSixthTurn) + 1) * 127) / 2;
    const int blue = static_cast<int>((std::sin(t) + 1) * 127);
    return SDL_MapRGB(format, static_cast<Uint8>(red), static_cast<Uint8>(green),
                      static_cast<Uint8>(blue));
}

std::vector<Uint32> colour_table(int32_t max_iterations, const SDL_PixelFormat* format)
{
    std::vector<Uint32> colours(static_cast<size_t>(max_iterations) + 1);
    for (int32_t n = 0; n < max_iterations; ++n)
        colours[n] = escape_colour(n, max_iterations, format);
    colours[max_iterations] = SDL_MapRGB(format, 0, 0, 0);
    return colours;
}
