// What the program presents and how long it waits, as the unit tests see it. The unit tests link
// with --wrap=SDL_UpdateRect and --wrap=SDL_Delay, so both calls pass through screen_watch.cpp on
// their way to the library; nothing is recorded unless a test is watching.
#pragma once

#include <SDL.h>

#include <functional>
#include <utility>
#include <vector>

namespace test_support {

// One whole-screen present: when it came, and the waits asked for since the one before.
struct Present {
    Uint32 ticks;
    Uint32 delay_ms;
};

struct ScreenWatch {
    bool on;
    std::vector<Present> presents;
    std::vector<int> rows;         // rows presented one at a time, as the explorer draws
    Uint32 pending_delay_ms;       // asked for since the last whole-screen present
    std::function<void(int)> look; // called with each whole-screen present's index
};
extern ScreenWatch screen_watch;

// Watches from here to the end of the scope; look sees the screen as each present shows it.
struct Watching {
    explicit Watching(std::function<void(int)> look = {})
    {
        screen_watch = {true, {}, {}, 0, std::move(look)};
    }
    ~Watching() { screen_watch.on = false; }
};

// Thrown by a look to end the loop being watched.
struct StopWatching {};

} // namespace test_support
