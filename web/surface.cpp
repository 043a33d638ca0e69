// Surfaces in memory, 24 or 32 bits per pixel, and SDL 1.2's rules for filling and blitting them:
// the colour key, and per-pixel alpha from a surface that has an alpha mask.
#include "web.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

static void describe_channel(Uint32 mask, Uint8& shift, Uint8& loss)
{
    shift = 0;
    loss = 8;
    if (mask == 0) return;
    while ((mask >> shift & 1) == 0) ++shift;
    while (loss > 0 && (mask >> (shift + 8 - loss) & 1) != 0) --loss;
}

SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask,
                                  Uint32 Gmask, Uint32 Bmask, Uint32 Amask)
{
    constexpr int kMaxSide = 16384;
    if ((depth != 24 && depth != 32) || width < 0 || height < 0 || width > kMaxSide ||
        height > kMaxSide) {
        SDL_SetError("Unsupported %dx%d surface of %d bits per pixel", width, height, depth);
        return nullptr;
    }
    if ((Rmask | Gmask | Bmask) == 0) {
        Rmask = 0x00FF0000;
        Gmask = 0x0000FF00;
        Bmask = 0x000000FF;
    }
    auto* surface = new (std::nothrow) SDL_Surface{};
    auto* format = new (std::nothrow) SDL_PixelFormat{};
    const int bytes = depth / 8;
    const int pitch = (width * bytes + 3) & ~3;
    const size_t bytes_in_all = std::max<size_t>(static_cast<size_t>(pitch) * height, 1);
    void* pixels = std::malloc(bytes_in_all);
    if (surface == nullptr || format == nullptr || pixels == nullptr) {
        delete surface;
        delete format;
        std::free(pixels);
        SDL_SetError("Out of memory");
        return nullptr;
    }
    // Cleared here rather than by calloc: this memset is a single memory.fill instruction.
    std::memset(pixels, 0, bytes_in_all);
    format->BitsPerPixel = static_cast<Uint8>(depth);
    format->BytesPerPixel = static_cast<Uint8>(bytes);
    format->Rmask = Rmask;
    format->Gmask = Gmask;
    format->Bmask = Bmask;
    format->Amask = Amask;
    describe_channel(Rmask, format->Rshift, format->Rloss);
    describe_channel(Gmask, format->Gshift, format->Gloss);
    describe_channel(Bmask, format->Bshift, format->Bloss);
    describe_channel(Amask, format->Ashift, format->Aloss);
    format->alpha = 255;
    // A surface with an alpha channel blends by it from the start, as SDL 1.2's do.
    surface->flags = (flags & ~SDL_HWSURFACE) | (Amask != 0 ? SDL_SRCALPHA : 0);
    surface->format = format;
    surface->w = width;
    surface->h = height;
    surface->pitch = static_cast<Uint16>(pitch);
    surface->pixels = pixels;
    surface->clip_rect = {0, 0, static_cast<Uint16>(width), static_cast<Uint16>(height)};
    surface->refcount = 1;
    return surface;
}

void SDL_FreeSurface(SDL_Surface* surface)
{
    if (surface == nullptr || --surface->refcount > 0) return;
    if ((surface->flags & SDL_PREALLOC) == 0) std::free(surface->pixels);
    delete surface->format;
    delete surface;
}

int SDL_LockSurface(SDL_Surface*)
{
    return 0;
}

void SDL_UnlockSurface(SDL_Surface*) {}

// Every component at full alpha: black on a surface with an alpha mask is opaque black.
Uint32 SDL_MapRGB(const SDL_PixelFormat* format, Uint8 r, Uint8 g, Uint8 b)
{
    return static_cast<Uint32>(r >> format->Rloss) << format->Rshift |
           static_cast<Uint32>(g >> format->Gloss) << format->Gshift |
           static_cast<Uint32>(b >> format->Bloss) << format->Bshift | format->Amask;
}

int SDL_SetColorKey(SDL_Surface* surface, Uint32 flag, Uint32 key)
{
    if (flag & SDL_SRCCOLORKEY) {
        surface->flags |= SDL_SRCCOLORKEY;
        surface->format->colorkey = key;
    } else {
        surface->flags &= ~SDL_SRCCOLORKEY;
    }
    return 0;
}

static Uint8* pixel_at(SDL_Surface* surface, int x, int y)
{
    return static_cast<Uint8*>(surface->pixels) + y * surface->pitch +
           x * surface->format->BytesPerPixel;
}

// Pixels of 4 or 3 bytes, little-endian as the browser's memory is.
static Uint32 read_pixel(const Uint8* at, int bytes)
{
    if (bytes == 3) return at[0] | at[1] << 8 | at[2] << 16;
    Uint32 word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

static void write_pixel(Uint8* at, int bytes, Uint32 word)
{
    if (bytes == 4) {
        std::memcpy(at, &word, sizeof word);
        return;
    }
    at[0] = static_cast<Uint8>(word);
    at[1] = static_cast<Uint8>(word >> 8);
    at[2] = static_cast<Uint8>(word >> 16);
}

// The rectangle's part inside the clip rectangle, written back; false when nothing is left.
static bool clip(SDL_Rect& rect, const SDL_Rect& to)
{
    const int left = std::max<int>(rect.x, to.x);
    const int top = std::max<int>(rect.y, to.y);
    const int right = std::min<int>(rect.x + rect.w, to.x + to.w);
    const int bottom = std::min<int>(rect.y + rect.h, to.y + to.h);
    rect = {static_cast<Sint16>(left), static_cast<Sint16>(top),
            static_cast<Uint16>(std::max(right - left, 0)),
            static_cast<Uint16>(std::max(bottom - top, 0))};
    return rect.w > 0 && rect.h > 0;
}

int SDL_FillRect(SDL_Surface* surface, SDL_Rect* rect, Uint32 colour)
{
    SDL_Rect area = surface->clip_rect;
    if (rect != nullptr && !clip(*rect, surface->clip_rect)) return 0;
    if (rect != nullptr) area = *rect;
    const int bytes = surface->format->BytesPerPixel;
    for (int y = area.y; y < area.y + area.h; ++y) {
        Uint8* row = pixel_at(surface, area.x, y);
        if (bytes == 4)
            std::fill_n(reinterpret_cast<Uint32*>(row), area.w, colour);
        else
            for (int x = 0; x < area.w; ++x) write_pixel(row + x * bytes, bytes, colour);
    }
    return 0;
}

struct Rgba {
    Uint32 r, g, b, a;
};

static Uint32 component(Uint32 pixel, Uint32 mask, Uint8 shift, Uint8 loss)
{
    return (pixel & mask) >> shift << loss;
}

static Rgba decode(Uint32 pixel, const SDL_PixelFormat* f)
{
    return {component(pixel, f->Rmask, f->Rshift, f->Rloss),
            component(pixel, f->Gmask, f->Gshift, f->Gloss),
            component(pixel, f->Bmask, f->Bshift, f->Bloss),
            f->Amask != 0 ? component(pixel, f->Amask, f->Ashift, f->Aloss) : 255};
}

static Uint32 encode(Rgba c, const SDL_PixelFormat* f)
{
    return (c.r >> f->Rloss) << f->Rshift | (c.g >> f->Gloss) << f->Gshift |
           (c.b >> f->Bloss) << f->Bshift | ((c.a >> f->Aloss) << f->Ashift & f->Amask);
}

static Uint32 blend(Uint32 source, Uint32 target, Uint32 alpha)
{
    return target +
           ((static_cast<int>(source) - static_cast<int>(target)) * static_cast<int>(alpha) >> 8);
}

// One pixel as SDL 1.2 blits it: a colour-keyed pixel is skipped; from a surface that blends,
// transparent pixels are skipped, opaque ones copied and the rest mixed in, the target keeping
// its own alpha; otherwise the pixel is copied, made opaque when the source has no alpha.
static void blit_pixel(Uint32 pixel, const SDL_Surface* source, Uint8* to, SDL_Surface* target,
                       bool keyed, bool blends)
{
    const SDL_PixelFormat* from = source->format;
    if (keyed && (pixel & ~from->Amask) == (from->colorkey & ~from->Amask)) return;
    Rgba colour = decode(pixel, from);
    const int bytes = target->format->BytesPerPixel;
    if (blends && colour.a == 0) return;
    if (blends && colour.a != 255) {
        const Uint32 old = read_pixel(to, bytes);
        const Rgba under = decode(old, target->format);
        colour = {blend(colour.r, under.r, colour.a), blend(colour.g, under.g, colour.a),
                  blend(colour.b, under.b, colour.a), under.a};
    } else if (blends) {
        colour.a = decode(read_pixel(to, bytes), target->format).a;
    }
    write_pixel(to, bytes, encode(colour, target->format));
}

static void lower_blit(SDL_Surface* source, const SDL_Rect& from, SDL_Surface* target,
                       const SDL_Rect& to)
{
    const SDL_PixelFormat* sf = source->format;
    const SDL_PixelFormat* tf = target->format;
    const bool keyed = source->flags & SDL_SRCCOLORKEY;
    const bool blends = (source->flags & SDL_SRCALPHA) && sf->Amask != 0;
    const bool same = sf->BytesPerPixel == tf->BytesPerPixel && sf->Rmask == tf->Rmask &&
                      sf->Gmask == tf->Gmask && sf->Bmask == tf->Bmask && sf->Amask == tf->Amask;
    const int bytes = sf->BytesPerPixel;
    // Both of 32 bits with the same colours, where the alpha channel is a byte of its own.
    const bool same_colours = bytes == 4 && tf->BytesPerPixel == 4 && sf->Rmask == tf->Rmask &&
                              sf->Gmask == tf->Gmask && sf->Bmask == tf->Bmask && !keyed &&
                              sf->Aloss == 0 && (tf->Amask == 0 || tf->Amask == sf->Amask);
    for (int y = 0; y < from.h; ++y) {
        const Uint8* in = pixel_at(source, from.x, from.y + y);
        Uint8* out = pixel_at(target, to.x, to.y + y);
        if (same && !keyed && !blends) {
            std::memmove(out, in, static_cast<size_t>(from.w) * bytes);
            continue;
        }
        // The frames and overlays: opaque pixels copied as words, transparent ones skipped.
        if (same_colours && blends) {
            const auto* words = reinterpret_cast<const Uint32*>(in);
            auto* to = reinterpret_cast<Uint32*>(out);
            for (int x = 0; x < from.w; ++x) {
                const Uint32 alpha = words[x] & sf->Amask;
                if (alpha == sf->Amask)
                    to[x] = (words[x] & ~sf->Amask) | (to[x] & tf->Amask);
                else if (alpha != 0)
                    blit_pixel(words[x], source, out + 4 * x, target, keyed, blends);
            }
            continue;
        }
        for (int x = 0; x < from.w; ++x)
            blit_pixel(read_pixel(in + x * bytes, bytes), source, out + x * tf->BytesPerPixel,
                       target, keyed, blends);
    }
}

// The source rectangle is cut to the source, then the target rectangle to the target's clip
// rectangle, moving the source's along; the target rectangle's size is ignored and receives the
// size of what was drawn.
int SDL_UpperBlit(SDL_Surface* source, SDL_Rect* source_rect, SDL_Surface* target,
                  SDL_Rect* target_rect)
{
    if (source == nullptr || target == nullptr) {
        SDL_SetError("SDL_UpperBlit: passed a NULL surface");
        return -1;
    }
    SDL_Rect whole_target = {0, 0, 0, 0};
    SDL_Rect& at = target_rect != nullptr ? *target_rect : whole_target;
    SDL_Rect from = {0, 0, static_cast<Uint16>(source->w), static_cast<Uint16>(source->h)};
    int x = at.x, y = at.y;
    if (source_rect != nullptr) {
        from = *source_rect;
        const SDL_Rect asked = from;
        const SDL_Rect whole = {0, 0, static_cast<Uint16>(source->w),
                                static_cast<Uint16>(source->h)};
        clip(from, whole);
        x += from.x - asked.x;
        y += from.y - asked.y;
    }
    SDL_Rect to = {static_cast<Sint16>(x), static_cast<Sint16>(y), from.w, from.h};
    const SDL_Rect wanted = to;
    if (from.w == 0 || from.h == 0 || !clip(to, target->clip_rect)) {
        at.w = at.h = 0;
        return 0;
    }
    from.x = static_cast<Sint16>(from.x + to.x - wanted.x);
    from.y = static_cast<Sint16>(from.y + to.y - wanted.y);
    from.w = to.w;
    from.h = to.h;
    lower_blit(source, from, target, to);
    at = to;
    return 0;
}
