// The vector escape-time kernel, written once over the vector width; escape_row_sse2.cpp,
// escape_row_avx2.cpp and escape_row_avx512.cpp each compile it for their instruction set on
// x86-64, and escape_row_generic.cpp for any other processor.
//
// A row is cut into blocks of neighbouring pixels, one to a vector lane; neighbours take nearly
// the same number of iterations, so a block's lanes finish close together. Its vectors are
// stepped side by side, which hides each one's multiply and add latency behind the others' work.
// When only a few lanes of a block are left, they are handed on to a queue and later run
// together with other blocks' leftovers. The shape of the blocks is chosen per instruction set,
// and with AVX2 per row as well (escape_row_by_depth).
//
// Escapes are tested only at the end of a chunk of S::chunk iterations. That is exact: with
// |c| < 1.9, an orbit that has reached |z| >= 2 gets further out every step (|z^2 + c| >= 4 - 1.9,
// far beyond what rounding can take away) or overflows to infinity and NaN, so the chunk's end
// still sees it, and so do the marks the chunk leaves every kMarkSpacing iterations. A lane seen
// outside is rerun, counting, from the last mark it was inside at, when its block stops.
// Blocks with a larger |c| test after every iteration.
//
// An iteration takes three multiplies and four adds, and the adders also do the comparisons: in
// the kernels with S::two_by_product, every other vector forms 2 zr as a product, exact like the
// sum, so that the multipliers take a share of the adders' work.
//
// Which lanes are live is kept as bits in an ordinary register, one per lane. Vector
// comparisons only ever become such bits or pick between two vectors: GCC lowers a combination
// of comparison masks lane by lane for SSE2, and AVX-512 compares into mask registers anyway.
// Only those bits, the square root and the hiding of the factor 2 take x86 instructions by name;
// elsewhere they are written lane by lane, and every other line is the same on every processor.
#pragma once

#include "escape_time.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <cstring>

// Everything here has internal linkage: the constants as constexpr, the types in an anonymous
// namespace, the procedures static. Each including file compiles it with its own instruction
// set, and no copy may stand in for another file's at link time.

constexpr int kMarkSpacing = 4;
constexpr int kLeftoverChunks = 2;
constexpr int kUnrollAll = 16; // at least the vectors of a block, the steps of a chunk, the marks
constexpr double kEscapeRadiusSquared = 4.0;
constexpr double kPaddingRe = 4.0; // fills a row's last block: outside at once, in either mode
// A builtin rather than numeric_limits: an inline library function left out of line in an
// unoptimised build could be taken from another instruction set's object.
constexpr double kNaN = __builtin_nan("");

namespace {

// A block: kLanes doubles to a vector, kVectors vectors stepped together. A block down to
// kLeftovers live lanes hands them on after kLeftoverChunks more chunks: often they finish
// together with the rest, but a pixel on the edge of the set may run to the limit.
// kTwoByProduct: every other vector forms 2 zr as a product. kChunk: the iterations between
// escape tests.
template <int kLanes, int kVectors, int kLeftovers, bool kTwoByProduct = false, int kChunk = 8>
struct Shape {
    static constexpr int lanes = kLanes, vectors = kVectors, block = kLanes * kVectors;
    static constexpr int leftovers = kLeftovers, queue_capacity = block + kLeftovers;
    static constexpr bool two_by_product = kTwoByProduct;
    static constexpr int chunk = kChunk, marks = kChunk / kMarkSpacing;
    static_assert(kChunk % kMarkSpacing == 0 && kChunk <= kUnrollAll, "whole marks, unrolled");
    static constexpr uint64_t vector_bits = (uint64_t{1} << kLanes) - 1; // one vector's lanes
    static_assert(block <= 64, "a block's lanes are bits of a uint64_t");
    typedef double Doubles __attribute__((vector_size(8 * kLanes)));
    typedef int64_t Int64s __attribute__((vector_size(8 * kLanes)));
    typedef int32_t Int32s __attribute__((vector_size(4 * kLanes)));
    typedef int32_t Int32Pairs __attribute__((vector_size(8 * kLanes))); // halves of Int64s
};

// A block's lanes between chunks; while chunks run, the orbits live in registers.
template <typename S> struct Lanes {
    typename S::Doubles zr[S::vectors], zi[S::vectors]; // orbit after done + n iterations
    typename S::Doubles cr[S::vectors], ci[S::vectors];
    // The orbit every kMarkSpacing iterations of the current chunk, mark 0 at its start.
    typename S::Doubles mark_zr[S::marks][S::vectors], mark_zi[S::marks][S::vectors];
    typename S::Doubles cycle_zr[S::vectors], cycle_zi[S::vectors]; // saved orbit, NaN at first
    // The last mark an escaped lane was inside at; NaN while it has not escaped.
    typename S::Doubles escape_zr[S::vectors], escape_zi[S::vectors];
    typename S::Int64s escape_n[S::vectors]; // iterations done at that mark
    typename S::Int64s settled[S::vectors];  // count unless the lane escapes: limit, 1 or 0
    typename S::Int64s done[S::vectors];     // iterations done before this block
    int32_t* out[S::block];                  // where the lane's count goes; null when unused
    int32_t* row; // the counts of all the lanes, one after the other, for a whole block of a row
    bool fresh;   // pixels not iterated yet: every done is 0
};

// Live lanes handed on by their blocks, oldest first.
template <int kCapacity> struct Queue {
    double zr[kCapacity], zi[kCapacity];
    double cr[kCapacity], ci[kCapacity];
    double cycle_zr[kCapacity], cycle_zi[kCapacity];
    int64_t done[kCapacity];
    int32_t* out[kCapacity];
    int count;
};

} // namespace

template <typename Vector> static inline Vector load(const void* from)
{
    Vector v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

template <typename Vector> static inline void store(void* to, Vector v)
{
    std::memcpy(to, &v, sizeof v);
}

#if !defined(__x86_64__)
// One bit per lane of a comparison's result, whose lanes are all ones or all zeros.
template <typename Mask> static inline uint64_t mask_bits(Mask mask)
{
    uint64_t bits = 0;
    for (int i = 0; i < static_cast<int>(sizeof mask / sizeof mask[0]); ++i)
        bits |= static_cast<uint64_t>(mask[i] & 1) << i;
    return bits;
}
#endif

// The lanes where a < b, one bit each; false with NaN, like escape_count's test. Below 512 bits
// it is the plain vector comparison, which the compiler then shares with an a < b nearby.
template <typename Doubles> static inline uint64_t less_bits(Doubles a, Doubles b)
{
#if defined(__x86_64__)
    if constexpr (sizeof a == 64)
        return _mm512_cmp_pd_mask(a, b, _CMP_LT_OS);
    else if constexpr (sizeof a == 32)
        return static_cast<uint64_t>(_mm256_movemask_pd(__m256d(a < b)));
    else
        return static_cast<uint64_t>(_mm_movemask_pd(__m128d(a < b)));
#else
    return mask_bits(a < b);
#endif
}

// The lanes where a == b, one bit each.
template <typename Doubles> static inline uint64_t equal_bits(Doubles a, Doubles b)
{
#if defined(__x86_64__)
    if constexpr (sizeof a == 64)
        return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ);
    else if constexpr (sizeof a == 32)
        return static_cast<uint64_t>(_mm256_movemask_pd(__m256d(a == b)));
    else
        return static_cast<uint64_t>(_mm_movemask_pd(__m128d(a == b)));
#else
    return mask_bits(a == b);
#endif
}

// All-ones in the lanes whose bit is set. Each half of a lane is tested on its own, as SSE2
// compares no wider than 32 bits.
template <typename S> static inline typename S::Int64s lanes_mask(uint64_t bits)
{
    using Int32Pairs = typename S::Int32Pairs;
    Int32Pairs lane_bit;
    for (int i = 0; i < 2 * S::lanes; ++i) lane_bit[i] = 1 << (i / 2);
    return typename S::Int64s(((Int32Pairs{} + static_cast<int32_t>(bits)) & lane_bit) == lane_bit);
}

// a in the lanes of mask, b in the others; with bit operations, which every width does in a
// few instructions for a mask that is not a plain comparison.
template <typename Vector, typename Int64s>
static inline Vector select(Int64s mask, Vector a, Vector b)
{
    return Vector((Int64s(a) & mask) | (Int64s(b) & ~mask));
}

// Correctly rounded in every lane, as IEEE 754 asks of every square root instruction.
template <typename Doubles> static inline Doubles square_root(Doubles x)
{
#if defined(__x86_64__)
    // The unmasked 512-bit form trips a false uninitialised-value warning in GCC 12's header.
    if constexpr (sizeof x == 64)
        return _mm512_maskz_sqrt_pd(0xFF, x);
    else if constexpr (sizeof x == 32)
        return _mm256_sqrt_pd(x);
    else
        return _mm_sqrt_pd(x);
#else
    for (int i = 0; i < static_cast<int>(sizeof x / sizeof x[0]); ++i) x[i] = __builtin_sqrt(x[i]);
    return x;
#endif
}

// One iteration in escape_count's order of operations.
template <typename Doubles>
static inline void step(Doubles& zr, Doubles& zi, Doubles cr, Doubles ci)
{
    const Doubles r2 = zr * zr;
    const Doubles i2 = zi * zi;
    const Doubles twice_zr = zr + zr; // exactly 2.0 * zr
    zi = twice_zr * zi + ci;
    zr = r2 - i2 + cr;
}

// The same step with 2 zr as a product. two holds 2.0 where the compiler cannot see it, or it
// would make the product a sum again.
template <typename Doubles>
static inline void step_by_product(Doubles& zr, Doubles& zi, Doubles cr, Doubles ci, Doubles two)
{
    const Doubles r2 = zr * zr;
    const Doubles i2 = zi * zi;
    const Doubles twice_zr = zr * two;
    zi = twice_zr * zi + ci;
    zr = r2 - i2 + cr;
}

// 2.0 in every lane, for step_by_product.
template <typename Doubles> static inline Doubles hidden_two()
{
    Doubles two = Doubles{} + 2.0;
#if defined(__x86_64__)
    __asm__("" : "+v"(two));
#endif
    return two;
}

// The same step for loops that test every iteration: r2 and i2 hold the squares of the old
// value on entry and those of the new one on return, ready for the test and the next step.
template <typename Doubles>
static inline void step_squared(Doubles& zr, Doubles& zi, Doubles& r2, Doubles& i2, Doubles cr,
                                Doubles ci)
{
    const Doubles twice_zr = zr + zr;
    zi = twice_zr * zi + ci;
    zr = r2 - i2 + cr;
    r2 = zr * zr;
    i2 = zi * zi;
}

// The lanes inside radius 2: zr^2 + zi^2 < 4, in escape_count's order of operations.
template <typename Doubles> static inline uint64_t inside_bits(Doubles zr, Doubles zi)
{
    return less_bits(zr * zr + zi * zi, Doubles{} + kEscapeRadiusSquared);
}

// Lanes whose c lies inside the main cardioid or the period-2 bulb with room to spare: the
// attracting fixed point or 2-cycle has a multiplier of magnitude at most 0.999. Rounding moves
// an orbit by about 1e-16 a step, which cannot carry it out of so strong a pull; points nearer
// the boundary take the full iteration.
template <typename Doubles> static uint64_t inside_cardioid_or_bulb(Doubles cr, Doubles ci)
{
    constexpr double kMaxMultiplierSquared = 0.998001; // 0.999^2
    // The cardioid lies within |c| <= 3/4 and its points with so small a multiplier well within.
    constexpr double kCardioidReachSquared = 0.5625;

    const Doubles limit = Doubles{} + kMaxMultiplierSquared;
    const Doubles ci2 = ci * ci;
    // The 2-cycle's multiplier is 4 (c + 1).
    const Doubles br = cr + 1.0;
    const uint64_t bulb = less_bits(16.0 * (br * br + ci2), limit);
    const uint64_t near = less_bits(cr * cr + ci2, Doubles{} + kCardioidReachSquared);
    if (near == 0) return bulb;
    // The fixed point's multiplier is mu = 1 - w with w = sqrt(1 - 4c), so
    // |mu|^2 = 1 + |w|^2 - 2 Re w, and Re w = sqrt((|1 - 4c| + Re(1 - 4c)) / 2).
    const Doubles ar = 1.0 - 4.0 * cr;
    const Doubles ai = -4.0 * ci;
    const Doubles w_norm = square_root(ar * ar + ai * ai);
    const Doubles w_re = square_root((w_norm + ar) * 0.5);
    const uint64_t cardioid = less_bits(1.0 + w_norm - (w_re + w_re), limit);
    return bulb | (near & cardioid);
}

// The lanes with |c| >= 1.9, too far out for chunk-end tests.
template <typename Doubles> static uint64_t far_out(Doubles cr, Doubles ci)
{
    constexpr double kUncheckedCSquared = 3.61; // 1.9^2
    return ~less_bits(cr * cr + ci * ci, Doubles{} + kUncheckedCSquared);
}

// The orbit state vector v of the lanes starts from.
template <typename S>
static void start_vector(Lanes<S>* lanes, int v, typename S::Doubles zr, typename S::Doubles zi,
                         typename S::Doubles cr, typename S::Doubles ci, typename S::Int64s done)
{
    const typename S::Doubles nan = typename S::Doubles{} + kNaN;
    lanes->zr[v] = zr;
    lanes->zi[v] = zi;
    lanes->cr[v] = cr;
    lanes->ci[v] = ci;
    lanes->escape_zr[v] = nan;
    lanes->escape_zi[v] = nan;
    lanes->escape_n[v] = done;
    lanes->done[v] = done;
}

// Fills the lanes with a block of pixels, the first used of them real (re holds all S::block
// real parts, kPaddingRe after those), and returns the bits of the lanes left to iterate.
// unchecked: every live |c| is below 1.9.
template <typename S>
static uint64_t load_pixels(Lanes<S>* lanes, int32_t* counts, const double* re, int used, double im,
                            bool julia, double c_re, double c_im, int32_t limit, bool* unchecked)
{
    using Doubles = typename S::Doubles;
    using Int64s = typename S::Int64s;
    const Doubles zero = {};
    const Doubles four = zero + kEscapeRadiusSquared;
    const Int64s inside_count = Int64s{} + limit;
    const Int64s gone_count = Int64s{} + (julia ? 0 : limit < 1 ? limit : 1);
    uint64_t live_bits = 0;
    bool far = false;
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < S::vectors; ++v) {
        const int at = v * S::lanes;
        const Doubles px = load<Doubles>(re + at);
        const Doubles py = zero + im;
        const Doubles cr = julia ? zero + c_re : px;
        const Doubles ci = julia ? zero + c_im : py;
        // Counts known at once: a Julia start point outside radius 2 has count 0, and as the
        // first Mandelbrot step gives z = c exactly, |c| >= 2 escapes on iteration 1. Either way
        // the pixel's own point is tested.
        const Doubles norm = px * px + py * py;
        lanes->settled[v] = norm < four ? inside_count : gone_count;
        uint64_t live = less_bits(norm, four);
        if (!julia) live &= ~inside_cardioid_or_bulb(cr, ci);
        far = far || (far_out(cr, ci) & live) != 0;
        live_bits |= live << at;
    }
    if (limit == 0) live_bits = 0;
    // A whole block of the row writes its counts as vectors; out is for a row's last few pixels.
    lanes->row = used == S::block ? counts : nullptr;
    if (used < S::block)
        for (int i = 0; i < S::block; ++i) lanes->out[i] = i < used ? counts + i : nullptr;
    lanes->fresh = true;
    *unchecked = !far;
    // Blocks settled at once, common in the explorer's views, need nothing more.
    if (live_bits == 0) return 0;
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < S::vectors; ++v) {
        const Doubles px = load<Doubles>(re + v * S::lanes);
        const Doubles py = zero + im;
        if (julia)
            start_vector(lanes, v, px, py, zero + c_re, zero + c_im, Int64s{});
        else
            start_vector(lanes, v, zero, zero, px, py, Int64s{});
        lanes->cycle_zr[v] = zero + kNaN;
        lanes->cycle_zi[v] = lanes->cycle_zr[v];
    }
    return live_bits;
}

// Fills the lanes with the first used entries of the queue, taking them out of it.
template <typename S, int kCapacity>
static uint64_t load_queue(Lanes<S>* lanes, Queue<kCapacity>* queue, int used, int32_t limit,
                           bool* unchecked)
{
    using Doubles = typename S::Doubles;
    using Int64s = typename S::Int64s;
    const Doubles zero = {};
    const uint64_t live_bits = used == 64 ? ~uint64_t{0} : (uint64_t{1} << used) - 1;
    uint64_t far = 0;
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < S::vectors; ++v) {
        const int at = v * S::lanes;
        // Unused lanes idle at z = 0, c = 0, where nothing changes.
        const Int64s live = lanes_mask<S>(live_bits >> at);
        const Doubles cr = select(live, load<Doubles>(queue->cr + at), zero);
        const Doubles ci = select(live, load<Doubles>(queue->ci + at), zero);
        start_vector(lanes, v, select(live, load<Doubles>(queue->zr + at), zero),
                     select(live, load<Doubles>(queue->zi + at), zero), cr, ci,
                     load<Int64s>(queue->done + at));
        lanes->settled[v] = Int64s{} + limit;
        lanes->cycle_zr[v] = load<Doubles>(queue->cycle_zr + at);
        lanes->cycle_zi[v] = load<Doubles>(queue->cycle_zi + at);
        far |= far_out(cr, ci) & S::vector_bits;
    }
    for (int i = 0; i < S::block; ++i) lanes->out[i] = i < used ? queue->out[i] : nullptr;
    lanes->row = nullptr;
    lanes->fresh = false;
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
    *unchecked = far == 0;
    return live_bits;
}

// Retires the hit lanes of the first kActive vectors that escaped, keeping the last mark they
// were inside at, and those whose orbit is back at the saved value: it then cycles for ever and
// never escapes. Returns the live bits left.
template <typename S, int kActive>
static uint64_t settle_hits(Lanes<S>* lanes, const typename S::Doubles* zr,
                            const typename S::Doubles* zi, uint64_t hits, uint64_t live_bits,
                            int32_t chunk_n, bool* any_escaped)
{
    using Doubles = typename S::Doubles;
    using Int64s = typename S::Int64s;
    const Doubles four = Doubles{} + kEscapeRadiusSquared;
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < kActive; ++v) {
        const int at = v * S::lanes;
        if ((hits >> at & S::vector_bits) == 0) continue;
        const uint64_t out = ~inside_bits(zr[v], zi[v]) & live_bits >> at & S::vector_bits;
        const uint64_t again =
            equal_bits(zr[v], lanes->cycle_zr[v]) & equal_bits(zi[v], lanes->cycle_zi[v]);
        live_bits &= ~((out | again) << at);
        if (out == 0) continue;
        *any_escaped = true;
        // Marks are inside up to the stretch the lane escaped in, and outside after it.
        Doubles from_zr = lanes->mark_zr[0][v];
        Doubles from_zi = lanes->mark_zi[0][v];
        Int64s from_n = lanes->done[v] + chunk_n;
#pragma GCC unroll kUnrollAll
        for (int m = 1; m < S::marks; ++m) {
            const Doubles mark_zr = lanes->mark_zr[m][v];
            const Doubles mark_zi = lanes->mark_zi[m][v];
            const auto in = mark_zr * mark_zr + mark_zi * mark_zi < four;
            from_zr = in ? mark_zr : from_zr;
            from_zi = in ? mark_zi : from_zi;
            from_n = in ? lanes->done[v] + (chunk_n + m * kMarkSpacing) : from_n;
        }
        // Whole vectors are written, which later whole-vector loads can take straight from the
        // store; a lane written alone would hold them up.
        const Int64s escaped = lanes_mask<S>(out);
        lanes->escape_zr[v] = select(escaped, from_zr, lanes->escape_zr[v]);
        lanes->escape_zi[v] = select(escaped, from_zi, lanes->escape_zi[v]);
        lanes->escape_n[v] = select(escaped, from_n, lanes->escape_n[v]);
    }
    return live_bits;
}

// Retires the live lanes that have reached the limit after n iterations in this block (their
// count stays the limit) and returns the bits of the others; *stop becomes the block's
// iteration count at which the next of them reaches it.
template <typename S>
static uint64_t retire_at_limit(const Lanes<S>* lanes, uint64_t live_bits, int32_t n, int32_t limit,
                                int32_t* stop)
{
    int64_t first = limit;
    for (uint64_t bits = live_bits; bits != 0; bits &= bits - 1) {
        const int i = __builtin_ctzll(bits);
        const int64_t left = limit - lanes->done[i / S::lanes][i % S::lanes];
        if (left <= n)
            live_bits &= ~(uint64_t{1} << i);
        else if (left < first)
            first = left;
    }
    *stop = static_cast<int32_t>(first);
    return live_bits;
}

// Copies the orbits into the marks of chunk step k, when a mark falls there.
template <typename S, int kActive>
static inline void leave_mark(Lanes<S>* lanes, int k, const typename S::Doubles* zr,
                              const typename S::Doubles* zi)
{
    if (k % kMarkSpacing != 0) return;
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < kActive; ++v) {
        lanes->mark_zr[k / kMarkSpacing][v] = zr[v];
        lanes->mark_zi[k / kMarkSpacing][v] = zi[v];
    }
}

// Iterates the live lanes, all in the first kActive vectors, until each has escaped, come back
// to an earlier value or reached the limit, or until no more than hand_on are left. Whole chunks
// run untested in between; with unchecked false every step is a chunk. Returns the bits of the
// lanes left; *n_done is the iterations this block did, *any_escaped whether some lane escaped.
template <typename S, int kActive>
static uint64_t run_lanes(Lanes<S>* lanes, uint64_t live_bits, int32_t limit, bool unchecked,
                          int hand_on, int32_t* n_done, bool* any_escaped)
{
    using Doubles = typename S::Doubles;
    Doubles zr[kActive], zi[kActive], cr[kActive], ci[kActive];
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < kActive; ++v) {
        zr[v] = lanes->zr[v];
        zi[v] = lanes->zi[v];
        cr[v] = lanes->cr[v];
        ci[v] = lanes->ci[v];
    }
    int32_t n = 0;
    int32_t stop = limit;
    if (!lanes->fresh) live_bits = retire_at_limit(lanes, live_bits, n, limit, &stop);
    Doubles two = {};
    if constexpr (S::two_by_product) two = hidden_two<Doubles>();
    int64_t next_save = S::chunk;
    int lean_chunks = 0;
    while (live_bits != 0) {
        if (__builtin_popcountll(live_bits) <= hand_on &&
            (n == 0 || lean_chunks++ == kLeftoverChunks))
            break;
        const int32_t chunk_n = n;
        if (unchecked && stop - n >= S::chunk) {
#pragma GCC unroll kUnrollAll
            for (int k = 0; k < S::chunk; ++k) {
                leave_mark<S, kActive>(lanes, k, zr, zi);
#pragma GCC unroll kUnrollAll
                for (int v = 0; v < kActive; ++v) {
                    if (S::two_by_product && v % 2 == 1)
                        step_by_product(zr[v], zi[v], cr[v], ci[v], two);
                    else
                        step(zr[v], zi[v], cr[v], ci[v]);
                }
            }
            n += S::chunk;
        } else {
            // The last steps before a lane's limit, or a single tested step. Marks the chunk
            // does not reach hold its end, which is outside whenever the lane escaped.
            const int32_t steps = unchecked ? stop - n : 1;
            for (int k = 0; k < S::chunk; ++k) {
                leave_mark<S, kActive>(lanes, k, zr, zi);
                if (k < steps) {
#pragma GCC unroll kUnrollAll
                    for (int v = 0; v < kActive; ++v) step(zr[v], zi[v], cr[v], ci[v]);
                }
            }
            n += steps;
        }

        // A quick look: out (NaN included), or back at the saved real part. Most chunks see
        // neither; settle_hits tells escapes from cycles.
        uint64_t hits = 0;
#pragma GCC unroll kUnrollAll
        for (int v = 0; v < kActive; ++v) {
            const uint64_t out = ~inside_bits(zr[v], zi[v]) & S::vector_bits;
            hits |= (out | equal_bits(zr[v], lanes->cycle_zr[v])) << (v * S::lanes);
        }
        hits &= live_bits;
        if (hits != 0)
            live_bits =
                settle_hits<S, kActive>(lanes, zr, zi, hits, live_bits, chunk_n, any_escaped);
        if (n >= stop) live_bits = retire_at_limit(lanes, live_bits, n, limit, &stop);
        if (n >= next_save) {
#pragma GCC unroll kUnrollAll
            for (int v = 0; v < kActive; ++v) {
                lanes->cycle_zr[v] = zr[v];
                lanes->cycle_zi[v] = zi[v];
            }
            // With chunks of 8, saved at 8, 24, 40, 56, 80, 120, ...: the stretch over which the
            // saved value is looked for again grows by half each time, so a cycle of any period
            // fits in one.
            const int64_t stretch = n / 2 / S::chunk * S::chunk;
            next_save = n + (stretch > 2 * S::chunk ? stretch : 2 * S::chunk);
        }
    }
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < kActive; ++v) {
        lanes->zr[v] = zr[v];
        lanes->zi[v] = zi[v];
    }
    *n_done = n;
    return live_bits;
}

// run_lanes stepping only the first active vectors: lanes taken from the queue are packed at
// the front, and an idle vector costs as much to step as a full one.
template <typename S, int kActive = S::vectors>
static uint64_t run_active_lanes(Lanes<S>* lanes, int active, uint64_t live_bits, int32_t limit,
                                 bool unchecked, int hand_on, int32_t* n_done, bool* any_escaped)
{
    if constexpr (kActive > 1) {
        if (active < kActive)
            return run_active_lanes<S, kActive - 1>(lanes, active, live_bits, limit, unchecked,
                                                    hand_on, n_done, any_escaped);
    }
    return run_lanes<S, kActive>(lanes, live_bits, limit, unchecked, hand_on, n_done, any_escaped);
}

// Writes the counts of the lanes not in live_bits: escaped lanes run once more from their last
// mark inside, now counting.
template <typename S>
static void finish_block(const Lanes<S>* lanes, uint64_t live_bits, bool any_escaped)
{
    using Doubles = typename S::Doubles;
    using Int64s = typename S::Int64s;
    const Doubles four = Doubles{} + kEscapeRadiusSquared;
    Int64s count[S::vectors];
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < S::vectors; ++v) count[v] = lanes->settled[v];
        // Vector by vector, skipping those without an escaped lane: few registers, no spills.
#pragma GCC unroll kUnrollAll
    for (int v = 0; v < S::vectors; ++v) {
        if (!any_escaped) break;
        Doubles zr = lanes->escape_zr[v];
        Doubles zi = lanes->escape_zi[v];
        Doubles r2 = zr * zr;
        Doubles i2 = zi * zi;
        // The escaped lanes: false for the NaN of the others, whose count stays.
        if (less_bits(r2 + i2, four) == 0) continue;
        Int64s inside = r2 + i2 < four;
        count[v] = inside ? lanes->escape_n[v] : count[v];
        // Every escaped lane leaves within kMarkSpacing steps.
#pragma GCC unroll kUnrollAll
        for (int k = 0; k < kMarkSpacing; ++k) {
            step_squared(zr, zi, r2, i2, lanes->cr[v], lanes->ci[v]);
            // Subtracting an all-ones lane adds 1: a lane counts each iteration it starts inside.
            count[v] -= inside;
            inside &= r2 + i2 < four;
        }
    }
    if (lanes->row != nullptr) {
        // A whole block of a row: the lanes handed on get their counts again when they finish.
#pragma GCC unroll kUnrollAll
        for (int v = 0; v < S::vectors; ++v)
            store(lanes->row + v * S::lanes, __builtin_convertvector(count[v], typename S::Int32s));
        return;
    }
    for (int i = 0; i < S::block; ++i)
        if (lanes->out[i] != nullptr && (live_bits >> i & 1) == 0)
            *lanes->out[i] = static_cast<int32_t>(count[i / S::lanes][i % S::lanes]);
}

// Runs a block loaded with used lanes, writes the counts it settles and queues the lanes it
// hands on once no more than hand_on are left.
template <typename S, int kCapacity>
static void run_block(Lanes<S>* lanes, int used, uint64_t live_bits, int32_t limit, bool unchecked,
                      int hand_on, Queue<kCapacity>* queue)
{
    bool any_escaped = false;
    int32_t n = 0;
    const int active = (used + S::lanes - 1) / S::lanes;
    if (live_bits != 0)
        live_bits =
            run_active_lanes(lanes, active, live_bits, limit, unchecked, hand_on, &n, &any_escaped);
    finish_block(lanes, live_bits, any_escaped);
    while (live_bits != 0) {
        const int i = __builtin_ctzll(live_bits);
        const int v = i / S::lanes, lane = i % S::lanes;
        live_bits &= live_bits - 1;
        const int k = queue->count++;
        queue->zr[k] = lanes->zr[v][lane];
        queue->zi[k] = lanes->zi[v][lane];
        queue->cr[k] = lanes->cr[v][lane];
        queue->ci[k] = lanes->ci[v][lane];
        queue->cycle_zr[k] = lanes->cycle_zr[v][lane];
        queue->cycle_zi[k] = lanes->cycle_zi[v][lane];
        queue->done[k] = lanes->done[v][lane] + n;
        queue->out[k] = lanes->row != nullptr ? lanes->row + i : lanes->out[i];
    }
}

// Runs the row's last leftovers to the end, handed on whenever they fit in fewer vectors. So
// few lanes are held up by the latency of each step rather than by the number of operations, and
// a 512-bit add takes longer than a 256-bit one: once they fit in one 512-bit vector they go on
// in two 256-bit ones.
template <typename S, int kCapacity> static void drain_queue(Queue<kCapacity>* queue, int32_t limit)
{
    constexpr bool k512Bits = sizeof(typename S::Doubles) == 64;
    Lanes<S> lanes;
    bool unchecked;
    while (queue->count > 0) {
        if constexpr (k512Bits) {
            if (queue->count <= S::lanes) {
                drain_queue<Shape<S::lanes / 2, 2, 0, S::two_by_product, S::chunk>>(queue, limit);
                return;
            }
        }
        const int used = queue->count < S::block ? queue->count : S::block;
        const uint64_t live_bits = load_queue(&lanes, queue, used, limit, &unchecked);
        const int fewer_vectors = (used - 1) / S::lanes * S::lanes;
        run_block(&lanes, used, live_bits, limit, unchecked, fewer_vectors, queue);
    }
}

// The kernel's entry: escape_row's contract, for blocks of shape S.
template <typename S>
static void escape_row_blocks(int32_t* counts, const double* re, int width, double im, bool julia,
                              double c_re, double c_im, int32_t max_iterations)
{
    // escape_count gives 0 for any limit <= 0, inside or not.
    const int32_t limit = max_iterations > 0 ? max_iterations : 0;
    Lanes<S> lanes;
    Queue<S::queue_capacity> queue = {};
    bool unchecked;
    for (int x = 0; x < width; x += S::block) {
        const int used = width - x < S::block ? width - x : S::block;
        const double* block_re = re + x;
        double padded[S::block];
        if (used < S::block) {
            std::memcpy(padded, re + x, sizeof(double) * used);
            for (int i = used; i < S::block; ++i) padded[i] = kPaddingRe;
            block_re = padded;
        }
        uint64_t live_bits = load_pixels(&lanes, counts + x, block_re, used, im, julia, c_re, c_im,
                                         limit, &unchecked);
        run_block(&lanes, used, live_bits, limit, unchecked, S::leftovers, &queue);
        while (queue.count >= S::block) {
            live_bits = load_queue(&lanes, &queue, S::block, limit, &unchecked);
            run_block(&lanes, S::block, live_bits, limit, unchecked, S::leftovers, &queue);
        }
    }
    drain_queue<S>(&queue, limit);
}

// The same with a shape for each row: Deep when the row's first pixel stays inside for
// kDeepIterations, Shallow otherwise.
template <typename Shallow, typename Deep, int32_t kDeepIterations>
static void escape_row_by_depth(int32_t* counts, const double* re, int width, double im, bool julia,
                                double c_re, double c_im, int32_t max_iterations)
{
    if (width <= 0) return;
    const int32_t probe = julia ? escape_count(re[0], im, c_re, c_im, kDeepIterations)
                                : escape_count(0.0, 0.0, re[0], im, kDeepIterations);
    if (probe == kDeepIterations)
        escape_row_blocks<Deep>(counts, re, width, im, julia, c_re, c_im, max_iterations);
    else
        escape_row_blocks<Shallow>(counts, re, width, im, julia, c_re, c_im, max_iterations);
}
