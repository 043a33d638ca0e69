// Bringing the library, audio, display and assets up, and taking them down again.
#include "app.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

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
    constexpr int kWidth = 640;
    constexpr int kHeight = 480;
    constexpr int kDepth = 32;

    // A reader that goes away (cardioid | head -0) must not end the show: the lines on standard
    // output are a report, and a failed write of one is not an error.
    std::signal(SIGPIPE, SIG_IGN);
    // Audio failing is not fatal: SDL_Init still brings video up, the music handle stays none
    // and the play request later fails quietly, so the demo keeps its timing without sound.
    SDL_Init(kInitFlags);
    // Escape in any demo loop calls exit(0) directly; this handler is what restores the desktop.
    std::atexit(quit_library);
    Mix_OpenAudio(kSampleRate, AUDIO_S16LSB, kChannels, kBufferSamples);
    StartUpResult result{};
    if (check_tune("sfx.xm")) result.music = Mix_LoadMUS("sfx.xm");

    display.screen = SDL_SetVideoMode(kWidth, kHeight, kDepth, SDL_FULLSCREEN);
    if (display.screen == nullptr) fatal("cannot set the 640x480x32 full-screen video mode");
    if (display.screen->format->BytesPerPixel != 4)
        fatal("the video mode is not 32 bits per pixel");
    keep_only_acted_on_events();
    display.pixels = static_cast<Uint32*>(display.screen->pixels);
    display.pitch_px = display.screen->pitch / display.screen->format->BytesPerPixel;

    result.black = SDL_MapRGB(display.screen->format, 0, 0, 0);
    result.white = SDL_MapRGB(display.screen->format, 255, 255, 255);

    display.sheet = SDL_LoadBMP_RW(SDL_RWFromFile("gfx.bmp", "rb"), 1);
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
