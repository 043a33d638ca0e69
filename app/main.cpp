// Program entry: the demo's fixed timeline from start-up to shutdown.
#include "app.h"

#include "../effects/effects.h"

#include <cstdio>

int main(int, char**)
{
    const StartUpResult started = start_up();
    const Overlays overlays = build_overlays();

    // The reported figure covers the frames, their scaling and the wipe, not the overlays.
    const Uint32 preload_start = SDL_GetTicks();
    preload_frames(overlays.loading_sprite, started.black, started.white);
    row_shear_wipe();
    std::printf("Preload time: %d ms\n", static_cast<int>(SDL_GetTicks() - preload_start));
    std::fflush(stdout);

    const Uint32 music_start = SDL_GetTicks();
    Mix_PlayMusic(started.music, -1); // fails quietly when there is no music
    starfield_interlude();
    play_frames(overlays.logo, started.black, music_start);

    // Everything the run made goes back before the library closes, so that nothing is left over.
    free_frames();
    SDL_FreeSurface(overlays.loading_sprite);
    SDL_FreeSurface(overlays.logo);
    shut_down(started.music);
    return 0;
}
