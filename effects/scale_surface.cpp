// Nearest-neighbour resizing: the loading sprite, the logo and every preload frame go through it.
#include "effects.h"

#include "../app/display.h"

#include <cstdint>
#include <cstring>
#include <vector>

// Doubling both ways, as every preload frame and the logo are: each source pixel becomes two
// pixels of a row, written as one 64-bit word, and each row made is copied once below itself.
static void double_rows(SDL_Surface* source, SDL_Surface* scaled)
{
    for (int y = 0; y < source->h; ++y) {
        const Uint32* from = surface_row(source, y);
        Uint32* to = surface_row(scaled, 2 * y);
        for (int x = 0; x < source->w; ++x) {
            const uint64_t pair = uint64_t{from[x]} << 32 | from[x];
            std::memcpy(to + 2 * x, &pair, sizeof pair);
        }
        std::memcpy(surface_row(scaled, 2 * y + 1), to, sizeof(Uint32) * scaled->w);
    }
}

// Any other size, pixel by pixel.
static void scale_rows(SDL_Surface* source, SDL_Surface* scaled)
{
    // Products before the division, in 64 bits: the source row of the last row of a tall
    // surface would not fit in an int.
    std::vector<int> source_x(scaled->w);
    for (int x = 0; x < scaled->w; ++x)
        source_x[x] = static_cast<int>(int64_t{source->w} * x / scaled->w);
    int previous_source_y = -1;
    for (int y = 0; y < scaled->h; ++y) {
        const int source_y = static_cast<int>(int64_t{source->h} * y / scaled->h);
        Uint32* to = surface_row(scaled, y);
        // Enlarging repeats source rows: the row just made is copied whole.
        if (source_y == previous_source_y) {
            std::memcpy(to, surface_row(scaled, y - 1), sizeof(Uint32) * scaled->w);
            continue;
        }
        const Uint32* from = surface_row(source, source_y);
        for (int x = 0; x < scaled->w; ++x) to[x] = from[source_x[x]];
        previous_source_y = source_y;
    }
}

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
        lock_if_needed(source);
        lock_if_needed(scaled);
        if (new_width == 2 * source->w && new_height == 2 * source->h)
            double_rows(source, scaled);
        else
            scale_rows(source, scaled);
        unlock_if_needed(scaled);
        unlock_if_needed(source);
    }
    if (release_source) SDL_FreeSurface(source);
    return scaled;
}
