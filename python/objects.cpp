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

Buffer& outBuffer(const py::object& out) {
  if (!py::isinstance<Buffer>(out)) refuse("out", "a FrequencyBuffer or None", out);
  return out.cast<Buffer&>();
}

}  // namespace vxpy
