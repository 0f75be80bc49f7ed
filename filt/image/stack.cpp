// Transforms of many pictures of one size in one call (stack.h).
//
// Each picture runs through the engine a single call for it would use, on the same
// values in the same layout: its rows go into working memory (or, when the output is
// whole contiguous spectra, straight into the output, where the engine then works in
// place), the engine runs, and the rows go out, times the scale. The pictures are
// spread over the caller's executor in bands of consecutive pictures when the stack's
// work pays for handing it over; inside a band every loop stays on its thread, so that
// one picture never shares its cache lines between cores.
#include "filt/stack.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/engine/any_engine.h"
#include "filt/engine/engines.h"
#include "filt/extended.h"
#include "filt/fft.h"
#include "filt/image/forward_rows.h"
#include "filt/image/kernels.h"
#include "filt/threads/rows.h"
#include "platform/memory.h"

#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

vxStackLayout::vxStackLayout(long count_, long width_, long height_)
    : count(count_), width(width_), height(height_), pictureStride(width_ * height_),
      rowStride(width_), pixelStride(1) {}

vxStackLayout::vxStackLayout(long count_, long width_, long height_, long pictureStride_,
                             long rowStride_, long pixelStride_)
    : count(count_), width(width_), height(height_), pictureStride(pictureStride_),
      rowStride(rowStride_), pixelStride(pixelStride_) {}

namespace {

using Defs = vxFrequencyDefs;
namespace msg = vx_detail::msg;

// The checks every call makes first, in order: the count, the sides of the transform
// (W x H, the mode's rule), the pointers, then how the output fits the input.
void checkStack(const vxStackLayout& in, long W, const void* input, const void* output) {
  if (in.count < 0) throw Defs::InvalidArgument(msg::kStackCount);
  if (W < 1 || in.height < 1) throw Defs::InvalidSize(vx_detail::pictureSideMessage());
  if (W > vfMaxTransformSide() || in.height > vfMaxTransformSide())
    throw Defs::InvalidSize(vx_detail::tooLargeMessage());
  vx_detail::checkTransformSize(W, in.height);
  if (in.count > 0 && (input == nullptr || output == nullptr))
    throw Defs::InvalidArgument(msg::kStackSamplesNull);
}

void checkOutput(const vxStackLayout& in, const vxStackLayout& out) {
  if (out.count != in.count || out.height != in.height)
    throw Defs::InvalidArgument(msg::kStackOutputCount);
}

// Whether a layout's pictures are W x H values with rows right after each other.
bool packedRows(const vxStackLayout& l, long W) { return l.pixelStride == 1 && l.rowStride == W; }

// Runs body(p, work) for every picture p, `work` being working memory of `floats`
// floats that the body may use for the whole picture: in bands over the executor when
// the stack's work pays for it, else one picture after the other on this thread (where
// each engine may still split its own loops). The memory comes from the library's block
// allocator, unset (each body writes every float it reads), so that repeated calls of
// large pictures take it from the cache instead of touching fresh pages every time.
template <class Body>
void forEachPicture(long count, long W, long H, std::size_t floats, const Body& body) {
  if (count == 0) return;
  // The split rule for one picture's rows does not apply: pictures of their own share
  // no cache lines, so only the cost of handing work over counts (hence the largest
  // picture size in workSlots' third argument).
  const long bands =
      count < 2 ? 1 : vx_detail::workSlots(count, W * H, std::numeric_limits<long>::max());
  vx_detail::splitRowBands(count, bands, [&](long, long first, long end) {
    vx_detail::FloatBlock work;
    if (floats > 0) work.reset(floats, vx_detail::BlockFill::Any);
    for (long p = first; p < end; ++p) body(p, work.data());
  });
}

// The complex values of one picture's output rows, times `scale` (1 leaves them as they
// are), from `values` (W x H, rows of 2W floats) into the output layout's first
// `columns` columns.
void storeSpectrum(const float* values, long W, long H, long columns, float scale,
                   std::complex<float>* out, const vxStackLayout& o) {
  for (long y = 0; y < H; ++y) {
    const float* row = values + 2 * static_cast<std::size_t>(W) * static_cast<std::size_t>(y);
    std::complex<float>* dst = out + y * o.rowStride;
    if (scale == 1.0f && o.pixelStride == 1) {
      if (static_cast<const void*>(dst) != static_cast<const void*>(row))
        std::memcpy(static_cast<void*>(dst), row,
                    2 * static_cast<std::size_t>(columns) * sizeof(float));
      continue;
    }
    for (long x = 0; x < columns; ++x)
      dst[x * o.pixelStride] = std::complex<float>(row[2 * x] * scale, row[2 * x + 1] * scale);
  }
}

// One row of complex values, rounded to float where they are double, into `out`.
template <class C>
void complexRow(const C* in, long count, long stride, float* out) {
  if constexpr (std::is_same<C, std::complex<float>>::value) {
    if (stride == 1) {
      if (static_cast<const void*>(in) != static_cast<const void*>(out))
        std::memcpy(out, static_cast<const void*>(in), 2 * static_cast<std::size_t>(count) * 4);
      return;
    }
  }
  for (long x = 0; x < count; ++x) {
    const C v = in[x * stride];
    out[2 * x] = static_cast<float>(v.real());
    out[2 * x + 1] = static_cast<float>(v.imag());
  }
}

std::complex<float>* pictureOf(std::complex<float>* base, const vxStackLayout& l, long p) {
  return base + p * l.pictureStride;
}
template <class T>
const T* pictureOf(const T* base, const vxStackLayout& l, long p) {
  return base + p * l.pictureStride;
}

}  // namespace

template <class T>
void vfForwardFFTStack(const T* samples, const vxStackLayout& in, std::complex<float>* spectra,
                       const vxStackLayout& out, float scale) {
  const long W = in.width;
  const long H = in.height;
  checkStack(in, W, samples, spectra);
  checkOutput(in, out);
  if (out.width != W && out.width != W / 2 + 1)
    throw Defs::InvalidArgument(msg::kStackSpectrumWidth);
  // Whole spectra in rows right after each other: the engine works in the output.
  const bool direct = out.width == W && packedRows(out, W);
  const std::size_t floats = direct ? 0 : 2 * static_cast<std::size_t>(W) * H;
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  forEachPicture(in.count, W, H, floats, [&](long p, float* work) {
    const T* picture = pictureOf(samples, in, p);
    std::complex<float>* target = pictureOf(spectra, out, p);
    float* data = direct ? reinterpret_cast<float*>(target) : work;
    std::vector<T> gathered(in.pixelStride == 1 ? 0 : static_cast<std::size_t>(W));
    for (long y = 0; y < H; ++y) {
      const T* row = picture + y * in.rowStride;
      if (in.pixelStride != 1) {
        for (long x = 0; x < W; ++x)
          gathered[static_cast<std::size_t>(x)] = row[x * in.pixelStride];
        row = gathered.data();
      }
      vx_detail::realInputRow(k, row, W, W, data + 2 * static_cast<std::size_t>(W) * y);
    }
    vf_RealFFT2D(data, vxPair<long>(W, H), +1, 0, H);
    if (!direct || scale != 1.0f) storeSpectrum(data, W, H, out.width, scale, target, out);
  });
}

template <class C>
void vfComplexFFTStack(const C* values, const vxStackLayout& in, std::complex<float>* out,
                       const vxStackLayout& outLayout, bool inverse, float scale) {
  const long W = in.width;
  const long H = in.height;
  checkStack(in, W, values, out);
  checkOutput(in, outLayout);
  if (outLayout.width != W) throw Defs::InvalidArgument(msg::kStackComplexWidth);
  const bool direct = packedRows(outLayout, W);
  const std::size_t floats = direct ? 0 : 2 * static_cast<std::size_t>(W) * H;
  forEachPicture(in.count, W, H, floats, [&](long p, float* work) {
    const C* picture = pictureOf(values, in, p);
    std::complex<float>* target = pictureOf(out, outLayout, p);
    float* data = direct ? reinterpret_cast<float*>(target) : work;
    for (long y = 0; y < H; ++y)
      complexRow(picture + y * in.rowStride, W, in.pixelStride,
                 data + 2 * static_cast<std::size_t>(W) * y);
    vf_ComplexFFT2D(data, vxPair<long>(W, H), inverse ? -1 : +1, 0, H);
    if (!direct || scale != 1.0f) storeSpectrum(data, W, H, W, scale, target, outLayout);
  });
}

template <class C, class T>
void vfInverseFFTRealStack(const C* spectra, const vxStackLayout& in, T* samples,
                           const vxStackLayout& out, float scale) {
  const long W = out.width;
  const long H = in.height;
  checkStack(in, W, spectra, samples);
  checkOutput(in, out);
  const bool half = in.width != W;
  if (half && in.width != W / 2 + 1) throw Defs::InvalidArgument(msg::kStackSpectrumWidth);
  const bool extended = vfExtendedMode();
  const std::size_t rowFloats = 2 * static_cast<std::size_t>(W);
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  const bool readsInPlace = std::is_same<C, std::complex<float>>::value && !half &&
                            in.pixelStride == 1 && in.rowStride == W;
  forEachPicture(in.count, W, H, rowFloats * static_cast<std::size_t>(H), [&](long p, float* work) {
    const C* picture = pictureOf(spectra, in, p);
    T* target = samples + p * out.pictureStride;
    // The real-output engine reads a whole single-precision spectrum where it lies (it
    // has read all of it before the first row is delivered); any other goes to `work`.
    const float* source = work;
    if (extended && readsInPlace) {
      source = reinterpret_cast<const float*>(picture);
    } else {
      for (long y = 0; y < H; ++y)
        complexRow(picture + y * in.rowStride, in.width, in.pixelStride, work + rowFloats * y);
    }
    if (half) {
      // Columns W/2 + 1 .. W - 1: X(x, y) = conj X(W - x, -y).
      for (long y = 0; y < H; ++y) {
        float* row = work + rowFloats * y;
        const float* mirror = work + rowFloats * ((H - y) % H);
        for (long x = W / 2 + 1; x < W; ++x) {
          row[2 * x] = mirror[2 * (W - x)];
          row[2 * x + 1] = -mirror[2 * (W - x) + 1];
        }
      }
    }
    auto deliver = [&](long y, const float* row) {
      T* dst = target + y * out.rowStride;
      if constexpr (std::is_same<T, double>::value) {
        if (out.pixelStride == 1) {
          k.realDouble(row, static_cast<std::int32_t>(W), scale, dst);
          return;
        }
      }
      for (long x = 0; x < W; ++x) dst[x * out.pixelStride] = static_cast<T>(row[2 * x] * scale);
    };
    if (extended) {
      // The real-output engine, each row handed over while in cache.
      std::vector<float*> rows(static_cast<std::size_t>(H));
      for (long y = 0; y < H; ++y) rows[static_cast<std::size_t>(y)] = work + rowFloats * y;
      const vx_detail::RowSink sink = [&](std::int32_t y, const float* row) { deliver(y, row); };
      // A half spectrum's other half is its conjugate by construction.
      vx_detail::anyRealOutputFFT2D(source, rows.data(), static_cast<std::int32_t>(W),
                                    static_cast<std::int32_t>(H), &sink, half);
    } else {
      vf_ComplexFFT2D(work, vxPair<long>(W, H), -1, 0, H);
      for (long y = 0; y < H; ++y) deliver(y, work + rowFloats * y);
    }
  });
}

#define VXFREQ_INSTANTIATE_REAL_STACK(T)                                                          \
  template VX_API void vfForwardFFTStack<T>(const T*, const vxStackLayout&, std::complex<float>*, \
                                            const vxStackLayout&, float)
VXFREQ_INSTANTIATE_REAL_STACK(unsigned char);
VXFREQ_INSTANTIATE_REAL_STACK(unsigned short);
VXFREQ_INSTANTIATE_REAL_STACK(float);
VXFREQ_INSTANTIATE_REAL_STACK(double);
#undef VXFREQ_INSTANTIATE_REAL_STACK

template VX_API void vfComplexFFTStack<std::complex<float>>(const std::complex<float>*,
                                                            const vxStackLayout&,
                                                            std::complex<float>*,
                                                            const vxStackLayout&, bool, float);
template VX_API void vfComplexFFTStack<std::complex<double>>(const std::complex<double>*,
                                                             const vxStackLayout&,
                                                             std::complex<float>*,
                                                             const vxStackLayout&, bool, float);
template VX_API void vfInverseFFTRealStack<std::complex<float>, float>(const std::complex<float>*,
                                                                       const vxStackLayout&, float*,
                                                                       const vxStackLayout&, float);
template VX_API void vfInverseFFTRealStack<std::complex<float>, double>(
    const std::complex<float>*, const vxStackLayout&, double*, const vxStackLayout&, float);
template VX_API void vfInverseFFTRealStack<std::complex<double>, float>(
    const std::complex<double>*, const vxStackLayout&, float*, const vxStackLayout&, float);
template VX_API void vfInverseFFTRealStack<std::complex<double>, double>(
    const std::complex<double>*, const vxStackLayout&, double*, const vxStackLayout&, float);
