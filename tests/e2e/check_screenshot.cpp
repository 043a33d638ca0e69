// Compares a picture of the screen, pixel by pixel, with an independent computation of what the
// program should show: a fractal view, the loading screen of some preload step, or some playback
// step (a zoom frame under the logo), the last two from the real sprite sheet.
// usage: check_screenshot FILE.bmp X_MIN X_MAX Y_MIN Y_MAX LIMIT [C_RE C_IM]
//        check_screenshot FILE.bmp loading|playback SHEET.bmp
// With C_RE and C_IM the view is the Julia set of that constant. Exit 0 when every pixel matches.
#include "reference.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

static RefRgb rgb_at(SDL_Surface* picture, int x, int y)
{
    const Uint8* p = static_cast<Uint8*>(picture->pixels) + y * picture->pitch +
                     x * picture->format->BytesPerPixel;
    Uint32 word = 0;
    std::memcpy(&word, p, picture->format->BytesPerPixel);
    Uint8 r, g, b;
    SDL_GetRGB(word, picture->format, &r, &g, &b);
    return {r, g, b};
}

// Differing pixels, counted up to stop_at; the first few are shown when all are counted.
static int mismatches(SDL_Surface* shot, const std::function<RefRgb(int, int)>& expected,
                      int stop_at)
{
    int count = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const RefRgb want = expected(x, y), got = rgb_at(shot, x, y);
            if (want == got) continue;
            if (++count <= 5 && stop_at > 1)
                std::printf("pixel (%d, %d) is %d,%d,%d, expected %d,%d,%d\n", x, y, got.r, got.g,
                            got.b, want.r, want.g, want.b);
            if (count == stop_at) return count;
        }
    return count;
}

static int compare(int argc, char** argv, SDL_Surface* shot, SDL_Surface* sheet)
{
    const bool phase = argc == 4;
    if (shot->w != 640 || shot->h != 480) {
        std::fprintf(stderr, "check_screenshot: %s is %dx%d, not 640x480\n", argv[1], shot->w,
                     shot->h);
        return 1;
    }
    if (phase) {
        // Any one step of the phase will do: the caller cannot tell which one it caught.
        const bool loading = std::string(argv[2]) == "loading";
        const auto sheet_rgb = [&](int x, int y) { return rgb_at(sheet, x, y); };
        for (int step = 0; step < 44; ++step) {
            const RefView zoom = ref_zoom_view(step);
            // A zoom frame is a 320x240 picture at the starting limit, doubled.
            const auto expected = [&](int x, int y) {
                if (loading) return ref_loading(sheet_rgb, step, x, y);
                return ref_playback(sheet_rgb, ref_pixel(zoom, x / 2, y / 2, 320, 240, 1000), x, y);
            };
            if (mismatches(shot, expected, 1) == 0) {
                std::printf("%s: %s step %d\n", argv[1], argv[2], step);
                return 0;
            }
        }
        std::printf("%s: no %s step\n", argv[1], argv[2]);
        return 1;
    }
    const RefView view{std::atof(argv[2]), std::atof(argv[3]), std::atof(argv[4]),
                       std::atof(argv[5])};
    const int limit = std::atoi(argv[6]);
    const bool julia = argc == 9;
    const double c_re = julia ? std::atof(argv[7]) : 0.0;
    const double c_im = julia ? std::atof(argv[8]) : 0.0;
    const int differ = mismatches(
        shot,
        [&](int x, int y) { return ref_pixel(view, x, y, 640, 480, limit, julia, c_re, c_im); },
        640 * 480);
    std::printf("%s: %d of 307200 pixels differ\n", argv[1], differ);
    return differ == 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    const bool phase = argc == 4;
    if (argc != 7 && argc != 9 && !phase) {
        std::fprintf(stderr,
                     "usage: %s FILE.bmp X_MIN X_MAX Y_MIN Y_MAX LIMIT [C_RE C_IM]\n"
                     "       %s FILE.bmp loading|playback SHEET.bmp\n",
                     argv[0], argv[0]);
        return 2;
    }
    SDL_Surface* shot = SDL_LoadBMP(argv[1]);
    SDL_Surface* sheet = phase ? SDL_LoadBMP(argv[3]) : nullptr;
    if (shot == nullptr || (phase && sheet == nullptr)) {
        std::fprintf(stderr, "check_screenshot: cannot load a picture: %s\n", SDL_GetError());
        return 2;
    }
    const int status = compare(argc, argv, shot, sheet);
    // The sanitizer build of this checker counts a picture left allocated as a failure.
    SDL_FreeSurface(sheet);
    SDL_FreeSurface(shot);
    return status;
}
