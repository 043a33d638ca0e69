// Reads an Extended Module as the audio library's loader reads it, then follows its order table
// as the library's player does, and refuses the one thing the player mishandles: starting an
// envelope whose points lie outside the library's instrument table. It then reads memory it does
// not own and, now and then, crashes the demo; start_up refuses such a file here instead and the
// demo runs silently. The library is SDL_mixer 1.2 over libmikmod 3.3; every rule below follows
// what that loader and player do, so a module the library plays cleanly always passes.
#include "app.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

// The module header, from the file's start.
constexpr int kMagicAt = 0; // "Extended Module: "
constexpr int kMarkAt = 37; // 0x1A
constexpr int kVersionAt = 58;
constexpr int kHeaderSizeAt = 60; // counted from this field
constexpr int kSongLengthAt = 64;
constexpr int kRestartAt = 66;
constexpr int kChannelsAt = 68;
constexpr int kPatternsAt = 70;
constexpr int kInstrumentsAt = 72;
constexpr int kSpeedAt = 76;
constexpr int kTempoAt = 78;
constexpr int kOrdersAt = 80; // after the fields above

// A pattern header, from the pattern's start: its size (counted from its start), a packing type,
// the rows and the size of the packed cells that follow it. Version 0x0102 keeps the rows less
// one in a byte, which makes its header one byte shorter.
constexpr int kPackingAt = 4;
constexpr int kRowsAt = 5;
constexpr int kPackedSizeAt = 7;
constexpr int kPackedSizeAtIn0102 = 6;
constexpr int kPatternHeaderBytes = 9;

// An instrument header, from the instrument's start: its size (counted from its start), a name,
// a type and the number of samples, then, for an instrument with samples, a note-to-sample map
// and two envelopes (volume, then panning) of 12 points, their point counts, sustain and loop
// points, and types.
constexpr int kSampleCountAt = 27;
constexpr int kSampledHeaderAt = 29; // where an instrument without samples may end
constexpr int kNoteMapAt = 33;
constexpr int kPointCountAt = 225; // then the panning one
constexpr int kSustainAt = 227;    // sustain, loop start, loop end; then the same for panning
constexpr int kTypeAt = 233;       // then the panning type
constexpr int kSampledHeaderBytes = 241;

// A sample header: the sample's length in bytes first, and its type, whose bit 4 marks 16-bit
// frames. The headers of an instrument follow it, then, from version 0x0104 on, the data of its
// samples; before, the data of all samples follows the patterns.
constexpr int kSampleTypeAt = 14;
constexpr int kSampleHeaderBytes = 40;
constexpr Uint8 kSixteenBits = 0x10;

constexpr int kNotes = 96;           // C-0 .. B-7; higher values are key-offs
constexpr int kMaxChannels = 64;     // as many as the library mixes
constexpr int kMaxInstruments = 255; // as many as the library loads
constexpr int kMaxOrders = 256;
constexpr int kMaxPatterns = 256;
constexpr int kMaxSamples = 96; // per instrument; more and the library takes it for none
constexpr int kMaxPoints = 12;
constexpr Uint16 kNoSample = 0xFFFF; // in the map of an instrument the loader gave no samples

// An envelope's type bits; a channel's envelope switches are the volume type's three bits and
// the panning type's three above them, which the library copies from an instrument whenever a
// note or instrument number finds a sample.
constexpr int kOn = 1;
constexpr int kSustains = 2;
constexpr int kLoops = 4;
constexpr int kSwitchCombinations = 64;
constexpr int kEnvelopeNames = 2;
constexpr const char* kEnvelopeName[kEnvelopeNames] = {"volume", "panning"};

struct Envelope {
    int points; // as the library keeps them: at most 12, switched off below 2
    int type;
    int sustain;
    int loop_start;
    int loop_end;
};

// An instrument as the library holds it after loading.
struct Instrument {
    std::array<Uint16, kNotes> sample; // module-wide sample number of each note
    Envelope envelopes[kEnvelopeNames];
    std::bitset<kNotes> sampled; // the notes it has a sample for
    int switches;                // its envelope types as a channel takes them over
    Uint64 faulting; // the switch combinations under which starting its envelopes faults
};

// What the player needs of one cell.
struct Cell {
    Uint8 note;
    Uint8 instrument;
    Uint8 effect;
    Uint8 parameter;
};

// A pattern as the library holds it: rows, and its cells row by row (all empty past them). Then
// where its jumps may lead (see play_on): the rows the next pattern may start at, the rows a
// pattern loop may go back to, and whether a break may be pending when a position jump comes.
struct Pattern {
    int rows;
    std::vector<Cell> cells;
    std::vector<int> next_rows;
    std::vector<int> loop_rows;
    bool breaks;
};

// Where the loader reads a sample's data from (in older versions, counted from the patterns'
// end), and how much.
struct SampleData {
    Sint64 from;
    Uint32 bytes;
    bool sixteen_bits;
};

// Everything a channel may hold at one point of the song, for every way the song may have come
// there: the instrument it plays (kNoInstrument before any), the number of the last one named
// (counted from 0), which the player takes for a sample while it has none, its last note and its
// switches.
constexpr int kNoInstrument = kMaxInstruments;
struct ChannelState {
    std::bitset<kMaxInstruments + 1> instruments;
    std::bitset<kMaxInstruments> named;
    std::bitset<kNotes> notes;
    Uint64 switches; // bit s set: switch combination s
};

// The file being read, and why it was refused once it is.
struct TuneWalk {
    SDL_RWops* stream;
    Sint64 size;
    char reason[200];
    int version;
    int channels;
    std::vector<int> positions; // the pattern of each order, the empty one past the last
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
    int samples; // in the whole module
    std::vector<SampleData> sample_data;
};

} // namespace

// The count bytes at offset into out; past the file's end they read as the library's reader
// gives them there, all bits set. The offset just past them.
static Sint64 read_at(const TuneWalk& walk, Sint64 offset, Uint8* out, int count)
{
    if (count == 0) return offset;
    std::memset(out, 0xFF, static_cast<size_t>(count));
    if (offset < walk.size && SDL_RWseek(walk.stream, static_cast<int>(offset), RW_SEEK_SET) >= 0)
        SDL_RWread(walk.stream, out, 1,
                   static_cast<int>(std::min<Sint64>(count, walk.size - offset)));
    return offset + count;
}

static Uint32 little_endian(const Uint8* bytes, int count)
{
    Uint32 value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The bytes of a cell at data (left of them to read), or 0 when it runs past them. A byte with
// bit 7 set says which of the five fields follow; any other byte is the note of a full cell.
static int read_cell(const Uint8* data, long left, Cell& cell)
{
    constexpr Uint8 kPacked = 0x80;
    constexpr int kFields = 5;
    cell = {};
    Uint8* const fields[kFields] = {&cell.note, &cell.instrument, nullptr, &cell.effect,
                                    &cell.parameter};
    const bool packed = (data[0] & kPacked) != 0;
    int bytes = packed ? 1 : 0;
    for (int field = 0; field < kFields; ++field) {
        if (packed && (data[0] >> field & 1) == 0) continue;
        if (bytes >= left) return 0;
        if (fields[field] != nullptr) *fields[field] = data[bytes];
        ++bytes;
    }
    return bytes;
}

// The library's loader reading the patterns from at: the offset after them, or -1 where the
// loader refuses the module.
static Sint64 load_patterns(TuneWalk& walk, Sint64 at, int count)
{
    const bool old = walk.version == 0x0102;
    for (int p = 0; p < count; ++p) {
        Uint8 header[kPatternHeaderBytes];
        read_at(walk, at, header, kPatternHeaderBytes);
        const Uint32 header_bytes = little_endian(header, 4);
        const int rows =
            old ? header[kRowsAt] + 1 : static_cast<int>(little_endian(header + kRowsAt, 2));
        const int size_at = old ? kPackedSizeAtIn0102 : kPackedSizeAt;
        // The loader takes the packed size for a signed one and refuses it negative.
        const long packed = static_cast<Sint16>(little_endian(header + size_at, 2));
        const Uint32 least = old ? kPatternHeaderBytes - 1 : kPatternHeaderBytes;
        if (header_bytes < least || header[kPackingAt] != 0) return -1;
        at += header_bytes;
        Pattern pattern{rows, {}, {}, {}, false};
        // A pattern without rows reads nothing more, not even the cells its header announces.
        if (rows > 0) {
            if (packed < 0 || at + packed >= walk.size) return -1;
            std::vector<Uint8> data(static_cast<size_t>(packed));
            read_at(walk, at, data.data(), static_cast<int>(packed));
            Cell cell;
            // The loader reads cells until the rows are full or the data ends, and skips the rest.
            for (long read = 0; pattern.cells.size() < static_cast<size_t>(rows) * walk.channels &&
                                read < packed;) {
                const int bytes = read_cell(data.data() + read, packed - read, cell);
                if (bytes == 0) return -1;
                read += bytes;
                pattern.cells.push_back(cell);
            }
            at += packed;
        }
        walk.patterns.push_back(std::move(pattern));
    }
    return at;
}

// Whether a point of an envelope lies past the library's instrument table from its last record.
// The library keeps each instrument in a 784-byte record (on 64-bit systems), with the volume
// points from byte 388 and the panning points from byte 522, four bytes a point, and reads the
// point an envelope sustains at or loops from without checking it against the point count.
static bool past_the_table(int envelope, int point, int bytes_read)
{
    constexpr int kRecordBytes = 784;
    constexpr int kPointsFrom[kEnvelopeNames] = {388, 522};
    constexpr int kPointBytes = 4;
    return kPointsFrom[envelope] + kPointBytes * point + bytes_read > kRecordBytes;
}

// How starting envelope e of an instrument, under a channel's type bits for it, reads outside
// the table: with no points it reads 256 KB away; from the last instrument it reads the point it
// sustains at, and, once its loop's end is reached, the point it loops from and the position of
// the next one.
enum class Outside { kNot, kNoPoints, kSustain, kLoop };

static Outside starts_outside(const Envelope& envelope, int e, int type, bool last)
{
    constexpr int kPointBytes = 4;
    constexpr int kPositionBytes = 2;
    if ((type & kOn) == 0) return Outside::kNot;
    if (envelope.points == 0) return Outside::kNoPoints;
    if (!last) return Outside::kNot;
    if ((type & kSustains) != 0 && past_the_table(e, envelope.sustain, kPointBytes))
        return Outside::kSustain;
    const bool loop_reached = (type & kLoops) != 0 && envelope.loop_end < envelope.points;
    if (loop_reached && (past_the_table(e, envelope.loop_start, kPointBytes) ||
                         (envelope.loop_start != envelope.loop_end &&
                          past_the_table(e, envelope.loop_start + 1, kPositionBytes))))
        return Outside::kLoop;
    return Outside::kNot;
}

// The switch combinations under which starting an instrument's envelopes reads outside.
static Uint64 faulting_switches(const Instrument& instrument, bool last)
{
    Uint64 faulting = 0;
    for (int switches = 0; switches < kSwitchCombinations; ++switches)
        for (int e = 0; e < kEnvelopeNames; ++e)
            if (starts_outside(instrument.envelopes[e], e, switches >> (3 * e), last) !=
                Outside::kNot)
                faulting |= Uint64{1} << switches;
    return faulting;
}

// The envelopes of a sampled instrument header as the loader keeps them.
static void load_envelopes(Instrument& instrument, const Uint8* header)
{
    instrument.switches = 0;
    for (int e = 0; e < kEnvelopeNames; ++e) {
        Envelope& envelope = instrument.envelopes[e];
        envelope.points = std::min<int>(header[kPointCountAt + e], kMaxPoints);
        envelope.type = header[kTypeAt + e] & (kOn | kSustains | kLoops);
        if (envelope.points < 2) envelope.type &= ~kOn;
        envelope.sustain = header[kSustainAt + 3 * e];
        envelope.loop_start = header[kSustainAt + 3 * e + 1];
        envelope.loop_end = header[kSustainAt + 3 * e + 2];
        instrument.switches |= envelope.type << (3 * e);
    }
}

// The library's loader reading count instruments from at: the offset after them, or -1 where
// the loader refuses the module. Where a header runs past the file's end the loader stops, and
// keeps that instrument without samples and every later one as it made it: without envelopes,
// playing the sample numbered like the instrument (counted from 0) for every note.
static Sint64 load_instruments(TuneWalk& walk, Sint64 at, int count)
{
    Instrument unsampled{};
    unsampled.sample.fill(kNoSample);
    walk.instruments.assign(static_cast<size_t>(count), Instrument{});
    for (int i = 0; i < count; ++i)
        walk.instruments[static_cast<size_t>(i)].sample.fill(static_cast<Uint16>(i));
    Sint64 data_bytes = 0; // before version 0x0104, from the first sample's data
    for (int i = 0; i < count; ++i) {
        Instrument& instrument = walk.instruments[static_cast<size_t>(i)];
        instrument = unsampled;
        Uint8 header[kSampledHeaderBytes];
        read_at(walk, at, header, kSampledHeaderBytes);
        const Uint32 header_bytes = little_endian(header, 4);
        const Sint64 end = at + header_bytes;
        constexpr int kSizeBytes = 4;
        if (end > walk.size || header_bytes < kSizeBytes) // the loader stops after the size
            return std::min<Sint64>(at + kSizeBytes, walk.size);
        const int samples = static_cast<int>(little_endian(header + kSampleCountAt, 2));
        // The loader takes the header size for a signed 16-bit value here.
        if (static_cast<Sint16>(header_bytes) <= kSampledHeaderAt) {
            at = std::min<Sint64>(at + kSampledHeaderAt, walk.size);
            continue;
        }
        if (samples < 1 || samples > kMaxSamples) {
            const Sint64 read = std::min<Sint64>(at + kNoteMapAt, walk.size);
            if (end < read) return read; // the loader stops there
            if (end >= walk.size && (walk.version < 0x0104 || i < count - 1)) return -1;
            at = end;
            continue;
        }
        at = std::max<Sint64>(at + kSampledHeaderBytes, end);
        if (at >= walk.size) return -1;
        for (int n = 0; n < kNotes; ++n)
            instrument.sample[static_cast<size_t>(n)] =
                static_cast<Uint16>(header[kNoteMapAt + n] + walk.samples);
        load_envelopes(instrument, header);
        const size_t first = walk.sample_data.size();
        for (int s = 0; s < samples; ++s, at += kSampleHeaderBytes) {
            if (at + kSampleHeaderBytes > walk.size) return -1;
            Uint8 sample[kSampleTypeAt + 1];
            read_at(walk, at, sample, kSampleTypeAt + 1);
            walk.sample_data.push_back({data_bytes, little_endian(sample, 4),
                                        (sample[kSampleTypeAt] & kSixteenBits) != 0});
            data_bytes += little_endian(sample, 4);
        }
        walk.samples += samples;
        if (walk.version < 0x0104) continue;
        for (size_t s = first; s < walk.sample_data.size(); ++s) walk.sample_data[s].from += at;
        at += data_bytes;
        data_bytes = 0;
    }
    return at;
}

// The effects that move the player.
constexpr int kJump = 0xB;  // to order xx
constexpr int kBreak = 0xD; // on to row xx of the next pattern
constexpr int kExtended = 0xE;
constexpr int kPatternLoop = 0x6; // E6x, x > 0: back x times; E60: the row to go back to
constexpr int kRetrigger = 0x9;   // E9x

static int break_row(const Cell& cell)
{
    const int tens = cell.parameter >> 4;
    const int ones = cell.parameter & 0xF;
    if (tens > 9 || ones > 9) return cell.parameter; // not written in decimal
    return tens * 10 + ones;
}

static void note_jumps(Pattern& pattern, int channels)
{
    pattern.next_rows = {0};
    pattern.loop_rows = {0};
    for (size_t c = 0; c < pattern.cells.size(); ++c) {
        const Cell& cell = pattern.cells[c];
        const int row = static_cast<int>(c) / channels;
        if (cell.effect == kBreak)
            pattern.next_rows.push_back(std::min(break_row(cell), pattern.rows) % pattern.rows);
        if (cell.effect == kExtended && cell.parameter == kPatternLoop << 4) {
            pattern.next_rows.push_back(row); // a quirk the player copies
            pattern.loop_rows.push_back(row);
        }
    }
    pattern.breaks = pattern.next_rows.size() > 1;
}

// The library's loader: false where it refuses the module itself.
static bool load_module(TuneWalk& walk)
{
    Uint8 header[kOrdersAt];
    read_at(walk, 0, header, kOrdersAt);
    walk.version = static_cast<int>(little_endian(header + kVersionAt, 2));
    const Uint32 header_bytes = little_endian(header + kHeaderSizeAt, 4);
    const int orders = static_cast<int>(little_endian(header + kSongLengthAt, 2));
    const int restart = static_cast<int>(little_endian(header + kRestartAt, 2));
    walk.channels = static_cast<int>(little_endian(header + kChannelsAt, 2));
    const int patterns = static_cast<int>(little_endian(header + kPatternsAt, 2));
    const int instruments = static_cast<int>(little_endian(header + kInstrumentsAt, 2));
    const int speed = static_cast<int>(little_endian(header + kSpeedAt, 2));
    const int tempo = static_cast<int>(little_endian(header + kTempoAt, 2));
    constexpr Uint32 kFieldsBeforeOrders = 20;
    constexpr int kMaxSpeed = 32;
    constexpr int kMinTempo = 32;
    constexpr int kMaxTempo = 255;
    constexpr int kMaxRestart = 255;
    if (walk.version < 0x0102 || walk.version > 0x0104 || walk.channels > kMaxChannels ||
        speed > kMaxSpeed || tempo < kMinTempo || tempo > kMaxTempo || orders > kMaxOrders ||
        header_bytes < kFieldsBeforeOrders || header_bytes > kFieldsBeforeOrders + kMaxOrders ||
        patterns > kMaxPatterns || instruments > kMaxInstruments || restart > kMaxRestart)
        return false;
    const Sint64 first = kHeaderSizeAt + header_bytes;
    if (first >= walk.size) return false;
    // Order table bytes past the file's end are left as the loader cleared them.
    Uint8 order[kMaxOrders] = {};
    SDL_RWseek(walk.stream, kOrdersAt, RW_SEEK_SET);
    SDL_RWread(walk.stream, order, 1, orders);
    // An order past the last pattern plays an empty one the loader adds.
    for (int o = 0; o < orders; ++o) walk.positions.push_back(std::min<int>(order[o], patterns));
    Sint64 at = first;
    if (walk.version == 0x0104) {
        at = load_patterns(walk, at, patterns);
        at = at < 0 ? at : load_instruments(walk, at, instruments);
    } else {
        at = load_instruments(walk, at, instruments);
        at = at < 0 ? at : load_patterns(walk, at, patterns);
    }
    if (at < 0 || walk.samples == 0) return false;
    // The loader reads sample data 2048 frames at a time and refuses the module when a read
    // would start at or past the file's end.
    constexpr Sint64 kFramesRead = 2048;
    for (const SampleData& sample : walk.sample_data) {
        const Sint64 frames = sample.sixteen_bits ? sample.bytes / 2 : sample.bytes;
        const Sint64 read_bytes = sample.sixteen_bits ? 2 * kFramesRead : kFramesRead;
        const Sint64 from = walk.version < 0x0104 ? at + sample.from : sample.from;
        if (frames > 0 && from + (frames - 1) / kFramesRead * read_bytes >= walk.size) return false;
    }
    constexpr int kEmptyPatternRows = 64;
    walk.patterns.push_back({kEmptyPatternRows, {}, {}, {}, false});
    for (Pattern& pattern : walk.patterns) note_jumps(pattern, walk.channels);
    for (int i = 0; i < instruments; ++i) {
        Instrument& instrument = walk.instruments[static_cast<size_t>(i)];
        for (int n = 0; n < kNotes; ++n)
            instrument.sampled[static_cast<size_t>(n)] =
                instrument.sample[static_cast<size_t>(n)] < walk.samples;
        instrument.faulting = faulting_switches(instrument, i == instruments - 1);
    }
    return true;
}

[[gnu::format(printf, 2, 3)]] static bool refuse(TuneWalk& walk, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(walk.reason, sizeof walk.reason, format, arguments);
    va_end(arguments);
    return false;
}

// Refuses the module for starting the envelopes of instrument `number` on a note (0 = C-0) under
// a switch combination that faults: its own, or, where it has no sample for the note, those the
// channel kept from an earlier instrument.
static bool refuse_start(TuneWalk& walk, int number, int note, int switches, bool own, int order,
                         int row, int channel)
{
    static constexpr char kNoteNames[] = "C-C#D-D#E-F-F#G-G#A-A#B-";
    const int instruments = static_cast<int>(walk.instruments.size());
    const Instrument& instrument = walk.instruments[static_cast<size_t>(number - 1)];
    int e = 0;
    Outside outside = Outside::kNot;
    for (; e < kEnvelopeNames && outside == Outside::kNot; ++e)
        outside =
            starts_outside(instrument.envelopes[e], e, switches >> (3 * e), number == instruments);
    const Envelope& envelope = instrument.envelopes[--e];
    if (!own)
        return refuse(walk,
                      "order %d, row %d, channel %d plays %.2s%d on instrument %d, which has no "
                      "sample for that note, after an instrument with a %s envelope",
                      order, row, channel + 1, kNoteNames + 2 * (note % 12), note / 12, number,
                      kEnvelopeName[e]);
    const bool sustain = outside == Outside::kSustain;
    return refuse(walk,
                  "the %s envelope of instrument %d, the last, %s point %d, past the end of the "
                  "library's instrument table",
                  kEnvelopeName[e], number, sustain ? "sustains at" : "loops from",
                  sustain ? envelope.sustain : envelope.loop_start);
}

// Plays one cell on a channel as the player does: an instrument number within the count makes
// that instrument the channel's, a note 1..96 becomes its note, and when either comes the
// channel takes the instrument's envelope switches over if it has a sample for the note, and
// otherwise keeps its own. A note, or a retrigger (effect E9x), starts the envelopes of the
// channel's instrument under the channel's switches. False, with the reason, where that faults.
static bool play_cell(TuneWalk& walk, ChannelState& channel, const Cell& cell, int order, int row,
                      int number)
{
    const int instruments = static_cast<int>(walk.instruments.size());
    const bool note = cell.note >= 1 && cell.note <= kNotes;
    const bool named = cell.instrument >= 1 && cell.instrument <= instruments;
    const bool retrigger = cell.effect == kExtended && cell.parameter >> 4 == kRetrigger;
    const bool takes = note || named;
    if (!takes && !retrigger) return true;
    ChannelState next = channel;
    if (named) next.instruments.reset().set(static_cast<size_t>(cell.instrument - 1));
    if (named) next.named.reset().set(static_cast<size_t>(cell.instrument - 1));
    // With no instrument, which is so again where the library starts over, a note plays the
    // sample numbered like the last instrument named.
    for (int i = walk.samples; note && !named && next.instruments[kNoInstrument] && i < instruments;
         ++i)
        if (next.named[static_cast<size_t>(i)])
            return refuse(walk,
                          "order %d, row %d, channel %d plays a note without an instrument as the "
                          "song starts over, which the library plays as sample %d of %d",
                          order, row, number + 1, i + 1, walk.samples);
    if (note) next.notes.reset().set(static_cast<size_t>(cell.note - 1));
    if (takes) next.switches = next.instruments[kNoInstrument] ? 1 : 0; // none: all off
    for (int i = 0; i < instruments; ++i) {
        if (!next.instruments[static_cast<size_t>(i)]) continue;
        const Instrument& instrument = walk.instruments[static_cast<size_t>(i)];
        const std::bitset<kNotes> found = next.notes & instrument.sampled;
        const std::bitset<kNotes> missed = next.notes & ~instrument.sampled;
        const Uint64 own = Uint64{1} << instrument.switches;
        if (takes) next.switches |= (found.any() ? own : 0) | (missed.any() ? channel.switches : 0);
        if (!note && !retrigger) continue;
        for (const bool taken : {true, false}) {
            const Uint64 faulting = (taken ? own : channel.switches) & instrument.faulting;
            const std::bitset<kNotes>& notes = taken ? found : missed;
            if (faulting == 0 || notes.none()) continue;
            int switches = 0;
            while ((faulting >> switches & 1) == 0) ++switches;
            int n = 0;
            while (!notes[static_cast<size_t>(n)]) ++n;
            return refuse_start(walk, i + 1, n, switches, taken, order, row, number);
        }
    }
    channel = next;
    return true;
}

// What every channel may hold where the song comes to some row, over all ways there.
using Song = std::vector<ChannelState>;

// Joins what a channel may hold from another way there; whether that added anything.
static bool join(ChannelState& into, const ChannelState& from)
{
    const ChannelState before = into;
    into.instruments |= from.instruments;
    into.named |= from.named;
    into.notes |= from.notes;
    into.switches |= from.switches;
    return into.instruments != before.instruments || into.named != before.named ||
           into.notes != before.notes || into.switches != before.switches;
}

// The rows of the song the player may come to, each with what the channels may hold there, and
// those still to be played on from.
struct SongFlow {
    std::map<std::pair<int, int>, Song> rows; // by order position and row
    std::vector<std::pair<int, int>> pending;
    Song restart; // as the library starts over: no instrument, the last named and note kept
    long cells_played;
};

static void come_to(SongFlow& flow, int position, int row, const Song& song)
{
    const auto [entry, made] = flow.rows.try_emplace({position, row}, song);
    bool grown = made;
    for (size_t c = 0; c < song.size() && !made; ++c) grown |= join(entry->second[c], song[c]);
    if (grown) flow.pending.push_back({position, row});
}

// Where the player goes once the pattern at position ends: row `row` of the next one, or, past
// that pattern's rows, the start of the one after; past the last order it starts over.
static void go_on(const TuneWalk& walk, SongFlow& flow, int position, int row, const Song& song)
{
    const int positions = static_cast<int>(walk.positions.size());
    if (position >= positions) {
        bool grown = false;
        for (size_t c = 0; c < song.size(); ++c) {
            ChannelState again = flow.restart[c];
            again.named |= song[c].named;
            again.notes |= song[c].notes;
            grown |= join(flow.restart[c], again);
        }
        if (grown) go_on(walk, flow, 0, 0, flow.restart);
        return;
    }
    const int rows =
        walk.patterns[static_cast<size_t>(walk.positions[static_cast<size_t>(position)])].rows;
    if (row < rows)
        come_to(flow, position, row, song);
    else if (rows > 0)
        go_on(walk, flow, position + 1, 0, song); // a pattern without rows holds the player
}

// Plays on from one row the song comes to, up to the end of its pattern, a jump or a row it comes
// to from elsewhere too, as the player does; false where a cell faults. A position jump goes to
// its order, but not backwards unless a break may be pending; a pattern break leaves for the
// next pattern; a pattern loop goes back to its channel's last E60, or the pattern's start, or on.
static bool play_on(TuneWalk& walk, SongFlow& flow, int position, int first_row)
{
    const int positions = static_cast<int>(walk.positions.size());
    const int channels = walk.channels;
    const Pattern& pattern =
        walk.patterns[static_cast<size_t>(walk.positions[static_cast<size_t>(position)])];
    const size_t cells = pattern.cells.size();
    Song song = flow.rows.at({position, first_row});
    for (int row = first_row; row < pattern.rows; ++row) {
        const size_t from = static_cast<size_t>(row) * channels;
        if (from >= cells) break; // empty rows to the pattern's end
        if (row > first_row && flow.rows.count({position, row}) != 0) {
            come_to(flow, position, row, song); // played on from there
            return true;
        }
        bool ends = false;    // the player leaves the pattern after this row,
        bool may_stay = true; // unless all it has is a jump to its own order, which it may skip
        for (int c = 0; c < channels && from + c < cells; ++c)
            if (!play_cell(walk, song[static_cast<size_t>(c)], pattern.cells[from + c], position,
                           row, c))
                return false;
        for (int c = 0; c < channels && from + c < cells; ++c) {
            const Cell& cell = pattern.cells[from + c];
            if (cell.effect == kJump &&
                ((cell.parameter > position && position < positions - 1) || pattern.breaks))
                for (const int next : pattern.next_rows)
                    go_on(walk, flow, cell.parameter, next, song);
            ends |= cell.effect == kJump || cell.effect == kBreak;
            may_stay &=
                cell.effect != kBreak && (cell.effect != kJump || cell.parameter == position);
            if (cell.effect == kExtended && cell.parameter >> 4 == kPatternLoop &&
                (cell.parameter & 0xF) != 0) {
                for (const int back : pattern.loop_rows) come_to(flow, position, back, song);
                come_to(flow, position, row, song);
            }
        }
        flow.cells_played += channels;
        if (ends) {
            for (const int next : pattern.next_rows) go_on(walk, flow, position + 1, next, song);
            if (!may_stay) return true;
        }
    }
    for (const int next : pattern.next_rows) go_on(walk, flow, position + 1, next, song);
    return true;
}

// Follows the order table from its first entry, row by row, channel by channel, as the player
// does, over every way the song may go, and again as the library starts over.
static bool play_orders(TuneWalk& walk)
{
    ChannelState first{};
    first.instruments.set(kNoInstrument);
    first.named.set(0);
    first.notes.set(0);
    first.switches = 1;
    SongFlow flow{};
    flow.restart.assign(static_cast<size_t>(walk.channels), first);
    go_on(walk, flow, 0, 0, flow.restart);
    // Far more than any song people make needs; a tangle of jumps past it is refused unfollowed.
    constexpr long kMostCellsPlayed = 16'000'000;
    constexpr size_t kMostRowsComeTo = 8192;
    while (!flow.pending.empty()) {
        const auto [position, row] = flow.pending.back();
        flow.pending.pop_back();
        if (!play_on(walk, flow, position, row)) return false;
        if (flow.cells_played > kMostCellsPlayed || flow.rows.size() > kMostRowsComeTo)
            return refuse(walk, "its jumps are too many to follow");
    }
    return true;
}

bool check_tune(const char* path)
{
    SDL_RWops* stream = SDL_RWFromFile(path, "rb");
    if (stream == nullptr) return true; // a missing tune is the library's to refuse, silently
    constexpr char kMagic[] = "Extended Module: ";
    constexpr Uint8 kMark = 0x1A;
    Uint8 start[kMarkAt + 1] = {};
    const bool module = SDL_RWread(stream, start, 1, sizeof start) == sizeof start &&
                        std::memcmp(start + kMagicAt, kMagic, sizeof kMagic - 1) == 0 &&
                        start[kMarkAt] == kMark;
    TuneWalk walk{};
    walk.stream = stream;
    walk.size = SDL_RWseek(stream, 0, RW_SEEK_END);
    // Other files, and modules the library refuses itself, go to it as they are; a module
    // without channels plays nothing.
    const bool valid = !module || !load_module(walk) || walk.channels == 0 || play_orders(walk);
    SDL_RWclose(stream);
    if (!valid) std::fprintf(stderr, "cardioid: not playing \"%s\": %s\n", path, walk.reason);
    return valid;
}
