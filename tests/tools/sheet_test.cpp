// Tests the sheet generator tools/make_sheet.cpp and the sheet it wrote, assets/gfx.bmp.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kSheetWidth = 320;
constexpr int kSheetHeight = 384;

// x, y, width, height on the sheet, as the program cuts them.
struct Area {
    int x, y, w, h;
};
constexpr Area kLabelStrip = {0, 1, 320, 31};
constexpr Area kSpriteCell = {0, 226, 8, 8};
constexpr Area kLogoStrip = {0, 257, 320, 127};

std::vector<char> read_bytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file),
                             std::istreambuf_iterator<char>());
}

// Runs the generator into a fresh scratch directory and returns the path it wrote.
std::filesystem::path generate_sheet(const std::string& name)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "cardioid-sheet-XXXXXX").string();
    const std::filesystem::path dir = mkdtemp(pattern.data());
    const std::filesystem::path out = dir / name;
    const std::string command = std::string("'") + MAKE_SHEET_BINARY + "' '" + out.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
}

struct Colour {
    Uint8 r, g, b;
};

Colour colour_at(SDL_Surface* sheet, int x, int y)
{
    const auto* row = static_cast<const Uint8*>(sheet->pixels) + y * sheet->pitch;
    const int bytes = sheet->format->BytesPerPixel;
    Uint32 pixel = 0;
    for (int i = 0; i < bytes; ++i) pixel |= static_cast<Uint32>(row[x * bytes + i]) << (8 * i);
    Colour colour = {0, 0, 0};
    SDL_GetRGB(pixel, sheet->format, &colour.r, &colour.g, &colour.b);
    return colour;
}

bool is_black(SDL_Surface* sheet, int x, int y)
{
    const Colour colour = colour_at(sheet, x, y);
    return colour.r == 0 && colour.g == 0 && colour.b == 0;
}

bool inside(const Area& area, int x, int y)
{
    return x >= area.x && x < area.x + area.w && y >= area.y && y < area.y + area.h;
}

// Writes an area of the sheet enlarged `scale` times, framed in black, as a binary PPM, which
// every image reader takes.
void write_ppm(SDL_Surface* sheet, const Area& area, int scale, const std::filesystem::path& path)
{
    constexpr int kBorder = 40;
    const int width = area.w * scale + 2 * kBorder;
    const int height = area.h * scale + 2 * kBorder;
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int u = (x - kBorder) / scale;
            const int v = (y - kBorder) / scale;
            const bool in = x >= kBorder && y >= kBorder && u < area.w && v < area.h;
            const Colour colour = in ? colour_at(sheet, area.x + u, area.y + v) : Colour{0, 0, 0};
            out.put(static_cast<char>(colour.r));
            out.put(static_cast<char>(colour.g));
            out.put(static_cast<char>(colour.b));
        }
    }
}

// What tesseract reads on one line of the image, without blank space.
std::string read_text(const std::filesystem::path& image)
{
    const std::filesystem::path text = image.string() + ".txt";
    const std::string command =
        "tesseract '" + image.string() + "' '" + image.string() + "' --psm 7 >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(text);
    std::string word;
    for (char c; in.get(c);)
        if (!std::isspace(static_cast<unsigned char>(c))) word += c;
    return word;
}

int visible_pixels(SDL_Surface* sheet, const Area& area)
{
    int count = 0;
    for (int y = area.y; y < area.y + area.h; ++y)
        for (int x = area.x; x < area.x + area.w; ++x)
            if (!is_black(sheet, x, y)) ++count;
    return count;
}

// The committed sheet, loaded the way the program loads it.
class Sheet : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_NE(sheet = SDL_LoadBMP(CARDIOID_SHEET), nullptr) << SDL_GetError();
    }
    void TearDown() override { SDL_FreeSurface(sheet); }
    SDL_Surface* sheet = nullptr;
};

} // namespace

// Every run writes the same bytes, those of the committed file.
TEST(SheetGenerator, WritesTheCommittedSheetByteForByteOnEveryRun)
{
    const std::vector<char> committed = read_bytes(CARDIOID_SHEET);
    ASSERT_FALSE(committed.empty());
    for (const char* name : {"first.bmp", "second.bmp"}) {
        const std::filesystem::path out = generate_sheet(name);
        EXPECT_TRUE(read_bytes(out) == committed) << "regenerate assets/gfx.bmp with make_sheet";
        std::filesystem::remove_all(out.parent_path());
    }
}

TEST_F(Sheet, Is320By384WithPixelsInItsThreeAreasAndBlackElsewhere)
{
    EXPECT_EQ(sheet->w, kSheetWidth);
    EXPECT_EQ(sheet->h, kSheetHeight);
    int stray = 0;
    for (int y = 0; y < sheet->h; ++y) {
        for (int x = 0; x < sheet->w; ++x) {
            if (inside(kLabelStrip, x, y) || inside(kSpriteCell, x, y) || inside(kLogoStrip, x, y))
                continue;
            if (!is_black(sheet, x, y)) ++stray;
        }
    }
    EXPECT_EQ(stray, 0);
    for (const Area& area : {kLabelStrip, kSpriteCell, kLogoStrip})
        EXPECT_GT(visible_pixels(sheet, area), 0) << area.y;
}

// The strip is drawn at screen x 224 and the loading sprite is centred on screen x 336.
TEST_F(Sheet, LabelIsCentredUnderTheLoadingSprite)
{
    constexpr int kSpriteCentreInStrip = 336 - 224;
    constexpr int kTolerance = 4; // the drop shadow widens the label to the right
    int left = kSheetWidth;
    int right = -1;
    for (int y = kLabelStrip.y; y < kLabelStrip.y + kLabelStrip.h; ++y) {
        for (int x = 0; x < kLabelStrip.w; ++x) {
            if (is_black(sheet, x, y)) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    ASSERT_GE(right, left);
    EXPECT_NEAR((left + right) / 2.0, kSpriteCentreInStrip, kTolerance);
}

// Every frame of the zoom dives into the screen's centre; the logo, enlarged 2x at (0, 40),
// must leave a disc around it clear.
TEST_F(Sheet, LogoLeavesTheZoomCentreClear)
{
    constexpr int kLogoY = 40;
    constexpr double kCentreX = 320;
    constexpr double kCentreY = 240;
    constexpr double kClearance = 24;
    double nearest = 1e9;
    for (int y = 0; y < kLogoStrip.h; ++y) {
        for (int x = 0; x < kLogoStrip.w; ++x) {
            if (is_black(sheet, x, kLogoStrip.y + y)) continue;
            for (int sy = kLogoY + 2 * y; sy < kLogoY + 2 * y + 2; ++sy)
                for (int sx = 2 * x; sx < 2 * x + 2; ++sx)
                    nearest = std::min(nearest, std::hypot(sx - kCentreX, sy - kCentreY));
        }
    }
    EXPECT_GT(nearest, kClearance);
}

// The words must read as words, not just hold pixels: a text recogniser reads the label
// enlarged 4x and the logo as the screen shows it, 2x, each on black.
TEST_F(Sheet, TextRecognitionReadsTheLabelAndTheLogo)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "cardioid-ocr-XXXXXX").string();
    const std::filesystem::path dir = mkdtemp(pattern.data());
    write_ppm(sheet, kLabelStrip, 4, dir / "label.ppm");
    write_ppm(sheet, kLogoStrip, 2, dir / "logo.ppm");
    EXPECT_EQ(read_text(dir / "label.ppm"), "LOADING");
    EXPECT_EQ(read_text(dir / "logo.ppm"), "CARDIOID");
    std::filesystem::remove_all(dir);
}
