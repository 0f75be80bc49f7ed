#include "python_support.h"

#include "filt/parallel.h"

#include <pythread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
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
    throw std::runtime_error("this vxfreq.parallel block is entered already; make one for each "
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

void runLibraryImpl(void (*call)(void*), void* work) {
  std::atomic<bool> stop{false};
  bool interrupted = false;
  const auto& pools = poolsHere();
  const std::shared_ptr<vxThreadPool> pool = pools.empty() ? nullptr : pools.back();
  {
    InterruptHook hook(stop);
    py::gil_scoped_release release;
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
// Exceptions.

namespace {

PyObject* gError = nullptr;
PyObject* gNumbered[6] = {};
PyObject* gArchiveError = nullptr;
PyObject* gUnknownVersion = nullptr;
PyObject* gEndOfData = nullptr;
PyObject* gUnknownClass = nullptr;
PyObject* gBadData = nullptr;

constexpr long kFirstErrorNumber = 0x10006300;

PyObject* newError(py::module_& m, const char* name, PyObject* base, const char* doc,
                   py::object number) {
  const std::string qualified = std::string("vxfreq.") + name;
  PyObject* cls = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
  if (cls == nullptr) throw py::error_already_set();
  if (PyObject_SetAttrString(cls, "error_number", number.ptr()) != 0) throw py::error_already_set();
  m.add_object(name, py::handle(cls));
  return cls;  // the reference of the creation keeps the class for the module's life
}

void raise(PyObject* cls, const char* message, const char* fallback) {
  PyErr_SetString(cls, message != nullptr && *message != '\0' ? message : fallback);
}

}  // namespace

void registerErrors(py::module_& m) {
  gError = newError(m, "Error", PyExc_Exception,
                    "Base of the library's errors. error_number is the library's error "
                    "number (None for archive errors); str() gives its message.",
                    py::none());
  struct Numbered {
    const char* name;
    const char* doc;
  };
  static const Numbered numbered[6] = {
      {"InvalidArgument", "An argument outside its documented range (0x10006300)."},
      {"Uninitialized", "A buffer without data or an unbuilt filter (0x10006301)."},
      {"InvalidSize", "A size that is not allowed or does not match (0x10006302)."},
      {"UnboundWindow", "An image without pixels (0x10006303)."},
      {"InvalidBuffer",
       "A buffer that holds spatial samples after an in-place inverse (0x10006304)."},
      {"BadCoord", "A coordinate outside the buffer (0x10006305)."},
  };
  for (int i = 0; i < 6; ++i)
    gNumbered[i] = newError(m, numbered[i].name, gError, numbered[i].doc,
                            py::int_(kFirstErrorNumber + i));
  gArchiveError = newError(m, "ArchiveError", gError,
                           "Archived data (a pickle's state) that cannot be loaded.", py::none());
  gUnknownVersion = newError(m, "UnknownVersion", gArchiveError,
                             "A version byte this library does not read.", py::none());
  gEndOfData =
      newError(m, "EndOfData", gArchiveError, "The archived data ends too early.", py::none());
  gUnknownClass = newError(m, "UnknownClass", gArchiveError,
                           "The archive names a class this library does not have.", py::none());
  gBadData = newError(m, "BadData", gArchiveError,
                      "A value that no archive of this library can hold.", py::none());

  py::module_ signalModule = py::module_::import("signal");
  gGetSignal = py::object(signalModule.attr("getsignal")).release().ptr();
  gDefaultIntHandler = py::object(signalModule.attr("default_int_handler")).release().ptr();
  gMainThread = py::module_::import("threading")
                    .attr("main_thread")()
                    .attr("ident")
                    .cast<unsigned long>();

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const vxFrequencyDefs::Errors& e) {
      const long index = e.errorNumber() - kFirstErrorNumber;
      raise(index >= 0 && index < 6 ? gNumbered[index] : gError, e.what(), "library error");
    } catch (const vxArchive::UnknownVersion& e) {
      raise(gUnknownVersion, e.what(), "unknown version in the archived data");
    } catch (const vxArchive::EndOfData& e) {
      raise(gEndOfData, e.what(), "the archived data ends too early");
    } catch (const vxArchive::UnknownClass& e) {
      raise(gUnknownClass, e.what(), ("unknown class " + e.className()).c_str());
    } catch (const vxArchive::BadData& e) {
      raise(gBadData, e.what(), "bad archived data");
    } catch (const vxArchive::Errors& e) {
      raise(gArchiveError, e.what(), "archive error");
    } catch (const vxAttentionInterrupted&) {
      PyErr_SetNone(PyExc_KeyboardInterrupt);
    } catch (const vxException& e) {
      raise(PyExc_RuntimeError, e.what(), "library failure");
    } catch (const std::out_of_range& e) {
      raise(PyExc_OverflowError, e.what(), "value out of range");
    }
  });
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
  throw py::type_error(std::string(name) + " must hold uint8, uint16 or float64 pixels, not " +
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
      for (long x = 0; x < view.width; ++x) std::memcpy(out + x, row + x * view.pixelStride, sizeof(T));
    }
  }
}

template <class T>
py::array arrayOf(const vxPelBuffer<T>& image) {
  auto* keep = new vxPelBuffer<T>(image);  // shares the pixels; the capsule owns it
  py::capsule owner(keep, [](void* p) { delete static_cast<vxPelBuffer<T>*>(p); });
  const auto size = static_cast<py::ssize_t>(sizeof(T));
  return py::array_t<T>({static_cast<py::ssize_t>(image.height()), static_cast<py::ssize_t>(image.width())},
                        {static_cast<py::ssize_t>(image.stride()) * size, size}, image.pointToOffset(),
                        owner);
}

template void copyPixels<std::uint8_t>(const ImageView&, vxPelBuffer<std::uint8_t>&);
template void copyPixels<std::uint16_t>(const ImageView&, vxPelBuffer<std::uint16_t>&);
template void copyPixels<double>(const ImageView&, vxPelBuffer<double>&);
template py::array arrayOf<std::uint8_t>(const vxPelBuffer<std::uint8_t>&);
template py::array arrayOf<std::uint16_t>(const vxPelBuffer<std::uint16_t>&);
template py::array arrayOf<double>(const vxPelBuffer<double>&);

}  // namespace vxpy
