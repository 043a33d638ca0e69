// Compares a screenshot with an independent computation of a fractal view, pixel by pixel.
// usage: check_screenshot FILE.bmp X_MIN X_MAX Y_MIN Y_MAX LIMIT [C_RE C_IM]
// With C_RE and C_IM the view is the Julia set of that constant. Exit 0 when every pixel matches.
#include "reference.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 7 && argc != 9) {
        std::fprintf(stderr, "usage: %s FILE.bmp X_MIN X_MAX Y_MIN Y_MAX LIMIT [C_RE C_IM]\n",
                     argv[0]);
        return 2;
    }
    SDL_Surface* shot = SDL_LoadBMP(argv[1]);
    if (shot == nullptr) {
        std::fprintf(stderr, "check_screenshot: cannot load %s: %s\n", argv[1], SDL_GetError());
        return 2;
    }
    if (shot->w != 640 || shot->h != 480) {
        std::fprintf(stderr, "check_screenshot: %s is %dx%d, not 640x480\n", argv[1], shot->w,
                     shot->h);
        return 1;
    }
    const RefView view{std::atof(argv[2]), std::atof(argv[3]), std::atof(argv[4]),
                       std::atof(argv[5])};
    const int limit = std::atoi(argv[6]);
    const bool julia = argc == 9;
    const double c_re = julia ? std::atof(argv[7]) : 0.0;
    const double c_im = julia ? std::atof(argv[8]) : 0.0;

    int mismatches = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const Uint8* p = static_cast<Uint8*>(shot->pixels) + y * shot->pitch +
                             x * shot->format->BytesPerPixel;
            Uint32 word = 0;
            std::memcpy(&word, p, shot->format->BytesPerPixel);
            Uint8 r, g, b;
            SDL_GetRGB(word, shot->format, &r, &g, &b);
            const RefRgb expected = ref_pixel(view, x, y, 640, 480, limit, julia, c_re, c_im);
            if (expected != RefRgb{r, g, b} && ++mismatches <= 5)
                std::printf("pixel (%d, %d) is %d,%d,%d, expected %d,%d,%d\n", x, y, r, g, b,
                            expected.r, expected.g, expected.b);
        }
    std::printf("%s: %d of 307200 pixels differ\n", argv[1], mismatches);
    SDL_FreeSurface(shot);
    return mismatches == 0 ? 0 : 1;
}
