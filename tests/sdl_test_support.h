// Shared set-up for tests that need the real library: a scratch working directory holding a
// sprite sheet, the dummy video and audio drivers, and the program's own start-up.
#pragma once

#include "app/app.h"
#include "effects/effects.h"
#include "fractal/fractal.h"
#include "reference.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace test_support {

inline pid_t owner = 0;

inline const std::filesystem::path& scratch_dir()
{
    static std::filesystem::path dir;
    if (dir.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cardioid-test-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        owner = getpid();
        // A death test's child exits through here too; only the process that made it cleans up.
        std::atexit([] {
            if (getpid() == owner) std::filesystem::remove_all(scratch_dir());
        });
    }
    return dir;
}

// Moves the process into its own scratch directory, so parallel tests never share files.
inline void enter_scratch_dir()
{
    std::filesystem::current_path(scratch_dir());
}

// A sheet with a known pattern: every area holds coloured pixels and some pure black ones.
inline Uint32 test_sheet_colour(int x, int y)
{
    if ((x + y) % 3 == 0) return 0; // black: transparent
    return 0xFF000000u | static_cast<Uint32>((x * 7 + 20) % 256) << 16 |
           static_cast<Uint32>((y * 5 + 40) % 256) << 8 | static_cast<Uint32>((x + y) % 200 + 30);
}

inline void write_test_sheet(const char* path = "gfx.bmp")
{
    SDL_Surface* sheet =
        SDL_CreateRGBSurface(0, 320, 384, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 320; ++x) surface_row(sheet, y)[x] = test_sheet_colour(x, y) & 0xFFFFFF;
    SDL_SaveBMP(sheet, path);
    SDL_FreeSurface(sheet);
}

inline void use_dummy_drivers()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// Starts the program's display exactly as the demo does, on the dummy drivers.
inline StartUpResult start_test_display()
{
    use_dummy_drivers();
    enter_scratch_dir();
    write_test_sheet();
    return start_up();
}

// The overlays and the cut surfaces behind them are kept until exit by design; under the
// sanitizers the leak checker is told so.
inline Overlays build_kept_overlays()
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler kept_until_exit;
#endif
    return build_overlays();
}

inline void reset_fractal_state()
{
    fractal_state = FractalState{0.0, 0.0, 0.0, 0.0, 1000, false, 0.0, 0.0};
}

// The screen's pixel words, row after row, without the padding of its pitch.
inline std::vector<Uint32> screen_words()
{
    std::vector<Uint32> words;
    words.reserve(640 * 480);
    for (int y = 0; y < 480; ++y)
        words.insert(words.end(), surface_row(display.screen, y),
                     surface_row(display.screen, y) + 640);
    return words;
}

inline RefRgb screen_rgb(SDL_Surface* surface, int x, int y)
{
    Uint8 r, g, b;
    SDL_GetRGB(surface_row(surface, y)[x], surface->format, &r, &g, &b);
    return {r, g, b};
}

} // namespace test_support
