// The tune check: a module whose playing would make the library read outside its instrument
// table is refused with one line naming the file; every other module is left to the library,
// which loads it or refuses it itself; other files pass unread.
#include "sdl_test_support.h"
#include "tools/xm_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace test_support;

std::vector<uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::vector<uint8_t>& bytes, size_t count = SIZE_MAX)
{
    std::ofstream("sfx.xm", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(std::min(count, bytes.size())));
}

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

struct Checked {
    bool passed;
    std::string err;
};

Checked check()
{
    testing::internal::CaptureStderr();
    const bool passed = check_tune("sfx.xm");
    return {passed, testing::internal::GetCapturedStderr()};
}

// Passed, silently, and the library loads it or, where it refuses it itself, not.
void expect_valid(const std::string& what, bool loads = true)
{
    const Checked checked = check();
    EXPECT_TRUE(checked.passed) << what << ": " << checked.err;
    EXPECT_EQ(checked.err, "") << what;
    Mix_Music* music = Mix_LoadMUS("sfx.xm");
    EXPECT_EQ(music != nullptr, loads) << what << ": " << Mix_GetError();
    Mix_FreeMusic(music);
}

void expect_reason(const std::string& what, const std::string& reason)
{
    const Checked checked = check();
    EXPECT_FALSE(checked.passed) << what;
    EXPECT_EQ(checked.err, "cardioid: not playing \"sfx.xm\": " + reason + "\n") << what;
}

// A small module laid out at known offsets: the 336-byte header, one pattern of one row of two
// cells (9-byte header, 4 bytes of data: a note, then an empty cell), one instrument with one
// looped 16-bit sample.
constexpr size_t kOrders = 80;
constexpr size_t kPattern = 336;
constexpr size_t kPatternData = 4;
constexpr size_t kInstrument = kPattern + 9 + kPatternData;
constexpr size_t kSampleHeader = kInstrument + 263;
constexpr size_t kSampleData = kSampleHeader + 40;
constexpr int kFrames = 100;

XmModule small_module(int channels = 2)
{
    XmModule module;
    module.channels = channels;
    module.orders = {0};
    XmPattern pattern;
    pattern.rows = 1;
    pattern.cells.resize(static_cast<size_t>(channels));
    pattern.cells[0] = {49, 1, 0, 0, 0}; // C-4 on instrument 1
    module.patterns = {pattern};
    XmInstrument instrument;
    instrument.frames.assign(kFrames, 1000);
    instrument.loop_start = 10;
    instrument.loop_length = 90;
    module.instruments = {instrument};
    return module;
}

// The small module with a volume envelope that sustains at its second point, the given cells
// (two a row) and a second instrument, without samples. Its first instrument starts at offset
// instrument.
std::vector<uint8_t> enveloped_module(size_t& instrument,
                                      const std::vector<XmCell>& cells = {{49, 1}, {}})
{
    XmModule module = small_module();
    module.instruments[0].volume_envelope = {{0, 64}, {10, 32}};
    module.instruments[0].sustain_point = 1;
    module.patterns[0].rows = static_cast<int>(cells.size() / 2);
    module.patterns[0].cells = cells;
    std::vector<uint8_t> bytes = xm_bytes(module);
    instrument = bytes.size() - (kSampleData - kInstrument) - 2 * kFrames;
    bytes[72] = 2;
    const uint8_t no_samples[29] = {29};
    bytes.insert(bytes.end(), std::begin(no_samples), std::end(no_samples));
    return bytes;
}

class CheckTune : public ::testing::Test {
  protected:
    void SetUp() override
    {
        enter_scratch_dir();
        std::remove("sfx.xm"); // start-up itself checks the tune a previous test left
        start_test_display();  // the library loads what passes
    }
};

// The loader keeps a tune cut inside the data of its last samples, without the instrument the
// cut falls in or before, which the tune plays after one with an envelope.
TEST_F(CheckTune, RefusesCutsOfTheCommittedTuneOnlyWhereTheLibraryKeepsThem)
{
    const std::vector<uint8_t> tune = read_bytes(CARDIOID_ASSETS "/sfx.xm");
    ASSERT_GT(tune.size(), 100000u);
    write_bytes(tune);
    expect_valid("the whole tune");
    int refused = 0;
    constexpr size_t kStep = 1024;
    for (size_t size = kStep; size < tune.size(); size += kStep) {
        write_bytes(tune, size);
        const Checked checked = check();
        if (checked.passed) continue;
        ++refused;
        EXPECT_NE(checked.err.find("which has no sample for that note"), std::string::npos)
            << size << ": " << checked.err;
        Mix_Music* music = Mix_LoadMUS("sfx.xm");
        EXPECT_NE(music, nullptr) << size;
        Mix_FreeMusic(music);
    }
    EXPECT_GT(refused, 0);
}

TEST_F(CheckTune, PassesEveryShapeOfValidModule)
{
    for (int channels : {2, 8, 12, 32}) {
        write_bytes(xm_bytes(small_module(channels)));
        expect_valid(std::to_string(channels) + " channels");
    }
    // A pattern stored with no data at all is an empty one.
    std::vector<uint8_t> empty_pattern = xm_bytes(small_module());
    empty_pattern[kPattern + 7] = 0;
    empty_pattern.erase(empty_pattern.begin() + kInstrument - kPatternData,
                        empty_pattern.begin() + kInstrument);
    write_bytes(empty_pattern);
    expect_valid("an empty pattern");
    // An instrument without samples ends after its header, of 29, 33 or 263 bytes as trackers
    // write it; a sampled one follows.
    for (const uint32_t size : {29, 33, 263}) {
        std::vector<uint8_t> two = xm_bytes(small_module());
        two[72] = 2;
        std::vector<uint8_t> no_samples(size);
        put32(no_samples, 0, size);
        two.insert(two.begin() + kInstrument, no_samples.begin(), no_samples.end());
        write_bytes(two);
        expect_valid("an instrument without samples, " + std::to_string(size) + " bytes");
    }
    // Bytes after the last sample are no part of the module.
    std::vector<uint8_t> trailing = xm_bytes(small_module());
    trailing.insert(trailing.end(), 300, 0x55);
    write_bytes(trailing);
    expect_valid("trailing bytes");
}

// Damage the library loads safely, or refuses itself, reaches it.
TEST_F(CheckTune, LeavesToTheLibraryWhatItHandlesItself)
{
    const std::vector<uint8_t> valid = xm_bytes(small_module());
    ASSERT_EQ(valid.size(), kSampleData + 2 * kFrames);
    struct Damage {
        const char* what;
        size_t at;
        uint32_t value;
        bool wide;
        bool loads;
    };
    for (const Damage& damage : {
             Damage{"version 0x0103", 58, 0x0103, false, false},
             Damage{"a header size past the end", 60, 0xFFFFFFF0, true, false},
             Damage{"no orders", 64, 0, false, true},
             Damage{"more channels than the pattern holds", 68, 4, false, true},
             Damage{"a second pattern that is not there", 70, 2, false, false},
             Damage{"a second instrument that is not there", 72, 2, false, true},
             Damage{"a pattern header too short", kPattern, 8, true, false},
             Damage{"a pattern header past the end", kPattern, 0xFFFFFFFF, true, false},
             Damage{"no rows", kPattern + 5, 0, false, false},
             Damage{"pattern data ending inside a cell", kPattern + 7, 3, false, false},
             Damage{"pattern data running into the instrument", kPattern + 7, 6, false, false},
             Damage{"an instrument header past the end", kInstrument, 0xFFFFFFF0, true, false},
             Damage{"a sampled instrument with a short header", kInstrument, 33, true, true},
             Damage{"17 samples", kInstrument + 27, 17, false, false},
             Damage{"13 envelope points", kInstrument + 225, 13, false, true},
             Damage{"a sample longer than the file", kSampleHeader, 2 * kFrames + 2, true, true},
             Damage{"a sample of 4 GB", kSampleHeader, 0xFFFFFFFF, true, false},
             Damage{"a loop past its sample", kSampleHeader + 8, 2 * kFrames, true, true},
             Damage{"a loop from past its sample", kSampleHeader + 4, 4 * kFrames, true, true},
             Damage{"a sample marked packed", kSampleHeader + 17, 0xAD, false, true},
         }) {
        std::vector<uint8_t> damaged = valid;
        if (damage.wide)
            put32(damaged, damage.at, damage.value);
        else
            damaged.at(damage.at) = static_cast<uint8_t>(damage.value);
        write_bytes(damaged);
        expect_valid(damage.what, damage.loads);
    }
}

TEST_F(CheckTune, OtherFilesPassUnreadAndAMissingOneSilently)
{
    std::remove("sfx.xm");
    const Checked missing = check();
    EXPECT_TRUE(missing.passed);
    EXPECT_EQ(missing.err, "");
    const std::string not_modules[] = {"", "Extended Module", std::string(5000, '\x7f')};
    for (const std::string& content : not_modules) {
        std::ofstream("sfx.xm", std::ios::binary) << content;
        const Checked checked = check();
        EXPECT_TRUE(checked.passed) << content.size();
        EXPECT_EQ(checked.err, "") << content.size();
    }
}

// What makes the player read outside the library's instrument table, each beside the nearest
// shape that does not.
TEST_F(CheckTune, RefusesWhatTheLibraryReadsPastItsTablesWith)
{
    // From the last instrument's record it reads the point its envelope sustains at or, once the
    // loop's end is reached, loops from; the panning points lie nearer the record's end.
    constexpr size_t kPanningPoints = 226, kVolumeSustain = 227, kPanningLoop = 231;
    constexpr size_t kPanningType = 234;
    XmModule last = small_module();
    last.instruments[0].volume_envelope = {{0, 64}, {10, 32}};
    last.instruments[0].sustain_point = 98;
    std::vector<uint8_t> envelope = xm_bytes(last);
    write_bytes(envelope);
    expect_valid("a volume sustain at point 98 of the last instrument");
    envelope[kInstrument + kVolumeSustain] = 99;
    write_bytes(envelope);
    expect_reason("at point 99", "the volume envelope of instrument 1, the last, sustains at "
                                 "point 99, past the end of the library's instrument table");
    envelope = xm_bytes(small_module());
    envelope[kInstrument + kPanningPoints] = 2;
    envelope[kInstrument + kPanningType] = 0x05; // on, looped
    for (const uint8_t end : {200, 0}) {         // never reached, then reached at once
        envelope[kInstrument + kPanningLoop] = 64;
        envelope[kInstrument + kPanningLoop + 1] = end;
        write_bytes(envelope);
        expect_valid("a panning loop from point 64 to " + std::to_string(end));
    }
    envelope[kInstrument + kPanningLoop] = 65;
    write_bytes(envelope);
    expect_reason("from point 65", "the panning envelope of instrument 1, the last, loops from "
                                   "point 65, past the end of the library's instrument table");
    size_t at;
    envelope = enveloped_module(at);
    envelope[at + kVolumeSustain] = 200;
    write_bytes(envelope);
    expect_valid("a volume sustain at point 200 of an instrument before the last");

    // A note with no sample keeps the envelope switches of the channel's last instrument but
    // takes the points, here none, of the one named.
    write_bytes(enveloped_module(at, {{49, 1}, {50, 2}}));
    expect_valid("a note on the instrument without samples in another channel");
    write_bytes(enveloped_module(at, {{49, 1}, {}, {0, 2}, {}}));
    expect_valid("the instrument without samples named in the same channel, with no note");
    write_bytes(enveloped_module(at, {{50, 2}, {}, {49, 1}, {}}));
    expect_valid("a note on it before the instrument with the envelope, also when starting over");
    write_bytes(enveloped_module(at, {{49, 1}, {}, {51}, {}}));
    expect_valid("a note without an instrument after one with");
    const std::string none = "which has no sample for that note, after an instrument with a "
                             "volume envelope";
    std::vector<uint8_t> after = enveloped_module(at, {{49, 1}, {}, {50, 2}, {}});
    write_bytes(after);
    expect_reason("a note on it in the same channel",
                  "order 0, row 1, channel 1 plays C#4 on instrument 2, " + none);
    after[kOrders] = 1; // past the last pattern: the library plays an empty one
    write_bytes(after);
    expect_valid("the same in a pattern the order table never plays");
    write_bytes(enveloped_module(at, {{49, 1}, {}, {0, 2}, {}, {51}, {}}));
    expect_reason("a later note alone in that channel",
                  "order 0, row 2, channel 1 plays D-4 on instrument 2, " + none);
    // Starting over, the player forgets the channel's instrument but plays a note without one
    // on the sample numbered like the instrument last named there.
    write_bytes(enveloped_module(at, {{49}, {}, {50, 1}, {}}));
    expect_valid("a note without an instrument first, the channel's last instrument sampled");
    write_bytes(enveloped_module(at, {{49}, {}, {50, 2}, {}}));
    expect_reason("the channel's last instrument without samples",
                  "order 0, row 0, channel 1 plays a note without an instrument as the song "
                  "starts over, which the library plays as sample 2 of 1");
    // Samples are numbered through the module: past the instrument's own is the next one's.
    XmModule mapped = small_module();
    mapped.instruments.push_back(mapped.instruments[0]);
    mapped.instruments[1].volume_envelope = {{0, 64}, {10, 32}};
    mapped.patterns[0].rows = 2;
    mapped.patterns[0].cells = {{49, 2}, {}, {49, 1}, {}};
    std::vector<uint8_t> map = xm_bytes(mapped);
    constexpr size_t kMap = 33;
    const size_t note_49 = map.size() - 2 * (kSampleData - kInstrument + 2 * kFrames) + kMap + 48;
    map[note_49] = 1;
    write_bytes(map);
    expect_valid("a note mapped to the next instrument's sample");
    map[note_49] = 2;
    write_bytes(map);
    expect_reason("a note mapped past the last sample",
                  "order 0, row 1, channel 1 plays C-4 on instrument 1, " + none);
}

} // namespace
