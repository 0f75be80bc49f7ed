// Images between numpy arrays and pixel buffers: pixel kinds, views of any strides,
// copies into buffers, arrays that own a buffer's pixels, and results written into `out`.
#include "python_support.h"

#include <pybind11/complex.h>

#include <algorithm>
#include <complex>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

namespace vxpy {

// ---------------------------------------------------------------------------
// Images.

void requirePictureShape(const py::array& image, const char* name) {
  if (image.ndim() != 2)
    throw py::value_error(std::string(name) + " must be a 2-D array (height, width), not " +
                          std::to_string(image.ndim()) + "-D");
}

PixelKind pixelKindOf(const py::array& image, const char* name) {
  requirePictureShape(image, name);
  if (py::isinstance<py::array_t<std::uint8_t>>(image)) return PixelKind::U8;
  if (py::isinstance<py::array_t<std::uint16_t>>(image)) return PixelKind::U16;
  if (py::isinstance<py::array_t<double>>(image)) return PixelKind::F64;
  if (py::isinstance<py::array_t<float>>(image)) return PixelKind::F32;
  if (py::isinstance<py::array_t<std::complex<float>>>(image)) return PixelKind::C64;
  if (py::isinstance<py::array_t<std::complex<double>>>(image)) return PixelKind::C128;
  throw py::type_error(std::string(name) +
                       " must hold uint8, uint16, float32, float64, complex64 or complex128 "
                       "values in the machine's byte order, not " +
                       py::repr(static_cast<const py::handle&>(image.dtype())).cast<std::string>());
}

PixelKind pixelKindOfDtype(const py::object& dtype) {
  const py::dtype d = py::dtype::from_args(dtype);
  if (d.kind() == 'u' && d.itemsize() == 1) return PixelKind::U8;
  if (d.kind() == 'u' && d.itemsize() == 2) return PixelKind::U16;
  if (d.kind() == 'f' && d.itemsize() == 8) return PixelKind::F64;
  throw py::type_error("dtype must be numpy.uint8, numpy.uint16 or numpy.float64, not " +
                       py::repr(static_cast<const py::handle&>(d)).cast<std::string>());
}

ImageView viewOf(const py::array& image) {
  ImageView v;
  v.data = static_cast<const char*>(image.data());
  v.height = static_cast<long>(image.shape(0));
  v.width = static_cast<long>(image.shape(1));
  v.rowStride = image.strides(0);
  v.pixelStride = image.strides(1);
  return v;
}

template <class T>
void copyPixels(const ImageView& view, vxPelBuffer<T>& image) {
  if (!image.isBound() || image.width() != view.width || image.height() != view.height)
    image = vxPelBuffer<T>(view.width, view.height, 32);
  for (long y = 0; y < view.height; ++y) {
    const char* row = view.data + y * view.rowStride;
    T* out = &image.at(0, y);
    if (view.pixelStride == static_cast<py::ssize_t>(sizeof(T))) {
      std::memcpy(out, row, sizeof(T) * static_cast<std::size_t>(view.width));
    } else {
      for (long x = 0; x < view.width; ++x)
        std::memcpy(out + x, row + x * view.pixelStride, sizeof(T));
    }
  }
}

// The capsules that own the pixels of arrays made here, one name per pixel type, so
// that an `out` array can be recognised as one of them.
template <class T>
const char* capsuleName();
template <>
const char* capsuleName<std::uint8_t>() {
  return "vxfreq.pixels.uint8";
}
template <>
const char* capsuleName<std::uint16_t>() {
  return "vxfreq.pixels.uint16";
}
template <>
const char* capsuleName<double>() {
  return "vxfreq.pixels.float64";
}

template <class T>
py::array arrayOf(const vxPelBuffer<T>& image) {
  auto* keep = new vxPelBuffer<T>(image);  // shares the pixels; the capsule owns it
  py::capsule owner(keep, capsuleName<T>(), [](PyObject* o) {
    delete static_cast<vxPelBuffer<T>*>(PyCapsule_GetPointer(o, capsuleName<T>()));
  });
  const auto size = static_cast<py::ssize_t>(sizeof(T));
  return py::array_t<T>(
      {static_cast<py::ssize_t>(image.height()), static_cast<py::ssize_t>(image.width())},
      {static_cast<py::ssize_t>(image.stride()) * size, size}, image.pointToOffset(), owner);
}

template <class T>
OutImage<T>::OutImage(const py::object& out, long width, long height, const char* name, int slot,
                      bool scratch)
    : out_(out) {
  thread_local vxPelBuffer<T> keptImages[2];
  vxPelBuffer<T>& kept = keptImages[slot & 1];
  auto useKept = [&] {
    if (!kept.isBound() || kept.width() != width || kept.height() != height)
      kept = vxPelBuffer<T>(width, height, 32);
    image_ = kept;
  };
  if (out.is_none()) {
    if (scratch) useKept();
    return;
  }
  if (!py::isinstance<py::array>(out))
    throw py::type_error(std::string(name) + " must be None or a numpy array, not " +
                         typeName(out));
  const py::array target = out.cast<py::array>();
  const py::dtype want = py::dtype::of<T>();
  if (!target.dtype().is(want) && !target.dtype().equal(want))
    throw py::type_error(
        std::string(name) + " must hold " +
        py::str(static_cast<const py::handle&>(want)).cast<std::string>() + " values, not " +
        py::str(static_cast<const py::handle&>(target.dtype())).cast<std::string>());
  if (target.ndim() != 2 || target.shape(0) != height || target.shape(1) != width)
    throw py::value_error(std::string(name) + " must have the result's shape (" +
                          std::to_string(height) + ", " + std::to_string(width) + ")");
  if (!target.writeable()) throw py::value_error(std::string(name) + " must be writable");
  // An array of this module's: the library writes its pixels.
  const py::object base = target.attr("base");
  if (!base.is_none() && PyCapsule_CheckExact(base.ptr()) &&
      PyCapsule_IsValid(base.ptr(), capsuleName<T>())) {
    const auto* pixels =
        static_cast<vxPelBuffer<T>*>(PyCapsule_GetPointer(base.ptr(), capsuleName<T>()));
    if (pixels->pointToOffset() == target.data() && pixels->width() == width &&
        pixels->height() == height) {
      image_ = *pixels;
      return;
    }
  }
  foreign_ = true;
  useKept();
}

template <class T>
void OutImage<T>::placeAt(vxPair<long> offset) {
  if (image_.isBound()) image_.offset(offset);
}

template <class T>
py::object OutImage<T>::result() {
  if (out_.is_none()) return arrayOf(image_);
  if (foreign_) {
    py::array target = out_.cast<py::array>();
    char* data = static_cast<char*>(target.mutable_data());
    for (long y = 0; y < image_.height(); ++y) {
      char* row = data + y * target.strides(0);
      const T* from = &image_.at(0, y);
      if (target.strides(1) == static_cast<py::ssize_t>(sizeof(T))) {
        std::memcpy(row, from, sizeof(T) * static_cast<std::size_t>(image_.width()));
      } else {
        for (long x = 0; x < image_.width(); ++x)
          std::memcpy(row + x * target.strides(1), from + x, sizeof(T));
      }
    }
  }
  return out_;
}

template class OutImage<std::uint8_t>;
template class OutImage<std::uint16_t>;
template class OutImage<double>;

template void copyPixels<std::uint8_t>(const ImageView&, vxPelBuffer<std::uint8_t>&);
template void copyPixels<std::uint16_t>(const ImageView&, vxPelBuffer<std::uint16_t>&);
template void copyPixels<double>(const ImageView&, vxPelBuffer<double>&);
template py::array arrayOf<std::uint8_t>(const vxPelBuffer<std::uint8_t>&);
template py::array arrayOf<std::uint16_t>(const vxPelBuffer<std::uint16_t>&);
template py::array arrayOf<double>(const vxPelBuffer<double>&);

}  // namespace vxpy
