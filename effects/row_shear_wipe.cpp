// The wipe between the loading screen and the starfield: alternate rows slide out sideways.
#include "effects.h"

#include "../app/display.h"

#include <algorithm>
#include <cstring>

void row_shear_frame()
{
    // Four one-pixel shifts per frame, done as one move: the same picture after every frame.
    constexpr int kShift = 4;
    constexpr size_t kKeptBytes = (kScreenWidth - kShift) * sizeof(Uint32);

    lock_if_needed(display.screen);
    for (int y = 0; y < kScreenHeight; ++y) {
        Uint32* row = screen_row(y);
        // The word 0 is written behind, not mapped black: on the 32-bit screen it is black.
        if (y % 2 == 1) {
            std::memmove(row, row + kShift, kKeptBytes);
            std::fill(row + kScreenWidth - kShift, row + kScreenWidth, Uint32{0});
        } else {
            std::memmove(row + kShift, row, kKeptBytes);
            std::fill(row, row + kShift, Uint32{0});
        }
    }
    unlock_if_needed(display.screen);
    SDL_UpdateRect(display.screen, 0, 0, kScreenWidth, kScreenHeight);
}

// Runs flat out with no events polled: an Escape meanwhile waits for the starfield's first poll.
void row_shear_wipe()
{
    constexpr int kFrames = 160; // 160 x 4 pixels: every row pushed across the full 640
    for (int frame = 0; frame < kFrames; ++frame) row_shear_frame();
}
