// Bringing the library, audio, display and assets up, and taking them down again.
#include "app.h"

#include "../platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The only fatal path: something the demo cannot run without (the video mode, the sprite sheet).
void fatal(const char* what)
{
    std::fprintf(stderr, "cardioid: %s: %s\n", what, SDL_GetError());
    std::exit(1);
}

static void quit_library()
{
    SDL_Quit();
}

// Without a display the library falls back to a driver that opens no window: classic SDL 1.2
// draws with characters in the terminal (aalib, caca), sdl12-compat on an invisible surface
// (offscreen). Either way nobody sees the demo, and it runs until it ends or is killed. A driver
// chosen through SDL_VIDEODRIVER, any of these included, is always honoured.
static void refuse_driver_without_window()
{
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && chosen[0] != '\0') return;
    char name[32];
    if (SDL_VideoDriverName(name, sizeof name) == nullptr) return;
    constexpr const char* kDriversWithoutWindow[] = {"aalib", "caca", "offscreen", "dummy"};
    for (const char* fallback : kDriversWithoutWindow) {
        if (std::strcmp(name, fallback) != 0) continue;
        // Gives the terminal back first, so that the message stays on it.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("the library fell back to its \"%s\" video driver, which opens no window "
                     "(SDL_VIDEODRIVER=%s chooses it anyway)",
                     name, name);
        fatal("no display to show the demo on");
    }
}

// The library queues at most 128 events and drops the rest. Mouse motion during a long redraw
// would fill the queue and push out the clicks and keys behind it, so only the three kinds of
// event the program acts on are queued at all.
static void keep_only_acted_on_events()
{
    for (int type = SDL_NOEVENT + 1; type < SDL_NUMEVENTS; ++type)
        if (type != SDL_KEYDOWN && type != SDL_MOUSEBUTTONDOWN && type != SDL_QUIT)
            SDL_EventState(static_cast<Uint8>(type), SDL_IGNORE);
}

StartUpResult start_up()
{
    constexpr Uint32 kInitFlags = SDL_INIT_AUDIO | SDL_INIT_VIDEO; // 0x30
    constexpr int kSampleRate = 44100;
    constexpr int kChannels = 2;
    constexpr int kBufferSamples = 4096;
    constexpr int kDepth = 32;

    set_up_standard_output();
    // Audio failing is not fatal: SDL_Init still brings video up, the music handle stays none
    // and the play request later fails quietly, so the demo keeps its timing without sound.
    SDL_Init(kInitFlags);
    // Escape in any demo loop calls exit(0) directly; this handler is what restores the desktop.
    std::atexit(quit_library);
    refuse_driver_without_window();
    Mix_OpenAudio(kSampleRate, AUDIO_S16LSB, kChannels, kBufferSamples);
    StartUpResult result{};
    if (check_tune("sfx.xm")) result.music = Mix_LoadMUS("sfx.xm");

    display.screen = SDL_SetVideoMode(kScreenWidth, kScreenHeight, kDepth, SDL_FULLSCREEN);
    if (display.screen == nullptr) fatal("cannot set the 640x480x32 full-screen video mode");
    if (display.screen->format->BytesPerPixel != 4)
        fatal("the video mode is not 32 bits per pixel");
    keep_only_acted_on_events();
    display.pixels = static_cast<Uint32*>(display.screen->pixels);
    display.pitch_px = display.screen->pitch / display.screen->format->BytesPerPixel;

    result.black = SDL_MapRGB(display.screen->format, 0, 0, 0);
    result.white = SDL_MapRGB(display.screen->format, 255, 255, 255);

    // The operating system's reason for a sheet that cannot be opened: the library's message
    // does not give it, and sdl12-compat's is overwritten by the load of no stream.
    errno = 0;
    SDL_RWops* sheet_file = SDL_RWFromFile("gfx.bmp", "rb");
    if (sheet_file == nullptr) {
        // A library that opens files without the C library (on Windows) leaves errno alone;
        // the C library's own attempt then says why.
        if (errno == 0) {
            std::FILE* probe = std::fopen("gfx.bmp", "rb");
            if (probe != nullptr) std::fclose(probe);
        }
        if (errno != 0) SDL_SetError("%s", std::strerror(errno));
        fatal("cannot open the sprite sheet \"gfx.bmp\"");
    }
    display.sheet = SDL_LoadBMP_RW(sheet_file, 1);
    if (display.sheet == nullptr) fatal("cannot load the sprite sheet \"gfx.bmp\"");
    constexpr int kSheetMinWidth = 320; // the logo strip ends at x 320, y 384
    constexpr int kSheetMinHeight = 384;
    if (display.sheet->w < kSheetMinWidth || display.sheet->h < kSheetMinHeight) {
        SDL_SetError("it is %dx%d, it must be at least 320x384", display.sheet->w,
                     display.sheet->h);
        fatal("the sprite sheet \"gfx.bmp\" is too small");
    }
    SDL_SetColorKey(display.sheet, SDL_SRCCOLORKEY, SDL_MapRGB(display.sheet->format, 0, 0, 0));
    // The pointer stays visible over the full-screen display: the explorer is driven by clicks.
    SDL_ShowCursor(1);
    return result;
}

void shut_down(Mix_Music* music)
{
    Mix_FreeMusic(music); // stops it first; the player must not outlive the audio device
    Mix_CloseAudio();
    SDL_FreeSurface(display.sheet);
    display.sheet = nullptr;
    SDL_Quit();
}
