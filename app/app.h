// The top floor: start-up and shutdown, the tune check and the demo's timeline over the frame
// table. main() calls start_up() first and shut_down() last; only app/ includes this.
#pragma once

#include "display.h"

#include <SDL.h>
#include <SDL_mixer.h>

// start_up.cpp

// What start_up hands to the demo sequence, kept for the rest of the run.
struct StartUpResult {
    Mix_Music* music; // none when the audio device or "sfx.xm" failed: the demo then runs silent
    Uint32 black;     // screen-format black and white
    Uint32 white;
};

StartUpResult start_up();
// Frees the music and the sheet, closes audio and video.
void shut_down(Mix_Music* music);
[[noreturn]] void fatal(const char* what);

// check_tune.cpp

// False, after one line on standard error naming the file and the fault, for an Extended Module
// that would make the audio library read outside its instrument table as it plays. Other files,
// and modules the library refuses itself, pass.
bool check_tune(const char* path);

// frame_table.cpp

constexpr int kZoomSteps = 44;

// The preloaded zoom, one instance. preload_frames() fills it once; play_frames() only reads it;
// free_frames() empties it at the end. Once a zoom step yields no image (the view has fallen
// wholly inside the set) exhausted stays true and every later slot stays none.
struct FrameTable {
    SDL_Surface* frames[kZoomSteps];
    bool exhausted;
};
extern FrameTable frame_table;

// Renders the 44 zoom steps behind the loading screen, answering the hot keys after each.
void preload_frames(SDL_Surface* loading_sprite, Uint32 black, Uint32 white);

// Loops the stored frames with the logo, 50 ms apart, until 45 s after music_start; a pass
// that has begun always finishes.
void play_frames(SDL_Surface* logo, Uint32 black, Uint32 music_start);

// Frees every stored frame and empties the table.
void free_frames();
