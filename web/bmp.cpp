// Windows BMP files: reading uncompressed ones of 1, 4, 8, 24 or 32 bits per pixel, and saving a
// surface as SDL 1.2 does, 24 bits per pixel from the bottom row up.
#include "web.h"

#include <cstring>
#include <vector>

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;

static Uint32 little_endian(const Uint8* bytes, int count)
{
    Uint32 value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

static void put_little_endian(Uint8* bytes, Uint32 value, int count)
{
    for (int i = 0; i < count; ++i) bytes[i] = static_cast<Uint8>(value >> (8 * i));
}

static bool read_all(SDL_RWops* stream, void* to, int bytes)
{
    if (SDL_RWread(stream, to, 1, bytes) == bytes) return true;
    SDL_SetError("Error reading from datastream");
    return false;
}

// The pixels, row by row from the file's order, into a 24-bit surface or, for 32 bits, a 32-bit
// one; palette pixels become their colours.
static SDL_Surface* read_pixels(SDL_RWops* stream, int width, int height, bool top_down, int bits,
                                const std::vector<Uint32>& palette)
{
    SDL_Surface* surface = SDL_CreateRGBSurface(0, width, height, bits == 32 ? 32 : 24, 0x00FF0000,
                                                0x0000FF00, 0x000000FF, 0);
    if (surface == nullptr) return nullptr;
    const int row_bytes = (width * bits + 31) / 32 * 4;
    std::vector<Uint8> row(static_cast<size_t>(row_bytes));
    for (int i = 0; i < height; ++i) {
        if (!read_all(stream, row.data(), row_bytes)) {
            SDL_FreeSurface(surface);
            return nullptr;
        }
        auto* to =
            static_cast<Uint8*>(surface->pixels) + (top_down ? i : height - 1 - i) * surface->pitch;
        if (bits >= 24) {
            std::memcpy(to, row.data(), static_cast<size_t>(width) * (bits / 8));
            continue;
        }
        const int per_byte = 8 / bits;
        for (int x = 0; x < width; ++x) {
            const int shift = 8 - bits * (x % per_byte + 1);
            const Uint32 index = (row[x / per_byte] >> shift) & ((1u << bits) - 1);
            const Uint32 colour = index < palette.size() ? palette[index] : 0;
            put_little_endian(to + 3 * x, colour, 3);
        }
    }
    return surface;
}

static SDL_Surface* load(SDL_RWops* stream)
{
    constexpr Uint32 kUncompressed = 0;
    constexpr Uint32 kMostColours = 256;
    Uint8 header[kFileHeaderBytes + kInfoHeaderBytes];
    const int start = SDL_RWseek(stream, 0, RW_SEEK_CUR);
    if (!read_all(stream, header, kFileHeaderBytes + 4)) return nullptr;
    const Uint8* info = header + kFileHeaderBytes;
    const Uint32 info_bytes = little_endian(info, 4);
    if (std::memcmp(header, "BM", 2) != 0) {
        SDL_SetError("File is not a Windows BMP file");
        return nullptr;
    }
    if (info_bytes < kInfoHeaderBytes) {
        SDL_SetError("Only BMP files with a header of 40 bytes or more are read here");
        return nullptr;
    }
    if (!read_all(stream, header + kFileHeaderBytes + 4, kInfoHeaderBytes - 4)) return nullptr;
    const Sint32 width = static_cast<Sint32>(little_endian(info + 4, 4));
    const Sint32 height = static_cast<Sint32>(little_endian(info + 8, 4));
    const int bits = static_cast<int>(little_endian(info + 14, 2));
    const Uint32 compression = little_endian(info + 16, 4);
    Uint32 colours = little_endian(info + 32, 4);
    if (colours == 0 && bits <= 8) colours = 1u << bits;
    if (compression != kUncompressed) {
        SDL_SetError("Compressed BMP files not supported");
        return nullptr;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        SDL_SetError("BMP files of %d bits per pixel are not read here", bits);
        return nullptr;
    }
    if (width <= 0 || height == 0 || height == INT32_MIN || colours > kMostColours) {
        SDL_SetError("BMP file of %dx%d pixels and %u colours", width, height, colours);
        return nullptr;
    }
    // The palette follows the header; the pixels start where the file header says.
    std::vector<Uint8> entries(bits <= 8 ? 4 * colours : 0);
    if (SDL_RWseek(stream, static_cast<int>(start + kFileHeaderBytes + info_bytes), RW_SEEK_SET) <
            0 ||
        (!entries.empty() && !read_all(stream, entries.data(), static_cast<int>(entries.size()))) ||
        SDL_RWseek(stream, static_cast<int>(start + little_endian(header + 10, 4)), RW_SEEK_SET) <
            0)
        return nullptr;
    std::vector<Uint32> palette(entries.size() / 4);
    for (size_t i = 0; i < palette.size(); ++i) palette[i] = little_endian(&entries[4 * i], 3);
    return read_pixels(stream, width, height < 0 ? -height : height, height < 0, bits, palette);
}

SDL_Surface* SDL_LoadBMP_RW(SDL_RWops* stream, int free_stream)
{
    if (stream == nullptr) {
        SDL_SetError("Passed a NULL data source");
        return nullptr;
    }
    SDL_Surface* surface = load(stream);
    if (free_stream) SDL_RWclose(stream);
    return surface;
}

// The result comes from the error text, as SDL 1.2's does: any write that fails on the way sets
// it, so the caller clears it first.
int SDL_SaveBMP_RW(SDL_Surface* surface, SDL_RWops* stream, int free_stream)
{
    const int row_bytes = (surface->w * 3 + 3) & ~3;
    const Uint32 image_bytes = static_cast<Uint32>(row_bytes) * surface->h;
    constexpr int kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;
    Uint8 header[kHeaderBytes] = {'B', 'M'};
    put_little_endian(header + 2, kHeaderBytes + image_bytes, 4);
    put_little_endian(header + 10, kHeaderBytes, 4);
    put_little_endian(header + 14, kInfoHeaderBytes, 4);
    put_little_endian(header + 18, static_cast<Uint32>(surface->w), 4);
    put_little_endian(header + 22, static_cast<Uint32>(surface->h), 4);
    put_little_endian(header + 26, 1, 2);  // planes
    put_little_endian(header + 28, 24, 2); // bits per pixel
    put_little_endian(header + 34, image_bytes, 4);
    SDL_RWwrite(stream, header, kHeaderBytes, 1);
    const SDL_PixelFormat* format = surface->format;
    const int bytes = format->BytesPerPixel;
    std::vector<Uint8> row(static_cast<size_t>(row_bytes));
    for (int y = surface->h - 1; y >= 0; --y) {
        const Uint8* from = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < surface->w; ++x) {
            Uint32 pixel = 0;
            std::memcpy(&pixel, from + x * bytes, bytes);
            row[3 * x] = static_cast<Uint8>((pixel & format->Bmask) >> format->Bshift);
            row[3 * x + 1] = static_cast<Uint8>((pixel & format->Gmask) >> format->Gshift);
            row[3 * x + 2] = static_cast<Uint8>((pixel & format->Rmask) >> format->Rshift);
        }
        SDL_RWwrite(stream, row.data(), row_bytes, 1);
    }
    if (free_stream) SDL_RWclose(stream);
    return SDL_GetError()[0] == '\0' ? 0 : -1;
}
