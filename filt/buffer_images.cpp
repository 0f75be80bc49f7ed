// The images read off a frequency buffer: real and imaginary parts, magnitudes and
// phases, in storage order or with the DC term at the centre.
#include "filt/buffer_access.h"
#include "filt/fft.h"
#include "filt/messages.h"
#include "filt/parallel_rows.h"

#include <cmath>

using Access = vx_detail::FrequencyBufferAccess;

namespace {

template <class F>
vxPelBuffer<double> bufferImage(const vxFrequencyBuffer& buf, bool centered, F value) {
  if (!buf.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  if (buf.inverseComputed())
    throw vxFrequencyDefs::InvalidBuffer(vx_detail::msg::kInverseComputed);
  const long W = buf.width();
  const long H = buf.height();
  vxPelBuffer<double> image(W, H, 32);
  double* pixels = image.pointToOffset();
  const long stride = image.stride();
  // Centred order swaps the quadrants diagonally: element (x, y) goes to pixel
  // ((x + W/2) mod W, (y + H/2) mod H).
  const long shiftX = centered ? W / 2 : 0;
  const long shiftY = centered ? H / 2 : 0;
  const float* data = Access::data(buf);
  vx_detail::splitRows(H, W, [&](long first, long end) {
    for (long y = first; y < end; ++y) {
      const long py = (y + shiftY) % H;
      double* row = pixels + py * stride;
      const float* in = data + 2 * static_cast<std::size_t>(y) * W;
      // Element x goes to pixel x + shiftX while that lies in the row, else x + shiftX - W.
      const long split = W - shiftX;
      for (long x = 0; x < split; ++x) row[x + shiftX] = value(in[2 * x], in[2 * x + 1]);
      for (long x = split; x < W; ++x) row[x - split] = value(in[2 * x], in[2 * x + 1]);
    }
  });
  return image;
}

}  // namespace

vxPelBuffer<double> vxFrequencyBuffer::getRealImage(bool centered) const {
  return bufferImage(*this, centered, [](float re, float) { return static_cast<double>(re); });
}

vxPelBuffer<double> vxFrequencyBuffer::getImaginaryImage(bool centered) const {
  return bufferImage(*this, centered, [](float, float im) { return static_cast<double>(im); });
}

vxPelBuffer<double> vxFrequencyBuffer::getMagnitudeImage(bool centered) const {
  return bufferImage(*this, centered,
                     [](float re, float im) { return static_cast<double>(std::sqrt(re * re + im * im)); });
}

vxPelBuffer<double> vxFrequencyBuffer::getPhaseImage(bool centered) const {
  return bufferImage(*this, centered, [](float re, float im) {
    return vxRadian(std::atan2(static_cast<double>(im), static_cast<double>(re))).norm().value();
  });
}
