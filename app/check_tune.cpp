// Walks an Extended Module's structure against the file's size before the audio library sees it.
// The library's loader accepts a module cut short inside its sample data and its player then
// reads freed memory, so start_up refuses such a file here and the demo runs silently instead.
#include "app.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The file being walked: every read is checked against size before it is made.
struct TuneFile {
    SDL_RWops* stream;
    Sint64 size;
};

} // namespace

static Uint32 little_endian(const Uint8* bytes, int count)
{
    Uint32 value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The count bytes at offset, or false when they do not all lie inside the file.
static bool read_at(const TuneFile& file, Sint64 offset, Uint8* out, Sint64 count)
{
    if (offset < 0 || offset > file.size || count > file.size - offset) return false;
    return SDL_RWseek(file.stream, static_cast<int>(offset), RW_SEEK_SET) == offset &&
           SDL_RWread(file.stream, out, 1, static_cast<int>(count)) == count;
}

// Counts the cells of a pattern's packed data: a byte with bit 7 set says which of the five
// fields follow, any other byte is the note of a cell written out in full. -1 when a cell runs
// past the data.
static long count_cells(const Uint8* data, long size)
{
    constexpr Uint8 kPackedFlag = 0x80;
    constexpr int kFullCellBytes = 5;
    long cells = 0;
    for (long at = 0; at < size; ++cells) {
        const Uint8 first = data[at];
        long cell_bytes = kFullCellBytes;
        if (first & kPackedFlag) {
            cell_bytes = 1;
            for (int field = 0; field < kFullCellBytes; ++field) cell_bytes += first >> field & 1;
        }
        if (cell_bytes > size - at) return -1;
        at += cell_bytes;
    }
    return cells;
}

// Each walker returns the offset just past what it checked, or -1 after writing the reason.

static Sint64 walk_patterns(const TuneFile& file, Sint64 at, int patterns, int channels,
                            char* reason, size_t reason_size)
{
    constexpr Uint32 kPatternHeaderBytes = 9; // length field, packing type, rows, data size
    constexpr int kMaxRows = 256;
    std::vector<Uint8> data;
    for (int p = 0; p < patterns; ++p) {
        Uint8 header[kPatternHeaderBytes];
        if (!read_at(file, at, header, sizeof header)) {
            std::snprintf(reason, reason_size, "pattern %d of %d is cut off", p, patterns);
            return -1;
        }
        const Uint32 header_bytes = little_endian(header, 4);
        const int rows = static_cast<int>(little_endian(header + 5, 2));
        const long data_size = static_cast<long>(little_endian(header + 7, 2));
        if (header_bytes < kPatternHeaderBytes || header[4] != 0 || rows < 1 || rows > kMaxRows) {
            std::snprintf(reason, reason_size,
                          "pattern %d has a %u-byte header, packing type %d and %d rows", p,
                          header_bytes, header[4], rows);
            return -1;
        }
        at += header_bytes;
        data.resize(static_cast<size_t>(data_size));
        if (!read_at(file, at, data.data(), data_size)) {
            std::snprintf(reason, reason_size, "the data of pattern %d is cut off", p);
            return -1;
        }
        const long cells = count_cells(data.data(), data_size);
        // No data at all is an empty pattern; otherwise it holds exactly rows x channels cells.
        if (data_size != 0 && cells != static_cast<long>(rows) * channels) {
            std::snprintf(reason, reason_size,
                          "pattern %d does not hold %d rows of %d channels", p, rows, channels);
            return -1;
        }
        at += data_size;
    }
    return at;
}

static Sint64 walk_instrument(const TuneFile& file, Sint64 at, int number, char* reason,
                              size_t reason_size)
{
    constexpr Uint32 kCountedHeaderBytes = 29;  // size, name, type, number of samples
    constexpr Uint32 kSampledHeaderBytes = 241; // up to the fadeout, when there are samples
    constexpr int kMaxSamples = 16;
    constexpr int kMaxEnvelopePoints = 12;
    constexpr Sint64 kSampleHeaderBytes = 40;
    Uint8 header[kSampledHeaderBytes];
    if (!read_at(file, at, header, 4)) {
        std::snprintf(reason, reason_size, "instrument %d is cut off", number);
        return -1;
    }
    const Uint32 header_bytes = little_endian(header, 4);
    if (header_bytes < kCountedHeaderBytes || !read_at(file, at, header, kCountedHeaderBytes)) {
        std::snprintf(reason, reason_size, "the header of instrument %d is cut off", number);
        return -1;
    }
    const int samples = static_cast<int>(little_endian(header + 27, 2));
    if (samples > kMaxSamples) {
        std::snprintf(reason, reason_size, "instrument %d has %d samples", number, samples);
        return -1;
    }
    if (samples > 0 &&
        (header_bytes < kSampledHeaderBytes || !read_at(file, at, header, kSampledHeaderBytes) ||
         header[225] > kMaxEnvelopePoints || header[226] > kMaxEnvelopePoints)) {
        std::snprintf(reason, reason_size, "the header of instrument %d is cut off or damaged",
                      number);
        return -1;
    }
    if (header_bytes > file.size - at) {
        std::snprintf(reason, reason_size, "the header of instrument %d is cut off", number);
        return -1;
    }
    at += header_bytes;

    Sint64 data_bytes = 0;
    for (int s = 0; s < samples; ++s, at += kSampleHeaderBytes) {
        Uint8 sample[kSampleHeaderBytes];
        if (!read_at(file, at, sample, sizeof sample)) {
            std::snprintf(reason, reason_size, "the sample headers of instrument %d are cut off",
                          number);
            return -1;
        }
        const Sint64 length = little_endian(sample, 4);
        const Sint64 loop_start = little_endian(sample + 4, 4);
        const Sint64 loop_length = little_endian(sample + 8, 4);
        const bool looped = (sample[14] & 3) != 0 && loop_length > 0;
        if (looped && loop_start + loop_length > length) {
            std::snprintf(reason, reason_size, "a loop of instrument %d ends past its sample",
                          number);
            return -1;
        }
        // 0xAD in the reserved byte marks 4-bit delta packing: a 16-byte table, two per byte.
        constexpr Uint8 kPackedSample = 0xAD;
        constexpr Sint64 kPackingTableBytes = 16;
        data_bytes += sample[17] == kPackedSample ? kPackingTableBytes + (length + 1) / 2 : length;
    }
    if (data_bytes > file.size - at) {
        std::snprintf(reason, reason_size,
                      "the sample data of instrument %d ends at byte %lld, past the end",
                      number, static_cast<long long>(at + data_bytes));
        return -1;
    }
    return at + data_bytes;
}

// The whole module: false with the reason when anything in it is inconsistent or cut off.
static bool walk_module(const TuneFile& file, char* reason, size_t reason_size)
{
    constexpr Sint64 kFieldsEnd = 80; // the fixed fields, up to the order table
    constexpr Uint32 kVersion = 0x0104;
    Uint8 header[kFieldsEnd];
    if (!read_at(file, 0, header, kFieldsEnd)) {
        std::snprintf(reason, reason_size, "its header is cut off");
        return false;
    }
    const Uint32 version = little_endian(header + 58, 2);
    const Sint64 header_bytes = little_endian(header + 60, 4); // counted from offset 60
    const int song_length = static_cast<int>(little_endian(header + 64, 2));
    const int channels = static_cast<int>(little_endian(header + 68, 2));
    const int patterns = static_cast<int>(little_endian(header + 70, 2));
    const int instruments = static_cast<int>(little_endian(header + 72, 2));
    constexpr int kMaxOrders = 256;
    constexpr int kMaxChannels = 64; // as many as the library mixes
    constexpr int kMaxPatterns = 256;
    constexpr int kMaxInstruments = 128;
    constexpr Sint64 kFieldsAfterSize = 20; // from offset 60 to the order table
    if (version != kVersion) {
        std::snprintf(reason, reason_size, "it is version 0x%04X, not 0x0104", version);
        return false;
    }
    if (song_length < 1 || song_length > kMaxOrders || channels < 1 ||
        channels > kMaxChannels || patterns > kMaxPatterns || instruments > kMaxInstruments ||
        header_bytes < kFieldsAfterSize + song_length) {
        std::snprintf(reason, reason_size,
                      "its header is damaged (%d orders, %d channels, %d patterns, "
                      "%d instruments)",
                      song_length, channels, patterns, instruments);
        return false;
    }
    constexpr Sint64 kHeaderSizeField = 60;
    if (header_bytes > file.size - kHeaderSizeField) {
        std::snprintf(reason, reason_size, "its header is cut off");
        return false;
    }
    Sint64 at = walk_patterns(file, kHeaderSizeField + header_bytes, patterns, channels, reason,
                              reason_size);
    for (int i = 1; i <= instruments && at >= 0; ++i)
        at = walk_instrument(file, at, i, reason, reason_size);
    return at >= 0;
}

bool check_tune(const char* path)
{
    SDL_RWops* stream = SDL_RWFromFile(path, "rb");
    if (stream == nullptr) return true; // a missing tune is the library's to refuse, silently
    constexpr char kMagic[] = "Extended Module: ";
    constexpr int kMagicBytes = sizeof kMagic - 1;
    char magic[kMagicBytes];
    const bool module = SDL_RWread(stream, magic, 1, kMagicBytes) == kMagicBytes &&
                        std::memcmp(magic, kMagic, kMagicBytes) == 0;
    const TuneFile file = {stream, SDL_RWseek(stream, 0, RW_SEEK_END)};
    char reason[160] = "";
    // Other formats the library reads are passed on as they are.
    const bool sound = !module || walk_module(file, reason, sizeof reason);
    SDL_RWclose(stream);
    if (!sound) std::fprintf(stderr, "cardioid: not playing \"%s\": %s\n", path, reason);
    return sound;
}
