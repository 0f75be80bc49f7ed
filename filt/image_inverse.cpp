// Inverse transforms of frequency buffers into images.
#include "filt/buffer_access.h"
#include "filt/engines.h"
#include "filt/fft.h"
#include "filt/image_io.h"
#include "filt/messages.h"

#include <cmath>
#include <type_traits>

using Access = vx_detail::FrequencyBufferAccess;
using vx_detail::lowBitsTruncated;

namespace {

void requireData(const vxFrequencyBuffer& buf) {
  if (!buf.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
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
  // the recorded client transform.
  void prepare(const vxFrequencyBuffer& buf) {
    vxPelBuffer<P> fresh(vx_detail::outputWidth(buf), vx_detail::outputHeight(buf), 32);
    fresh.offset(buf.imageOffset());
    fresh.copyXforms(buf.clientXform());
    target() = fresh;
  }

  vxPelBuffer<P>& target() { return wasBound_ ? local_ : out_; }

  // Places the values: shifted cyclically when the recorded offset is not (0, 0).
  // With `deferCopy` the final copy into a bound output is left to copyIntoBound().
  void deliver(const vxFrequencyBuffer& buf, bool deferCopy = false) {
    const vxPair<long> at = buf.imageOffset();
    if (at.x != 0 || at.y != 0) {
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
    if (wasBound_) vfPelCopy(local_, out_);
  }

private:
  vxPelBuffer<P>& out_;
  bool wasBound_;
  vxPelBuffer<P> local_;
};

// The values an inverse transform reads: the buffer's own storage when it already
// holds the spatial result or the call is in place, otherwise a private copy, with
// the engine run on them when they are still a spectrum.
class WorkData {
public:
  WorkData(vxFrequencyBuffer& buf, bool inPlace)
      : buf_(buf), inPlace_(inPlace || buf.inverseComputed()) {
    requireData(buf);
    if (!inPlace_) copy_ = buf;
    if (!buf.inverseComputed()) {
      long miny = 0;
      long maxy = 0;
      Access::rowBand(buf, miny, maxy);
      vf_ComplexFFT2D(Access::data(buffer()), vxPair<long>(buf.width(), buf.height()), -1, miny,
                      maxy);
      // The storage now holds spatial data; say so at once, so that a failure
      // further on cannot leave it posing as a spectrum.
      markInverseComputed();
    }
  }

  const vxFrequencyBuffer& buffer() const { return inPlace_ ? buf_ : copy_; }
  vxFrequencyBuffer& buffer() { return inPlace_ ? buf_ : copy_; }

  // Marks the caller's buffer when the call counts as in place. A buffer marked
  // already is not written, so a const buffer is never changed.
  void markInverseComputed() {
    if (inPlace_ && !buf_.inverseComputed()) Access::setInverseComputed(buf_, true);
  }

  // The float nearest to 1 / (W H).
  float scale() const {
    return static_cast<float>(1.0 / (static_cast<double>(buf_.width()) * buf_.height()));
  }

private:
  vxFrequencyBuffer& buf_;
  bool inPlace_;
  vxFrequencyBuffer copy_;
};

inline unsigned char quadrantCode(float re, float im) {
  return static_cast<unsigned char>((re < 0.0f ? 1 : 0) | (im < 0.0f ? 2 : 0));
}

// Visits the top-left w x h values of `buf`: f(x, y, re, im) with output row pointers
// prepared by the caller through `rowStart(y)`.
template <class F>
void forEachResultValue(const vxFrequencyBuffer& buf, F f) {
  const long w = vx_detail::outputWidth(buf);
  const long h = vx_detail::outputHeight(buf);
  const long W = buf.width();
  const float* data = Access::data(buf);
  for (long y = 0; y < h; ++y) {
    const float* row = data + 2 * static_cast<std::size_t>(y) * W;
    for (long x = 0; x < w; ++x) f(x, y, row[2 * x], row[2 * x + 1]);
  }
}

template <class P>
void fillMagnitudes(const vxFrequencyBuffer& work, vxPelBuffer<P>& image, float s, bool normalize,
                    vxPelBuffer<unsigned char>* quadrant) {
  P* out = image.pointToOffset();
  const long stride = image.stride();
  if constexpr (std::is_same<P, double>::value) {
    (void)normalize;
    unsigned char* q = quadrant != nullptr ? quadrant->pointToOffset() : nullptr;
    const long qStride = quadrant != nullptr ? quadrant->stride() : 0;
    forEachResultValue(work, [&](long x, long y, float re, float im) {
      out[y * stride + x] = static_cast<double>(std::sqrt(re * re + im * im) * s);
      if (q != nullptr) q[y * qStride + x] = quadrantCode(re, im);
    });
  } else {
    (void)quadrant;
    if (!normalize) {
      forEachResultValue(work, [&](long x, long y, float re, float im) {
        const float t = std::sqrt(re * re + im * im) * s + 0.5f;
        out[y * stride + x] = lowBitsTruncated<P>(t);
      });
      return;
    }
    float minimum = 1.0e20f;
    float maximum = -1.0e20f;
    forEachResultValue(work, [&](long, long, float re, float im) {
      const float m2 = re * re + im * im;
      if (m2 < minimum) minimum = m2;
      if (m2 > maximum) maximum = m2;
    });
    const float lo = std::sqrt(minimum) * s;
    const float hi = std::sqrt(maximum) * s;
    const double range = std::is_same<P, unsigned char>::value ? 255.0 : 65535.0;
    const float g = hi == lo ? static_cast<float>(range)
                             : static_cast<float>(range / static_cast<double>(hi - lo));
    forEachResultValue(work, [&](long x, long y, float re, float im) {
      const float t = (std::sqrt(re * re + im * im) * s - lo) * g + 0.5f;
      out[y * stride + x] = lowBitsTruncated<P>(t);
    });
  }
}

template <class P>
void inverseWithQuadrant(vxFrequencyBuffer& buf, vxPelBuffer<P>& image,
                         vxPelBuffer<unsigned char>& quadrant, bool normalize, bool inPlace) {
  WorkData work(buf, inPlace);
  OutputImage<P> main(image);
  main.prepare(buf);
  if constexpr (std::is_same<P, double>::value) {
    OutputImage<unsigned char> quad(quadrant);
    quad.prepare(buf);
    const float s = work.scale();
    vfThrowExceptionOnFailure(vsys_attention_check());
    fillMagnitudes(work.buffer(), main.target(), s, normalize, &quad.target());
    quad.deliver(buf);
  } else {
    const float s = work.scale();
    vfThrowExceptionOnFailure(vsys_attention_check());
    fillMagnitudes<P>(work.buffer(), main.target(), s, normalize, nullptr);
    vf_ComputeQuadrantImage(work.buffer(), quadrant);
  }
  work.markInverseComputed();
  main.deliver(buf);
}

template <class P>
void inverseWithAngle(vxFrequencyBuffer& buf, vxPelBuffer<P>& image, vxPelBuffer<double>* angle,
                      bool normalize, bool inPlace) {
  WorkData work(buf, inPlace);
  OutputImage<P> main(image);
  main.prepare(buf);
  const float s = work.scale();
  vfThrowExceptionOnFailure(vsys_attention_check());
  fillMagnitudes<P>(work.buffer(), main.target(), s, normalize, nullptr);
  if (angle != nullptr) vf_ComputeAngleImage(work.buffer(), *angle);
  work.markInverseComputed();
  main.deliver(buf);
}

// Per-value images of the buffer's current values (quadrant codes or angles).
template <class P, class F>
void computeValueImage(const vxFrequencyBuffer& buf, vxPelBuffer<P>& output, F value) {
  requireData(buf);
  OutputImage<P> out(output);
  vfThrowExceptionOnFailure(vsys_attention_check());
  out.prepare(buf);
  vxPelBuffer<P>& target = out.target();
  P* pixels = target.pointToOffset();
  const long stride = target.stride();
  forEachResultValue(buf, [&](long x, long y, float re, float im) {
    pixels[y * stride + x] = value(re, im);
  });
  out.deliver(buf);
}

}  // namespace

void vf_ComputeQuadrantImage(const vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& quadrant) {
  computeValueImage(buf, quadrant, quadrantCode);
}

void vf_ComputeAngleImage(const vxFrequencyBuffer& buf, vxPelBuffer<double>& angle) {
  computeValueImage(buf, angle,
                    [](float re, float im) { return static_cast<double>(std::atan2(im, re)); });
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
  WorkData work(buf, inPlace);
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
  forEachResultValue(work.buffer(), [&](long x, long y, float vr, float vi) {
    reOut[y * reStride + x] = static_cast<double>(s * vr);
    imOut[y * imStride + x] = static_cast<double>(s * vi);
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

#define VXFREQ_INSTANTIATE_INVERSE(T)                                                          \
  template VX_API void vfInverseFFT<T>(vxFrequencyBuffer&, vxPelBuffer<T>&, bool, bool);       \
  template VX_API void vfInverseFFT<T>(const vxFrequencyBuffer&, vxPelBuffer<T>&, bool);       \
  template VX_API void vfInverseFFTAngle<T>(vxFrequencyBuffer&, vxPelBuffer<T>&,               \
                                            vxPelBuffer<double>&, bool, bool);                 \
  template VX_API void vfInverseFFTAngle<T>(const vxFrequencyBuffer&, vxPelBuffer<T>&,         \
                                            vxPelBuffer<double>&, bool);                       \
  template VX_API void vfInverseFFTQuadrant<T>(vxFrequencyBuffer&, vxPelBuffer<T>&,            \
                                               vxPelBuffer<unsigned char>&, bool, bool);       \
  template VX_API void vfInverseFFTQuadrant<T>(const vxFrequencyBuffer&, vxPelBuffer<T>&,      \
                                               vxPelBuffer<unsigned char>&, bool)

VXFREQ_INSTANTIATE_INVERSE(unsigned char);
VXFREQ_INSTANTIATE_INVERSE(unsigned short);
VXFREQ_INSTANTIATE_INVERSE(double);
#undef VXFREQ_INSTANTIATE_INVERSE
