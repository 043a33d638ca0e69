// The tune behind "sfx.xm": the timing that make_tune.cpp composes to and the tests measure
// against, and the instruments that tune_synth.cpp synthesises for it.
#pragma once

#include "xm_writer.h"

#include <vector>

constexpr int kTuneChannels = 12;
constexpr int kTuneSpeed = 6; // ticks per row: a row is a sixteenth note
constexpr int kTuneBpm = 150; // a row lasts exactly 0.1 s
constexpr int kTuneRowsPerBar = 16;
// The zoom replaces the starfield 4 s after the music starts: the intro is two bars and a
// half-bar pickup, so the main theme's first downbeat falls right on that cut.
constexpr int kTuneIntroRows = 40;
constexpr int kTuneRowsPerPattern = 64; // after the intro's own pattern
constexpr int kTuneOrders = 8;          // one pattern per order, played once each
constexpr double kTuneSecondsPerRow = kTuneSpeed * 2.5 / kTuneBpm;
constexpr double kTuneDropSeconds = kTuneIntroRows * kTuneSecondsPerRow;
// The last phrase lands on the home chord here; what follows only dies away, so the demo's exit,
// 45 s after the music starts plus at most one playback pass, never cuts a phrase.
constexpr double kTuneHomeSeconds = 44.0;
constexpr int kTuneRows = kTuneIntroRows + (kTuneOrders - 1) * kTuneRowsPerPattern;
constexpr double kTuneSeconds = kTuneRows * kTuneSecondsPerRow;

// Instrument numbers as the patterns use them; make_tune_instruments returns them in this order.
enum TuneInstrument {
    kKick = 1,
    kSnare,
    kClosedHat,
    kOpenHat,
    kCrash,
    kBass,
    kLead,
    kPluck,
    kMinorPad,
    kMajorPad,
    kFlute,
};

// tune_synth.cpp
std::vector<XmInstrument> make_tune_instruments();
