// What the bindings of the Python module share: the objects Python holds, the rule
// that one object is changed by one thread at a time, running library calls without
// the GIL and stoppable by Ctrl-C, the exception classes, and images moving between
// numpy arrays and pixel buffers.
#ifndef VXFREQ_PYTHON_SUPPORT_H
#define VXFREQ_PYTHON_SUPPORT_H

#include "filt/freqfilt.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <utility>

class vxThreadPool;

namespace vxpy {

namespace py = pybind11;

// Who is using an object right now: readers, or one writer. Only touched with the GIL
// held, so two threads that both release the GIL cannot meet inside an object.
struct UseState {
  long readers = 0;
  bool writing = false;
};

// Marks an object used for the life of the guard; RuntimeError when another thread
// uses it in a way that conflicts (a writer with anybody else).
class Use {
public:
  enum Mode { Read, Write };
  Use(UseState& state, Mode mode, const char* what);
  ~Use();
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

private:
  UseState& state_;
  Mode mode_;
};

// A frequency buffer as Python holds it: the numpy views of its storage are counted,
// since the storage must not be released while one exists.
struct Buffer {
  Buffer() = default;
  Buffer(long width, long height) : buf(width, height) {}
  vxFrequencyBuffer buf;
  UseState use;
  long views = 0;
};

// BufferError when writing a result of transform size W x H into `out` would give it
// new storage while numpy views of the old one exist.
void requireStorageKept(const Buffer& out, long W, long H);

// A filter as Python holds it.
struct Filter {
  virtual ~Filter() = default;
  std::unique_ptr<vxFrequencyFilter> filter;
  UseState use;
};

// `with vxfreq.parallel(threads):` owns a thread pool of the library while the block
// runs. Entering puts the pool on a stack of the entering thread; every library call
// that thread makes meanwhile runs inside a vxParallelScope of the innermost pool, made
// on the calling thread by runLibrary (the library's scopes belong to their thread).
class Parallel {
public:
  explicit Parallel(long threads) : threads_(threads) {}  // 1 or more
  long threads() const { return threads_; }
  bool entered() const { return pool_ != nullptr; }
  void enter();
  void exit();

private:
  long threads_;
  std::shared_ptr<vxThreadPool> pool_;
  unsigned long thread_ = 0;  // the thread that entered
};
// Threads the calls of this thread may use: the innermost pool's, 1 outside any block.
long threadsHere();

// Runs `work` (library calls only, no Python) with the GIL released, inside an
// attention scope whose flag a SIGINT sets while the call runs on the main thread
// under Python's default SIGINT handler, and inside a parallel scope of this thread's
// innermost Parallel block; an interrupted call raises KeyboardInterrupt (or whatever
// the Python handler raises) once the GIL is back.
void runLibraryImpl(void (*call)(void*), void* work);
template <class F>
void runLibrary(F&& work) {
  runLibraryImpl([](void* f) { (*static_cast<F*>(f))(); }, &work);
}

// Creates the module's exception classes and the translator of the library's errors.
void registerErrors(py::module_& m);

// The pixel types of images.
enum class PixelKind { U8, U16, F64 };
// The kind of a 2-D numpy array, TypeError/ValueError naming what is accepted.
PixelKind pixelKindOf(const py::array& image, const char* name);
// The kind a dtype argument names (uint8, uint16, float64), TypeError otherwise.
PixelKind pixelKindOfDtype(const py::object& dtype);

// A 2-D array's pixels as the library reads them; taken with the GIL held.
struct ImageView {
  const char* data = nullptr;
  long width = 0;
  long height = 0;
  py::ssize_t rowStride = 0;
  py::ssize_t pixelStride = 0;
};
ImageView viewOf(const py::array& image);
// Copies `view`'s pixels (any strides) into `image`, which is first bound anew unless
// it already has the view's size; no GIL needed.
template <class T>
void copyPixels(const ImageView& view, vxPelBuffer<T>& image);
// A new bound pixel buffer holding a copy of `view`'s pixels.
template <class T>
vxPelBuffer<T> pelBufferOf(const ImageView& view) {
  vxPelBuffer<T> image;
  copyPixels(view, image);
  return image;
}
// A numpy (height, width) array sharing the pixels of `image` (no copy).
template <class T>
py::array arrayOf(const vxPelBuffer<T>& image);

}  // namespace vxpy

#endif
