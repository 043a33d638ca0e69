// The explorer driven through the event queue on the dummy video driver.
#include "explorer/explorer.h"
#include "explorer_test_support.h"
#include "screen_watch.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using namespace test_support;

class Explorer : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        reset_fractal_state();
        std::filesystem::remove_all("screen.bmp");
    }
    // Runs one visit with the queued input, returns what it printed. All input is queued before
    // the visit, like input typed while the opening picture is drawn: it is handled in order.
    std::string visit()
    {
        testing::internal::CaptureStdout();
        run_explorer();
        return testing::internal::GetCapturedStdout();
    }
    static void expect_view(double x_min, double x_max, double y_min, double y_max)
    {
        EXPECT_EQ(fractal_state.x_min, x_min);
        EXPECT_EQ(fractal_state.x_max, x_max);
        EXPECT_EQ(fractal_state.y_min, y_min);
        EXPECT_EQ(fractal_state.y_max, y_max);
    }
    // Whether the screen was redrawn for the current state: a grid of pixels against the plain
    // computation (render_view_test.cpp checks every pixel of the mapping).
    static int screen_mismatches()
    {
        const FractalState& s = fractal_state;
        const RefView v{s.x_min, s.x_max, s.y_min, s.y_max};
        int mismatches = 0;
        for (int y = 0; y < 480; y += 12)
            for (int x = 0; x < 640; x += 8)
                mismatches += screen_rgb(display.screen, x, y) !=
                              ref_pixel(v, x, y, 640, 480, s.max_iterations, s.julia, s.julia_c_re,
                                        s.julia_c_im);
        return mismatches;
    }
};

TEST_F(Explorer, OpensOnTheDefaultViewWhateverTheViewWas)
{
    fractal_state.x_min = 0.1;
    fractal_state.x_max = 0.2;
    push_key(SDLK_ESCAPE);
    EXPECT_EQ(visit(), "");
    expect_view(-2.5, 1.5, -1.5, 1.5);
    EXPECT_EQ(screen_mismatches(), 0);
}

TEST_F(Explorer, LeftClickInTheMiddleZoomsInByTwoAndPrintsThePoint)
{
    push_click(SDL_BUTTON_LEFT, 320, 240);
    push_key(SDLK_ESCAPE);
    EXPECT_EQ(visit(), "Click: -0.5000000000000000, 0.0000000000000000\n");
    expect_view(-1.5, 0.5, -0.75, 0.75);
    EXPECT_FALSE(fractal_state.julia);
    EXPECT_EQ(screen_mismatches(), 0);
}

TEST_F(Explorer, KeypadMinusZoomsOutAndKeypadEqualsResets)
{
    push_key(SDLK_KP_MINUS);
    push_key(SDLK_ESCAPE);
    visit();
    expect_view(-4.5, 3.5, -3.0, 3.0);
    EXPECT_EQ(screen_mismatches(), 0);

    push_click(SDL_BUTTON_LEFT, 100, 100);
    push_key(SDLK_KP_EQUALS);
    push_key(SDLK_ESCAPE);
    visit();
    expect_view(-2.5, 1.5, -1.5, 1.5);

    // In Julia mode the mode and the constant stay.
    push_click(SDL_BUTTON_RIGHT, 200, 260);
    push_key(SDLK_KP_EQUALS);
    push_key(SDLK_ESCAPE);
    visit();
    expect_view(-2.5, 1.5, -1.5, 1.5);
    EXPECT_TRUE(fractal_state.julia);
    EXPECT_EQ(fractal_state.julia_c_re, -1.25);
    EXPECT_EQ(screen_mismatches(), 0);
}

TEST_F(Explorer, RightAndMiddleClicksOpenTheJuliaSetOfThePoint)
{
    push_click(SDL_BUTTON_RIGHT, 0, 0);
    push_key(SDLK_ESCAPE);
    EXPECT_EQ(visit(), "Click: -2.5000000000000000, -1.5000000000000000\n");
    EXPECT_TRUE(fractal_state.julia);
    EXPECT_EQ(fractal_state.julia_c_re, -2.5);
    EXPECT_EQ(fractal_state.julia_c_im, -1.5);
    expect_view(-2.0, 2.0, -1.5, 1.5);
    EXPECT_EQ(screen_mismatches(), 0);

    fractal_state.julia = false;
    push_click(SDL_BUTTON_MIDDLE, 0, 0);
    push_key(SDLK_ESCAPE);
    visit();
    EXPECT_TRUE(fractal_state.julia);
    EXPECT_EQ(fractal_state.julia_c_re, -2.5);
    EXPECT_EQ(fractal_state.julia_c_im, 0.0);
    expect_view(-2.0, 2.0, -1.5, 1.5);
}

TEST_F(Explorer, ASecondNonLeftClickReturnsToMandelbrotInTheSameFrame)
{
    push_click(SDL_BUTTON_RIGHT, 200, 260); // c = (-1.25, 0.125)
    push_click(SDL_BUTTON_LEFT, 480, 120);  // zoom into the Julia picture
    push_click(SDL_BUTTON_WHEELUP, 10, 10); // the wheel acts like the right button
    push_key(SDLK_ESCAPE);
    const std::string out = visit();
    EXPECT_EQ(out, "Click: -1.2500000000000000, 0.1250000000000000\n"
                   "Click: 1.0000000000000000, -0.7500000000000000\n"
                   "Click: 0.0312500000000000, -1.4687500000000000\n");
    EXPECT_FALSE(fractal_state.julia);
    expect_view(0.0, 2.0, -1.5, 0.0);
    EXPECT_EQ(fractal_state.julia_c_re, -1.25); // the constant stays for the next switch
    EXPECT_EQ(fractal_state.julia_c_im, 0.125);
    EXPECT_EQ(screen_mismatches(), 0);
}

TEST_F(Explorer, IRaisesTheLimitForTheRestOfTheRun)
{
    push_key(SDLK_i);
    push_key(SDLK_ESCAPE);
    visit();
    EXPECT_EQ(fractal_state.max_iterations, 2000);
    EXPECT_EQ(screen_mismatches(), 0);

    push_key(SDLK_i);
    push_key(SDLK_ESCAPE);
    visit();
    EXPECT_EQ(fractal_state.max_iterations, 3000);
}

TEST_F(Explorer, ReopeningAfterAJuliaVisitShowsThatJuliaSetInTheDefaultView)
{
    push_click(SDL_BUTTON_RIGHT, 200, 260);
    push_key(SDLK_ESCAPE);
    visit();
    push_key(SDLK_ESCAPE);
    visit();
    EXPECT_TRUE(fractal_state.julia);
    expect_view(-2.5, 1.5, -1.5, 1.5);
    EXPECT_EQ(screen_mismatches(), 0);
}

// The file holds the whole screen as shown, and a second press overwrites it. No redraw: the
// visit presents the rows of its opening picture and of the zoom only.
TEST_F(Explorer, PSavesTheWholeScreenWithoutRedrawing)
{
    const auto saved_differences = [] {
        SDL_Surface* saved = SDL_LoadBMP("screen.bmp");
        if (saved == nullptr) return -1;
        SDL_Surface* same = SDL_ConvertSurface(saved, display.screen->format, 0);
        int differences = saved->w == 640 && saved->h == 480 ? 0 : -1;
        for (int y = 0; y < 480 && differences >= 0; ++y)
            for (int x = 0; x < 640; ++x)
                differences += screen_rgb(same, x, y) != screen_rgb(display.screen, x, y);
        SDL_FreeSurface(same);
        SDL_FreeSurface(saved);
        return differences;
    };
    Watching watch;
    push_click(SDL_BUTTON_LEFT, 320, 240);
    push_key(SDLK_p);
    push_key(SDLK_ESCAPE);
    visit();
    EXPECT_EQ(saved_differences(), 0);
    EXPECT_EQ(screen_watch.rows.size(), 2u * 480);

    push_key(SDLK_KP_MINUS);
    push_key(SDLK_p);
    push_key(SDLK_ESCAPE);
    visit();
    EXPECT_EQ(saved_differences(), 0);
}

// Escape and a close request each end the visit, not the process, after the events queued
// behind them.
TEST_F(Explorer, EscapeOrACloseRequestEndsTheVisitAfterTheEventsBehindIt)
{
    for (bool close : {false, true}) {
        reset_fractal_state();
        close ? push_quit() : push_key(SDLK_ESCAPE);
        push_click(SDL_BUTTON_LEFT, 320, 240);
        push_key(SDLK_i);
        EXPECT_EQ(visit(), "Click: -0.5000000000000000, 0.0000000000000000\n");
        expect_view(-1.5, 0.5, -0.75, 0.75);
        EXPECT_EQ(fractal_state.max_iterations, 2000);
        EXPECT_EQ(screen_mismatches(), 0);
        SDL_Event left;
        EXPECT_EQ(SDL_PollEvent(&left), 0);
    }
}

} // namespace
