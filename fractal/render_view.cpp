// The explorer's renderer: the current view straight onto the screen, one presented row at a time.
#include "fractal.h"

#include "../app/display.h"

#include <vector>

void render_view()
{
    SDL_Surface* screen = display.screen;
    const FractalState& view = fractal_state;
    const int32_t limit = view.max_iterations;

    const std::vector<Uint32> colours = colour_table(limit, screen->format);

    std::vector<double> re(kScreenWidth);
    for (int x = 0; x < kScreenWidth; ++x)
        re[x] = plane_coordinate(view.x_min, view.x_max, x, kScreenWidth);
    std::vector<int32_t> counts(kScreenWidth);

    lock_if_needed(screen);
    for (int y = 0; y < kScreenHeight; ++y) {
        const double im = plane_coordinate(view.y_min, view.y_max, y, kScreenHeight);
        escape_row(counts.data(), re.data(), kScreenWidth, im, view.julia, view.julia_c_re,
                   view.julia_c_im, limit);
        Uint32* row = screen_row(y);
        for (int x = 0; x < kScreenWidth; ++x) row[x] = colours[counts[x]];
        unlock_if_needed(screen);
        SDL_UpdateRect(screen, 0, y, kScreenWidth, 1);
        lock_if_needed(screen);
    }
    unlock_if_needed(screen);
}
