// Library calls from Python: run without the GIL, inside the thread's parallel and
// compatible blocks; the long calls of the main thread run on a helper thread, so that
// Python's signal handlers run meanwhile and may stop them.
#include "python_support.h"

#include "filt/parallel.h"

#include <pythread.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <exception>
#include <iterator>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <pthread.h>
#endif
#if defined(__linux__)
#include <semaphore.h>
#include <time.h>
#endif

namespace vxpy {

// ---------------------------------------------------------------------------
// Signals. Python runs its signal handlers on the main thread only, between bytecodes,
// with the GIL: a library call that keeps the main thread would hold them back until it
// returns. So a long call of the main thread runs on a helper thread instead, while the
// main thread waits, the GIL released, and takes the GIL for PyErr_CheckSignals when a
// signal cuts its wait short (on Linux) and every 10 ms. A handler that returns lets the
// call go on; one that raises (KeyboardInterrupt from the default SIGINT handler, a
// timeout of the caller's) sets the call's attention flag, the library stops at its
// next check, and the call raises the handler's exception.

namespace {

unsigned long gMainThread = 0;

// How often the waiting main thread runs Python's signal handlers at the latest.
constexpr std::chrono::milliseconds kSignalPoll(10);

// The helper thread and the call it runs: one at a time, for the main thread.
struct Helper {
  Helper() {
#if defined(__linux__)
    if (sem_init(&finished, 0, 0) != 0) throw std::runtime_error("no semaphore for vxfreq's calls");
#endif
  }
  std::mutex mutex;
  std::condition_variable posted;  // a call for the helper
  void (*call)(void*) = nullptr;
  void* work = nullptr;
  std::exception_ptr error;
  // The call's end, for the main thread: a semaphore where a signal interrupts the wait
  // for it (sem_timedwait gives EINTR whatever the handler's flags), else a condition.
#if defined(__linux__)
  sem_t finished;
#else
  std::condition_variable finished;
  bool done = false;
#endif

  // Called by the helper at the end of a call.
  void finish(std::exception_ptr e) {
    std::unique_lock<std::mutex> lock(mutex);
    error = std::move(e);
#if defined(__linux__)
    lock.unlock();
    sem_post(&finished);
#else
    done = true;
    finished.notify_all();
#endif
  }

  // Waits for the end of the call at most kSignalPoll, less when a signal comes: true
  // once the call has ended.
  bool waitForEnd() {
#if defined(__linux__)
    timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    const long ns =
        until.tv_nsec + static_cast<long>(std::chrono::nanoseconds(kSignalPoll).count());
    until.tv_sec += ns / 1000000000L;
    until.tv_nsec = ns % 1000000000L;
    return sem_timedwait(&finished, &until) == 0;  // EINTR or ETIMEDOUT: not yet
#else
    std::unique_lock<std::mutex> lock(mutex);
    if (!finished.wait_for(lock, kSignalPoll, [this] { return done; })) return false;
    done = false;
    return true;
#endif
  }
};

void helperLoop(Helper* h) {
#if !defined(_WIN32)
  // Signals sent to the process go to the threads that do not block them: the main
  // thread among them, whose wait they cut short.
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
#endif
  for (;;) {
    void (*call)(void*) = nullptr;
    void* work = nullptr;
    {
      std::unique_lock<std::mutex> lock(h->mutex);
      h->posted.wait(lock, [h] { return h->call != nullptr; });
      call = h->call;
      work = h->work;
      h->call = nullptr;
    }
    std::exception_ptr error;
    try {
      call(work);
    } catch (...) {
      error = std::current_exception();
    }
    h->finish(std::move(error));
  }
}

// The helper of this process, started at its first call and never stopped (it waits
// for calls until the process ends; a child made by fork starts its own). Only used
// with the GIL held, by the main thread.
Helper* gHelper = nullptr;
// Whether the main thread is waiting for the helper: a call made meanwhile, by a signal
// handler, runs on the main thread itself.
bool gHelperBusy = false;

Helper& helper() {
  if (gHelper == nullptr) {
#if !defined(_WIN32)
    static const bool forkHandled =
        pthread_atfork(nullptr, nullptr, [] {
          gHelper = nullptr;  // the parent's helper is not in the child (its memory is left)
          gHelperBusy = false;
        }) == 0;
    (void)forkHandled;
#endif
    auto* h = new Helper();  // lives as long as its thread: to the end of the process
    std::thread(helperLoop, h).detach();
    gHelper = h;
  }
  return *gHelper;
}

// Runs `call(work)` on the helper, running Python's signal handlers on this (the main)
// thread meanwhile; `stop` is the call's attention flag. Called with the GIL held;
// returns with it held, a handler's exception set (true) or not (false), and rethrows
// what the call threw.
bool runOnHelper(void (*call)(void*), void* work, std::atomic<bool>& stop) {
  Helper& h = helper();
  gHelperBusy = true;
  bool raised = false;
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyThreadState* state = PyEval_SaveThread();
  {
    const std::lock_guard<std::mutex> lock(h.mutex);
    h.call = call;
    h.work = work;
  }
  h.posted.notify_one();
  while (!h.waitForEnd()) {
    if (raised) continue;  // stopping: later handlers wait for the call's end
    PyEval_RestoreThread(state);
    if (PyErr_CheckSignals() != 0) {
      PyErr_Fetch(&type, &value, &traceback);
      raised = true;
      stop.store(true);
    }
    state = PyEval_SaveThread();
  }
  std::exception_ptr error;
  {
    const std::lock_guard<std::mutex> lock(h.mutex);
    error = std::move(h.error);
    h.error = nullptr;
  }
  PyEval_RestoreThread(state);
  gHelperBusy = false;
  if (raised) {
    PyErr_Restore(type, value, traceback);
    return true;
  }
  if (error) std::rethrow_exception(error);
  return false;
}

}  // namespace

void initInterrupts() {
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
#if !defined(_WIN32)
  // The pool's threads block every signal, as the helper does, so that a signal sent to
  // the process reaches a thread where Python notices it at once.
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &before);
  std::shared_ptr<vxThreadPool> pool;
  try {
    pool = std::make_shared<vxThreadPool>(threads_);
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
#else
  auto pool = std::make_shared<vxThreadPool>(threads_);
#endif
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

void runLibraryImpl(void (*call)(void*), void* work, long elements) {
  const auto& pools = poolsHere();
  struct Call {
    void (*call)(void*);
    void* work;
    bool extended;  // read with the GIL held
    std::shared_ptr<vxThreadPool> pool;
    std::atomic<bool> stop{false};
    void run() {
      const vxExtendedScope mode(extended);
      const vxAttentionScope scope(stop);
      std::optional<vxParallelScope> parallel;
      if (pool != nullptr) parallel.emplace(*pool);
      call(work);
    }
  } c{call, work, extendedHere(), pools.empty() ? nullptr : pools.back()};
  // Short work, and the calls of other threads (whose signals Python handles on the
  // main thread anyway), run where they are called.
  const bool quick = elements >= 0 && elements < kQuickWork;
  if (quick || gHelperBusy || PyThread_get_thread_ident() != gMainThread) {
    py::gil_scoped_release release;
    c.run();
    return;
  }
  if (runOnHelper([](void* p) { static_cast<Call*>(p)->run(); }, &c, c.stop))
    throw py::error_already_set();
}

}  // namespace vxpy
