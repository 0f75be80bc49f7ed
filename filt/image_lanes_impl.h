// The image-loop kernels of image_kernels.h, written once for every vector width.
//
// Each image_lanes_*.cpp defines VX_LANES (floats per vector: 4, 8 or 16) and
// VX_LANES_TARGET (the function attribute that selects the instruction set) and then
// includes this file, which puts everything in an unnamed namespace (see
// engine_lanes_impl.h for why). Every value goes through the float operations of the
// scalar loops in image_forward.cpp and image_inverse.cpp, in their order; the
// values that do not fill a whole vector at the end of a row take the same
// operations one at a time.
#ifndef VX_LANES
#error "define VX_LANES and VX_LANES_TARGET before including image_lanes_impl.h"
#endif

#include "filt/image_kernels.h"

#include <immintrin.h>

#include <cstdint>

namespace vx_detail {
namespace {

typedef float Vec __attribute__((vector_size(4 * VX_LANES)));
typedef std::int32_t IVec __attribute__((vector_size(4 * VX_LANES)));
// Half a vector of floats, and as many doubles (a whole vector of them).
typedef float HalfVec __attribute__((vector_size(2 * VX_LANES)));
typedef double DVec __attribute__((vector_size(4 * VX_LANES)));
typedef unsigned char U8Vec __attribute__((vector_size(VX_LANES)));
typedef unsigned short U16Vec __attribute__((vector_size(2 * VX_LANES)));

constexpr std::int32_t kLanes = VX_LANES;

#define VX_FLATTEN VX_LANES_TARGET inline __attribute__((always_inline))

#if VX_LANES == 4
#define VX_LOWER 0, 1
#define VX_UPPER 2, 3
#define VX_EVERY_LANE(s) s, s, s, s
#define VX_EVENS 0, 2, 4, 6
#define VX_ODDS 1, 3, 5, 7
#define VX_ZIP_LO 0, 4, 1, 5
#define VX_ZIP_HI 2, 6, 3, 7
#elif VX_LANES == 8
#define VX_LOWER 0, 1, 2, 3
#define VX_UPPER 4, 5, 6, 7
#define VX_EVERY_LANE(s) s, s, s, s, s, s, s, s
#define VX_EVENS 0, 2, 4, 6, 8, 10, 12, 14
#define VX_ODDS 1, 3, 5, 7, 9, 11, 13, 15
#define VX_ZIP_LO 0, 8, 1, 9, 2, 10, 3, 11
#define VX_ZIP_HI 4, 12, 5, 13, 6, 14, 7, 15
#elif VX_LANES == 16
#define VX_LOWER 0, 1, 2, 3, 4, 5, 6, 7
#define VX_UPPER 8, 9, 10, 11, 12, 13, 14, 15
#define VX_EVERY_LANE(s) s, s, s, s, s, s, s, s, s, s, s, s, s, s, s, s
#define VX_EVENS 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30
#define VX_ODDS 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31
#define VX_ZIP_LO 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23
#define VX_ZIP_HI 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31
#else
#error "VX_LANES must be 4, 8 or 16"
#endif

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

// kLanes complex values: their real parts and their imaginary parts.
VX_FLATTEN void loadComplex(const float* p, Vec& re, Vec& im) {
  const Vec a = loadAs<Vec>(p);
  const Vec b = loadAs<Vec>(p + kLanes);
  re = __builtin_shufflevector(a, b, VX_EVENS);
  im = __builtin_shufflevector(a, b, VX_ODDS);
}

VX_FLATTEN void storeComplex(float* p, Vec re, Vec im) {
  storeAs(p, __builtin_shufflevector(re, im, VX_ZIP_LO));
  storeAs(p + kLanes, __builtin_shufflevector(re, im, VX_ZIP_HI));
}

// kLanes floats widened to double.
VX_FLATTEN void storeDoubles(double* out, Vec v) {
  const HalfVec lower = __builtin_shufflevector(v, v, VX_LOWER);
  const HalfVec upper = __builtin_shufflevector(v, v, VX_UPPER);
  storeAs(out, __builtin_convertvector(lower, DVec));
  storeAs(out + kLanes / 2, __builtin_convertvector(upper, DVec));
}

// kLanes doubles rounded to float.
VX_FLATTEN Vec loadDoubles(const double* in) {
  const HalfVec lower = __builtin_convertvector(loadAs<DVec>(in), HalfVec);
  const HalfVec upper = __builtin_convertvector(loadAs<DVec>(in + kLanes / 2), HalfVec);
  return __builtin_shufflevector(lower, upper, VX_LOWER, VX_UPPER);
}

VX_FLATTEN Vec squareRoot(Vec v) {
#if VX_LANES == 4
  return (Vec)_mm_sqrt_ps((__m128)v);
#elif VX_LANES == 8
  return (Vec)_mm256_sqrt_ps((__m256)v);
#else
  // All lanes kept; the unmasked form trips a false uninitialized-use warning of GCC 12.
  return (Vec)_mm512_maskz_sqrt_ps(static_cast<__mmask16>(0xffff), (__m512)v);
#endif
}

// The float limit of lowBitsTruncated: 2^63.
constexpr float kLimit = static_cast<float>(9223372036854775807.0);

// lowBitsTruncated of image_io.h, one value.
template <class P>
VX_FLATTEN P lowBits(float t) {
  if (!(t > -kLimit && t < kLimit)) return 0;
  return static_cast<P>(static_cast<std::uint64_t>(static_cast<std::int64_t>(t)));
}

// Whether every lane lies strictly between -2^31 and 2^31, where truncation to a
// 32-bit integer keeps the low bits that truncation to 64 bits gives.
VX_FLATTEN bool fitsInt32(Vec t) {
  const float bound = 2147483648.0f;
#if VX_LANES == 16
  const __m512 v = (__m512)t;
  const __mmask16 below = _mm512_cmp_ps_mask(v, _mm512_set1_ps(bound), _CMP_LT_OQ);
  const __mmask16 above = _mm512_cmp_ps_mask(v, _mm512_set1_ps(-bound), _CMP_GT_OQ);
  return static_cast<unsigned>(below & above) == 0xffffu;
#else
  const IVec inside = (t < bound) & (t > -bound);
#if VX_LANES == 4
  return _mm_movemask_ps((__m128)inside) == 0xf;
#else
  return _mm256_movemask_ps((__m256)inside) == 0xff;
#endif
#endif
}

// Pixels of type P (8 or 16 bits) from kLanes values of t.
template <class P, class PVec>
VX_FLATTEN void storeLowBits(P* out, Vec t) {
  if (fitsInt32(t)) {
    storeAs(out, __builtin_convertvector(__builtin_convertvector(t, IVec), PVec));
    return;
  }
  for (std::int32_t k = 0; k < kLanes; ++k) out[k] = lowBits<P>(t[k]);
}

VX_FLATTEN float magnitudeOf(const float* value) {
  const float re = value[0];
  const float im = value[1];
  return __builtin_sqrtf(re * re + im * im);
}

template <class P, class PVec>
VX_LANES_TARGET void magnitudeBits(const float* values, std::int32_t count, float s, P* out) {
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    Vec re, im;
    loadComplex(values + 2 * i, re, im);
    const Vec t = squareRoot(re * re + im * im) * s + 0.5f;
    storeLowBits<P, PVec>(out + i, t);
  }
  for (; i < count; ++i) out[i] = lowBits<P>(magnitudeOf(values + 2 * i) * s + 0.5f);
}

template <class P, class PVec>
VX_LANES_TARGET void stretchedBits(const float* values, std::int32_t count, float s, float lo,
                                   float gain, P* out) {
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    Vec re, im;
    loadComplex(values + 2 * i, re, im);
    const Vec t = (squareRoot(re * re + im * im) * s - lo) * gain + 0.5f;
    storeLowBits<P, PVec>(out + i, t);
  }
  for (; i < count; ++i) out[i] = lowBits<P>((magnitudeOf(values + 2 * i) * s - lo) * gain + 0.5f);
}

VX_LANES_TARGET void magnitudeU8(const float* values, std::int32_t count, float s, unsigned char* out) {
  magnitudeBits<unsigned char, U8Vec>(values, count, s, out);
}

VX_LANES_TARGET void magnitudeU16(const float* values, std::int32_t count, float s,
                                  unsigned short* out) {
  magnitudeBits<unsigned short, U16Vec>(values, count, s, out);
}

VX_LANES_TARGET void stretchedU8(const float* values, std::int32_t count, float s, float lo,
                                 float gain, unsigned char* out) {
  stretchedBits<unsigned char, U8Vec>(values, count, s, lo, gain, out);
}

VX_LANES_TARGET void stretchedU16(const float* values, std::int32_t count, float s, float lo,
                                  float gain, unsigned short* out) {
  stretchedBits<unsigned short, U16Vec>(values, count, s, lo, gain, out);
}

// Squared magnitudes are never -0 (re re and im im are +0 or more), and a NaN never
// replaces a bound, so the smallest and the largest value do not depend on the
// order in which the values are visited: each lane keeps its own, then the lanes
// are combined.
VX_LANES_TARGET void squaredMagnitudeRange(const float* values, std::int32_t count, float* minimum,
                                           float* maximum) {
  float lo = *minimum;
  float hi = *maximum;
  std::int32_t i = 0;
  if (count >= kLanes) {
    Vec vlo = {VX_EVERY_LANE(lo)};
    Vec vhi = {VX_EVERY_LANE(hi)};
    for (; i + kLanes <= count; i += kLanes) {
      Vec re, im;
      loadComplex(values + 2 * i, re, im);
      const Vec m2 = re * re + im * im;
      vlo = m2 < vlo ? m2 : vlo;
      vhi = m2 > vhi ? m2 : vhi;
    }
    for (std::int32_t k = 0; k < kLanes; ++k) {
      if (vlo[k] < lo) lo = vlo[k];
      if (vhi[k] > hi) hi = vhi[k];
    }
  }
  for (; i < count; ++i) {
    const float re = values[2 * i];
    const float im = values[2 * i + 1];
    const float m2 = re * re + im * im;
    if (m2 < lo) lo = m2;
    if (m2 > hi) hi = m2;
  }
  *minimum = lo;
  *maximum = hi;
}

VX_FLATTEN IVec quadrantOf(Vec re, Vec im) {
  const Vec zero = {};
  return ((re < zero) & 1) | ((im < zero) & 2);
}

VX_FLATTEN unsigned char quadrantOf(float re, float im) {
  return static_cast<unsigned char>((re < 0.0f ? 1 : 0) | (im < 0.0f ? 2 : 0));
}

VX_LANES_TARGET void magnitudeDouble(const float* values, std::int32_t count, float s, double* out,
                                     unsigned char* quadrant) {
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    Vec re, im;
    loadComplex(values + 2 * i, re, im);
    storeDoubles(out + i, squareRoot(re * re + im * im) * s);
    if (quadrant != nullptr) storeAs(quadrant + i, __builtin_convertvector(quadrantOf(re, im), U8Vec));
  }
  for (; i < count; ++i) {
    out[i] = static_cast<double>(magnitudeOf(values + 2 * i) * s);
    if (quadrant != nullptr) quadrant[i] = quadrantOf(values[2 * i], values[2 * i + 1]);
  }
}

VX_LANES_TARGET void quadrantCodes(const float* values, std::int32_t count, unsigned char* out) {
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    Vec re, im;
    loadComplex(values + 2 * i, re, im);
    storeAs(out + i, __builtin_convertvector(quadrantOf(re, im), U8Vec));
  }
  for (; i < count; ++i) out[i] = quadrantOf(values[2 * i], values[2 * i + 1]);
}

VX_LANES_TARGET void scaledParts(const float* values, std::int32_t count, float s, double* re,
                                 double* im) {
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    Vec vr, vi;
    loadComplex(values + 2 * i, vr, vi);
    storeDoubles(re + i, s * vr);
    storeDoubles(im + i, s * vi);
  }
  for (; i < count; ++i) {
    re[i] = static_cast<double>(s * values[2 * i]);
    im[i] = static_cast<double>(s * values[2 * i + 1]);
  }
}

// kLanes samples converted to float. The integers are widened to 32 bits with the
// instruction set's own zero extension (the compilers do not all find it), then
// converted, exactly.
VX_FLATTEN Vec loadSamples(const unsigned char* in) {
#if VX_LANES == 4
  std::int32_t bytes;
  __builtin_memcpy(&bytes, in, sizeof bytes);
  const __m128i zero = _mm_setzero_si128();
  const __m128i words = _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero);
  return (Vec)_mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
#elif VX_LANES == 8
  return (Vec)_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in))));
#else
  // The zero-masked forms with every lane kept: the plain ones trip a false
  // uninitialized-use warning of GCC 12.
  const __mmask16 all = 0xffff;
  return (Vec)_mm512_maskz_cvtepi32_ps(
      all, _mm512_maskz_cvtepu8_epi32(all, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in))));
#endif
}
VX_FLATTEN Vec loadSamples(const unsigned short* in) {
#if VX_LANES == 4
  const __m128i words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
  return (Vec)_mm_cvtepi32_ps(_mm_unpacklo_epi16(words, _mm_setzero_si128()));
#elif VX_LANES == 8
  return (Vec)_mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))));
#else
  const __mmask16 all = 0xffff;
  return (Vec)_mm512_maskz_cvtepi32_ps(
      all, _mm512_maskz_cvtepu16_epi32(all, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in))));
#endif
}
VX_FLATTEN Vec loadSamples(const double* in) { return loadDoubles(in); }

template <class T>
VX_LANES_TARGET void floatsFrom(const T* in, std::int32_t count, float* out) {
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) storeAs(out + i, loadSamples(in + i));
  for (; i < count; ++i) out[i] = static_cast<float>(in[i]);
}

template <class T>
VX_LANES_TARGET void complexFrom(const T* re, const T* im, std::int32_t count, float* out) {
  std::int32_t i = 0;
  for (; i + kLanes <= count; i += kLanes) storeComplex(out + 2 * i, loadSamples(re + i), loadSamples(im + i));
  for (; i < count; ++i) {
    out[2 * i] = static_cast<float>(re[i]);
    out[2 * i + 1] = static_cast<float>(im[i]);
  }
}

VX_LANES_TARGET void floatsFromU8(const unsigned char* in, std::int32_t count, float* out) {
  floatsFrom<unsigned char>(in, count, out);
}
VX_LANES_TARGET void floatsFromU16(const unsigned short* in, std::int32_t count, float* out) {
  floatsFrom<unsigned short>(in, count, out);
}
VX_LANES_TARGET void floatsFromDouble(const double* in, std::int32_t count, float* out) {
  floatsFrom<double>(in, count, out);
}
VX_LANES_TARGET void complexFromU8(const unsigned char* re, const unsigned char* im,
                                   std::int32_t count, float* out) {
  complexFrom<unsigned char>(re, im, count, out);
}
VX_LANES_TARGET void complexFromU16(const unsigned short* re, const unsigned short* im,
                                    std::int32_t count, float* out) {
  complexFrom<unsigned short>(re, im, count, out);
}
VX_LANES_TARGET void complexFromDouble(const double* re, const double* im, std::int32_t count,
                                       float* out) {
  complexFrom<double>(re, im, count, out);
}

#undef VX_FLATTEN
#undef VX_EVENS
#undef VX_LOWER
#undef VX_UPPER
#undef VX_EVERY_LANE
#undef VX_ODDS
#undef VX_ZIP_LO
#undef VX_ZIP_HI

}  // namespace
}  // namespace vx_detail
