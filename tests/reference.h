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

inline RefRgb ref_colour(int n, int limit)
{
    if (n < 0) return {0, 0, 0};
    const double t = ((n / 100.0) * 2.0) * 3.14159;
    const int v = static_cast<int>(std::trunc((static_cast<double>(n) / limit) * 255.0));
    const int r = static_cast<int>(std::trunc((std::cos(t + 1.570795) + 1.0) * 127.0));
    const int g =
        v / 2 + static_cast<int>(std::trunc((std::cos(t + 1.0471966666666666) + 1.0) * 127.0)) / 2;
    const int b = static_cast<int>(std::trunc((std::sin(t) + 1.0) * 127.0));
    return {r, g, b};
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
