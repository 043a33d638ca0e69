// The ground floor: the screen's size, the process-wide display record and the one rule for
// reaching pixels. The renderers, the effects and the explorer include this and nothing else from
// app/; start-up fills the record.
#pragma once

#include <SDL.h>

#include <cstdint>

// The display is always 640x480 at 32 bits per pixel, and every routine draws in these pixels.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

// display.cpp

// One instance, written once by start_up() right after the video mode is set and only read
// afterwards.
struct Display {
    SDL_Surface* screen; // 640x480x32 full-screen surface from SDL_SetVideoMode
    Uint32* pixels;      // screen->pixels, taken once after the mode is set
    int32_t pitch_px;    // screen row length in pixels (pitch / bytes per pixel)
    SDL_Surface* sheet;  // "gfx.bmp", colour-keyed on black
};
extern Display display;

// Reaching pixels, for every routine that reads or writes them directly:
// - Lock the surface before the first pixel access and unlock it after the last, both only when
//   SDL_MUSTLOCK asks for it (lock_if_needed, unlock_if_needed). A routine that presents rows as
//   it goes unlocks before each present and locks again after it.
// - Pixels are 32-bit words, and row y starts y x (pitch / bytes per pixel) words after the pixel
//   pointer: the pitch may hold padding, so rows are never found through the width.
// - The screen is a software surface, asked for without SDL_HWSURFACE, whose memory stays where
//   it is for the whole run: routines drawing on the screen use Display.pixels and
//   Display.pitch_px. Other surfaces are reached through surface_row.

inline Uint32* surface_row(SDL_Surface* surface, int y)
{
    return static_cast<Uint32*>(surface->pixels) +
           y * (surface->pitch / surface->format->BytesPerPixel);
}

inline Uint32* screen_row(int y)
{
    return display.pixels + y * display.pitch_px;
}

inline void lock_if_needed(SDL_Surface* surface)
{
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
}
inline void unlock_if_needed(SDL_Surface* surface)
{
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
}
