// P in the explorer when the screenshot cannot be written whole or put in place: the earlier
// "screen.bmp" stays byte for byte, no partial file is left, one line says why, and the explorer
// goes on.
#include "explorer/explorer.h"
#include "explorer_test_support.h"
#include "sdl_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace test_support;
namespace fs = std::filesystem;

std::vector<char> read_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> names_in(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// In a child process: changes the picture, presses P, then I (which must still be handled),
// and leaves. The exit status says whether the explorer went on after the failed save.
[[noreturn]] void press_p_and_go_on()
{
    push_key(SDLK_KP_MINUS);
    push_key(SDLK_p);
    push_key(SDLK_i);
    push_key(SDLK_ESCAPE);
    run_explorer();
    std::_Exit(fractal_state.max_iterations == 2000 ? 0 : 3); // no exit handlers in the child
}

[[noreturn]] void press_p_under_a_file_size_limit()
{
    // Writes stop at 100 KB with an error instead of the signal that would end the process.
    const rlimit limit = {100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);
    press_p_and_go_on();
}

[[noreturn]] void press_p_without_rights()
{
    // Permissions do not hold for root: the child gives its rights up first.
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
        std::_Exit(4);
    press_p_and_go_on();
}

constexpr const char* kMessage = "^cardioid: could not save screen\\.bmp: [^\n]+\n$";

class Screenshot : public ::testing::Test {
  protected:
    void SetUp() override
    {
        start_test_display();
        reset_fractal_state();
        dir = scratch_dir() / "shots";
        fs::remove_all(dir);
        fs::create_directory(dir);
        fs::current_path(dir);
    }
    void TearDown() override { fs::current_path(scratch_dir()); }
    fs::path dir;
};

TEST_F(Screenshot, AWriteThatFailsPartWayKeepsTheEarlierFile)
{
    push_key(SDLK_p);
    push_key(SDLK_ESCAPE);
    run_explorer();
    const std::vector<char> earlier = read_bytes("screen.bmp");
    ASSERT_EQ(earlier.size(), 921654u); // a whole 640x480 picture at 24 bits
    EXPECT_EXIT(press_p_under_a_file_size_limit(), testing::ExitedWithCode(0), kMessage);
    EXPECT_EQ(read_bytes("screen.bmp"), earlier);
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"screen.bmp"});
}

TEST_F(Screenshot, AReadOnlyFolderKeepsTheEarlierFile)
{
    const std::string earlier = "an earlier screenshot";
    std::ofstream("screen.bmp") << earlier;
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    EXPECT_EXIT(press_p_without_rights(), testing::ExitedWithCode(0), kMessage);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(read_bytes("screen.bmp"), std::vector<char>(earlier.begin(), earlier.end()));
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"screen.bmp"});
}

// The picture is written beside it, and then cannot replace a folder.
TEST_F(Screenshot, AFolderOfThatNameStaysAndNoFileIsLeftBesideIt)
{
    fs::create_directory("screen.bmp");
    EXPECT_EXIT(press_p_and_go_on(), testing::ExitedWithCode(0), kMessage);
    EXPECT_TRUE(fs::is_directory("screen.bmp"));
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"screen.bmp"});
}

} // namespace
