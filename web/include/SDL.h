// The part of SDL 1.2's interface that Cardioid uses, with SDL 1.2's names and values, for the
// browser build: web/*.cpp implement it over the page's canvas, its events and Web Audio.
#pragma once

#include <cstdint>
#include <cstdio>

typedef uint8_t Uint8;
typedef uint16_t Uint16;
typedef int16_t Sint16;
typedef uint32_t Uint32;
typedef int32_t Sint32;
typedef int64_t Sint64;
typedef uint64_t Uint64;

// Library

constexpr Uint32 SDL_INIT_AUDIO = 0x00000010;
constexpr Uint32 SDL_INIT_VIDEO = 0x00000020;

int SDL_Init(Uint32 flags);
void SDL_QuitSubSystem(Uint32 flags);
void SDL_Quit();

[[gnu::format(printf, 1, 2)]] void SDL_SetError(const char* format, ...);
char* SDL_GetError();
void SDL_ClearError();

Uint32 SDL_GetTicks();
void SDL_Delay(Uint32 ms);

// Surfaces

struct SDL_Rect {
    Sint16 x, y;
    Uint16 w, h;
};

struct SDL_Palette; // the browser build makes no palette surfaces

struct SDL_PixelFormat {
    SDL_Palette* palette;
    Uint8 BitsPerPixel;
    Uint8 BytesPerPixel;
    Uint8 Rloss, Gloss, Bloss, Aloss;
    Uint8 Rshift, Gshift, Bshift, Ashift;
    Uint32 Rmask, Gmask, Bmask, Amask;
    Uint32 colorkey;
    Uint8 alpha;
};

struct SDL_Surface {
    Uint32 flags;
    SDL_PixelFormat* format;
    int w, h;
    Uint16 pitch;
    void* pixels;
    int offset;
    SDL_Rect clip_rect;
    int refcount;
};

constexpr Uint32 SDL_HWSURFACE = 0x00000001;
constexpr Uint32 SDL_ASYNCBLIT = 0x00000004;
constexpr Uint32 SDL_SRCCOLORKEY = 0x00001000;
constexpr Uint32 SDL_RLEACCEL = 0x00004000;
constexpr Uint32 SDL_SRCALPHA = 0x00010000;
constexpr Uint32 SDL_PREALLOC = 0x01000000;
constexpr Uint32 SDL_FULLSCREEN = 0x80000000;

// A function here, not a macro: the program only ever calls it.
inline bool SDL_MUSTLOCK(const SDL_Surface* surface)
{
    return surface->offset != 0 ||
           (surface->flags & (SDL_HWSURFACE | SDL_ASYNCBLIT | SDL_RLEACCEL)) != 0;
}

SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask,
                                  Uint32 Gmask, Uint32 Bmask, Uint32 Amask);
void SDL_FreeSurface(SDL_Surface* surface);
int SDL_LockSurface(SDL_Surface* surface);
void SDL_UnlockSurface(SDL_Surface* surface);
Uint32 SDL_MapRGB(const SDL_PixelFormat* format, Uint8 r, Uint8 g, Uint8 b);
int SDL_SetColorKey(SDL_Surface* surface, Uint32 flag, Uint32 key);
int SDL_FillRect(SDL_Surface* surface, SDL_Rect* rect, Uint32 colour);
int SDL_UpperBlit(SDL_Surface* source, SDL_Rect* source_rect, SDL_Surface* target,
                  SDL_Rect* target_rect);

// The display

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags);
SDL_Surface* SDL_GetVideoSurface();
void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h);
int SDL_ShowCursor(int toggle);
char* SDL_VideoDriverName(char* name, int length);

// File streams

constexpr int RW_SEEK_SET = 0;
constexpr int RW_SEEK_CUR = 1;
constexpr int RW_SEEK_END = 2;

struct SDL_RWops;

SDL_RWops* SDL_RWFromFile(const char* path, const char* mode);
SDL_RWops* SDL_RWFromFP(std::FILE* file, int autoclose);
int SDL_RWseek(SDL_RWops* stream, int offset, int whence);
int SDL_RWread(SDL_RWops* stream, void* to, int size, int count);
int SDL_RWwrite(SDL_RWops* stream, const void* from, int size, int count);
int SDL_RWclose(SDL_RWops* stream);

SDL_Surface* SDL_LoadBMP_RW(SDL_RWops* stream, int free_stream);
int SDL_SaveBMP_RW(SDL_Surface* surface, SDL_RWops* stream, int free_stream);

// Events

enum SDLKey {
    SDLK_UNKNOWN = 0,
    SDLK_BACKSPACE = 8,
    SDLK_TAB = 9,
    SDLK_RETURN = 13,
    SDLK_ESCAPE = 27,
    SDLK_SPACE = 32,
    SDLK_MINUS = 45,
    SDLK_0 = 48,
    SDLK_EQUALS = 61,
    SDLK_a = 97,
    SDLK_i = 105,
    SDLK_m = 109,
    SDLK_p = 112,
    SDLK_z = 122,
    SDLK_KP0 = 256,
    SDLK_KP_PERIOD = 266,
    SDLK_KP_DIVIDE = 267,
    SDLK_KP_MULTIPLY = 268,
    SDLK_KP_MINUS = 269,
    SDLK_KP_PLUS = 270,
    SDLK_KP_ENTER = 271,
    SDLK_KP_EQUALS = 272,
    SDLK_UP = 273,
    SDLK_DOWN = 274,
    SDLK_RIGHT = 275,
    SDLK_LEFT = 276,
    SDLK_F1 = 282,
};

enum SDLMod { KMOD_NONE = 0 };

constexpr Uint8 SDL_NOEVENT = 0;
constexpr Uint8 SDL_KEYDOWN = 2;
constexpr Uint8 SDL_KEYUP = 3;
constexpr Uint8 SDL_MOUSEBUTTONDOWN = 5;
constexpr Uint8 SDL_MOUSEBUTTONUP = 6;
constexpr Uint8 SDL_QUIT = 12;
constexpr Uint8 SDL_NUMEVENTS = 32;

constexpr int SDL_QUERY = -1;
constexpr int SDL_IGNORE = 0;
constexpr int SDL_ENABLE = 1;

constexpr Uint8 SDL_RELEASED = 0;
constexpr Uint8 SDL_PRESSED = 1;

constexpr Uint8 SDL_BUTTON_LEFT = 1;
constexpr Uint8 SDL_BUTTON_MIDDLE = 2;
constexpr Uint8 SDL_BUTTON_RIGHT = 3;
constexpr Uint8 SDL_BUTTON_WHEELUP = 4;
constexpr Uint8 SDL_BUTTON_WHEELDOWN = 5;

struct SDL_keysym {
    Uint8 scancode;
    SDLKey sym;
    SDLMod mod;
    Uint16 unicode;
};

struct SDL_KeyboardEvent {
    Uint8 type;
    Uint8 which;
    Uint8 state;
    SDL_keysym keysym;
};

struct SDL_MouseButtonEvent {
    Uint8 type;
    Uint8 which;
    Uint8 button;
    Uint8 state;
    Uint16 x, y;
};

struct SDL_QuitEvent {
    Uint8 type;
};

union SDL_Event {
    Uint8 type;
    SDL_KeyboardEvent key;
    SDL_MouseButtonEvent button;
    SDL_QuitEvent quit;
};

int SDL_PollEvent(SDL_Event* event);
Uint8 SDL_EventState(Uint8 type, int state);

// Audio

constexpr Uint16 AUDIO_S16LSB = 0x8010;

struct SDL_AudioSpec {
    int freq;
    Uint16 format;
    Uint8 channels;
    Uint8 silence;
    Uint16 samples;
    Uint16 padding;
    Uint32 size;
    void (*callback)(void* userdata, Uint8* stream, int length);
    void* userdata;
};

int SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained);
void SDL_PauseAudio(int pause_on);
void SDL_CloseAudio();
