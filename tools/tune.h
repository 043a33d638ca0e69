// The tune behind "sfx.xm": the timing that make_tune.cpp composes to and the tests measure
// against, and the instruments that tune_synth.cpp synthesises for it.
#pragma once

#include "xm_writer.h"

#include <vector>

constexpr int kTuneChannels = 8;
constexpr int kTuneSpeed = 6; // ticks per row: a row is a sixteenth note
constexpr int kTuneBpm = 140;
constexpr int kTuneRowsPerBar = 16;
constexpr int kTuneRowsPerPattern = 64;
constexpr int kTuneOrders = 7; // one pattern per order, played once each
constexpr double kTuneSecondsPerRow = kTuneSpeed * 2.5 / kTuneBpm;
constexpr double kTuneSeconds = kTuneOrders * kTuneRowsPerPattern * kTuneSecondsPerRow;

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
};

// tune_synth.cpp
std::vector<XmInstrument> make_tune_instruments();
