// The preloaded zoom: filling the frame table behind the loading screen, and playing it back.
#include "app.h"

#include "../effects/effects.h"
#include "../explorer/explorer.h"
#include "../fractal/fractal.h"

#include <cmath>

FrameTable frame_table = {};

// The zoom ends near 1.7e-13 wide around this point; its pixel (160, 120) escapes after 353
// iterations at every step, so no step can fall wholly inside the set.
constexpr double kZoomCentreRe = -1.6275794501492922;
constexpr double kZoomCentreIm = -0.0216630454161035;

// The loading screen of a step. Over the previous step's screen only the label changes and the
// bar grows, so only the label's place is drawn again unless from_scratch.
static void draw_loading_screen(int step, SDL_Surface* loading_sprite, Uint32 black,
                                bool from_scratch)
{
    constexpr Sint16 kSpriteX = 176;
    constexpr Sint16 kSpriteY = 80;
    constexpr SDL_Rect kLabelPlace = {224, 416, 320, 31}; // where draw_loading_label draws
    if (from_scratch) {
        SDL_FillRect(display.screen, nullptr, black);
        SDL_Rect at = {kSpriteX, kSpriteY, 0, 0};
        SDL_UpperBlit(loading_sprite, nullptr, display.screen, &at);
    } else {
        SDL_Rect label = kLabelPlace;
        SDL_FillRect(display.screen, &label, black);
    }
    if (step % 2 == 1) draw_loading_label(); // the label blinks, one step on and one off
}

static SDL_Surface* render_zoom_step(int step)
{
    constexpr double kShrinkPerStep = 0.75;
    constexpr int kFirstPower = 64; // step 0 is already 0.75^64 of the 4 x 3 start view
    const double s = std::pow(kShrinkPerStep, step + kFirstPower);
    SDL_Surface* image = render_preload_frame(kZoomCentreRe, kZoomCentreIm, 4 * s, 3 * s);
    return scale_surface(image, kScreenWidth, kScreenHeight, true);
}

static void draw_progress_bar(int step, Uint32 white)
{
    constexpr Sint16 kBarY = 450;
    constexpr Uint16 kBarHeight = 30;
    // Grows from nothing at the first step to 639 pixels, one short of the width, at the last.
    const auto width =
        static_cast<Uint16>(step / static_cast<double>(kZoomSteps - 1) * (kScreenWidth - 1));
    SDL_Rect bar = {0, kBarY, width, kBarHeight};
    SDL_FillRect(display.screen, &bar, white);
}

void preload_frames(SDL_Surface* loading_sprite, Uint32 black, Uint32 white)
{
    frame_table = {};
    bool from_scratch = true;
    for (int step = 0; step < kZoomSteps; ++step) {
        draw_loading_screen(step, loading_sprite, black, from_scratch);
        if (!frame_table.exhausted) {
            frame_table.frames[step] = render_zoom_step(step);
            if (frame_table.frames[step] == nullptr) frame_table.exhausted = true;
        }
        draw_progress_bar(step, white);
        SDL_UpdateRect(display.screen, 0, 0, kScreenWidth, kScreenHeight);
        // An explorer visit from here redraws the screen; the next step draws the loading
        // screen again from scratch, and a limit raised there applies to the remaining steps.
        from_scratch = poll_demo_keys();
    }
}

void play_frames(SDL_Surface* logo, Uint32 black, Uint32 music_start)
{
    constexpr Uint32 kShowMs = 45000; // from the music's start, starfield included
    constexpr Uint32 kFrameDelayMs = 50;
    constexpr Sint16 kLogoY = 40;
    // Unsigned tick differences stay right across the tick counter's wrap.
    while (SDL_GetTicks() - music_start < kShowMs) {
        for (int step = 0; step < kZoomSteps; ++step) {
            SDL_Surface* frame = frame_table.frames[step];
            if (frame != nullptr) {
                SDL_Rect at = {0, 0, 0, 0};
                SDL_UpperBlit(frame, nullptr, display.screen, &at);
            } else {
                SDL_FillRect(display.screen, nullptr, black);
            }
            SDL_Rect logo_at = {0, kLogoY, 0, 0};
            SDL_UpperBlit(logo, nullptr, display.screen, &logo_at);
            SDL_UpdateRect(display.screen, 0, 0, kScreenWidth, kScreenHeight);
            SDL_Delay(kFrameDelayMs);
            poll_demo_keys();
            if (frame == nullptr) break; // the first empty slot ends the pass
        }
    }
}

void free_frames()
{
    for (SDL_Surface* frame : frame_table.frames) SDL_FreeSurface(frame);
    frame_table = {};
}
