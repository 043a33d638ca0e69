// The demo hot keys: Escape and close requests end the process, M opens the explorer.
#include "explorer/explorer.h"
#include "explorer_test_support.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace test_support;

class DemoKeys : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        reset_fractal_state();
    }
};

// Either way the library is shut down on the way out by the handler start_up registers; the
// check below is registered before it, so it runs after it.
TEST_F(DemoKeys, EscapeOrACloseRequestEndTheProcessWithStatusZeroThroughTheExitHandler)
{
    for (bool close : {false, true}) {
        EXPECT_EXIT(
            {
                std::atexit(
                    [] { std::_Exit(SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_AUDIO) ? 3 : 0); });
                start_up();
                if (close) push_click(SDL_BUTTON_LEFT, 5, 5);
                close ? push_quit() : push_key(SDLK_ESCAPE);
                poll_demo_keys();
            },
            ::testing::ExitedWithCode(0), "")
            << (close ? "close request" : "Escape");
    }
}

TEST_F(DemoKeys, OtherKeysAndMouseEventsAreIgnoredAndTheQueueIsDrained)
{
    constexpr Uint32 kPicture = 0x00336699;
    SDL_FillRect(display.screen, nullptr, kPicture);
    push_key(SDLK_a);
    push_key(SDLK_i);
    push_key(SDLK_p);
    push_key(SDLK_KP_MINUS);
    push_click(SDL_BUTTON_LEFT, 320, 240);
    push_click(SDL_BUTTON_RIGHT, 10, 10);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(poll_demo_keys());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    SDL_Event left;
    EXPECT_EQ(SDL_PollEvent(&left), 0);
    EXPECT_EQ(fractal_state.max_iterations, 1000);
    EXPECT_FALSE(fractal_state.julia);
    EXPECT_EQ(surface_row(display.screen, 240)[320] & 0xFFFFFF, kPicture);
}

TEST_F(DemoKeys, MOpensTheExplorerAndDrainingGoesOnAfterIt)
{
    push_key(SDLK_m);
    push_key(SDLK_i);              // handled by the explorer
    push_key(SDLK_ESCAPE);         // leaves the explorer, not the process
    EXPECT_TRUE(poll_demo_keys()); // the screen holds the explorer's picture
    EXPECT_EQ(fractal_state.max_iterations, 2000);
    EXPECT_EQ(fractal_state.x_min, -2.5);
    EXPECT_EQ(screen_rgb(display.screen, 0, 0), ref_colour(1, 2000));

    // After the visit the demo's rule is back: the next Escape ends the process.
    push_key(SDLK_ESCAPE);
    EXPECT_EXIT(poll_demo_keys(), ::testing::ExitedWithCode(0), "");
}

} // namespace
