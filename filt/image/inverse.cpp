// Inverse transforms of frequency buffers into images.
//
// The pixel loops run row by row through the kernels of filt/image/kernels.h, which
// give the same pixels on every path.
#include "filt/atan2.h"
#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/engine/any_engine.h"
#include "filt/engine/engines.h"
#include "filt/fft.h"
#include "filt/image/kernels.h"
#include "filt/image/support.h"
#include "filt/threads/rows.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

using Access = vx_detail::FrequencyBufferAccess;

namespace {

void requireData(const vxFrequencyBuffer& buf) {
  if (!buf.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  if (!buf.inverseComputed()) vx_detail::checkTransformSize(buf.width(), buf.height());
}

// One output image of an inverse transform. An unbound output becomes a new image of
// the result's size at the recorded offset; a bound one keeps its own window and
// receives the values where it overlaps them.
template <class P>
class OutputImage {
public:
  explicit OutputImage(vxPelBuffer<P>& out) : out_(out), wasBound_(out.isBound()) {}

  bool wasBound() const { return wasBound_; }

  // The image the values are written into: w x h at the recorded offset, carrying
  // the recorded client transform. A bound output whose window is exactly that, and
  // which no cyclic shift follows, receives them directly.
  void prepare(const vxFrequencyBuffer& buf) {
    const vxPair<long> at = buf.imageOffset();
    direct_ = wasBound_ && out_.width() == vx_detail::outputWidth(buf) &&
              out_.height() == vx_detail::outputHeight(buf) && out_.offset().x == at.x &&
              out_.offset().y == at.y && ((at.x == 0 && at.y == 0) || vx_detail::extendedMode());
    if (direct_) return;
    // Every inverse writes every pixel of its image, so a new one is not zeroed first:
    // its first touch is the conversion's, row band by row band.
    vxPelBuffer<P> fresh(vx_detail::outputWidth(buf), vx_detail::outputHeight(buf), 32,
                         vx_detail::UnzeroedPixels());
    fresh.offset(buf.imageOffset());
    fresh.copyXforms(buf.clientXform());
    target() = fresh;
  }

  vxPelBuffer<P>& target() { return wasBound_ && !direct_ ? local_ : out_; }

  // Places the values. The target already holds the picture at its recorded offset;
  // the compatible mode shifts it cyclically by that offset when it is not (0, 0) (see
  // fft.h), the extended mode leaves it where it is. With `deferCopy` the final copy
  // into a bound output is left to copyIntoBound().
  void deliver(const vxFrequencyBuffer& buf, bool deferCopy = false) {
    if (direct_) return;
    const vxPair<long> at = buf.imageOffset();
    if ((at.x != 0 || at.y != 0) && !vx_detail::extendedMode()) {
      vxPelBuffer<P> shifted(vx_detail::outputWidth(buf), vx_detail::outputHeight(buf), 32);
      vf_WrapCopy(target(), shifted, true);
      if (wasBound_) {
        shifted.offset(at);
        shifted.copyXforms(buf.clientXform());
        local_ = shifted;
      } else {
        out_ = shifted;
        out_.offset(at);
      }
    }
    if (!deferCopy) copyIntoBound();
  }

  void copyIntoBound() {
    if (wasBound_ && !direct_) vfPelCopy(local_, out_);
  }

private:
  vxPelBuffer<P>& out_;
  bool wasBound_;
  bool direct_ = false;
  vxPelBuffer<P> local_;
};

// What a conversion reads of the inverse transform's values.
enum class Reads {
  RealParts,            // the real parts alone
  RealPartsOfAnything,  // the real parts, the storage free to take them in place
  Magnitudes,           // the magnitudes alone
  Everything,           // the imaginary parts too (angles, quadrants, both parts)
};

// Whether the extended mode computes the inverse with the real-output engine: the real
// part of any spectrum's inverse is the inverse of its Hermitian part, and a spectrum
// known to be conjugate-symmetric (a real picture's, through filters that keep the
// symmetry) has a real inverse, so its magnitudes are those of its real part. In place,
// the storage keeps what the engine gives, so a spectrum without the symmetry keeps
// the complex result there for whatever conversion follows.
bool takesRealOutput(const vxFrequencyBuffer& buf, Reads reads, bool inPlace) {
  if (!vx_detail::extendedMode() || reads == Reads::Everything) return false;
  if (Access::hermitian(buf) || reads == Reads::RealPartsOfAnything) return true;
  return reads == Reads::RealParts && !inPlace;
}

// The values an inverse transform reads: the buffer's own storage when it already
// holds the spatial result or the call is in place, otherwise working memory of the
// call, into which the engine transforms the buffer's values without changing them.
// The buffer's fields (sizes, offset, client transform) describe either.
class WorkData {
public:
  // With a `sink`, a call that takes the real-output engine also hands it every result
  // row as the engine finishes it (converted() says so afterwards).
  WorkData(vxFrequencyBuffer& buf, bool inPlace, Reads reads,
           const vx_detail::RowSink* sink = nullptr)
      : buf_(buf), inPlace_(inPlace || buf.inverseComputed()),
        width_(static_cast<std::int32_t>(buf.width())) {
    requireData(buf);
    values_ = Access::data(buf);
    if (buf.inverseComputed()) return;
    long miny = 0;
    long maxy = 0;
    Access::rowBand(buf, miny, maxy);
    const vxPair<long> size(buf.width(), buf.height());
    const bool realOutput = takesRealOutput(buf, reads, inPlace_);
    converted_ = realOutput && sink != nullptr;
    if (inPlace_ && !realOutput) {
      vf_ComplexFFT2D(Access::data(buf), size, -1, miny, maxy);
      // The storage now holds spatial data; say so at once, so that a failure
      // further on cannot leave it posing as a spectrum.
      markInverseComputed();
      return;
    }
    if (!inPlace_) {
      // The result goes to working memory of the call (from the library's allocator,
      // which keeps freed blocks for the next call), whose rows start on cache lines.
      result_.reset(2 * static_cast<std::size_t>(width_) * static_cast<std::size_t>(buf.height()),
                    vx_detail::BlockFill::Any);
      values_ = result_.data();
    }
    if (!realOutput) {
      vf_ComplexFFT2DInto(Access::data(buf), result_.data(), size, -1, miny, maxy);
      return;
    }
    float* out = inPlace_ ? Access::data(buf) : result_.data();
    std::vector<float*> rows(static_cast<std::size_t>(buf.height()));
    for (std::size_t r = 0; r < rows.size(); ++r)
      rows[r] = out + 2 * static_cast<std::size_t>(width_) * r;
    vx_detail::anyRealOutputFFT2D(Access::data(buf), rows.data(), width_,
                                  static_cast<std::int32_t>(buf.height()), sink,
                                  Access::hermitian(buf));
    if (inPlace_) markInverseComputed();
  }

  // The buffer whose fields describe the values.
  const vxFrequencyBuffer& buffer() const { return buf_; }
  // Whether the sink received every row already.
  bool converted() const { return converted_; }
  // Row y of the spatial values: W complex values.
  const float* row(long y) const { return values_ + 2 * static_cast<std::size_t>(width_) * y; }

  // Marks the caller's buffer when the call counts as in place. A buffer marked
  // already is not written, so a const buffer is never changed.
  void markInverseComputed() {
    if (inPlace_ && !buf_.inverseComputed()) Access::setInverseComputed(buf_, true);
  }

  // The float nearest to 1 / (W H).
  float scale() const { return scaleOf(buf_); }
  static float scaleOf(const vxFrequencyBuffer& buf) {
    return static_cast<float>(1.0 / (static_cast<double>(buf.width()) * buf.height()));
  }

private:
  vxFrequencyBuffer& buf_;
  bool inPlace_;
  bool converted_ = false;
  std::int32_t width_;
  const float* values_ = nullptr;  // the values, row after row
  vx_detail::FloatBlock result_;
};

// A sink for the real-output engine that converts each row of the output's size as it
// comes: convert(y, row, w).
template <class F>
vx_detail::RowSink rowSink(const vxFrequencyBuffer& buf, const F& convert) {
  const long w = vx_detail::outputWidth(buf);
  const long h = vx_detail::outputHeight(buf);
  return [w, h, &convert](std::int32_t y, const float* row) {
    if (y < h) convert(y, row, w);
  };
}

// The rows of a buffer's own storage.
class StoredRows {
public:
  explicit StoredRows(const vxFrequencyBuffer& buf)
      : data_(Access::data(buf)), width_(buf.width()) {}
  const float* row(long y) const { return data_ + 2 * static_cast<std::size_t>(width_) * y; }

private:
  const float* data_;
  long width_;
};

// Visits the rows of the top-left w x h values that `buf` describes, whose rows
// `values` gives: f(y, row, w) with row pointing at the first value of row y.
// Under a parallel scope bands of rows run as tasks: f must only write row y's pixels.
template <class Rows, class F>
void forEachResultRow(const vxFrequencyBuffer& buf, const Rows& values, F f) {
  const long w = vx_detail::outputWidth(buf);
  const long h = vx_detail::outputHeight(buf);
  vx_detail::splitRows(h, w, [&](long first, long end) {
    for (long y = first; y < end; ++y) f(y, values.row(y), w);
  });
}

// The smallest and largest squared magnitude of the result rows, from `minimum` and
// `maximum` on. Bands of rows find their own, which are then joined: the result is
// the serial one, since a NaN never replaces a bound and no square is -0.
template <class Rows>
void squaredMagnitudeRange(const vx_detail::ImageKernels& k, const vxFrequencyBuffer& buf,
                           const Rows& values, float& minimum, float& maximum) {
  const long w = vx_detail::outputWidth(buf);
  const long h = vx_detail::outputHeight(buf);
  std::vector<float> bounds(2 * static_cast<std::size_t>(vx_detail::rowBands(h, w)));
  for (std::size_t b = 0; b < bounds.size(); b += 2) {
    bounds[b] = minimum;
    bounds[b + 1] = maximum;
  }
  vx_detail::splitRowBands(
      h, static_cast<long>(bounds.size() / 2), [&](long band, long first, long end) {
        float* bound = bounds.data() + 2 * band;
        for (long y = first; y < end; ++y)
          k.squaredMagnitudeRange(values.row(y), static_cast<std::int32_t>(w), bound, bound + 1);
      });
  for (std::size_t b = 0; b < bounds.size(); b += 2) {
    if (bounds[b] < minimum) minimum = bounds[b];
    if (bounds[b + 1] > maximum) maximum = bounds[b + 1];
  }
}

// The row kernels of each pixel type: the magnitude, plain and stretched (integer
// images), and the real part.
using Kernels = vx_detail::ImageKernels;
template <class P>
struct RowKernels;
template <>
struct RowKernels<unsigned char> {
  static constexpr auto magnitude = &Kernels::magnitudeU8;
  static constexpr auto stretched = &Kernels::stretchedU8;
  static constexpr auto real = &Kernels::realU8;
};
template <>
struct RowKernels<unsigned short> {
  static constexpr auto magnitude = &Kernels::magnitudeU16;
  static constexpr auto stretched = &Kernels::stretchedU16;
  static constexpr auto real = &Kernels::realU16;
};
template <>
struct RowKernels<double> {
  static constexpr auto real = &Kernels::realDouble;
};

template <class P>
void fillMagnitudes(const WorkData& work, vxPelBuffer<P>& image, float s, bool normalize,
                    vxPelBuffer<unsigned char>* quadrant) {
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  const vxFrequencyBuffer& buf = work.buffer();
  P* out = image.pointToOffset();
  const long stride = image.stride();
  if constexpr (std::is_same<P, double>::value) {
    (void)normalize;
    unsigned char* q = quadrant != nullptr ? quadrant->pointToOffset() : nullptr;
    const long qStride = quadrant != nullptr ? quadrant->stride() : 0;
    forEachResultRow(buf, work, [&](long y, const float* row, long w) {
      double* pixels = out + y * stride;
      unsigned char* codes = q != nullptr ? q + y * qStride : nullptr;
      k.magnitudeDouble(row, static_cast<std::int32_t>(w), s, pixels, codes);
    });
  } else {
    (void)quadrant;
    if (!normalize) {
      forEachResultRow(buf, work, [&](long y, const float* row, long w) {
        (k.*RowKernels<P>::magnitude)(row, static_cast<std::int32_t>(w), s, out + y * stride);
      });
      return;
    }
    float minimum = 1.0e20f;
    float maximum = -1.0e20f;
    squaredMagnitudeRange(k, buf, work, minimum, maximum);
    // An empty output leaves the range at its starting values: nothing to stretch.
    if (maximum < minimum) return;
    const float lo = std::sqrt(minimum) * s;
    // cppcheck-suppress invalidFunctionArg ; not reached with the starting value
    const float hi = std::sqrt(maximum) * s;
    const double range = std::is_same<P, unsigned char>::value ? 255.0 : 65535.0;
    const float g = hi == lo ? static_cast<float>(range)
                             : static_cast<float>(range / static_cast<double>(hi - lo));
    forEachResultRow(buf, work, [&](long y, const float* row, long w) {
      (k.*RowKernels<P>::stretched)(row, static_cast<std::int32_t>(w), s, lo, g, out + y * stride);
    });
  }
}

// Per-value images of the values whose rows `values` gives and which `buf`
// describes (quadrant codes or angles): fillRow(row, w, line) writes one line.
template <class P, class Rows, class F>
void computeValueImage(const vxFrequencyBuffer& buf, const Rows& values, vxPelBuffer<P>& output,
                       F fillRow) {
  OutputImage<P> out(output);
  vfThrowExceptionOnFailure(vsys_attention_check());
  out.prepare(buf);
  vxPelBuffer<P>& target = out.target();
  P* pixels = target.pointToOffset();
  const long stride = target.stride();
  forEachResultRow(buf, values,
                   [&](long y, const float* row, long w) { fillRow(row, w, pixels + y * stride); });
  out.deliver(buf);
}

template <class Rows>
void computeQuadrantImage(const vxFrequencyBuffer& buf, const Rows& values,
                          vxPelBuffer<unsigned char>& quadrant) {
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  computeValueImage(buf, values, quadrant, [&k](const float* row, long w, unsigned char* line) {
    k.quadrantCodes(row, static_cast<std::int32_t>(w), line);
  });
}

// The angle is atan2f of each value, the library's own function (vfAtan2f), which
// gives the same bits on every machine.
template <class Rows>
void computeAngleImage(const vxFrequencyBuffer& buf, const Rows& values,
                       vxPelBuffer<double>& angle) {
  computeValueImage(buf, values, angle, [](const float* row, long w, double* line) {
    for (long x = 0; x < w; ++x)
      line[x] = static_cast<double>(vfAtan2f(row[2 * x + 1], row[2 * x]));
  });
}

template <class P>
void inverseWithQuadrant(vxFrequencyBuffer& buf, vxPelBuffer<P>& image,
                         vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace) {
  WorkData work(buf, inPlace, Reads::Everything);
  OutputImage<P> main(image);
  main.prepare(buf);
  if constexpr (std::is_same<P, double>::value) {
    OutputImage<unsigned char> quad(quadrant);
    quad.prepare(buf);
    const float s = work.scale();
    vfThrowExceptionOnFailure(vsys_attention_check());
    fillMagnitudes(work, main.target(), s, normalize, &quad.target());
    quad.deliver(buf);
  } else {
    const float s = work.scale();
    vfThrowExceptionOnFailure(vsys_attention_check());
    fillMagnitudes<P>(work, main.target(), s, normalize, nullptr);
    computeQuadrantImage(buf, work, quadrant);
  }
  work.markInverseComputed();
  main.deliver(buf);
}

template <class P>
void inverseReal(vxFrequencyBuffer& buf, vxPelBuffer<P>& image, bool inPlace,
                 Reads reads = Reads::RealParts) {
  requireData(buf);
  OutputImage<P> main(image);
  main.prepare(buf);
  const float s = WorkData::scaleOf(buf);
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  P* out = main.target().pointToOffset();
  const long stride = main.target().stride();
  auto convert = [&](long y, const float* row, long w) {
    (k.*RowKernels<P>::real)(row, static_cast<std::int32_t>(w), s, out + y * stride);
  };
  const vx_detail::RowSink sink = rowSink(buf, convert);
  WorkData work(buf, inPlace, reads, &sink);
  vfThrowExceptionOnFailure(vsys_attention_check());
  if (!work.converted()) forEachResultRow(buf, work, convert);
  work.markInverseComputed();
  main.deliver(buf);
}

template <class P>
void inverseWithAngle(vxFrequencyBuffer& buf, vxPelBuffer<P>& image, vxPelBuffer<double>* angle,
                      bool normalize, bool inPlace) {
  requireData(buf);
  OutputImage<P> main(image);
  main.prepare(buf);
  const float s = WorkData::scaleOf(buf);
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  P* out = main.target().pointToOffset();
  const long stride = main.target().stride();
  // Plain magnitudes go out as the rows come; stretched ones need their range first.
  auto convert = [&](long y, const float* row, long w) {
    if constexpr (std::is_same<P, double>::value)
      k.magnitudeDouble(row, static_cast<std::int32_t>(w), s, out + y * stride, nullptr);
    else
      (k.*RowKernels<P>::magnitude)(row, static_cast<std::int32_t>(w), s, out + y * stride);
  };
  const vx_detail::RowSink sink = rowSink(buf, convert);
  WorkData work(buf, inPlace, angle != nullptr ? Reads::Everything : Reads::Magnitudes,
                normalize ? nullptr : &sink);
  vfThrowExceptionOnFailure(vsys_attention_check());
  if (!work.converted()) fillMagnitudes<P>(work, main.target(), s, normalize, nullptr);
  if (angle != nullptr) computeAngleImage(buf, work, *angle);
  work.markInverseComputed();
  main.deliver(buf);
}

}  // namespace

namespace vx_detail {
void inverseRealDiscarding(vxFrequencyBuffer& buf, vxPelBuffer<double>& image) {
  inverseReal(buf, image, true, Reads::RealPartsOfAnything);
}
void inverseRealDiscarding(vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& image) {
  inverseReal(buf, image, true, Reads::RealPartsOfAnything);
}
void inverseRealDiscarding(vxFrequencyBuffer& buf, vxPelBuffer<unsigned short>& image) {
  inverseReal(buf, image, true, Reads::RealPartsOfAnything);
}
}  // namespace vx_detail

void vf_ComputeQuadrantImage(const vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& quadrant) {
  requireData(buf);
  computeQuadrantImage(buf, StoredRows(buf), quadrant);
}

void vf_ComputeAngleImage(const vxFrequencyBuffer& buf, vxPelBuffer<double>& angle) {
  requireData(buf);
  computeAngleImage(buf, StoredRows(buf), angle);
}

void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& image,
                   vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace) {
  inverseWithQuadrant(buf, image, quadrant, normalize, inPlace);
}
void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned short>& image,
                   vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace) {
  inverseWithQuadrant(buf, image, quadrant, normalize, inPlace);
}
void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<double>& image,
                   vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace) {
  inverseWithQuadrant(buf, image, quadrant, normalize, inPlace);
}
void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& image,
                   vxPelBuffer<double>* angle, bool normalize, bool inPlace) {
  inverseWithAngle(buf, image, angle, normalize, inPlace);
}
void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<unsigned short>& image,
                   vxPelBuffer<double>* angle, bool normalize, bool inPlace) {
  inverseWithAngle(buf, image, angle, normalize, inPlace);
}
void vf_InverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<double>& image, vxPelBuffer<double>* angle,
                   bool normalize, bool inPlace) {
  inverseWithAngle(buf, image, angle, normalize, inPlace);
}

void vfInverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<double>& real, vxPelBuffer<double>& imag,
                  bool inPlace) {
  WorkData work(buf, inPlace, Reads::Everything);
  OutputImage<double> re(real);
  OutputImage<double> im(imag);
  re.prepare(buf);
  im.prepare(buf);
  const float s = work.scale();
  vfThrowExceptionOnFailure(vsys_attention_check());
  double* reOut = re.target().pointToOffset();
  double* imOut = im.target().pointToOffset();
  const long reStride = re.target().stride();
  const long imStride = im.target().stride();
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  forEachResultRow(buf, work, [&](long y, const float* row, long w) {
    double* reLine = reOut + y * reStride;
    double* imLine = imOut + y * imStride;
    k.scaledParts(row, static_cast<std::int32_t>(w), s, reLine, imLine);
  });
  // The caller's images take the recorded client transform, bound or not.
  real.copyXforms(buf.clientXform());
  imag.copyXforms(buf.clientXform());
  re.deliver(buf, true);
  im.deliver(buf, true);
  work.markInverseComputed();
  re.copyIntoBound();
  im.copyIntoBound();
}

void vfInverseFFT(const vxFrequencyBuffer& buf, vxPelBuffer<double>& real,
                  vxPelBuffer<double>& imag) {
  // Not in place: the buffer is only read (a buffer already holding the spatial
  // result is marked already and stays as it is).
  vfInverseFFT(const_cast<vxFrequencyBuffer&>(buf), real, imag, false);
}

template <class T>
void vfInverseFFT(vxFrequencyBuffer& buf, vxPelBuffer<T>& image, bool normalize, bool inPlace) {
  vf_InverseFFT(buf, image, static_cast<vxPelBuffer<double>*>(nullptr), normalize, inPlace);
}
template <class T>
void vfInverseFFT(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image, bool normalize) {
  vf_InverseFFT(const_cast<vxFrequencyBuffer&>(buf), image,
                static_cast<vxPelBuffer<double>*>(nullptr), normalize, false);
}
template <class T>
void vfInverseFFTReal(vxFrequencyBuffer& buf, vxPelBuffer<T>& image, bool inPlace) {
  inverseReal(buf, image, inPlace);
}
template <class T>
void vfInverseFFTReal(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image) {
  // Not in place: the buffer is only read (see the real and imaginary form).
  inverseReal(const_cast<vxFrequencyBuffer&>(buf), image, false);
}
template <class T>
void vfInverseFFTAngle(vxFrequencyBuffer& buf, vxPelBuffer<T>& image, vxPelBuffer<double>& angle,
                       bool normalize, bool inPlace) {
  vf_InverseFFT(buf, image, &angle, normalize, inPlace);
}
template <class T>
void vfInverseFFTAngle(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image,
                       vxPelBuffer<double>& angle, bool normalize) {
  vf_InverseFFT(const_cast<vxFrequencyBuffer&>(buf), image, &angle, normalize, false);
}
template <class T>
void vfInverseFFTQuadrant(vxFrequencyBuffer& buf, vxPelBuffer<T>& image,
                          vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace) {
  vf_InverseFFT(buf, image, quadrant, normalize, inPlace);
}
template <class T>
void vfInverseFFTQuadrant(const vxFrequencyBuffer& buf, vxPelBuffer<T>& image,
                          vxPelBuffer<unsigned char>& quadrant, bool normalize) {
  vf_InverseFFT(const_cast<vxFrequencyBuffer&>(buf), image, quadrant, normalize, false);
}

#define VXFREQ_INSTANTIATE_INVERSE(T)                                                     \
  template VX_API void vfInverseFFT<T>(vxFrequencyBuffer&, vxPelBuffer<T>&, bool, bool);  \
  template VX_API void vfInverseFFT<T>(const vxFrequencyBuffer&, vxPelBuffer<T>&, bool);  \
  template VX_API void vfInverseFFTAngle<T>(vxFrequencyBuffer&, vxPelBuffer<T>&,          \
                                            vxPelBuffer<double>&, bool, bool);            \
  template VX_API void vfInverseFFTAngle<T>(const vxFrequencyBuffer&, vxPelBuffer<T>&,    \
                                            vxPelBuffer<double>&, bool);                  \
  template VX_API void vfInverseFFTQuadrant<T>(vxFrequencyBuffer&, vxPelBuffer<T>&,       \
                                               vxPelBuffer<unsigned char>&, bool, bool);  \
  template VX_API void vfInverseFFTQuadrant<T>(const vxFrequencyBuffer&, vxPelBuffer<T>&, \
                                               vxPelBuffer<unsigned char>&, bool);        \
  template VX_API void vfInverseFFTReal<T>(vxFrequencyBuffer&, vxPelBuffer<T>&, bool);    \
  template VX_API void vfInverseFFTReal<T>(const vxFrequencyBuffer&, vxPelBuffer<T>&)

VXFREQ_INSTANTIATE_INVERSE(unsigned char);
VXFREQ_INSTANTIATE_INVERSE(unsigned short);
VXFREQ_INSTANTIATE_INVERSE(double);
#undef VXFREQ_INSTANTIATE_INVERSE
