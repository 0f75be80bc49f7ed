// Forward transforms of images into frequency buffers.
//
// The samples are converted row by row by the kernels of filt/image/kernels.h; the
// floats are the same on every path.
#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/engine/engines.h"
#include "filt/fft.h"
#include "filt/image/forward_rows.h"
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
// every value (vx_detail::fillOrClear).
template <class T, class Fill>
void sizeAndFill(const vxPelBuffer_const<T>& image, vxFrequencyBuffer& result, Fill fill) {
  const bool fresh =
      Access::setAndAllocate(result, image.width(), image.height(), vx_detail::BlockFill::Any);
  Access::setPlacement(result, image.offset(), image.clientXform());
  vx_detail::fillOrClear(result, fresh, fill);
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
      for (long y = first; y < end; ++y) {
        vx_detail::conversionAttention(y);
        vx_detail::samplesToComplex(k, reRows + y * re.image.stride(),
                                    imRows + y * im.image.stride(), re.columns,
                                    data + 2 * static_cast<std::size_t>(y) * W);
      }
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
    const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
    const std::size_t rowFloats = 2 * static_cast<std::size_t>(W);
    const T* samples = source.image.pointToOffset();
    vx_detail::splitRows(H, W, [&](long first, long end) {
      for (long y = first; y < end; ++y) {
        vx_detail::conversionAttention(y);
        vx_detail::realInputRow(k, samples + y * source.image.stride(),
                                y < source.rows ? source.columns : 0, W,
                                data + static_cast<std::size_t>(y) * rowFloats);
      }
    });
    vf_RealFFT2D(data, vxPair<long>(W, H), +1, 0, H);
  });
  // A real picture's spectrum, conjugate-symmetric exactly.
  Access::setHermitian(result, true);
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
