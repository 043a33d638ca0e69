// The two wrapped library calls of the unit tests (screen_watch.h).
#include "screen_watch.h"

test_support::ScreenWatch test_support::screen_watch = {};

extern "C" {
void __real_SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h);
void __real_SDL_Delay(Uint32 ms);

void __wrap_SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h)
{
    __real_SDL_UpdateRect(screen, x, y, w, h);
    test_support::ScreenWatch& watch = test_support::screen_watch;
    if (!watch.on) return;
    if (x == 0 && w == 640 && h == 1) watch.rows.push_back(y);
    // A width and height of 0 stand for the whole screen too.
    const bool whole = x == 0 && y == 0 && ((w == 640 && h == 480) || (w == 0 && h == 0));
    if (!whole) return;
    watch.presents.push_back({SDL_GetTicks(), watch.pending_delay_ms});
    watch.pending_delay_ms = 0;
    if (watch.look) watch.look(static_cast<int>(watch.presents.size()) - 1);
}

void __wrap_SDL_Delay(Uint32 ms)
{
    if (test_support::screen_watch.on) test_support::screen_watch.pending_delay_ms += ms;
    __real_SDL_Delay(ms);
}
}
