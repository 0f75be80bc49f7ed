// The stacks behind vxfreq.fft: one call transforms every picture of a 3-D array
// (pictures, rows, values), read and written where numpy keeps them, through the
// library's stack calls (stack.h), always at the pictures' own size in the extended
// mode, whatever block the caller is in. vxfreq/fft.py arranges any array, axes and
// lengths into such stacks.
#include "bindings.h"
#include "python_support.h"

#include "filt/extended.h"
#include "filt/parallel.h"
#include "filt/stack.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <complex>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vxpy {

namespace {

using Cf = std::complex<float>;
using Cd = std::complex<double>;

// What a stack call does.
enum class Op { RealForward = 0, Forward = 1, Inverse = 2, RealInverse = 3 };

// The layout of a 3-D array, strides in elements; ValueError for strides that are not
// whole elements (numpy allows them for unaligned views).
vxStackLayout layoutOf(const py::array& a, const char* name) {
  if (a.ndim() != 3)
    throw py::value_error(std::string(name) + " must have 3 dimensions (pictures, rows, values)");
  const auto item = static_cast<py::ssize_t>(a.itemsize());
  for (int i = 0; i < 3; ++i)
    if (a.strides(i) % item != 0)
      throw py::value_error(std::string(name) + " has strides that are not whole elements");
  return vxStackLayout(static_cast<long>(a.shape(0)), static_cast<long>(a.shape(2)),
                       static_cast<long>(a.shape(1)), static_cast<long>(a.strides(0) / item),
                       static_cast<long>(a.strides(1) / item),
                       static_cast<long>(a.strides(2) / item));
}

// The pool of `threads` threads that workers= asks for, made at the first call that
// asks for that many and kept (the GIL guards the map).
vxThreadPool& poolOf(long threads) {
  static auto* pools = new std::map<long, std::unique_ptr<vxThreadPool>>();
  auto& pool = (*pools)[threads];
  if (pool == nullptr) pool = std::make_unique<vxThreadPool>(threads);
  return *pool;
}

template <class T>
bool holds(const py::array& a) {
  return py::isinstance<py::array_t<T>>(a);
}

[[noreturn]] void unsupported(const char* name, const py::array& a, const char* takes) {
  throw py::type_error(std::string(name) + " must be " + takes + ", not " +
                       py::str(a.dtype()).cast<std::string>());
}

// Runs the stack call `op` from `x` into `out` (see fft.py's _stack), times `scale`,
// with `workers` threads (0: those of the caller's vxfreq.parallel block, or 1 outside one).
void stack(int opCode, const py::array& x, py::array& out, double scale, long workers) {
  const auto op = static_cast<Op>(opCode);
  const vxStackLayout in = layoutOf(x, "x");
  const vxStackLayout to = layoutOf(out, "out");
  if (!out.writeable()) throw py::value_error("out must be writable");
  const auto s = static_cast<float>(scale);
  vxThreadPool* pool = workers >= 1 ? &poolOf(workers) : nullptr;
  const void* src = x.data();
  // The values the call transforms tell short work, run where it is called, from long.
  const long elements = std::max(in.count * in.width * in.height, to.count * to.width * to.height);
  auto run = [&](auto&& call) {
    runLibrary(
        [&] {
          const vxExtendedScope extended(true);
          std::optional<vxParallelScope> parallel;
          if (pool != nullptr) parallel.emplace(*pool);
          call();
        },
        elements);
  };
  switch (op) {
    case Op::RealForward: {
      if (!holds<Cf>(out)) unsupported("out", out, "complex64");
      auto* dst = static_cast<Cf*>(out.mutable_data());
      auto forward = [&](auto* samples) {
        run([&] { vfForwardFFTStack(samples, in, dst, to, s); });
      };
      if (holds<float>(x))
        forward(static_cast<const float*>(src));
      else if (holds<double>(x))
        forward(static_cast<const double*>(src));
      else if (holds<std::uint8_t>(x))
        forward(static_cast<const unsigned char*>(src));
      else if (holds<std::uint16_t>(x))
        forward(static_cast<const unsigned short*>(src));
      else
        unsupported("x", x, "float32, float64, uint8 or uint16");
      return;
    }
    case Op::Forward:
    case Op::Inverse: {
      if (!holds<Cf>(out)) unsupported("out", out, "complex64");
      auto* dst = static_cast<Cf*>(out.mutable_data());
      const bool inverse = op == Op::Inverse;
      if (holds<Cf>(x))
        run([&] { vfComplexFFTStack(static_cast<const Cf*>(src), in, dst, to, inverse, s); });
      else if (holds<Cd>(x))
        run([&] { vfComplexFFTStack(static_cast<const Cd*>(src), in, dst, to, inverse, s); });
      else
        unsupported("x", x, "complex64 or complex128");
      return;
    }
    case Op::RealInverse: {
      auto inverse = [&](auto* spectra) {
        if (holds<float>(out)) {
          auto* dst = static_cast<float*>(out.mutable_data());
          run([&] { vfInverseFFTRealStack(spectra, in, dst, to, s); });
        } else if (holds<double>(out)) {
          auto* dst = static_cast<double*>(out.mutable_data());
          run([&] { vfInverseFFTRealStack(spectra, in, dst, to, s); });
        } else {
          unsupported("out", out, "float32 or float64");
        }
      };
      if (holds<Cf>(x))
        inverse(static_cast<const Cf*>(src));
      else if (holds<Cd>(x))
        inverse(static_cast<const Cd*>(src));
      else
        unsupported("x", x, "complex64 or complex128");
      return;
    }
  }
  throw py::value_error("unknown stack transform " + std::to_string(opCode));
}

}  // namespace

void bindFft(py::module_& m) {
  m.def("_stack", &stack, py::arg("op"), py::arg("x"), py::arg("out"), py::arg("scale"),
        py::arg("workers"),
        "Transforms every picture of the 3-D array x (pictures, rows, values) into out, "
        "times scale: op 0 real pictures to spectra (out as wide as x, or half as wide "
        "plus one), 1 and 2 the forward and inverse complex transforms, 3 spectra (whole or "
        "halves) to real pictures. workers >= 1 runs them on a pool of that "
        "many threads; 0 uses the caller's vxfreq.parallel block.");
}

}  // namespace vxpy
