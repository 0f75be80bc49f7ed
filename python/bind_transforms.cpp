// The transforms: forward (images to buffers, plain or padded and windowed), the
// buffer-to-buffer transforms, the inverses back to images, and map_image.
#include "bindings.h"
#include "python_support.h"

#include "filt/common/messages.h"
#include "filt/filtering.h"
#include "filt/padding.h"
#include "filt/stack.h"
#include "platform/memory.h"

#include <pybind11/complex.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace vxpy {

namespace {

// ---------------------------------------------------------------------------
// Forward transforms of images.

// A picture on its own, without padding, is read where it is (at its strides); the
// padded transforms and a picture with a separate imaginary part take copies of the
// pixels into pixel buffers. Each thread keeps small ones (up to 1 MiB) for its next
// call, so that a stream of pictures of one size does not allocate and clear them every
// time. `padded` asks for the padded transform of filt/padding.h instead of the plain one.
template <class T>
void forwardAs(const ImageView& real, const ImageView* imag, Size offset,
               const vxPaddingOptions* padded, vxFrequencyBuffer& out) {
  const auto item = static_cast<py::ssize_t>(sizeof(T));
  if (padded == nullptr && imag == nullptr && real.rowStride % item == 0 &&
      real.pixelStride % item == 0) {
    vfForwardFFT(reinterpret_cast<const T*>(real.data), real.width, real.height,
                 static_cast<long>(real.rowStride / item),
                 static_cast<long>(real.pixelStride / item),
                 vxPair<long>(offset.first, offset.second), out);
    return;
  }
  thread_local vxPelBuffer<T> kept[2];
  vxPelBuffer<T> fresh[2];
  const bool keep = real.width * real.height * static_cast<long>(sizeof(T)) <= (1L << 20);
  vxPelBuffer<T>* images = keep ? kept : fresh;
  copyPixels(real, images[0]);
  images[0].offset(offset.first, offset.second);
  if (padded != nullptr) {
    vfForwardFFTPadded<T>(images[0], *padded, out);
    return;
  }
  if (imag == nullptr) {
    vfForwardFFT<T>(images[0], out);
    return;
  }
  copyPixels(*imag, images[1]);
  images[1].offset(offset.first, offset.second);
  vfForwardFFT<T>(images[0], images[1], out);
}

// Single-precision samples: read where they are when their strides are whole floats
// (otherwise copied, to float32, not float64).
void forwardFloats(const ImageView& v, Size offset, vxFrequencyBuffer& out) {
  const auto item = static_cast<py::ssize_t>(sizeof(float));
  const vxPair<long> at(offset.first, offset.second);
  if (v.rowStride % item == 0 && v.pixelStride % item == 0) {
    vfForwardFFT(reinterpret_cast<const float*>(v.data), v.width, v.height,
                 static_cast<long>(v.rowStride / item), static_cast<long>(v.pixelStride / item), at,
                 out);
    return;
  }
  vfTransformSize(v.width, v.height);  // refused before the copy
  std::vector<float> rows(static_cast<std::size_t>(v.width) * static_cast<std::size_t>(v.height));
  for (long y = 0; y < v.height; ++y)
    for (long x = 0; x < v.width; ++x)
      std::memcpy(&rows[static_cast<std::size_t>(y * v.width + x)],
                  v.data + y * v.rowStride + x * v.pixelStride, sizeof(float));
  vfForwardFFT(rows.data(), v.width, v.height, v.width, 1, at, out);
}

// Complex values (C = std::complex<float> or <double>) go into a buffer's storage, whose
// layout is a complex64 array's, and the complex engine transforms them: in place when
// `out` already has the transform size, else from a buffer of the values into `out`.
template <class C>
void forwardComplex(const ImageView& v, Size offset, vxFrequencyBuffer& out) {
  const vxPair<long> size = vfTransformSize(v.width, v.height);
  const bool inPlace = out.isInitialized() && out.width() == size.x && out.height() == size.y;
  vxFrequencyBuffer values;
  vxFrequencyBuffer& target = inPlace ? out : values;
  if (!inPlace) values = vxFrequencyBuffer(v.width, v.height);
  float* data = target.elements();
  const std::size_t W = static_cast<std::size_t>(size.x);
  for (long y = 0; y < size.y; ++y) {
    float* row = data + 2 * W * static_cast<std::size_t>(y);
    long x = 0;
    for (; y < v.height && x < v.width; ++x) {
      C value;
      std::memcpy(&value, v.data + y * v.rowStride + x * v.pixelStride, sizeof(C));
      row[2 * x] = static_cast<float>(value.real());
      row[2 * x + 1] = static_cast<float>(value.imag());
    }
    std::memset(row + 2 * x, 0, 2 * (W - static_cast<std::size_t>(x)) * sizeof(float));
  }
  vfSetImagePlacement(target, v.width, v.height, vxPair<long>(offset.first, offset.second));
  vfForwardFFT(target, out);
}

// The transform size (W, H) forward gives a picture of width x height pixels: with
// `padded`, the padded size of its margin, otherwise the next powers of two (an empty
// side counts as 1). Sizes and limits are asked of the library, not repeated here; a
// picture it refuses raises the plain transform's InvalidSize. forward calls it before
// any pixel is copied.
vxPair<long> transformSizeOf(long width, long height, const vxPaddingOptions* padded) {
  const vxPair<long> plain = vfTransformSize(width, height);
  if (padded == nullptr || width < 1 || height < 1) return plain;
  return vfPaddedTransformSize(width, height, padded->margin);
}

// A numpy array of `object` (lists and other array-likes converted as numpy would).
// What is not an array and does not convert to numbers is refused as the wrong type,
// before its shape is looked at.
py::array arrayArgument(const py::object& object, const char* name) {
  py::array array = py::array::ensure(object);
  const std::string numbers = "biufc";
  if (!array || (!py::isinstance<py::array>(object) &&
                 numbers.find(array.dtype().kind()) == std::string::npos))
    refuse(name, "a 2-D array of numbers", object);
  return array;
}

// ---------------------------------------------------------------------------
// Padding and windows: forward's padding=, window= and margin=.

const char* const kPaddings = "None, 'zero', 'reflect', 'edge', 'mean' or 'continue'";
const char* const kWindows = "None, 'hann', ('tukey', F) or 'tukey:F' with F from 0 to 1";

vxPadding paddingOf(const py::object& padding) {
  if (!py::isinstance<py::str>(padding))
    throw py::type_error(std::string("padding must be ") + kPaddings + ", not " +
                         typeName(padding));
  const std::string name = padding.cast<std::string>();
  if (name == "zero") return vxPadding::Zero;
  if (name == "reflect") return vxPadding::Reflect;
  if (name == "edge") return vxPadding::Edge;
  if (name == "mean") return vxPadding::Mean;
  if (name == "continue") return vxPadding::Continue;
  throw py::value_error(std::string("padding must be ") + kPaddings + ", not '" + name + "'");
}

vxWindow tukeyOf(const py::handle& fraction) {
  if (!PyNumber_Check(fraction.ptr()) || py::isinstance<py::str>(fraction))
    throw py::type_error(std::string("window must be ") + kWindows + "; F is a number, not " +
                         typeName(fraction));
  const double f = py::float_(py::reinterpret_borrow<py::object>(fraction)).cast<double>();
  if (!(f >= 0.0 && f <= 1.0))
    throw py::value_error(std::string("window must be ") + kWindows +
                          ", not F = " + py::repr(fraction).cast<std::string>());
  return vxWindow::tukey(f);
}

vxWindow windowOf(const py::object& window) {
  if (window.is_none()) return vxWindow::none();
  const std::string accepted = std::string("window must be ") + kWindows + ", not ";
  if (py::isinstance<py::tuple>(window)) {
    const py::tuple t = window.cast<py::tuple>();
    if (t.size() == 2 && py::isinstance<py::str>(t[0]) && t[0].cast<std::string>() == "tukey")
      return tukeyOf(t[1]);
    throw py::value_error(accepted + py::repr(window).cast<std::string>());
  }
  if (!py::isinstance<py::str>(window)) throw py::type_error(accepted + typeName(window));
  const std::string name = window.cast<std::string>();
  if (name == "hann") return vxWindow::hann();
  if (name.rfind("tukey:", 0) == 0) {
    py::object fraction;
    try {
      fraction = py::float_(py::str(name.substr(6)));
    } catch (const py::error_already_set&) {
      throw py::value_error(accepted + "'" + name + "'");
    }
    return tukeyOf(fraction);
  }
  throw py::value_error(accepted + "'" + name + "'");
}

// A margin of pixels: None (`none`), or an integer of at least 0; margins beyond any
// picture's room (every transform side is far below 2^24) are all the same.
long marginOf(const py::object& margin, long none) {
  if (margin.is_none()) return none;
  return integerOf(margin, 0, 1L << 24, true, "margin must be None or an integer of at least 0");
}

// What forward's padding, window and margin ask for; false (and `options` untouched)
// for the plain transform: all three None.
bool paddingOptionsOf(const py::object& padding, const py::object& window, const py::object& margin,
                      vxPaddingOptions& options) {
  if (padding.is_none() && window.is_none() && margin.is_none()) return false;
  options.padding = padding.is_none() ? vxPadding::Zero : paddingOf(padding);
  options.window = windowOf(window);
  options.margin = marginOf(margin, padding.is_none() ? 0 : -1);
  return true;
}

// ---------------------------------------------------------------------------
// forward: its arguments checked in turn, then one library call.

// An array's values as float64 (exactly: the types read here all have a float64 form).
py::array asDoubles(const py::array& a) {
  return a.attr("astype")(py::dtype::of<double>()).cast<py::array>();
}

bool isComplex(PixelKind kind) { return kind == PixelKind::C64 || kind == PixelKind::C128; }

// A picture given in two parts, real and imaginary: TypeError when either is complex
// (complex values come as one array). The package calls it before its own checks too.
void checkParts(const py::array& image, const py::array& imag) {
  if (isComplex(pixelKindOf(image, "image")) || isComplex(pixelKindOf(imag, "imag")))
    throw py::type_error("imag is for real pictures; pass complex values as one array");
}

py::object forward(const py::object& imageArg, const py::object& imag, const py::object& offsetArg,
                   const py::object& out, const py::object& padding, const py::object& window,
                   const py::object& margin, const py::object& sizeArg) {
  const Sizing sizing = sizingOf(sizeArg);
  const Size offset = integerPairArg(offsetArg, "offset", "an (x, y) pair of integers");
  py::array image = arrayArgument(imageArg, "image");
  PixelKind kind = pixelKindOf(image, "image");
  const bool complex = isComplex(kind);
  py::array imagArray;
  if (!imag.is_none()) {
    imagArray = arrayArgument(imag, "imag");
    checkParts(image, imagArray);
  }
  if (py::isinstance<py::str>(padding) && padding.cast<std::string>() == "continue")
    throw py::value_error(
        "padding='continue' carries on the patterns the filters act on: use "
        "vxfreq.filter_picture(image, filters)");
  // The library reads the two parts as one type, and float32 ones only alone: parts of
  // two types or of float32 are read as float64, exactly.
  if (!imag.is_none() && (pixelKindOf(imagArray, "imag") != kind || kind == PixelKind::F32)) {
    image = asDoubles(image);
    imagArray = asDoubles(imagArray);
    kind = PixelKind::F64;
  }
  ImageView real = viewOf(image);
  ImageView imaginary;
  if (!imag.is_none()) {
    imaginary = viewOf(imagArray);
    if (imaginary.width != real.width || imaginary.height != real.height)
      throw py::value_error("imag must have the shape of image, (" + std::to_string(real.height) +
                            ", " + std::to_string(real.width) + "), not (" +
                            std::to_string(imaginary.height) + ", " +
                            std::to_string(imaginary.width) + ")");
  }
  vxPaddingOptions options;
  const bool padded = paddingOptionsOf(padding, window, margin, options);
  if (padded && (!imag.is_none() || complex))
    throw py::value_error("padding, window and margin are for real images: imag must be None");
  // The padded transforms read float64: float32 pictures are read as that, exactly.
  if (padded && kind == PixelKind::F32) {
    image = asDoubles(image);
    kind = PixelKind::F64;
    real = viewOf(image);
  }
  const vxPaddingOptions* pad = padded ? &options : nullptr;
  // Sizes the library refuses are refused before any pixel is copied.
  vxPair<long> size;
  {
    ModeScope mode;
    const SizeScope sized(sizing);
    try {
      size = transformSizeOf(real.width, real.height, pad);
    } catch (const vxFrequencyDefs::InvalidSize& e) {
      // An explicit size too small for the picture: both sizes named.
      if (e.message() == nullptr ||
          std::wcscmp(e.message(), vx_detail::msg::kBelowExplicitSize) != 0)
        throw;
      throwLibrary<vxFrequencyDefs::InvalidSize>(withDetail(
          e.what(), "a " + sizeText(real.width, real.height) + " picture" +
                        (pad != nullptr ? " and its padding" : "") + ", size=(" +
                        std::to_string(sizing.height) + ", " + std::to_string(sizing.width) + ")"));
    }
  }

  py::object result = out.is_none() ? py::cast(newBuffer()) : out;
  Buffer& target = outBuffer(result);
  requireStorageKept(target, size.x, size.y);
  Use use(target.use, Use::Write, "FrequencyBuffer");
  const ImageView* im = imag.is_none() ? nullptr : &imaginary;
  runLibrary(
      [&] {
        const SizeScope sized(sizing);
        switch (kind) {
          case PixelKind::U8:
            forwardAs<std::uint8_t>(real, im, offset, pad, target.buf);
            break;
          case PixelKind::U16:
            forwardAs<std::uint16_t>(real, im, offset, pad, target.buf);
            break;
          case PixelKind::F64:
            forwardAs<double>(real, im, offset, pad, target.buf);
            break;
          case PixelKind::F32:
            forwardFloats(real, offset, target.buf);
            break;
          case PixelKind::C64:
            forwardComplex<std::complex<float>>(real, offset, target.buf);
            break;
          case PixelKind::C128:
            forwardComplex<std::complex<double>>(real, offset, target.buf);
            break;
        }
      },
      size.x * size.y);
  target.norm = Norm::Backward;  // unscaled; the package records what it scales to
  return result;
}

// ---------------------------------------------------------------------------
// Inverse transforms to images.

// Runs `call(buf, inPlace)` on the buffer under the right use: writing when in place.
template <class F>
void inverseOn(Buffer& b, bool inPlace, F&& call) {
  Use use(b.use, inPlace ? Use::Write : Use::Read, "FrequencyBuffer");
  runLibrary([&] { call(b.buf); }, elementsOf(b.buf));
}

// The picture's size the buffer records: an uninitialized buffer is refused first.
vxPair<long> recordedSize(Buffer& b) {
  if (!b.buf.isInitialized()) runLibrary([&] { vfPaddingMargin(b.buf); }, 0);  // Uninitialized
  return vxPair<long>(b.buf.imageWidth(), b.buf.imageHeight());
}

template <class T>
py::object inverseAs(Buffer& b, bool normalize, bool inPlace, const py::object& out) {
  const vxPair<long> size = recordedSize(b);
  OutImage<T> image(out, size.x, size.y, "out");
  image.placeAt(b.buf.imageOffset());
  inverseOn(b, inPlace, [&](vxFrequencyBuffer& buf) {
    vfInverseFFT<T>(buf, image.image(), normalize, inPlace);
  });
  return image.result();
}

template <class T>
py::object inverseRealAs(Buffer& b, bool inPlace, const py::object& out) {
  const vxPair<long> size = recordedSize(b);
  OutImage<T> image(out, size.x, size.y, "out");
  image.placeAt(b.buf.imageOffset());
  inverseOn(b, inPlace,
            [&](vxFrequencyBuffer& buf) { vfInverseFFTReal<T>(buf, image.image(), inPlace); });
  return image.result();
}

template <class T>
py::object inverseAngleAs(Buffer& b, bool normalize, bool inPlace) {
  vxPelBuffer<T> image;
  vxPelBuffer<double> angle;
  inverseOn(b, inPlace, [&](vxFrequencyBuffer& buf) {
    vfInverseFFTAngle<T>(buf, image, angle, normalize, inPlace);
  });
  return py::make_tuple(arrayOf(image), arrayOf(angle));
}

template <class T>
py::object inverseQuadrantAs(Buffer& b, bool normalize, bool inPlace) {
  vxPelBuffer<T> image;
  vxPelBuffer<unsigned char> quadrant;
  inverseOn(b, inPlace, [&](vxFrequencyBuffer& buf) {
    vfInverseFFTQuadrant<T>(buf, image, quadrant, normalize, inPlace);
  });
  return py::make_tuple(arrayOf(image), arrayOf(quadrant));
}

// The real part of buf's inverse scaled by 1/(W*H) written straight into `out`, a
// float64 or float32 array of the transform's shape at any strides of whole items,
// without a copy: the stack's real inverse, whose values are vfInverseFFTReal's (for
// float32 those values rounded once). Only where the plain inverse of the whole
// spectrum is the picture: the extended mode, a spectrum (not the samples of an
// in-place inverse) whose picture fills the transform at offset (0, 0). False, and
// nothing written, where it does not apply.
bool inverseRealInto(Buffer& b, const py::array& out) {
  if (!extendedHere() || !b.buf.isInitialized() || b.buf.inverseComputed()) return false;
  const long W = b.buf.width();
  const long H = b.buf.height();
  const vxPair<long> offset = b.buf.imageOffset();
  if (b.buf.imageWidth() != W || b.buf.imageHeight() != H || offset.x != 0 || offset.y != 0)
    return false;
  if (out.ndim() != 2 || out.shape(0) != H || out.shape(1) != W || !out.writeable()) return false;
  const bool doubles = py::isinstance<py::array_t<double>>(out);
  if (!doubles && !py::isinstance<py::array_t<float>>(out)) return false;
  const py::ssize_t item = out.itemsize();
  if (out.strides(0) % item != 0 || out.strides(1) % item != 0) return false;
  const vxStackLayout in(1, W, H);
  const vxStackLayout to(1, W, H, 0, static_cast<long>(out.strides(0) / item),
                         static_cast<long>(out.strides(1) / item));
  const float scale = static_cast<float>(1.0 / (static_cast<double>(W) * static_cast<double>(H)));
  const auto* spectrum = reinterpret_cast<const std::complex<float>*>(b.buf.elements());
  void* data = const_cast<py::array&>(out).mutable_data();
  Use use(b.use, Use::Read, "FrequencyBuffer");
  runLibrary(
      [&] {
        if (doubles)
          vfInverseFFTRealStack(spectrum, in, static_cast<double*>(data), to, scale);
        else
          vfInverseFFTRealStack(spectrum, in, static_cast<float*>(data), to, scale);
      },
      W * H);
  return true;
}

// Calls Op<T>::run for the pixel type the dtype argument names.
template <template <class> class Op>
py::object byDtype(const py::object& dtype, Buffer& b, bool normalize, bool inPlace,
                   const py::object& out) {
  switch (pixelKindOfDtype(dtype)) {
    case PixelKind::U8:
      return Op<std::uint8_t>::run(b, normalize, inPlace, out);
    case PixelKind::U16:
      return Op<std::uint16_t>::run(b, normalize, inPlace, out);
    case PixelKind::F64:
    case PixelKind::F32:
    case PixelKind::C64:
    case PixelKind::C128:
      break;
  }
  return Op<double>::run(b, normalize, inPlace, out);
}
template <class T>
struct InverseOp {
  static py::object run(Buffer& b, bool n, bool p, const py::object& out) {
    return inverseAs<T>(b, n, p, out);
  }
};
template <class T>
struct InverseRealOp {
  static py::object run(Buffer& b, bool, bool p, const py::object& out) {
    return inverseRealAs<T>(b, p, out);
  }
};
template <class T>
struct InverseAngleOp {
  static py::object run(Buffer& b, bool n, bool p, const py::object&) {
    return inverseAngleAs<T>(b, n, p);
  }
};
template <class T>
struct InverseQuadrantOp {
  static py::object run(Buffer& b, bool n, bool p, const py::object&) {
    return inverseQuadrantAs<T>(b, n, p);
  }
};

// The Python function `name` over Op: (buf, dtype=numpy.uint8, normalize, in_place),
// with `out` when `withOut`; `label` names the public call in messages.
template <template <class> class Op>
void defInverse(py::module_& m, const char* name, const char* label, const char* doc,
                bool withOut = false) {
  const auto numpyUint8 = py::module_::import("numpy").attr("uint8");
  auto run = [label](const py::object& buf, const py::object& dtype, const py::object& normalize,
                     const py::object& inPlace, const py::object& out) {
    return publicCall(label, [&] {
      Buffer& b = bufferArg(buf, "buf");
      const bool n = flagArg(normalize, "normalize");
      const bool p = flagArg(inPlace, "in_place");
      return byDtype<Op>(dtype, b, n, p, out);
    });
  };
  if (withOut) {
    m.def(name, run, py::arg("buf"), py::arg("dtype") = numpyUint8, py::arg("normalize") = false,
          py::arg("in_place") = false, py::arg("out") = py::none(), doc);
    return;
  }
  m.def(
      name,
      [run](const py::object& buf, const py::object& dtype, const py::object& normalize,
            const py::object& inPlace) { return run(buf, dtype, normalize, inPlace, py::none()); },
      py::arg("buf"), py::arg("dtype") = numpyUint8, py::arg("normalize") = false,
      py::arg("in_place") = false, doc);
}

// ---------------------------------------------------------------------------
// Buffer to buffer.

// `out` (None: a new buffer) for a result of `in`'s transform size, checked for views.
py::object resultFor(const Buffer& in, const py::object& out) {
  if (out.is_none()) return py::cast(newBuffer());
  const Buffer& target = outBuffer(out);
  if (&target != &in) requireStorageKept(target, in.buf.width(), in.buf.height());
  return out;
}

py::object bufferTransform(Buffer& in, const py::object& out, bool inverse, bool inPlace) {
  py::object result = resultFor(in, out);
  Buffer& target = result.cast<Buffer&>();
  if (inverse && inPlace && &target != &in) {
    Use write(in.use, Use::Write, "FrequencyBuffer");
    Use writeOut(target.use, Use::Write, "FrequencyBuffer");
    runLibrary([&] { vfInverseFFT(in.buf, target.buf, true); }, elementsOf(in.buf));
  } else {
    readInto(in, target, [&](vxFrequencyBuffer& a, vxFrequencyBuffer& r) {
      if (inverse)
        vfInverseFFT(a, r, inPlace);
      else
        vfForwardFFT(a, r);
    });
  }
  target.norm = Norm::None;  // the values of another transform: no scaling recorded
  return result;
}

// ---------------------------------------------------------------------------
// Spectrum images to 8 bits.

vxFrequencyDefs::FrequencyMapping mappingOf(const std::string& name) {
  if (name == "clamp") return vxFrequencyDefs::Clamp;
  if (name == "linear") return vxFrequencyDefs::Linear;
  if (name == "range") return vxFrequencyDefs::LinearRange;
  if (name == "log") return vxFrequencyDefs::Logarithmic;
  if (name == "angle") return vxFrequencyDefs::Angle;
  throw py::value_error("mapping must be 'clamp', 'linear', 'range', 'log' or 'angle', not '" +
                        name + "'");
}

py::object mapImage(const py::object& imageArg, const py::object& mappingArg, const py::object& lo,
                    const py::object& hi, const py::object& out) {
  const py::array image = arrayArgument(imageArg, "image");
  const vxFrequencyDefs::FrequencyMapping rule =
      mappingOf(textArg(mappingArg, "mapping", "'clamp', 'linear', 'range', 'log' or 'angle'"));
  if (pixelKindOf(image, "image") != PixelKind::F64)
    throw py::type_error("image must hold float64 values (as the spectrum images do)");
  double low = 0.0;
  double high = 0.0;
  if (rule == vxFrequencyDefs::LinearRange) {
    if (lo.is_none() || hi.is_none()) throw py::value_error("the 'range' mapping needs lo and hi");
    low = numberArg(lo, "lo");
    high = numberArg(hi, "hi");
  } else if (!lo.is_none() || !hi.is_none()) {
    throw py::value_error("lo and hi are read by the 'range' mapping only");
  }
  const ImageView view = viewOf(image);
  OutImage<unsigned char> result(out, view.width, view.height, "out");
  runLibrary(
      [&] {
        thread_local vxPelBuffer<double> input;
        copyPixels(view, input);
        vfFrequencyMapImage(input, rule, low, high, result.image());
      },
      view.width * view.height);
  return result.result();
}

// The picture's pixels as the library filters them, in new pixels of its own: S is the
// array's sample type, T the library's (double for float32 samples, converted exactly).
// The caller's attention is asked every 64 rows, so that a large picture stops as
// promptly here as in the library.
template <class T, class S>
vxPelBuffer<T> picturePixels(const ImageView& view) {
  vxPelBuffer<T> image(view.width, view.height, 32, vx_detail::UnzeroedPixels());
  for (long y = 0; y < view.height; ++y) {
    if (y % 64 == 0) vfThrowExceptionOnFailure(vsys_attention_check());
    const char* row = view.data + y * view.rowStride;
    T* out = &image.at(0, y);
    if (std::is_same<S, T>::value && view.pixelStride == static_cast<py::ssize_t>(sizeof(S))) {
      std::memcpy(out, row, sizeof(T) * static_cast<std::size_t>(view.width));
    } else {
      for (long x = 0; x < view.width; ++x) {
        S value;
        std::memcpy(&value, row + x * view.pixelStride, sizeof(S));
        out[x] = static_cast<T>(value);
      }
    }
    std::fill(out + view.width, out + image.stride(), T());  // the row's padding
  }
  return image;
}

// While it lives (with the GIL held, on the thread of a filter_picture call), the
// library's cache keeps no more than it held when the scope began: filter_picture's
// temporaries, of other sizes than later calls ask for, go back to the system as they
// are freed, so that its peak is its own working memory and nothing of it is left
// cached. Only under the default rule: a bound of the caller's is left as it is.
class CacheKeptAsFound {
public:
  CacheKeptAsFound() {
    if (vfMemoryCacheBound() != vxMemoryCacheAuto) return;
    bound_ = vfMemoryCacheBytes();
    vfSetMemoryCacheBound(bound_);
    set_ = true;
  }
  ~CacheKeptAsFound() {
    if (set_ && vfMemoryCacheBound() == bound_) vfSetMemoryCacheBound(vxMemoryCacheAuto);
  }
  CacheKeptAsFound(const CacheKeptAsFound&) = delete;
  CacheKeptAsFound& operator=(const CacheKeptAsFound&) = delete;

private:
  std::size_t bound_ = 0;
  bool set_ = false;
};

// `real` into `out`, a new array of its shape: uint8 and uint16 rounded to the nearest
// integer (halves to even, as numpy.rint) and saturated, NaN giving 0, as
// vfInverseFFTReal's; float32 rounded once.
template <class P>
void convertInto(const vxPelBuffer<double>& real, P* out) {
  const long w = real.width();
  for (long y = 0; y < real.height(); ++y) {
    if (y % 64 == 0) vfThrowExceptionOnFailure(vsys_attention_check());
    const double* row = &real.at(0, y);
    P* to = out + y * w;
    for (long x = 0; x < w; ++x) {
      if constexpr (std::is_same<P, float>::value) {
        to[x] = static_cast<float>(row[x]);
      } else {
        constexpr P top = std::numeric_limits<P>::max();
        const double v = std::nearbyint(row[x]);
        to[x] = !(v > 0.0) ? P(0) : v >= static_cast<double>(top) ? top : static_cast<P>(v);
      }
    }
  }
}

// The picture filtered in one call (vfFilterPicture): forward transform with the padding
// asked for (continue included), the filters in order, the real part of the inverse as
// float64, or as `result` (uint8, uint16, float32) converted while the library's memory
// is still bounded (CacheKeptAsFound).
template <class T, class S>
py::object filterPictureAs(const ImageView& view,
                           const std::vector<const vxFrequencyFilter*>& filters,
                           const vxPaddingOptions& options, PixelKind result) {
  std::optional<py::array> converted;
  if (result == PixelKind::U8) converted = py::array_t<std::uint8_t>({view.height, view.width});
  if (result == PixelKind::U16) converted = py::array_t<std::uint16_t>({view.height, view.width});
  if (result == PixelKind::F32) converted = py::array_t<float>({view.height, view.width});
  void* data = converted ? converted->mutable_data() : nullptr;
  vxPelBuffer<double> real;
  const CacheKeptAsFound cache;
  runLibrary(
      [&] {
        {
          const vxPelBuffer<T> image = picturePixels<T, S>(view);
          real = vfFilterPicture<T>(image, filters, options);
        }
        if (data == nullptr) return;
        if (result == PixelKind::U8) convertInto(real, static_cast<std::uint8_t*>(data));
        if (result == PixelKind::U16) convertInto(real, static_cast<std::uint16_t*>(data));
        if (result == PixelKind::F32) convertInto(real, static_cast<float*>(data));
        real = vxPelBuffer<double>();  // given back while the cache is bounded
      },
      view.width * view.height);
  if (converted) return std::move(*converted);
  return arrayOf(real);
}

// The kind of filter_picture's result a dtype names: None or float64, float32, uint8,
// uint16 (the package has checked it).
PixelKind resultKindOf(const py::object& dtype) {
  if (dtype.is_none()) return PixelKind::F64;
  const py::dtype d = py::dtype::from_args(dtype);
  if (d.kind() == 'f' && d.itemsize() == 4) return PixelKind::F32;
  return pixelKindOfDtype(dtype);
}

// filter_picture's filters: one filter or a sequence, refused when empty, as a list.
py::list filterListOf(const py::object& filterArg) {
  if (!py::isinstance<Filter>(filterArg) && !py::isinstance<py::iterable>(filterArg))
    refuse("filters", "a filter or a sequence of filters", filterArg);
  const py::list list = py::isinstance<Filter>(filterArg) ? py::list(py::make_tuple(filterArg))
                                                          : py::list(py::iter(filterArg));
  if (list.empty()) throw py::value_error("filters must hold at least one filter");
  return list;
}

// The filters filter_picture applies to a picture of `picture` pixels, for transform
// size `size`, each used (read) for the call; a band or Gabor filter of another size is
// replaced by its copy for that size (vfFilterForSize), kept in `copies`, and used only
// while it is copied. An image filter, whose gains are of one size, is refused with
// InvalidSize there, both sizes named.
std::vector<const vxFrequencyFilter*> filtersFor(
    const py::list& list, const vxPair<long>& picture, const vxPair<long>& size,
    std::vector<std::unique_ptr<Use>>& uses,
    std::vector<std::unique_ptr<vxFrequencyFilter>>& copies) {
  std::vector<const vxFrequencyFilter*> filters;
  for (const py::handle item : list) {
    if (!py::isinstance<Filter>(item)) refuse("filters", "vxfreq filters", item);
    Filter& f = item.cast<Filter&>();
    if (dynamic_cast<const vxFrequencyFilterImage*>(f.filter.get()) != nullptr &&
        filterSizeText(item) != sizeText(size.x, size.y))
      throwLibrary<vxFrequencyDefs::InvalidSize>(
          withDetail("Size of frequency buffer does not match size of filter",
                     "filter_picture transforms the " + sizeText(picture.x, picture.y) +
                         " picture at " + sizeText(size.x, size.y) +
                         " (padded_transform_size), the ImageFilter is " + filterSizeText(item) +
                         "; an ImageFilter applies at its own transform size only: build it from a "
                         "spectrum of " +
                         sizeText(size.x, size.y)));
    if (integerPairArg(item.attr("size"), "size", "a size") == Size(size.x, size.y)) {
      uses.push_back(std::make_unique<Use>(f.use, Use::Read, "Filter"));
      filters.push_back(f.filter.get());
      continue;
    }
    const Use use(f.use, Use::Read, "Filter");
    runLibrary([&] { copies.emplace_back(vfFilterForSize(*f.filter, size)); });
    filters.push_back(copies.back().get());
  }
  return filters;
}

// TypeError for a complex picture: filter_picture filters real ones. The package calls it
// before its own checks too.
void checkRealPicture(const py::array& image) {
  if (isComplex(pixelKindOf(image, "image")))
    throw py::type_error(
        "filter_picture filters real pictures; filter the real and imaginary parts apart");
}

// Checked in this order: the picture, the filters (given, not empty), the margin, each
// filter (copied for the padded size where its own differs), padding and window.
py::object filterPicture(const py::object& imageArg, const py::object& filterArg,
                         const py::object& padding, const py::object& window,
                         const py::object& margin, const py::object& dtype) {
  const py::array image = arrayArgument(imageArg, "image");
  checkRealPicture(image);
  const PixelKind kind = pixelKindOf(image, "image");
  const ImageView view = viewOf(image);
  const py::list list = filterListOf(filterArg);
  vxPaddingOptions options;
  options.margin = marginOf(margin, -1);
  vxPair<long> size;
  {
    ModeScope mode;
    size = vfPaddedTransformSize(view.width, view.height, options.margin);
  }
  std::vector<std::unique_ptr<Use>> uses;
  std::vector<std::unique_ptr<vxFrequencyFilter>> copies;
  const std::vector<const vxFrequencyFilter*> filters =
      filtersFor(list, vxPair<long>(view.width, view.height), size, uses, copies);
  options.padding = paddingOf(padding);
  options.window = windowOf(window);
  const PixelKind result = resultKindOf(dtype);
  // The library filters float64 pictures: float32 ones are read as that, exactly.
  switch (kind) {
    case PixelKind::U8:
      return filterPictureAs<std::uint8_t, std::uint8_t>(view, filters, options, result);
    case PixelKind::U16:
      return filterPictureAs<std::uint16_t, std::uint16_t>(view, filters, options, result);
    case PixelKind::F32:
      return filterPictureAs<double, float>(view, filters, options, result);
    default:
      return filterPictureAs<double, double>(view, filters, options, result);
  }
}

}  // namespace

void bindTransforms(py::module_& m) {
  m.def("_check_real_picture", &checkRealPicture, py::arg("image"),
        "TypeError for a complex picture, which filter_picture does not take.");
  m.def("_check_parts", &checkParts, py::arg("image"), py::arg("imag"),
        "TypeError when a picture given as real and imaginary parts has a complex part.");
  m.def(
      "_check_picture_shape",
      [](const py::array& image, const std::string& name) {
        requirePictureShape(image, name.c_str());
      },
      py::arg("image"), py::arg("name"),
      "ValueError unless image has two dimensions (the package checks pictures with it "
      "before converting their values).");
  m.def(
      "forward",
      [](const py::object& image, const py::object& imag, const py::object& offset,
         const py::object& out, const py::object& padding, const py::object& window,
         const py::object& margin, const py::object& size) {
        return publicCall("forward()", [&] {
          return forward(image, imag, offset, out, padding, window, margin, size);
        });
      },
      py::arg("image"), py::arg("imag") = py::none(), py::arg("offset") = py::make_tuple(0, 0),
      py::arg("out") = py::none(), py::kw_only(), py::arg("padding") = py::none(),
      py::arg("window") = py::none(), py::arg("margin") = py::none(), py::arg("size") = py::none(),
      "Forward transform of a 2-D uint8, uint16 or float64 image (any strides), real or "
      "with imag (same dtype and shape) as imaginary part, at the image's own size (as "
      "numpy.fft.fft2) unless size= says otherwise; its size and offset (x, y) are "
      "recorded for the inverse. Returns a new FrequencyBuffer, or fills and returns "
      "out.\n\n"
      "padding, window and margin (keywords, real images only; all None: the plain "
      "transform above) pad the picture with something other than zeros and weight it "
      "first. The picture stays at [0, 0]; the padding continues it to the right and "
      "below and, through the wrap-around, back into its left and top edges.\n"
      "padding: 'zero' (zeros), 'reflect' (mirrored about its edges, the edge pixel "
      "repeated, as numpy.pad's 'symmetric'; no step at the border, the general choice "
      "for photographs), 'edge' (border pixels repeated) or 'mean' (the picture's mean, "
      "rounded for uint8 and uint16 pictures without a window); None: zeros.\n"
      "window: None, 'hann' (numpy.hanning along each axis) or a Tukey window, "
      "('tukey', F) or 'tukey:F', tapering F / 2 of each side at either end (F from 0, no "
      "window, to 1, Hann). The window is for measuring spectra; the inverse gives the "
      "windowed picture back.\n"
      "margin: pixels of padding at least on every side: each side of the transform is the "
      "next fast size (next_fast_size) of the picture's side plus twice the margin, up to "
      "the mode's largest side, 16384 (the next power of two, up to 2048, in "
      "vxfreq.compatible(); see padded_transform_size). None: an eighth of each side, "
      "rounded up, with a padding named; none with padding=None.\n"
      "size: None or 'own' (the picture's own size, or the next fast size with a margin), "
      "'fast' (next_fast_size of each side), 'pow2' (the next powers of two, as earlier "
      "versions) or a shape (H, W) at least the padded picture's; vxfreq.compatible() "
      "always takes powers of two.\n"
      "The inverses need nothing more: they give the picture back at its recorded size "
      "and offset, the padding dropped. Filters are built for the buffer's larger size.");
  m.def(
      "padded_transform_size",
      [](const py::object& width, const py::object& height, const py::object& margin,
         const py::object& size) {
        return publicCall("padded_transform_size()", [&] {
          const long w = integerArg(width, "width");
          const long h = integerArg(height, "height");
          const long m = marginOf(margin, -1);
          const Sizing sizing = sizingOf(size);
          ModeScope mode;
          const SizeScope sized(sizing);
          return pairOf(vfPaddedTransformSize(w, h, m));
        });
      },
      py::arg("width"), py::arg("height"), py::arg("margin") = py::none(), py::kw_only(),
      py::arg("size") = py::none(),
      "The transform size (W, H), width first, that forward gives a picture of width x "
      "height pixels (1 to the mode's largest side each) with a padding named, this margin "
      "(None: an eighth of each side, rounded up) and size= as forward's.");
  m.def(
      "next_fast_size",
      [](const py::object& n) {
        return publicCall("next_fast_size()", [&] {
          return vfNextFastSize(
              integerOf(n, 0, 1L << 40, false, "n must be an integer from 0 to 2**40"));
        });
      },
      py::arg("n"),
      "The smallest length at least n (1 for n <= 1) whose prime factors are 2, 3, 5 and 7 "
      "only: the lengths the transforms are fastest at, as scipy.fft.next_fast_len.");
  m.def(
      "forward_fft",
      [](const py::object& buf, const py::object& out) {
        return publicCall("forward_fft()", [&] {
          return bufferTransform(bufferArg(buf, "buf"), out, false, false);
        });
      },
      py::arg("buf"), py::arg("out") = py::none(),
      "Forward transform of a buffer's values into a new buffer (or out).");
  m.def(
      "inverse_fft",
      [](const py::object& buf, const py::object& out, const py::object& inPlace) {
        return publicCall("inverse_fft()", [&] {
          Buffer& b = bufferArg(buf, "buf");
          return bufferTransform(b, out, true, flagArg(inPlace, "in_place"));
        });
      },
      py::arg("buf"), py::arg("out") = py::none(), py::arg("in_place") = false,
      "Unscaled inverse transform of a buffer's values into a new buffer (or out); with "
      "in_place the work is done in buf, which then holds the spatial values.");

  const char* const inverseDoc =
      "Inverse transform to an image of the recorded size (h, w) and of dtype uint8, uint16 "
      "or float64: the magnitude of each value scaled by 1/(W*H), rounded for integer "
      "images (low bits, no saturation) or with normalize stretched to the full range. With "
      "in_place the work is done in buf's storage, which then holds the spatial values. "
      "A buffer of forward with padding, window or margin needs nothing more: the image "
      "comes back at its recorded size and offset, the padding dropped (windowed, with a "
      "window).";
  defInverse<InverseOp>(m, "inverse", "inverse()", inverseDoc, true);
  defInverse<InverseRealOp>(
      m, "inverse_real", "inverse()",
      "The real part of the inverse scaled by 1/(W*H), as an image of the recorded size (h, "
      "w): for uint8 and uint16 rounded to the nearest integer (halves to even) and "
      "saturated to the dtype's range, NaN giving 0; float64 unrounded (C++ "
      "vfInverseFFTReal). normalize is not read.",
      true);
  defInverse<InverseAngleOp>(
      m, "inverse_angle", "inverse_angle()",
      "As inverse, returning (image, angle): angle the float64 atan2 of each result value.");
  defInverse<InverseQuadrantOp>(
      m, "inverse_quadrant", "inverse_quadrant()",
      "As inverse, returning (image, quadrant): quadrant uint8, bit 0 set where the real "
      "part is below 0, bit 1 where the imaginary part is.");
  m.def(
      "_inverse_real_into",
      [](const py::object& buf, const py::array& out) {
        return publicCall("inverse()", [&] { return inverseRealInto(bufferArg(buf, "buf"), out); });
      },
      py::arg("buf"), py::arg("out"),
      "Writes the real part of buf's inverse, scaled by 1/(W*H), into out (float64 or "
      "float32, buf's shape) where the plain inverse of the whole spectrum is the picture; "
      "False where it is not, nothing written.");
  m.def(
      "inverse_complex",
      [](const py::object& buf, const py::object& inPlaceArg, const py::object& realOut,
         const py::object& imagOut, const py::object& wantImagArg) {
        return publicCall("inverse_complex()", [&] {
          Buffer& b = bufferArg(buf, "buf");
          const bool inPlace = flagArg(inPlaceArg, "in_place");
          const bool wantImag = flagArg(wantImagArg, "want_imag");
          const vxPair<long> size = recordedSize(b);
          OutImage<double> real(realOut, size.x, size.y, "real_out", 0);
          // Without the imaginary part, it goes to pixels this thread keeps.
          OutImage<double> imag(wantImag ? imagOut : py::none(), size.x, size.y, "imag_out", 1,
                                !wantImag);
          real.placeAt(b.buf.imageOffset());
          imag.placeAt(b.buf.imageOffset());
          inverseOn(b, inPlace, [&](vxFrequencyBuffer& v) {
            vfInverseFFT(v, real.image(), imag.image(), inPlace);
          });
          return py::make_tuple(real.result(), wantImag ? imag.result() : py::none());
        });
      },
      py::arg("buf"), py::arg("in_place") = false, py::arg("real_out") = py::none(),
      py::arg("imag_out") = py::none(), py::arg("want_imag") = true,
      "Inverse transform to (real, imag) float64 images of the recorded size, scaled by "
      "1/(W*H); into real_out and imag_out when given (float64 arrays of that shape); "
      "with want_imag False the imaginary part is not returned (None).");
  m.def(
      "filter_picture",
      [](const py::object& image, const py::object& filters, const py::object& padding,
         const py::object& window, const py::object& margin, const py::object& dtype) {
        return publicCall("filter_picture()", [&] {
          return filterPicture(image, filters, padding, window, margin, dtype);
        });
      },
      py::arg("image"), py::arg("filters"), py::arg("padding"), py::arg("window") = py::none(),
      py::arg("margin") = py::none(), py::arg("dtype") = py::none(),
      "The picture filtered by the filters (built for its padded transform size) in one "
      "call: the real part of the inverse, float64, of the picture's shape, or as dtype "
      "(float32 rounded once; uint8, uint16 rounded, saturated, NaN giving 0). The "
      "library's cache keeps no more after the call than before it.");
  m.def(
      "map_image",
      [](const py::object& image, const py::object& mapping, const py::object& lo,
         const py::object& hi, const py::object& out) {
        return publicCall("map_image()", [&] { return mapImage(image, mapping, lo, hi, out); });
      },
      py::arg("image"), py::arg("mapping") = "log", py::arg("lo") = py::none(),
      py::arg("hi") = py::none(), py::arg("out") = py::none(),
      "A float64 image mapped to a new uint8 image: 'clamp' (to 0..255), 'linear' (range "
      "of the image), 'range' (lo..hi, saturated), 'log' (natural logarithm, range of the "
      "image) or 'angle' (radians in [0, 2 pi) to 0..254); into out when given (a uint8 "
      "array of the image's shape).");
}

}  // namespace vxpy
