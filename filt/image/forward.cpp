// Forward transforms of images into frequency buffers.
//
// The samples are converted row by row by the kernels of filt/image/kernels.h; the
// floats are the same on every path.
#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/engine/engines.h"
#include "filt/fft.h"
#include "filt/image/kernels.h"
#include "filt/threads/rows.h"

#include <cstdint>
#include <cstring>

using Access = vx_detail::FrequencyBufferAccess;

namespace {

// Where the samples of one input image are read from: the image itself when it sits
// at offset (0, 0), otherwise a zero-filled W x H temporary at the image's offset that
// received the image by a wrap copy (only the unshifted copy overlaps it, so the
// samples land at its top-left). Either way the grid is `columns` x `rows`.
template <class T>
struct SampleSource {
  vxPelBuffer_const<T> image;
  long columns = 0;
  long rows = 0;
};

template <class T>
void fillWithZero(const vxPelBuffer<T>& image) {
  if constexpr (std::is_same<T, unsigned char>::value)
    vfPelSet_U8(image, 0);
  else
    vfPelSet(image, T(0));
}

template <class T>
SampleSource<T> sampleSource(const vxPelBuffer_const<T>& image, long W, long H) {
  SampleSource<T> source;
  const vxPair<long> at = image.offset();
  // The temporary gives the same samples as the image itself: the extended mode, which
  // keeps its working memory small, reads the image wherever it sits.
  if ((at.x == 0 && at.y == 0) || vx_detail::extendedMode()) {
    source.image = image;
    source.columns = image.width();
    source.rows = image.height();
    return source;
  }
  vxPelBuffer<T> padded(W, H, 32);
  padded.offset(at);
  fillWithZero(padded);
  vf_WrapCopy(image, padded, false);
  source.image = padded;
  source.columns = W;
  source.rows = H;
  return source;
}

// Sizes `result` for `image`, records the image's placement and runs `fill`, which writes
// every value. New storage is not cleared first; should `fill` throw (an attention
// request, an allocation failure), it is cleared then, since storage from the library's
// cache may hold the values of another result.
template <class T, class Fill>
void sizeAndFill(const vxPelBuffer_const<T>& image, vxFrequencyBuffer& result, Fill fill) {
  const bool fresh =
      Access::setAndAllocate(result, image.width(), image.height(), vx_detail::BlockFill::Any);
  Access::setPlacement(result, image.offset(), image.clientXform());
  try {
    fill(result.width(), result.height(), Access::data(result));
  } catch (...) {
    if (fresh)
      std::memset(Access::data(result), 0,
                  2 * static_cast<std::size_t>(result.width()) * result.height() * sizeof(float));
    throw;
  }
}

// One row of samples converted to float, or of real and imaginary samples to
// complex floats, by the active path's kernels.
void samplesToFloats(const vx_detail::ImageKernels& k, const unsigned char* in, long count,
                     float* out) {
  k.floatsFromU8(in, static_cast<std::int32_t>(count), out);
}
void samplesToFloats(const vx_detail::ImageKernels& k, const unsigned short* in, long count,
                     float* out) {
  k.floatsFromU16(in, static_cast<std::int32_t>(count), out);
}
void samplesToFloats(const vx_detail::ImageKernels& k, const double* in, long count, float* out) {
  k.floatsFromDouble(in, static_cast<std::int32_t>(count), out);
}
void samplesToComplex(const vx_detail::ImageKernels& k, const unsigned char* re,
                      const unsigned char* im, long count, float* out) {
  k.complexFromU8(re, im, static_cast<std::int32_t>(count), out);
}
void samplesToComplex(const vx_detail::ImageKernels& k, const unsigned short* re,
                      const unsigned short* im, long count, float* out) {
  k.complexFromU16(re, im, static_cast<std::int32_t>(count), out);
}
void samplesToComplex(const vx_detail::ImageKernels& k, const double* re, const double* im,
                      long count, float* out) {
  k.complexFromDouble(re, im, static_cast<std::int32_t>(count), out);
}

template <class T>
void forwardPair(const vxPelBuffer_const<T>& real, const vxPelBuffer_const<T>& imag,
                 vxFrequencyBuffer& result) {
  if (!real.isBound()) throw vxFrequencyDefs::UnboundWindow();
  if (!imag.isBound()) throw vxFrequencyDefs::UnboundWindow();
  if (real.width() != imag.width() || real.height() != imag.height() ||
      real.offset().x != imag.offset().x || real.offset().y != imag.offset().y)
    throw vxFrequencyDefs::InvalidSize(vx_detail::msg::kImagePairDiffers);

  sizeAndFill(real, result, [&](long W, long H, float* data) {
    const SampleSource<T> re = sampleSource(real, W, H);
    const SampleSource<T> im = sampleSource(imag, W, H);
    const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
    const T* reRows = re.image.pointToOffset();
    const T* imRows = im.image.pointToOffset();
    vx_detail::splitRows(re.rows, re.columns, [&](long first, long end) {
      for (long y = first; y < end; ++y)
        samplesToComplex(k, reRows + y * re.image.stride(), imRows + y * im.image.stride(),
                         re.columns, data + 2 * static_cast<std::size_t>(y) * W);
    });
    vf_ZeroPadding(re.columns, re.rows, W, H, data);
    vf_ComplexFFT2D(data, vxPair<long>(W, H), +1, 0, H);
  });
}

template <class T>
void forwardReal(const vxPelBuffer_const<T>& image, vxFrequencyBuffer& result) {
  if (!image.isBound()) throw vxFrequencyDefs::UnboundWindow();

  sizeAndFill(image, result, [&](long W, long H, float* data) {
    const SampleSource<T> source = sampleSource(image, W, H);
    // The real-input layout: H rows of 2W floats, the samples in the first W floats.
    // Floats W .. 2W-1 of a row are not written here (the engine does not read them,
    // and writes them with the spectrum), but the imaginary slot of a one-sample row.
    const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
    const std::size_t rowFloats = 2 * static_cast<std::size_t>(W);
    const T* samples = source.image.pointToOffset();
    vx_detail::splitRows(H, W, [&](long first, long end) {
      for (long y = first; y < end; ++y) {
        float* out = data + static_cast<std::size_t>(y) * rowFloats;
        long x = 0;
        if (y < source.rows) {
          samplesToFloats(k, samples + y * source.image.stride(), source.columns, out);
          x = source.columns;
        }
        std::memset(out + x, 0, static_cast<std::size_t>(W - x) * sizeof(float));
        if (W == 1) out[1] = 0.0f;
      }
    });
    vf_RealFFT2D(data, vxPair<long>(W, H), +1, 0, H);
  });
}

}  // namespace

void vf_ForwardFFT(const vxPelBuffer_const<unsigned char>& real,
                   const vxPelBuffer_const<unsigned char>& imag, vxFrequencyBuffer& result) {
  forwardPair(real, imag, result);
}
void vf_ForwardFFT(const vxPelBuffer_const<unsigned short>& real,
                   const vxPelBuffer_const<unsigned short>& imag, vxFrequencyBuffer& result) {
  forwardPair(real, imag, result);
}
void vf_ForwardFFT(const vxPelBuffer_const<double>& real, const vxPelBuffer_const<double>& imag,
                   vxFrequencyBuffer& result) {
  forwardPair(real, imag, result);
}
void vf_ForwardFFT(const vxPelBuffer_const<unsigned char>& image, vxFrequencyBuffer& result) {
  forwardReal(image, result);
}
void vf_ForwardFFT(const vxPelBuffer_const<unsigned short>& image, vxFrequencyBuffer& result) {
  forwardReal(image, result);
}
void vf_ForwardFFT(const vxPelBuffer_const<double>& image, vxFrequencyBuffer& result) {
  forwardReal(image, result);
}

template <class T>
void vfForwardFFT(const vxPelBuffer_const<T>& real, const vxPelBuffer_const<T>& imag,
                  vxFrequencyBuffer& result) {
  vf_ForwardFFT(real, imag, result);
}

template <class T>
void vfForwardFFT(const vxPelBuffer_const<T>& image, vxFrequencyBuffer& result) {
  vf_ForwardFFT(image, result);
}

#define VXFREQ_INSTANTIATE_FORWARD(T)                                                            \
  template VX_API void vfForwardFFT<T>(const vxPelBuffer_const<T>&, const vxPelBuffer_const<T>&, \
                                       vxFrequencyBuffer&);                                      \
  template VX_API void vfForwardFFT<T>(const vxPelBuffer_const<T>&, vxFrequencyBuffer&)

VXFREQ_INSTANTIATE_FORWARD(unsigned char);
VXFREQ_INSTANTIATE_FORWARD(unsigned short);
VXFREQ_INSTANTIATE_FORWARD(double);
#undef VXFREQ_INSTANTIATE_FORWARD
