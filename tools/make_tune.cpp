// Writes the tune "sfx.xm": A minor at 150 BPM, shaped to the demo. A short intro under the
// starfield, the main theme from the zoom's first frame, a breakdown, a build, the reprise with a
// countermelody, a cadence home and a tail that dies away before the player starts over.
#include "tune.h"

#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

constexpr int kKickChannel = 0;
constexpr int kSnareChannel = 1;
constexpr int kHatChannel = 2;
constexpr int kCrashChannel = 3; // alone, so that no other drum cuts its ring
constexpr int kBassChannel = 4;
constexpr int kLeadChannel = 5;
constexpr int kEchoChannel = 6; // the lead a dotted eighth later, from the other side
constexpr int kArpChannel = 7;
constexpr int kArpEchoChannel = 8;
constexpr int kPadChannel = 9;
constexpr int kWidePadChannel = 10; // the pad's second voice, on the other side
constexpr int kCounterChannel = 11;

constexpr uint8_t kKeyOff = 97;
constexpr uint8_t kPanningEffect = 0x08;
constexpr uint8_t kSetSpeedEffect = 0x0F;

enum Section { kIntro, kMain, kBreakdown, kBuild, kReprise, kCadence, kTail };

struct Bar {
    Section section;
    int root; // semitone above C
    bool minor;
    int rows;
    int phrase_bar = 0; // 0.. within the section
    int first_row = 0;
};

struct Song {
    std::vector<XmCell> cells; // kTuneRows x kTuneChannels
    std::vector<Bar> bars;
};

// Cell (row, channel) of the song; one outside it stops the generator instead of landing in
// another cell.
static XmCell& at(Song& song, int row, int channel)
{
    if (channel < 0 || channel >= kTuneChannels) throw std::out_of_range("no such channel");
    return song.cells.at(static_cast<size_t>(row) * kTuneChannels + channel);
}

// Two bars and a pickup of intro; eight bars of theme (Am F C G | Am F G E); a breakdown and a
// build of four bars each; the theme again; a half-bar each of F and E; three bars of tail on Am.
constexpr int kPlanBars = 32;

static constexpr std::array<Bar, kPlanBars> plan_bars()
{
    constexpr int A = 9, F = 5, C = 0, G = 7, E = 4, D = 2;
    constexpr Bar kTheme[8] = {{kMain, A, true, 16},  {kMain, F, false, 16}, {kMain, C, false, 16},
                               {kMain, G, false, 16}, {kMain, A, true, 16},  {kMain, F, false, 16},
                               {kMain, G, false, 16}, {kMain, E, false, 16}};
    std::array<Bar, kPlanBars> bars{};
    size_t count = 0; // past the array, the compiler refuses the plan
    for (const Bar& bar :
         {Bar{kIntro, A, true, 16}, Bar{kIntro, F, false, 16}, Bar{kIntro, E, false, 8}})
        bars[count++] = bar;
    for (const Bar& bar : kTheme) bars[count++] = bar;
    for (const Bar& bar :
         {Bar{kBreakdown, F, false, 16}, Bar{kBreakdown, G, false, 16},
          Bar{kBreakdown, E, true, 16}, Bar{kBreakdown, A, true, 16}, Bar{kBuild, D, true, 16},
          Bar{kBuild, G, false, 16}, Bar{kBuild, E, false, 16}, Bar{kBuild, E, false, 16}})
        bars[count++] = bar;
    for (Bar bar : kTheme) {
        bar.section = kReprise;
        bars[count++] = bar;
    }
    for (const Bar& bar :
         {Bar{kCadence, F, false, 8}, Bar{kCadence, E, false, 8}, Bar{kTail, A, true, 16},
          Bar{kTail, A, true, 16}, Bar{kTail, A, true, 16}})
        bars[count++] = bar;
    if (count != kPlanBars) throw "the plan has fewer bars than kPlanBars";
    int row = 0;
    for (size_t i = 0; i < bars.size(); ++i) {
        if (i > 0 && bars[i - 1].section == bars[i].section)
            bars[i].phrase_bar = bars[i - 1].phrase_bar + 1;
        bars[i].first_row = row;
        row += bars[i].rows;
    }
    return bars;
}

constexpr std::array<Bar, kPlanBars> kPlan = plan_bars();
static_assert(kPlan.back().first_row + kPlan.back().rows == kTuneRows,
              "the bars of the plan must fill the tune's rows exactly");

// The tail's first bar, where the last phrase lands on the home chord.
static const Bar& home_bar(const Song& song)
{
    for (const Bar& bar : song.bars)
        if (bar.section == kTail) return bar;
    return song.bars.back();
}

// Note number for a pitch class in the octave range starting at `lowest`.
static int note_in_range(int pitch_class, int lowest)
{
    int note = lowest - (lowest - 1) % 12 + pitch_class;
    if (note < lowest) note += 12;
    return note;
}

// One bar of a melody line, tracker style: a note name ("E5", "G#5") starts a note, "." holds,
// "-" keys the note off. Returns a cell per row: the note number, 0 for nothing.
static std::vector<int> parse_line(const char* text, int rows)
{
    constexpr int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    std::vector<int> notes(static_cast<size_t>(rows), 0);
    int row = 0;
    for (const char* p = text; *p != '\0' && row < rows;) {
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
constexpr const char* kThemeMelody[8] = {
    "E5 .  .  E5 .  .  D5 .  E5 .  .  .  A5 .  G5 .",
    "F5 .  .  E5 .  .  C5 .  A4 .  .  .  .  .  -  .",
    "G5 .  .  E5 .  .  C5 .  E5 .  G5 .  C6 .  .  .",
    "B5 .  .  A5 .  .  G5 .  D5 .  .  .  .  .  -  .",
    "E5 .  .  E5 .  .  D5 .  E5 .  .  .  A5 .  B5 .",
    "C6 .  .  B5 .  .  A5 .  F5 .  .  .  A5 .  C6 .",
    "B5 .  .  G5 .  .  D5 .  G5 .  B5 .  D6 .  .  .",
    "D6 .  .  C6 .  .  B5 .  G#5 . .  .  .  .  -  .",
};

// Long notes over F G Em Am (breakdown) and Dm G E E (build), climbing to the dominant and running
// back down into the reprise.
constexpr const char* kBreakdownMelody[8] = {
    "A5 .  .  .  .  .  .  .  C6 .  .  .  A5 .  .  .",
    "B5 .  .  .  .  .  .  .  D6 .  .  .  B5 .  .  .",
    "G5 .  .  .  .  .  B5 .  .  .  .  .  E6 .  .  .",
    "C6 .  .  .  .  .  .  .  B5 .  .  .  A5 .  .  .",
    "F5 .  .  .  .  .  A5 .  .  .  .  .  D6 .  .  .",
    "D6 .  .  .  .  .  B5 .  .  .  .  .  G5 .  .  .",
    "G#5 . .  .  .  .  B5 .  .  .  .  .  E6 .  .  .",
    "B5 .  .  G#5 . .  E5 .  B4 .  .  .  D5 .  .  .",
};

// The reprise's new voice: a slow line under the hook that moves where the hook rests.
constexpr const char* kCounterMelody[8] = {
    "C5 .  .  .  .  .  .  .  .  .  .  .  B4 .  .  .",
    "A4 .  .  .  .  .  .  .  .  .  C5 .  D5 .  E5 .",
    "E5 .  .  .  .  .  .  .  .  .  .  .  D5 .  .  .",
    "D5 .  .  .  .  .  .  .  .  .  B4 .  C5 .  D5 .",
    "E5 .  .  .  .  .  .  .  C5 .  .  .  .  .  .  .",
    "A4 .  .  .  .  .  .  .  C5 .  .  .  .  .  .  .",
    "B4 .  .  .  .  .  .  .  D5 .  .  .  .  .  .  .",
    "B4 .  .  .  .  .  .  .  .  .  E5 .  D5 .  B4 .",
};

// The cadence: F, then E with the leading tone, onto A at the tail's first row.
constexpr const char* kCadenceMelody[2] = {"C6 .  .  B5 .  .  A5 .", "B5 .  .  .  .  .  G#5 ."};
constexpr const char* kCadenceCounter[2] = {"A4 .  .  .  C5 .  .  .", "G#4 . .  .  B4 .  .  ."};
constexpr const char* kHomeMelody = "A5 .  .  .  .  .  .  .  -  .  .  .  .  .  .  .";
constexpr const char* kHomeCounter = "C5 .  .  .  .  .  .  .  -  .  .  .  .  .  .  .";

static void set_note(XmCell& cell, int note, int instrument, int volume)
{
    cell.note = static_cast<uint8_t>(note);
    cell.instrument = note == kKeyOff ? 0 : static_cast<uint8_t>(instrument);
    cell.volume = note == kKeyOff ? 0 : static_cast<uint8_t>(0x10 + volume);
}

static void set_panning(XmCell& cell, int panning)
{
    cell.effect = kPanningEffect;
    cell.param = static_cast<uint8_t>(panning);
}

// Volume only, on a note that is already sounding: how the tail fades.
static void set_volume(XmCell& cell, int volume)
{
    cell.volume = static_cast<uint8_t>(0x10 + volume);
}

static const char* lead_line(const Bar& bar)
{
    switch (bar.section) {
    case kMain:
    case kReprise: return kThemeMelody[bar.phrase_bar];
    case kBreakdown: return kBreakdownMelody[bar.phrase_bar];
    case kBuild: return kBreakdownMelody[4 + bar.phrase_bar];
    case kCadence: return kCadenceMelody[bar.phrase_bar];
    case kTail: return bar.phrase_bar == 0 ? kHomeMelody : "";
    default: return "";
    }
}

static int lead_volume(Section section)
{
    switch (section) {
    case kBreakdown: return 32;
    case kBuild: return 50;
    default: return 56;
    }
}

static void write_lead(Song& song)
{
    constexpr int kEchoRows = 3; // a dotted eighth
    constexpr int kEchoPanning = 0xC8;
    for (const Bar& bar : song.bars) {
        const std::vector<int> notes = parse_line(lead_line(bar), bar.rows);
        const int volume = lead_volume(bar.section);
        for (int r = 0; r < bar.rows; ++r) {
            if (notes[r] == 0) continue;
            const int row = bar.first_row + r;
            set_note(at(song, row, kLeadChannel), notes[r], kLead, volume);
            // No echo rings into the home chord: the tail repeats its own note instead.
            if (row + kEchoRows >= home_bar(song).first_row) continue;
            XmCell& echo = at(song, row + kEchoRows, kEchoChannel);
            set_note(echo, notes[r], kLead, volume / 2);
            if (notes[r] != kKeyOff) set_panning(echo, kEchoPanning);
        }
    }
    // The last note repeats from side to side, softer each time, into the silence before the loop.
    const Bar& home = home_bar(song);
    constexpr int kRepeats[] = {26, 19, 14, 10, 7, 5, 3, 2};
    int row = home.first_row;
    bool right = true;
    for (const int volume : kRepeats) {
        row += kEchoRows;
        set_note(at(song, row, kEchoChannel), parse_line("A5", 1)[0], kLead, volume);
        set_panning(at(song, row, kEchoChannel), right ? 0xD8 : 0x28);
        right = !right;
    }
    set_note(at(song, row + 2, kEchoChannel), kKeyOff, 0, 0);
}

static void write_counter(Song& song)
{
    constexpr int kVolume = 36;
    for (const Bar& bar : song.bars) {
        const char* line = "";
        if (bar.section == kReprise) line = kCounterMelody[bar.phrase_bar];
        if (bar.section == kCadence) line = kCadenceCounter[bar.phrase_bar];
        if (bar.section == kTail && bar.phrase_bar == 0) line = kHomeCounter;
        const std::vector<int> notes = parse_line(line, bar.rows);
        for (int r = 0; r < bar.rows; ++r)
            if (notes[r] != 0)
                set_note(at(song, bar.first_row + r, kCounterChannel), notes[r], kFlute, kVolume);
    }
}

static void write_bass(Song& song)
{
    // R: root, O: root an octave up, "-": key-off. Octave leaps in eighths drive the theme.
    constexpr const char* kDrive = "R . O . R . O . R . O . R . O .";
    constexpr const char* kTurn = "R . O . R . O . R O R . O . R O";
    constexpr const char* kHalf = "R . . . . . R . . . R . . . O .";
    constexpr const char* kLong = "R . . . . . . . . . . . O . . .";
    constexpr const char* kPush = "R . O . R O R O";
    constexpr const char* kHome = "R . . . . . . . . . . . . . . .";
    constexpr int kLowest = 29; // E-2
    for (const Bar& bar : song.bars) {
        const char* line = kDrive;
        switch (bar.section) {
        case kIntro: line = ""; break;
        case kBreakdown: line = kLong; break;
        case kBuild: line = bar.phrase_bar < 2 ? kHalf : kDrive; break;
        case kCadence: line = kPush; break;
        case kTail: line = bar.phrase_bar == 0 ? kHome : ""; break;
        default: line = bar.phrase_bar % 4 == 3 ? kTurn : kDrive; break;
        }
        const int volume = bar.section == kBreakdown ? 28 : 44;
        const int root = note_in_range(bar.root, kLowest);
        int r = 0;
        for (const char* p = line; *p != '\0'; ++p) {
            if (*p == ' ') continue;
            XmCell& cell = at(song, bar.first_row + r++, kBassChannel);
            if (*p == 'R') set_note(cell, root, kBass, volume);
            if (*p == 'O') set_note(cell, root + 12, kBass, volume * 8 / 10);
        }
    }
    // The home note dies away within a bar.
    const Bar& home = home_bar(song);
    constexpr int kFadeRows = 14;
    for (int r = 1; r < kFadeRows; ++r)
        set_volume(at(song, home.first_row + r, kBassChannel), 44 * (kFadeRows - r) / kFadeRows);
    set_note(at(song, home.first_row + kFadeRows, kBassChannel), kKeyOff, 0, 0);
}

// A drum line: "x" full, digits 1-9 softer (rolls and swells), "o" a soft closed hat, "O" an
// open hat.
static void write_drum_line(Song& song, const Bar& bar, int channel, int instrument, int level,
                            const char* line)
{
    int r = 0;
    for (const char* p = line; *p != '\0' && r < bar.rows; ++p) {
        if (*p == ' ') continue;
        XmCell& cell = at(song, bar.first_row + r++, channel);
        if (*p == 'x') set_note(cell, 49, instrument, level);
        if (*p >= '1' && *p <= '9') set_note(cell, 49, instrument, level * (*p - '0') / 10);
        if (*p == 'o') set_note(cell, 49, instrument, level * 6 / 10);
        if (*p == 'O') set_note(cell, 49, kOpenHat, level);
    }
}

struct DrumBar {
    const char* kick;
    const char* snare;
    const char* hat;
};

static DrumBar drums_for(const Bar& bar)
{
    constexpr const char* kBeat = "x . . . . . x . x . . . . . . .";
    constexpr const char* kBackbeat = ". . . . x . . . . . . . x . . .";
    constexpr const char* kGroove = "x . o . x . o . x . o . x . O .";
    switch (bar.section) {
    case kIntro:
        if (bar.phrase_bar == 0) return {"x", "", ". . . . 2 . . . 3 . . . 3 . 4 ."};
        if (bar.phrase_bar == 1)
            return {"x . . . . . . . x", "", "3 . 4 . 3 . 4 . 3 . 4 . 5 . 6 ."};
        return {"", "1 . 2 . 3 4 5 6", "3 . 4 . 5 . 6 ."};
    case kBreakdown: return {"", "", "o . . . o . . . o . . . o . . ."};
    case kBuild:
        if (bar.phrase_bar == 0)
            return {"x . . . x . . . x . . . x . . .", "", "x . o . x . o . x . o . x . o ."};
        if (bar.phrase_bar == 3)
            return {"x . . . x . . . x . . . x . . .", ". . . . x . . . 2 3 3 4 5 6 8 x",
                    "x . o . x . o . . . . . . . . ."};
        return {"x . . . x . . . x . . . x . . .", kBackbeat, kGroove};
    case kCadence:
        if (bar.phrase_bar == 0) return {"x . . . x . . .", ". . . . x . . .", "x . o . x . o ."};
        return {"x . . . x . x .", "x . x . 6 7 8 9", "x . o . . . . ."};
    case kTail: return {bar.phrase_bar == 0 ? "x" : "", "", ""};
    default: break;
    }
    if (bar.phrase_bar % 4 == 3)
        return {"x . . . . . x . x . . x . . . .", ". . . . x . . . . . . . x 4 6 8", kGroove};
    if (bar.phrase_bar % 2 == 1) return {"x . . . . . x . x . x . . . . .", kBackbeat, kGroove};
    return {kBeat, kBackbeat, kGroove};
}

static void write_drums(Song& song)
{
    constexpr int kKickLevel = 64;
    constexpr int kSnareLevel = 58;
    constexpr int kHatLevel = 48;
    constexpr int kCrashLevel = 52;
    for (const Bar& bar : song.bars) {
        const DrumBar drums = drums_for(bar);
        write_drum_line(song, bar, kKickChannel, kKick, kKickLevel, drums.kick);
        write_drum_line(song, bar, kSnareChannel, kSnare, kSnareLevel, drums.snare);
        write_drum_line(song, bar, kHatChannel, kClosedHat, kHatLevel, drums.hat);
        // A crash opens each half of the theme and the reprise, the build and the tail: never
        // closer than six seconds, so each rings out whole.
        const bool crash =
            (bar.phrase_bar % 4 == 0 && (bar.section == kMain || bar.section == kReprise)) ||
            (bar.phrase_bar == 0 && (bar.section == kBuild || bar.section == kTail));
        if (crash) set_note(at(song, bar.first_row, kCrashChannel), 49, kCrash, kCrashLevel);
    }
}

static int pad_volume(const Bar& bar)
{
    switch (bar.section) {
    case kIntro: return 40;
    case kBreakdown: return 32;
    case kBuild: return 44;
    case kTail: return 44;
    default: return 34;
    }
}

static void write_chords(Song& song)
{
    constexpr int kPadLowest = 42;   // F-3
    constexpr int kPluckLowest = 54; // F-4
    constexpr int kArpEchoRows = 3;
    constexpr uint8_t kArpeggio = 0x00;
    for (const Bar& bar : song.bars) {
        const int first = bar.first_row;
        const int third = bar.minor ? 3 : 4;
        const int pad = note_in_range(bar.root, kPadLowest);
        const int pad_instrument = bar.minor ? kMinorPad : kMajorPad;
        if (bar.section != kTail || bar.phrase_bar == 0) {
            // Low on the left, an octave up on the right: a wide chord from one sample.
            set_note(at(song, first, kPadChannel), pad, pad_instrument, pad_volume(bar));
            set_note(at(song, first, kWidePadChannel), pad + 12, pad_instrument,
                     pad_volume(bar) * 7 / 10);
            set_panning(at(song, first, kPadChannel), 0x30);
            set_panning(at(song, first, kWidePadChannel), 0xD0);
        }

        const int root = note_in_range(bar.root, kPluckLowest);
        const std::array<int, 5> tones = {root, root + third, root + 7, root + 12,
                                          root + 12 + third};
        const bool broken = bar.section == kIntro || bar.section == kBreakdown ||
                            bar.section == kBuild || bar.section == kCadence ||
                            (bar.section == kReprise && bar.phrase_bar >= 4);
        for (int r = 0; r < bar.rows; ++r) {
            XmCell& cell = at(song, first + r, kArpChannel);
            int note = 0;
            int volume = 0;
            if (broken) {
                // Up and down the chord in sixteenths; the intro fades them in, its pickup climbs.
                constexpr int kShape[8] = {0, 1, 2, 3, 4, 3, 2, 1};
                note = tones[kShape[r % 8]];
                volume = bar.section == kBuild ? 40 : bar.section == kBreakdown ? 28 : 32;
                if (bar.section == kIntro) volume = 8 + bar.phrase_bar * 8 + r / 2;
                if (bar.section == kIntro && bar.phrase_bar == 2)
                    note = tones[r % 3] + 12 * (r / 3 - 1);
            } else if (bar.section == kTail && bar.phrase_bar == 0 && r % 2 == 0 && r <= 8) {
                note = tones[4 - r / 2]; // down the home chord once
                volume = 30 - r * 3;
            } else if (bar.section == kMain || bar.section == kReprise) {
                // Offbeat chord blips: the tick arpeggio plays the triad on one voice.
                if (r % 4 == 2) {
                    note = root;
                    volume = 44;
                }
                if (r % 4 == 2 || r % 4 == 3) {
                    cell.effect = kArpeggio;
                    cell.param = static_cast<uint8_t>(third << 4 | 7);
                }
            }
            if (note == 0) continue;
            set_note(cell, note, kPluck, volume);
            if (first + r + kArpEchoRows >= home_bar(song).first_row && bar.section != kTail)
                continue;
            // The echo keeps its side with a panning command, so it sounds the root alone.
            XmCell& echo = at(song, first + r + kArpEchoRows, kArpEchoChannel);
            set_note(echo, note, kPluck, volume / 2);
            set_panning(echo, 0xE0);
        }
    }
    // The home chord dies away over the whole tail, quickly at first and then slowly, and falls
    // silent on the last row.
    const Bar& home = home_bar(song);
    const int fade_rows = kTuneRows - home.first_row;
    const int whole = fade_rows * fade_rows;
    for (int r = 1; r < fade_rows; ++r) {
        const int left = (fade_rows - r) * (fade_rows - r);
        const int volume = (pad_volume(home) * left + whole - 1) / whole; // at least 1 till the end
        set_volume(at(song, home.first_row + r, kPadChannel), volume);
        set_volume(at(song, home.first_row + r, kWidePadChannel), volume * 7 / 10);
    }
}

// The loop seam: a last guard zeroes whatever may still sound, so nothing rings into the intro
// when the player starts over, and row 0 sets speed and tempo again for players that keep the
// last ones when they loop.
static void write_seam(Song& song)
{
    for (const int channel : {kBassChannel, kLeadChannel, kEchoChannel, kArpChannel,
                              kArpEchoChannel, kPadChannel, kWidePadChannel, kCounterChannel})
        set_volume(at(song, kTuneRows - 1, channel), 0);
    XmCell& speed = at(song, 0, kCounterChannel);
    speed.effect = kSetSpeedEffect;
    speed.param = kTuneSpeed;
    XmCell& tempo = at(song, 0, kLeadChannel);
    tempo.effect = kSetSpeedEffect;
    tempo.param = kTuneBpm;
}

static XmModule compose()
{
    Song song;
    song.bars.assign(kPlan.begin(), kPlan.end());
    // A few echo rows past the end keep the writers simple; they are dropped.
    song.cells.resize(static_cast<size_t>(kTuneRows + 8) * kTuneChannels);
    write_drums(song);
    write_bass(song);
    write_chords(song);
    write_lead(song);
    write_counter(song);
    write_seam(song);

    XmModule module;
    module.name = "Cardioid";
    module.channels = kTuneChannels;
    module.speed = kTuneSpeed;
    module.bpm = kTuneBpm;
    int row = 0;
    for (int p = 0; p < kTuneOrders; ++p) {
        XmPattern pattern;
        pattern.rows = p == 0 ? kTuneIntroRows : kTuneRowsPerPattern;
        const auto first = song.cells.begin() + static_cast<long>(row) * kTuneChannels;
        pattern.cells.assign(first, first + static_cast<long>(pattern.rows) * kTuneChannels);
        module.patterns.push_back(pattern);
        module.orders.push_back(static_cast<uint8_t>(p));
        row += pattern.rows;
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
