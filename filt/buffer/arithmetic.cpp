// Element-by-element arithmetic on frequency buffers, in single precision.
//
// Each in-place form walks the W x H elements of the buffer it writes once, reading
// the same element of the other operand; the two may be the same buffer, so every
// element is read completely before it is written. The result forms assign the
// first operand to the result (unless the result already is an operand) and then
// run the in-place form, which repeats its own checks.
//
// The order of the checks differs from function to function and decides which error
// a caller sees when several apply; it is part of each function's behaviour. No
// check looks at the result buffer, and a failed check changes nothing.
//
// The mask band of the buffer written is left as it is: a product is zero wherever
// either factor is, so multiplication keeps it valid; after an addition or
// subtraction it stays valid only when the other operand is zero outside the band.
#include "filt/fft.h"

#include "filt/buffer/access.h"
#include "filt/common/messages.h"
#include "filt/threads/rows.h"

#include <cstddef>

namespace {

namespace msg = vx_detail::msg;
using Access = vx_detail::FrequencyBufferAccess;
using Defs = vxFrequencyDefs;

void requireData(const vxFrequencyBuffer& buffer) {
  if (!buffer.isInitialized()) throw Defs::Uninitialized(msg::kBufferUninitialized);
}

void requireSpectrum(const vxFrequencyBuffer& buffer) {
  if (buffer.inverseComputed()) throw Defs::InvalidBuffer(msg::kInverseComputed);
}

// Both operands hold data when this is called.
void requireSameSize(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                     const wchar_t* message) {
  if (a.width() != b.width() || a.height() != b.height()) throw Defs::InvalidSize(message);
}

// Calls body(first, end) over ranges of float indices that together cover the
// buffer's values, a band of whole rows each; under a parallel scope the bands may
// run at the same time.
template <class Body>
void forEachRowBand(const vxFrequencyBuffer& buffer, Body body) {
  const long w = buffer.width();
  const std::size_t rowFloats = 2 * static_cast<std::size_t>(w);
  vx_detail::splitRows(buffer.height(), w, [&](long begin, long end) {
    body(rowFloats * static_cast<std::size_t>(begin), rowFloats * static_cast<std::size_t>(end));
  });
}

// written[k] = op(other[k], written[k]) for every complex element k.
template <class Op>
void combine(const vxFrequencyBuffer& other, vxFrequencyBuffer& written, Op op) {
  const float* o = Access::data(other);
  float* w = Access::data(written);
  // Sums, differences and products of two conjugate-symmetric spectra are symmetric too,
  // exactly: each mirrored pair of elements meets the same operations, signs aside.
  Access::setHermitian(written, Access::hermitian(other) && Access::hermitian(written));
  forEachRowBand(written, [&](std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; i += 2) {
      const float ore = o[i];
      const float oim = o[i + 1];
      const float wre = w[i];
      const float wim = w[i + 1];
      op(ore, oim, wre, wim, w[i], w[i + 1]);
    }
  });
}

struct Add {
  void operator()(float are, float aim, float bre, float bim, float& re, float& im) const {
    re = are + bre;
    im = aim + bim;
  }
};

// The first operand is subtracted from the second.
struct SubtractFromSecond {
  void operator()(float are, float aim, float bre, float bim, float& re, float& im) const {
    re = bre - are;
    im = bim - aim;
  }
};

struct Multiply {
  void operator()(float are, float aim, float bre, float bim, float& re, float& im) const {
    const float rr = are * bre;
    const float ii = aim * bim;
    const float ri = are * bim;
    const float ir = aim * bre;
    re = rr - ii;
    im = ri + ir;
  }
};

}  // namespace

void vfFrequencyAdd(const vxFrequencyBuffer& a, vxFrequencyBuffer& b) {
  requireData(b);
  requireData(a);
  requireSpectrum(a);
  requireSpectrum(b);
  requireSameSize(a, b, msg::kAddSizes);
  combine(a, b, Add());
}

void vfFrequencyAdd(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                    vxFrequencyBuffer& result) {
  requireData(a);
  requireData(b);
  requireSpectrum(a);
  requireSpectrum(b);
  requireSameSize(a, b, msg::kAddSizes);
  if (&result == &b) {
    vfFrequencyAdd(a, result);
    return;
  }
  if (&result != &a) result = a;
  vfFrequencyAdd(b, result);
}

void vfFrequencySubtract(const vxFrequencyBuffer& a, vxFrequencyBuffer& b) {
  requireData(b);
  requireData(a);
  requireSpectrum(a);
  requireSpectrum(b);
  requireSameSize(a, b, msg::kSubtractSizes);
  combine(a, b, SubtractFromSecond());
}

void vfFrequencySubtract(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                         vxFrequencyBuffer& result) {
  requireData(a);
  requireData(b);
  requireSameSize(a, b, msg::kSubtractSizes);
  requireSpectrum(a);
  requireSpectrum(b);
  if (&result == &b) {
    // The result overwrites the subtrahend: keep its values aside first.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): b is result, written below
    const vxFrequencyBuffer subtrahend(b);
    result = a;
    vfFrequencySubtract(subtrahend, result);
    return;
  }
  if (&result != &a) result = a;
  vfFrequencySubtract(b, result);
}

void vfFrequencyMultiply(const vxFrequencyBuffer& a, vxFrequencyBuffer& b) {
  requireData(b);
  requireData(a);
  requireSameSize(a, b, msg::kMultiplySizes);
  requireSpectrum(a);
  requireSpectrum(b);
  combine(a, b, Multiply());
}

void vfFrequencyMultiply(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b,
                         vxFrequencyBuffer& result) {
  requireData(a);
  requireData(b);
  requireSpectrum(a);
  requireSpectrum(b);
  requireSameSize(a, b, msg::kMultiplySizes);
  if (&result == &b) {
    vfFrequencyMultiply(a, result);
    return;
  }
  if (&result != &a) result = a;
  vfFrequencyMultiply(b, result);
}

void vfFrequencyConjugate(vxFrequencyBuffer& a) {
  requireData(a);
  requireSpectrum(a);
  float* v = Access::data(a);
  // Negation flips the sign bit alone, so +0 becomes -0 and a second conjugation
  // restores every bit.
  forEachRowBand(a, [v](std::size_t first, std::size_t end) {
    for (std::size_t i = first + 1; i < end; i += 2) v[i] = -v[i];
  });
}

void vfFrequencyConjugate(const vxFrequencyBuffer& a, vxFrequencyBuffer& result) {
  requireData(a);
  requireSpectrum(a);
  if (&result != &a) result = a;
  vfFrequencyConjugate(result);
}
