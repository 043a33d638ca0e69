// The explorer's renderer: the current view straight onto the screen, one presented row at a time.
#include "fractal.h"

#include "../app/app.h"

#include <vector>

void render_view()
{
    constexpr int kWidth = 640;
    constexpr int kHeight = 480;

    SDL_Surface* screen = display.screen;
    const FractalState& view = fractal_state;
    const int32_t limit = view.max_iterations;

    const std::vector<Uint32> colours = colour_table(limit, screen->format);

    std::vector<double> re(kWidth);
    for (int x = 0; x < kWidth; ++x) re[x] = plane_coordinate(view.x_min, view.x_max, x, kWidth);
    std::vector<int32_t> counts(kWidth);

    lock_if_needed(screen);
    for (int y = 0; y < kHeight; ++y) {
        const double im = plane_coordinate(view.y_min, view.y_max, y, kHeight);
        escape_row(counts.data(), re.data(), kWidth, im, view.julia, view.julia_c_re,
                   view.julia_c_im, limit);
        // The pixel pointer is read after locking: a locked surface may move between rows.
        Uint32* row = surface_row(screen, y);
        for (int x = 0; x < kWidth; ++x) row[x] = colours[counts[x]];
        unlock_if_needed(screen);
        SDL_UpdateRect(screen, 0, y, kWidth, 1);
        lock_if_needed(screen);
    }
    unlock_if_needed(screen);
}
