// The hot-key rule every demo loop drains its events with.
#include "explorer.h"

#include <SDL.h>

#include <cstdlib>

bool poll_demo_keys()
{
    bool explored = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        // Leaving goes through exit(): the handler registered at start-up restores the desktop.
        if (event.type == SDL_QUIT) std::exit(0);
        if (event.type != SDL_KEYDOWN) continue;
        if (event.key.keysym.sym == SDLK_ESCAPE) std::exit(0);
        if (event.key.keysym.sym == SDLK_m) {
            run_explorer();
            explored = true;
        }
    }
    return explored;
}
