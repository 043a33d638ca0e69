// The fractal engine: the shared fractal state, the escape-time iteration, its colouring and
// the two renderers. The explorer writes FractalState; both renderers read it.
#pragma once

#include "escape_time.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

// fractal_state.cpp

// One instance for the whole run. The explorer writes every field; render_view reads them all;
// render_preload_frame writes the view rectangle and reads max_iterations. Everything but the
// view rectangle outlives an explorer visit.
struct FractalState {
    double x_min, x_max;    // real extent: left edge, right limit (never reached)
    double y_min, y_max;    // imaginary extent: top edge, bottom limit; grows downwards like y
    int32_t max_iterations; // only ever grows, by 1000 per press of I
    bool julia;             // Julia mode for render_view; preload frames ignore it
    double julia_c_re, julia_c_im;
};
extern FractalState fractal_state;

// escape_colour.cpp

// Colour of an escaped point with count n (0 <= n < max_iterations), mapped for format.
Uint32 escape_colour(int32_t n, int32_t max_iterations, const SDL_PixelFormat* format);

// Colours of every count at this limit, for format: entries 0..limit-1 are escape colours and
// entry limit, the count of inside points, is black. Renderers index it with escape counts.
std::vector<Uint32> colour_table(int32_t max_iterations, const SDL_PixelFormat* format);

// render_view.cpp

// Draws the current view on the 640x480 screen, presenting each row as soon as it is done.
void render_view();

// render_preload_frame.cpp

// A new 320x240 Mandelbrot image of the given centre and extent, owned by the caller; none when
// no pixel escapes below the limit (the zoom has run into the set) or the image cannot be made.
SDL_Surface* render_preload_frame(double centre_re, double centre_im, double width, double height);
