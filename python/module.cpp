// The Python module vxfreq: frequency buffers with numpy views of their storage, the
// image transforms, spectrum images, arithmetic and the filters of the library. Each
// topic's bindings are in its own file (bindings.h lists them); what they share is in
// python_support.h.
#include "bindings.h"
#include "python_support.h"

PYBIND11_MODULE(vxfreq, m) {
  m.doc() =
      "Two-dimensional Fourier transforms of images and frequency-domain filtering.\n\n"
      "Images are 2-D numpy arrays (height, width) of uint8, uint16 or float64; spectra are\n"
      "FrequencyBuffer objects of single-precision complex values, zero-padded to powers of\n"
      "two up to 2048 along each axis (or, with forward's padding=, padded by reflection,\n"
      "edge or mean), frequency 0 at [0, 0]. The forward transform is\n"
      "numpy's convention (exp(-2 pi i ...), unscaled). Calls release the GIL while the\n"
      "library works; Ctrl-C stops a long transform with KeyboardInterrupt.";
  pybind11::module_::import("numpy");
  vxpy::initInterrupts();
  vxpy::bindErrors(m);
  vxpy::bindBuffer(m);  // first: the signatures of the functions and filters name it
  vxpy::bindTransforms(m);
  vxpy::bindParallel(m);
  vxpy::bindFilters(m);
}
