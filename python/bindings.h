// The topics of the Python module vxfreq, each adding its names to the module. The
// module's index (module.cpp) calls them in this order: the buffer class comes before
// the functions and filters whose signatures name it.
#ifndef VXFREQ_PYTHON_BINDINGS_H
#define VXFREQ_PYTHON_BINDINGS_H

#include <pybind11/pybind11.h>

namespace vxpy {

// Error and its subclasses, and the translation of the library's exceptions to them
// (bind_errors.cpp).
void bindErrors(pybind11::module_& m);
// FrequencyBuffer: numpy views of its storage, element access, spectrum images,
// arithmetic, copies and pickling (bind_buffer.cpp).
void bindBuffer(pybind11::module_& m);
// forward (with padding and windows), padded_transform_size, the buffer-to-buffer
// transforms, the inverses and map_image (bind_transforms.cpp).
void bindTransforms(pybind11::module_& m);
// vxfreq.parallel and current_threads (bind_parallel.cpp).
void bindParallel(pybind11::module_& m);
// Filter, the band and Gabor filters and ImageFilter (bind_filters.cpp).
void bindFilters(pybind11::module_& m);
// _stack, the stacks of pictures behind vxfreq.fft (bind_fft.cpp).
void bindFft(pybind11::module_& m);
// _find_patterns, the filter chain's archive and the PNG row filters of the filter
// workbench (bind_workbench.cpp).
void bindWorkbench(pybind11::module_& m);

}  // namespace vxpy

#endif
