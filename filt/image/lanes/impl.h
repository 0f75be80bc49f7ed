// The image-loop kernels of filt/image/kernels.h, written once for every width.
//
// Each stub file of this folder (one per path of filt/simd/paths.h, and the scalar
// one) defines VX_PATH (the path's name), VX_LANES (floats per vector: 1, 4, 8 or 16)
// and VX_LANES_TARGET (the function attribute that selects the instruction set,
// empty where the baseline has it) and then includes this file, which defines the
// path's kernel table k<VX_PATH>ImageKernels and puts everything else in an unnamed
// namespace (see filt/engine/lanes/impl.h for why).
//
// Every kernel is a loop over one templated step: the step runs on a whole vector
// of values (V = Vec) while enough remain, then on single values (V = float). The
// arithmetic of a step therefore exists once; the vector and the scalar form differ
// only in how values are loaded and stored. With VX_LANES 1, Vec is float itself:
// that instantiation is the scalar path.
#ifndef VX_LANES
#error "define VX_PATH, VX_LANES and VX_LANES_TARGET before including filt/image/lanes/impl.h"
#endif

#include "filt/image/arith.h"
#include "filt/image/kernels.h"

#if VX_LANES > 1 && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VX_X86 1
#elif VX_LANES > 1 && defined(__aarch64__)
#include <arm_neon.h>
#define VX_NEON 1
#endif

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace vx_detail {
namespace {

constexpr std::int32_t kLanes = VX_LANES;

#define VX_FLATTEN VX_LANES_TARGET inline __attribute__((always_inline))

// ---------------------------------------------------------------------------
// Single values: loads, stores and the square root.

VX_FLATTEN void loadComplex(const float* p, float& re, float& im) {
  re = p[0];
  im = p[1];
}
VX_FLATTEN float squareRoot(float v) { return __builtin_sqrtf(v); }
template <class P>
VX_FLATTEN void storeLowBits(P* out, float t) {
  *out = lowBitsTruncated<P>(t);
}
VX_FLATTEN void storeDouble(double* out, float v) { *out = static_cast<double>(v); }
VX_FLATTEN void storeQuadrant(unsigned char* out, float re, float im) {
  *out = static_cast<unsigned char>((re < 0.0f ? 1 : 0) | (im < 0.0f ? 2 : 0));
}
template <class T>
VX_FLATTEN void loadSample(const T* in, float& v) {
  v = static_cast<float>(*in);
}
VX_FLATTEN void storeComplex(float* p, float re, float im) {
  p[0] = re;
  p[1] = im;
}
VX_FLATTEN float laneOf(float v, std::int32_t) { return v; }

#if VX_LANES == 1
typedef float Vec;
#define VX_EVERY_LANE(s) s
#else
// ---------------------------------------------------------------------------
// Whole vectors.

typedef float Vec __attribute__((vector_size(4 * VX_LANES)));
typedef std::int32_t IVec __attribute__((vector_size(4 * VX_LANES)));
// Half a vector of floats, and as many doubles (a whole vector of them).
typedef float HalfVec __attribute__((vector_size(2 * VX_LANES)));
typedef double DVec __attribute__((vector_size(4 * VX_LANES)));
typedef unsigned char U8Vec __attribute__((vector_size(VX_LANES)));
typedef unsigned short U16Vec __attribute__((vector_size(2 * VX_LANES)));
// Half as many 64-bit integers as floats, for the masks of doubles, and as many 32-bit
// integers (half a vector of them).
typedef std::int64_t LVec __attribute__((vector_size(4 * VX_LANES)));
typedef std::int32_t HalfIVec __attribute__((vector_size(2 * VX_LANES)));

template <class V>
VX_FLATTEN V loadAs(const void* p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

template <class V>
VX_FLATTEN void storeAs(void* p, V v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// ---------------------------------------------------------------------------
// What depends on the width, in one section per width (and, within one, on the
// instruction set):
//   VX_LOWER, VX_UPPER   the lanes of the lower and the upper half
//   VX_EVERY_LANE(s)     s once for every lane
//   VX_EVENS, VX_ODDS    the even and the odd lanes of two vectors
//   VX_ZIP_LO, VX_ZIP_HI the lanes of two vectors interleaved, lower and upper half
//   squareRoot(v)        the square root of every lane, correctly rounded as the
//                        scalar one is
//   fitsInt32(t)         whether every lane lies strictly between -2^31 and 2^31, where
//                        truncation to 32 bits keeps the low bits that truncation to
//                        64 bits gives
//   loadSample(in, v)    kLanes 8- or 16-bit samples converted to float, exactly (on x86
//                        widened with the instruction set's own zero extension, which
//                        the compilers do not all find)
//   allLanes(mask)       whether a comparison of doubles holds in every lane
// The 16-lane forms use the zero-masked AVX-512 instructions with every lane kept: the
// plain ones trip a false uninitialized-use warning of GCC 12.

#if VX_LANES == 4
#define VX_LOWER 0, 1
#define VX_UPPER 2, 3
#define VX_EVERY_LANE(s) s, s, s, s
#define VX_EVENS 0, 2, 4, 6
#define VX_ODDS 1, 3, 5, 7
#define VX_ZIP_LO 0, 4, 1, 5
#define VX_ZIP_HI 2, 6, 3, 7
#if defined(VX_NEON)
VX_FLATTEN Vec squareRoot(const Vec& v) { return (Vec)vsqrtq_f32((float32x4_t)v); }
VX_FLATTEN bool fitsInt32(const Vec& t) {
  const IVec inside = (t < 2147483648.0f) & (t > -2147483648.0f);
  return vminvq_u32((uint32x4_t)inside) != 0;
}
VX_FLATTEN void loadSample(const unsigned char* in, Vec& v) {
  v = __builtin_convertvector(__builtin_convertvector(loadAs<U8Vec>(in), IVec), Vec);
}
VX_FLATTEN void loadSample(const unsigned short* in, Vec& v) {
  v = __builtin_convertvector(__builtin_convertvector(loadAs<U16Vec>(in), IVec), Vec);
}
VX_FLATTEN bool allLanes(const LVec& mask) { return mask[0] != 0 && mask[1] != 0; }
#else
VX_FLATTEN Vec squareRoot(const Vec& v) { return (Vec)_mm_sqrt_ps((__m128)v); }
VX_FLATTEN bool fitsInt32(const Vec& t) {
  const IVec inside = (t < 2147483648.0f) & (t > -2147483648.0f);
  return _mm_movemask_ps((__m128)inside) == 0xf;
}
VX_FLATTEN void loadSample(const unsigned char* in, Vec& v) {
  std::int32_t bytes;
  __builtin_memcpy(&bytes, in, sizeof bytes);
  const __m128i zero = _mm_setzero_si128();
  const __m128i words = _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero);
  v = (Vec)_mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
}
VX_FLATTEN void loadSample(const unsigned short* in, Vec& v) {
  const __m128i words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
  v = (Vec)_mm_cvtepi32_ps(_mm_unpacklo_epi16(words, _mm_setzero_si128()));
}
VX_FLATTEN bool allLanes(const LVec& mask) { return _mm_movemask_pd((__m128d)mask) == 0x3; }
#endif

#elif VX_LANES == 8
#define VX_LOWER 0, 1, 2, 3
#define VX_UPPER 4, 5, 6, 7
#define VX_EVERY_LANE(s) s, s, s, s, s, s, s, s
#define VX_EVENS 0, 2, 4, 6, 8, 10, 12, 14
#define VX_ODDS 1, 3, 5, 7, 9, 11, 13, 15
#define VX_ZIP_LO 0, 8, 1, 9, 2, 10, 3, 11
#define VX_ZIP_HI 4, 12, 5, 13, 6, 14, 7, 15
VX_FLATTEN Vec squareRoot(const Vec& v) { return (Vec)_mm256_sqrt_ps((__m256)v); }
VX_FLATTEN bool fitsInt32(const Vec& t) {
  const IVec inside = (t < 2147483648.0f) & (t > -2147483648.0f);
  return _mm256_movemask_ps((__m256)inside) == 0xff;
}
VX_FLATTEN void loadSample(const unsigned char* in, Vec& v) {
  v = (Vec)_mm256_cvtepi32_ps(
      _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in))));
}
VX_FLATTEN void loadSample(const unsigned short* in, Vec& v) {
  v = (Vec)_mm256_cvtepi32_ps(
      _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))));
}
VX_FLATTEN bool allLanes(const LVec& mask) { return _mm256_movemask_pd((__m256d)mask) == 0xf; }

#elif VX_LANES == 16
#define VX_LOWER 0, 1, 2, 3, 4, 5, 6, 7
#define VX_UPPER 8, 9, 10, 11, 12, 13, 14, 15
#define VX_EVERY_LANE(s) s, s, s, s, s, s, s, s, s, s, s, s, s, s, s, s
#define VX_EVENS 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30
#define VX_ODDS 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31
#define VX_ZIP_LO 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23
#define VX_ZIP_HI 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31
VX_FLATTEN Vec squareRoot(const Vec& v) {
  return (Vec)_mm512_maskz_sqrt_ps(static_cast<__mmask16>(0xffff), (__m512)v);
}
VX_FLATTEN bool fitsInt32(const Vec& t) {
  const __m512 v = (__m512)t;
  const __mmask16 below = _mm512_cmp_ps_mask(v, _mm512_set1_ps(2147483648.0f), _CMP_LT_OQ);
  const __mmask16 above = _mm512_cmp_ps_mask(v, _mm512_set1_ps(-2147483648.0f), _CMP_GT_OQ);
  return static_cast<unsigned>(below & above) == 0xffffu;
}
VX_FLATTEN void loadSample(const unsigned char* in, Vec& v) {
  const __mmask16 all = 0xffff;
  v = (Vec)_mm512_maskz_cvtepi32_ps(
      all, _mm512_maskz_cvtepu8_epi32(all, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in))));
}
VX_FLATTEN void loadSample(const unsigned short* in, Vec& v) {
  const __mmask16 all = 0xffff;
  v = (Vec)_mm512_maskz_cvtepi32_ps(
      all,
      _mm512_maskz_cvtepu16_epi32(all, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in))));
}
VX_FLATTEN bool allLanes(const LVec& mask) {
  return _mm512_test_epi64_mask((__m512i)mask, (__m512i)mask) == 0xff;
}

#else
#error "VX_LANES must be 1, 4, 8 or 16"
#endif

VX_FLATTEN float laneOf(const Vec& v, std::int32_t k) { return v[k]; }

// kLanes complex values: their real parts and their imaginary parts.
VX_FLATTEN void loadComplex(const float* p, Vec& re, Vec& im) {
  const Vec a = loadAs<Vec>(p);
  const Vec b = loadAs<Vec>(p + kLanes);
  re = __builtin_shufflevector(a, b, VX_EVENS);
  im = __builtin_shufflevector(a, b, VX_ODDS);
}

VX_FLATTEN void storeComplex(float* p, const Vec& re, const Vec& im) {
  storeAs(p, __builtin_shufflevector(re, im, VX_ZIP_LO));
  storeAs(p + kLanes, __builtin_shufflevector(re, im, VX_ZIP_HI));
}

// kLanes floats widened to double.
VX_FLATTEN void storeDouble(double* out, const Vec& v) {
  const HalfVec lower = __builtin_shufflevector(v, v, VX_LOWER);
  const HalfVec upper = __builtin_shufflevector(v, v, VX_UPPER);
  storeAs(out, __builtin_convertvector(lower, DVec));
  storeAs(out + kLanes / 2, __builtin_convertvector(upper, DVec));
}

// Pixels of type P (8 or 16 bits) from kLanes values of t: the conversion of whole
// vectors where every lane fits, else lowBitsTruncated lane by lane.
template <class P, class PVec>
VX_FLATTEN void storeLowBitsOf(P* out, const Vec& t) {
  if (fitsInt32(t)) {
    storeAs(out, __builtin_convertvector(__builtin_convertvector(t, IVec), PVec));
    return;
  }
  for (std::int32_t k = 0; k < kLanes; ++k) out[k] = lowBitsTruncated<P>(t[k]);
}
VX_FLATTEN void storeLowBits(unsigned char* out, const Vec& t) {
  storeLowBitsOf<unsigned char, U8Vec>(out, t);
}
VX_FLATTEN void storeLowBits(unsigned short* out, const Vec& t) {
  storeLowBitsOf<unsigned short, U16Vec>(out, t);
}

VX_FLATTEN void storeQuadrant(unsigned char* out, const Vec& re, const Vec& im) {
  const Vec zero = {};
  const IVec codes = ((re < zero) & 1) | ((im < zero) & 2);
  storeAs(out, __builtin_convertvector(codes, U8Vec));
}

VX_FLATTEN void loadSample(const double* in, Vec& v) {
  const HalfVec lower = __builtin_convertvector(loadAs<DVec>(in), HalfVec);
  const HalfVec upper = __builtin_convertvector(loadAs<DVec>(in + kLanes / 2), HalfVec);
  v = __builtin_shufflevector(lower, upper, VX_LOWER, VX_UPPER);
}

// ---------------------------------------------------------------------------
// Doubles, for the display mapping: kLanes / 2 of them per vector.

// t truncated to 32 bits, when every lane lies in [0, 2^31), where that keeps the
// low bits of lowBitsTruncated; false otherwise.
VX_FLATTEN bool truncates(const DVec& t, HalfIVec& out) {
  if (!allLanes((t >= 0.0) & (t < 2147483648.0))) return false;
  out = __builtin_convertvector(t, HalfIVec);
  return true;
}

// log x for x in [1, 2^1023): x = 2^e m with m in [sqrt(1/2), sqrt(2)), and
// log m = 2 atanh s = 2 (s + s^3/3 + s^5/5 + s^7/7 + ...) with s = (m - 1) / (m + 1),
// |s| < 0.1716, z = s^2 < 0.0295. The terms left out add up to less than
// 2 |s| z^4 / (9 (1 - z)) < 3e-8; the rounding of the sum and of e log 2 adds less
// than 1e-12.
VX_FLATTEN DVec fastLog(const DVec& x) {
  const LVec bits = (LVec)x;
  DVec e = (DVec)((bits >> 52) | 0x4330000000000000LL) - (4503599627370496.0 + 1023.0);
  DVec m = (DVec)((bits & 0x000FFFFFFFFFFFFFLL) | 0x3FF0000000000000LL);
  const LVec high = m > 1.4142135623730951;
  m = high ? m * 0.5 : m;
  e = high ? e + 1.0 : e;
  const DVec s = (m - 1.0) / (m + 1.0);
  const DVec z = s * s;
  DVec p = z * (1.0 / 7.0) + (1.0 / 5.0);
  p = p * z + (1.0 / 3.0);
  p = p * z + 1.0;
  return e * 0.6931471805599453 + (s + s) * p;
}

// Far above fastLog's error times the largest gain (255 / log 2, about 368), 1.2e-5:
// a pixel comes from the fast logarithm only when t - margin and t + margin truncate
// alike, so that std::log's t, which lies between them, truncates alike too (about
// one value in 5000 goes to std::log).
constexpr double kLogMargin = 1.0e-4;

VX_FLATTEN bool logTruncates(const DisplayMapping& m, const DVec& v, HalfIVec& out) {
  const DVec x = m.shifted ? v - m.lo + 1.0 : v + 1.0;
  if (!allLanes((x >= 1.0) & (x < 8.0e307))) return false;
  const DVec t = fastLog(x) * m.gain;
  const DVec above = t + kLogMargin;
  if (!allLanes((t >= 0.0) & (above < 2147483648.0))) return false;
  // std::log of x >= 1 is never negative and the gain is positive, so std::log's t is
  // at least 0: the values at the bottom of the range (often whole rows of a sparse
  // spectrum) truncate to 0 here rather than going one by one to std::log.
  const DVec zero = {};
  const DVec low = t - kLogMargin;
  const DVec below = low > zero ? low : zero;
  out = __builtin_convertvector(above, HalfIVec);
  return allLanes(__builtin_convertvector(out, DVec) <= below);
}

// The value the linear rules, the clamp and the angle truncate, clamped where the
// rule saturates; the same operations as displayPixel.
VX_FLATTEN DVec mappedValue(const DisplayMapping& m, const DVec& v) {
  const DVec zero = {};
  switch (m.rule) {
    case DisplayMapping::Clamp:
      return v >= 0.0 ? (v < 255.0 ? v : zero + 255.0) : zero;
    case DisplayMapping::Linear:
      return m.shifted ? (v - m.lo) * m.gain : v * m.gain;
    case DisplayMapping::LinearRange: {
      const DVec t = (v - m.lo) * m.gain;
      return t > 255.0 ? zero + 255.0 : (t >= 0.0 ? t : zero);
    }
    default:
      return v * 40.58451;
  }
}
#endif  // VX_LANES > 1

// ---------------------------------------------------------------------------
// The steps: the arithmetic of each kernel on V values (V = Vec or float).

template <class V>
VX_FLATTEN V magnitudeOf(const float* values) {
  V re, im;
  loadComplex(values, re, im);
  return squareRoot(re * re + im * im);
}

template <class V, class P>
VX_FLATTEN void magnitudeStep(const float* values, float s, P* out) {
  storeLowBits(out, magnitudeOf<V>(values) * s + 0.5f);
}

template <class V, class P>
VX_FLATTEN void stretchedStep(const float* values, float s, float lo, float gain, P* out) {
  storeLowBits(out, (magnitudeOf<V>(values) * s - lo) * gain + 0.5f);
}

// A NaN never replaces a bound, and squared magnitudes are never -0, so the bounds do
// not depend on the order in which values are visited: each lane keeps its own.
template <class V>
VX_FLATTEN void rangeStep(const float* values, V& lo, V& hi) {
  V re, im;
  loadComplex(values, re, im);
  const V m2 = re * re + im * im;
  lo = m2 < lo ? m2 : lo;
  hi = m2 > hi ? m2 : hi;
}

template <class V>
VX_FLATTEN void magnitudeDoubleStep(const float* values, float s, double* out,
                                    unsigned char* quadrant) {
  V re, im;
  loadComplex(values, re, im);
  storeDouble(out, squareRoot(re * re + im * im) * s);
  if (quadrant != nullptr) storeQuadrant(quadrant, re, im);
}

template <class V>
VX_FLATTEN void quadrantStep(const float* values, unsigned char* out) {
  V re, im;
  loadComplex(values, re, im);
  storeQuadrant(out, re, im);
}

template <class V>
VX_FLATTEN void scaledPartsStep(const float* values, float s, double* re, double* im) {
  V vr, vi;
  loadComplex(values, vr, vi);
  storeDouble(re, s * vr);
  storeDouble(im, s * vi);
}

// s re saturated to [0, top] (NaN to 0), then rounded to an integer, halves to even, by
// adding and taking away 2^23: below 2^23 a float's sum with 2^23 keeps no fraction, and
// the addition rounds as the processor does by default, to nearest with ties to even.
// The integer-valued result truncates to itself in storeLowBits.
template <class V, class P>
VX_FLATTEN void realStep(const float* values, float s, float top, P* out) {
  V re, im;
  loadComplex(values, re, im);
  const V zero = V{};
  const V limit = zero + top;
  V t = s * re;
  t = t > limit ? limit : (t >= zero ? t : zero);
  storeLowBits(out, (t + 8388608.0f) - 8388608.0f);
}

template <class V>
VX_FLATTEN void realDoubleStep(const float* values, float s, double* out) {
  V re, im;
  loadComplex(values, re, im);
  storeDouble(out, s * re);
}

template <class V>
VX_FLATTEN void partStep(const float* values, int part, double* out) {
  V re, im;
  loadComplex(values, re, im);
  storeDouble(out, part == 0 ? re : im);
}

// A whole vector's kLanes pixels where every lane passes the checks of truncates or
// logTruncates, else displayPixel one value at a time.
template <class V>
VX_FLATTEN void mapStep(const double* in, const DisplayMapping& m, unsigned char* out) {
#if VX_LANES > 1
  if constexpr (std::is_same<V, Vec>::value) {
    const DVec a = loadAs<DVec>(in);
    const DVec b = loadAs<DVec>(in + kLanes / 2);
    HalfIVec lower, upper;
    const bool whole =
        m.rule == DisplayMapping::Logarithmic
            ? logTruncates(m, a, lower) && logTruncates(m, b, upper)
            : truncates(mappedValue(m, a), lower) && truncates(mappedValue(m, b), upper);
    if (whole) {
      const IVec pixels = __builtin_shufflevector(lower, upper, VX_LOWER, VX_UPPER);
      storeAs(out, __builtin_convertvector(pixels, U8Vec));
    } else {
      for (std::int32_t k = 0; k < kLanes; ++k) out[k] = displayPixel(m, in[k]);
    }
    return;
  }
#endif
  *out = displayPixel(m, *in);
}

template <class V, class T>
VX_FLATTEN void floatsStep(const T* in, float* out) {
  V v;
  loadSample(in, v);
  __builtin_memcpy(out, &v, sizeof v);
}

template <class V, class T>
VX_FLATTEN void complexStep(const T* re, const T* im, float* out) {
  V vr, vi;
  loadSample(re, vr);
  loadSample(im, vi);
  storeComplex(out, vr, vi);
}

// ---------------------------------------------------------------------------
// The kernels: whole vectors, then the values that remain one at a time. A macro,
// not a lambda: a lambda would not inherit the instruction set of the kernel.
#define VX_ROW_LOOP(i, count, step)                     \
  std::int32_t i = 0;                                   \
  for (; i + kLanes <= (count); i += kLanes) step(Vec); \
  for (; i < (count); ++i) step(float)

template <class P>
VX_LANES_TARGET void magnitudeBits(const float* values, std::int32_t count, float s, P* out) {
#define VX_STEP(V) magnitudeStep<V>(values + 2 * i, s, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

template <class P>
VX_LANES_TARGET void stretchedBits(const float* values, std::int32_t count, float s, float lo,
                                   float gain, P* out) {
#define VX_STEP(V) stretchedStep<V>(values + 2 * i, s, lo, gain, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

VX_LANES_TARGET void magnitudeU8(const float* values, std::int32_t count, float s,
                                 unsigned char* out) {
  magnitudeBits(values, count, s, out);
}
VX_LANES_TARGET void magnitudeU16(const float* values, std::int32_t count, float s,
                                  unsigned short* out) {
  magnitudeBits(values, count, s, out);
}
VX_LANES_TARGET void stretchedU8(const float* values, std::int32_t count, float s, float lo,
                                 float gain, unsigned char* out) {
  stretchedBits(values, count, s, lo, gain, out);
}
VX_LANES_TARGET void stretchedU16(const float* values, std::int32_t count, float s, float lo,
                                  float gain, unsigned short* out) {
  stretchedBits(values, count, s, lo, gain, out);
}

VX_LANES_TARGET void squaredMagnitudeRange(const float* values, std::int32_t count, float* minimum,
                                           float* maximum) {
  float lo = *minimum;
  float hi = *maximum;
  std::int32_t i = 0;
  if (count >= kLanes) {
    Vec vlo = {VX_EVERY_LANE(lo)};
    Vec vhi = {VX_EVERY_LANE(hi)};
    for (; i + kLanes <= count; i += kLanes) rangeStep(values + 2 * i, vlo, vhi);
    for (std::int32_t k = 0; k < kLanes; ++k) {
      if (laneOf(vlo, k) < lo) lo = laneOf(vlo, k);
      if (laneOf(vhi, k) > hi) hi = laneOf(vhi, k);
    }
  }
  for (; i < count; ++i) rangeStep(values + 2 * i, lo, hi);
  *minimum = lo;
  *maximum = hi;
}

VX_LANES_TARGET void magnitudeDouble(const float* values, std::int32_t count, float s, double* out,
                                     unsigned char* quadrant) {
#define VX_STEP(V) \
  magnitudeDoubleStep<V>(values + 2 * i, s, out + i, quadrant != nullptr ? quadrant + i : nullptr)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

VX_LANES_TARGET void quadrantCodes(const float* values, std::int32_t count, unsigned char* out) {
#define VX_STEP(V) quadrantStep<V>(values + 2 * i, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

VX_LANES_TARGET void scaledParts(const float* values, std::int32_t count, float s, double* re,
                                 double* im) {
#define VX_STEP(V) scaledPartsStep<V>(values + 2 * i, s, re + i, im + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

template <class P>
VX_LANES_TARGET void realBits(const float* values, std::int32_t count, float s, P* out) {
  constexpr float top = std::is_same<P, unsigned char>::value ? 255.0f : 65535.0f;
#define VX_STEP(V) realStep<V>(values + 2 * i, s, top, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

VX_LANES_TARGET void realDouble(const float* values, std::int32_t count, float s, double* out) {
#define VX_STEP(V) realDoubleStep<V>(values + 2 * i, s, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

VX_LANES_TARGET void partDouble(const float* values, std::int32_t count, int part, double* out) {
#define VX_STEP(V) partStep<V>(values + 2 * i, part, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

VX_LANES_TARGET void mapDisplay(const double* in, std::int32_t count, const DisplayMapping& m,
                                unsigned char* out) {
#define VX_STEP(V) mapStep<V>(in + i, m, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

VX_LANES_TARGET bool plainRange(const double* in, std::int32_t count, double* lo, double* hi) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  bool nan = false;
  // Which zeros the row holds: a scan in order keeps the first of two zeros that tie,
  // which only matters when both signs are there.
  bool positiveZero = false;
  bool negativeZero = false;
  std::int32_t i = 0;
#if VX_LANES > 1
  if (count >= kLanes / 2) {
    const DVec zero = {};
    DVec vlow = zero + low;
    DVec vhigh = zero + high;
    LVec vnan = {};
    LVec vpositive = {};
    LVec vnegative = {};
    for (; i + kLanes / 2 <= count; i += kLanes / 2) {
      const DVec v = loadAs<DVec>(in + i);
      vlow = v < vlow ? v : vlow;
      vhigh = v > vhigh ? v : vhigh;
      vnan |= v != v;
      const LVec isZero = v == zero;
      const LVec negative = (LVec)v < 0;
      vpositive |= isZero & ~negative;
      vnegative |= isZero & negative;
    }
    for (std::int32_t k = 0; k < kLanes / 2; ++k) {
      if (vlow[k] < low) low = vlow[k];
      if (vhigh[k] > high) high = vhigh[k];
      nan = nan || vnan[k] != 0;
      positiveZero = positiveZero || vpositive[k] != 0;
      negativeZero = negativeZero || vnegative[k] != 0;
    }
  }
#endif
  for (; i < count; ++i) {
    const double v = in[i];
    if (v < low) low = v;
    if (v > high) high = v;
    nan = nan || v != v;
    positiveZero = positiveZero || (v == 0.0 && !std::signbit(v));
    negativeZero = negativeZero || (v == 0.0 && std::signbit(v));
  }
  if (nan || count == 0) return false;
  if (low == 0.0 || high == 0.0) {
    if (positiveZero && negativeZero) return false;
    const double z = negativeZero ? -0.0 : 0.0;
    if (low == 0.0) low = z;
    if (high == 0.0) high = z;
  }
  *lo = low;
  *hi = high;
  return true;
}

template <class T>
VX_LANES_TARGET void floatsFrom(const T* in, std::int32_t count, float* out) {
#define VX_STEP(V) floatsStep<V>(in + i, out + i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

template <class T>
VX_LANES_TARGET void complexFrom(const T* re, const T* im, std::int32_t count, float* out) {
#define VX_STEP(V) complexStep<V>(re + i, im + i, out + 2 * i)
  VX_ROW_LOOP(i, count, VX_STEP);
#undef VX_STEP
}

#undef VX_ROW_LOOP
#undef VX_FLATTEN
#undef VX_EVERY_LANE
#if VX_LANES > 1
#undef VX_EVENS
#undef VX_LOWER
#undef VX_UPPER
#undef VX_ODDS
#undef VX_ZIP_LO
#undef VX_ZIP_HI
#endif
#undef VX_X86
#undef VX_NEON

}  // namespace

// The kernel table of this path (declared extern first: a const object would otherwise
// have internal linkage).
#define VX_IMAGE_KERNELS_NAME(path) VX_IMAGE_KERNELS_PASTE(path)
#define VX_IMAGE_KERNELS_PASTE(path) k##path##ImageKernels
extern const ImageKernels VX_IMAGE_KERNELS_NAME(VX_PATH);
const ImageKernels VX_IMAGE_KERNELS_NAME(VX_PATH) = {magnitudeU8,
                                                     magnitudeU16,
                                                     stretchedU8,
                                                     stretchedU16,
                                                     squaredMagnitudeRange,
                                                     magnitudeDouble,
                                                     quadrantCodes,
                                                     scaledParts,
                                                     realBits<unsigned char>,
                                                     realBits<unsigned short>,
                                                     realDouble,
                                                     floatsFrom<unsigned char>,
                                                     floatsFrom<unsigned short>,
                                                     floatsFrom<double>,
                                                     complexFrom<unsigned char>,
                                                     complexFrom<unsigned short>,
                                                     complexFrom<double>,
                                                     partDouble,
                                                     mapDisplay,
                                                     plainRange};
#undef VX_IMAGE_KERNELS_NAME
#undef VX_IMAGE_KERNELS_PASTE

}  // namespace vx_detail
