// Writes the sprite sheet "gfx.bmp": black everywhere (black is transparent) except the label
// strip (0, 1, 320, 31), the sprite cell (0, 226, 8, 8) and the logo strip (0, 257, 320, 127).
// Integer arithmetic only, so the file is the same byte for byte on every machine.
#include "bmp_writer.h"
#include "sheet_glyphs.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

constexpr int kSheetWidth = 320;
constexpr int kSheetHeight = 384;

// One bit per pixel of a work area, row 0 at the top.
struct Mask {
    int width;
    int height;
    std::vector<uint8_t> on;
};

struct GradientStop {
    int at;
    Rgb colour;
};

static Mask make_mask(int width, int height)
{
    return Mask{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height, 0)};
}

static bool is_on(const Mask& mask, int x, int y)
{
    if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) return false;
    return mask.on[static_cast<size_t>(y) * mask.width + x] != 0;
}

static void set_on(Mask& mask, int x, int y)
{
    if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) return;
    mask.on[static_cast<size_t>(y) * mask.width + x] = 1;
}

static void put(std::vector<Rgb>& sheet, int x, int y, Rgb colour)
{
    sheet[static_cast<size_t>(y) * kSheetWidth + x] = colour;
}

static uint8_t mix_channel(int from, int to, int weight, int scale)
{
    return static_cast<uint8_t>(from + (to - from) * weight / scale);
}

// weight / scale of the way from a to b.
static Rgb mix(Rgb a, Rgb b, int weight, int scale)
{
    return Rgb{mix_channel(a.r, b.r, weight, scale), mix_channel(a.g, b.g, weight, scale),
               mix_channel(a.b, b.b, weight, scale)};
}

// Stops are sorted by position; positions outside them take the end colours.
static Rgb gradient(std::span<const GradientStop> stops, int at)
{
    if (at <= stops.front().at) return stops.front().colour;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (at <= stops[i].at) {
            const GradientStop& from = stops[i - 1];
            return mix(from.colour, stops[i].colour, at - from.at, stops[i].at - from.at);
        }
    }
    return stops.back().colour;
}

static bool cell_on(const char* const* rows, int row_count, int column, int row)
{
    if (row < 0 || row >= row_count || column < 0) return false;
    if (column >= static_cast<int>(std::strlen(rows[row]))) return false;
    return rows[row][column] == '#';
}

// A filled cell loses the triangle at a corner where both sides and the diagonal are empty.
static bool chamfered(const char* const* rows, int row_count, int column, int row, int dx, int dy)
{
    return cell_on(rows, row_count, column, row) && !cell_on(rows, row_count, column + dx, row) &&
           !cell_on(rows, row_count, column, row + dy) &&
           !cell_on(rows, row_count, column + dx, row + dy);
}

// An empty cell gains the triangle at a corner where both sides and the diagonal are filled, so
// inner bends match the outer chamfers; not where a side is itself cut towards this cell, which
// would leave a spur on a chamfer that runs across two cells.
static bool filleted(const char* const* rows, int row_count, int column, int row, int dx, int dy)
{
    if (cell_on(rows, row_count, column, row)) return false;
    if (!cell_on(rows, row_count, column + dx, row) ||
        !cell_on(rows, row_count, column, row + dy) ||
        !cell_on(rows, row_count, column + dx, row + dy))
        return false;
    for (int side = -1; side <= 1; side += 2) {
        if (chamfered(rows, row_count, column + dx, row, -dx, side)) return false;
        if (chamfered(rows, row_count, column, row + dy, side, -dy)) return false;
    }
    return true;
}

// Draws a glyph with cells of cell x cell pixels, every bend cut at 45 degrees.
static void stamp_glyph(Mask& mask, const char* const* rows, int row_count, int left, int top,
                        int cell)
{
    const int columns = static_cast<int>(std::strlen(rows[0]));
    for (int row = 0; row < row_count; ++row) {
        for (int column = 0; column < columns; ++column) {
            for (int v = 0; v < cell; ++v) {
                for (int u = 0; u < cell; ++u) {
                    bool inside = cell_on(rows, row_count, column, row);
                    for (int corner = 0; corner < 4; ++corner) {
                        const int dx = corner % 2 == 0 ? -1 : 1;
                        const int dy = corner < 2 ? -1 : 1;
                        const int across = dx < 0 ? u : cell - 1 - u;
                        const int down = dy < 0 ? v : cell - 1 - v;
                        // The diagonal itself stays filled, so touching chamfers never part.
                        if (across + down >= cell - 1) continue;
                        if (chamfered(rows, row_count, column, row, dx, dy)) inside = false;
                        if (filleted(rows, row_count, column, row, dx, dy)) inside = true;
                    }
                    if (inside) set_on(mask, left + column * cell + u, top + row * cell + v);
                }
            }
        }
    }
}

// Grows the mask by a disc of the given radius.
static Mask dilate(const Mask& mask, int radius)
{
    Mask grown = make_mask(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if (!is_on(mask, x, y)) continue;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx)
                    if (dx * dx + dy * dy <= radius * radius + 1) set_on(grown, x + dx, y + dy);
        }
    }
    return grown;
}

static Mask shifted(const Mask& mask, int dx, int dy)
{
    Mask moved = make_mask(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x)
            if (is_on(mask, x, y)) set_on(moved, x + dx, y + dy);
    return moved;
}

static Mask united(const Mask& a, const Mask& b)
{
    Mask both = a;
    for (size_t i = 0; i < both.on.size(); ++i) both.on[i] = a.on[i] | b.on[i];
    return both;
}

// How deep a face pixel lies behind its up-left (negative) or down-right (positive) edge, up to
// limit; limit + 1 when it is further in. Drives the bevel's light and shade.
static int edge_depth(const Mask& face, int x, int y, int direction, int limit)
{
    for (int d = 1; d <= limit; ++d) {
        const int step = direction * d;
        if (!is_on(face, x + step, y) || !is_on(face, x, y + step) ||
            !is_on(face, x + step, y + step))
            return d;
    }
    return limit + 1;
}

static int title_width(std::string_view word, int cell, int gap)
{
    int width = 0;
    for (char letter : word)
        for (const TitleGlyph& glyph : kTitleGlyphs)
            if (glyph.letter == letter)
                width += static_cast<int>(std::strlen(glyph.rows[0])) * cell + gap;
    return width - gap;
}

static int label_width(std::string_view word, int cell, int gap)
{
    int width = 0;
    for (char letter : word)
        for (const LabelGlyph& glyph : kLabelGlyphs)
            if (glyph.letter == letter)
                width += static_cast<int>(std::strlen(glyph.rows[0])) * cell + gap;
    return width - gap;
}

// Four-pointed glint: a bright core with fading arms.
static void draw_glint(std::vector<Rgb>& sheet, int cx, int cy, int arm)
{
    constexpr Rgb kCore = {255, 255, 255};
    constexpr Rgb kArmEnd = {90, 170, 255};
    constexpr Rgb kHalo = {200, 230, 255};
    for (int d = -arm; d <= arm; ++d) {
        const int distance = d < 0 ? -d : d;
        const Rgb colour = mix(kCore, kArmEnd, distance, arm);
        put(sheet, cx + d, cy, colour);
        put(sheet, cx, cy + d, colour);
    }
    put(sheet, cx - 1, cy - 1, kHalo);
    put(sheet, cx + 1, cy - 1, kHalo);
    put(sheet, cx - 1, cy + 1, kHalo);
    put(sheet, cx + 1, cy + 1, kHalo);
}

// "CARDIOID" in chrome letters with a bevel, a solid extrusion, a dark outline and a drop shadow.
// The strip is shown at 2x over the zoom, whose colours are the escape colouring's orange and
// blue: a face of the same two, split at a horizon like a chrome sky over fire, and a near-black
// rim that keeps each letter apart from either. The letters keep to the strip's upper part, so
// the point the zoom dives into, the screen's centre (strip row 100), stays clear.
static void draw_title(std::vector<Rgb>& sheet)
{
    constexpr int kStripTop = 257;
    constexpr int kStripHeight = 127;
    constexpr int kCell = 4;
    constexpr int kGap = 11;
    constexpr int kLetterTop = 6;
    constexpr int kExtrusion = 4;
    constexpr int kOutline = 2;
    constexpr int kShadowOffset = 3;
    constexpr std::string_view kTitle = "CARDIOID";
    // Near-black, not black: black would be see-through.
    constexpr Rgb kRim = {6, 8, 22};
    constexpr Rgb kShadow = {12, 14, 44};
    constexpr GradientStop kFace[] = {
        {0, {255, 255, 255}},  {22, {110, 200, 255}}, {28, {40, 110, 230}}, {29, {30, 80, 200}},
        {31, {255, 248, 205}}, {38, {255, 205, 80}},  {50, {255, 140, 0}},  {59, {215, 80, 0}},
    };
    constexpr GradientStop kSide[] = {{1, {30, 55, 160}}, {kExtrusion, {12, 20, 80}}};

    Mask face = make_mask(kSheetWidth, kStripHeight);
    int lefts[kTitle.size()] = {};
    int left = (kSheetWidth - title_width(kTitle, kCell, kGap) - kExtrusion) / 2;
    for (size_t i = 0; i < kTitle.size(); ++i) {
        for (const TitleGlyph& glyph : kTitleGlyphs) {
            if (glyph.letter != kTitle[i]) continue;
            lefts[i] = left;
            stamp_glyph(face, glyph.rows, kTitleGlyphRows, left, kLetterTop, kCell);
            left += static_cast<int>(std::strlen(glyph.rows[0])) * kCell + kGap;
        }
    }
    Mask solid = face;
    for (int k = 1; k <= kExtrusion; ++k) solid = united(solid, shifted(face, k, k));
    const Mask rimmed = dilate(solid, kOutline);
    const Mask shadow = shifted(rimmed, kShadowOffset, kShadowOffset);

    for (int y = 0; y < kStripHeight; ++y) {
        for (int x = 0; x < kSheetWidth; ++x) {
            const int sheet_y = kStripTop + y;
            if (is_on(face, x, y)) {
                Rgb colour = gradient(kFace, y - kLetterTop);
                const int lit = edge_depth(face, x, y, -1, 2);
                const int shade = edge_depth(face, x, y, 1, 2);
                if (lit <= 2) colour = mix(colour, Rgb{255, 255, 255}, 3 - lit, 4);
                if (shade <= 2) colour = mix(colour, Rgb{20, 20, 70}, 3 - shade, 4);
                put(sheet, x, sheet_y, colour);
            } else if (is_on(solid, x, y)) {
                int depth = 1;
                while (!is_on(face, x - depth, y - depth)) ++depth;
                put(sheet, x, sheet_y, gradient(kSide, depth));
            } else if (is_on(rimmed, x, y)) {
                put(sheet, x, sheet_y, kRim);
            } else if (is_on(shadow, x, y)) {
                put(sheet, x, sheet_y, kShadow);
            }
        }
    }
    // Letter, x and y from its top left, arm length: on the lit corners of C and O and on the
    // last D's foot.
    constexpr int kGlints[][4] = {{0, kCell + 2, 3, 5}, {5, kCell + 2, 3, 4}, {7, 22, 53, 3}};
    for (const auto& glint : kGlints)
        draw_glint(sheet, lefts[glint[0]] + glint[1], kStripTop + kLetterTop + glint[2], glint[3]);
}

// "LOADING", blinking under the loading sprite. The strip lands at screen x 224 and the sprite's
// centre at screen x 336, so the word is centred on strip x 112, not on the strip.
static void draw_label(std::vector<Rgb>& sheet)
{
    constexpr int kStripTop = 1;
    constexpr int kStripHeight = 31;
    constexpr int kCell = 3;
    constexpr int kGap = 4;
    constexpr int kCentreX = 112;
    constexpr int kLetterTop = 2;
    constexpr int kShadowOffset = 2;
    constexpr std::string_view kWord = "LOADING";
    constexpr GradientStop kFace[] = {
        {0, {255, 255, 255}},  {10, {110, 200, 255}}, {11, {70, 140, 235}},
        {12, {255, 245, 200}}, {23, {255, 135, 0}},
    };
    constexpr Rgb kShadow = {30, 45, 140};

    Mask face = make_mask(kSheetWidth, kStripHeight);
    int left = kCentreX - label_width(kWord, kCell, kGap) / 2;
    for (char letter : kWord) {
        for (const LabelGlyph& glyph : kLabelGlyphs) {
            if (glyph.letter != letter) continue;
            stamp_glyph(face, glyph.rows, kLabelGlyphRows, left, kLetterTop, kCell);
            left += static_cast<int>(std::strlen(glyph.rows[0])) * kCell + kGap;
        }
    }
    const Mask shadow = shifted(face, kShadowOffset, kShadowOffset);
    for (int y = 0; y < kStripHeight; ++y) {
        for (int x = 0; x < kSheetWidth; ++x) {
            if (is_on(face, x, y)) {
                Rgb colour = gradient(kFace, y - kLetterTop);
                if (edge_depth(face, x, y, 1, 1) == 1) colour = mix(colour, Rgb{40, 20, 90}, 1, 3);
                put(sheet, x, kStripTop + y, colour);
            } else if (is_on(shadow, x, y)) {
                put(sheet, x, kStripTop + y, kShadow);
            }
        }
    }
}

// A heart, which is what "cardioid" means: the escape colouring's orange, lit at the top left
// and shaded towards the point. Each pixel becomes a 40-pixel block on the loading screen, so
// the shape has to read from its outline alone.
static void draw_sprite(std::vector<Rgb>& sheet)
{
    constexpr int kCellLeft = 0;
    constexpr int kCellTop = 226;
    constexpr const char* kPixels[8] = {
        ".oo..oo.", "owoooooo", "oyoooooo", "oooooood",
        ".oooood.", "..oood..", "...od...", "........",
    };
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            Rgb colour = {0, 0, 0};
            switch (kPixels[y][x]) {
            case 'w': colour = Rgb{255, 240, 190}; break;
            case 'y': colour = Rgb{255, 200, 80}; break;
            case 'o': colour = Rgb{255, 145, 0}; break;
            case 'd': colour = Rgb{215, 80, 0}; break;
            default: break;
            }
            put(sheet, kCellLeft + x, kCellTop + y, colour);
        }
    }
}

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "gfx.bmp";
    std::vector<Rgb> sheet(static_cast<size_t>(kSheetWidth) * kSheetHeight, Rgb{0, 0, 0});
    draw_label(sheet);
    draw_sprite(sheet);
    draw_title(sheet);
    if (!write_bmp24(path, kSheetWidth, kSheetHeight, sheet)) {
        std::fprintf(stderr, "make_sheet: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
