// The demo's timeline, watched at every present: the loading screen and the frame stored at each
// preload step, and the playback passes with the logo.
#include "explorer/explorer_test_support.h"
#include "screen_watch.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using namespace test_support;

RefRgb sheet_rgb(int x, int y)
{
    const Uint32 c = test_sheet_colour(x, y);
    return {static_cast<int>(c >> 16 & 0xFF), static_cast<int>(c >> 8 & 0xFF),
            static_cast<int>(c & 0xFF)};
}

// Each slot of the playback tests holds a picture of its own, never black.
RefRgb slot_rgb(int slot, int x, int y)
{
    return {slot * 5 + 20, x % 200 + 30, y % 200 + 30};
}

int screen_mismatches(const std::function<RefRgb(int, int)>& expected)
{
    int mismatches = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            mismatches += screen_rgb(display.screen, x, y) != expected(x, y);
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
    void fill_slots(int first, int end)
    {
        for (int slot = first; slot < end; ++slot) {
            SDL_Surface* frame = SDL_CreateRGBSurface(0, 640, 480, 32, 0x00FF0000, 0x0000FF00,
                                                      0x000000FF, 0xFF000000);
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 640; ++x) {
                    const RefRgb c = slot_rgb(slot, x, y);
                    surface_row(frame, y)[x] = SDL_MapRGB(frame->format, c.r, c.g, c.b);
                }
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
            mismatches.push_back(screen_mismatches(
                [&](int x, int y) { return ref_loading(sheet_rgb, step, x, y); }));
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
        const double s = zoom_scale(step);
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
            shown += screen_mismatches(
                         [&](int x, int y) { return ref_loading(sheet_rgb, step, x, y); }) == 0;
            if (step == 2) fractal_state.max_iterations = 1;
        });
        preload();
    }
    EXPECT_EQ(shown, 44);
    EXPECT_TRUE(frame_table.exhausted);
    for (int step = 0; step < 44; ++step) EXPECT_EQ(frame_table.frames[step] == nullptr, step >= 3);
    // The view of the last step rendered stays published.
    EXPECT_EQ(fractal_state.x_min, kZoomRe - 4 * zoom_scale(3) * 0.5);
}

// The first empty slot shows black under the logo and ends the pass; the next begins at slot 0.
// With every slot full, a pass shows all 44; the 45 s window closes during it, and it still runs
// to its end. Then no pass begins.
TEST_F(Timeline, PassesShowTheSlotsInOrderUnderTheLogoFiftyMillisecondsApart)
{
    fill_slots(0, 10);
    int slots = 11, empty = 10, stop_at = 12;
    std::vector<int> mismatches;
    Watching watch([&](int step) {
        const int slot = step % slots;
        mismatches.push_back(screen_mismatches([&](int x, int y) {
            return ref_playback(sheet_rgb, slot == empty ? RefRgb{} : slot_rgb(slot, x, y), x, y);
        }));
        if (step == stop_at) throw StopWatching{};
    });
    EXPECT_THROW(play(SDL_GetTicks()), StopWatching);
    EXPECT_EQ(mismatches, std::vector<int>(13, 0));

    fill_slots(10, 44);
    slots = 44;
    empty = -1;
    stop_at = 2 * 44; // a second pass would be a fault
    mismatches.clear();
    screen_watch.presents.clear();
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

} // namespace
