// The images read off a frequency buffer: real and imaginary parts, magnitudes and
// phases, in storage order or with the DC term at the centre.
#include "filt/buffer/access.h"
#include "filt/common/messages.h"
#include "filt/fft.h"
#include "filt/image/kernels.h"
#include "filt/threads/rows.h"

#include <algorithm>
#include <cmath>

using Access = vx_detail::FrequencyBufferAccess;

namespace {

// `run(values, count, pixels)` turns `count` consecutive values into pixels.
template <class Run>
vxPelBuffer<double> bufferImage(const vxFrequencyBuffer& buf, bool centered, Run run) {
  if (!buf.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  if (buf.inverseComputed()) throw vxFrequencyDefs::InvalidBuffer(vx_detail::msg::kInverseComputed);
  const long W = buf.width();
  const long H = buf.height();
  // Every pixel and each row's padding is written below, in bands spread over the
  // scope's threads: at the largest sizes the first touch of the fresh pages is most
  // of the cost, and a zeroing pass would take it on one thread.
  vxPelBuffer<double> image(W, H, 32, vx_detail::UnzeroedPixels());
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
      const auto split = static_cast<std::int32_t>(W - shiftX);
      run(in, split, row + shiftX);
      run(in + 2 * static_cast<std::ptrdiff_t>(split), static_cast<std::int32_t>(shiftX), row);
      std::fill(row + W, row + stride, 0.0);
    }
  });
  return image;
}

}  // namespace

vxPelBuffer<double> vxFrequencyBuffer::getRealImage(bool centered) const {
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  return bufferImage(*this, centered, [&k](const float* values, std::int32_t count, double* out) {
    k.partDouble(values, count, 0, out);
  });
}

vxPelBuffer<double> vxFrequencyBuffer::getImaginaryImage(bool centered) const {
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  return bufferImage(*this, centered, [&k](const float* values, std::int32_t count, double* out) {
    k.partDouble(values, count, 1, out);
  });
}

vxPelBuffer<double> vxFrequencyBuffer::getMagnitudeImage(bool centered) const {
  // sqrtf(re re + im im) times 1, which changes no bit.
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  return bufferImage(*this, centered, [&k](const float* values, std::int32_t count, double* out) {
    k.magnitudeDouble(values, count, 1.0f, out, nullptr);
  });
}

vxPelBuffer<double> vxFrequencyBuffer::getPhaseImage(bool centered) const {
  return bufferImage(*this, centered, [](const float* values, std::int32_t count, double* out) {
    for (std::int32_t x = 0; x < count; ++x)
      out[x] = vxRadian(std::atan2(static_cast<double>(values[2 * x + 1]),
                                   static_cast<double>(values[2 * x])))
                   .norm()
                   .value();
  });
}
