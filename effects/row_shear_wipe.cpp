// The wipe between the loading screen and the starfield: alternate rows slide out sideways.
#include "effects.h"

#include "../app/display.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kShift = 4; // four one-pixel shifts per frame, done as one move

// The part of a row that is not yet all zero words: from first to end. Only it needs moving.
struct Stretch {
    int first, end;
};

} // namespace

// Moves row y of the screen one frame on, keeping to its stretch of non-zero words and zeroing
// the words the stretch leaves behind; the stretch moves with it.
static void shear_row(int y, Stretch& s)
{
    if (s.first >= s.end) return; // all zero words: moving changes nothing
    Uint32* row = screen_row(y);
    // The word 0 is written behind, not mapped black: on the 32-bit screen it is black.
    if (y % 2 == 1) {
        const int first = std::max(s.first - kShift, 0), end = std::max(s.end - kShift, 0);
        std::memmove(row + first, row + first + kShift, sizeof(Uint32) * (end - first));
        std::fill(row + end, row + s.end, Uint32{0});
        s = {first, end};
    } else {
        const int first = std::min(s.first + kShift, kScreenWidth);
        const int end = std::min(s.end + kShift, kScreenWidth);
        std::memmove(row + first, row + first - kShift, sizeof(Uint32) * (end - first));
        std::fill(row + s.first, row + first, Uint32{0});
        s = {first, end};
    }
}

// The stretch of row y the screen holds now.
static Stretch non_zero_stretch(int y)
{
    const Uint32* row = screen_row(y);
    int first = 0, end = kScreenWidth;
    while (first < end && row[first] == 0) ++first;
    while (end > first && row[end - 1] == 0) --end;
    return {first, end};
}

void row_shear_frame()
{
    lock_if_needed(display.screen);
    for (int y = 0; y < kScreenHeight; ++y) {
        Stretch whole = {0, kScreenWidth};
        shear_row(y, whole);
    }
    unlock_if_needed(display.screen);
    SDL_UpdateRect(display.screen, 0, 0, kScreenWidth, kScreenHeight);
}

// Runs flat out with no events polled: an Escape meanwhile waits for the starfield's first poll.
// The rows' zero ends, most of the loading screen, are not moved at all.
void row_shear_wipe()
{
    constexpr int kFrames = 160; // 160 x 4 pixels: every row pushed across the full 640
    Stretch stretches[kScreenHeight];
    lock_if_needed(display.screen);
    for (int y = 0; y < kScreenHeight; ++y) stretches[y] = non_zero_stretch(y);
    unlock_if_needed(display.screen);
    for (int frame = 0; frame < kFrames; ++frame) {
        lock_if_needed(display.screen);
        for (int y = 0; y < kScreenHeight; ++y) shear_row(y, stretches[y]);
        unlock_if_needed(display.screen);
        SDL_UpdateRect(display.screen, 0, 0, kScreenWidth, kScreenHeight);
    }
}
