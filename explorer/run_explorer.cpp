// The interactive explorer: zoom, Julia sets, iteration limit and screenshot over FractalState.
#include "explorer.h"

#include "../app/display.h"
#include "../fractal/fractal.h"

#include <cstdio>

static void set_view(double x_min, double x_max, double y_min, double y_max)
{
    fractal_state.x_min = x_min;
    fractal_state.x_max = x_max;
    fractal_state.y_min = y_min;
    fractal_state.y_max = y_max;
}

static void set_default_view()
{
    set_view(-2.5, 1.5, -1.5, 1.5);
}

static void zoom_out_about_centre()
{
    const double w = fractal_state.x_max - fractal_state.x_min;
    const double h = fractal_state.y_max - fractal_state.y_min;
    const double cx = fractal_state.x_min + w * 0.5;
    const double cy = fractal_state.y_min + h * 0.5;
    set_view(cx - w, cx + w, cy - h, cy + h);
}

static void handle_key(SDLKey key, bool& quit)
{
    constexpr int kIterationStep = 1000;
    switch (key) {
    case SDLK_ESCAPE: quit = true; break;
    case SDLK_KP_MINUS:
        zoom_out_about_centre();
        render_view();
        break;
    case SDLK_KP_EQUALS:
        set_default_view(); // the mode and the Julia constant stay
        render_view();
        break;
    case SDLK_p: save_screenshot(); break;
    case SDLK_i:
        fractal_state.max_iterations += kIterationStep;
        render_view();
        break;
    default: break;
    }
}

static void handle_click(int button, int x, int y)
{
    const double cx = plane_coordinate(fractal_state.x_min, fractal_state.x_max, x, kScreenWidth);
    const double cy = plane_coordinate(fractal_state.y_min, fractal_state.y_max, y, kScreenHeight);
    std::printf("Click: %1.16f, %1.16f\n", cx, cy);
    std::fflush(stdout); // a reader on a pipe sees each click at once

    if (button == SDL_BUTTON_LEFT) {
        const double qw = (fractal_state.x_max - fractal_state.x_min) * 0.25;
        const double qh = (fractal_state.y_max - fractal_state.y_min) * 0.25;
        set_view(cx - qw, cx + qw, cy - qh, cy + qh);
    } else if (fractal_state.julia) {
        // Back to Mandelbrot in the Julia picture's frame.
        fractal_state.julia = false;
    } else {
        // The middle button puts the constant on the real axis; the wheel acts like the right.
        fractal_state.julia_c_re = cx;
        fractal_state.julia_c_im = button == SDL_BUTTON_MIDDLE ? 0.0 : cy;
        fractal_state.julia = true;
        set_view(-2.0, 2.0, -1.5, 1.5);
    }
    render_view();
}

void run_explorer()
{
    set_default_view();
    render_view();
    bool quit = false;
    for (;;) {
        // Input that came during a redraw waits in the queue and is handled here in order;
        // events behind an Escape still count before the explorer returns.
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_KEYDOWN)
                handle_key(event.key.keysym.sym, quit);
            else if (event.type == SDL_MOUSEBUTTONDOWN)
                handle_click(event.button.button, event.button.x, event.button.y);
            else if (event.type == SDL_QUIT)
                quit = true; // a close request ends only the explorer
        }
        if (quit) return;
    }
}
