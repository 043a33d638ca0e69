// The preload's zoom frames: one offscreen 320x240 Mandelbrot image per zoom step.
#include "fractal.h"

#include "../app/display.h"

#include <vector>

SDL_Surface* render_preload_frame(double centre_re, double centre_im, double width, double height)
{
    constexpr int kWidth = 320; // a quarter of the screen's pixels, doubled up by scale_surface
    constexpr int kHeight = 240;
    constexpr int kDepth = 32;

    // Made first, so that running out of memory changes nothing, not even the shared view.
    SDL_Surface* frame = SDL_CreateRGBSurface(0, kWidth, kHeight, kDepth, 0x00FF0000, 0x0000FF00,
                                              0x000000FF, 0xFF000000);
    if (frame == nullptr) return nullptr;

    // The view is published so that the shared state says what the last frame showed. The Julia
    // fields are left alone: the constant the explorer last set survives the preload.
    FractalState& view = fractal_state;
    view.x_min = centre_re - width * 0.5;
    view.x_max = centre_re + width * 0.5;
    view.y_min = centre_im - height * 0.5;
    view.y_max = centre_im + height * 0.5;
    const int32_t limit = view.max_iterations;

    // With an alpha mask, black maps to opaque black: the frames blit over the screen as copies.
    // Every frame has the same pixel layout, so the colours only change with the limit.
    static std::vector<Uint32> colours;
    static int32_t colours_limit = -1;
    if (colours_limit != limit) {
        colours = colour_table(limit, frame->format);
        colours_limit = limit;
    }

    double re[kWidth];
    for (int x = 0; x < kWidth; ++x) re[x] = plane_coordinate(view.x_min, view.x_max, x, kWidth);
    int32_t counts[kWidth];
    bool any_coloured = false;

    lock_if_needed(frame);
    for (int y = 0; y < kHeight; ++y) {
        const double im = plane_coordinate(view.y_min, view.y_max, y, kHeight);
        escape_row(counts, re, kWidth, im, false, 0.0, 0.0, limit);
        Uint32* row = surface_row(frame, y);
        for (int x = 0; x < kWidth; ++x) {
            row[x] = colours[counts[x]];
            any_coloured |= counts[x] < limit;
        }
    }
    unlock_if_needed(frame);

    // A frame with nothing but the inside tells the demo that the zoom has run into the set.
    if (!any_coloured) {
        SDL_FreeSurface(frame);
        return nullptr;
    }
    return frame;
}
