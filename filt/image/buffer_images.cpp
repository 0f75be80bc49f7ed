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

// Writes the image of `buf` into `image`, `run(values, count, pixels)` turning `count`
// consecutive values into pixels. `image` is used as it is when it is bound and has the
// buffer's size W x H (its pixels are written, nothing else); otherwise it becomes a new
// W x H image, every pixel and each row's padding written here. The rows are written in
// bands spread over the scope's threads: at the largest sizes the first touch of fresh
// pages is a large part of the cost, and a zeroing pass would take it on one thread.
template <class Run>
void fillBufferImage(const vxFrequencyBuffer& buf, bool centered, vxPelBuffer<double>& image,
                     Run run) {
  if (!buf.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  if (buf.inverseComputed()) throw vxFrequencyDefs::InvalidBuffer(vx_detail::msg::kInverseComputed);
  const long W = buf.width();
  const long H = buf.height();
  const bool reuse = image.isBound() && image.width() == W && image.height() == H;
  if (!reuse) image = vxPelBuffer<double>(W, H, 32, vx_detail::UnzeroedPixels());
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
      if (!reuse) std::fill(row + W, row + stride, 0.0);
    }
  });
}

// The four images, as the functions that write one row of each.
struct RealPart {
  const vx_detail::ImageKernels& k;
  void operator()(const float* values, std::int32_t count, double* out) const {
    k.partDouble(values, count, 0, out);
  }
};
struct ImaginaryPart {
  const vx_detail::ImageKernels& k;
  void operator()(const float* values, std::int32_t count, double* out) const {
    k.partDouble(values, count, 1, out);
  }
};
// sqrtf(re re + im im) times 1, which changes no bit.
struct Magnitude {
  const vx_detail::ImageKernels& k;
  void operator()(const float* values, std::int32_t count, double* out) const {
    k.magnitudeDouble(values, count, 1.0f, out, nullptr);
  }
};
struct Phase {
  void operator()(const float* values, std::int32_t count, double* out) const {
    for (std::int32_t x = 0; x < count; ++x)
      out[x] = vxRadian(std::atan2(static_cast<double>(values[2 * x + 1]),
                                   static_cast<double>(values[2 * x])))
                   .norm()
                   .value();
  }
};

}  // namespace

void vxFrequencyBuffer::getRealImage(bool centered, vxPelBuffer<double>& image) const {
  fillBufferImage(*this, centered, image, RealPart{vx_detail::activeImageKernels()});
}

void vxFrequencyBuffer::getImaginaryImage(bool centered, vxPelBuffer<double>& image) const {
  fillBufferImage(*this, centered, image, ImaginaryPart{vx_detail::activeImageKernels()});
}

void vxFrequencyBuffer::getMagnitudeImage(bool centered, vxPelBuffer<double>& image) const {
  fillBufferImage(*this, centered, image, Magnitude{vx_detail::activeImageKernels()});
}

void vxFrequencyBuffer::getPhaseImage(bool centered, vxPelBuffer<double>& image) const {
  fillBufferImage(*this, centered, image, Phase{});
}

vxPelBuffer<double> vxFrequencyBuffer::getRealImage(bool centered) const {
  vxPelBuffer<double> image;
  getRealImage(centered, image);
  return image;
}

vxPelBuffer<double> vxFrequencyBuffer::getImaginaryImage(bool centered) const {
  vxPelBuffer<double> image;
  getImaginaryImage(centered, image);
  return image;
}

vxPelBuffer<double> vxFrequencyBuffer::getMagnitudeImage(bool centered) const {
  vxPelBuffer<double> image;
  getMagnitudeImage(centered, image);
  return image;
}

vxPelBuffer<double> vxFrequencyBuffer::getPhaseImage(bool centered) const {
  vxPelBuffer<double> image;
  getPhaseImage(centered, image);
  return image;
}
