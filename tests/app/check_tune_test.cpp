// The tune check: damaged modules are refused with one line naming the file, every sound one is
// passed and loads in the library, and other files pass unread.
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

// Passed, silently, and the library loads it.
void expect_sound(const std::string& what)
{
    const Checked checked = check();
    EXPECT_TRUE(checked.passed) << what << ": " << checked.err;
    EXPECT_EQ(checked.err, "") << what;
    Mix_Music* music = Mix_LoadMUS("sfx.xm");
    EXPECT_NE(music, nullptr) << what << ": " << Mix_GetError();
    Mix_FreeMusic(music);
}

void expect_reason(const std::string& what, const std::string& reason)
{
    const Checked checked = check();
    EXPECT_FALSE(checked.passed) << what;
    EXPECT_EQ(checked.err, "cardioid: not playing \"sfx.xm\": " + reason + "\n") << what;
}

void expect_refused(const std::string& what)
{
    const Checked checked = check();
    EXPECT_FALSE(checked.passed) << what;
    EXPECT_NE(checked.err.find("\"sfx.xm\""), std::string::npos) << what << ": " << checked.err;
    EXPECT_EQ(checked.err.find('\n'), checked.err.size() - 1) << what << ": " << checked.err;
}

// A small module laid out at known offsets: the 336-byte header, one pattern of one row of two
// cells (9-byte header, 4 bytes of data: a note, then an empty cell), one instrument with one
// looped 16-bit sample.
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

TEST_F(CheckTune, EveryCutOfTheCommittedTuneIsRefusedWithAMessage)
{
    const std::vector<uint8_t> tune = read_bytes(CARDIOID_ASSETS "/sfx.xm");
    ASSERT_GT(tune.size(), 100000u);
    write_bytes(tune);
    expect_sound("the whole tune");
    constexpr size_t kStep = 1024;
    for (size_t size = kStep; size < tune.size(); size += kStep) {
        write_bytes(tune, size);
        expect_refused("cut to " + std::to_string(size) + " bytes");
    }
}

TEST_F(CheckTune, PassesEveryShapeOfSoundModule)
{
    for (int channels : {2, 8, 12, 32}) {
        write_bytes(xm_bytes(small_module(channels)));
        expect_sound(std::to_string(channels) + " channels");
    }
    // A pattern stored with no data at all is an empty one.
    std::vector<uint8_t> empty_pattern = xm_bytes(small_module());
    empty_pattern[kPattern + 7] = 0;
    empty_pattern.erase(empty_pattern.begin() + kInstrument - kPatternData,
                        empty_pattern.begin() + kInstrument);
    write_bytes(empty_pattern);
    expect_sound("an empty pattern");
    // An instrument without samples ends after its 29-byte header; a sampled one follows.
    std::vector<uint8_t> two = xm_bytes(small_module());
    two[72] = 2;
    const uint8_t no_samples[29] = {29, 0, 0, 0, 'q', 'u', 'i', 'e', 't'};
    two.insert(two.begin() + kInstrument, std::begin(no_samples), std::end(no_samples));
    write_bytes(two);
    expect_sound("an instrument without samples");
    // Bytes after the last sample are no part of the module.
    std::vector<uint8_t> trailing = xm_bytes(small_module());
    trailing.insert(trailing.end(), 300, 0x55);
    write_bytes(trailing);
    expect_sound("trailing bytes");
}

TEST_F(CheckTune, RefusesAnInconsistentModule)
{
    const std::vector<uint8_t> sound = xm_bytes(small_module());
    ASSERT_EQ(sound.size(), kSampleData + 2 * kFrames);
    struct Damage {
        const char* what;
        size_t at;
        uint32_t value;
        bool wide;
    };
    for (const Damage& damage : {
             Damage{"version 0x0103", 58, 0x0103, false},
             Damage{"a header size past the end", 60, 0xFFFFFFF0, true},
             Damage{"no orders", 64, 0, false},
             Damage{"more channels than the pattern holds", 68, 4, false},
             Damage{"a second pattern that is not there", 70, 2, false},
             Damage{"a second instrument that is not there", 72, 2, false},
             Damage{"a pattern header too short", kPattern, 8, true},
             Damage{"a pattern header past the end", kPattern, 0xFFFFFFFF, true},
             Damage{"no rows", kPattern + 5, 0, false},
             Damage{"pattern data ending inside a cell", kPattern + 7, 3, false},
             Damage{"pattern data running into the instrument", kPattern + 7, 6, false},
             Damage{"an instrument header past the end", kInstrument, 0xFFFFFFF0, true},
             Damage{"a sampled instrument with a short header", kInstrument, 33, true},
             Damage{"17 samples", kInstrument + 27, 17, false},
             Damage{"13 envelope points", kInstrument + 225, 13, false},
             Damage{"a sample longer than the file", kSampleHeader, 2 * kFrames + 2, true},
             Damage{"a sample of 4 GB", kSampleHeader, 0xFFFFFFFF, true},
             Damage{"a loop past its sample", kSampleHeader + 8, 2 * kFrames, true},
         }) {
        std::vector<uint8_t> damaged = sound;
        if (damage.wide)
            put32(damaged, damage.at, damage.value);
        else
            damaged.at(damage.at) = static_cast<uint8_t>(damage.value);
        write_bytes(damaged);
        expect_refused(damage.what);
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

// Values the library's player reads past its tables with, each beside one just inside.
TEST_F(CheckTune, RefusesWhatTheLibraryReadsPastItsTablesWith)
{
    // It skips a packed sample's unpacked length, misplacing everything after it.
    constexpr size_t kPackedBytes = 16 + kFrames; // the table, then two frames a byte
    std::vector<uint8_t> packed = xm_bytes(small_module());
    packed[kSampleHeader + 17] = 0xAD;
    packed.resize(kSampleData + kPackedBytes);
    write_bytes(packed);
    expect_sound("a packed sample last");
    XmModule two = small_module();
    two.instruments.push_back(two.instruments[0]);
    packed = xm_bytes(two);
    packed[kSampleHeader + 17] = 0xAD;
    packed.erase(packed.begin() + kSampleData + kPackedBytes,
                 packed.begin() + kSampleData + 2 * kFrames);
    write_bytes(packed);
    expect_reason("a packed sample first",
                  "a packed sample of instrument 1 is followed by more data");

    // It reads the point an envelope sustains at or loops from; its loop's end it only compares.
    constexpr size_t kPanningPoints = 226, kVolumeSustain = 227, kPanningLoop = 231;
    constexpr size_t kPanningType = 234;
    size_t at;
    std::vector<uint8_t> envelope = enveloped_module(at);
    envelope[at + kPanningPoints] = 2;
    envelope[at + kPanningLoop] = 1;       // from the second point
    envelope[at + kPanningLoop + 1] = 200; // to one it does not have
    envelope[at + kPanningType] = 0x05;    // on, looped
    write_bytes(envelope);
    expect_sound("whole envelopes");
    envelope[at + kPanningLoop] = 2;
    write_bytes(envelope);
    expect_reason("a panning loop from a third point",
                  "the panning envelope of instrument 1 loops from point 2 of 2");
    envelope = enveloped_module(at);
    envelope[at + kVolumeSustain] = 2;
    write_bytes(envelope);
    expect_reason("a volume sustain at a third point",
                  "the volume envelope of instrument 1 sustains at point 2 of 2");

    // A note with no sample keeps the envelope switches of the channel's last instrument but
    // takes the points, here none, of the one named.
    write_bytes(enveloped_module(at, {{49, 1}, {50, 2}}));
    expect_sound("a note on the instrument without samples in another channel");
    write_bytes(enveloped_module(at, {{49, 1}, {}, {0, 2}, {}}));
    expect_sound("the instrument without samples named in the same channel, with no note");
    write_bytes(enveloped_module(at, {{49, 1}, {}, {50, 2}, {}}));
    expect_reason("a note on it in the same channel",
                  "the patterns play note 50 on instrument 2, which has no sample for it");
    write_bytes(enveloped_module(at, {{49, 1}, {}, {0, 2}, {}, {51}, {}}));
    expect_reason("a later note alone in that channel",
                  "the patterns play note 51 on instrument 2, which has no sample for it");
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
    expect_sound("a note mapped to the next instrument's sample");
    map[note_49] = 2;
    write_bytes(map);
    expect_reason("a note mapped past the last sample",
                  "the patterns play note 49 on instrument 1, which has no sample for it");
}

} // namespace
