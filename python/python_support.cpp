#include "python_support.h"

#include "filt/parallel.h"

#include <pybind11/complex.h>
#include <pythread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <complex>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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
  if (!py::isinstance<Buffer>(out))
    throw py::type_error("out must be a FrequencyBuffer or None, not " + typeName(out));
  return out.cast<Buffer&>();
}

// ---------------------------------------------------------------------------
// Ctrl-C. While a call runs on the main thread, SIGINT goes to a handler that sets
// the call's attention flag and then hands the signal on to Python's own handler,
// which notes it for the main thread as usual.

namespace {

std::atomic<std::atomic<bool>*> gInterruptFlag{nullptr};
struct sigaction gPythonAction;  // written before our handler is installed
unsigned long gMainThread = 0;
// Python's signal.getsignal and signal.default_int_handler, kept for the module's life.
PyObject* gGetSignal = nullptr;
PyObject* gDefaultIntHandler = nullptr;

extern "C" void onInterrupt(int sig, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  std::atomic<bool>* flag = gInterruptFlag.load();
  if (flag != nullptr) flag->store(true);
  if ((gPythonAction.sa_flags & SA_SIGINFO) != 0) {
    if (gPythonAction.sa_sigaction != nullptr) gPythonAction.sa_sigaction(sig, info, context);
  } else if (gPythonAction.sa_handler != SIG_DFL && gPythonAction.sa_handler != SIG_IGN) {
    gPythonAction.sa_handler(sig);
  }
  errno = savedErrno;
}

// Whether Ctrl-C should stop this call: on the main thread, with Python's default
// handler (which raises KeyboardInterrupt) in place.
bool interruptibleHere() {
  if (gGetSignal == nullptr || PyThread_get_thread_ident() != gMainThread) return false;
  PyObject* handler = PyObject_CallFunction(gGetSignal, "i", SIGINT);
  if (handler == nullptr) {
    PyErr_Clear();
    return false;
  }
  const bool isDefault = handler == gDefaultIntHandler;
  Py_DECREF(handler);
  return isDefault;
}

class InterruptHook {
public:
  explicit InterruptHook(std::atomic<bool>& flag) {
    if (!interruptibleHere()) return;
    struct sigaction ours;
    std::memset(&ours, 0, sizeof ours);
    ours.sa_sigaction = onInterrupt;
    ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&ours.sa_mask);
    if (sigaction(SIGINT, nullptr, &gPythonAction) != 0) return;
    gInterruptFlag.store(&flag);
    installed_ = sigaction(SIGINT, &ours, nullptr) == 0;
    if (!installed_) gInterruptFlag.store(nullptr);
  }
  ~InterruptHook() {
    if (!installed_) return;
    sigaction(SIGINT, &gPythonAction, nullptr);
    gInterruptFlag.store(nullptr);
  }
  InterruptHook(const InterruptHook&) = delete;
  InterruptHook& operator=(const InterruptHook&) = delete;

private:
  bool installed_ = false;
};

}  // namespace

void initInterrupts() {
  py::module_ signalModule = py::module_::import("signal");
  gGetSignal = py::object(signalModule.attr("getsignal")).release().ptr();
  gDefaultIntHandler = py::object(signalModule.attr("default_int_handler")).release().ptr();
  gMainThread =
      py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
}

// ---------------------------------------------------------------------------
// Parallel blocks.

namespace {

// The pools of the Parallel blocks this thread has entered, innermost last; only
// touched with the GIL held.
std::vector<std::shared_ptr<vxThreadPool>>& poolsHere() {
  thread_local std::vector<std::shared_ptr<vxThreadPool>> pools;
  return pools;
}

}  // namespace

void Parallel::enter() {
  if (pool_ != nullptr)
    throw std::runtime_error(
        "this vxfreq.parallel block is entered already; make one for each "
        "with statement");
  auto pool = std::make_shared<vxThreadPool>(threads_);
  poolsHere().push_back(pool);
  pool_ = std::move(pool);
  thread_ = PyThread_get_thread_ident();
}

void Parallel::exit() {
  if (pool_ == nullptr) throw std::runtime_error("this vxfreq.parallel block is not entered");
  if (thread_ != PyThread_get_thread_ident())
    throw std::runtime_error("a vxfreq.parallel block must be left on the thread that entered it");
  auto& pools = poolsHere();
  const auto found = std::find(pools.rbegin(), pools.rend(), pool_);
  if (found != pools.rend()) pools.erase(std::next(found).base());
  std::shared_ptr<vxThreadPool> pool = std::move(pool_);
  py::gil_scoped_release release;  // joining the pool's threads
  pool.reset();
}

long threadsHere() {
  const auto& pools = poolsHere();
  return pools.empty() ? 1 : pools.back()->threads();
}

// ---------------------------------------------------------------------------
// Compatible blocks.

namespace {

// The compatible blocks this thread is inside; only touched with the GIL held.
long& compatibleDepth() {
  thread_local long depth = 0;
  return depth;
}

}  // namespace

void Compatible::enter() {
  if (entered_)
    throw std::runtime_error(
        "this vxfreq.compatible block is entered already; make one for each with statement");
  ++compatibleDepth();
  entered_ = true;
  thread_ = PyThread_get_thread_ident();
}

void Compatible::exit() {
  if (!entered_) throw std::runtime_error("this vxfreq.compatible block is not entered");
  if (thread_ != PyThread_get_thread_ident())
    throw std::runtime_error(
        "a vxfreq.compatible block must be left on the thread that entered it");
  --compatibleDepth();
  entered_ = false;
}

bool extendedHere() { return compatibleDepth() == 0; }

void runLibraryImpl(void (*call)(void*), void* work) {
  std::atomic<bool> stop{false};
  bool interrupted = false;
  const auto& pools = poolsHere();
  const std::shared_ptr<vxThreadPool> pool = pools.empty() ? nullptr : pools.back();
  {
    InterruptHook hook(stop);
    const bool extended = extendedHere();  // read with the GIL held
    py::gil_scoped_release release;
    vxExtendedScope mode(extended);
    vxAttentionScope scope(stop);
    std::optional<vxParallelScope> parallel;
    if (pool != nullptr) parallel.emplace(*pool);
    try {
      call(work);
    } catch (const vxAttentionInterrupted&) {
      interrupted = true;
    }
  }
  if (!interrupted) return;
  // Python's handler has been told of the signal: let it run now.
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  PyErr_SetNone(PyExc_KeyboardInterrupt);
  throw py::error_already_set();
}

// ---------------------------------------------------------------------------
// Images.

PixelKind pixelKindOf(const py::array& image, const char* name) {
  if (image.ndim() != 2)
    throw py::value_error(std::string(name) + " must be a 2-D array (height, width), not " +
                          std::to_string(image.ndim()) + "-D");
  if (py::isinstance<py::array_t<std::uint8_t>>(image)) return PixelKind::U8;
  if (py::isinstance<py::array_t<std::uint16_t>>(image)) return PixelKind::U16;
  if (py::isinstance<py::array_t<double>>(image)) return PixelKind::F64;
  if (py::isinstance<py::array_t<float>>(image)) return PixelKind::F32;
  if (py::isinstance<py::array_t<std::complex<float>>>(image)) return PixelKind::C64;
  if (py::isinstance<py::array_t<std::complex<double>>>(image)) return PixelKind::C128;
  throw py::type_error(std::string(name) +
                       " must hold uint8, uint16, float32, float64, complex64 or complex128 "
                       "values in the machine's byte order, not " +
                       py::repr(static_cast<const py::handle&>(image.dtype())).cast<std::string>());
}

PixelKind pixelKindOfDtype(const py::object& dtype) {
  const py::dtype d = py::dtype::from_args(dtype);
  if (d.kind() == 'u' && d.itemsize() == 1) return PixelKind::U8;
  if (d.kind() == 'u' && d.itemsize() == 2) return PixelKind::U16;
  if (d.kind() == 'f' && d.itemsize() == 8) return PixelKind::F64;
  throw py::type_error("dtype must be numpy.uint8, numpy.uint16 or numpy.float64, not " +
                       py::repr(static_cast<const py::handle&>(d)).cast<std::string>());
}

ImageView viewOf(const py::array& image) {
  ImageView v;
  v.data = static_cast<const char*>(image.data());
  v.height = static_cast<long>(image.shape(0));
  v.width = static_cast<long>(image.shape(1));
  v.rowStride = image.strides(0);
  v.pixelStride = image.strides(1);
  return v;
}

template <class T>
void copyPixels(const ImageView& view, vxPelBuffer<T>& image) {
  if (!image.isBound() || image.width() != view.width || image.height() != view.height)
    image = vxPelBuffer<T>(view.width, view.height, 32);
  for (long y = 0; y < view.height; ++y) {
    const char* row = view.data + y * view.rowStride;
    T* out = &image.at(0, y);
    if (view.pixelStride == static_cast<py::ssize_t>(sizeof(T))) {
      std::memcpy(out, row, sizeof(T) * static_cast<std::size_t>(view.width));
    } else {
      for (long x = 0; x < view.width; ++x)
        std::memcpy(out + x, row + x * view.pixelStride, sizeof(T));
    }
  }
}

// The capsules that own the pixels of arrays made here, one name per pixel type, so
// that an `out` array can be recognised as one of them.
template <class T>
const char* capsuleName();
template <>
const char* capsuleName<std::uint8_t>() {
  return "vxfreq.pixels.uint8";
}
template <>
const char* capsuleName<std::uint16_t>() {
  return "vxfreq.pixels.uint16";
}
template <>
const char* capsuleName<double>() {
  return "vxfreq.pixels.float64";
}

template <class T>
py::array arrayOf(const vxPelBuffer<T>& image) {
  auto* keep = new vxPelBuffer<T>(image);  // shares the pixels; the capsule owns it
  py::capsule owner(keep, capsuleName<T>(), [](PyObject* o) {
    delete static_cast<vxPelBuffer<T>*>(PyCapsule_GetPointer(o, capsuleName<T>()));
  });
  const auto size = static_cast<py::ssize_t>(sizeof(T));
  return py::array_t<T>(
      {static_cast<py::ssize_t>(image.height()), static_cast<py::ssize_t>(image.width())},
      {static_cast<py::ssize_t>(image.stride()) * size, size}, image.pointToOffset(), owner);
}

template <class T>
OutImage<T>::OutImage(const py::object& out, long width, long height, const char* name, int slot,
                      bool scratch)
    : out_(out) {
  thread_local vxPelBuffer<T> keptImages[2];
  vxPelBuffer<T>& kept = keptImages[slot & 1];
  auto useKept = [&] {
    if (!kept.isBound() || kept.width() != width || kept.height() != height)
      kept = vxPelBuffer<T>(width, height, 32);
    image_ = kept;
  };
  if (out.is_none()) {
    if (scratch) useKept();
    return;
  }
  if (!py::isinstance<py::array>(out))
    throw py::type_error(std::string(name) + " must be None or a numpy array, not " +
                         typeName(out));
  const py::array target = out.cast<py::array>();
  const py::dtype want = py::dtype::of<T>();
  if (!target.dtype().is(want) && !target.dtype().equal(want))
    throw py::type_error(
        std::string(name) + " must hold " +
        py::str(static_cast<const py::handle&>(want)).cast<std::string>() + " values, not " +
        py::str(static_cast<const py::handle&>(target.dtype())).cast<std::string>());
  if (target.ndim() != 2 || target.shape(0) != height || target.shape(1) != width)
    throw py::value_error(std::string(name) + " must have the result's shape (" +
                          std::to_string(height) + ", " + std::to_string(width) + ")");
  if (!target.writeable()) throw py::value_error(std::string(name) + " must be writable");
  // An array of this module's: the library writes its pixels.
  const py::object base = target.attr("base");
  if (!base.is_none() && PyCapsule_CheckExact(base.ptr()) &&
      PyCapsule_IsValid(base.ptr(), capsuleName<T>())) {
    const auto* pixels =
        static_cast<vxPelBuffer<T>*>(PyCapsule_GetPointer(base.ptr(), capsuleName<T>()));
    if (pixels->pointToOffset() == target.data() && pixels->width() == width &&
        pixels->height() == height) {
      image_ = *pixels;
      return;
    }
  }
  foreign_ = true;
  useKept();
}

template <class T>
void OutImage<T>::placeAt(vxPair<long> offset) {
  if (image_.isBound()) image_.offset(offset);
}

template <class T>
py::object OutImage<T>::result() {
  if (out_.is_none()) return arrayOf(image_);
  if (foreign_) {
    py::array target = out_.cast<py::array>();
    char* data = static_cast<char*>(target.mutable_data());
    for (long y = 0; y < image_.height(); ++y) {
      char* row = data + y * target.strides(0);
      const T* from = &image_.at(0, y);
      if (target.strides(1) == static_cast<py::ssize_t>(sizeof(T))) {
        std::memcpy(row, from, sizeof(T) * static_cast<std::size_t>(image_.width()));
      } else {
        for (long x = 0; x < image_.width(); ++x)
          std::memcpy(row + x * target.strides(1), from + x, sizeof(T));
      }
    }
  }
  return out_;
}

template class OutImage<std::uint8_t>;
template class OutImage<std::uint16_t>;
template class OutImage<double>;

template void copyPixels<std::uint8_t>(const ImageView&, vxPelBuffer<std::uint8_t>&);
template void copyPixels<std::uint16_t>(const ImageView&, vxPelBuffer<std::uint16_t>&);
template void copyPixels<double>(const ImageView&, vxPelBuffer<double>&);
template py::array arrayOf<std::uint8_t>(const vxPelBuffer<std::uint8_t>&);
template py::array arrayOf<std::uint16_t>(const vxPelBuffer<std::uint16_t>&);
template py::array arrayOf<double>(const vxPelBuffer<double>&);

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
