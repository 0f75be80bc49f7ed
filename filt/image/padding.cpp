// Forward transforms of padded and windowed images: the picture is weighted, copied
// into a picture of the transform size with its padding filled in, and that picture
// goes through the plain forward transform of its type. The buffer then records the
// original picture's size and placement, so the plain inverses crop the padding off.
#include "filt/padding.h"

#include "filt/image/padding_layout.h"

#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

using Access = vx_detail::FrequencyBufferAccess;
using Defs = vxFrequencyDefs;
namespace msg = vx_detail::msg;

namespace {

using vx_detail::maxTransformSide;

constexpr double kPi = 3.14159265358979323846;

// One side of the transform for a picture side of 1 .. maxTransformSide() pixels along
// `axis`: the margin as far as the transform's largest side leaves room for it, sized by
// the thread's rule.
long paddedSide(long side, long margin, int axis) {
  if (margin < 0) margin = (side + 7) / 8;
  margin = std::max(0L, std::min(margin, (vx_detail::largestSide(axis) - side) / 2));
  return vx_detail::transformSide(side, margin, axis);
}

void checkSide(long side) {
  if (side < 1 || side > maxTransformSide())
    throw Defs::InvalidSize(vx_detail::pictureSideMessage());
}

}  // namespace

namespace vx_detail {

void checkPaddingOptions(const vxPaddingOptions& options, bool filters) {
  switch (options.padding) {
    case vxPadding::Zero:
    case vxPadding::Reflect:
    case vxPadding::Edge:
    case vxPadding::Mean:
      break;
    case vxPadding::Continue:
      if (!filters) throw Defs::InvalidArgument(msg::kContinueNeedsFilter);
      break;
    default:
      throw Defs::InvalidArgument(msg::kUnknownPadding);
  }
  options.window.weight(0, 1);
}

void checkPaddedPicture(const vx_PelBuffer& image) {
  if (!image.isBound()) throw Defs::UnboundWindow();
  if (image.width() > maxTransformSide() || image.height() > maxTransformSide())
    throw Defs::InvalidSize(vx_detail::tooLargeMessage());
}

void recordPaddedPicture(vxFrequencyBuffer& result, const vx_PelBuffer& image,
                         const vxPair<long>& size) {
  Access::setImageSize(result, image.width(), image.height());
  Access::setPlacement(result, image.offset(), image.clientXform());
  Access::setPaddingMargin(result, (size.x - image.width()) / 2, (size.y - image.height()) / 2);
}

long forwardExtent(long n, long N) { return n + (N - n + 1) / 2; }

std::vector<long> paddingSource(long n, long N, vxPadding padding) {
  std::vector<long> index(static_cast<std::size_t>(N));
  const long forwards = forwardExtent(n, N);
  for (long c = 0; c < N; ++c) {
    const long x = c < forwards ? c : c - N;
    long from = -1;
    if (x >= 0 && x < n) {
      from = x;
    } else if (padding == vxPadding::Reflect) {
      const long m = ((x % (2 * n)) + 2 * n) % (2 * n);
      from = m < n ? m : 2 * n - 1 - m;
    } else if (padding == vxPadding::Edge || padding == vxPadding::Continue) {
      from = x < 0 ? 0 : n - 1;
    }
    index[static_cast<std::size_t>(c)] = from;
  }
  return index;
}

}  // namespace vx_detail

namespace {

template <class T>
vxPelBuffer<T> paddedPicture(const vxPelBuffer_const<T>& picture, const vxPair<long>& size,
                             vxPadding padding, T fill) {
  const std::vector<long> columns = vx_detail::paddingSource(picture.width(), size.x, padding);
  const std::vector<long> rows = vx_detail::paddingSource(picture.height(), size.y, padding);
  vxPelBuffer<T> out(size.x, size.y, 32);
  for (long y = 0; y < size.y; ++y) {
    T* o = &out.at(0, y);
    const long row = rows[static_cast<std::size_t>(y)];
    if (row < 0) {
      std::fill(o, o + size.x, fill);
      continue;
    }
    const T* in = &picture.at(0, row);
    for (long x = 0; x < size.x; ++x) {
      const long column = columns[static_cast<std::size_t>(x)];
      o[x] = column < 0 ? fill : in[column];
    }
  }
  return out;
}

template <class T>
double meanOf(const vxPelBuffer_const<T>& picture) {
  double sum = 0.0;
  for (long y = 0; y < picture.height(); ++y) {
    double row = 0.0;
    for (long x = 0; x < picture.width(); ++x) row += static_cast<double>(picture.at(x, y));
    sum += row;
  }
  return sum / (static_cast<double>(picture.width()) * static_cast<double>(picture.height()));
}

// The constant of Zero and Mean padding in the picture's pixel type.
template <class T>
T fillValue(const vxPelBuffer_const<T>& picture, vxPadding padding) {
  if (padding != vxPadding::Mean) return T(0);
  const double mean = meanOf(picture);
  if constexpr (std::is_floating_point<T>::value)
    return mean;
  else
    return static_cast<T>(std::lround(mean));
}

std::vector<double> windowWeights(const vxWindow& window, long length) {
  std::vector<double> weights(static_cast<std::size_t>(length));
  for (long n = 0; n < length; ++n) weights[static_cast<std::size_t>(n)] = window.weight(n, length);
  return weights;
}

template <class T>
vxPelBuffer<double> windowedPicture(const vxPelBuffer_const<T>& image, const vxWindow& window) {
  const std::vector<double> wx = windowWeights(window, image.width());
  const std::vector<double> wy = windowWeights(window, image.height());
  vxPelBuffer<double> out(image.width(), image.height(), 32);
  for (long y = 0; y < image.height(); ++y)
    for (long x = 0; x < image.width(); ++x)
      out.at(x, y) = static_cast<double>(image.at(x, y)) * wx[static_cast<std::size_t>(x)] *
                     wy[static_cast<std::size_t>(y)];
  return out;
}

template <class T>
void transformPadded(const vxPelBuffer_const<T>& picture, const vxPair<long>& size,
                     vxPadding padding, vxFrequencyBuffer& result) {
  vfForwardFFT(paddedPicture(picture, size, padding, fillValue(picture, padding)), result);
}

}  // namespace

double vxWindow::weight(long n, long length) const {
  if (shape != None && shape != Hann && shape != Tukey)
    throw Defs::InvalidArgument(msg::kUnknownWindow);
  if (shape == Tukey && !(fraction >= 0.0 && fraction <= 1.0))
    throw Defs::InvalidArgument(msg::kTukeyFraction);
  if (shape == None || length <= 1) return 1.0;
  const double last = static_cast<double>(length - 1);
  if (shape == Hann) return 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(n) / last);
  if (fraction <= 0.0) return 1.0;
  const double x = static_cast<double>(n) / last;
  if (x < fraction / 2.0) return 0.5 * (1.0 + std::cos(kPi * (2.0 * x / fraction - 1.0)));
  if (x > 1.0 - fraction / 2.0)
    return 0.5 * (1.0 + std::cos(kPi * (2.0 * x / fraction - 2.0 / fraction + 1.0)));
  return 1.0;
}

vxPair<long> vfPaddedTransformSize(long width, long height, long margin) {
  checkSide(width);
  checkSide(height);
  return vxPair<long>(paddedSide(width, margin, 0), paddedSide(height, margin, 1));
}

vxPair<long> vfPaddingMargin(const vxFrequencyBuffer& buffer) {
  if (!buffer.isInitialized()) throw Defs::Uninitialized(msg::kBufferUninitialized);
  return Access::paddingMargin(buffer);
}

template <class T>
void vfForwardFFTPadded(const vxPelBuffer_const<T>& image, const vxPaddingOptions& options,
                        vxFrequencyBuffer& result) {
  vx_detail::checkPaddedPicture(image);
  vx_detail::checkPaddingOptions(options, false);
  if (image.width() == 0 || image.height() == 0) return vfForwardFFT(image, result);

  const vxPair<long> size = vfPaddedTransformSize(image.width(), image.height(), options.margin);
  if (options.window.shape != vxWindow::None) {
    transformPadded<double>(windowedPicture(image, options.window), size, options.padding, result);
  } else if (options.padding == vxPadding::Zero &&
             size == vfTransformSize(image.width(), image.height())) {
    vfForwardFFT(image, result);  // no room asked for: the plain transform
  } else {
    transformPadded(image, size, options.padding, result);
  }
  vx_detail::recordPaddedPicture(result, image, size);
}

template VX_API void vfForwardFFTPadded<unsigned char>(const vxPelBuffer_const<unsigned char>&,
                                                       const vxPaddingOptions&, vxFrequencyBuffer&);
template VX_API void vfForwardFFTPadded<unsigned short>(const vxPelBuffer_const<unsigned short>&,
                                                        const vxPaddingOptions&,
                                                        vxFrequencyBuffer&);
template VX_API void vfForwardFFTPadded<double>(const vxPelBuffer_const<double>&,
                                                const vxPaddingOptions&, vxFrequencyBuffer&);
