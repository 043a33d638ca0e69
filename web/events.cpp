// The event queue: the page's keys, clicks and wheel turns as SDL 1.2 events, the filter that
// keeps some kinds out, and the 128 places that SDL 1.2's queue has.
#include "web.h"

#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>

constexpr int kQueuePlaces = 128; // events beyond these are dropped, as SDL 1.2 drops them
constexpr const char* kCanvas = "#canvas";

static SDL_Event queue[kQueuePlaces];
static int first, queued;
static bool ignored[SDL_NUMEVENTS];

static void push(const SDL_Event& event)
{
    if (ignored[event.type] || queued == kQueuePlaces) return;
    queue[(first + queued++) % kQueuePlaces] = event;
}

struct NamedKey {
    const char* name;
    SDLKey sym;
};

// Keys the browser names, by KeyboardEvent.key; the keypad's by KeyboardEvent.code, since their
// key is the character they type.
constexpr NamedKey kNamedKeys[] = {
    {"Escape", SDLK_ESCAPE},       {"Enter", SDLK_RETURN},     {"Tab", SDLK_TAB},
    {"Backspace", SDLK_BACKSPACE}, {"ArrowUp", SDLK_UP},       {"ArrowDown", SDLK_DOWN},
    {"ArrowLeft", SDLK_LEFT},      {"ArrowRight", SDLK_RIGHT},
};
constexpr NamedKey kKeypadKeys[] = {
    {"NumpadDecimal", SDLK_KP_PERIOD},    {"NumpadDivide", SDLK_KP_DIVIDE},
    {"NumpadMultiply", SDLK_KP_MULTIPLY}, {"NumpadSubtract", SDLK_KP_MINUS},
    {"NumpadAdd", SDLK_KP_PLUS},          {"NumpadEnter", SDLK_KP_ENTER},
    {"NumpadEqual", SDLK_KP_EQUALS},
};

// The key by what it types on the visitor's layout, as SDL 1.2 names keys on the desktop; M is
// M on any keyboard.
static SDLKey key_sym(const EmscriptenKeyboardEvent& key)
{
    constexpr char kNumpad[] = "Numpad";
    constexpr int kNumpadLength = sizeof kNumpad - 1;
    if (std::strncmp(key.code, kNumpad, kNumpadLength) == 0) {
        const char* rest = key.code + kNumpadLength;
        if (rest[0] >= '0' && rest[0] <= '9' && rest[1] == '\0')
            return static_cast<SDLKey>(SDLK_KP0 + (rest[0] - '0'));
        for (const NamedKey& named : kKeypadKeys)
            if (std::strcmp(key.code, named.name) == 0) return named.sym;
    }
    const unsigned char typed = static_cast<unsigned char>(key.key[0]);
    if (typed != 0 && typed < 0x80 && key.key[1] == '\0') {
        const bool capital = typed >= 'A' && typed <= 'Z';
        return static_cast<SDLKey>(capital ? typed - 'A' + 'a' : typed);
    }
    for (const NamedKey& named : kNamedKeys)
        if (std::strcmp(key.key, named.name) == 0) return named.sym;
    constexpr int kFunctionKeys = 12;
    for (int n = 1; n <= kFunctionKeys; ++n) {
        char name[4];
        std::snprintf(name, sizeof name, "F%d", n);
        if (std::strcmp(key.key, name) == 0) return static_cast<SDLKey>(SDLK_F1 + n - 1);
    }
    return SDLK_UNKNOWN;
}

// SDL 1.2 repeats no key unless asked. A key with Ctrl, Alt or Meta stays the browser's too.
static EM_BOOL on_key(int type, const EmscriptenKeyboardEvent* key, void*)
{
    if (key->repeat) return EM_TRUE;
    SDL_Event event{};
    const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    event.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key_sym(*key);
    push(event);
    return event.key.keysym.sym != SDLK_UNKNOWN && !key->ctrlKey && !key->altKey && !key->metaKey;
}

// Where on the 640x480 screen the pointer is, however large the canvas is drawn.
static void push_button(Uint8 type, Uint8 button, const EmscriptenMouseEvent& mouse)
{
    double width = 0, height = 0;
    emscripten_get_element_css_size(kCanvas, &width, &height);
    if (width <= 0 || height <= 0) return;
    const SDL_Surface* screen = SDL_GetVideoSurface();
    const int x = static_cast<int>(mouse.targetX * screen->w / width);
    const int y = static_cast<int>(mouse.targetY * screen->h / height);
    if (x < 0 || y < 0 || x >= screen->w || y >= screen->h) return;
    SDL_Event event{};
    event.button = {type,
                    0,
                    button,
                    type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED,
                    static_cast<Uint16>(x),
                    static_cast<Uint16>(y)};
    push(event);
}

static EM_BOOL on_button(int type, const EmscriptenMouseEvent* mouse, void*)
{
    constexpr Uint8 kButtons[] = {SDL_BUTTON_LEFT, SDL_BUTTON_MIDDLE, SDL_BUTTON_RIGHT};
    if (mouse->button > 2) return EM_FALSE;
    push_button(type == EMSCRIPTEN_EVENT_MOUSEDOWN ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP,
                kButtons[mouse->button], *mouse);
    return EM_TRUE;
}

// A wheel turn is a press and a release of button 4 (up) or 5 (down).
static EM_BOOL on_wheel(int, const EmscriptenWheelEvent* wheel, void*)
{
    if (wheel->deltaY == 0) return EM_TRUE;
    const Uint8 button = wheel->deltaY < 0 ? SDL_BUTTON_WHEELUP : SDL_BUTTON_WHEELDOWN;
    push_button(SDL_MOUSEBUTTONDOWN, button, wheel->mouse);
    push_button(SDL_MOUSEBUTTONUP, button, wheel->mouse);
    return EM_TRUE;
}

void web_listen_for_events()
{
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(window, nullptr, EM_FALSE, on_key);
    emscripten_set_keyup_callback(window, nullptr, EM_FALSE, on_key);
    emscripten_set_mousedown_callback(kCanvas, nullptr, EM_FALSE, on_button);
    emscripten_set_mouseup_callback(kCanvas, nullptr, EM_FALSE, on_button);
    emscripten_set_wheel_callback(kCanvas, nullptr, EM_FALSE, on_wheel);
}

void web_stop_listening()
{
    emscripten_html5_remove_all_event_listeners();
    queued = 0;
}

// Ignoring a kind also drops those already queued.
Uint8 SDL_EventState(Uint8 type, int state)
{
    if (type >= SDL_NUMEVENTS) return SDL_IGNORE;
    const Uint8 was = ignored[type] ? SDL_IGNORE : SDL_ENABLE;
    if (state == SDL_QUERY) return was;
    ignored[type] = state == SDL_IGNORE;
    if (!ignored[type]) return was;
    int kept = 0;
    for (int i = 0; i < queued; ++i) {
        const SDL_Event& event = queue[(first + i) % kQueuePlaces];
        if (event.type != type) queue[(first + kept++) % kQueuePlaces] = event;
    }
    queued = kept;
    return was;
}

int SDL_PollEvent(SDL_Event* event)
{
    if (queued == 0) web_poll_found_nothing();
    if (queued == 0) return 0;
    if (event != nullptr) {
        *event = queue[first];
        first = (first + 1) % kQueuePlaces;
        --queued;
    }
    return 1;
}
