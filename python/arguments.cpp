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
