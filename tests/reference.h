// Independent, deliberately plain computations of what a pixel must look like, written from the
// documented arithmetic and shared by the tests and the end-to-end picture checker.
#pragma once

#include <cmath>
#include <cstdint>

struct RefRgb {
    int r, g, b;
    bool operator==(const RefRgb&) const = default;
};

// Escape count as documented, or -1 when the point is inside (never escapes, or escapes only on
// the last allowed iteration).
inline int ref_count(double zr, double zi, double cr, double ci, int limit)
{
    if (zr * zr + zi * zi >= 4.0) return 0;
    for (int n = 1; n <= limit; ++n) {
        const double old_r = zr;
        zr = (zr * zr - zi * zi) + cr;
        zi = (2.0 * old_r) * zi + ci;
        if (zr * zr + zi * zi >= 4.0) return n < limit ? n : -1;
    }
    return -1;
}

// The documented colouring, written from its description rather than from the program: red and
// blue are waves of 100 counts over the five-decimal pi, red a quarter turn (pi / 2) ahead,
// green half a ramp over the limit plus half a wave a sixth of a turn (pi / 3) ahead; each wave
// runs over 0..254. escape_time_test.cpp holds it to the documented colours.
inline RefRgb ref_colour(int n, int limit)
{
    if (n < 0) return {0, 0, 0};
    constexpr double kFiveDecimalPi = 3.14159;
    const double t = ((n / 100.0) * 2.0) * kFiveDecimalPi;
    const auto wave = [](double value) { return static_cast<int>((value + 1.0) * 127.0); };
    const int ramp = static_cast<int>((static_cast<double>(n) / limit) * 255.0);
    return {wave(std::cos(t + kFiveDecimalPi / 2)),
            ramp / 2 + wave(std::cos(t + kFiveDecimalPi / 3)) / 2, wave(std::sin(t))};
}

struct RefView {
    double x_min, x_max, y_min, y_max;
};

// Colour of pixel (x, y) of a w x h picture of the view.
inline RefRgb ref_pixel(const RefView& v, int x, int y, int w, int h, int limit, bool julia = false,
                        double c_re = 0.0, double c_im = 0.0)
{
    const double px = v.x_min + (v.x_max - v.x_min) * (static_cast<double>(x) / w);
    const double py = v.y_min + (v.y_max - v.y_min) * (static_cast<double>(y) / h);
    const int n = julia ? ref_count(px, py, c_re, c_im, limit) : ref_count(0.0, 0.0, px, py, limit);
    return ref_colour(n, limit);
}

// The demo's zoom: step i looks at this point through a view 4 x 0.75^(i + 64) wide, 3/4 as high.
constexpr double kZoomRe = -1.6275794501492922;
constexpr double kZoomIm = -0.0216630454161035;
inline double zoom_scale(int step)
{
    return std::pow(0.75, step + 64);
}

inline RefView ref_zoom_view(int step)
{
    const double width = 4 * zoom_scale(step), height = 3 * zoom_scale(step);
    return {kZoomRe - width * 0.5, kZoomRe + width * 0.5, kZoomIm - height * 0.5,
            kZoomIm + height * 0.5};
}

// The loading screen of preload step i, from the sheet's pixels: the sprite cell 40 times enlarged
// at (176, 80), the label strip at (224, 416) on odd steps only, and a white bar at y 450, i / 43
// of 639 pixels wide, all on black.
template <class Sheet> RefRgb ref_loading(const Sheet& sheet, int step, int x, int y)
{
    if (y >= 450 && x < step * 639 / 43) return {255, 255, 255};
    if (x >= 176 && x < 496 && y >= 80 && y < 400)
        return sheet((x - 176) / 40, 226 + (y - 80) / 40);
    if (step % 2 == 1 && x >= 224 && x < 544 && y >= 416 && y < 447) return sheet(x - 224, y - 415);
    return {0, 0, 0};
}

// A playback step: the logo strip, doubled, at (0, 40) over the frame's pixel, which shows through
// black sheet pixels and the logo's last two rows.
template <class Sheet> RefRgb ref_playback(const Sheet& sheet, RefRgb frame, int x, int y)
{
    const int logo_y = y - 40;
    if (logo_y < 0 || logo_y >= 254) return frame;
    const RefRgb logo = sheet(x / 2, 257 + logo_y / 2);
    return logo == RefRgb{0, 0, 0} ? frame : logo;
}
