// The tune's instruments, synthesised from waveforms, envelopes and seeded noise: drums as
// one-shots at their own sample rate, tonal voices as bandlimited loops on which note C-4 sounds
// at concert pitch.
#include "tune.h"

#include <cmath>
#include <cstdint>

// libm's last-bit rounding differs between versions; sine, exponential and log2_of use only
// + - * / and exact scalings, so the samples are the same on every machine.
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kLn2 = 0.69314718055994530942;

static double sine(double x)
{
    x -= kTwoPi * std::floor(x / kTwoPi + 0.5);
    if (x > kPi / 2) x = kPi - x;
    if (x < -kPi / 2) x = -kPi - x;
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 11; ++n) {
        term *= -x2 / ((2.0 * n) * (2.0 * n + 1));
        sum += term;
    }
    return sum;
}

static double cosine(double x)
{
    return sine(x + kPi / 2);
}

static double exponential(double x)
{
    const double n = std::floor(x / kLn2 + 0.5);
    const double r = x - n * kLn2;
    double term = 1;
    double sum = 1;
    for (int k = 1; k <= 18; ++k) {
        term *= r / k;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(n));
}

static double log2_of(double y)
{
    int exponent = 0;
    const double m = std::frexp(y, &exponent); // y = m * 2^exponent, m in [0.5, 1)
    const double z = (m - 1) / (m + 1);        // ln m = 2 atanh z
    double power = z;
    double sum = z;
    for (int k = 3; k < 61; k += 2) {
        power *= z * z;
        sum += power / k;
    }
    return exponent + 2 * sum / kLn2;
}

// A 32-bit xorshift: the noise is part of the asset, so it must repeat exactly.
struct Noise {
    uint32_t state;
};

static double next_noise(Noise& noise)
{
    noise.state ^= noise.state << 13;
    noise.state ^= noise.state >> 17;
    noise.state ^= noise.state << 5;
    return noise.state / 2147483648.0 - 1.0;
}

// Relative note and finetune that make note C-4 (49) play `rate` frames a second on the
// linear table: rate = 8363 * 2^((relative + fine / 128) / 12).
static void tune_to_rate(XmInstrument& instrument, double rate)
{
    constexpr double kC4Rate = 8363.0;
    const double semitones = 12 * log2_of(rate / kC4Rate);
    const double relative = std::floor(semitones + 0.5);
    instrument.relative_note = static_cast<int8_t>(relative);
    instrument.finetune = static_cast<int8_t>(std::floor((semitones - relative) * 128 + 0.5));
}

// Scales to a common peak so that the mix is set by volumes alone.
static std::vector<int16_t> to_frames(const std::vector<double>& signal)
{
    double peak = 0;
    for (const double s : signal) peak = std::fmax(peak, std::fabs(s));
    constexpr double kPeak = 32000;
    std::vector<int16_t> frames;
    for (const double s : signal)
        frames.push_back(static_cast<int16_t>(std::floor(s / peak * kPeak + 0.5)));
    return frames;
}

// Short linear fades at both ends of a one-shot, so that no trigger or cut clicks.
static void fade_ends(std::vector<double>& signal, int fade_in, int fade_out)
{
    const int n = static_cast<int>(signal.size());
    for (int i = 0; i < fade_in && i < n; ++i) signal[i] *= static_cast<double>(i) / fade_in;
    for (int i = 0; i < fade_out && i < n; ++i)
        signal[n - 1 - i] *= static_cast<double>(i) / fade_out;
}

static XmInstrument one_shot(const char* name, const std::vector<double>& signal, double rate,
                             uint8_t panning)
{
    XmInstrument instrument;
    instrument.name = name;
    instrument.frames = to_frames(signal);
    instrument.panning = panning;
    tune_to_rate(instrument, rate);
    return instrument;
}

// A pulse of the given duty, bandlimited to `harmonics` partials with Lanczos smoothing, at
// phase t (in cycles).
static double pulse(double t, double duty, int harmonics)
{
    double sum = 0;
    for (int k = 1; k <= harmonics; ++k) {
        const double sigma_x = kPi * k / (harmonics + 1);
        const double sigma = sine(sigma_x) / sigma_x;
        const double a = sine(kTwoPi * k * duty);
        const double b = 1 - cosine(kTwoPi * k * duty);
        sum += sigma * 2 / (kPi * k) * (a * cosine(kTwoPi * k * t) + b * sine(kTwoPi * k * t));
    }
    return sum;
}

static XmInstrument make_kick()
{
    constexpr double kRate = 22050;
    constexpr double kSeconds = 0.3;
    Noise noise{0x1234567u};
    std::vector<double> signal;
    double phase = 0;
    for (int i = 0; i < static_cast<int>(kRate * kSeconds); ++i) {
        const double t = i / kRate;
        // The pitch falls from about 190 Hz to 48 Hz: the thump, then the boom.
        const double frequency = 48 + 140 * exponential(-t / 0.03);
        phase += kTwoPi * frequency / kRate;
        const double body = sine(phase) * exponential(-t / 0.15);
        const double click = next_noise(noise) * exponential(-t / 0.002) * 0.4;
        const double x = 3.0 * (body + click);
        signal.push_back(x / (1 + std::fabs(x))); // soft clip for punch
    }
    fade_ends(signal, 8, 400);
    return one_shot("kick", signal, kRate, 128);
}

static XmInstrument make_snare()
{
    constexpr double kRate = 44100;
    constexpr double kSeconds = 0.25;
    Noise noise{0x9E3779B9u};
    std::vector<double> signal;
    double phase = 0;
    double low = 0;
    double previous = 0;
    double high = 0;
    for (int i = 0; i < static_cast<int>(kRate * kSeconds); ++i) {
        const double t = i / kRate;
        phase += kTwoPi * (175 + 60 * exponential(-t / 0.01)) / kRate;
        const double tone = (sine(phase) + 0.4 * sine(1.9 * phase)) * exponential(-t / 0.05);
        // Band-limited rattle: a one-pole low-pass, then a one-pole high-pass.
        const double white = next_noise(noise);
        low += 0.55 * (white - low);
        high = 0.9 * (high + low - previous);
        previous = low;
        const double rattle = high * exponential(-t / 0.08);
        const double x = 2.0 * (0.55 * tone + 1.0 * rattle);
        signal.push_back(x / (1 + std::fabs(x)));
    }
    fade_ends(signal, 8, 600);
    return one_shot("snare", signal, kRate, 128);
}

// A second-order filter section (the usual cookbook forms), run over a whole signal.
struct Biquad {
    double b0, b1, b2, a1, a2;
};

static Biquad high_pass(double frequency, double q, double rate)
{
    const double w = kTwoPi * frequency / rate;
    const double alpha = sine(w) / (2 * q);
    const double c = cosine(w);
    const double a0 = 1 + alpha;
    return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

static Biquad band_pass(double frequency, double q, double rate)
{
    const double w = kTwoPi * frequency / rate;
    const double alpha = sine(w) / (2 * q);
    const double a0 = 1 + alpha;
    return {alpha / a0, 0, -alpha / a0, -2 * cosine(w) / a0, (1 - alpha) / a0};
}

static void apply(const Biquad& f, std::vector<double>& signal)
{
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (double& s : signal) {
        const double y = f.b0 * s + f.b1 * x1 + f.b2 * x2 - f.a1 * y1 - f.a2 * y2;
        x2 = x1;
        x1 = s;
        y2 = y1;
        y1 = y;
        s = y;
    }
}

// Square waves at inharmonic ratios, each bandlimited below 20 kHz and summed: the clangorous
// ring that a metal plate makes, rather than the hiss of noise.
static std::vector<double> square_cluster(const double* frequencies, int count, double seconds)
{
    constexpr double kRate = 44100;
    constexpr double kTop = 20000;
    std::vector<double> signal(static_cast<size_t>(kRate * seconds), 0.0);
    for (int f = 0; f < count; ++f) {
        const double phase = 0.29 * f; // so the edges do not all line up at the start
        for (int k = 1; k * frequencies[f] < kTop; k += 2) {
            const double step = kTwoPi * k * frequencies[f] / kRate;
            for (size_t i = 0; i < signal.size(); ++i)
                signal[i] += sine(step * static_cast<double>(i) + k * phase) / k;
        }
    }
    return signal;
}

// Tames the rare tall peaks of a summed cluster.
static void soft_clip(std::vector<double>& signal, double drive)
{
    double peak = 0;
    for (const double s : signal) peak = std::fmax(peak, std::fabs(s));
    for (double& s : signal) {
        const double x = drive * s / peak;
        s = x / (1 + std::fabs(x));
    }
}

// The hats: six squares clustered between 200 and 800 Hz, of which only the upper partials pass.
static std::vector<double> hat(double seconds, double decay)
{
    constexpr double kRate = 44100;
    constexpr double kSquares[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    std::vector<double> signal = square_cluster(kSquares, 6, seconds);
    apply(band_pass(9000, 0.9, kRate), signal);
    apply(high_pass(6500, 0.7, kRate), signal);
    for (size_t i = 0; i < signal.size(); ++i) signal[i] *= exponential(-(i / kRate) / decay);
    soft_clip(signal, 2.0);
    return signal;
}

static XmInstrument make_closed_hat()
{
    std::vector<double> signal = hat(0.08, 0.018);
    fade_ends(signal, 4, 200);
    return one_shot("closed hat", signal, 44100, 200);
}

static XmInstrument make_open_hat()
{
    std::vector<double> signal = hat(0.3, 0.09);
    fade_ends(signal, 4, 2000);
    return one_shot("open hat", signal, 44100, 200);
}

// A longer, wider cluster with a little noise for the wash, ringing for 1.8 s: a quick fall
// after the hit, then a long shimmer.
static XmInstrument make_crash()
{
    constexpr double kRate = 44100;
    constexpr double kSeconds = 1.8;
    constexpr double kSquares[8] = {296.1, 417.3, 533.9, 587.2, 743.6, 851.4, 1031.7, 1197.2};
    std::vector<double> signal = square_cluster(kSquares, 8, kSeconds);
    Noise noise{0xA5A5A5u};
    double peak = 0;
    for (const double s : signal) peak = std::fmax(peak, std::fabs(s));
    for (double& s : signal) s = s / peak + 0.5 * next_noise(noise);
    apply(band_pass(7000, 0.5, kRate), signal);
    apply(high_pass(3500, 0.7, kRate), signal);
    for (size_t i = 0; i < signal.size(); ++i) {
        const double t = i / kRate;
        signal[i] *= 0.6 * exponential(-t / 0.07) + 0.4 * exponential(-t / 0.55);
    }
    soft_clip(signal, 2.5);
    fade_ends(signal, 4, 8000);
    return one_shot("crash", signal, kRate, 72);
}

// Concert C-4: 261.626 Hz. A loop whose cycle is `period` frames plays C-4 at this many frames
// a second.
static double c4_rate(int period)
{
    constexpr double kC4 = 261.6256;
    return kC4 * period;
}

static XmInstrument looped(const char* name, const std::vector<double>& cycle_or_loop, int period,
                           uint8_t panning)
{
    XmInstrument instrument;
    instrument.name = name;
    instrument.frames = to_frames(cycle_or_loop);
    instrument.loop_start = 0;
    instrument.loop_length = static_cast<int>(instrument.frames.size());
    instrument.panning = panning;
    tune_to_rate(instrument, c4_rate(period));
    return instrument;
}

static XmInstrument make_bass()
{
    // A saw and a square, rounded off above the tenth harmonic: buzzy but warm.
    constexpr int kPeriod = 128;
    constexpr int kHarmonics = 28;
    std::vector<double> cycle;
    for (int i = 0; i < kPeriod; ++i) {
        const double t = static_cast<double>(i) / kPeriod;
        double sum = 0;
        for (int k = 1; k <= kHarmonics; ++k) {
            const double saw = 1.0 / k;
            const double square = k % 2 ? 1.0 / k : 0.0;
            const double rolloff = 1 / (1 + (k / 10.0) * (k / 10.0));
            sum += (0.6 * saw + 0.7 * square) * rolloff * sine(kTwoPi * k * t);
        }
        cycle.push_back(sum);
    }
    XmInstrument bass = looped("bass", cycle, kPeriod, 128);
    // Plucked: each retriggered note starts with a bite and settles.
    bass.volume_envelope = {{0, 64}, {3, 54}, {10, 44}, {24, 38}};
    bass.sustain_point = 3;
    bass.fadeout = 0x0C00;
    return bass;
}

static XmInstrument make_lead()
{
    // 128 cycles whose duty sweeps 50% -> 12% -> 50%: the pulse-width movement of a chip lead.
    constexpr int kPeriod = 64;
    constexpr int kCycles = 128;
    constexpr int kHarmonics = 16;
    std::vector<double> loop;
    for (int i = 0; i < kPeriod * kCycles; ++i) {
        const double t = static_cast<double>(i) / kPeriod;
        const double sweep = 0.5 - 0.5 * cosine(kTwoPi * i / (kPeriod * kCycles));
        loop.push_back(pulse(t, 0.5 - 0.38 * sweep, kHarmonics));
    }
    XmInstrument lead = looped("lead", loop, kPeriod, 64);
    lead.volume_envelope = {{0, 40}, {2, 64}, {8, 56}, {40, 48}};
    lead.sustain_point = 3;
    lead.fadeout = 0x0800;
    lead.vibrato_sweep = 24;
    lead.vibrato_depth = 3;
    lead.vibrato_rate = 12;
    return lead;
}

static XmInstrument make_pluck()
{
    constexpr int kPeriod = 64;
    std::vector<double> cycle;
    for (int i = 0; i < kPeriod; ++i)
        cycle.push_back(pulse(static_cast<double>(i) / kPeriod, 0.25, 16));
    XmInstrument pluck = looped("pluck", cycle, kPeriod, 56);
    // No sustain: every note dies away by itself within a beat.
    pluck.volume_envelope = {{0, 64}, {3, 40}, {8, 20}, {16, 7}, {28, 0}};
    return pluck;
}

// A chord in one loop: each tone a soft saw, doubled a few cents either side for a chorus.
// `cycles` holds each tone's cycle count in the loop, so every partial loops seamlessly; the
// root makes 160 cycles of 64 frames.
static XmInstrument make_pad(const char* name, const int (&cycles)[4])
{
    constexpr int kPeriod = 64;
    constexpr int kRootCycles = 160;
    constexpr int kLoop = kPeriod * kRootCycles;
    constexpr int kHarmonics = 6;
    std::vector<double> loop(kLoop, 0.0);
    for (const int tone : cycles)
        for (int detune = -1; detune <= 1; detune += 2)
            for (int k = 1; k <= kHarmonics; ++k) {
                const double amplitude = 1.0 / (k * (1 + 0.15 * k * k));
                const double phase = 0.37 * tone + 0.21 * k + 0.5 * detune; // spread the peaks
                const double step = kTwoPi * k * (tone + detune) / kLoop;
                for (int i = 0; i < kLoop; ++i) loop[i] += amplitude * sine(step * i + phase);
            }
    XmInstrument pad = looped(name, loop, kPeriod, 128);
    pad.volume_envelope = {{0, 12}, {6, 52}, {14, 64}, {40, 54}};
    pad.sustain_point = 3;
    pad.fadeout = 0x0600;
    return pad;
}

// The reprise's countermelody: a soft triangle that breathes in, with a slow vibrato.
static XmInstrument make_flute()
{
    constexpr int kPeriod = 64;
    std::vector<double> cycle;
    for (int i = 0; i < kPeriod; ++i) {
        const double t = static_cast<double>(i) / kPeriod;
        double sum = 0.15 * sine(2 * kTwoPi * t);
        for (int k = 1; k <= 9; k += 2)
            sum += ((k / 2) % 2 ? -1.0 : 1.0) / (k * k) * sine(kTwoPi * k * t);
        cycle.push_back(sum);
    }
    XmInstrument flute = looped("flute", cycle, kPeriod, 200);
    flute.volume_envelope = {{0, 16}, {5, 52}, {12, 64}, {40, 56}};
    flute.sustain_point = 3;
    flute.fadeout = 0x0600;
    flute.vibrato_sweep = 40;
    flute.vibrato_depth = 4;
    flute.vibrato_rate = 10;
    return flute;
}

std::vector<XmInstrument> make_tune_instruments()
{
    // Just-intonation triads with the octave, minor 10:12:15:20 and major 4:5:6:8, scaled so that
    // the root makes 160 cycles.
    constexpr int kMinorCycles[4] = {160, 192, 240, 320};
    constexpr int kMajorCycles[4] = {160, 200, 240, 320};
    return {make_kick(),
            make_snare(),
            make_closed_hat(),
            make_open_hat(),
            make_crash(),
            make_bass(),
            make_lead(),
            make_pluck(),
            make_pad("minor pad", kMinorCycles),
            make_pad("major pad", kMajorCycles),
            make_flute()};
}
