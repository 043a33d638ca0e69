// Start-up: the display record, the colour-keyed sheet, and the program's bad-input exits.
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace test_support;

TEST(StartUp, FillsTheDisplayRecordFromTheVideoSurface)
{
    const StartUpResult result = start_test_display();
    ASSERT_NE(display.screen, nullptr);
    EXPECT_EQ(display.screen->w, 640);
    EXPECT_EQ(display.screen->h, 480);
    EXPECT_EQ(display.screen->format->BitsPerPixel, 32);
    EXPECT_EQ(display.screen->flags & (SDL_FULLSCREEN | SDL_HWSURFACE), Uint32{SDL_FULLSCREEN});
    EXPECT_EQ(display.pixels, display.screen->pixels);
    EXPECT_EQ(display.pitch_px * 4, display.screen->pitch);
    EXPECT_EQ(result.black, SDL_MapRGB(display.screen->format, 0, 0, 0));
    EXPECT_EQ(result.white, SDL_MapRGB(display.screen->format, 255, 255, 255));
    EXPECT_EQ(result.music, nullptr); // no "sfx.xm" in the scratch directory: silent, not fatal
    ASSERT_NE(display.sheet, nullptr);
    EXPECT_TRUE(display.sheet->flags & SDL_SRCCOLORKEY);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), 1);
}

TEST(StartUp, AcceptsAPalettedSheetAndKeysItsBlackEntry)
{
    use_dummy_drivers();
    enter_scratch_dir();
    SDL_Surface* sheet = SDL_CreateRGBSurface(0, 320, 384, 8, 0, 0, 0, 0);
    SDL_Color colours[2] = {{0, 0, 0, 0}, {200, 100, 50, 0}};
    SDL_SetColors(sheet, colours, 0, 2);
    for (int y = 0; y < 384; ++y)
        for (int x = 0; x < 320; ++x)
            static_cast<Uint8*>(sheet->pixels)[y * sheet->pitch + x] = (x / 4 + y) % 2;
    SDL_SaveBMP(sheet, "gfx.bmp");
    SDL_FreeSurface(sheet);
    start_up();
    SDL_FillRect(display.screen, nullptr, 0x00010203);
    SDL_Rect area{0, 1, 320, 31};
    SDL_Rect at{0, 0, 0, 0};
    SDL_UpperBlit(display.sheet, &area, display.screen, &at);
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(surface_row(display.screen, y)[x] & 0xFFFFFF,
                      (x / 4 + y + 1) % 2 ? 0x00C86432u : 0x00010203u);
}

// Runs the real binary in a fresh directory and returns its exit status and standard error.
struct RunResult {
    int status;
    std::string err;
};

RunResult run_cardioid_in(const std::filesystem::path& dir,
                          const std::string& video = "SDL_VIDEODRIVER=dummy")
{
    const std::string command = "cd '" + dir.string() + "' && " + video +
                                " SDL_AUDIODRIVER=dummy timeout 20 '" + CARDIOID_BINARY +
                                "' 2>stderr.txt >stdout.txt </dev/null";
    const int raw = std::system(command.c_str());
    std::ifstream in(dir / "stderr.txt");
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
            std::string(std::istreambuf_iterator<char>(in), {})};
}

TEST(StartUp, AMissingOrUnreadableSheetEndsWithStatusOneAndTheSystemsReason)
{
    const auto dir = scratch_dir() / "no-sheet";
    std::filesystem::create_directories(dir);
    RunResult result = run_cardioid_in(dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("gfx.bmp"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(std::strerror(ENOENT)), std::string::npos) << result.err;

    write_test_sheet((dir / "gfx.bmp").c_str());
    std::filesystem::permissions(dir / "gfx.bmp", std::filesystem::perms::none);
    // Root reads any file; without the two capabilities that allow it, it is refused like
    // anybody else.
    std::string as_user;
    if (geteuid() == 0) {
        as_user = "setpriv --inh-caps=-dac_override,-dac_read_search "
                  "--bounding-set=-dac_override,-dac_read_search ";
        if (std::system((as_user + "true").c_str()) != 0)
            GTEST_SKIP() << "root cannot give up the right to read any file here";
    }
    result = run_cardioid_in(dir, as_user + "env SDL_VIDEODRIVER=dummy");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(std::strerror(EACCES)), std::string::npos) << result.err;
}

TEST(StartUp, ARefusedVideoModeEndsWithStatusOneAndTheLibrarysReason)
{
    const auto dir = scratch_dir() / "no-display";
    std::filesystem::create_directories(dir);
    write_test_sheet((dir / "gfx.bmp").c_str());
    // An X display that does not exist: the library cannot open the screen. Its reason is its
    // own wording, which differs between the libraries.
    const RunResult result = run_cardioid_in(dir, "SDL_VIDEODRIVER=x11 DISPLAY=:9999");
    EXPECT_EQ(result.status, 1);
    // One line: the program's message, then a reason of the library's own after the colon.
    const size_t reason = result.err.find("video mode: ");
    ASSERT_NE(reason, std::string::npos) << result.err;
    EXPECT_EQ(result.err.rfind("cardioid: ", reason), 0u) << result.err;
    EXPECT_GT(result.err.find('\n', reason), reason + 12) << result.err;
}

// Without a display, and no driver chosen, the library falls back to one that shows nothing:
// classic SDL 1.2 to a text-mode driver in the terminal, sdl12-compat to an offscreen one.
TEST(StartUp, NoDisplayAndNoChosenDriverEndsWithStatusOneAndAMessage)
{
    const auto dir = scratch_dir() / "no-display-at-all";
    std::filesystem::create_directories(dir);
    write_test_sheet((dir / "gfx.bmp").c_str());
    // SDL_FBDEV keeps the classic library off a framebuffer console the machine may have.
    const RunResult result = run_cardioid_in(
        dir, "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_FBDEV=/nonexistent");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("cardioid: no display"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("SDL_VIDEODRIVER="), std::string::npos) << result.err;
    std::ifstream out(dir / "stdout.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(out), {}).find("Preload"),
              std::string::npos);
}

// Not a picture at all, or one too small for the areas the program cuts from it.
TEST(StartUp, ASheetThatIsNoPictureOrTooSmallEndsWithStatusOneAndAMessage)
{
    const auto dir = scratch_dir() / "bad-sheet";
    std::filesystem::create_directories(dir);
    for (const char* content : {"", "BM", "this is not a picture at all, just some text\n"}) {
        std::ofstream(dir / "gfx.bmp") << content;
        const RunResult result = run_cardioid_in(dir);
        EXPECT_EQ(result.status, 1) << content;
        EXPECT_NE(result.err.find("gfx.bmp"), std::string::npos) << result.err;
    }
    SDL_Surface* sheet = SDL_CreateRGBSurface(0, 64, 64, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_SaveBMP(sheet, (dir / "gfx.bmp").c_str());
    SDL_FreeSurface(sheet);
    const RunResult result = run_cardioid_in(dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("64x64"), std::string::npos) << result.err;
}

} // namespace
