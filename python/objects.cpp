// The objects Python holds: one writer or many readers at a time, and the rule that a
// buffer's storage outlives its numpy views.
#include "python_support.h"

#include <string>

namespace vxpy {

Use::Use(UseState& state, Mode mode, const char* what) : state_(state), mode_(mode) {
  if (state.writing || (mode == Write && state.readers > 0))
    throw std::runtime_error(std::string(what) +
                             " is being used by another thread; one thread may change an "
                             "object while nobody else uses it");
  if (mode == Write)
    state.writing = true;
  else
    ++state.readers;
}

Use::~Use() {
  if (mode_ == Write)
    state_.writing = false;
  else
    --state_.readers;
}

void requireStorageKept(const Buffer& out, long W, long H) {
  if (out.views == 0) return;
  if (out.buf.isInitialized() && out.buf.width() == W && out.buf.height() == H) return;
  throw py::buffer_error("the result would give the FrequencyBuffer new storage (transform size " +
                         std::to_string(W) + " x " + std::to_string(H) +
                         ") while numpy views of its storage exist; delete the views first");
}

std::unique_ptr<Buffer> newBuffer() { return std::make_unique<Buffer>(); }

py::object normName(Norm norm) {
  switch (norm) {
    case Norm::Backward:
      return py::str("backward");
    case Norm::Ortho:
      return py::str("ortho");
    case Norm::Forward:
      return py::str("forward");
    case Norm::None:
      break;
  }
  return py::none();
}

Norm normOf(const py::handle& name) {
  const char* const accepted = "norm must be None, 'backward', 'ortho' or 'forward'";
  if (name.is_none()) return Norm::None;
  if (!py::isinstance<py::str>(name))
    refuse("norm", "None, 'backward', 'ortho' or 'forward'", name);
  const std::string text = name.cast<std::string>();
  if (text == "backward") return Norm::Backward;
  if (text == "ortho") return Norm::Ortho;
  if (text == "forward") return Norm::Forward;
  throw py::value_error(std::string(accepted) + ", not " + py::repr(name).cast<std::string>());
}

Buffer& outBuffer(const py::object& out) {
  if (!py::isinstance<Buffer>(out)) refuse("out", "a FrequencyBuffer or None", out);
  return out.cast<Buffer&>();
}

}  // namespace vxpy
