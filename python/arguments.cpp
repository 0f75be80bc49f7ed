// Helpers of arguments, results and pickles that several bindings use.
#include "python_support.h"

#include <sstream>
#include <string>

namespace vxpy {

// ---------------------------------------------------------------------------
// Arguments, results and pickles.

std::string typeName(const py::handle& object) {
  const py::handle type = py::type::of(object);
  const std::string name = py::str(type.attr("__qualname__")).cast<std::string>();
  const py::object module = py::getattr(type, "__module__", py::none());
  if (!py::isinstance<py::str>(module)) return name;
  const std::string where = module.cast<std::string>();
  return where == "builtins" ? name : where + "." + name;
}

std::string labelled(const std::string& label, const std::string& message) {
  if (message.compare(0, label.size(), label) == 0) return message;
  return label + ": " + message;
}

std::string memberLabel(const py::handle& self, const char* member) {
  return py::str(py::type::of(self).attr("__name__")).cast<std::string>() + "." + member;
}

void refuse(const std::string& argument, const std::string& takes, const py::handle& value) {
  throw py::type_error(argument + " must be " + takes + ", not " + typeName(value));
}

const char* const kTakesBuffer =
    "a FrequencyBuffer (from forward() or FrequencyBuffer.from_array())";

Buffer& bufferArg(const py::handle& value, const char* argument) {
  if (!py::isinstance<Buffer>(value)) refuse(argument, kTakesBuffer, value);
  return value.cast<Buffer&>();
}

bool flagArg(const py::handle& value, const char* argument) {
  if (value.ptr() == Py_True) return true;
  if (value.ptr() == Py_False) return false;
  // numpy.bool_, and integers (Python's or numpy's) as their truth.
  const py::handle type = py::type::of(value);
  const bool numpyBool = py::str(type.attr("__module__")).cast<std::string>() == "numpy" &&
                         py::str(type.attr("__name__")).cast<std::string>() == "bool_";
  if (!numpyBool && PyIndex_Check(value.ptr()) == 0) refuse(argument, "True or False", value);
  const int truth = PyObject_IsTrue(value.ptr());
  if (truth < 0) throw py::error_already_set();
  return truth == 1;
}

long integerArg(const py::handle& value, const char* argument) {
  PyObject* index = PyNumber_Index(value.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    refuse(argument, "an integer", value);
  }
  const long number = PyLong_AsLong(index);
  Py_DECREF(index);
  if (number == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    throw py::value_error(std::string(argument) +
                          " is out of range: " + py::repr(value).cast<std::string>());
  }
  return number;
}

double numberArg(const py::handle& value, const char* argument) {
  if (PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) || PyComplex_Check(value.ptr()))
    refuse(argument, "a real number", value);
  const double number = PyFloat_AsDouble(value.ptr());
  if (number == -1.0 && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw py::error_already_set();
    PyErr_Clear();
    refuse(argument, "a real number", value);
  }
  return number;
}

std::complex<double> complexArg(const py::handle& value, const char* argument) {
  if (PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()))
    refuse(argument, "a number", value);
  const Py_complex number = PyComplex_AsCComplex(value.ptr());
  if (number.real == -1.0 && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw py::error_already_set();
    PyErr_Clear();
    refuse(argument, "a number", value);
  }
  return std::complex<double>(number.real, number.imag);
}

namespace {

// The two items of a pair (a tuple, list or other sequence of length 2), or TypeError.
std::pair<py::object, py::object> itemsOf(const py::handle& value, const char* argument,
                                          const char* takes) {
  if (PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) || !PySequence_Check(value.ptr()))
    refuse(argument, takes, value);
  const py::sequence items = py::reinterpret_borrow<py::sequence>(value);
  if (py::len(items) != 2)
    throw py::type_error(std::string(argument) + " must be " + takes + ", not a " +
                         typeName(value) + " of " + std::to_string(py::len(items)) + " items");
  return {items[0], items[1]};
}

}  // namespace

Size integerPairArg(const py::handle& value, const char* argument, const char* takes) {
  const auto items = itemsOf(value, argument, takes);
  const std::string first = std::string(argument) + "[0]";
  const std::string second = std::string(argument) + "[1]";
  return Size(integerArg(items.first, first.c_str()), integerArg(items.second, second.c_str()));
}

std::pair<double, double> numberPairArg(const py::handle& value, const char* argument,
                                        const char* takes) {
  const auto items = itemsOf(value, argument, takes);
  const std::string first = std::string(argument) + "[0]";
  const std::string second = std::string(argument) + "[1]";
  return {numberArg(items.first, first.c_str()), numberArg(items.second, second.c_str())};
}

std::string textArg(const py::handle& value, const char* argument, const char* takes) {
  if (!py::isinstance<py::str>(value)) refuse(argument, takes, value);
  return value.cast<std::string>();
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

std::string sizeText(long width, long height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

std::string sizeText(const vxFrequencyBuffer& b) {
  return b.isInitialized() ? sizeText(b.width(), b.height()) : std::string("no data");
}

std::string filterSizeText(const py::handle& filter) {
  try {
    const Size size = integerPairArg(filter.attr("size"), "size", "a size");
    return sizeText(size.first, size.second);
  } catch (const std::exception&) {
    return "unbuilt";
  }
}

std::string withDetail(const std::string& message, const std::string& detail) {
  std::string text = message;
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text + ": " + detail + ".";
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
