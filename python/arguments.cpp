// Helpers of arguments, results and pickles that several bindings use.
#include "python_support.h"

#include <sstream>
#include <string>

namespace vxpy {

// ---------------------------------------------------------------------------
// Arguments, results and pickles.

std::string typeName(const py::handle& object) {
  return py::str(py::type::of(object).attr("__name__")).cast<std::string>();
}

py::tuple pairOf(const vxPair<long>& p) { return py::make_tuple(p.x, p.y); }
py::tuple pairOf(const vxPair<double>& p) { return py::make_tuple(p.x, p.y); }

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

Sizing sizingOf(const py::object& size) {
  const char* const accepted =
      "size must be None, 'own', 'fast', 'pow2' or a shape (H, W) of sides from 1 to 16384";
  Sizing s;
  if (size.is_none()) return s;
  if (py::isinstance<py::str>(size)) {
    const std::string name = size.cast<std::string>();
    if (name == "own") return s;
    if (name == "fast") {
      s.rule = vxSizeRule::NextFastSize;
      return s;
    }
    if (name == "pow2") {
      s.rule = vxSizeRule::NextPowerOfTwo;
      return s;
    }
    throw py::value_error(std::string(accepted) + ", not " + py::repr(size).cast<std::string>());
  }
  if (!py::isinstance<py::sequence>(size) || py::len(size) != 2)
    throw py::type_error(std::string(accepted) + ", not " + typeName(size));
  const py::sequence shape = size.cast<py::sequence>();
  s.rule = vxSizeRule::Explicit;
  s.height = integerOf(shape[0], 1, 16384, false, accepted);
  s.width = integerOf(shape[1], 1, 16384, false, accepted);
  return s;
}

py::bytes archived(const std::function<void(vxArchive&)>& store) {
  std::ostringstream out;
  {
    ModeScope mode;
    vxArchive ar(out);
    store(ar);
  }
  return py::bytes(out.str());
}

void loadArchived(const py::bytes& state, const std::function<void(vxArchive&)>& load) {
  std::istringstream in(static_cast<std::string>(state));
  ModeScope mode;
  vxArchive ar(in);
  load(ar);
}

}  // namespace vxpy
