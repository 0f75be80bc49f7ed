// The compiled module vxfreq._vxfreq: frequency buffers with numpy views of their storage, the
// image transforms, spectrum images, arithmetic and the filters of the library. Each
// topic's bindings are in its own file (bindings.h lists them); what they share is in
// python_support.h.
#include "bindings.h"
#include "python_support.h"

PYBIND11_MODULE(_vxfreq, m) {
  m.doc() =
      "The compiled part of the vxfreq package: the library's buffers, transforms and "
      "filters. Import vxfreq, which re-exports these names and adds the numpy-style "
      "forward and inverse.";
  pybind11::module_::import("numpy");
  vxpy::initInterrupts();
  vxpy::bindErrors(m);
  vxpy::bindBuffer(m);  // first: the signatures of the functions and filters name it
  vxpy::bindTransforms(m);
  vxpy::bindParallel(m);
  vxpy::bindFilters(m);
  vxpy::bindFft(m);
  vxpy::bindWorkbench(m);
}
