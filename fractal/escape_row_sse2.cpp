// The SSE2 escape-time kernel, for processors without AVX2: the AVX2 kernel's method with two
// pixels to a vector. A row is cut into blocks of 10 neighbouring pixels, one to a vector lane;
// neighbours take nearly the same number of iterations, so a block's lanes finish close together.
// Its five vectors are stepped side by side, which hides each one's multiply and add latency
// behind the others' work. When only a few lanes of a block are left, they are handed on to a
// queue and later run together with other blocks' leftovers.
//
// Escapes are tested only at the end of a chunk of kChunk iterations. That is exact: with
// |c| < 1.9, an orbit that has reached |z| >= 2 gets further out every step (|z^2 + c| >= 4 - 1.9,
// far beyond what rounding can take away) or overflows to infinity and NaN, so the chunk's end
// still sees it, and so do the marks the chunk leaves every kMarkSpacing iterations. A lane seen
// outside is rerun, counting, from the last mark it was inside at, when its block stops.
// Blocks with a larger |c| test after every iteration.
#include "fractal.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <limits>

constexpr int kLanes = 2;
constexpr int kVectors = 5; // 10 lanes: the 320 and 640 pixel rows are whole blocks
constexpr int kBlockLanes = kLanes * kVectors;
constexpr int kChunk = 8;
constexpr int kMarkSpacing = 4;
constexpr int kMarks = kChunk / kMarkSpacing;
// A block down to kLeftovers live lanes hands them on after kLeftoverChunks more chunks: often
// they finish together with the rest, but a pixel on the edge of the set may run to the limit.
constexpr int kLeftovers = 3 * kLanes;
constexpr int kLeftoverChunks = 2;
constexpr int kQueueCapacity = kBlockLanes + kLeftovers;

namespace {

// A block's lanes between chunks; while chunks run, the orbits live in registers.
struct Lanes {
    alignas(16) double zr[kBlockLanes], zi[kBlockLanes]; // orbit after done + n iterations
    alignas(16) double cr[kBlockLanes], ci[kBlockLanes];
    // The orbit every kMarkSpacing iterations of the current chunk, mark 0 at its start.
    alignas(16) double mark_zr[kMarks][kBlockLanes], mark_zi[kMarks][kBlockLanes];
    alignas(16) double cycle_zr[kBlockLanes], cycle_zi[kBlockLanes];   // saved orbit, NaN at first
    alignas(16) double escape_zr[kBlockLanes], escape_zi[kBlockLanes]; // last mark inside
    alignas(16) int64_t escape_n[kBlockLanes]; // iterations done at that mark
    alignas(16) int64_t settled[kBlockLanes];  // count unless the lane escapes: limit, 1 or 0
    alignas(16) int64_t done[kBlockLanes];     // iterations done before this block
    alignas(16) double live[kBlockLanes];      // all-ones bits while the lane still iterates
    alignas(16) double escaped[kBlockLanes];   // all-ones bits once the lane has escaped
    int32_t* out[kBlockLanes];                 // where the lane's count goes; null when unused
    int32_t* row; // the counts of all the lanes, one after the other, for a whole block of a row
};

// Live lanes handed on by their blocks, oldest first.
struct Queue {
    alignas(16) double zr[kQueueCapacity], zi[kQueueCapacity];
    alignas(16) double cr[kQueueCapacity], ci[kQueueCapacity];
    alignas(16) double cycle_zr[kQueueCapacity], cycle_zi[kQueueCapacity];
    alignas(16) int64_t done[kQueueCapacity];
    int32_t* out[kQueueCapacity];
    int count;
};

} // namespace

// One iteration in escape_count's order of operations.
static inline void step(__m128d& zr, __m128d& zi, __m128d cr, __m128d ci)
{
    const __m128d r2 = _mm_mul_pd(zr, zr);
    const __m128d i2 = _mm_mul_pd(zi, zi);
    const __m128d twice_zr = _mm_add_pd(zr, zr); // exactly 2.0 * zr
    zi = _mm_add_pd(_mm_mul_pd(twice_zr, zi), ci);
    zr = _mm_add_pd(_mm_sub_pd(r2, i2), cr);
}

// The same step for loops that test every iteration: r2 and i2 hold the squares of the old
// value on entry and those of the new one on return, ready for the test and the next step.
static inline void step_squared(__m128d& zr, __m128d& zi, __m128d& r2, __m128d& i2, __m128d cr,
                                __m128d ci)
{
    const __m128d twice_zr = _mm_add_pd(zr, zr);
    zi = _mm_add_pd(_mm_mul_pd(twice_zr, zi), ci);
    zr = _mm_add_pd(_mm_sub_pd(r2, i2), cr);
    r2 = _mm_mul_pd(zr, zr);
    i2 = _mm_mul_pd(zi, zi);
}

// All-ones in the lanes where zr^2 + zi^2 < 4 is false, NaN included: escape_count's test.
static inline __m128d outside(__m128d zr, __m128d zi)
{
    const __m128d norm = _mm_add_pd(_mm_mul_pd(zr, zr), _mm_mul_pd(zi, zi));
    return _mm_cmpnlt_pd(norm, _mm_set1_pd(4.0));
}

static inline __m128d as_double(int64_t n)
{
    return _mm_castsi128_pd(_mm_set1_epi64x(n));
}

// b where mask is all-ones, a where it is 0; SSE2 has no blend instruction.
static inline __m128d blend(__m128d a, __m128d b, __m128d mask)
{
    return _mm_or_pd(_mm_and_pd(mask, b), _mm_andnot_pd(mask, a));
}

// All-ones in the lanes of the vector starting at lane at that hold one of the first used.
static inline __m128d lanes_in_use(int used, int at)
{
    return _mm_castsi128_pd(_mm_set_epi64x(used > at + 1 ? -1 : 0, used > at ? -1 : 0));
}

// Lanes whose c lies inside the main cardioid or the period-2 bulb with room to spare: the
// attracting fixed point or 2-cycle has a multiplier of magnitude at most 0.999. Rounding moves
// an orbit by about 1e-16 a step, which cannot carry it out of so strong a pull; points nearer
// the boundary take the full iteration.
static __m128d inside_cardioid_or_bulb(__m128d cr, __m128d ci)
{
    constexpr double kMaxMultiplierSquared = 0.998001; // 0.999^2
    constexpr double kCardioidReachSquared = 0.5625;   // the cardioid lies within |c| <= 3/4

    const __m128d one = _mm_set1_pd(1.0);
    const __m128d limit = _mm_set1_pd(kMaxMultiplierSquared);
    const __m128d ci2 = _mm_mul_pd(ci, ci);
    // The 2-cycle's multiplier is 4 (c + 1).
    const __m128d br = _mm_add_pd(cr, one);
    const __m128d bulb_mu2 = _mm_mul_pd(_mm_set1_pd(16.0), _mm_add_pd(_mm_mul_pd(br, br), ci2));
    const __m128d bulb = _mm_cmplt_pd(bulb_mu2, limit);
    const __m128d near =
        _mm_cmple_pd(_mm_add_pd(_mm_mul_pd(cr, cr), ci2), _mm_set1_pd(kCardioidReachSquared));
    if (_mm_movemask_pd(near) == 0) return bulb;
    // The fixed point's multiplier is mu = 1 - w with w = sqrt(1 - 4c), so
    // |mu|^2 = 1 + |w|^2 - 2 Re w, and Re w = sqrt((|1 - 4c| + Re(1 - 4c)) / 2).
    const __m128d ar = _mm_sub_pd(one, _mm_mul_pd(_mm_set1_pd(4.0), cr));
    const __m128d ai = _mm_mul_pd(_mm_set1_pd(-4.0), ci);
    const __m128d w_norm = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(ar, ar), _mm_mul_pd(ai, ai)));
    const __m128d w_re = _mm_sqrt_pd(_mm_mul_pd(_mm_add_pd(w_norm, ar), _mm_set1_pd(0.5)));
    const __m128d cardioid_mu2 = _mm_sub_pd(_mm_add_pd(one, w_norm), _mm_add_pd(w_re, w_re));
    const __m128d cardioid = _mm_cmplt_pd(cardioid_mu2, limit);
    return _mm_or_pd(bulb, _mm_and_pd(near, cardioid));
}

// The orbit state a vector of lanes starts from.
static void start_vector(Lanes* lanes, int at, __m128d zr, __m128d zi, __m128d cr, __m128d ci,
                         __m128d done)
{
    _mm_store_pd(lanes->zr + at, zr);
    _mm_store_pd(lanes->zi + at, zi);
    _mm_store_pd(lanes->cr + at, cr);
    _mm_store_pd(lanes->ci + at, ci);
    _mm_store_pd(lanes->escape_zr + at, zr);
    _mm_store_pd(lanes->escape_zi + at, zi);
    _mm_store_pd(reinterpret_cast<double*>(lanes->escape_n + at), done);
    _mm_store_pd(reinterpret_cast<double*>(lanes->done + at), done);
    _mm_store_pd(lanes->escaped + at, _mm_setzero_pd());
}

// Whether some live lane has |c| >= 1.9, too far out for chunk-end tests.
static bool far_out(__m128d cr, __m128d ci, __m128d live)
{
    constexpr double kUncheckedCSquared = 3.61; // 1.9^2
    const __m128d c2 = _mm_add_pd(_mm_mul_pd(cr, cr), _mm_mul_pd(ci, ci));
    const __m128d far = _mm_cmpnlt_pd(c2, _mm_set1_pd(kUncheckedCSquared));
    return _mm_movemask_pd(_mm_and_pd(far, live)) != 0;
}

// Fills the lanes with pixels 0 .. used - 1 of a block (re holds all kBlockLanes real parts)
// and returns the bits of the lanes left to iterate. unchecked: every live |c| is below 1.9.
static uint32_t load_pixels(Lanes* lanes, int32_t* counts, const double* re, int used, double im,
                            bool julia, double c_re, double c_im, int32_t limit, bool* unchecked)
{
    const __m128d zero = _mm_setzero_pd();
    const __m128d nan = _mm_set1_pd(std::numeric_limits<double>::quiet_NaN());
    const __m128d gone_count = as_double(julia ? 0 : std::min(limit, 1));
    uint32_t live_bits = 0;
    bool far = false;
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v) {
        const int at = v * kLanes;
        const __m128d px = _mm_loadu_pd(re + at);
        const __m128d py = _mm_set1_pd(im);
        const __m128d cr = julia ? _mm_set1_pd(c_re) : px;
        const __m128d ci = julia ? _mm_set1_pd(c_im) : py;
        // Counts known at once: a Julia start point outside radius 2 has count 0, and as the
        // first Mandelbrot step gives z = c exactly, |c| >= 2 escapes on iteration 1.
        const __m128d gone = julia ? outside(px, py) : outside(cr, ci);
        const __m128d settled = blend(as_double(limit), gone_count, gone);
        __m128d live = lanes_in_use(used, at);
        live = _mm_andnot_pd(gone, live);
        if (!julia) live = _mm_andnot_pd(inside_cardioid_or_bulb(cr, ci), live);
        if (limit == 0) live = zero;
        far = far || far_out(cr, ci, live);
        live_bits |= static_cast<uint32_t>(_mm_movemask_pd(live)) << at;
        _mm_store_pd(reinterpret_cast<double*>(lanes->settled + at), settled);
        _mm_store_pd(lanes->live + at, live);
    }
    for (int i = 0; i < kBlockLanes; ++i) lanes->out[i] = i < used ? counts + i : nullptr;
    lanes->row = used == kBlockLanes ? counts : nullptr;
    *unchecked = !far;
    // Blocks settled at once, common in the explorer's views, need nothing more.
    if (live_bits == 0) return 0;
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v) {
        const int at = v * kLanes;
        const __m128d px = _mm_loadu_pd(re + at);
        const __m128d py = _mm_set1_pd(im);
        if (julia)
            start_vector(lanes, at, px, py, _mm_set1_pd(c_re), _mm_set1_pd(c_im), zero);
        else
            start_vector(lanes, at, zero, zero, px, py, zero);
        _mm_store_pd(lanes->cycle_zr + at, nan);
        _mm_store_pd(lanes->cycle_zi + at, nan);
    }
    return live_bits;
}

// Fills the lanes with the first used entries of the queue, taking them out of it.
static uint32_t load_queue(Lanes* lanes, Queue* queue, int used, int32_t limit, bool* unchecked)
{
    uint32_t live_bits = 0;
    bool far = false;
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v) {
        const int at = v * kLanes;
        const __m128d live = lanes_in_use(used, at);
        // Unused lanes idle at z = 0, c = 0, where nothing changes.
        const __m128d zr = _mm_and_pd(live, _mm_load_pd(queue->zr + at));
        const __m128d zi = _mm_and_pd(live, _mm_load_pd(queue->zi + at));
        const __m128d cr = _mm_and_pd(live, _mm_load_pd(queue->cr + at));
        const __m128d ci = _mm_and_pd(live, _mm_load_pd(queue->ci + at));
        const __m128d done =
            _mm_and_pd(live, _mm_load_pd(reinterpret_cast<const double*>(queue->done + at)));
        far = far || far_out(cr, ci, live);
        live_bits |= static_cast<uint32_t>(_mm_movemask_pd(live)) << at;
        start_vector(lanes, at, zr, zi, cr, ci, done);
        _mm_store_pd(reinterpret_cast<double*>(lanes->settled + at), as_double(limit));
        _mm_store_pd(lanes->live + at, live);
        _mm_store_pd(lanes->cycle_zr + at, _mm_load_pd(queue->cycle_zr + at));
        _mm_store_pd(lanes->cycle_zi + at, _mm_load_pd(queue->cycle_zi + at));
    }
    for (int i = 0; i < kBlockLanes; ++i) lanes->out[i] = i < used ? queue->out[i] : nullptr;
    lanes->row = nullptr;
    // The few entries left move to the front.
    const int rest = queue->count - used;
    for (int i = 0; i < rest; ++i) {
        queue->zr[i] = queue->zr[used + i];
        queue->zi[i] = queue->zi[used + i];
        queue->cr[i] = queue->cr[used + i];
        queue->ci[i] = queue->ci[used + i];
        queue->cycle_zr[i] = queue->cycle_zr[used + i];
        queue->cycle_zi[i] = queue->cycle_zi[used + i];
        queue->done[i] = queue->done[used + i];
        queue->out[i] = queue->out[used + i];
    }
    queue->count = rest;
    *unchecked = !far;
    return live_bits;
}

// Retires the hit lanes that escaped, keeping the last mark they were inside at, and those
// whose orbit is back at the saved value: it then cycles for ever and never escapes. Returns
// the live bits.
static uint32_t settle_hits(Lanes* lanes, const __m128d* zr, const __m128d* zi, uint32_t hits,
                            int32_t chunk_n)
{
    uint32_t live_bits = 0;
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v) {
        const int at = v * kLanes;
        __m128d live = _mm_load_pd(lanes->live + at);
        if ((hits >> at & ((1u << kLanes) - 1)) != 0) {
            const __m128d out = _mm_and_pd(outside(zr[v], zi[v]), live);
            const __m128d again =
                _mm_and_pd(_mm_cmpeq_pd(zr[v], _mm_load_pd(lanes->cycle_zr + at)),
                           _mm_cmpeq_pd(zi[v], _mm_load_pd(lanes->cycle_zi + at)));
            // Marks are inside up to the stretch the lane escaped in, and outside after it.
            __m128d from_zr = _mm_load_pd(lanes->mark_zr[0] + at);
            __m128d from_zi = _mm_load_pd(lanes->mark_zi[0] + at);
            __m128d from_n = as_double(chunk_n);
#pragma GCC unroll kMarks
            for (int m = 1; m < kMarks; ++m) {
                const __m128d mark_zr = _mm_load_pd(lanes->mark_zr[m] + at);
                const __m128d mark_zi = _mm_load_pd(lanes->mark_zi[m] + at);
                const __m128d in = _mm_cmplt_pd(
                    _mm_add_pd(_mm_mul_pd(mark_zr, mark_zr), _mm_mul_pd(mark_zi, mark_zi)),
                    _mm_set1_pd(4.0));
                from_zr = blend(from_zr, mark_zr, in);
                from_zi = blend(from_zi, mark_zi, in);
                from_n = blend(from_n, as_double(chunk_n + m * kMarkSpacing), in);
            }
            const __m128i done = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes->done + at));
            from_n = _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(from_n), done));
            double* const escape_n = reinterpret_cast<double*>(lanes->escape_n + at);
            _mm_store_pd(lanes->escape_zr + at,
                         blend(_mm_load_pd(lanes->escape_zr + at), from_zr, out));
            _mm_store_pd(lanes->escape_zi + at,
                         blend(_mm_load_pd(lanes->escape_zi + at), from_zi, out));
            _mm_store_pd(escape_n, blend(_mm_load_pd(escape_n), from_n, out));
            _mm_store_pd(lanes->escaped + at, _mm_or_pd(_mm_load_pd(lanes->escaped + at), out));
            live = _mm_andnot_pd(_mm_or_pd(out, again), live);
            _mm_store_pd(lanes->live + at, live);
        }
        live_bits |= static_cast<uint32_t>(_mm_movemask_pd(live)) << at;
    }
    return live_bits;
}

// Retires the live lanes that have reached the limit after n iterations in this block (their
// count stays the limit) and returns the bits of the others; *stop becomes the block's
// iteration count at which the next of them reaches it.
static uint32_t retire_at_limit(Lanes* lanes, uint32_t live_bits, int32_t n, int32_t limit,
                                int32_t* stop)
{
    int64_t first = limit;
    for (uint32_t bits = live_bits; bits != 0; bits &= bits - 1) {
        const int i = __builtin_ctz(bits);
        const int64_t left = limit - lanes->done[i];
        if (left <= n) {
            lanes->live[i] = 0.0;
            live_bits &= ~(1u << i);
        } else {
            first = std::min(first, left);
        }
    }
    *stop = static_cast<int32_t>(first);
    return live_bits;
}

// Iterates the live lanes until each has escaped, come back to an earlier value or reached the
// limit, or, with hand_on, until no more than kLeftovers are left. Whole chunks run untested in
// between; with unchecked false every step is a chunk. Returns the bits of the lanes left;
// *n_done is the iterations this block did, *any_escaped whether some lane escaped.
static uint32_t run_lanes(Lanes* lanes, uint32_t live_bits, int32_t limit, bool unchecked,
                          bool hand_on, int32_t* n_done, bool* any_escaped)
{
    __m128d zr[kVectors], zi[kVectors], cr[kVectors], ci[kVectors];
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v) {
        zr[v] = _mm_load_pd(lanes->zr + v * kLanes);
        zi[v] = _mm_load_pd(lanes->zi + v * kLanes);
        cr[v] = _mm_load_pd(lanes->cr + v * kLanes);
        ci[v] = _mm_load_pd(lanes->ci + v * kLanes);
    }
    int32_t n = 0;
    int32_t stop;
    live_bits = retire_at_limit(lanes, live_bits, n, limit, &stop);
    int64_t next_save = kChunk;
    int lean_chunks = 0;
    while (live_bits != 0) {
        if (hand_on && __builtin_popcount(live_bits) <= kLeftovers &&
            (n == 0 || lean_chunks++ == kLeftoverChunks))
            break;
        const int32_t chunk_n = n;
        if (unchecked && stop - n >= kChunk) {
#pragma GCC unroll kChunk
            for (int k = 0; k < kChunk; ++k) {
                if (k % kMarkSpacing == 0) {
#pragma GCC unroll kVectors
                    for (int v = 0; v < kVectors; ++v) {
                        _mm_store_pd(lanes->mark_zr[k / kMarkSpacing] + v * kLanes, zr[v]);
                        _mm_store_pd(lanes->mark_zi[k / kMarkSpacing] + v * kLanes, zi[v]);
                    }
                }
#pragma GCC unroll kVectors
                for (int v = 0; v < kVectors; ++v) step(zr[v], zi[v], cr[v], ci[v]);
            }
            n += kChunk;
        } else {
            // The last steps before a lane's limit, or a single tested step. Marks the chunk
            // does not reach hold its end, which is outside whenever the lane escaped.
            const int32_t steps = unchecked ? stop - n : 1;
            for (int k = 0; k < kChunk; ++k) {
                if (k % kMarkSpacing == 0) {
#pragma GCC unroll kVectors
                    for (int v = 0; v < kVectors; ++v) {
                        _mm_store_pd(lanes->mark_zr[k / kMarkSpacing] + v * kLanes, zr[v]);
                        _mm_store_pd(lanes->mark_zi[k / kMarkSpacing] + v * kLanes, zi[v]);
                    }
                }
                if (k < steps) {
#pragma GCC unroll kVectors
                    for (int v = 0; v < kVectors; ++v) step(zr[v], zi[v], cr[v], ci[v]);
                }
            }
            n += steps;
        }

        // A quick look: out (NaN included), or back at the saved real part. Most chunks see
        // neither; settle_hits tells escapes from cycles.
        uint32_t hits = 0;
#pragma GCC unroll kVectors
        for (int v = 0; v < kVectors; ++v) {
            const __m128d again = _mm_cmpeq_pd(zr[v], _mm_load_pd(lanes->cycle_zr + v * kLanes));
            const int bits = _mm_movemask_pd(_mm_or_pd(outside(zr[v], zi[v]), again));
            hits |= static_cast<uint32_t>(bits) << (v * kLanes);
        }
        hits &= live_bits;
        if (hits != 0) {
            live_bits = settle_hits(lanes, zr, zi, hits, chunk_n);
            *any_escaped = true;
        }
        if (n >= stop) live_bits = retire_at_limit(lanes, live_bits, n, limit, &stop);
        if (n >= next_save) {
#pragma GCC unroll kVectors
            for (int v = 0; v < kVectors; ++v) {
                _mm_store_pd(lanes->cycle_zr + v * kLanes, zr[v]);
                _mm_store_pd(lanes->cycle_zi + v * kLanes, zi[v]);
            }
            // Saved at 8, 24, 40, 56, 80, 120, ...: the stretch over which the saved value is
            // looked for again grows by half each time, so a cycle of any period fits in one.
            next_save = n + std::max<int64_t>(2 * kChunk, n / 2 / kChunk * kChunk);
        }
    }
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v) {
        _mm_store_pd(lanes->zr + v * kLanes, zr[v]);
        _mm_store_pd(lanes->zi + v * kLanes, zi[v]);
    }
    *n_done = n;
    return live_bits;
}

// Writes the counts of the lanes not in live_bits: escaped lanes run once more from their last
// mark inside, now counting.
static void finish_block(const Lanes* lanes, uint32_t live_bits, bool any_escaped)
{
    __m128d count[kVectors];
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v)
        count[v] = _mm_load_pd(reinterpret_cast<const double*>(lanes->settled + v * kLanes));
    if (any_escaped) {
        const __m128d four = _mm_set1_pd(4.0);
        __m128d zr[kVectors], zi[kVectors], r2[kVectors], i2[kVectors], inside[kVectors];
        __m128i found[kVectors];
#pragma GCC unroll kVectors
        for (int v = 0; v < kVectors; ++v) {
            zr[v] = _mm_load_pd(lanes->escape_zr + v * kLanes);
            zi[v] = _mm_load_pd(lanes->escape_zi + v * kLanes);
            r2[v] = _mm_mul_pd(zr[v], zr[v]);
            i2[v] = _mm_mul_pd(zi[v], zi[v]);
            inside[v] = _mm_load_pd(lanes->escaped + v * kLanes);
            found[v] =
                _mm_load_si128(reinterpret_cast<const __m128i*>(lanes->escape_n + v * kLanes));
        }
        // Every escaped lane leaves within kMarkSpacing steps, so the loop ends once all have.
        for (int k = 0; k < kMarkSpacing; ++k) {
            __m128d any = _mm_setzero_pd();
#pragma GCC unroll kVectors
            for (int v = 0; v < kVectors; ++v) {
                step_squared(zr[v], zi[v], r2[v], i2[v], _mm_load_pd(lanes->cr + v * kLanes),
                             _mm_load_pd(lanes->ci + v * kLanes));
                // Subtracting an all-ones lane adds 1: a lane counts each iteration it starts
                // inside.
                found[v] = _mm_sub_epi64(found[v], _mm_castpd_si128(inside[v]));
                const __m128d out = _mm_cmpnlt_pd(_mm_add_pd(r2[v], i2[v]), four);
                inside[v] = _mm_andnot_pd(out, inside[v]);
                any = _mm_or_pd(any, inside[v]);
            }
            if (_mm_movemask_pd(any) == 0) break;
        }
#pragma GCC unroll kVectors
        for (int v = 0; v < kVectors; ++v)
            count[v] = blend(count[v], _mm_castsi128_pd(found[v]),
                             _mm_load_pd(lanes->escaped + v * kLanes));
    }
    if (lanes->row != nullptr) {
        // A whole block of a row: the lanes handed on get their counts again when they finish.
#pragma GCC unroll kVectors
        for (int v = 0; v < kVectors; ++v) {
            const __m128i packed =
                _mm_shuffle_epi32(_mm_castpd_si128(count[v]), _MM_SHUFFLE(2, 0, 2, 0));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(lanes->row + v * kLanes), packed);
        }
        return;
    }
    alignas(16) int64_t result[kBlockLanes];
#pragma GCC unroll kVectors
    for (int v = 0; v < kVectors; ++v)
        _mm_store_pd(reinterpret_cast<double*>(result + v * kLanes), count[v]);
    for (int i = 0; i < kBlockLanes; ++i)
        if (lanes->out[i] != nullptr && (live_bits >> i & 1) == 0)
            *lanes->out[i] = static_cast<int32_t>(result[i]);
}

// Runs a loaded block, writes the counts it settles and queues the lanes it hands on.
static void run_block(Lanes* lanes, uint32_t live_bits, int32_t limit, bool unchecked, bool hand_on,
                      Queue* queue)
{
    bool any_escaped = false;
    int32_t n = 0;
    if (live_bits != 0)
        live_bits = run_lanes(lanes, live_bits, limit, unchecked, hand_on, &n, &any_escaped);
    finish_block(lanes, live_bits, any_escaped);
    while (live_bits != 0) {
        const int i = __builtin_ctz(live_bits);
        live_bits &= live_bits - 1;
        const int k = queue->count++;
        queue->zr[k] = lanes->zr[i];
        queue->zi[k] = lanes->zi[i];
        queue->cr[k] = lanes->cr[i];
        queue->ci[k] = lanes->ci[i];
        queue->cycle_zr[k] = lanes->cycle_zr[i];
        queue->cycle_zi[k] = lanes->cycle_zi[i];
        queue->done[k] = lanes->done[i] + n;
        queue->out[k] = lanes->out[i];
    }
}

void escape_row_sse2(int32_t* counts, const double* re, int width, double im, bool julia,
                     double c_re, double c_im, int32_t max_iterations)
{
    // escape_count gives 0 for any limit <= 0, inside or not.
    const int32_t limit = std::max(max_iterations, 0);
    Lanes lanes;
    Queue queue = {};
    bool unchecked;
    for (int x = 0; x < width; x += kBlockLanes) {
        const int used = std::min(kBlockLanes, width - x);
        const double* block_re = re + x;
        alignas(16) double padded[kBlockLanes];
        if (used < kBlockLanes) {
            std::memset(padded, 0, sizeof padded);
            std::memcpy(padded, re + x, sizeof(double) * used);
            block_re = padded;
        }
        uint32_t live_bits = load_pixels(&lanes, counts + x, block_re, used, im, julia, c_re, c_im,
                                         limit, &unchecked);
        run_block(&lanes, live_bits, limit, unchecked, true, &queue);
        while (queue.count >= kBlockLanes) {
            live_bits = load_queue(&lanes, &queue, kBlockLanes, limit, &unchecked);
            run_block(&lanes, live_bits, limit, unchecked, true, &queue);
        }
    }
    // The row's last leftovers run to the end.
    while (queue.count > 0) {
        const uint32_t live_bits =
            load_queue(&lanes, &queue, std::min(queue.count, kBlockLanes), limit, &unchecked);
        run_block(&lanes, live_bits, limit, unchecked, false, &queue);
    }
}
