// The four-second starfield after the wipe. There is no star list: any non-black screen pixel is a
// star, so whatever is left on the screen (an explorer picture, say) streams along with them.
#include "effects.h"

#include "../app/display.h"
#include "../explorer/explorer.h"

#include <cstdlib>

// rand() is never seeded: every run shows the same sky.
void scatter_stars()
{
    constexpr int kOneIn = 256; // about 1200 stars on the screen
    constexpr int kDimmest = 127;
    constexpr int kSpread = 128; // components 127..254: no star is dim

    SDL_Surface* screen = display.screen;
    lock_if_needed(screen);
    for (int y = 0; y < kScreenHeight; ++y) {
        Uint32* row = screen_row(y);
        for (int x = 0; x < kScreenWidth; ++x) {
            if (std::rand() % kOneIn != 0) continue;
            // Drawn blue, green, red: the order decides which star gets which colour.
            const int blue = kDimmest + std::rand() % kSpread;
            const int green = kDimmest + std::rand() % kSpread;
            const int red = kDimmest + std::rand() % kSpread;
            row[x] = SDL_MapRGB(screen->format, static_cast<Uint8>(red), static_cast<Uint8>(green),
                                static_cast<Uint8>(blue));
        }
    }
    unlock_if_needed(screen);
    SDL_UpdateRect(screen, 0, 0, kScreenWidth, kScreenHeight);
}

// The scan runs in place from the left, so a star that wraps to the right end is met again and
// moves twice, and a star already standing where it lands is lost.
void step_stars()
{
    constexpr int kBands = 4; // rows move 1, 2, 3, 4, 1, ... pixels per step

    SDL_Surface* screen = display.screen;
    const Uint32 background = SDL_MapRGB(screen->format, 0, 0, 0);
    lock_if_needed(screen);
    for (int y = 0; y < kScreenHeight; ++y) {
        Uint32* row = screen_row(y);
        const int speed = y % kBands + 1;
        for (int x = 0; x < kScreenWidth; ++x) {
            const Uint32 star = row[x];
            if (star == background) continue;
            row[x] = background;
            row[(x - speed + kScreenWidth) % kScreenWidth] = star;
        }
    }
    unlock_if_needed(screen);
    SDL_UpdateRect(screen, 0, 0, kScreenWidth, kScreenHeight);
}

// Time spent in the explorer counts against the four seconds.
void starfield_interlude()
{
    constexpr Uint32 kDurationMs = 4000;
    constexpr Uint32 kStepDelayMs = 5;

    const Uint32 t0 = SDL_GetTicks();
    SDL_FillRect(display.screen, nullptr, SDL_MapRGB(display.screen->format, 0, 0, 0));
    scatter_stars();
    while (SDL_GetTicks() - t0 < kDurationMs) {
        step_stars();
        poll_demo_keys();
        SDL_Delay(kStepDelayMs);
    }
}
