// The display: the screen surface, and the page's canvas showing exactly what was presented.
#include "web.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

static SDL_Surface* screen;
// The presented picture, as the canvas takes it: bytes red, green, blue, alpha.
static Uint32* shown;
// What was presented since the canvas last received it: columns left..right, rows top..bottom.
static int left, top, right, bottom;

// clang-format off
EM_JS(void, size_canvas, (int width, int height), {
    Module.canvas.width = width;
    Module.canvas.height = height;
});

// The image wraps the presented picture where it lies in the program's memory; it is made anew
// only when that memory grows and moves, or for a new video mode.
EM_JS(void, put_on_canvas,
      (const Uint32* pixels, int width, int height, int x, int y, int w, int h), {
    if (!Module.shownImage || Module.shownImage.data.buffer !== HEAPU8.buffer ||
        Module.shownImage.data.byteOffset !== pixels) {
        const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
        Module.shownImage = new ImageData(bytes, width, height);
        Module.shownContext = Module.canvas.getContext("2d", {alpha: false});
    }
    Module.shownContext.putImageData(Module.shownImage, 0, 0, x, y, w, h);
});

EM_JS(int, set_cursor, (int toggle), {
    const shown = Module.canvas.style.cursor !== "none";
    if (toggle >= 0) Module.canvas.style.cursor = toggle ? "" : "none";
    return shown;
});
// clang-format on

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    constexpr Uint32 kRed = 0x00FF0000, kGreen = 0x0000FF00, kBlue = 0x000000FF;
    if (bpp != 32 && bpp != 0) {
        SDL_SetError("Only 32 bits per pixel are offered");
        return nullptr;
    }
    SDL_Surface* made = SDL_CreateRGBSurface(0, width, height, 32, kRed, kGreen, kBlue, 0);
    auto* picture = static_cast<Uint32*>(std::calloc(static_cast<size_t>(width) * height, 4));
    if (made == nullptr || picture == nullptr) {
        SDL_FreeSurface(made);
        std::free(picture);
        SDL_SetError("Out of memory");
        return nullptr;
    }
    // Full screen needs a click of the visitor's: the page asks for it when the show starts.
    made->flags |= flags & SDL_FULLSCREEN;
    SDL_FreeSurface(screen);
    std::free(shown);
    screen = made;
    shown = picture;
    left = top = right = bottom = 0;
    size_canvas(width, height);
    web_listen_for_events();
    return screen;
}

SDL_Surface* SDL_GetVideoSurface()
{
    return screen;
}

void web_show_presented()
{
    if (screen == nullptr || left >= right || top >= bottom) return;
    put_on_canvas(shown, screen->w, screen->h, left, top, right - left, bottom - top);
    left = top = right = bottom = 0;
}

// Only the rectangle reaches the picture: whatever else changed on the screen stays unseen, as
// on the desktop. All zeros is the whole screen.
void SDL_UpdateRect(SDL_Surface* surface, Sint32 x, Sint32 y, Uint32 w, Uint32 h)
{
    if (surface != screen || screen == nullptr) return;
    if (x == 0 && y == 0 && w == 0 && h == 0) {
        w = static_cast<Uint32>(screen->w);
        h = static_cast<Uint32>(screen->h);
    }
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = static_cast<int>(std::min<Sint64>(Sint64{x} + w, screen->w));
    const int y1 = static_cast<int>(std::min<Sint64>(Sint64{y} + h, screen->h));
    if (x0 >= x1 || y0 >= y1) return;
    constexpr Uint32 kOpaque = 0xFF000000;
    for (int row = y0; row < y1; ++row) {
        const Uint32* from = static_cast<const Uint32*>(screen->pixels) + row * (screen->pitch / 4);
        Uint32* to = shown + row * screen->w;
        // 0x00RRGGBB in, the bytes R, G, B, 255 out.
        for (int column = x0; column < x1; ++column) {
            const Uint32 p = from[column];
            to[column] = kOpaque | (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
        }
    }
    const bool none = left >= right;
    left = none ? x0 : std::min(left, x0);
    top = none ? y0 : std::min(top, y0);
    right = none ? x1 : std::max(right, x1);
    bottom = none ? y1 : std::max(bottom, y1);
    web_wait_when_due();
}

int SDL_ShowCursor(int toggle)
{
    return set_cursor(toggle);
}

char* SDL_VideoDriverName(char* name, int length)
{
    constexpr char kName[] = "browser";
    if (name == nullptr || length <= 0) return nullptr;
    std::snprintf(name, static_cast<size_t>(length), "%s", kName);
    return name;
}
