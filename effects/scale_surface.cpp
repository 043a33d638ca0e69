// Nearest-neighbour resizing: the loading sprite, the logo and every preload frame go through it.
#include "effects.h"

#include "../app/display.h"

#include <cstdint>
#include <cstring>
#include <vector>

SDL_Surface* scale_surface(SDL_Surface* source, int new_width, int new_height, bool release_source)
{
    if (source == nullptr) return nullptr;

    // SDL would accept a negative size and derive a nonsense pitch from it.
    const SDL_PixelFormat* format = source->format;
    SDL_Surface* scaled =
        new_width < 0 || new_height < 0
            ? nullptr
            : SDL_CreateRGBSurface(0, new_width, new_height, format->BitsPerPixel, format->Rmask,
                                   format->Gmask, format->Bmask, format->Amask);
    if (scaled != nullptr) {
        // Products before the division, in 64 bits: the source row of the last row of a tall
        // surface would not fit in an int.
        std::vector<int> source_x(new_width);
        for (int x = 0; x < new_width; ++x)
            source_x[x] = static_cast<int>(int64_t{source->w} * x / new_width);

        lock_if_needed(source);
        lock_if_needed(scaled);
        int previous_source_y = -1;
        for (int y = 0; y < new_height; ++y) {
            const int source_y = static_cast<int>(int64_t{source->h} * y / new_height);
            Uint32* to = surface_row(scaled, y);
            // Enlarging repeats source rows: the row just made is copied whole.
            if (source_y == previous_source_y) {
                std::memcpy(to, surface_row(scaled, y - 1), sizeof(Uint32) * new_width);
                continue;
            }
            const Uint32* from = surface_row(source, source_y);
            for (int x = 0; x < new_width; ++x) to[x] = from[source_x[x]];
            previous_source_y = source_y;
        }
        unlock_if_needed(scaled);
        unlock_if_needed(source);
    }
    if (release_source) SDL_FreeSurface(source);
    return scaled;
}
