// Pushing input into the library's event queue the way the keyboard and mouse would.
#pragma once

#include <SDL.h>

namespace test_support {

inline void push_key(SDLKey key)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

inline void push_click(Uint8 button, Uint16 x, Uint16 y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.type = SDL_MOUSEBUTTONDOWN;
    event.button.state = SDL_PRESSED;
    event.button.button = button;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
}

inline void push_quit()
{
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

} // namespace test_support
