// SDL's start and end, its error text, its clock, and the waits that give the browser control.
#include "web.h"

#include <emscripten.h>

#include <cstdarg>
#include <cstdio>

// About one display frame: a computation this long without a wait would stutter the picture.
constexpr double kFrameMs = 16.0;
// An idle loop waits this long between looks at the queue: input still feels immediate.
constexpr int kIdleWaitMs = 8;

static char error_text[256];
static double start_ms;
static double last_wait_ms;
static bool polled_empty; // and nothing presented or waited for since

// web/wait.js
extern "C" void web_wait_for_browser(int ms);

void web_wait(int ms)
{
    web_show_presented();
    web_wait_for_browser(ms);
    last_wait_ms = emscripten_get_now();
    polled_empty = false;
}

void web_wait_when_due()
{
    polled_empty = false;
    if (emscripten_get_now() - last_wait_ms >= kFrameMs) web_wait(0);
}

void web_poll_found_nothing()
{
    if (polled_empty) return web_wait(kIdleWaitMs);
    web_wait_when_due();
    polled_empty = true;
}

int SDL_Init(Uint32)
{
    start_ms = last_wait_ms = emscripten_get_now();
    return 0;
}

void SDL_QuitSubSystem(Uint32 flags)
{
    if (flags & SDL_INIT_AUDIO) SDL_CloseAudio();
    if (flags & SDL_INIT_VIDEO) web_stop_listening();
}

// The last picture stays on the page; the sound stops and input is no longer taken.
void SDL_Quit()
{
    SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_VIDEO);
    web_show_presented();
}

void SDL_SetError(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(error_text, sizeof error_text, format, arguments);
    va_end(arguments);
}

char* SDL_GetError()
{
    return error_text;
}

void SDL_ClearError()
{
    error_text[0] = '\0';
}

Uint32 SDL_GetTicks()
{
    return static_cast<Uint32>(emscripten_get_now() - start_ms);
}

void SDL_Delay(Uint32 ms)
{
    web_wait(static_cast<int>(ms));
}
