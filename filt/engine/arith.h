// The float arithmetic of the transform engines, written once (internal).
//
// Every float operation that decides an engine's output bits is defined here, as a
// template over the value type: the scalar kernels of engine_kernels.cpp use it with
// V = float, the lane kernels of engine_lanes_impl.h with V = a vector of floats whose
// lanes each carry one row or column. GCC's and Clang's vector extensions give every
// operator below its elementwise meaning, rounded as the scalar operation is, so a
// lane computes exactly what the scalar path computes for its row; with the
// expressions existing once, the paths cannot drift apart.
//
// The functions take and give their values by reference: the vector types are wider
// than the registers of some instruction sets these templates are inlined into, and
// passing them by value would make the calling convention depend on the target.
#ifndef VXFREQ_FILT_ENGINE_ARITH_H
#define VXFREQ_FILT_ENGINE_ARITH_H

#include <cstdint>

#define VX_ARITH inline __attribute__((always_inline))

namespace vx_detail {

// log2 of a power of two n >= 1.
constexpr int log2Exact(std::int32_t n) {
  int k = 0;
  while ((std::int32_t{1} << k) < n) ++k;
  return k;
}

// The butterfly of one split-radix stage on the complex values 0 .. 3 of a group,
// (re0, im0) .. (re3, im3), with the stage's twiddle factors (wr1, wi1) and (wr3, wi3).
// W is the value type or its scalar: a lane kernel may pass broadcast vectors.
template <class V, class W>
VX_ARITH void splitRadixButterfly(V& re0, V& im0, V& re1, V& im1, V& re2, V& im2, V& re3, V& im3,
                                  const W& wr1, const W& wi1, const W& wr3, const W& wi3) {
  V r1 = re0 - re2;
  re0 = re0 + re2;
  V r2 = re1 - re3;
  re1 = re1 + re3;
  const V t1 = im0 - im2;
  im0 = im0 + im2;
  V t2 = im1 - im3;
  im1 = im1 + im3;

  const V t3 = r1 - t2;
  r1 = r1 + t2;
  t2 = r2 - t1;
  r2 = r2 + t1;

  re2 = r1 * wr1 - t2 * wi1;
  im2 = -(t2 * wr1) - r1 * wi1;
  re3 = t3 * wr3 + r2 * wi3;
  im3 = r2 * wr3 - t3 * wi3;
}

// The final length-2 butterfly on values 0 and 1 of a group.
template <class V>
VX_ARITH void lengthTwoButterfly(V& re0, V& im0, V& re1, V& im1) {
  const V re = re0;
  const V im = im0;
  re0 = re + re1;
  im0 = im + im1;
  re1 = re - re1;
  im1 = im - im1;
}

// The twiddle recurrence of a stage: (wr, wi) advanced by one step of the rotation
// (c, s). Both the scalar stages and the per-call tables of the lane kernels walk
// the factors with it, so the tables hold the very factors the scalar stage uses.
VX_ARITH void rotateTwiddle(float& wr, float& wi, float c, float s) {
  const float nextWr = c * wr - s * wi;
  const float nextWi = wr * s + c * wi;
  wr = nextWr;
  wi = nextWi;
}

// One step of the real-input unpacking: value a = i - 1 of the n-point transform of
// a row and its mirror b = n - i + 1 become values a and b of the row's spectrum,
// with the factors (wr, wi) of step i. The results may be written over the inputs:
// every input is read before the first result is written.
template <class V, class S>
VX_ARITH void unpackPair(const V& aRe, const V& aIm, const V& bRe, const V& bIm, S wr, S wi, S c1,
                         S c2, V& outARe, V& outAIm, V& outBRe, V& outBIm) {
  const V h1r = c1 * (aRe + bRe);
  const V h1i = c1 * (aIm - bIm);
  const V h2r = -c2 * (aIm + bIm);
  const V h2i = c2 * (aRe - bRe);
  outARe = h1r + wr * h2r - wi * h2i;
  outAIm = h1i + wr * h2i + wi * h2r;
  outBRe = h1r - wr * h2r + wi * h2i;
  outBIm = -h1i + wr * h2i + wi * h2r;
}

// The recurrence of the unpacking factors from step i to step i + 1.
VX_ARITH void advanceUnpackFactors(float& wr, float& wi, float wpr, float wpi) {
  const float wrOld = wr;
  wr = wr + (wr * wpr - wi * wpi);
  wi = wi + (wi * wpr + wrOld * wpi);
}

// Values 0 and n of the unpacked spectrum from value 0 = (d0, d1) of the n-point
// transform; both are real.
template <class V>
VX_ARITH void unpackEnds(const V& d0, const V& d1, V& first, V& last) {
  const V sum = d0 + d1;
  const V difference = d0 - d1;
  first = sum;
  last = difference;
}

// Exchanges the complex values at a and b (moves only, no arithmetic).
VX_ARITH void swapComplex(float* a, float* b) {
  const float re = a[0];
  const float im = a[1];
  a[0] = b[0];
  a[1] = b[1];
  b[0] = re;
  b[1] = im;
}

}  // namespace vx_detail

#endif
