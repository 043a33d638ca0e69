// Walks an Extended Module's structure against the file's size before the audio library sees it.
// The library's loader accepts a module cut short inside its sample data and its player then
// reads freed memory, so start_up refuses such a file here and the demo runs silently instead.
// So too the few sound-looking values that send its player reading outside its tables.
#include "app.h"

#include <bitset>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kNotes = 96;       // C-0 .. B-7; the library takes higher values for no note
constexpr int kMaxChannels = 64; // as many as the library mixes
constexpr int kNumbers = 256;    // of instruments in pattern cells

// What the note check at the end needs to know of each instrument.
struct InstrumentSamples {
    int first; // the module-wide number of its first sample, as the library counts them
    int count;
    Uint8 map[kNotes]; // the sample of each note, counted from its first
    bool volume_on;    // switched on, with points
    bool panning_on;
    // Whether the envelope has points and its sustain point and loop start lie among them.
    bool volume_whole;
    bool panning_whole;
};

// The file being walked, and why it was refused once it is.
struct TuneWalk {
    SDL_RWops* stream;
    Sint64 size;
    char reason[160];
    // What the patterns play: the notes given with each instrument number, and on each channel
    // the instruments named and the notes given alone, which play on the one last named there.
    std::bitset<kNotes> notes_with[kNumbers];
    std::bitset<kNumbers> named_on[kMaxChannels];
    std::bitset<kNotes> notes_alone[kMaxChannels];
    int samples;   // in the instruments walked so far
    int packed_in; // the instrument holding a packed sample, 0 for none
    std::vector<InstrumentSamples> instruments;
};

} // namespace

// Every walker returns the offset just past what it checked, or this after noting the reason.
constexpr Sint64 kRefused = -1;

[[gnu::format(printf, 2, 3)]] static Sint64 refuse(TuneWalk& walk, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(walk.reason, sizeof walk.reason, format, arguments);
    va_end(arguments);
    return kRefused;
}

static Uint32 little_endian(const Uint8* bytes, int count)
{
    Uint32 value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The count bytes at offset, or false when they do not all lie inside the file.
static bool read_at(const TuneWalk& walk, Sint64 offset, Uint8* out, Sint64 count)
{
    if (offset < 0 || offset > walk.size || count > walk.size - offset) return false;
    return SDL_RWseek(walk.stream, static_cast<int>(offset), RW_SEEK_SET) == offset &&
           SDL_RWread(walk.stream, out, 1, static_cast<int>(count)) == count;
}

// Counts the cells of a pattern's packed data, noting what they play: a byte with bit 7 set says
// which of the five fields follow, any other byte is the note of a cell written out in full. -1
// when a cell runs past the data.
static long count_cells(TuneWalk& walk, const std::vector<Uint8>& data, int channels)
{
    constexpr Uint8 kPackedFlag = 0x80;
    constexpr Uint8 kNoteFollows = 0x01;
    constexpr Uint8 kInstrumentFollows = 0x02;
    constexpr long kFullCellBytes = 5;
    const long size = static_cast<long>(data.size());
    long cells = 0;
    for (long at = 0; at < size; ++cells) {
        const Uint8 first = data[at];
        const bool packed = first & kPackedFlag;
        long cell_bytes = kFullCellBytes;
        if (packed) {
            cell_bytes = 1;
            for (int field = 0; field < kFullCellBytes; ++field) cell_bytes += first >> field & 1;
        }
        if (cell_bytes > size - at) return -1;
        const int note = !packed ? first : first & kNoteFollows ? data[at + 1] : 0;
        const int instrument = !packed                      ? data[at + 1]
                               : first & kInstrumentFollows ? data[at + 1 + (first & kNoteFollows)]
                                                            : 0;
        const bool played = note >= 1 && note <= kNotes;
        const long channel = cells % channels;
        if (instrument != 0) {
            walk.named_on[channel].set(instrument);
            if (played) walk.notes_with[instrument].set(note - 1);
        } else if (played) {
            walk.notes_alone[channel].set(note - 1);
        }
        at += cell_bytes;
    }
    return cells;
}

static Sint64 walk_patterns(TuneWalk& walk, Sint64 at, int patterns, int channels)
{
    constexpr int kHeaderBytes = 9; // length field, packing type, rows, data size
    constexpr int kMaxRows = 256;
    std::vector<Uint8> data;
    for (int p = 0; p < patterns; ++p) {
        Uint8 header[kHeaderBytes];
        if (!read_at(walk, at, header, kHeaderBytes))
            return refuse(walk, "pattern %d of %d is cut off", p, patterns);
        const Uint32 header_bytes = little_endian(header, 4);
        const int packing = header[4];
        const int rows = static_cast<int>(little_endian(header + 5, 2));
        if (header_bytes < kHeaderBytes || packing != 0 || rows < 1 || rows > kMaxRows)
            return refuse(walk, "pattern %d has a %u-byte header, packing %d and %d rows", p,
                          header_bytes, packing, rows);
        at += header_bytes;
        data.resize(little_endian(header + 7, 2));
        if (!read_at(walk, at, data.data(), static_cast<Sint64>(data.size())))
            return refuse(walk, "the data of pattern %d is cut off", p);
        // No data at all is an empty pattern; otherwise it holds exactly rows x channels cells.
        if (!data.empty() &&
            count_cells(walk, data, channels) != static_cast<long>(rows) * channels)
            return refuse(walk, "pattern %d does not hold %d rows of %d channels", p, rows,
                          channels);
        at += static_cast<Sint64>(data.size());
    }
    return at;
}

// Refuses an envelope that is on and sustains at, or loops from, a point it does not have: the
// library reads that point unchecked, past the whole instrument table from the last instrument
// (the loop's end it only compares). Notes whether the envelope is on and whether it is whole.
static bool envelope_sound(TuneWalk& walk, const Uint8* header, int number, int envelope, bool& on,
                           bool& whole)
{
    constexpr int kPointsAt = 225;  // then the panning points
    constexpr int kSustainAt = 227; // sustain, loop start, loop end; then the same for panning
    constexpr int kTypeAt = 233;    // then the panning type
    constexpr Uint8 kOn = 1;
    constexpr Uint8 kSustains = 2;
    constexpr Uint8 kLoops = 4;
    const char* name = envelope == 0 ? "volume" : "panning";
    const int points = header[kPointsAt + envelope];
    const int sustain = header[kSustainAt + 3 * envelope];
    const int loop_start = header[kSustainAt + 3 * envelope + 1];
    const Uint8 type = header[kTypeAt + envelope];
    whole = points > 0 && sustain < points && loop_start < points;
    // The library switches an envelope without points off.
    if ((type & kOn) == 0 || points == 0) return true;
    on = true;
    if ((type & kSustains) != 0 && sustain >= points) {
        refuse(walk, "the %s envelope of instrument %d sustains at point %d of %d", name, number,
               sustain, points);
        return false;
    }
    if ((type & kLoops) != 0 && loop_start >= points) {
        refuse(walk, "the %s envelope of instrument %d loops from point %d of %d", name, number,
               loop_start, points);
        return false;
    }
    return true;
}

static Sint64 walk_instrument(TuneWalk& walk, Sint64 at, int number)
{
    constexpr int kCountedBytes = 29;  // size, name, type and number of samples
    constexpr int kSampledBytes = 241; // up to the fadeout, when there are samples
    constexpr int kSamplesAt = 27;
    constexpr int kVolumePointsAt = 225;
    constexpr int kPanningPointsAt = 226;
    constexpr int kMaxSamples = 16;
    constexpr int kMaxEnvelopePoints = 12;
    Uint8 header[kSampledBytes];
    if (!read_at(walk, at, header, kCountedBytes))
        return refuse(walk, "instrument %d is cut off", number);
    const Uint32 header_bytes = little_endian(header, 4);
    const int samples = static_cast<int>(little_endian(header + kSamplesAt, 2));
    if (header_bytes < kCountedBytes || header_bytes > walk.size - at)
        return refuse(walk, "the %u-byte header of instrument %d does not fit", header_bytes,
                      number);
    if (samples > kMaxSamples) return refuse(walk, "instrument %d has %d samples", number, samples);
    if (samples > 0 && (header_bytes < kSampledBytes || !read_at(walk, at, header, kSampledBytes) ||
                        header[kVolumePointsAt] > kMaxEnvelopePoints ||
                        header[kPanningPointsAt] > kMaxEnvelopePoints))
        return refuse(walk, "the header of instrument %d is damaged", number);
    // The library skips a packed sample's unpacked length, so it reads whatever follows one from
    // the wrong place: every later sample and instrument.
    if (walk.packed_in != 0)
        return refuse(walk, "a packed sample of instrument %d is followed by more data",
                      walk.packed_in);
    InstrumentSamples traits = {walk.samples, samples, {}, false, false, false, false};
    if (samples > 0) {
        constexpr int kMapAt = 33;
        std::memcpy(traits.map, header + kMapAt, kNotes);
        if (!envelope_sound(walk, header, number, 0, traits.volume_on, traits.volume_whole) ||
            !envelope_sound(walk, header, number, 1, traits.panning_on, traits.panning_whole))
            return kRefused;
    }
    walk.instruments.push_back(traits);
    walk.samples += samples;
    at += header_bytes;

    constexpr int kSampleHeaderBytes = 40;
    constexpr int kLoopModeAt = 14;
    constexpr int kPackingAt = 17;
    constexpr Uint8 kLoopModes = 3;
    Sint64 data_bytes = 0;
    for (int s = 0; s < samples; ++s, at += kSampleHeaderBytes) {
        Uint8 sample[kSampleHeaderBytes];
        if (!read_at(walk, at, sample, kSampleHeaderBytes))
            return refuse(walk, "the sample headers of instrument %d are cut off", number);
        const Sint64 length = little_endian(sample, 4);
        const Sint64 loop_start = little_endian(sample + 4, 4);
        const Sint64 loop_length = little_endian(sample + 8, 4);
        if ((sample[kLoopModeAt] & kLoopModes) != 0 && loop_start + loop_length > length)
            return refuse(walk, "a loop of instrument %d ends past its sample", number);
        // This mark says the data is packed to 4-bit deltas: a 16-byte table, two per byte.
        constexpr Uint8 kPackedSample = 0xAD;
        constexpr Sint64 kPackingTableBytes = 16;
        const bool packed = sample[kPackingAt] == kPackedSample;
        if (packed && s + 1 < samples)
            return refuse(walk, "a packed sample of instrument %d is followed by more data",
                          number);
        if (packed) walk.packed_in = number;
        data_bytes += packed ? kPackingTableBytes + (length + 1) / 2 : length;
    }
    if (data_bytes > walk.size - at)
        return refuse(walk, "the sample data of instrument %d would end at byte %lld of %lld",
                      number, static_cast<long long>(at + data_bytes),
                      static_cast<long long>(walk.size));
    return at + data_bytes;
}

// A note on an instrument that has no sample for it leaves the channel's envelope switches as the
// last instrument with a sample there set them, while the library takes the points from the one
// named: with none it reads a point 256 KB past them. So no channel may play such a note while
// another instrument it names switches on an envelope that the note's instrument lacks whole.
static Sint64 check_notes(TuneWalk& walk, Sint64 end)
{
    const int instruments = static_cast<int>(walk.instruments.size());
    for (int channel = 0; channel < kMaxChannels; ++channel) {
        bool volume_on = false;
        bool panning_on = false;
        for (int number = 1; number <= instruments; ++number) {
            if (!walk.named_on[channel][number]) continue;
            volume_on |= walk.instruments[number - 1].volume_on;
            panning_on |= walk.instruments[number - 1].panning_on;
        }
        for (int number = 1; number <= instruments; ++number) {
            const InstrumentSamples& instrument = walk.instruments[number - 1];
            if (!walk.named_on[channel][number] || ((!volume_on || instrument.volume_whole) &&
                                                    (!panning_on || instrument.panning_whole)))
                continue;
            const std::bitset<kNotes> notes = walk.notes_with[number] | walk.notes_alone[channel];
            // The library numbers samples through the whole module, so a note past the
            // instrument's own samples plays the next instrument's; past the last there is none.
            for (int note = 1; note <= kNotes; ++note)
                if (notes[note - 1] &&
                    (instrument.count == 0 ||
                     instrument.first + instrument.map[note - 1] >= walk.samples))
                    return refuse(walk,
                                  "the patterns play note %d on instrument %d, which has no "
                                  "sample for it",
                                  note, number);
        }
    }
    return end;
}

static Sint64 walk_module(TuneWalk& walk)
{
    constexpr int kFieldsEnd = 80;       // the fixed fields before the order table
    constexpr Sint64 kHeaderSizeAt = 60; // the header size counts from its own field
    constexpr Uint32 kVersion = 0x0104;
    constexpr Sint64 kFieldsAfterSize = 20; // from the size field up to the order table
    constexpr int kMaxOrders = 256;
    constexpr int kMaxPatterns = 256;
    constexpr int kMaxInstruments = 128;
    Uint8 header[kFieldsEnd];
    if (!read_at(walk, 0, header, kFieldsEnd)) return refuse(walk, "its header is cut off");
    const Uint32 version = little_endian(header + 58, 2);
    const Sint64 header_bytes = little_endian(header + kHeaderSizeAt, 4);
    const int orders = static_cast<int>(little_endian(header + 64, 2));
    const int channels = static_cast<int>(little_endian(header + 68, 2));
    const int patterns = static_cast<int>(little_endian(header + 70, 2));
    const int instruments = static_cast<int>(little_endian(header + 72, 2));
    if (version != kVersion) return refuse(walk, "it is version 0x%04X, not 0x0104", version);
    if (orders < 1 || orders > kMaxOrders || channels < 1 || channels > kMaxChannels ||
        patterns > kMaxPatterns || instruments > kMaxInstruments ||
        header_bytes < kFieldsAfterSize + orders || header_bytes > walk.size - kHeaderSizeAt)
        return refuse(walk,
                      "its header is damaged (%d orders, %d channels, %d patterns, %d "
                      "instruments)",
                      orders, channels, patterns, instruments);
    Sint64 at = walk_patterns(walk, kHeaderSizeAt + header_bytes, patterns, channels);
    for (int i = 1; i <= instruments && at != kRefused; ++i) at = walk_instrument(walk, at, i);
    return at == kRefused ? kRefused : check_notes(walk, at);
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
    TuneWalk walk{};
    walk.stream = stream;
    walk.size = SDL_RWseek(stream, 0, RW_SEEK_END);
    // Other formats the library reads are passed on as they are.
    const bool sound = !module || walk_module(walk) != kRefused;
    SDL_RWclose(stream);
    if (!sound) std::fprintf(stderr, "cardioid: not playing \"%s\": %s\n", path, walk.reason);
    return sound;
}
