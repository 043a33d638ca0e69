// Times the escape-time kernels against the plain loop on the pictures the program draws and
// prints median times and speed-ups in one table. Usage: escape_row_bench [runs], default 5;
// escape_row_bench --plain-preload [runs] prints only the plain loop's time for the preload frames,
// the yardstick of tools/preload_ratio.sh.
// Every kernel's counts are also compared with the plain loop's. Beside the preload frames it
// times the floor: the bare iteration in each kernel's vectors, as many steps as the frames take.
#include "app/app.h"
#include "effects/effects.h"
#include "fractal/fractal.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

enum Kernel { kPlain, kAvx512, kAvx2, kSse2, kKernelCount };
const char* const kKernelNames[] = {"plain", "AVX-512", "AVX2", "SSE2"};

struct View {
    double x_min, x_max, y_min, y_max;
    int width, height;
};

struct Picture {
    const char* name;
    std::vector<View> views;
    int32_t limit;
    bool julia;
    double c_re, c_im;
};

// The demo's 44 zoom frames, each rectangle as the preload renderer sets it.
std::vector<View> preload_frames()
{
    constexpr double kCentreRe = -1.6275794501492922;
    constexpr double kCentreIm = -0.0216630454161035;
    constexpr int kFrames = 44;
    std::vector<View> frames;
    for (int i = 0; i < kFrames; ++i) {
        const double s = std::pow(0.75, i + 64);
        const double width = 4.0 * s, height = 3.0 * s;
        frames.push_back({kCentreRe - width * 0.5, kCentreRe + width * 0.5,
                          kCentreIm - height * 0.5, kCentreIm + height * 0.5, 320, 240});
    }
    return frames;
}

// The floor: escape_count's step, three multiplies and four adds, and nothing else, on enough
// independent vectors that no step waits for another. The points lie inside the main cardioid,
// where the orbits stay near their fixed points, far from overflow and subnormal numbers.
template <int kLanes, int kVectors> struct BareIteration {
    typedef double Doubles __attribute__((vector_size(8 * kLanes)));
    // Inlined into each caller, which compiles it for the caller's instruction set.
    __attribute__((always_inline)) static double run(long steps)
    {
        Doubles zr[kVectors] = {}, zi[kVectors] = {}, cr[kVectors], ci[kVectors];
        for (int v = 0; v < kVectors; ++v)
            for (int i = 0; i < kLanes; ++i) {
                cr[v][i] = -0.5 + 0.01 * v;
                ci[v][i] = 0.1 + 0.01 * i;
            }
        for (long k = 0; k < steps; ++k) {
#pragma GCC unroll 16
            for (int v = 0; v < kVectors; ++v) {
                const Doubles r2 = zr[v] * zr[v];
                const Doubles i2 = zi[v] * zi[v];
                const Doubles twice_zr = zr[v] + zr[v];
                zi[v] = twice_zr * zi[v] + ci[v];
                zr[v] = r2 - i2 + cr[v];
            }
        }
        double sum = 0.0; // kept, so that the loop is not optimised away
        for (int v = 0; v < kVectors; ++v)
            for (int i = 0; i < kLanes; ++i) sum += zr[v][i] + zi[v][i];
        return sum;
    }
};

constexpr int kFloorVectors = 10; // ten chains: more than the latency of a step needs, in any width

__attribute__((target("avx512f"))) double bare_avx512(long steps)
{
    return BareIteration<8, kFloorVectors>::run(steps);
}
__attribute__((target("avx2"))) double bare_avx2(long steps)
{
    return BareIteration<4, kFloorVectors>::run(steps);
}
double bare_sse2(long steps)
{
    return BareIteration<2, kFloorVectors>::run(steps);
}

// The floor of a kernel for the given number of pixel iterations, in milliseconds.
double time_floor(Kernel kernel, long iterations)
{
    const int lanes = kernel == kAvx512 ? 8 : kernel == kAvx2 ? 4 : 2;
    const long steps = iterations / lanes / kFloorVectors;
    const auto start = std::chrono::steady_clock::now();
    volatile double sink = kernel == kAvx512 ? bare_avx512(steps)
                           : kernel == kAvx2 ? bare_avx2(steps)
                                             : bare_sse2(steps);
    (void)sink;
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

// Renders the picture's counts row by row, the way the renderers do; returns milliseconds.
double time_kernel(Kernel kernel, const Picture& picture, std::vector<int32_t>& counts)
{
    const auto start = std::chrono::steady_clock::now();
    size_t at = 0;
    for (const View& v : picture.views) {
        std::vector<double> re(v.width);
        for (int x = 0; x < v.width; ++x) re[x] = plane_coordinate(v.x_min, v.x_max, x, v.width);
        for (int y = 0; y < v.height; ++y) {
            const double im = plane_coordinate(v.y_min, v.y_max, y, v.height);
            int32_t* row = counts.data() + at;
            const bool j = picture.julia;
            const double cr = picture.c_re, ci = picture.c_im;
            if (kernel == kPlain)
                escape_row_plain(row, re.data(), v.width, im, j, cr, ci, picture.limit);
            else if (kernel == kAvx512)
                escape_row_avx512(row, re.data(), v.width, im, j, cr, ci, picture.limit);
            else if (kernel == kAvx2)
                escape_row_avx2(row, re.data(), v.width, im, j, cr, ci, picture.limit);
            else
                escape_row_sse2(row, re.data(), v.width, im, j, cr, ci, picture.limit);
            at += v.width;
        }
    }
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

// The preload exactly as the program times it for its report (frames, their scaling, the wipe),
// on the dummy video driver; returns milliseconds.
double time_whole_preload(const Overlays& overlays, Uint32 black, Uint32 white)
{
    const auto start = std::chrono::steady_clock::now();
    preload_frames(overlays.loading_sprite, black, white);
    row_shear_wipe();
    const auto stop = std::chrono::steady_clock::now();
    for (SDL_Surface* frame : frame_table.frames) SDL_FreeSurface(frame);
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : 0.5 * (v[mid - 1] + v[mid]);
}

} // namespace

int main(int argc, char** argv)
{
    const bool plain_only = argc > 1 && std::string(argv[1]) == "--plain-preload";
    if (plain_only) {
        --argc;
        ++argv;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (plain_only) {
        const Picture frames = {"44 preload frames, 320x240", preload_frames(), 1000, false, 0, 0};
        std::vector<int32_t> counts(static_cast<size_t>(44) * 320 * 240);
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) times.push_back(time_kernel(kPlain, frames, counts));
        std::printf("plain loop, 44 preload frames: %.1f ms\n", median(times));
        return 0;
    }
    __builtin_cpu_init();
    const bool available[kKernelCount] = {true, __builtin_cpu_supports("avx512f") != 0,
                                          __builtin_cpu_supports("avx2") != 0, true};

    const View screen{-2.5, 1.5, -1.5, 1.5, 640, 480};
    const View julia_screen{-2.0, 2.0, -1.5, 1.5, 640, 480};
    // 1e-5 wide, deep in the seahorse valley: long escapes beside small islands of the set.
    const View seahorse{
        -0.743648887037151, -0.743638887037151, 0.131822154205330, 0.131829654205330, 640, 480};
    const std::vector<Picture> pictures = {
        {"44 preload frames, 320x240", preload_frames(), 1000, false, 0.0, 0.0},
        {"default view, 640x480", {screen}, 1000, false, 0.0, 0.0},
        {"default view, 640x480", {screen}, 5000, false, 0.0, 0.0},
        {"Julia (-0.12, 0.75), 640x480", {julia_screen}, 1000, true, -0.12, 0.75},
        {"Julia (-0.75, 0.1), 640x480", {julia_screen}, 1000, true, -0.75, 0.1},
        {"seahorse valley, 640x480", {seahorse}, 5000, false, 0.0, 0.0},
    };

    std::printf("Median of %d runs in milliseconds; speed-up = plain / kernel.%s%s\n\n", runs,
                available[kAvx512] ? "" : " No AVX-512F here.",
                available[kAvx2] ? "" : " No AVX2 here.");
    std::printf("%-30s %6s %9s", "picture", "limit", "plain");
    for (Kernel kernel : {kAvx512, kAvx2, kSse2}) std::printf(" %9s", kKernelNames[kernel]);
    for (Kernel kernel : {kAvx512, kAvx2, kSse2})
        std::printf(" %9s", (std::string(kKernelNames[kernel]) + " x").c_str());
    std::printf("\n");
    double plain_preload_frames = 0.0;
    for (const Picture& picture : pictures) {
        const bool preload = &picture == &pictures.front();
        size_t pixels = 0;
        for (const View& v : picture.views) pixels += static_cast<size_t>(v.width) * v.height;
        std::vector<int32_t> expected(pixels), counts(pixels);
        std::vector<double> times[kKernelCount], floors[kKernelCount];
        long iterations = 0; // the plain loop's, one per count
        int wrong = 0;
        // The kernels take turns, so a slow spell on a shared machine hits them all alike.
        for (int r = 0; r < runs; ++r) {
            times[kPlain].push_back(time_kernel(kPlain, picture, expected));
            if (r == 0)
                for (int32_t count : expected) iterations += count;
            for (Kernel kernel : {kAvx512, kAvx2, kSse2}) {
                if (!available[kernel]) continue;
                times[kernel].push_back(time_kernel(kernel, picture, counts));
                if (counts != expected) ++wrong;
                if (preload) floors[kernel].push_back(time_floor(kernel, iterations));
            }
        }
        const double plain = median(times[kPlain]);
        std::printf("%-30s %6d %9.1f", picture.name, picture.limit, plain);
        for (Kernel kernel : {kAvx512, kAvx2, kSse2}) {
            if (available[kernel])
                std::printf(" %9.1f", median(times[kernel]));
            else
                std::printf(" %9s", "-");
        }
        for (Kernel kernel : {kAvx512, kAvx2, kSse2}) {
            if (available[kernel])
                std::printf(" %9.1f", plain / median(times[kernel]));
            else
                std::printf(" %9s", "-");
        }
        std::printf("\n");
        if (wrong != 0) std::printf("  %d kernel runs gave counts that differ from plain\n", wrong);
        if (!preload) continue;
        plain_preload_frames = plain;
        std::printf("  floor: bare iteration, %4.0fM steps %9s", iterations / 1e6, "");
        for (Kernel kernel : {kAvx512, kAvx2, kSse2}) {
            if (available[kernel])
                std::printf(" %9.1f", median(floors[kernel]));
            else
                std::printf(" %9s", "-");
        }
        std::printf("\n  share of the floor (floor / kernel)     ");
        for (Kernel kernel : {kAvx512, kAvx2, kSse2}) {
            if (available[kernel])
                std::printf(" %9.2f", median(floors[kernel]) / median(times[kernel]));
            else
                std::printf(" %9s", "-");
        }
        std::printf("\n");
    }

    // The program's whole preload against the plain loop's time for the 44 frames alone.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (chdir(CARDIOID_ASSETS) != 0) return 1;
    const StartUpResult started = start_up();
    const Overlays overlays = build_overlays();
    std::vector<double> whole;
    for (int r = 0; r < runs; ++r)
        whole.push_back(time_whole_preload(overlays, started.black, started.white));
    const double preload = median(whole);
    // Under the first kernel's columns, though it runs whichever kernel escape_row chose.
    std::printf("\n%-37s %9.1f %9.1f %29.1f\n", "whole preload (frames, scaling, wipe)",
                plain_preload_frames, preload, plain_preload_frames / preload);
    return 0;
}
