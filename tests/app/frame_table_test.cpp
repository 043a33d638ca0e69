// The demo's timeline, watched at every present: the loading screen and the frame stored at each
// preload step, and the playback passes with the logo.
#include "explorer/explorer_test_support.h"
#include "screen_watch.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

using namespace test_support;

constexpr double kZoomRe = -1.6275794501492922;
constexpr double kZoomIm = -0.0216630454161035;
constexpr Uint32 kRgb = 0x00FFFFFF;

Uint32 sheet_rgb(int x, int y)
{
    return test_sheet_colour(x, y) & kRgb;
}

// Preload step i: on black, the sprite cell 40 times enlarged at (176, 80), the label strip at
// (224, 416) on odd steps only, and a white bar at y 450, i / 43 of 639 pixels wide.
Uint32 loading_rgb(int step, int x, int y)
{
    if (y >= 450 && x < step * 639 / 43) return kRgb;
    if (x >= 176 && x < 496 && y >= 80 && y < 400)
        return sheet_rgb((x - 176) / 40, 226 + (y - 80) / 40);
    if (step % 2 == 1 && x >= 224 && x < 544 && y >= 416 && y < 447)
        return sheet_rgb(x - 224, y - 415);
    return 0;
}

// Each slot of the playback tests holds a picture of its own, never black.
Uint32 slot_rgb(int slot, int x, int y)
{
    return static_cast<Uint32>(slot * 5 + 20) << 16 | static_cast<Uint32>(x % 200 + 30) << 8 |
           static_cast<Uint32>(y % 200 + 30);
}

// A playback step: the slot (black when empty) under the logo strip, doubled, at (0, 40). Black
// sheet pixels and the logo's last two rows let the slot show through.
Uint32 playback_rgb(int slot, bool empty, int x, int y)
{
    const int logo_y = y - 40;
    if (logo_y >= 0 && logo_y < 254 && sheet_rgb(x / 2, 257 + logo_y / 2) != 0)
        return sheet_rgb(x / 2, 257 + logo_y / 2);
    return empty ? 0 : slot_rgb(slot, x, y);
}

int screen_mismatches(const std::function<Uint32(int, int)>& expected)
{
    int mismatches = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            mismatches += (surface_row(display.screen, y)[x] & kRgb) != expected(x, y);
    return mismatches;
}

class Timeline : public ::testing::Test {
  protected:
    void SetUp() override
    {
        started = start_test_display();
        reset_fractal_state();
        overlays = build_kept_overlays();
        frame_table = {};
    }
    void TearDown() override
    {
        for (SDL_Surface*& frame : frame_table.frames) SDL_FreeSurface(frame);
        frame_table = {};
    }
    void fill_slots(int count)
    {
        for (int slot = 0; slot < count; ++slot) {
            SDL_Surface* frame = SDL_CreateRGBSurface(0, 640, 480, 32, 0x00FF0000, 0x0000FF00,
                                                      0x000000FF, 0xFF000000);
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 640; ++x)
                    surface_row(frame, y)[x] = 0xFF000000 | slot_rgb(slot, x, y);
            frame_table.frames[slot] = frame;
        }
    }
    void preload() { preload_frames(overlays.loading_sprite, started.black, started.white); }
    void play(Uint32 music_start) { play_frames(overlays.logo, started.black, music_start); }
    StartUpResult started{};
    ::Overlays overlays{};
};

// An explorer visit after step 20 raises the limit of the steps that follow, and the next step
// draws its loading screen from scratch over the explorer's picture.
TEST_F(Timeline, EachPreloadStepShowsItsLoadingScreenAndStoresItsZoomFrame)
{
    std::vector<int> mismatches;
    {
        Watching watch([&](int step) {
            mismatches.push_back(screen_mismatches([&](int x, int y) { return loading_rgb(step, x, y); }));
            if (step != 20) return;
            push_key(SDLK_m);
            push_key(SDLK_i);
            push_key(SDLK_ESCAPE);
        });
        preload();
    }
    EXPECT_EQ(mismatches, std::vector<int>(44, 0));
    EXPECT_FALSE(frame_table.exhausted);
    for (int step = 0; step < 44; ++step) {
        fractal_state.max_iterations = step <= 20 ? 1000 : 2000;
        const double s = std::pow(0.75, step + 64);
        SDL_Surface* picture = render_preload_frame(kZoomRe, kZoomIm, 4 * s, 3 * s);
        SDL_Surface* frame = frame_table.frames[step];
        ASSERT_NE(picture, nullptr);
        ASSERT_NE(frame, nullptr) << step;
        ASSERT_EQ(frame->w, 640);
        ASSERT_EQ(frame->h, 480);
        int differ = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                differ += surface_row(frame, y)[x] != surface_row(picture, y / 2)[x / 2];
        EXPECT_EQ(differ, 0) << "step " << step;
        SDL_FreeSurface(picture);
    }
}

// Nothing escapes below a limit of 1, so step 3 yields no image: it and every later slot stay
// empty, no later step is rendered, and every step still shows its loading screen.
TEST_F(Timeline, AStepWithoutAnImageEndsTheZoom)
{
    int shown = 0;
    {
        Watching watch([&](int step) {
            shown += screen_mismatches([&](int x, int y) { return loading_rgb(step, x, y); }) == 0;
            if (step == 2) fractal_state.max_iterations = 1;
        });
        preload();
    }
    EXPECT_EQ(shown, 44);
    EXPECT_TRUE(frame_table.exhausted);
    for (int step = 0; step < 44; ++step) EXPECT_EQ(frame_table.frames[step] == nullptr, step >= 3);
    // The view of the last step rendered stays published.
    EXPECT_EQ(fractal_state.x_min, kZoomRe - 4 * std::pow(0.75, 3 + 64) * 0.5);
}

// The 45 s window closes during the pass, which still runs to its end; then no pass begins.
TEST_F(Timeline, APassShowsTheSlotsInOrderUnderTheLogoFiftyMillisecondsApart)
{
    fill_slots(44);
    std::vector<int> mismatches;
    Watching watch([&](int step) {
        mismatches.push_back(screen_mismatches([&](int x, int y) { return playback_rgb(step, false, x, y); }));
        if (step == 2 * 44) throw StopWatching{};
    });
    EXPECT_NO_THROW(play(SDL_GetTicks() - 44800));
    EXPECT_EQ(mismatches, std::vector<int>(44, 0));
    const std::vector<Present>& presents = screen_watch.presents;
    for (size_t step = 1; step < presents.size(); ++step) {
        EXPECT_EQ(presents[step].delay_ms, 50u) << step;
        EXPECT_GE(presents[step].ticks - presents[step - 1].ticks, 50u) << step;
    }
    EXPECT_EQ(screen_watch.pending_delay_ms, 50u);

    screen_watch.presents.clear();
    play(SDL_GetTicks() - 45000);
    EXPECT_TRUE(screen_watch.presents.empty());
}

TEST_F(Timeline, TheFirstEmptySlotShowsBlackUnderTheLogoAndEndsThePass)
{
    fill_slots(10);
    std::vector<int> mismatches;
    Watching watch([&](int step) {
        const int slot = step % 11;
        mismatches.push_back(screen_mismatches([&](int x, int y) { return playback_rgb(slot, slot == 10, x, y); }));
        if (step == 12) throw StopWatching{};
    });
    EXPECT_THROW(play(SDL_GetTicks()), StopWatching);
    EXPECT_EQ(mismatches, std::vector<int>(13, 0));
}

} // namespace
