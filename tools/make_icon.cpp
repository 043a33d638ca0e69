// Writes the desktop icon: the loading sprite's 8x8 cell of the sprite sheet, each pixel a square
// block, black transparent as in the demo, as a PNG. Run at build time on assets/gfx.bmp, so the
// icon always shows the sheet that is installed beside it.
#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

static uint32_t crc32(const uint8_t* bytes, size_t count, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

static void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

static void put_chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

// An 8-bit RGBA PNG whose image data is stored uncompressed, which every reader accepts.
static std::vector<uint8_t> png_rgba(int size, const std::vector<uint8_t>& rgba)
{
    std::vector<uint8_t> raw; // each row behind its filter byte, 0: none
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgba.begin() + y * size * 4, rgba.begin() + (y + 1) * size * 4);
    }
    constexpr size_t kStoredBlockMax = 65535;
    std::vector<uint8_t> zlib = {0x78, 0x01};
    for (size_t at = 0; at < raw.size(); at += kStoredBlockMax) {
        const size_t n = raw.size() - at < kStoredBlockMax ? raw.size() - at : kStoredBlockMax;
        zlib.push_back(at + n == raw.size() ? 1 : 0); // last block or not; type 0, stored
        const uint16_t len = static_cast<uint16_t>(n);
        for (uint16_t v : {len, static_cast<uint16_t>(~len)}) {
            zlib.push_back(static_cast<uint8_t>(v));
            zlib.push_back(static_cast<uint8_t>(v >> 8));
        }
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + n);
    }
    uint32_t a = 1, b = 0; // Adler-32 of the raw data
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(zlib, b << 16 | a);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(size));
    put32(header, static_cast<uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter, no interlace
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", zlib);
    put_chunk(out, "IEND", {});
    return out;
}

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_icon SHEET.bmp SIZE OUT.png\n");
        return 2;
    }
    constexpr int kCellLeft = 0; // the loading sprite's cell in the sheet
    constexpr int kCellTop = 226;
    constexpr int kCell = 8;
    const int size = std::atoi(argv[2]);
    if (size < kCell || size % kCell != 0) {
        std::fprintf(stderr, "make_icon: the size must be a multiple of 8\n");
        return 2;
    }
    SDL_Surface* sheet = SDL_LoadBMP(argv[1]);
    if (sheet == nullptr) {
        std::fprintf(stderr, "make_icon: cannot load %s: %s\n", argv[1], SDL_GetError());
        return 1;
    }
    // The cell through the library's own blit, colour-keyed on black as the demo does it, onto
    // a zero surface: the sprite's pixels come out opaque and its black ones fully transparent.
    SDL_SetColorKey(sheet, SDL_SRCCOLORKEY, SDL_MapRGB(sheet->format, 0, 0, 0));
    SDL_Surface* cell =
        SDL_CreateRGBSurface(0, kCell, kCell, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    SDL_Rect area = {kCellLeft, kCellTop, kCell, kCell};
    SDL_Rect at = {0, 0, 0, 0};
    SDL_UpperBlit(sheet, &area, cell, &at);

    if (SDL_MUSTLOCK(cell)) SDL_LockSurface(cell);
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Uint32 pixel = static_cast<const Uint32*>(
                cell->pixels)[y * kCell / size * (cell->pitch / 4) + x * kCell / size];
            uint8_t* out = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            out[0] = static_cast<uint8_t>(pixel >> 16);
            out[1] = static_cast<uint8_t>(pixel >> 8);
            out[2] = static_cast<uint8_t>(pixel);
            out[3] = static_cast<uint8_t>(pixel >> 24);
        }
    if (SDL_MUSTLOCK(cell)) SDL_UnlockSurface(cell);

    const std::vector<uint8_t> png = png_rgba(size, rgba);
    FILE* file = std::fopen(argv[3], "wb");
    if (file == nullptr || std::fwrite(png.data(), 1, png.size(), file) != png.size() ||
        std::fclose(file) != 0) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
