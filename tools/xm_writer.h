// The Extended Module (version 0x0104) byte layout for the tune generator: header, packed
// patterns and one-sample instruments with 16-bit delta-coded sample data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct XmCell {
    uint8_t note = 0; // 1..96 = C-0..B-7, 97 = key-off, 0 = none
    uint8_t instrument = 0;
    uint8_t volume = 0; // volume column: 0x10 + v sets volume v
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells; // rows x channels, row by row
};

struct XmEnvelopePoint {
    uint16_t tick;
    uint16_t value; // 0..64
};

struct XmInstrument {
    std::string name;
    std::vector<int16_t> frames; // mono 16-bit PCM
    int loop_start = 0;          // in frames
    int loop_length = 0;         // in frames, 0 = one-shot
    uint8_t volume = 64;
    int8_t finetune = 0;      // 1/128 semitone
    int8_t relative_note = 0; // semitones
    uint8_t panning = 128;
    std::vector<XmEnvelopePoint> volume_envelope; // empty = envelope off
    int sustain_point = -1;                       // -1 = no sustain
    uint16_t fadeout = 0;
    uint8_t vibrato_sweep = 0; // auto-vibrato, always sine
    uint8_t vibrato_depth = 0;
    uint8_t vibrato_rate = 0;
};

struct XmModule {
    std::string name;
    int channels = 8;
    int speed = 6;
    int bpm = 125;
    std::vector<uint8_t> orders; // the whole list is the loop: restart position 0
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

inline void xm_put8(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
}

inline void xm_put16(std::vector<uint8_t>& out, uint32_t v)
{
    xm_put8(out, v & 0xFF);
    xm_put8(out, (v >> 8) & 0xFF);
}

inline void xm_put32(std::vector<uint8_t>& out, uint32_t v)
{
    xm_put16(out, v & 0xFFFF);
    xm_put16(out, v >> 16);
}

inline void xm_put_text(std::vector<uint8_t>& out, const std::string& text, size_t size)
{
    for (size_t i = 0; i < size; ++i) xm_put8(out, i < text.size() ? text[i] : 0);
}

inline void xm_put_pattern(std::vector<uint8_t>& out, const XmPattern& pattern)
{
    std::vector<uint8_t> packed;
    for (const XmCell& cell : pattern.cells) {
        // Packed form only: a flag byte says which of the five fields follow.
        const uint8_t flags = 0x80 | (cell.note ? 0x01 : 0) | (cell.instrument ? 0x02 : 0) |
                              (cell.volume ? 0x04 : 0) | (cell.effect ? 0x08 : 0) |
                              (cell.param ? 0x10 : 0);
        xm_put8(packed, flags);
        if (cell.note) xm_put8(packed, cell.note);
        if (cell.instrument) xm_put8(packed, cell.instrument);
        if (cell.volume) xm_put8(packed, cell.volume);
        if (cell.effect) xm_put8(packed, cell.effect);
        if (cell.param) xm_put8(packed, cell.param);
    }
    constexpr uint32_t kPatternHeaderBytes = 9;
    xm_put32(out, kPatternHeaderBytes);
    xm_put8(out, 0); // packing type
    xm_put16(out, static_cast<uint32_t>(pattern.rows));
    xm_put16(out, static_cast<uint32_t>(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
}

inline void xm_put_instrument(std::vector<uint8_t>& out, const XmInstrument& instrument)
{
    constexpr uint32_t kInstrumentHeaderBytes = 263;
    constexpr uint32_t kSampleHeaderBytes = 40;
    constexpr size_t kEnvelopePoints = 12;
    xm_put32(out, kInstrumentHeaderBytes);
    xm_put_text(out, instrument.name, 22);
    xm_put8(out, 0);  // type
    xm_put16(out, 1); // one sample
    xm_put32(out, kSampleHeaderBytes);
    for (int note = 0; note < 96; ++note) xm_put8(out, 0); // every note plays sample 0
    for (size_t i = 0; i < kEnvelopePoints; ++i) {
        const bool used = i < instrument.volume_envelope.size();
        xm_put16(out, used ? instrument.volume_envelope[i].tick : 0);
        xm_put16(out, used ? instrument.volume_envelope[i].value : 0);
    }
    for (size_t i = 0; i < kEnvelopePoints; ++i) {
        xm_put16(out, 0);
        xm_put16(out, 32);
    }
    const bool envelope_on = instrument.volume_envelope.size() >= 2;
    const bool sustain_on = envelope_on && instrument.sustain_point >= 0;
    xm_put8(out, static_cast<uint32_t>(instrument.volume_envelope.size()));
    xm_put8(out, 0); // panning points
    xm_put8(out, sustain_on ? static_cast<uint32_t>(instrument.sustain_point) : 0);
    xm_put8(out, 0); // volume loop start, end
    xm_put8(out, 0);
    xm_put8(out, 0); // panning sustain, loop start, end
    xm_put8(out, 0);
    xm_put8(out, 0);
    xm_put8(out, (envelope_on ? 1 : 0) | (sustain_on ? 2 : 0));
    xm_put8(out, 0); // panning envelope off
    xm_put8(out, 0); // sine auto-vibrato
    xm_put8(out, instrument.vibrato_sweep);
    xm_put8(out, instrument.vibrato_depth);
    xm_put8(out, instrument.vibrato_rate);
    xm_put16(out, instrument.fadeout);
    for (int i = 0; i < 22; ++i) xm_put8(out, 0); // reserved

    // 16-bit lengths and loop points are in bytes.
    const uint32_t frames = static_cast<uint32_t>(instrument.frames.size());
    const bool looped = instrument.loop_length > 0;
    xm_put32(out, frames * 2);
    xm_put32(out, looped ? static_cast<uint32_t>(instrument.loop_start) * 2 : 0);
    xm_put32(out, looped ? static_cast<uint32_t>(instrument.loop_length) * 2 : 0);
    xm_put8(out, instrument.volume);
    xm_put8(out, static_cast<uint8_t>(instrument.finetune));
    xm_put8(out, 0x10 | (looped ? 1 : 0)); // 16-bit, forward loop
    xm_put8(out, instrument.panning);
    xm_put8(out, static_cast<uint8_t>(instrument.relative_note));
    xm_put8(out, 0); // reserved: 0xAD would mean ADPCM
    xm_put_text(out, instrument.name, 22);

    int16_t previous = 0;
    for (const int16_t frame : instrument.frames) {
        xm_put16(out, static_cast<uint16_t>(frame - previous));
        previous = frame;
    }
}

inline std::vector<uint8_t> xm_bytes(const XmModule& module)
{
    std::vector<uint8_t> out;
    xm_put_text(out, "Extended Module: ", 17);
    xm_put_text(out, module.name, 20);
    xm_put8(out, 0x1A);
    xm_put_text(out, "cardioid make_tune", 20);
    xm_put16(out, 0x0104);
    // Counted from its own field: 4 + 16 bytes of fields + the full 256-entry order table,
    // which older readers always read whatever the song length.
    constexpr uint32_t kHeaderBytes = 276;
    xm_put32(out, kHeaderBytes);
    xm_put16(out, static_cast<uint32_t>(module.orders.size()));
    xm_put16(out, 0); // restart position
    xm_put16(out, static_cast<uint32_t>(module.channels));
    xm_put16(out, static_cast<uint32_t>(module.patterns.size()));
    xm_put16(out, static_cast<uint32_t>(module.instruments.size()));
    xm_put16(out, 1); // linear frequency table
    xm_put16(out, static_cast<uint32_t>(module.speed));
    xm_put16(out, static_cast<uint32_t>(module.bpm));
    for (size_t i = 0; i < 256; ++i) xm_put8(out, i < module.orders.size() ? module.orders[i] : 0);
    for (const XmPattern& pattern : module.patterns) xm_put_pattern(out, pattern);
    for (const XmInstrument& instrument : module.instruments) xm_put_instrument(out, instrument);
    return out;
}

// Writes the module to path. False on failure.
inline bool write_xm(const std::string& path, const XmModule& module)
{
    const std::vector<uint8_t> bytes = xm_bytes(module);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
