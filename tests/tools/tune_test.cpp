// The tune asset: make_tune rebuilds the committed "sfx.xm" exactly, and the module loops as
// planned, sounds right through the demo's own mixer, and loads in two independent players.
#include "tune.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each test runs in its own process (one per discovered test), so one directory each is enough.
fs::path scratch_dir()
{
    static fs::path dir;
    if (dir.empty()) {
        std::string pattern = (fs::temp_directory_path() / "cardioid-tune-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        std::atexit([] { fs::remove_all(scratch_dir()); });
    }
    return dir;
}

std::vector<uint8_t> read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string read_text(const fs::path& path)
{
    const std::vector<uint8_t> bytes = read_file(path);
    return {bytes.begin(), bytes.end()};
}

// Whatever a player printed, less blank space (xmp always prints one newline).
std::string complaints(const fs::path& path)
{
    std::string text;
    for (const char c : read_text(path))
        if (c != '\n' && c != '\r' && c != ' ') text += c;
    return text;
}

uint32_t u16(const std::vector<uint8_t>& b, size_t at)
{
    return b.at(at) | b.at(at + 1) << 8;
}

uint32_t u32(const std::vector<uint8_t>& b, size_t at)
{
    return u16(b, at) | u16(b, at + 2) << 16;
}

// What the module's header and patterns say about how it plays through once.
struct ModulePlan {
    uint32_t header_size, song_length, restart, channels, speed, bpm;
    bool first_row_sets_speed = false;
    bool first_row_sets_bpm = false;
    bool has_jumps = false; // Bxx or Dxx anywhere
    double seconds = 0;     // one pass, following every Fxx
};

ModulePlan read_plan(const std::vector<uint8_t>& b)
{
    ModulePlan plan{u32(b, 60), u16(b, 64), u16(b, 66), u16(b, 68), u16(b, 76), u16(b, 78)};
    const uint32_t patterns = u16(b, 70);
    std::vector<size_t> data_at;
    std::vector<uint32_t> rows;
    size_t at = 60 + plan.header_size;
    for (uint32_t p = 0; p < patterns; ++p) {
        data_at.push_back(at + u32(b, at));
        rows.push_back(u16(b, at + 5));
        at += u32(b, at) + u16(b, at + 7);
    }
    uint32_t speed = plan.speed;
    uint32_t bpm = plan.bpm;
    for (uint32_t order = 0; order < plan.song_length; ++order) {
        const uint32_t p = b.at(80 + order);
        size_t cell = data_at.at(p);
        for (uint32_t row = 0; row < rows.at(p); ++row) {
            for (uint32_t channel = 0; channel < plan.channels; ++channel) {
                uint8_t fields[5] = {0, 0, 0, 0, 0};
                const uint8_t flags = b.at(cell);
                if (flags & 0x80) {
                    ++cell;
                    for (int f = 0; f < 5; ++f)
                        if (flags & (1 << f)) fields[f] = b.at(cell++);
                } else {
                    for (int f = 0; f < 5; ++f) fields[f] = b.at(cell++);
                }
                const uint8_t effect = fields[3];
                const uint8_t param = fields[4];
                if (effect == 0x0F && param > 0 && param < 0x20) speed = param;
                if (effect == 0x0F && param >= 0x20) bpm = param;
                if (effect == 0x0B || effect == 0x0D) plan.has_jumps = true;
                if (order == 0 && row == 0 && effect == 0x0F && param == plan.speed)
                    plan.first_row_sets_speed = true;
                if (order == 0 && row == 0 && effect == 0x0F && param == plan.bpm)
                    plan.first_row_sets_bpm = true;
            }
            plan.seconds += speed * 2.5 / bpm;
        }
    }
    return plan;
}

int run(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The length of a PCM WAV file in seconds, from its "fmt " and "data" chunks.
double wav_seconds(const fs::path& path)
{
    const std::vector<uint8_t> b = read_file(path);
    if (b.size() < 12) return 0;
    uint32_t block_align = 0;
    uint32_t rate = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + at, b.begin() + at + 4);
        const uint32_t size = u32(b, at + 4);
        if (id == "fmt ") {
            rate = u32(b, at + 12);
            block_align = u16(b, at + 20);
        }
        if (id == "data" && block_align > 0 && rate > 0) {
            const size_t bytes = std::min<size_t>(size, b.size() - at - 8);
            return static_cast<double>(bytes / block_align) / rate;
        }
        at += 8 + size + (size & 1);
    }
    return 0;
}

double dbfs(double level)
{
    return 20 * std::log10(level / 32768.0 + 1e-12);
}

struct Levels {
    double peak_db, rms_db;
};

Levels levels(const std::vector<int16_t>& samples, size_t first, size_t last)
{
    double sum = 0;
    int peak = 0;
    for (size_t i = first; i < last; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return {dbfs(peak), dbfs(std::sqrt(sum / static_cast<double>(last - first)))};
}

TEST(TuneAsset, GeneratorRebuildsTheCommittedFileByteForByte)
{
    const fs::path out = scratch_dir() / "sfx.xm";
    ASSERT_EQ(run(std::string("'") + MAKE_TUNE_BINARY + "' '" + out.string() + "'"), 0);
    const std::vector<uint8_t> made = read_file(out);
    const std::vector<uint8_t> committed = read_file(TUNE_ASSET);
    ASSERT_FALSE(committed.empty()) << TUNE_ASSET;
    EXPECT_TRUE(made == committed) << "assets/sfx.xm is stale: regenerate it with make_tune";
}

TEST(TuneAsset, LoopsWholeFromTheFirstOrderAtThePlannedLength)
{
    const std::vector<uint8_t> module = read_file(TUNE_ASSET);
    ASSERT_GT(module.size(), 336u);
    EXPECT_LT(module.size(), 384u * 1024);
    EXPECT_EQ(std::string(module.begin(), module.begin() + 17), "Extended Module: ");
    const ModulePlan plan = read_plan(module);
    EXPECT_EQ(plan.restart, 0u);
    EXPECT_GE(plan.channels, 4u);
    EXPECT_LE(plan.channels, 12u);
    // A player that starts over from order 0 must find the tempo set there, not left over.
    EXPECT_TRUE(plan.first_row_sets_speed);
    EXPECT_TRUE(plan.first_row_sets_bpm);
    EXPECT_FALSE(plan.has_jumps);
    EXPECT_NEAR(plan.seconds, kTuneSeconds, 1e-9);
    // Longer than the demo can run (45 s after the music starts, plus a playback pass), so the
    // demo never hears the loop's restart.
    EXPECT_GE(plan.seconds, 48.5);
    EXPECT_LE(plan.seconds, 60.0);
}

constexpr size_t kFramesPerSecond = 44100;
// The demo's timeline, counted from the music's start: the starfield gives way to the zoom after
// 4 s, and the program closes 45 s in, or up to one playback pass (2.2 s and more) later.
constexpr double kZoomSeconds = 4.0;
constexpr double kExitSeconds = 45.0;

// The demo's own path: SDL_mixer (libmikmod underneath) into the disk audio driver, once
// through. Interleaved stereo samples from the first sound on: the driver writes silent buffers
// from the moment audio opens, and the tune sounds from its first row.
std::vector<int16_t> mixer_render()
{
    const fs::path raw = scratch_dir() / "mixer.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1); // as fast as the mixer runs
    EXPECT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    EXPECT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 4096), 0) << Mix_GetError();
    Mix_Music* music = Mix_LoadMUS(TUNE_ASSET);
    EXPECT_NE(music, nullptr) << Mix_GetError();
    if (music == nullptr) return {};
    EXPECT_EQ(Mix_GetMusicType(music), MUS_MOD);
    Mix_PlayMusic(music, 0);
    constexpr Uint32 kTimeoutMs = 120000;
    const Uint32 start = SDL_GetTicks();
    while (Mix_PlayingMusic() && SDL_GetTicks() - start < kTimeoutMs) SDL_Delay(2);
    EXPECT_FALSE(Mix_PlayingMusic()) << "did not finish within the timeout";
    Mix_FreeMusic(music);
    Mix_CloseAudio();
    SDL_Quit();

    const std::vector<uint8_t> bytes = read_file(raw);
    size_t first = 0;
    while (first + 1 < bytes.size() && u16(bytes, first) == 0) first += 2;
    first -= first % 4;
    std::vector<int16_t> samples;
    for (size_t at = first; at + 1 < bytes.size(); at += 2)
        samples.push_back(static_cast<int16_t>(u16(bytes, at)));
    return samples;
}

// Levels of the render between two times from its start.
Levels levels_between(const std::vector<int16_t>& samples, double from, double to)
{
    const auto at = [&](double seconds) {
        return std::min(samples.size(), static_cast<size_t>(seconds * kFramesPerSecond) * 2);
    };
    return levels(samples, at(from), at(to));
}

// Sound throughout at a steady level without clipping; the theme's first downbeat, with its crash,
// lands on the zoom's first frame: the biggest step up in level around then, a tenth of a second
// against the half second before it; and whenever the demo closes, the music is already a fading
// tail after its last phrase.
TEST(TuneAsset, MixerRenderSoundsThroughoutDropsWithTheZoomAndIsAQuietTailAtTheClose)
{
    const std::vector<int16_t> samples = mixer_render();
    size_t last = samples.size();
    while (last > 0 && samples[last - 1] == 0) --last;
    ASSERT_NEAR(static_cast<double>(last) / 2 / kFramesPerSecond, kTuneSeconds, 1.0);

    EXPECT_LT(levels_between(samples, 0, kTuneSeconds).peak_db, -1.0);
    // The main part runs from the drop to the home chord; the intro and tail are quieter.
    const double main = levels_between(samples, kZoomSeconds, kTuneHomeSeconds).rms_db;
    EXPECT_GT(main, -20.0);
    EXPECT_LT(main, -14.0);
    for (double from = 0; from < kExitSeconds; from += 5) {
        EXPECT_GT(levels_between(samples, from, from + 5).rms_db, -30.0)
            << "quiet stretch at " << from << " s";
    }

    constexpr double kStep = 0.01;
    double drop = 0;
    double biggest = -1e9;
    for (double t = kZoomSeconds - 1; t < kZoomSeconds + 1; t += kStep) {
        const double rise =
            levels_between(samples, t, t + 0.1).rms_db - levels_between(samples, t - 0.5, t).rms_db;
        if (rise > biggest) {
            biggest = rise;
            drop = t;
        }
    }
    EXPECT_NEAR(drop, kZoomSeconds, 0.1);
    const double intro_end = levels_between(samples, kZoomSeconds - 2, kZoomSeconds - 0.1).rms_db;
    const double theme = levels_between(samples, kZoomSeconds, kZoomSeconds + 2).rms_db;
    EXPECT_GE(theme - intro_end, 3.0);

    EXPECT_LE(levels_between(samples, kExitSeconds, kTuneSeconds).rms_db, main - 12.0);
}

TEST(TuneAsset, XmpRendersItWholeWithoutComplaint)
{
    const fs::path wav = scratch_dir() / "xmp.wav";
    const fs::path err = scratch_dir() / "xmp.err";
    const int status = run("xmp -q --nocmd -d wav -o '" + wav.string() + "' '" + TUNE_ASSET +
                           "' >/dev/null 2>'" + err.string() + "'");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(complaints(err), ""); // xmp exits 0 even when loading fails: its stderr tells
    ASSERT_TRUE(fs::exists(wav));
    EXPECT_NEAR(wav_seconds(wav), kTuneSeconds, 1.0);
}

TEST(TuneAsset, OpenmptRendersItWholeWithoutComplaint)
{
    // openmpt123 writes its WAV beside the module, so render a copy.
    const fs::path module = scratch_dir() / "sfx.xm";
    fs::copy_file(TUNE_ASSET, module, fs::copy_options::overwrite_existing);
    const fs::path out = scratch_dir() / "openmpt.out";
    const fs::path err = scratch_dir() / "openmpt.err";
    const int status = run("openmpt123 --render --force --no-float '" + module.string() + "' >'" +
                           out.string() + "' 2>'" + err.string() + "'");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(complaints(err), "");
    // A damaged module still exits 0 here; the count of samples it found tells.
    const std::string report = read_text(out);
    EXPECT_NE(report.find("Channels...: " + std::to_string(kTuneChannels) + "\n"),
              std::string::npos)
        << report;
    const std::string count = std::to_string(u16(read_file(TUNE_ASSET), 72)); // one sample each
    EXPECT_NE(report.find("Instruments: " + count + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find("Samples....: " + count + "\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("rror"), std::string::npos) << report;
    EXPECT_EQ(report.find("arning"), std::string::npos) << report;
    const fs::path wav = module.string() + ".wav";
    ASSERT_TRUE(fs::exists(wav));
    EXPECT_NEAR(wav_seconds(wav), kTuneSeconds, 1.0);
}

} // namespace
