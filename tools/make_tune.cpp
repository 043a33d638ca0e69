// Writes the tune "sfx.xm": 28 bars in A minor at 140 BPM, intro, main theme, variation and
// reprise, ending on a stop that leads back into the intro when the player starts it over.
#include "tune.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

constexpr int kKickChannel = 0;
constexpr int kSnareChannel = 1;
constexpr int kHatChannel = 2;
constexpr int kBassChannel = 3;
constexpr int kLeadChannel = 4;
constexpr int kArpChannel = 5;
constexpr int kPadChannel = 6;
constexpr int kEchoChannel = 7; // the lead's echo, or its harmony in the reprise

constexpr int kBars = kTuneOrders * kTuneRowsPerPattern / kTuneRowsPerBar;
constexpr int kRows = kBars * kTuneRowsPerBar;
constexpr uint8_t kKeyOff = 97;

enum Section { kIntro, kMain, kVariation, kReprise };

struct Bar {
    Section section;
    int phrase_bar; // 0.. within the section
    int root;       // semitone above C
    bool minor;
};

struct Song {
    std::vector<XmCell> cells; // kRows x kTuneChannels
};

static XmCell& at(Song& song, int row, int channel)
{
    return song.cells[static_cast<size_t>(row) * kTuneChannels + channel];
}

static Bar bar_at(int bar)
{
    constexpr int A = 9, F = 5, C = 0, G = 7, E = 4, D = 2;
    // Four bars of intro, then eight each of main theme, variation and reprise.
    constexpr std::array<int, kBars> kRoots = {A, F, C, G,             //
                                               A, F, C, G, A, F, G, E, //
                                               F, G, E, A, D, G, E, E, //
                                               A, F, C, G, A, F, G, E};
    constexpr std::array<bool, kBars> kMinor = {1, 0, 0, 0,             //
                                                1, 0, 0, 0, 1, 0, 0, 0, //
                                                0, 0, 1, 1, 1, 0, 0, 0, //
                                                1, 0, 0, 0, 1, 0, 0, 0};
    const Section section = bar < 4 ? kIntro : bar < 12 ? kMain : bar < 20 ? kVariation : kReprise;
    const int first = section == kIntro ? 0 : 4 + 8 * (section - 1);
    return {section, bar - first, kRoots[bar], kMinor[bar]};
}

// Note number for a pitch class in the octave range starting at `lowest`.
static int note_in_range(int pitch_class, int lowest)
{
    int note = lowest - (lowest - 1) % 12 + pitch_class;
    if (note < lowest) note += 12;
    return note;
}

// One bar of a melody line, tracker style: a note name ("E5", "G#5") starts a note, "." holds,
// "-" keys the note off. Returns 16 cells of note numbers, 0 for nothing.
static std::array<int, kTuneRowsPerBar> parse_line(const char* text)
{
    constexpr int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    std::array<int, kTuneRowsPerBar> notes{};
    int row = 0;
    for (const char* p = text; *p != '\0' && row < kTuneRowsPerBar;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        if (*p == '.') {
            notes[row++] = 0;
        } else if (*p == '-') {
            notes[row++] = kKeyOff;
        } else {
            int semitone = kSemitone[*p - 'A'];
            ++p;
            if (*p == '#') {
                ++semitone;
                ++p;
            }
            notes[row++] = 12 * (*p - '0') + semitone + 1;
        }
        ++p;
    }
    return notes;
}

// The hook: a 3-3-2 figure that answers itself, over Am F C G | Am F G E.
constexpr const char* kMainMelody[8] = {
    "E5 .  .  E5 .  .  D5 .  E5 .  .  .  A5 .  G5 .",
    "F5 .  .  E5 .  .  C5 .  A4 .  .  .  .  .  -  .",
    "G5 .  .  E5 .  .  C5 .  E5 .  G5 .  C6 .  .  .",
    "B5 .  .  A5 .  .  G5 .  D5 .  .  .  .  .  -  .",
    "E5 .  .  E5 .  .  D5 .  E5 .  .  .  A5 .  B5 .",
    "C6 .  .  B5 .  .  A5 .  F5 .  .  .  A5 .  C6 .",
    "B5 .  .  G5 .  .  D5 .  G5 .  B5 .  D6 .  .  .",
    "D6 .  .  C6 .  .  B5 .  G#5 . .  .  .  .  -  .",
};

// Long notes over F G Em Am | Dm G E E, climbing to the dominant and running back down.
constexpr const char* kVariationMelody[8] = {
    "A5 .  .  .  .  .  .  .  C6 .  .  .  A5 .  .  .",
    "B5 .  .  .  .  .  .  .  D6 .  .  .  B5 .  .  .",
    "G5 .  .  .  .  .  B5 .  .  .  .  .  E6 .  .  .",
    "C6 .  .  .  .  .  .  .  B5 .  .  .  A5 .  .  .",
    "F5 .  .  .  .  .  A5 .  .  .  .  .  D6 .  .  .",
    "D6 .  .  .  .  .  B5 .  .  .  .  .  G5 .  .  .",
    "G#5 . .  .  .  .  B5 .  .  .  .  .  E6 .  .  .",
    "B5 .  .  G#5 . .  E5 .  B4 .  .  .  D5 .  .  .",
};

// The reprise's last bar: the run of the main theme's, cut short by the final stab on row 12.
constexpr const char* kStopMelody = "D6 .  .  C6 .  .  B5 .  G#5 . B5 .  E6 -  .  .";
constexpr int kStopRow = kRows - kTuneRowsPerBar + 12;

static const char* melody_line(const Bar& bar, int index)
{
    if (index == kBars - 1) return kStopMelody;
    if (bar.section == kMain || bar.section == kReprise) return kMainMelody[bar.phrase_bar];
    if (bar.section == kVariation) return kVariationMelody[bar.phrase_bar];
    return "";
}

static void set_note(XmCell& cell, int note, int instrument, int volume)
{
    cell.note = static_cast<uint8_t>(note);
    cell.instrument = note == kKeyOff ? 0 : static_cast<uint8_t>(instrument);
    cell.volume = note == kKeyOff ? 0 : static_cast<uint8_t>(0x10 + volume);
}

// The diatonic note two scale steps below, in A minor (harmonic over E major).
static int third_below(int note, bool dominant)
{
    const std::array<int, 7> scale = {9, 11, 0, 2, 4, 5, dominant ? 8 : 7};
    int below = note - 1;
    int steps = 0;
    while (steps < 2) {
        for (const int pc : scale)
            if ((below - 1) % 12 == pc) {
                ++steps;
                break;
            }
        if (steps < 2) --below;
    }
    return below;
}

static void write_lead(Song& song)
{
    constexpr int kLeadVolume = 60;
    constexpr int kEchoVolume = 28;
    constexpr int kHarmonyVolume = 40;
    constexpr int kEchoRows = 3; // a dotted eighth
    constexpr uint8_t kPanningEffect = 0x08;
    for (int b = 0; b < kBars; ++b) {
        const Bar bar = bar_at(b);
        const std::array<int, kTuneRowsPerBar> notes = parse_line(melody_line(bar, b));
        for (int r = 0; r < kTuneRowsPerBar; ++r) {
            const int note = notes[r];
            if (note == 0) continue;
            const int row = b * kTuneRowsPerBar + r;
            set_note(at(song, row, kLeadChannel), note, kLead, kLeadVolume);
            if (bar.section == kReprise) {
                const int harmony =
                    note == kKeyOff ? note : third_below(note, bar.root == 4 && !bar.minor);
                set_note(at(song, row, kEchoChannel), harmony, kLead, kHarmonyVolume);
            } else if (row + kEchoRows < kStopRow) {
                XmCell& echo = at(song, row + kEchoRows, kEchoChannel);
                set_note(echo, note, kLead, kEchoVolume);
                if (note != kKeyOff) {
                    echo.effect = kPanningEffect;
                    echo.param = 0xC8; // the echo answers from the right
                }
            }
        }
    }
}

static void write_bass(Song& song)
{
    // R: root, O: root an octave up, "-": key-off. Octave leaps in eighths drive the theme.
    constexpr const char* kDrive = "R . O . R . O . R . O . R . O .";
    constexpr const char* kTurn = "R . O . R . O . R O R . O . R O";
    constexpr const char* kHalf = "R . . . . . R . . . R . . . O .";
    constexpr const char* kStop = "R . O . R . O . R R O O R - . .";
    constexpr int kLowest = 29; // E-2
    for (int b = 0; b < kBars; ++b) {
        const Bar bar = bar_at(b);
        const char* line = kDrive;
        if (b == kBars - 1)
            line = kStop;
        else if (bar.section == kIntro && bar.phrase_bar < 2)
            line = kHalf;
        else if (bar.section == kVariation && bar.phrase_bar < 4)
            line = kHalf;
        else if (bar.phrase_bar % 4 == 3)
            line = kTurn;
        const int root = note_in_range(bar.root, kLowest);
        int r = 0;
        for (const char* p = line; *p != '\0'; ++p) {
            if (*p == ' ') continue;
            const int row = b * kTuneRowsPerBar + r++;
            if (*p == 'R') set_note(at(song, row, kBassChannel), root, kBass, 44);
            if (*p == 'O') set_note(at(song, row, kBassChannel), root + 12, kBass, 36);
            if (*p == '-') set_note(at(song, row, kBassChannel), kKeyOff, kBass, 0);
        }
    }
}

// A drum line: "x" full, digits 1-9 softer (roll crescendos), "o" a soft closed hat, "O" an
// open hat, "C" a crash.
static void write_drum_line(Song& song, int bar, int channel, int instrument, int level,
                            const char* line)
{
    int r = 0;
    for (const char* p = line; *p != '\0'; ++p) {
        if (*p == ' ') continue;
        const int row = bar * kTuneRowsPerBar + r++;
        XmCell& cell = at(song, row, channel);
        if (*p == 'x') set_note(cell, 49, instrument, level);
        if (*p >= '1' && *p <= '9') set_note(cell, 49, instrument, level * (*p - '0') / 10);
        if (*p == 'o') set_note(cell, 49, instrument, level * 6 / 10);
        if (*p == 'O') set_note(cell, 49, kOpenHat, level);
        if (*p == 'C') set_note(cell, 49, kCrash, 44);
    }
}

static void write_drums(Song& song)
{
    constexpr int kKickLevel = 64;
    constexpr int kSnareLevel = 60;
    constexpr int kHatLevel = 36;
    for (int b = 0; b < kBars; ++b) {
        const Bar bar = bar_at(b);
        const bool opening = bar.phrase_bar == 0 && bar.section != kIntro;
        const char* kick = "x . . . . . x . x . . . . . . .";
        const char* snare = ". . . . x . . . . . . . x . . .";
        const char* hat =
            opening ? "C . . . x . o . x . o . x . O ." : "x . o . x . o . x . o . x . O .";
        if (bar.phrase_bar % 2 == 1) kick = "x . . . . . x . x . x . . . . .";
        if (bar.phrase_bar % 4 == 3) {
            kick = "x . . . . . x . x . . x . . . .";
            snare = ". . . . x . . . . . . . x 4 6 8";
        }
        if (bar.section == kIntro) {
            kick = "x . . . x . . . x . . . x . . .";
            snare = bar.phrase_bar < 2 ? "" : snare;
            hat = bar.phrase_bar < 2 ? ". . 5 . . . 5 . . . 5 . . . 5 ."
                                     : "5 . x . 5 . x . 5 . x . 5 . x .";
        }
        if (bar.section == kVariation && bar.phrase_bar < 4) {
            kick = "x . . . . . . . . . x . . . . .";
            snare = ". . . . . . . . x . . . . . . .";
            hat = opening ? "C . . . x . . . x . . . x . . ." : "x . . . x . . . x . . . x . . .";
            if (bar.phrase_bar == 3) snare = ". . . . . . . . x . . . x . 5 x";
        }
        if (bar.section == kVariation && bar.phrase_bar == 7) {
            kick = "x . . . . . x . x . . . x . . .";
            snare = ". . . . x . . . 2 3 3 4 5 6 8 x"; // the roll into the reprise
            hat = "x . o . x . o . . . . . . . . .";
        }
        if (b == kBars - 1) {
            kick = "x . . . . . . . x . . . x . . .";
            snare = ". . . . x . . . 4 5 7 8 x . . ."; // the stab, then a breath before the loop
            hat = "x . o . x . o . . . . . . . . .";
        }
        write_drum_line(song, b, kKickChannel, kKick, kKickLevel, kick);
        write_drum_line(song, b, kSnareChannel, kSnare, kSnareLevel, snare);
        write_drum_line(song, b, kHatChannel, kClosedHat, kHatLevel, hat);
    }
}

static void write_chords(Song& song)
{
    constexpr int kPadLowest = 42;   // F-3
    constexpr int kPluckLowest = 54; // F-4
    constexpr uint8_t kArpeggio = 0x00;
    for (int b = 0; b < kBars; ++b) {
        const Bar bar = bar_at(b);
        const int first = b * kTuneRowsPerBar;
        const int third = bar.minor ? 3 : 4;
        const int pad_volume = bar.section == kVariation ? 64 : bar.section == kIntro ? 52 : 40;
        const int pad = note_in_range(bar.root, kPadLowest);
        set_note(at(song, first, kPadChannel), pad, bar.minor ? kMinorPad : kMajorPad, pad_volume);
        if (b == kBars - 1) set_note(at(song, first + 12, kPadChannel), kKeyOff, 0, 0);

        const int root = note_in_range(bar.root, kPluckLowest);
        const std::array<int, 5> tones = {root, root + third, root + 7, root + 12,
                                          root + 12 + third};
        const bool broken = bar.section == kVariation ||
                            (bar.section == kIntro && bar.phrase_bar >= 2) ||
                            (bar.section == kReprise && bar.phrase_bar >= 4);
        for (int r = 0; r < kTuneRowsPerBar; ++r) {
            const int row = first + r;
            if (row >= kStopRow - 2) break;
            XmCell& cell = at(song, row, kArpChannel);
            if (broken) {
                // Up and down the chord in sixteenths; the intro fades them in.
                constexpr int kShape[8] = {0, 1, 2, 3, 4, 3, 2, 1};
                int volume = bar.section == kVariation ? 44 : 32;
                if (bar.section == kIntro) volume = 12 + 12 * (bar.phrase_bar - 2) + r * 3 / 4;
                set_note(cell, tones[kShape[r % 8]], kPluck, volume);
            } else if (bar.section != kIntro) {
                // Offbeat chord blips: the tick arpeggio plays the triad on one voice.
                if (r % 4 == 2) set_note(cell, root, kPluck, 44);
                if (r % 4 == 2 || r % 4 == 3) {
                    cell.effect = kArpeggio;
                    cell.param = static_cast<uint8_t>(third << 4 | 7);
                }
            }
        }
    }
}

// The loop seam: everything tonal fades out after the stab, and a last guard zeroes what may
// still sound, so nothing rings into the intro when the player starts over.
static void write_seam(Song& song)
{
    for (const int channel : {kBassChannel, kLeadChannel, kEchoChannel}) {
        XmCell& off = at(song, kStopRow + 1, channel);
        if (off.note == 0) set_note(off, kKeyOff, 0, 0);
    }
    for (const int channel : {kBassChannel, kLeadChannel, kArpChannel, kPadChannel, kEchoChannel})
        at(song, kRows - 1, channel).volume = 0x10;

    // Row 0 sets speed and tempo again, for players that keep the last ones when they loop.
    constexpr uint8_t kSetSpeed = 0x0F;
    XmCell& speed = at(song, 0, kEchoChannel);
    speed.effect = kSetSpeed;
    speed.param = kTuneSpeed;
    XmCell& tempo = at(song, 0, kArpChannel);
    tempo.effect = kSetSpeed;
    tempo.param = kTuneBpm;
}

static XmModule compose()
{
    Song song;
    song.cells.resize(static_cast<size_t>(kRows) * kTuneChannels);
    write_drums(song);
    write_bass(song);
    write_chords(song);
    write_lead(song);
    write_seam(song);

    XmModule module;
    module.name = "Cardioid";
    module.channels = kTuneChannels;
    module.speed = kTuneSpeed;
    module.bpm = kTuneBpm;
    for (int p = 0; p < kTuneOrders; ++p) {
        XmPattern pattern;
        pattern.rows = kTuneRowsPerPattern;
        const auto first =
            song.cells.begin() + static_cast<long>(p) * kTuneRowsPerPattern * kTuneChannels;
        pattern.cells.assign(first, first + kTuneRowsPerPattern * kTuneChannels);
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(p));
    }
    module.instruments = make_tune_instruments();
    return module;
}

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "sfx.xm";
    if (!write_xm(path, compose())) {
        std::fprintf(stderr, "make_tune: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
