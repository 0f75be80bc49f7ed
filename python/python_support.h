// What the bindings of the Python module share: the objects Python holds and the rule
// that one object is changed by one thread at a time (objects.cpp), running library
// calls without the GIL and stoppable by Python's signal handlers (calls.cpp), images
// moving between numpy arrays and pixel buffers (images.cpp), and the small helpers of
// arguments, results and pickles that several topics use (arguments.cpp).
#ifndef VXFREQ_PYTHON_SUPPORT_H
#define VXFREQ_PYTHON_SUPPORT_H

#include "filt/extended.h"
#include "filt/freqfilt.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <complex>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
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

// The scaling of a spectrum's values, numpy's norm: what forward recorded, so that the
// inverses scale to match.
enum class Norm { None, Backward, Ortho, Forward };
// None for Norm::None, else its name; and back, ValueError or TypeError for anything
// but None and the three names.
py::object normName(Norm norm);
Norm normOf(const py::handle& name);

// A frequency buffer as Python holds it: the numpy views of its storage are counted,
// since the storage must not be released while one exists; `norm` is the one forward
// (or from_array) recorded, Norm::None when none was.
struct Buffer {
  Buffer() = default;
  Buffer(long width, long height) : buf(width, height) {}
  vxFrequencyBuffer buf;
  mutable UseState use;  // reading a const buffer still marks it in use
  long views = 0;
  Norm norm = Norm::None;
};

// BufferError when writing a result of transform size W x H into `out` would give it
// new storage while numpy views of the old one exist.
void requireStorageKept(const Buffer& out, long W, long H);
// A new buffer without data.
std::unique_ptr<Buffer> newBuffer();
// The buffer an `out` argument names; TypeError for anything else.
Buffer& outBuffer(const py::object& out);

// A filter as Python holds it.
struct Filter {
  virtual ~Filter() = default;
  std::unique_ptr<vxFrequencyFilter> filter;
  mutable UseState use;  // reading a const filter still marks it in use
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

// `with vxfreq.compatible():` makes the library calls of the entering thread run in the
// library's compatible mode (the C++ default: sides up to 2048, the historical bits)
// until the block is left; outside every such block they run in the extended mode.
// Blocks nest: entering counts up a depth of the thread, leaving counts it down.
class Compatible {
public:
  bool entered() const { return entered_; }
  void enter();
  void exit();

private:
  bool entered_ = false;
  unsigned long thread_ = 0;  // the thread that entered
};
// Whether the calls of this thread run in the extended mode: outside every compatible
// block.
bool extendedHere();
// The library's mode for the life of the scope, as this thread's blocks ask: made by
// runLibrary around every call, and by the few calls that do not go through it.
class ModeScope {
public:
  ModeScope() : scope_(extendedHere()) {}

private:
  vxExtendedScope scope_;
};

// The extended mode's transform size a call asks for (size=): None or 'own' (the
// picture's own), 'fast' (the next fast size of each side), 'pow2' (the next powers of
// two), or a shape (H, W), numpy's order, for one explicit size.
struct Sizing {
  vxSizeRule rule = vxSizeRule::OwnSize;
  long width = 0;
  long height = 0;
};
Sizing sizingOf(const py::object& size);
// The sizing rule for the life of the scope, on the thread that makes it.
class SizeScope {
public:
  explicit SizeScope(const Sizing& s) {
    if (s.rule == vxSizeRule::Explicit)
      scope_.emplace(s.width, s.height);
    else
      scope_.emplace(s.rule);
  }

private:
  std::optional<vxSizingScope> scope_;
};

// Runs `work` (library calls only, no Python) with the GIL released, in the mode of
// this thread's blocks (ModeScope) and inside a parallel scope of this thread's
// innermost Parallel block. A call of the main thread that may be long runs on a helper
// thread while the main thread runs Python's signal handlers (every 10 ms, or when a
// signal arrives): a handler that raises stops the call at the library's next attention
// check, and the call raises the handler's exception (KeyboardInterrupt for Ctrl-C);
// one that returns lets it go on. `elements`, the size of the largest array the work
// goes through, tells short work (below kQuickWork: well under a millisecond), which
// runs where it is called, as do the calls of other threads; -1: work of any length.
constexpr long kQuickWork = 1L << 16;
void runLibraryImpl(void (*call)(void*), void* work, long elements);
template <class F>
void runLibrary(F&& work, long elements = -1) {
  using Work = std::remove_reference_t<F>;
  runLibraryImpl([](void* f) { (*static_cast<Work*>(f))(); },
                 const_cast<void*>(static_cast<const void*>(&work)), elements);
}

// Notes the main thread, whose long calls run on the helper thread. Called once, when
// the module is imported.
void initInterrupts();

// The elements of a buffer's storage (0 without data): the size of its work.
inline long elementsOf(const vxFrequencyBuffer& b) {
  return b.isInitialized() ? b.width() * b.height() : 0;
}

// Runs `call(in, out)` with `in` read and `out` written (one write use when they are
// the same buffer).
template <class F>
void readInto(Buffer& in, Buffer& out, F&& call) {
  const long elements = elementsOf(in.buf);
  if (&in == &out) {
    Use write(out.use, Use::Write, "FrequencyBuffer");
    runLibrary([&] { call(in.buf, out.buf); }, elements);
    return;
  }
  Use read(in.use, Use::Read, "FrequencyBuffer");
  Use write(out.use, Use::Write, "FrequencyBuffer");
  runLibrary([&] { call(in.buf, out.buf); }, elements);
}

// The pixel types of images: those the library reads, single-precision samples and
// complex values (read as one array through the complex engine).
enum class PixelKind { U8, U16, F64, F32, C64, C128 };
// ValueError unless `image` has two dimensions (height, width).
void requirePictureShape(const py::array& image, const char* name);
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

// Where a result image goes, as an `out` argument says: None, a new array; an array of
// this module's (one that arrayOf made, of the result's size), its pixels, written by
// the library in place; any other writable array of the result's dtype and shape, at
// any strides, a copy of the result made in pixels this thread keeps for the purpose.
// Checked with the GIL held; image() is then used without it; result() with it again.
template <class T>
class OutImage {
public:
  // `slot` tells apart the images of one call that go to arrays of the caller's own;
  // `scratch` (with out None) asks for pixels this thread keeps, for a result not wanted.
  OutImage(const py::object& out, long width, long height, const char* name, int slot = 0,
           bool scratch = false);
  // The image the library writes: unbound for a new result, otherwise bound and of the
  // result's size.
  vxPelBuffer<T>& image() { return image_; }
  // Places a bound image at `offset` (the inverses write where it overlaps the picture).
  void placeAt(vxPair<long> offset);
  py::object result();

private:
  py::object out_;
  bool foreign_ = false;
  vxPelBuffer<T> image_;
};

// A (width, height) size or (x, y) offset as Python passes it.
using Size = std::pair<long, long>;

// The name of an object's type, for the messages of TypeError: "int", "str",
// "numpy.ndarray", "vxfreq.FrequencyBuffer".
std::string typeName(const py::handle& object);

// Runs `body`, the work of the public call `label` ("inverse_fft()", "BandPass.sigma";
// or a function that gives it, called only for a message): a TypeError it raises begins
// with the label, so that every refused type names the call as well as the argument.
std::string labelled(const std::string& label, const std::string& message);
inline std::string labelText(const char* label) { return label; }
inline std::string labelText(const std::string& label) { return label; }
template <class L, class = decltype(std::declval<L&>()())>
std::string labelText(L& label) {
  return label();
}
template <class L, class F>
auto publicCall(L&& label, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const py::type_error& e) {
    throw py::type_error(labelled(labelText(label), e.what()));
  } catch (py::error_already_set& e) {
    if (!e.matches(PyExc_TypeError)) throw;
    throw py::type_error(labelled(labelText(label), py::str(e.value()).cast<std::string>()));
  }
}
// "BandPass.apply()": the class of `self` (a class of the module) and the member.
std::string memberLabel(const py::handle& self, const char* member);

// TypeError "<argument> must be <takes>, not <type of value>".
[[noreturn]] void refuse(const std::string& argument, const std::string& takes,
                         const py::handle& value);
// What a buffer argument takes, as the messages say it.
extern const char* const kTakesBuffer;

// The arguments of the public calls, taken as any Python object and converted here, so
// that a wrong type raises TypeError naming the argument and what it takes (refuse):
// a FrequencyBuffer; True or False (bool or numpy.bool_); an integer (Python or numpy);
// a real number; a complex number; a pair of integers or of numbers; a str.
Buffer& bufferArg(const py::handle& value, const char* argument);
bool flagArg(const py::handle& value, const char* argument);
long integerArg(const py::handle& value, const char* argument);
double numberArg(const py::handle& value, const char* argument);
std::complex<double> complexArg(const py::handle& value, const char* argument);
Size integerPairArg(const py::handle& value, const char* argument, const char* takes);
std::pair<double, double> numberPairArg(const py::handle& value, const char* argument,
                                        const char* takes);
std::string textArg(const py::handle& value, const char* argument, const char* takes);
// A pair of the library as a Python tuple, x first.
py::tuple pairOf(const vxPair<long>& p);
py::tuple pairOf(const vxPair<double>& p);
// An integer argument (a Python or numpy integer) from `lo` to `hi`: TypeError or
// ValueError saying `accepted` otherwise. Above `hi` it is `hi` when `clampHigh`.
long integerOf(const py::object& value, long lo, long hi, bool clampHigh,
               const std::string& accepted);

// Sizes in messages, width first as in the C++ API: "512 x 256"; a buffer's transform
// size ("no data" for a buffer without any); a filter's size (the Python object's
// `size`).
std::string sizeText(long width, long height);
std::string sizeText(const vxFrequencyBuffer& b);
std::string filterSizeText(const py::handle& filter);
// The library's error E (InvalidSize, InvalidBuffer, ...) with `message`, raised as the
// module's class for it.
template <class E>
[[noreturn]] void throwLibrary(const std::string& message) {
  const std::wstring wide(message.begin(), message.end());  // the messages are ASCII
  throw E(wide.c_str());
}
// `message` with `detail` after it: "Size of frequency buffer does not match size of
// filter: 512 x 256 buffer, 640 x 480 filter."
std::string withDetail(const std::string& message, const std::string& detail);
// Runs `body`; an E it throws (by default the library's InvalidSize) is thrown again
// with `detail()` after its message, so that a size error shows the sizes.
template <class E = vxFrequencyDefs::InvalidSize, class F, class D>
auto withSizes(F&& body, D&& detail) -> decltype(body()) {
  try {
    return body();
  } catch (const E& e) {
    throwLibrary<E>(withDetail(e.what(), detail()));
  }
}

// Archive forms, through which buffers and filters pickle: the bytes `store` writes,
// and `load` reading `state`.
py::bytes archived(const std::function<void(vxArchive&)>& store);
void loadArchived(const py::bytes& state, const std::function<void(vxArchive&)>& load);

}  // namespace vxpy

#endif
