// The artwork cut from the sprite sheet: the loading sprite, the logo and the loading label.
#include "effects.h"

#include "../app/display.h"

// Zero-filled with alpha in the top byte: a blit from the colour-keyed sheet gives the pixels it
// copies full alpha and skips the black ones, which stay fully transparent.
static SDL_Surface* create_overlay_surface(int width, int height)
{
    constexpr int kDepth = 32;
    return SDL_CreateRGBSurface(0, width, height, kDepth, 0x00FF0000, 0x0000FF00, 0x000000FF,
                                0xFF000000);
}

// The cut surface is needed only to be enlarged, so the scaler frees it.
static SDL_Surface* cut_and_enlarge(SDL_Rect area, int cut_width, int cut_height, int new_width,
                                    int new_height)
{
    SDL_Surface* cut = create_overlay_surface(cut_width, cut_height);
    if (cut == nullptr) return nullptr;
    SDL_Rect at = {0, 0, 0, 0};
    SDL_UpperBlit(display.sheet, &area, cut, &at);
    return scale_surface(cut, new_width, new_height, true);
}

Overlays build_overlays()
{
    constexpr SDL_Rect kSpriteCell = {0, 226, 8, 8};
    constexpr int kSpriteSize = 320; // 40 times the cell
    constexpr SDL_Rect kLogoStrip = {0, 257, 320, 127};
    // One row taller than the strip; the empty row becomes the logo's transparent rows 254-255.
    constexpr int kLogoCutHeight = 128;
    constexpr int kLogoHeight = 256;

    Overlays overlays{};
    overlays.loading_sprite =
        cut_and_enlarge(kSpriteCell, kSpriteCell.w, kSpriteCell.h, kSpriteSize, kSpriteSize);
    overlays.logo =
        cut_and_enlarge(kLogoStrip, kLogoStrip.w, kLogoCutHeight, kScreenWidth, kLogoHeight);
    return overlays;
}

void draw_loading_label()
{
    SDL_Rect label_strip = {0, 1, 320, 31};
    SDL_Rect at = {224, 416, 0, 0}; // just above the progress bar at y 450
    SDL_UpperBlit(display.sheet, &label_strip, display.screen, &at);
}
