// Program entry.
#include "app.h"

#include "../explorer/explorer.h"
#include "../fractal/fractal.h"

int main(int, char**)
{
    start_up();
    fractal_state.x_min = -2.5;
    fractal_state.x_max = 1.5;
    fractal_state.y_min = -1.5;
    fractal_state.y_max = 1.5;
    render_view();
    // Escape or a close request end the process inside poll_demo_keys; M opens the explorer.
    for (;;) {
        poll_demo_keys();
        SDL_Delay(10);
    }
}
