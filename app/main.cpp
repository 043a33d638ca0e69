// Program entry.
#include "app.h"

#include "../fractal/fractal.h"

int main(int, char**)
{
    start_up();
    fractal_state.x_min = -2.5;
    fractal_state.x_max = 1.5;
    fractal_state.y_min = -1.5;
    fractal_state.y_max = 1.5;
    render_view();
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) {
                shut_down();
                return 0;
            }
            if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
                shut_down();
                return 0;
            }
        }
        SDL_Delay(10);
    }
}
