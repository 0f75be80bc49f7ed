// Library calls from Python: run without the GIL, stopped by Ctrl-C on the main thread,
// inside the thread's parallel and compatible blocks.
#include "python_support.h"

#include "filt/parallel.h"

#include <pythread.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace vxpy {

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

}  // namespace vxpy
