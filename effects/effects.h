// Effects and images: scaling, the sprite sheet's overlays, the wipe and the starfield.
#pragma once

#include <SDL.h>

// scale_surface.cpp

// Nearest-neighbour copy of source at new_width x new_height, same pixel layout, owned by the
// caller. None when source is none (or the new surface cannot be made). With release_source the
// source is freed afterwards, also when the new surface cannot be made: the caller has given it up.
SDL_Surface* scale_surface(SDL_Surface* source, int new_width, int new_height, bool release_source);

// overlays.cpp

// The two enlarged overlays cut from the sheet; the demo keeps them for the whole run. Either is
// none when memory ran out while building it; blitting a none draws nothing.
struct Overlays {
    SDL_Surface* loading_sprite; // 320x320, drawn at (176, 80)
    SDL_Surface* logo;           // 640x256, drawn at (0, 40)
};
Overlays build_overlays();

// Blits the label strip straight from the sheet to (224, 416).
void draw_loading_label();

// row_shear_wipe.cpp

// Slides odd rows left and even rows right until the screen is black: 160 presented frames.
void row_shear_wipe();
// One presented frame of it: every row moved 4 pixels, zero words filled in behind.
void row_shear_frame();

// starfield.cpp

// Four seconds of stars drifting left in four speed bands; answers the demo hot keys.
void starfield_interlude();
void scatter_stars();
void step_stars();
