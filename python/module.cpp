// The Python module vxfreq: frequency buffers with numpy views of their storage, the
// image transforms, spectrum images, arithmetic and the filters of the library.
#include "python_support.h"

#include "filt/padding.h"

#include <pybind11/complex.h>
#include <pybind11/stl.h>

#include <complex>
#include <functional>
#include <cstdint>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

namespace py = pybind11;
using vxpy::Buffer;
using vxpy::Filter;
using vxpy::PixelKind;
using vxpy::runLibrary;
using vxpy::Use;

namespace {

using Size = std::pair<long, long>;
using PairD = std::pair<double, double>;

std::unique_ptr<Buffer> newBuffer() { return std::make_unique<Buffer>(); }

std::string typeName(const py::handle& object) {
  return py::str(py::type::of(object).attr("__name__")).cast<std::string>();
}

// The buffer an `out` argument names; TypeError for anything else.
Buffer& outBuffer(const py::object& out) {
  if (!py::isinstance<Buffer>(out))
    throw py::type_error("out must be a FrequencyBuffer or None, not " + typeName(out));
  return out.cast<Buffer&>();
}

// ---------------------------------------------------------------------------
// Archive forms, through which buffers and filters pickle.

py::bytes archived(const std::function<void(vxArchive&)>& store) {
  std::ostringstream out;
  {
    vxArchive ar(out);
    store(ar);
  }
  return py::bytes(out.str());
}

void loadArchived(const py::bytes& state, const std::function<void(vxArchive&)>& load) {
  std::istringstream in(static_cast<std::string>(state));
  vxArchive ar(in);
  load(ar);
}

// ---------------------------------------------------------------------------
// Forward transforms of images.

// The forward transform copies images into pixel buffers. Each thread keeps small ones
// (up to 1 MiB) for its next call, so that a stream of pictures of one size does not
// allocate and clear them every time. `padded` (real images only) asks for the padded
// transform of filt/padding.h instead of the plain one.
template <class T>
void forwardAs(const vxpy::ImageView& real, const vxpy::ImageView* imag, Size offset,
               const vxPaddingOptions* padded, vxFrequencyBuffer& out) {
  thread_local vxPelBuffer<T> kept[2];
  vxPelBuffer<T> fresh[2];
  const bool keep = real.width * real.height * static_cast<long>(sizeof(T)) <= (1L << 20);
  vxPelBuffer<T>* images = keep ? kept : fresh;
  vxpy::copyPixels(real, images[0]);
  images[0].offset(offset.first, offset.second);
  if (padded != nullptr) {
    vfForwardFFTPadded<T>(images[0], *padded, out);
    return;
  }
  if (imag == nullptr) {
    vfForwardFFT<T>(images[0], out);
    return;
  }
  vxpy::copyPixels(*imag, images[1]);
  images[1].offset(offset.first, offset.second);
  vfForwardFFT<T>(images[0], images[1], out);
}

long nextPowerOfTwo(long n) {
  long p = 1;
  while (p < n) p <<= 1;
  return p;
}

// A numpy array of `object` (lists and other array-likes converted as numpy would).
py::array arrayArgument(const py::object& object, const char* name) {
  py::array array = py::array::ensure(object);
  if (!array) throw py::type_error(std::string(name) + " must be a numpy array");
  return array;
}

// ---------------------------------------------------------------------------
// Padding and windows: forward's padding=, window= and margin=.

constexpr long kMaxThreads = 256;

const char* const kPaddings = "None, 'zero', 'reflect', 'edge' or 'mean'";
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
  throw py::value_error(std::string("padding must be ") + kPaddings + ", not '" + name + "'");
}

vxWindow tukeyOf(const py::handle& fraction) {
  if (!PyNumber_Check(fraction.ptr()) || py::isinstance<py::str>(fraction))
    throw py::type_error(std::string("window must be ") + kWindows + "; F is a number, not " +
                         typeName(fraction));
  const double f = py::float_(py::reinterpret_borrow<py::object>(fraction)).cast<double>();
  if (!(f >= 0.0 && f <= 1.0))
    throw py::value_error(std::string("window must be ") + kWindows + ", not F = " +
                          py::repr(fraction).cast<std::string>());
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

// An integer argument (a Python or numpy integer) from `lo` to `hi`: TypeError or
// ValueError saying `accepted` otherwise. Above `hi` it is `hi` when `clampHigh`.
long integerOf(const py::object& value, long lo, long hi, bool clampHigh,
               const std::string& accepted) {
  PyObject* index = PyNumber_Index(value.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    throw py::type_error(accepted + ", not " + typeName(value));
  }
  const py::int_ number = py::reinterpret_steal<py::int_>(index);
  const bool high = number > py::int_(hi);
  if (number < py::int_(lo) || (high && !clampHigh))
    throw py::value_error(accepted + ", not " + py::repr(number).cast<std::string>());
  return high ? hi : number.cast<long>();
}

// A margin of pixels: None (`none`), or an integer of at least 0; margins beyond any
// picture's room (2048) are all the same.
long marginOf(const py::object& margin, long none) {
  if (margin.is_none()) return none;
  return integerOf(margin, 0, 4096, true, "margin must be None or an integer of at least 0");
}

// What forward's padding, window and margin ask for; false (and `options` untouched)
// for the plain transform: all three None.
bool paddingOptionsOf(const py::object& padding, const py::object& window,
                      const py::object& margin, vxPaddingOptions& options) {
  if (padding.is_none() && window.is_none() && margin.is_none()) return false;
  options.padding = padding.is_none() ? vxPadding::Zero : paddingOf(padding);
  options.window = windowOf(window);
  options.margin = marginOf(margin, padding.is_none() ? 0 : -1);
  return true;
}

// ---------------------------------------------------------------------------

py::object forward(const py::object& imageArg, const py::object& imag, Size offset,
                   const py::object& out, const py::object& padding, const py::object& window,
                   const py::object& margin) {
  const py::array image = arrayArgument(imageArg, "image");
  const PixelKind kind = vxpy::pixelKindOf(image, "image");
  const vxpy::ImageView real = vxpy::viewOf(image);
  vxpy::ImageView imaginary;
  py::array imagArray;
  if (!imag.is_none()) {
    imagArray = arrayArgument(imag, "imag");
    if (vxpy::pixelKindOf(imagArray, "imag") != kind)
      throw py::type_error("imag must have the dtype of image");
    imaginary = vxpy::viewOf(imagArray);
    if (imaginary.width != real.width || imaginary.height != real.height)
      throw py::value_error("imag must have the shape of image");
  }
  vxPaddingOptions options;
  const bool padded = paddingOptionsOf(padding, window, margin, options);
  if (padded && !imag.is_none())
    throw py::value_error("padding, window and margin are for real images: imag must be None");
  // Sizes the library refuses are refused before any pixel is copied.
  if (real.width > 2048 || real.height > 2048) vxFrequencyBuffer refuse(real.width, real.height);

  py::object result = out.is_none() ? py::cast(newBuffer()) : out;
  Buffer& target = outBuffer(result);
  const vxPair<long> size =
      padded && real.width > 0 && real.height > 0
          ? vfPaddedTransformSize(real.width, real.height, options.margin)
          : vxPair<long>(nextPowerOfTwo(real.width), nextPowerOfTwo(real.height));
  vxpy::requireStorageKept(target, size.x, size.y);
  Use use(target.use, Use::Write, "FrequencyBuffer");
  const vxpy::ImageView* im = imag.is_none() ? nullptr : &imaginary;
  const vxPaddingOptions* pad = padded ? &options : nullptr;
  runLibrary([&] {
    switch (kind) {
      case PixelKind::U8: forwardAs<std::uint8_t>(real, im, offset, pad, target.buf); break;
      case PixelKind::U16: forwardAs<std::uint16_t>(real, im, offset, pad, target.buf); break;
      case PixelKind::F64: forwardAs<double>(real, im, offset, pad, target.buf); break;
    }
  });
  return result;
}

// ---------------------------------------------------------------------------
// Inverse transforms to images.

// Runs `call(buf, inPlace)` on the buffer under the right use: writing when in place.
template <class F>
void inverseOn(Buffer& b, bool inPlace, F&& call) {
  Use use(b.use, inPlace ? Use::Write : Use::Read, "FrequencyBuffer");
  runLibrary([&] { call(b.buf); });
}

template <class T>
py::object inverseAs(Buffer& b, bool normalize, bool inPlace) {
  vxPelBuffer<T> image;
  inverseOn(b, inPlace, [&](vxFrequencyBuffer& buf) {
    vfInverseFFT<T>(buf, image, normalize, inPlace);
  });
  return vxpy::arrayOf(image);
}

template <class T>
py::object inverseAngleAs(Buffer& b, bool normalize, bool inPlace) {
  vxPelBuffer<T> image;
  vxPelBuffer<double> angle;
  inverseOn(b, inPlace, [&](vxFrequencyBuffer& buf) {
    vfInverseFFTAngle<T>(buf, image, angle, normalize, inPlace);
  });
  return py::make_tuple(vxpy::arrayOf(image), vxpy::arrayOf(angle));
}

template <class T>
py::object inverseQuadrantAs(Buffer& b, bool normalize, bool inPlace) {
  vxPelBuffer<T> image;
  vxPelBuffer<unsigned char> quadrant;
  inverseOn(b, inPlace, [&](vxFrequencyBuffer& buf) {
    vfInverseFFTQuadrant<T>(buf, image, quadrant, normalize, inPlace);
  });
  return py::make_tuple(vxpy::arrayOf(image), vxpy::arrayOf(quadrant));
}

// Calls Op<T>::run for the pixel type the dtype argument names.
template <template <class> class Op>
py::object byDtype(const py::object& dtype, Buffer& b, bool normalize, bool inPlace) {
  switch (vxpy::pixelKindOfDtype(dtype)) {
    case PixelKind::U8: return Op<std::uint8_t>::run(b, normalize, inPlace);
    case PixelKind::U16: return Op<std::uint16_t>::run(b, normalize, inPlace);
    case PixelKind::F64: break;
  }
  return Op<double>::run(b, normalize, inPlace);
}
template <class T>
struct InverseOp {
  static py::object run(Buffer& b, bool n, bool p) { return inverseAs<T>(b, n, p); }
};
template <class T>
struct InverseAngleOp {
  static py::object run(Buffer& b, bool n, bool p) { return inverseAngleAs<T>(b, n, p); }
};
template <class T>
struct InverseQuadrantOp {
  static py::object run(Buffer& b, bool n, bool p) { return inverseQuadrantAs<T>(b, n, p); }
};

// The Python function `name` over Op: (buf, dtype=numpy.uint8, normalize, in_place).
template <template <class> class Op>
void defInverse(py::module_& m, const char* name, const char* doc) {
  m.def(
      name,
      [](Buffer& buf, const py::object& dtype, bool normalize, bool inPlace) {
        return byDtype<Op>(dtype, buf, normalize, inPlace);
      },
      py::arg("buf"), py::arg("dtype") = py::module_::import("numpy").attr("uint8"),
      py::arg("normalize") = false, py::arg("in_place") = false, doc);
}

// ---------------------------------------------------------------------------
// Buffer to buffer.

// `out` (None: a new buffer) for a result of `in`'s transform size, checked for views.
py::object resultFor(const Buffer& in, const py::object& out) {
  if (out.is_none()) return py::cast(newBuffer());
  const Buffer& target = outBuffer(out);
  if (&target != &in) vxpy::requireStorageKept(target, in.buf.width(), in.buf.height());
  return out;
}

// Runs `call(in, out)` with `in` read and `out` written (one write use when they are
// the same buffer).
template <class F>
void readInto(Buffer& in, Buffer& out, F&& call) {
  if (&in == &out) {
    Use write(out.use, Use::Write, "FrequencyBuffer");
    runLibrary([&] { call(in.buf, out.buf); });
    return;
  }
  Use read(in.use, Use::Read, "FrequencyBuffer");
  Use write(out.use, Use::Write, "FrequencyBuffer");
  runLibrary([&] { call(in.buf, out.buf); });
}

py::object bufferTransform(Buffer& in, const py::object& out, bool inverse, bool inPlace) {
  py::object result = resultFor(in, out);
  Buffer& target = result.cast<Buffer&>();
  if (inverse && inPlace && &target != &in) {
    Use write(in.use, Use::Write, "FrequencyBuffer");
    Use writeOut(target.use, Use::Write, "FrequencyBuffer");
    runLibrary([&] { vfInverseFFT(in.buf, target.buf, true); });
    return result;
  }
  readInto(in, target, [&](vxFrequencyBuffer& a, vxFrequencyBuffer& r) {
    if (inverse)
      vfInverseFFT(a, r, inPlace);
    else
      vfForwardFFT(a, r);
  });
  return result;
}

// ---------------------------------------------------------------------------
// Arithmetic: new buffers and in-place forms.

using BinaryOp = void (*)(const vxFrequencyBuffer&, const vxFrequencyBuffer&, vxFrequencyBuffer&);
using AccumulateOp = void (*)(const vxFrequencyBuffer&, vxFrequencyBuffer&);

std::unique_ptr<Buffer> binary(Buffer& a, Buffer& b, BinaryOp op) {
  auto result = newBuffer();
  Use ra(a.use, Use::Read, "FrequencyBuffer");
  std::unique_ptr<Use> rb;
  if (&a != &b) rb = std::make_unique<Use>(b.use, Use::Read, "FrequencyBuffer");
  runLibrary([&] { op(a.buf, b.buf, result->buf); });
  return result;
}

// self = self (op) other, through the library's accumulating form `op(other, self)`.
py::object accumulate(const py::object& self, Buffer& other, AccumulateOp op) {
  Buffer& s = self.cast<Buffer&>();
  readInto(other, s, [&](vxFrequencyBuffer& o, vxFrequencyBuffer& t) { op(o, t); });
  return self;
}

void addBinary(py::class_<Buffer>& cls, const char* name, const char* iname, BinaryOp op,
               AccumulateOp acc, const char* sign) {
  cls.def(
      name, [op](Buffer& a, Buffer& b) { return binary(a, b, op); }, py::is_operator(),
      (std::string("A new buffer: self ") + sign + " other, element by element in single "
                                                    "precision (buffers of one transform size).")
          .c_str());
  cls.def(
      iname, [acc](const py::object& self, Buffer& b) { return accumulate(self, b, acc); },
      py::is_operator(), (std::string("In place: self = self ") + sign + " other.").c_str());
}

// ---------------------------------------------------------------------------
// Filters.

template <class F>
struct FilterOf : Filter {
  F& get() const { return static_cast<F&>(*filter); }
};

// Reads a parameter under a read use of the filter.
template <class F, class R>
R readFilter(const FilterOf<F>& f, R (*read)(const F&)) {
  Use use(const_cast<vxpy::UseState&>(f.use), Use::Read, "Filter");
  return read(f.get());
}

// Changes a parameter (a rebuild) under a write use, without the GIL.
template <class F, class V>
void writeFilter(FilterOf<F>& f, void (*write)(F&, const V&), const V& value) {
  Use use(f.use, Use::Write, "Filter");
  runLibrary([&] { write(f.get(), value); });
}

template <class F, class... Args>
std::unique_ptr<FilterOf<F>> buildFilter(Args... args) {
  auto f = std::make_unique<FilterOf<F>>();
  runLibrary([&] { f->filter = std::make_unique<F>(args...); });
  return f;
}

void applyFilter(Filter& f, Buffer& buf, const py::object& out) {
  Use filterUse(f.use, Use::Read, "Filter");
  if (out.is_none() || &outBuffer(out) == &buf) {
    Use write(buf.use, Use::Write, "FrequencyBuffer");
    runLibrary([&] { f.filter->apply(buf.buf); });
    return;
  }
  Buffer& target = outBuffer(out);
  vxpy::requireStorageKept(target, buf.buf.width(), buf.buf.height());
  readInto(buf, target,
           [&](vxFrequencyBuffer& in, vxFrequencyBuffer& o) { f.filter->apply(in, o); });
}

template <class F>
py::bytes filterState(const FilterOf<F>& f) {
  Use use(const_cast<vxpy::UseState&>(f.use), Use::Read, "Filter");
  return archived([&](vxArchive& ar) {
    vxFrequencyFilter* p = f.filter.get();
    ar || p;
  });
}

template <class F>
std::unique_ptr<FilterOf<F>> filterFromState(const py::bytes& state) {
  auto f = std::make_unique<FilterOf<F>>();
  loadArchived(state, [&](vxArchive& ar) {
    vxFrequencyFilter* p = nullptr;
    ar || p;
    f->filter.reset(p);
  });
  if (dynamic_cast<F*>(f->filter.get()) == nullptr)
    throw py::type_error("the pickled state is not one of this filter class");
  return f;
}

py::tuple pairOf(const vxPair<long>& p) { return py::make_tuple(p.x, p.y); }
py::tuple pairOf(const vxPair<double>& p) { return py::make_tuple(p.x, p.y); }
vxPair<long> sizeOf(Size s) { return vxPair<long>(s.first, s.second); }
vxPair<double> pairOf(PairD p) { return vxPair<double>(p.first, p.second); }

// The DC radius of each filter: removal for the pass filters, protection for the
// reject filters.
long dcRadius(const vxFrequencyFilterBandPass& f) { return f.dcRemovalRadius(); }
long dcRadius(const vxFrequencyFilterBandReject& f) { return f.dcProtectionRadius(); }
long dcRadius(const vxFrequencyFilterGabor& f) { return f.dcRemovalRadius(); }
long dcRadius(const vxFrequencyFilterGaborReject& f) { return f.dcProtectionRadius(); }
void dcRadius(vxFrequencyFilterBandPass& f, long r) { f.dcRemovalRadius(r); }
void dcRadius(vxFrequencyFilterBandReject& f, long r) { f.dcProtectionRadius(r); }
void dcRadius(vxFrequencyFilterGabor& f, long r) { f.dcRemovalRadius(r); }
void dcRadius(vxFrequencyFilterGaborReject& f, long r) { f.dcProtectionRadius(r); }

const char* const kSizeDoc =
    "size: the transform size (width, height) the filter is built for, as in the C++ API "
    "and FrequencyBuffer.image_size; it is FrequencyBuffer.shape reversed.";

// What the four parametric filters share: equality, pickling, size and DC radius.
template <class F>
py::class_<FilterOf<F>, Filter> parametricFilter(py::module_& m, const char* name, const char* doc,
                                                 const char* radiusName, const char* frequencyDoc) {
  using W = FilterOf<F>;
  py::class_<W, Filter> cls(m, name, doc);
  cls.def_property(
      "frequency",
      [](const W& f) { return readFilter<F, double>(f, [](const F& g) { return g.frequency(); }); },
      [](W& f, double v) { writeFilter<F, double>(f, [](F& g, const double& x) { g.frequency(x); }, v); },
      frequencyDoc);
  cls.def(
      "__eq__", [](const W& a, const W& b) { return a.get() == b.get(); }, py::is_operator());
  cls.def(py::pickle([](const W& f) { return filterState(f); },
                     [](const py::bytes& s) { return filterFromState<F>(s); }));
  cls.def_property(
      "size", [](const W& f) { return pairOf(readFilter<F, vxPair<long>>(f, [](const F& g) { return g.size(); })); },
      [](W& f, Size s) {
        writeFilter<F, vxPair<long>>(f, [](F& g, const vxPair<long>& v) { g.size(v); }, sizeOf(s));
      },
      "Transform size (width, height) the filter applies to; setting it rebuilds the filter.");
  const auto getRadius = [](const W& f) {
    return readFilter<F, long>(f, [](const F& g) { return dcRadius(g); });
  };
  const auto setRadius = [](W& f, long r) {
    writeFilter<F, long>(f, [](F& g, const long& v) { dcRadius(g, v); }, r);
  };
  cls.def_property("dc_removal_radius", getRadius, setRadius,
                   "Radius R of the (2R - 1) x (2R - 1) square around frequency 0 that the "
                   "pass filters zero and the reject filters leave unchanged (0: none).");
  if (std::string(radiusName) != "dc_removal_radius")
    cls.def_property(radiusName, getRadius, setRadius, "The same as dc_removal_radius.");
  cls.def_property_readonly(
      "support_width",
      [](const W& f) { return readFilter<F, long>(f, [](const F& g) { return g.supportWidth(); }); },
      "Width of the filter's gain table.");
  return cls;
}

template <class F>
py::class_<FilterOf<F>, Filter> bandFilter(py::module_& m, const char* name, const char* doc,
                                           const char* radiusName) {
  using W = FilterOf<F>;
  auto cls = parametricFilter<F>(m, name, doc, radiusName, "Radius of the ring, in cycles per pixel.");
  cls.def(py::init([](double sigma, double plateau, double frequency, Size size, long radius) {
            return buildFilter<F>(sigma, plateau, frequency, sizeOf(size), radius);
          }),
          py::arg("sigma"), py::arg("plateau"), py::arg("frequency"), py::arg("size"),
          py::arg("dc_removal_radius") = 0,
          "Builds the filter. sigma, plateau and frequency in cycles per pixel (0 to 0.5); "
          "size (width, height), a power of two along each axis.");
  cls.def_property(
      "sigma", [](const W& f) { return readFilter<F, double>(f, [](const F& g) { return g.sigma(); }); },
      [](W& f, double v) { writeFilter<F, double>(f, [](F& g, const double& x) { g.sigma(x); }, v); },
      "Width of the Gaussian flanks, in cycles per pixel.");
  cls.def_property(
      "plateau", [](const W& f) { return readFilter<F, double>(f, [](const F& g) { return g.plateau(); }); },
      [](W& f, double v) { writeFilter<F, double>(f, [](F& g, const double& x) { g.plateau(x); }, v); },
      "Half width of the flat top, in cycles per pixel.");
  cls.def("__repr__", [name](const W& f) {
    Use use(const_cast<vxpy::UseState&>(f.use), Use::Read, "Filter");
    const F& g = f.get();
    return py::str("{}(sigma={!r}, plateau={!r}, frequency={!r}, size={!r}, dc_removal_radius={!r})")
        .format(name, g.sigma(), g.plateau(), g.frequency(), pairOf(g.size()), dcRadius(g));
  });
  return cls;
}

template <class F>
py::class_<FilterOf<F>, Filter> gaborFilter(py::module_& m, const char* name, const char* doc,
                                            const char* radiusName) {
  using W = FilterOf<F>;
  auto cls = parametricFilter<F>(m, name, doc, radiusName,
                                 "Distance of the centre frequency from 0, in cycles per pixel.");
  cls.def(py::init([](PairD sigma, PairD plateau, double angle, double frequency, Size size,
                      long radius) {
            return buildFilter<F>(pairOf(sigma), pairOf(plateau), vxRadian(angle), frequency,
                                  sizeOf(size), radius);
          }),
          py::arg("sigma"), py::arg("plateau"), py::arg("angle"), py::arg("frequency"),
          py::arg("size"), py::arg("dc_removal_radius") = 0,
          "Builds the filter. sigma and plateau are (along, across) pairs and frequency in "
          "cycles per pixel; angle in radians from +x towards +y (down); size (width, "
          "height), a power of two along each axis.");
  cls.def_property(
      "sigma", [](const W& f) { return pairOf(readFilter<F, vxPair<double>>(f, [](const F& g) { return g.sigma(); })); },
      [](W& f, PairD v) {
        writeFilter<F, vxPair<double>>(f, [](F& g, const vxPair<double>& x) { g.sigma(x); }, pairOf(v));
      },
      "Gaussian widths (along, across) the direction, in cycles per pixel.");
  cls.def_property(
      "plateau",
      [](const W& f) { return pairOf(readFilter<F, vxPair<double>>(f, [](const F& g) { return g.plateau(); })); },
      [](W& f, PairD v) {
        writeFilter<F, vxPair<double>>(f, [](F& g, const vxPair<double>& x) { g.plateau(x); }, pairOf(v));
      },
      "Flat-top half widths (along, across) the direction, in cycles per pixel.");
  cls.def_property(
      "angle",
      [](const W& f) { return readFilter<F, double>(f, [](const F& g) { return g.angle().value(); }); },
      [](W& f, double v) {
        writeFilter<F, double>(f, [](F& g, const double& x) { g.angle(vxRadian(x)); }, v);
      },
      "Direction of the centre frequency, radians from +x towards +y.");
  cls.def_property_readonly(
      "support_height",
      [](const W& f) { return readFilter<F, long>(f, [](const F& g) { return g.supportHeight(); }); },
      "Height of the filter's gain table.");
  cls.def("__repr__", [name](const W& f) {
    Use use(const_cast<vxpy::UseState&>(f.use), Use::Read, "Filter");
    const F& g = f.get();
    return py::str(
               "{}(sigma={!r}, plateau={!r}, angle={!r}, frequency={!r}, size={!r}, "
               "dc_removal_radius={!r})")
        .format(name, pairOf(g.sigma()), pairOf(g.plateau()), g.angle().value(), g.frequency(),
                pairOf(g.size()), dcRadius(g));
  });
  return cls;
}

// ---------------------------------------------------------------------------
// The buffer class.

py::tuple shapeOf(const Buffer& b) { return py::make_tuple(b.buf.height(), b.buf.width()); }

// A numpy view of the storage; the capsule that owns the view counts it on the buffer.
py::array viewOf(const py::object& self) {
  Buffer& b = self.cast<Buffer&>();
  const long W = b.buf.width();  // Uninitialized for a buffer without data
  const long H = b.buf.height();
  struct Keep {
    py::object owner;
  };
  auto* keep = new Keep{self};
  ++b.views;
  py::capsule owner(keep, [](void* p) {
    auto* k = static_cast<Keep*>(p);
    --k->owner.cast<Buffer&>().views;
    delete k;
  });
  const auto item = static_cast<py::ssize_t>(sizeof(std::complex<float>));
  return py::array_t<std::complex<float>>(
      {static_cast<py::ssize_t>(H), static_cast<py::ssize_t>(W)}, {W * item, item},
      reinterpret_cast<std::complex<float>*>(b.buf.elements()), owner);
}

using ImageGetter = vxPelBuffer<double> (vxFrequencyBuffer::*)(bool) const;

void addImage(py::class_<Buffer>& cls, const char* name, ImageGetter getter, const char* what) {
  cls.def(
      name,
      [getter](Buffer& b, bool centered) {
        vxPelBuffer<double> image;
        Use use(b.use, Use::Read, "FrequencyBuffer");
        runLibrary([&] { image = (b.buf.*getter)(centered); });
        return vxpy::arrayOf(image);
      },
      py::arg("centered") = false,
      (std::string("The ") + what +
       " of every element as a float64 (H, W) array, padding included; centered puts "
       "frequency 0 at (H/2, W/2).")
          .c_str());
}

std::unique_ptr<Buffer> copyOf(Buffer& b) {
  auto c = newBuffer();
  Use use(b.use, Use::Read, "FrequencyBuffer");
  runLibrary([&] { c->buf = b.buf; });
  return c;
}

vxFrequencyDefs::FrequencyMapping mappingOf(const std::string& name) {
  if (name == "clamp") return vxFrequencyDefs::Clamp;
  if (name == "linear") return vxFrequencyDefs::Linear;
  if (name == "range") return vxFrequencyDefs::LinearRange;
  if (name == "log") return vxFrequencyDefs::Logarithmic;
  if (name == "angle") return vxFrequencyDefs::Angle;
  throw py::value_error("mapping must be 'clamp', 'linear', 'range', 'log' or 'angle', not '" +
                        name + "'");
}

py::object mapImage(const py::object& imageArg, const std::string& mapping, const py::object& lo,
                    const py::object& hi) {
  const py::array image = arrayArgument(imageArg, "image");
  const vxFrequencyDefs::FrequencyMapping rule = mappingOf(mapping);
  if (vxpy::pixelKindOf(image, "image") != PixelKind::F64)
    throw py::type_error("image must hold float64 values (as the spectrum images do)");
  double low = 0.0;
  double high = 0.0;
  if (rule == vxFrequencyDefs::LinearRange) {
    if (lo.is_none() || hi.is_none()) throw py::value_error("the 'range' mapping needs lo and hi");
    low = lo.cast<double>();
    high = hi.cast<double>();
  } else if (!lo.is_none() || !hi.is_none()) {
    throw py::value_error("lo and hi are read by the 'range' mapping only");
  }
  const vxpy::ImageView view = vxpy::viewOf(image);
  vxPelBuffer<unsigned char> result;
  runLibrary([&] {
    result = vfFrequencyMapImage(vxpy::pelBufferOf<double>(view), rule, low, high);
  });
  return vxpy::arrayOf(result);
}

}  // namespace

PYBIND11_MODULE(vxfreq, m) {
  m.doc() =
      "Two-dimensional Fourier transforms of images and frequency-domain filtering.\n\n"
      "Images are 2-D numpy arrays (height, width) of uint8, uint16 or float64; spectra are\n"
      "FrequencyBuffer objects of single-precision complex values, zero-padded to powers of\n"
      "two up to 2048 along each axis (or, with forward's padding=, padded by reflection,\n"
      "edge or mean), frequency 0 at [0, 0]. The forward transform is\n"
      "numpy's convention (exp(-2 pi i ...), unscaled). Calls release the GIL while the\n"
      "library works; Ctrl-C stops a long transform with KeyboardInterrupt.";
  py::module_::import("numpy");
  vxpy::registerErrors(m);

  py::class_<Buffer> buffer(m, "FrequencyBuffer",
                            "Single-precision complex values of a transform size W x H (powers "
                            "of two), with the size and offset of the image they came from.\n\n"
                            "numpy.asarray(buffer) is a writable complex64 (H, W) view of the "
                            "buffer's own storage; while a view exists, operations that would "
                            "give the buffer storage of another size raise BufferError.");
  buffer.def(py::init([](long width, long height) {
               if (width < 0 || height < 0)
                 throw py::value_error("width and height must not be negative");
               return std::make_unique<Buffer>(width, height);
             }),
             py::arg("width"), py::arg("height"),
             "Zeros sized for an image of width x height (transform size: the next powers "
             "of two), offset (0, 0).");
  buffer.def_property_readonly("shape", &shapeOf, "Transform size as numpy's (H, W).");
  buffer.def_property_readonly(
      "image_size", [](const Buffer& b) { return py::make_tuple(b.buf.imageWidth(), b.buf.imageHeight()); },
      "Size (w, h) of the image the inverse transforms give back.");
  buffer.def_property_readonly(
      "offset", [](const Buffer& b) { return pairOf(b.buf.imageOffset()); },
      "Offset (x, y) of that image.");
  buffer.def_property_readonly(
      "padding_margin", [](const Buffer& b) { return pairOf(vfPaddingMargin(b.buf)); },
      "Margin (x, y) left on every side of the image: (W - w) // 2 and (H - h) // 2, the "
      "margin a padded forward transform used.");
  buffer.def_property_readonly(
      "inverse_computed", [](const Buffer& b) { return b.buf.inverseComputed(); },
      "True after an in-place inverse: the buffer holds spatial samples and refuses element "
      "access (InvalidBuffer).");
  buffer.def(
      "get",
      [](Buffer& b, long x, long y, bool centered) {
        Use use(b.use, Use::Read, "FrequencyBuffer");
        const vxPair<double> v = b.buf.get(x, y, centered);
        return std::complex<double>(v.x, v.y);
      },
      py::arg("x"), py::arg("y"), py::arg("centered") = false,
      "Element (x, y) as a complex: storage indices 0 <= x < W, 0 <= y < H, or with centered "
      "signed frequencies -W/2 <= x < W/2 (likewise y).");
  buffer.def(
      "put",
      [](Buffer& b, long x, long y, std::complex<double> value, bool centered) {
        Use use(b.use, Use::Write, "FrequencyBuffer");
        b.buf.put(x, y, vxPair<double>(value.real(), value.imag()), centered);
      },
      py::arg("x"), py::arg("y"), py::arg("value"), py::arg("centered") = false,
      "Sets element (x, y) (indices as for get) to value, rounded to single precision.");
  buffer.def("copy", &copyOf, "A deep copy.");
  buffer.def("__copy__", &copyOf);
  buffer.def("__deepcopy__", [](Buffer& b, const py::object&) { return copyOf(b); }, py::arg("memo"));
  buffer.def(
      "__eq__",
      [](Buffer& a, Buffer& b) {
        Use ra(a.use, Use::Read, "FrequencyBuffer");
        std::unique_ptr<Use> rb;
        if (&a != &b) rb = std::make_unique<Use>(b.use, Use::Read, "FrequencyBuffer");
        return a.buf == b.buf;
      },
      py::is_operator(), "Same sizes, offset, flags and values (compared as floats).");
  buffer.def(
      "__array__",
      [](const py::object& self, const py::object& dtype) -> py::object {
        py::array view = viewOf(self);
        if (dtype.is_none()) return std::move(view);
        return view.attr("astype")(dtype);
      },
      py::arg("dtype") = py::none(), "The complex64 (H, W) view of the storage (numpy.asarray).");
  buffer.def("__repr__", [](const Buffer& b) {
    if (!b.buf.isInitialized()) return py::str("FrequencyBuffer(uninitialized)");
    return py::str("FrequencyBuffer(shape={!r}, image_size={!r}, offset={!r})")
        .format(shapeOf(b), py::make_tuple(b.buf.imageWidth(), b.buf.imageHeight()),
                pairOf(b.buf.imageOffset()));
  });
  buffer.def(py::pickle(
      [](Buffer& b) {
        Use use(b.use, Use::Read, "FrequencyBuffer");
        return archived([&](vxArchive& ar) { ar || b.buf; });
      },
      [](const py::bytes& state) {
        auto b = newBuffer();
        loadArchived(state, [&](vxArchive& ar) { ar || b->buf; });
        return b;
      }));
  addImage(buffer, "real_image", &vxFrequencyBuffer::getRealImage, "real part");
  addImage(buffer, "imag_image", &vxFrequencyBuffer::getImaginaryImage, "imaginary part");
  addImage(buffer, "magnitude_image", &vxFrequencyBuffer::getMagnitudeImage,
           "magnitude (single-precision square root)");
  addImage(buffer, "phase_image", &vxFrequencyBuffer::getPhaseImage, "phase, in [0, 2 pi),");
  addBinary(buffer, "__add__", "__iadd__", &vfFrequencyAdd, &vfFrequencyAdd, "+");
  addBinary(buffer, "__sub__", "__isub__", &vfFrequencySubtract, &vfFrequencySubtract, "-");
  addBinary(buffer, "__mul__", "__imul__", &vfFrequencyMultiply, &vfFrequencyMultiply, "*");
  buffer.def(
      "conj",
      [](Buffer& b) {
        auto result = newBuffer();
        Use use(b.use, Use::Read, "FrequencyBuffer");
        runLibrary([&] { vfFrequencyConjugate(b.buf, result->buf); });
        return result;
      },
      "A new buffer of the complex conjugates.");

  m.def("forward", &forward, py::arg("image"), py::arg("imag") = py::none(),
        py::arg("offset") = std::make_pair(0L, 0L), py::arg("out") = py::none(), py::kw_only(),
        py::arg("padding") = py::none(), py::arg("window") = py::none(),
        py::arg("margin") = py::none(),
        "Forward transform of a 2-D uint8, uint16 or float64 image (any strides), real or "
        "with imag (same dtype and shape) as imaginary part. The image is zero-padded to the "
        "next powers of two; its size and offset (x, y) are recorded for the inverse. Returns "
        "a new FrequencyBuffer, or fills and returns out.\n\n"
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
        "next power of two of at least the picture's side plus twice the margin, up to 2048 "
        "(see padded_transform_size). None: an eighth of each side, rounded up, with a "
        "padding named; none with padding=None.\n"
        "The inverses need nothing more: they give the picture back at its recorded size "
        "and offset, the padding dropped. Filters are built for the buffer's larger size.");
  m.def(
      "padded_transform_size",
      [](long width, long height, const py::object& margin) {
        return pairOf(vfPaddedTransformSize(width, height, marginOf(margin, -1)));
      },
      py::arg("width"), py::arg("height"), py::arg("margin") = py::none(),
      "The transform size (W, H), width first, that forward gives a picture of width x "
      "height pixels (1 to 2048 each) with a padding named and this margin (None: an "
      "eighth of each side, rounded up).");
  m.def(
      "forward_fft",
      [](Buffer& buf, const py::object& out) { return bufferTransform(buf, out, false, false); },
      py::arg("buf"), py::arg("out") = py::none(),
      "Forward transform of a buffer's values into a new buffer (or out).");
  m.def(
      "inverse_fft",
      [](Buffer& buf, const py::object& out, bool inPlace) {
        return bufferTransform(buf, out, true, inPlace);
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
  defInverse<InverseOp>(m, "inverse", inverseDoc);
  defInverse<InverseAngleOp>(
      m, "inverse_angle",
      "As inverse, returning (image, angle): angle the float64 atan2 of each result value.");
  defInverse<InverseQuadrantOp>(
      m, "inverse_quadrant",
      "As inverse, returning (image, quadrant): quadrant uint8, bit 0 set where the real "
      "part is below 0, bit 1 where the imaginary part is.");
  m.def(
      "inverse_complex",
      [](Buffer& b, bool inPlace) {
        vxPelBuffer<double> real;
        vxPelBuffer<double> imag;
        inverseOn(b, inPlace, [&](vxFrequencyBuffer& buf) { vfInverseFFT(buf, real, imag, inPlace); });
        return py::make_tuple(vxpy::arrayOf(real), vxpy::arrayOf(imag));
      },
      py::arg("buf"), py::arg("in_place") = false,
      "Inverse transform to (real, imag) float64 images of the recorded size, scaled by "
      "1/(W*H).");
  py::class_<vxpy::Parallel> parallel(
      m, "parallel",
      "with vxfreq.parallel(threads): runs the library calls made inside the block, on the "
      "thread that entered it, on a pool of that many threads (the calling thread and "
      "threads - 1 more, started on entering and stopped on leaving). Transforms, filters, "
      "images and arithmetic split their rows over the pool; the results are the same bits "
      "whatever the number of threads. Blocks nest, the innermost deciding; other threads "
      "are not affected (each enters its own block). The GIL is released during the calls "
      "as outside a block, and Ctrl-C stops them the same way.");
  parallel.def(py::init([](const py::object& threads) {
                 const std::string accepted =
                     "threads must be an integer from 1 to " + std::to_string(kMaxThreads);
                 return std::make_unique<vxpy::Parallel>(
                     integerOf(threads, 1, kMaxThreads, false, accepted));
               }),
               py::arg("threads"),
               "A block whose pool has threads threads in all (1 to 256), the calling thread "
               "included.");
  parallel.def_property_readonly("threads", &vxpy::Parallel::threads,
                                 "Threads of the pool, the calling thread included.");
  parallel.def_property_readonly("entered", &vxpy::Parallel::entered,
                                 "True between entering and leaving the block.");
  parallel.def(
      "__enter__",
      [](const py::object& self) {
        self.cast<vxpy::Parallel&>().enter();
        return self;
      },
      "Starts the pool; the calls of this thread use it until the block is left. A block "
      "is entered once at a time (RuntimeError otherwise).");
  parallel.def(
      "__exit__",
      [](vxpy::Parallel& p, const py::object&, const py::object&, const py::object&) {
        p.exit();
        return false;
      },
      py::arg("exc_type"), py::arg("exc_value"), py::arg("traceback"),
      "Stops the pool, on the thread that entered the block (RuntimeError otherwise); "
      "exceptions pass on.");
  parallel.def("__repr__", [](const vxpy::Parallel& p) {
    return py::str("vxfreq.parallel({})").format(p.threads());
  });
  m.def("current_threads", &vxpy::threadsHere,
        "Threads the library calls of this thread use: those of the innermost "
        "vxfreq.parallel block it has entered, 1 outside any.");

  m.def("map_image", &mapImage, py::arg("image"), py::arg("mapping") = "log",
        py::arg("lo") = py::none(), py::arg("hi") = py::none(),
        "A float64 image mapped to a new uint8 image: 'clamp' (to 0..255), 'linear' (range "
        "of the image), 'range' (lo..hi, saturated), 'log' (natural logarithm, range of the "
        "image) or 'angle' (radians in [0, 2 pi) to 0..254).");

  py::class_<Filter> filter(m, "Filter",
                            "Base of the filters. A filter is built for one transform size and "
                            "applied to buffers of exactly that size.");
  filter.def("apply", &applyFilter, py::arg("buf"), py::arg("out") = py::none(),
             "Filters buf in place, or with out writes the filtered buf into out (sized to "
             "buf's transform size).");

  std::string bandDoc = std::string(
                            "Rotationally symmetric band filter around the ring of radius "
                            "frequency: gain 1 within plateau of the ring, Gaussian flanks of "
                            "width sigma beyond. ") +
                        kSizeDoc;
  bandFilter<vxFrequencyFilterBandPass>(
      m, "BandPass", (bandDoc + " The band-pass keeps the ring and zeroes the rest.").c_str(),
      "dc_removal_radius");
  bandFilter<vxFrequencyFilterBandReject>(
      m, "BandReject",
      (bandDoc + " The band-reject removes the ring and keeps the rest; its DC radius "
                 "protects the square around 0 (also dc_protection_radius).")
          .c_str(),
      "dc_protection_radius");
  std::string gaborDoc = std::string(
                             "Oriented filter around one centre frequency (one lobe): flat "
                             "top and Gaussian flanks along and across the direction angle. ") +
                         kSizeDoc;
  gaborFilter<vxFrequencyFilterGabor>(
      m, "Gabor", (gaborDoc + " The Gabor filter keeps that lobe and zeroes the rest.").c_str(),
      "dc_removal_radius");
  gaborFilter<vxFrequencyFilterGaborReject>(
      m, "GaborReject",
      (gaborDoc + " The Gabor-reject filter removes the lobe and keeps the rest; its DC "
                  "radius protects the square around 0 (also dc_protection_radius).")
          .c_str(),
      "dc_protection_radius");

  using ImageFilter = FilterOf<vxFrequencyFilterImage>;
  py::class_<ImageFilter, Filter> image(
      m, "ImageFilter",
      "A filter whose transfer function is a FrequencyBuffer: apply multiplies element by "
      "element as complex numbers (for example by the transform of a kernel: convolution).");
  image.def(py::init([](Buffer& b) {
              Use use(b.use, Use::Read, "FrequencyBuffer");
              return buildFilter<vxFrequencyFilterImage>(std::cref(b.buf));
            }),
            py::arg("buf"), "Builds from a copy of buf.");
  image.def_property_readonly(
      "size",
      [](const ImageFilter& f) {
        Use use(const_cast<vxpy::UseState&>(f.use), Use::Read, "Filter");
        return py::make_tuple(f.get().supportWidth(), f.get().supportHeight());
      },
      "Transform size (width, height) of the filter image.");
  image.def(
      "__eq__", [](const ImageFilter& a, const ImageFilter& b) { return a.get() == b.get(); },
      py::is_operator());
  image.def(py::pickle([](const ImageFilter& f) { return filterState(f); },
                       [](const py::bytes& s) { return filterFromState<vxFrequencyFilterImage>(s); }));
  image.def("__repr__", [](const ImageFilter& f) {
    return py::str("ImageFilter(size=({}, {}))").format(f.get().supportWidth(), f.get().supportHeight());
  });
}
