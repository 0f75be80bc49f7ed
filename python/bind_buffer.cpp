// FrequencyBuffer: a buffer's sizes, elements and numpy views of its storage, the
// spectrum images, arithmetic, copies, comparison and pickling.
#include "bindings.h"
#include "filt/common/messages.h"
#include "python_support.h"

#include "filt/padding.h"

#include <pybind11/complex.h>
#include <pybind11/stl.h>

#include <complex>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace vxpy {

namespace {

// The transform size as numpy's (H, W).
py::tuple shapeOf(const Buffer& b) { return py::make_tuple(b.buf.height(), b.buf.width()); }

// A numpy view of the storage; the capsule that owns the view counts it on the buffer.
py::array storageView(const py::object& self) {
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

using ImageGetter = void (vxFrequencyBuffer::*)(bool, vxPelBuffer<double>&) const;

void addImage(py::class_<Buffer>& cls, const char* name, ImageGetter getter, const char* what) {
  cls.def(
      name,
      [getter, name](const py::object& self, const py::object& centeredArg, const py::object& out) {
        return publicCall(
            [&] { return memberLabel(self, name) + "()"; },
            [&] {
              Buffer& b = self.cast<Buffer&>();
              const bool centered = flagArg(centeredArg, "centered");
              const long W = b.buf.width();  // Uninitialized for a buffer without data
              OutImage<double> image(out, W, b.buf.height(), "out");
              Use use(b.use, Use::Read, "FrequencyBuffer");
              runLibrary([&] { (b.buf.*getter)(centered, image.image()); }, elementsOf(b.buf));
              return image.result();
            });
      },
      py::arg("centered") = false, py::arg("out") = py::none(),
      (std::string("The ") + what +
       " of every element as a float64 (H, W) array, padding included; centered puts "
       "frequency 0 at (H/2, W/2). Into out when given (a float64 array of that shape).")
          .c_str());
}

std::unique_ptr<Buffer> copyOf(Buffer& b) {
  auto c = newBuffer();
  Use use(b.use, Use::Read, "FrequencyBuffer");
  runLibrary([&] { c->buf = b.buf; }, elementsOf(b.buf));
  c->norm = b.norm;
  return c;
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
  withSizes([&] { runLibrary([&] { op(a.buf, b.buf, result->buf); }, elementsOf(a.buf)); },
            [&] { return sizeText(a.buf) + " and " + sizeText(b.buf) + " buffers"; });
  // The scaling of the left operand (a spectrum times a kernel's transform keeps the
  // spectrum's), else the right one's.
  result->norm = a.norm != Norm::None ? a.norm : b.norm;
  return result;
}

// self = self (op) other, through the library's accumulating form `op(other, self)`.
py::object accumulate(const py::object& self, Buffer& other, AccumulateOp op) {
  Buffer& s = self.cast<Buffer&>();
  withSizes(
      [&] { readInto(other, s, [&](vxFrequencyBuffer& o, vxFrequencyBuffer& t) { op(o, t); }); },
      [&] { return sizeText(s.buf) + " and " + sizeText(other.buf) + " buffers"; });
  if (s.norm == Norm::None) s.norm = other.norm;
  return self;
}

void addBinary(py::class_<Buffer>& cls, const char* name, const char* iname, BinaryOp op,
               AccumulateOp acc, const char* sign) {
  cls.def(
      name, [op](Buffer& a, Buffer& b) { return binary(a, b, op); }, py::is_operator(),
      (std::string("A new buffer: self ") + sign +
       " other, element by element in single "
       "precision (buffers of one transform size).")
          .c_str());
  cls.def(
      iname, [acc](const py::object& self, Buffer& b) { return accumulate(self, b, acc); },
      py::is_operator(), (std::string("In place: self = self ") + sign + " other.").c_str());
}

// FrequencyBuffer.from_array: the values copied into a new buffer of their size, the
// picture's placement recorded.
std::unique_ptr<Buffer> fromArray(const py::object& values, const py::object& imageSize,
                                  const py::object& offsetArg, const py::object& normArg) {
  const Norm norm = normOf(normArg);
  const Size offset = integerPairArg(offsetArg, "offset", "an (x, y) pair of integers");
  using Values = py::array_t<std::complex<float>, py::array::c_style | py::array::forcecast>;
  const py::array given = py::array::ensure(values);
  if (!given) refuse("values", "a 2-D array of numbers", values);
  // What is not an array and does not convert to numbers is the wrong type, whatever
  // its shape.
  const std::string numbers = "biufc";
  if (!py::isinstance<py::array>(values) && numbers.find(given.dtype().kind()) == std::string::npos)
    refuse("values", "a 2-D array of numbers", values);
  if (given.ndim() != 2)
    throw py::value_error("values must be a 2-D array (H, W), not " + std::to_string(given.ndim()) +
                          "-D");
  const char kind = given.dtype().kind();
  if (kind != 'c' && kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b')
    throw py::type_error(
        "values must hold numbers, not " +
        py::repr(static_cast<const py::handle&>(given.dtype())).cast<std::string>());
  const long H = static_cast<long>(given.shape(0));
  const long W = static_cast<long>(given.shape(1));
  if (W == 0 || H == 0) throw py::value_error("values must not be empty");
  {
    ModeScope mode;
    const vxPair<long> size = vfTransformSize(W, H);
    if (size.x != W || size.y != H)
      throw py::value_error(
          "values must have sides the mode transforms (1 to 16384; powers of two up to "
          "2048 in vxfreq.compatible()), not (" +
          std::to_string(H) + ", " + std::to_string(W) + ")");
  }
  Size picture(W, H);
  if (!imageSize.is_none())
    picture = integerPairArg(imageSize, "image_size", "None or a (w, h) pair of integers");
  const Values array = Values::ensure(given);
  if (!array) throw py::error_already_set();
  std::unique_ptr<Buffer> b;
  const float* source = reinterpret_cast<const float*>(array.data());
  const auto place = [&] {
    return "image_size " + sizeText(picture.first, picture.second) + ", transform size " +
           sizeText(W, H);
  };
  withSizes(
      [&] {
        runLibrary(
            [&] {
              b = std::make_unique<Buffer>(W, H);
              std::memcpy(b->buf.elements(), source,
                          sizeof(float) * 2 * static_cast<std::size_t>(W * H));
              vfSetImagePlacement(b->buf, picture.first, picture.second,
                                  vxPair<long>(offset.first, offset.second));
            },
            W * H);
      },
      place);
  b->norm = norm;
  return b;
}

}  // namespace

void bindBuffer(py::module_& m) {
  py::class_<Buffer> buffer(m, "FrequencyBuffer",
                            "Single-precision complex values of a transform size W x H (any "
                            "sides up to 16384; powers of two in vxfreq.compatible()), with the "
                            "size and offset of the image they came from.\n\n"
                            "numpy.asarray(buffer) is a writable complex64 (H, W) view of the "
                            "buffer's own storage; while a view exists, operations that would "
                            "give the buffer storage of another size raise BufferError.\n\n"
                            "As a numpy array of complex64 values: buf[y, x] (numpy.complex64; "
                            "negative indices from the end; slices are views) and assignment "
                            "to it, buf.dtype, and arithmetic with numbers and arrays (buf * 2, "
                            "2 * buf, buf + 1j, buf / 2, and in place) as numpy does it on the "
                            "values, into a buffer of the same size, placement and norm. "
                            "Between buffers, +, - and * are the library's operations. len() "
                            "and iteration are refused: a spectrum has two sides.");
  buffer.def(py::init([](const py::object& widthArg, const py::object& heightArg) {
               return publicCall("FrequencyBuffer()", [&] {
                 const long width = integerArg(widthArg, "width");
                 const long height = integerArg(heightArg, "height");
                 if (width < 0 || height < 0)
                   throw py::value_error("width and height must not be negative");
                 ModeScope mode;
                 return std::make_unique<Buffer>(width, height);
               });
             }),
             py::arg("width"), py::arg("height"),
             "Zeros sized for an image of width x height (transform size: the image's own; "
             "the next powers of two in vxfreq.compatible()), offset (0, 0).");
  buffer.def_property_readonly("shape", &shapeOf, "Transform size as numpy's (H, W).");
  buffer.def_property_readonly(
      "image_size",
      [](const Buffer& b) { return py::make_tuple(b.buf.imageWidth(), b.buf.imageHeight()); },
      "Size (w, h) of the image the inverse transforms give back.");
  buffer.def_property_readonly(
      "offset", [](const Buffer& b) { return pairOf(b.buf.imageOffset()); },
      "Offset (x, y) of that image.");
  buffer.def_property_readonly(
      "padding_margin", [](const Buffer& b) { return pairOf(vfPaddingMargin(b.buf)); },
      "Margin (x, y) a padded forward transform left on every side of the image, (W - w) // "
      "2 and (H - h) // 2; (0, 0) for every other buffer.");
  buffer.def_property_readonly(
      "norm", [](const Buffer& b) { return normName(b.norm); },
      "The scaling of the values that forward's norm= recorded: 'backward' (unscaled), "
      "'ortho' or 'forward', as numpy's; None when none was recorded (a buffer made "
      "otherwise). inverse and inverse_complex follow it unless told otherwise. Copies "
      "and pickles keep it; arithmetic takes the left operand's (or the right's when the "
      "left has none), filters keep it.");
  buffer.def(
      "_record_norm", [](Buffer& b, const py::object& norm) { b.norm = normOf(norm); },
      py::arg("norm"), "Records norm (None, 'backward', 'ortho' or 'forward').");
  buffer.def_property_readonly(
      "inverse_computed", [](const Buffer& b) { return b.buf.inverseComputed(); },
      "True after an in-place inverse: the buffer holds spatial samples and refuses element "
      "access (InvalidBuffer).");
  buffer.def(
      "get",
      [](Buffer& b, const py::object& x, const py::object& y, const py::object& centered) {
        return publicCall("FrequencyBuffer.get()", [&] {
          const long ix = integerArg(x, "x");
          const long iy = integerArg(y, "y");
          const bool c = flagArg(centered, "centered");
          Use use(b.use, Use::Read, "FrequencyBuffer");
          const vxPair<double> v = b.buf.get(ix, iy, c);
          return std::complex<double>(v.x, v.y);
        });
      },
      py::arg("x"), py::arg("y"), py::arg("centered") = false,
      "Element (x, y) as a complex: storage indices 0 <= x < W, 0 <= y < H, or with centered "
      "signed frequencies -W/2 <= x < W/2 (likewise y).");
  buffer.def(
      "put",
      [](Buffer& b, const py::object& x, const py::object& y, const py::object& valueArg,
         const py::object& centered) {
        publicCall("FrequencyBuffer.put()", [&] {
          const long ix = integerArg(x, "x");
          const long iy = integerArg(y, "y");
          const std::complex<double> value = complexArg(valueArg, "value");
          const bool c = flagArg(centered, "centered");
          Use use(b.use, Use::Write, "FrequencyBuffer");
          b.buf.put(ix, iy, vxPair<double>(value.real(), value.imag()), c);
        });
      },
      py::arg("x"), py::arg("y"), py::arg("value"), py::arg("centered") = false,
      "Sets element (x, y) (indices as for get) to value, rounded to single precision.");
  buffer.def("copy", &copyOf, "A deep copy.");
  buffer.def("__copy__", &copyOf);
  buffer.def(
      "__deepcopy__", [](Buffer& b, const py::object&) { return copyOf(b); }, py::arg("memo"));
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
      [](const py::object& self, const py::object& dtype, const py::object& copy) -> py::object {
        return publicCall("FrequencyBuffer.__array__()", [&]() -> py::object {
          py::array view = storageView(self);
          const bool converts =
              !dtype.is_none() && !py::dtype::from_args(dtype).equal(view.dtype());
          // numpy's protocol: copy=True always copies, copy=False never does (ValueError
          // where only a copy can give the dtype), None copies only for another dtype.
          if (!copy.is_none() && !flagArg(copy, "copy")) {
            if (converts)
              throw py::value_error(
                  "Unable to avoid copy while creating an array as requested: the "
                  "FrequencyBuffer's storage is complex64, not " +
                  py::str(py::dtype::from_args(dtype)).cast<std::string>());
            return std::move(view);
          }
          if (converts) return view.attr("astype")(dtype);
          if (!copy.is_none()) return view.attr("copy")();
          return std::move(view);
        });
      },
      py::arg("dtype") = py::none(), py::arg("copy") = py::none(),
      "The complex64 (H, W) view of the storage (numpy.asarray), as numpy's protocol "
      "asks: another dtype, or copy=True, gives a copy; copy=False refuses another dtype "
      "(ValueError).");
  buffer.def_property_readonly(
      "dtype", [](const py::object&) { return py::dtype::of<std::complex<float>>(); },
      "numpy.dtype('complex64'): the values are single-precision complex numbers.");
  buffer.def(
      "_check_spectrum",
      [](const Buffer& b) {
        const long W = b.buf.width();  // Uninitialized for a buffer without data
        if (W > 0 && b.buf.inverseComputed())
          throw vxFrequencyDefs::InvalidBuffer(vx_detail::msg::kInverseComputed);
      },
      "InvalidBuffer unless the buffer holds a spectrum (Uninitialized without data).");
  buffer.def_static(
      "from_array",
      [](const py::object& values, const py::object& imageSize, const py::object& offset,
         const py::object& norm) {
        return publicCall("FrequencyBuffer.from_array()",
                          [&] { return fromArray(values, imageSize, offset, norm); });
      },
      py::arg("values"), py::arg("image_size") = py::none(),
      py::arg("offset") = py::make_tuple(0, 0), py::kw_only(), py::arg("norm") = py::none(),
      "A new buffer holding values, a 2-D (H, W) array of complex numbers (real "
      "numbers have imaginary part 0) of sides the mode transforms (1 to 16384; "
      "powers of two up to 2048 in vxfreq.compatible()), rounded to complex64; as "
      "numpy.fft.fft2's result, "
      "frequency 0 at [0, 0]. image_size (w, h), 1 up to (W, H) along each "
      "axis (None: (W, H)), and offset (x, y) are the picture the inverses "
      "give back. norm (None, 'backward', 'ortho' or 'forward') records the scaling of "
      "the values, as forward's norm= does; None records none, and the inverses take "
      "theirs.");
  buffer.def(
      "to_numpy",
      [](const py::object& self, const py::object& dtype) {
        return publicCall("FrequencyBuffer.to_numpy()", [&] {
          const char* const accepted = "None, numpy.complex64 or numpy.complex128";
          py::dtype want = py::dtype::of<std::complex<float>>();
          if (!dtype.is_none()) {
            try {
              want = py::dtype::from_args(dtype);
            } catch (const py::error_already_set&) {
              refuse("dtype", accepted, dtype);
            }
            if (want.kind() != 'c' || want.itemsize() > 16)
              throw py::type_error(
                  std::string("dtype must be ") + accepted + ", not " +
                  py::repr(static_cast<const py::handle&>(want)).cast<std::string>());
          }
          return storageView(self).attr("astype")(want);
        });
      },
      py::arg("dtype") = py::none(),
      "A new (H, W) array of the values (a copy; numpy.asarray(buffer) is the view without "
      "a copy): complex64, or with dtype=numpy.complex128 widened to double precision. "
      "The values were computed in single precision, so the widened ones are no more "
      "accurate; they save a conversion where complex128 arithmetic follows.");
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
        runLibrary([&] { vfFrequencyConjugate(b.buf, result->buf); }, elementsOf(b.buf));
        result->norm = b.norm;
        return result;
      },
      "A new buffer of the complex conjugates.");
}

}  // namespace vxpy
