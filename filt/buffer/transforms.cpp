// Transforms between frequency buffers.
#include "filt/fft.h"

#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/engine/engines.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using Access = vx_detail::FrequencyBufferAccess;

namespace {
// Runs the complex engine on `in`'s values with the result in `out`'s storage, which
// has `in`'s size: in place when they are the same buffer, else straight from one
// storage into the other (the bits of a copy transformed in place).
void runEngine(const vxFrequencyBuffer& in, vxFrequencyBuffer& out, long direction, long miny,
               long maxy) {
  const vxPair<long> size(in.width(), in.height());
  if (&out == &in)
    vf_ComplexFFT2D(Access::data(out), size, direction, miny, maxy);
  else
    vf_ComplexFFT2DInto(Access::data(in), Access::data(out), size, direction, miny, maxy);
}
}  // namespace

void vfForwardFFT(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) {
  if (!in.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  vx_detail::checkTransformSize(in.width(), in.height());
  // `out` becomes a copy of `in` whose values are then replaced by the transform.
  if (&out != &in) Access::assignLayout(out, in);
  Access::setInverseComputed(out, false);
  Access::setHermitian(out, false);
  Access::setMask(out, 0, Access::maskedMiny(out), Access::maskedMaxy(out));
  runEngine(in, out, +1, 0, in.height());
}

void vfInverseFFT(vxFrequencyBuffer& in, vxFrequencyBuffer& out, bool inPlace) {
  if (!in.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  if (!in.inverseComputed()) vx_detail::checkTransformSize(in.width(), in.height());
  const bool keep = inPlace || in.inverseComputed();
  if (!in.inverseComputed()) {
    // `out` may be `in` itself; the band is read before the engine runs either way.
    long miny = 0;
    long maxy = 0;
    Access::rowBand(in, miny, maxy);
    if (inPlace) {
      runEngine(in, in, -1, miny, maxy);
    } else {
      if (&out != &in) Access::assignLayout(out, in);
      runEngine(in, out, -1, miny, maxy);
    }
  }
  if (keep) out = in;
  Access::setInverseComputed(out, false);
  Access::setHermitian(out, false);
  Access::setMask(out, 0, Access::maskedMiny(out), Access::maskedMaxy(out));
  // A buffer already marked is left alone, so the const form never writes to `in`.
  if (keep && !in.inverseComputed()) Access::setInverseComputed(in, true);
}

void vfInverseFFT(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) {
  // The non-in-place path never writes to `in`.
  vfInverseFFT(const_cast<vxFrequencyBuffer&>(in), out, false);
}
