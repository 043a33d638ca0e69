// The wipe between the loading screen and the starfield: alternate rows slide out sideways.
#include "effects.h"

#include "../app/app.h"

#include <algorithm>
#include <cstring>

void row_shear_frame()
{
    constexpr int kWidth = 640;
    constexpr int kHeight = 480;
    // Four one-pixel shifts per frame, done as one move: the same picture after every frame.
    constexpr int kShift = 4;
    constexpr size_t kKeptBytes = (kWidth - kShift) * sizeof(Uint32);

    lock_if_needed(display.screen);
    for (int y = 0; y < kHeight; ++y) {
        Uint32* row = display.pixels + y * display.pitch_px;
        // The word 0 is written behind, not mapped black: on the 32-bit screen it is black.
        if (y % 2 == 1) {
            std::memmove(row, row + kShift, kKeptBytes);
            std::fill(row + kWidth - kShift, row + kWidth, Uint32{0});
        } else {
            std::memmove(row + kShift, row, kKeptBytes);
            std::fill(row, row + kShift, Uint32{0});
        }
    }
    unlock_if_needed(display.screen);
    SDL_UpdateRect(display.screen, 0, 0, kWidth, kHeight);
}

// Runs flat out with no events polled: an Escape meanwhile waits for the starfield's first poll.
void row_shear_wipe()
{
    constexpr int kFrames = 160; // 160 x 4 pixels: every row pushed across the full 640
    for (int frame = 0; frame < kFrames; ++frame) row_shear_frame();
}
